// JSON::parse and JSON::stringify against RapidJSON (DOM) and nlohmann::json
// on one generated corpus of about 30 MB.
//
// The corpus has the shape of the benchmark server's corpus: an object with a
// "contributions" array of "quorl-bench/1" documents, each with a "machine"
// object of strings and a "runs" array of run objects (strings, a sometimes
// empty "params" object, integer samples in microseconds and a few doubles).
// It is made from a fixed seed, so every run measures the same bytes.
//
// Each library is measured alone (bytes per second), and each pairing is
// also measured in one benchmark that alternates the two on every iteration
// and reports both speeds and their ratio as counters: quorl_MBps, peer_MBps
// and ratio (quorl speed / peer speed, above 1 when quorl is faster).
// Destroying the parsed value is part of every parse measurement.
#include <benchmark/benchmark.h>

#include "PairTimer.h"
#include "CorpusShape.h"
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <random>
#include <string>

#include "foundation/JSON.h"
#include "foundation/String.h"

namespace {

using quorl::JSON;
using quorl::Ref;

// ---------------------------------------------------------------------------
// The corpus

class Corpus {
 public:
  explicit Corpus(uint64_t seed) : random_(seed) {}

  std::string make(size_t targetBytes) {
    std::string out;
    out.reserve(targetBytes + (1 << 16));
    out += "{\"contributions\":[";
    for (int c = 0; out.size() < targetBytes; ++c) {
      if (c) out += ',';
      contribution(out);
    }
    out += "]}";
    return out;
  }

 private:
  uint64_t next() { return random_(); }
  uint64_t below(uint64_t n) { return next() % n; }
  template <size_t N> const char* pick(const char* const (&list)[N]) { return list[below(N)]; }

  static void quoted(std::string& out, const std::string& text) {
    out += '"';
    out += text;
    out += '"';
  }
  static void member(std::string& out, const char* key) {
    out += '"';
    out += key;
    out += "\":";
  }

  void contribution(std::string& out) {
    static const char* const kCpus[] = {
        "AMD Ryzen 9 7950X 16-Core Processor", "Intel(R) Core(TM) i7-12700K", "Apple M2 Pro",
        "Intel(R) Xeon(R) Gold 6338 CPU @ 2.00GHz", "AMD EPYC 7763 64-Core Processor",
        "Cortex-A76 \\u00d7 4 @ 2.4 GHz"};
    static const char* const kGpus[] = {"NVIDIA GeForce RTX 4090", "AMD Radeon RX 7900 XTX",
                                        "Intel(R) UHD Graphics 770", "Apple M2 Pro GPU", "none"};
    static const char* const kOs[] = {"Linux 6.5.0-27-generic", "Windows 11 Pro 23H2", "macOS 14.4.1",
                                      "Debian GNU/Linux 12 (bookworm)"};
    static const char* const kSuites[] = {"polybench", "npb", "rodinia", "shootout", "quorl-micro",
                                          "cpu-lite"};
    static const char* const kBenchmarks[] = {
        "gemm",   "2mm",     "3mm",  "atax",        "bicg",     "cholesky", "correlation", "covariance",
        "doitgen", "durbin", "fdtd-2d", "floyd-warshall", "gramschmidt", "heat-3d", "jacobi-1d",
        "lu",     "mvt",     "nbody", "fannkuch-redux", "spectral-norm", "mandelbrot", "binary-trees",
        "k-means", "bfs", "hotspot", "needleman-wunsch", "srad", "lud", "cg", "ep", "is", "mg"};
    static const char* const kTargets[] = {"quorl", "c-gcc", "c-clang", "rust", "go", "julia", "cuda",
                                           "opencl"};
    static const char* const kDevices[] = {"cpu1", "cpuN", "gpu"};
    static const char* const kOpts[] = {"O0", "O1", "O2", "O3", "Os"};
    static const char* const kArchs[] = {"x86_64", "aarch64", "riscv64"};
    static const char* const kSizes[] = {"MINI", "SMALL", "MEDIUM", "LARGE", "EXTRALARGE"};

    out += '{';
    member(out, "schema");
    quoted(out, "quorl-bench/1");
    out += ',';
    member(out, "id");
    out += std::to_string(below(1000000000));
    out += ',';
    member(out, "machine");
    out += '{';
    member(out, "hostname");
    quoted(out, "bench-" + std::to_string(below(10000)));
    out += ',';
    member(out, "cpu");
    quoted(out, pick(kCpus));
    out += ',';
    member(out, "cores");
    quoted(out, std::to_string(1 + below(128)));
    out += ',';
    member(out, "gpu");
    quoted(out, pick(kGpus));
    out += ',';
    member(out, "os");
    quoted(out, pick(kOs));
    out += ',';
    member(out, "compiler");
    quoted(out, "quorlc 0." + std::to_string(below(30)) + "." + std::to_string(below(10)));
    out += ',';
    member(out, "memory");
    quoted(out, std::to_string(8 << below(5)) + " GiB");
    out += ',';
    member(out, "owner");
    quoted(out, below(4) == 0 ? "Ren\xC3\xA9" : "lab \\\"north\\\"");
    out += "},";
    member(out, "submitted");
    quoted(out, "2024-0" + std::to_string(1 + below(9)) + "-1" + std::to_string(below(10)) + "T12:00:00Z");
    out += ',';
    member(out, "runs");
    out += '[';
    const uint64_t runs = 20 + below(60);
    for (uint64_t r = 0; r < runs; ++r) {
      if (r) out += ',';
      out += '{';
      member(out, "suite");
      quoted(out, pick(kSuites));
      out += ',';
      member(out, "benchmark");
      quoted(out, pick(kBenchmarks));
      out += ',';
      member(out, "target");
      quoted(out, pick(kTargets));
      out += ',';
      member(out, "device");
      quoted(out, pick(kDevices));
      out += ',';
      member(out, "opt");
      quoted(out, pick(kOpts));
      out += ',';
      member(out, "arch");
      quoted(out, pick(kArchs));
      out += ',';
      if (below(3) == 0) {
        member(out, "params");
        if (below(2) == 0) {
          out += "{}";
        } else {
          out += '{';
          member(out, "size");
          quoted(out, pick(kSizes));
          out += ',';
          member(out, "threads");
          out += std::to_string(1 << below(7));
          out += '}';
        }
        out += ',';
      }
      member(out, "samples_us");
      out += '[';
      const uint64_t base = 50 + below(5000000);
      const uint64_t samples = 5 + below(16);
      for (uint64_t s = 0; s < samples; ++s) {
        if (s) out += ',';
        out += std::to_string(base + below(base / 20 + 1));
      }
      out += "],";
      // Doubles as a tool prints them: short, and sometimes full precision.
      member(out, "mean_us");
      out += std::to_string(base) + "." + std::to_string(below(1000));
      out += ',';
      member(out, "stddev_us");
      if (below(2) == 0) {
        out += std::to_string(below(1000)) + "." + std::to_string(below(100000));
      } else {
        char text[32];
        const double x = static_cast<double>(next() >> 11) / 9007199254740992.0 * 1000.0;
        const auto end = std::to_chars(text, text + sizeof text, x).ptr;
        out.append(text, end);
      }
      out += ',';
      member(out, "ok");
      out += below(20) ? "true" : "false";
      out += '}';
    }
    out += "]}";
  }

  std::mt19937_64 random_;
};

// Source 0: the document above; source 1: the user-size corpus that the
// result benchmarks share (CorpusShape.h).
template <int Source = 0> const std::string& corpusText() {
  if constexpr (Source == 1) return perfcorpus::corpusText(perfcorpus::Shape::UserSize);
  static const std::string text = Corpus(20240611).make(30u << 20);
  return text;
}

template <int Source = 0> const Ref<quorl::String>& corpusString() {
  static const Ref<quorl::String> text =
      quorl::String::withBytes(corpusText<Source>().data(), static_cast<uint32_t>(corpusText<Source>().size()));
  return text;
}

template <int Source = 0> const Ref<quorl::Object>& corpusValue() {
  static const Ref<quorl::Object> value = JSON::parse(corpusString<Source>());
  return value;
}

template <int Source = 0> const rapidjson::Document& corpusRapid() {
  static const rapidjson::Document document = [] {
    rapidjson::Document d;
    d.Parse(corpusText<Source>().data(), corpusText<Source>().size());
    return d;
  }();
  return document;
}

template <int Source = 0> const nlohmann::json& corpusNlohmann() {
  static const nlohmann::json value = nlohmann::json::parse(corpusText<Source>());
  return value;
}

// ---------------------------------------------------------------------------
// One operation of each library; each answers the bytes it read or wrote.
//
// glibc defers part of the work of freeing many small blocks (merging them)
// until the next large request, which would otherwise land in whichever
// library allocates next. Each operation ends by settling the heap, so every
// library pays for its own frees.
void settleHeap() {
  void* large = std::malloc(1 << 16);
  benchmark::DoNotOptimize(large);
  std::free(large);
}

template <int Source> size_t quorlParse() {
  {
    Ref<quorl::Object> value = JSON::parse(corpusString<Source>());
    benchmark::DoNotOptimize(value.get());
  }
  settleHeap();
  return corpusText<Source>().size();
}

template <int Source> size_t rapidParse() {
  {
    rapidjson::Document d;
    d.Parse(corpusText<Source>().data(), corpusText<Source>().size());
    benchmark::DoNotOptimize(d.HasParseError());
  }
  settleHeap();
  return corpusText<Source>().size();
}

template <int Source> size_t nlohmannParse() {
  {
    nlohmann::json value = nlohmann::json::parse(corpusText<Source>());
    benchmark::DoNotOptimize(value.size());
  }
  settleHeap();
  return corpusText<Source>().size();
}

template <int Source> size_t quorlStringify() {
  size_t n;
  {
    Ref<quorl::String> text = JSON::stringify(corpusValue<Source>());
    benchmark::DoNotOptimize(text.get());
    n = text->byteLength();
  }
  settleHeap();
  return n;
}

template <int Source> size_t rapidStringify() {
  size_t n;
  {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    corpusRapid<Source>().Accept(writer);
    benchmark::DoNotOptimize(buffer.GetString());
    n = buffer.GetSize();
  }
  settleHeap();
  return n;
}

template <int Source> size_t nlohmannStringify() {
  size_t n;
  {
    std::string text = corpusNlohmann<Source>().dump();
    benchmark::DoNotOptimize(text.data());
    n = text.size();
  }
  settleHeap();
  return n;
}

// Makes the shared inputs before any clock starts.
template <int Source> void prepare() {
  benchmark::DoNotOptimize(corpusValue<Source>().get());
  benchmark::DoNotOptimize(&corpusRapid<Source>());
  benchmark::DoNotOptimize(&corpusNlohmann<Source>());
}

template <size_t (*Operation)()> void BM_Alone(benchmark::State& state) {
  prepare<0>();
  int64_t bytes = 0;
  for (auto _ : state) bytes += static_cast<int64_t>(Operation());
  state.SetBytesProcessed(bytes);
}

// Alternates quorl and the peer on every iteration, so both see the same
// machine state; the ratio is quorl's speed over the peer's.
template <size_t (*Quorl)(), size_t (*Peer)(), void (*Prepare)()> void BM_Ratio(benchmark::State& state) {
  Prepare();
  double quorlBytes = 0, peerBytes = 0;
  quorl::perf::PairTimer timer;
  for (auto _ : state)
    timer.run([&] { quorlBytes += static_cast<double>(Quorl()); }, [&] { peerBytes += static_cast<double>(Peer()); });
  const double quorlRate = quorlBytes / timer.firstSeconds / 1e6;
  const double peerRate = peerBytes / timer.secondSeconds / 1e6;
  state.counters["quorl_MBps"] = quorlRate;
  state.counters["peer_MBps"] = peerRate;
  state.counters["ratio"] = quorlRate / peerRate;
  // The same on the thread's CPU clock: steadier under other load.
  state.counters["cpu_ratio"] = timer.secondCpuSeconds / peerBytes / (timer.firstCpuSeconds / quorlBytes);
}

void setUp(benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond)->MinTime(2.0); }

BENCHMARK(BM_Alone<quorlParse<0>>)->Name("JSON/parse/quorl")->Apply(setUp);
BENCHMARK(BM_Alone<rapidParse<0>>)->Name("JSON/parse/rapidjson")->Apply(setUp);
BENCHMARK(BM_Alone<nlohmannParse<0>>)->Name("JSON/parse/nlohmann")->Apply(setUp);
BENCHMARK(BM_Alone<quorlStringify<0>>)->Name("JSON/stringify/quorl")->Apply(setUp);
BENCHMARK(BM_Alone<rapidStringify<0>>)->Name("JSON/stringify/rapidjson")->Apply(setUp);
BENCHMARK(BM_Alone<nlohmannStringify<0>>)->Name("JSON/stringify/nlohmann")->Apply(setUp);

BENCHMARK(BM_Ratio<quorlParse<0>, rapidParse<0>, prepare<0>>)->Name("JSON/parse/ratio_vs_rapidjson")->Apply(setUp);
BENCHMARK(BM_Ratio<quorlParse<0>, nlohmannParse<0>, prepare<0>>)->Name("JSON/parse/ratio_vs_nlohmann")->Apply(setUp);
BENCHMARK(BM_Ratio<quorlStringify<0>, rapidStringify<0>, prepare<0>>)->Name("JSON/stringify/ratio_vs_rapidjson")->Apply(setUp);
BENCHMARK(BM_Ratio<quorlStringify<0>, nlohmannStringify<0>, prepare<0>>)->Name("JSON/stringify/ratio_vs_nlohmann")->Apply(setUp);

// The same bytes as the fresh-process and load benchmarks: the user-size corpus.
BENCHMARK(BM_Ratio<quorlParse<1>, rapidParse<1>, prepare<1>>)->Name("JSON/parse/user-size/ratio_vs_rapidjson")->Apply(setUp);
BENCHMARK(BM_Ratio<quorlStringify<1>, rapidStringify<1>, prepare<1>>)->Name("JSON/stringify/user-size/ratio_vs_rapidjson")->Apply(setUp);

}  // namespace
