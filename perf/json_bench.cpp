// JSON::parse and JSON::stringify against RapidJSON (DOM) and nlohmann::json
// on one generated corpus of about 30 MB, and on the user-size corpus.
//
// The corpus has the shape of the benchmark server's corpus: an object with a
// "contributions" array of "quorl-bench/1" documents, each with a "machine"
// object of strings and a "runs" array of run objects (strings, a sometimes
// empty "params" object, integer samples in microseconds and a few doubles).
// It is made from a fixed seed, so every run measures the same bytes.
//
// Every benchmark alternates quorl and one peer on every iteration and
// reports both speeds and their ratio as counters (quorl speed / peer speed,
// above 1 when quorl is faster). Both sides work in memory they have used
// before and do the same work: see "Like with like" below.
#include <benchmark/benchmark.h>

#include "PairTimer.h"
#include "CorpusShape.h"
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <malloc.h>
#include <sys/resource.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "foundation/Array.h"
#include "foundation/JSON.h"
#include "foundation/Map.h"
#include "foundation/Number.h"
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
    d.Parse<rapidjson::kParseFullPrecisionFlag>(corpusText<Source>().data(), corpusText<Source>().size());
    return d;
  }();
  return document;
}

template <int Source = 0> const nlohmann::json& corpusNlohmann() {
  static const nlohmann::json value = nlohmann::json::parse(corpusText<Source>());
  return value;
}

// ---------------------------------------------------------------------------
// Like with like
//
// Each side parses in memory it has used before: ours from the pool, which
// keeps its pages; RapidJSON into a MemoryPoolAllocator whose one block,
// sized to the document and touched once, is kept across iterations;
// nlohmann from glibc's heap, told to keep what is freed while the JSON
// benchmarks run (it would otherwise give the top of the heap back at each
// release and fault it in again at the next parse). The minor page faults
// of each side are counted to show it.
//
// Each side does the same work: a parse with exactly rounded doubles, then a
// walk that reads every value (each number at its exact value, each string's
// bytes, each key); an array of integers that our reader keeps packed is
// read where it lies, as the program reads samples. Releasing the document
// is timed apart from the parse.

// glibc defers part of the work of freeing many small blocks (merging them)
// until the next large request, which would otherwise land in whichever
// library allocates next. Each operation ends by settling the heap, so every
// library pays for its own frees.
void settleHeap() {
  void* large = std::malloc(1 << 16);
  benchmark::DoNotOptimize(large);
  std::free(large);
}

uint64_t minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return uint64_t(usage.ru_minflt);
}

// glibc keeps freed memory in the process while one lives; its thresholds
// are fixed at their usual starting values after.
struct KeepFreedMemory {
  KeepFreedMemory() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
  }
  ~KeepFreedMemory() {
    mallopt(M_TRIM_THRESHOLD, 128 << 10);
    mallopt(M_MMAP_THRESHOLD, 128 << 10);
  }
  KeepFreedMemory(const KeepFreedMemory&) = delete;
  KeepFreedMemory& operator=(const KeepFreedMemory&) = delete;
};

// What a walk read: a sum over every number (true counting 1) and the count
// of every string byte, so that no read can be left out.
struct Tally {
  double numbers = 0;
  uint64_t bytes = 0;
  uint64_t values = 0;
};

template <class T> inline bool isExactly(const quorl::Object* o) { return typeid(*o) == typeid(T); }

void readAll(const quorl::Object* v, Tally& t) {
  t.values++;
  if (!v) return;
  if (isExactly<quorl::Map>(v)) {
    const auto* map = static_cast<const quorl::Map*>(v);
    for (uint32_t i = 0; i < map->count(); ++i) {
      t.bytes += static_cast<const quorl::String*>(map->_keyAt(i).get())->byteLength();
      readAll(map->_valueAt(i).get(), t);
    }
  } else if (isExactly<quorl::Array>(v)) {
    const auto* array = static_cast<const quorl::Array*>(v);
    if (const quorl::Array::PackedIntegers integers = array->_integers()) {
      for (uint32_t i = 0; i < array->count(); ++i) t.numbers += double(integers[i]);
      t.values += array->count();
    } else {
      for (uint32_t i = 0; i < array->count(); ++i) readAll(array->get(i).get(), t);
    }
  } else if (isExactly<quorl::String>(v)) {
    t.bytes += static_cast<const quorl::String*>(v)->byteLength();
  } else if (isExactly<quorl::Number>(v)) {
    const auto* n = static_cast<const quorl::Number*>(v);
    if (n->isDouble()) {
      t.numbers += n->doubleValue();
    } else if (n->isUnsigned()) {
      t.numbers += double(uint64_t(n->integerValue()));
    } else {
      t.numbers += double(n->integerValue());
    }
  }
}

void readAll(const rapidjson::Value& v, Tally& t) {
  t.values++;
  switch (v.GetType()) {
    case rapidjson::kObjectType:
      for (auto m = v.MemberBegin(); m != v.MemberEnd(); ++m) {
        t.bytes += m->name.GetStringLength();
        readAll(m->value, t);
      }
      break;
    case rapidjson::kArrayType:
      for (const auto& e : v.GetArray()) readAll(e, t);
      break;
    case rapidjson::kStringType:
      t.bytes += v.GetStringLength();
      break;
    case rapidjson::kTrueType:
      t.numbers += 1;
      break;
    case rapidjson::kNumberType:
      if (v.IsDouble()) {
        t.numbers += v.GetDouble();
      } else if (v.IsInt64()) {
        t.numbers += double(v.GetInt64());
      } else {
        t.numbers += double(v.GetUint64());
      }
      break;
    default:
      break;
  }
}

void readAll(const nlohmann::json& v, Tally& t) {
  t.values++;
  switch (v.type()) {
    case nlohmann::json::value_t::object:
      for (const auto& [key, value] : v.items()) {
        t.bytes += key.size();
        readAll(value, t);
      }
      break;
    case nlohmann::json::value_t::array:
      for (const auto& e : v) readAll(e, t);
      break;
    case nlohmann::json::value_t::string:
      t.bytes += v.get_ref<const std::string&>().size();
      break;
    case nlohmann::json::value_t::boolean:
      t.numbers += v.get<bool>() ? 1 : 0;
      break;
    case nlohmann::json::value_t::number_integer:
      t.numbers += double(v.get<int64_t>());
      break;
    case nlohmann::json::value_t::number_unsigned:
      t.numbers += double(v.get<uint64_t>());
      break;
    case nlohmann::json::value_t::number_float:
      t.numbers += v.get<double>();
      break;
    default:
      break;
  }
}

// One side of a parse comparison: parse, read every value, release, each
// step on its own clocks, and the page faults of all three.
struct Steps {
  double parse = 0, read = 0, release = 0;        // wall seconds
  double parseCpu = 0, readCpu = 0, releaseCpu = 0;  // the thread's CPU seconds
  uint64_t faults = 0;
  uint64_t rounds = 0;
  double bytes = 0;

  template <class Parse, class Read, class Release> void run(size_t size, Parse&& parse, Read&& read, Release&& release) {
    using Clock = std::chrono::steady_clock;
    const uint64_t f0 = minorFaults();
    const double c0 = quorl::perf::PairTimer::threadCpuSeconds();
    const auto t0 = Clock::now();
    parse();
    const auto t1 = Clock::now();
    const double c1 = quorl::perf::PairTimer::threadCpuSeconds();
    read();
    const auto t2 = Clock::now();
    const double c2 = quorl::perf::PairTimer::threadCpuSeconds();
    release();
    settleHeap();
    const auto t3 = Clock::now();
    const double c3 = quorl::perf::PairTimer::threadCpuSeconds();
    faults += minorFaults() - f0;
    this->parse += std::chrono::duration<double>(t1 - t0).count();
    this->read += std::chrono::duration<double>(t2 - t1).count();
    this->release += std::chrono::duration<double>(t3 - t2).count();
    parseCpu += c1 - c0;
    readCpu += c2 - c1;
    releaseCpu += c3 - c2;
    rounds++;
    bytes += double(size);
  }
};

template <int Source> struct QuorlSide {
  Ref<quorl::Object> value;
  Tally tally;
  void step(Steps& s) {
    s.run(
        corpusText<Source>().size(), [&] { value = JSON::parse(corpusString<Source>()); },
        [&] { readAll(value.get(), tally); }, [&] { value.reset(); });
  }
};

// The DOM's allocator has one kept block of the document's size (and an
// eighth more), made and touched before any clock starts, so that no chunk
// is allocated, freed or faulted in while it is timed.
template <int Source> struct RapidSide {
  std::vector<char> block;
  std::unique_ptr<rapidjson::MemoryPoolAllocator<>> pool;
  std::optional<rapidjson::Document> document;
  Tally tally;
  RapidSide() {
    rapidjson::Document sizing;
    sizing.Parse<rapidjson::kParseFullPrecisionFlag>(corpusText<Source>().data(), corpusText<Source>().size());
    block.assign(sizing.GetAllocator().Size() + sizing.GetAllocator().Size() / 8 + (1 << 20), 1);
    pool = std::make_unique<rapidjson::MemoryPoolAllocator<>>(block.data(), block.size());
  }
  void step(Steps& s) {
    s.run(
        corpusText<Source>().size(),
        [&] {
          document.emplace(pool.get());
          document->Parse<rapidjson::kParseFullPrecisionFlag>(corpusText<Source>().data(), corpusText<Source>().size());
          benchmark::DoNotOptimize(document->HasParseError());
        },
        [&] { readAll(*document, tally); },
        [&] {
          document.reset();
          pool->Clear();
        });
  }
  // Nothing was allocated beside the kept block.
  bool keptItsBlock() const { return pool->Capacity() == block.size(); }
};

template <int Source> struct NlohmannSide {
  nlohmann::json value;
  Tally tally;
  void step(Steps& s) {
    s.run(
        corpusText<Source>().size(), [&] { value = nlohmann::json::parse(corpusText<Source>()); },
        [&] { readAll(value, tally); }, [&] { value = nlohmann::json(); });
  }
};

// Our parse and the peer's alternated on every iteration, so that both see
// the same machine state. `ratio` is our speed over the peer's for parsing
// and reading every value; `release_ratio` for releasing the document;
// `whole_ratio` for all three; `cpu_ratio` the first on the thread's CPU
// clock, steadier under other load; `*_faults` the minor page faults of one
// round of each side.
template <class Ours, class Peer, void (*Prepare)()> void BM_ParseRatio(benchmark::State& state) {
  Prepare();
  KeepFreedMemory keep;
  Ours ours;
  Peer peer;
  Steps a, b;
  {
    Steps warming;  // a round each before the clocks count: every side in memory it used before
    ours.step(warming);
    peer.step(warming);
  }
  for (auto _ : state) {
    ours.step(a);
    peer.step(b);
  }
  if (ours.tally.numbers != peer.tally.numbers || ours.tally.bytes != peer.tally.bytes)
    state.SkipWithError("the two sides read different values");
  const auto rate = [](double bytes, double seconds) { return bytes / seconds / 1e6; };
  state.counters["quorl_MBps"] = rate(a.bytes, a.parse + a.read);
  state.counters["peer_MBps"] = rate(b.bytes, b.parse + b.read);
  state.counters["ratio"] = (b.parse + b.read) / (a.parse + a.read);
  state.counters["cpu_ratio"] = (b.parseCpu + b.readCpu) / (a.parseCpu + a.readCpu);
  state.counters["parse_ratio"] = b.parse / a.parse;
  state.counters["read_ratio"] = b.read / a.read;
  state.counters["release_ratio"] = b.release / a.release;
  state.counters["whole_ratio"] = (b.parse + b.read + b.release) / (a.parse + a.read + a.release);
  state.counters["quorl_release_ms"] = a.release / double(a.rounds) * 1e3;
  state.counters["peer_release_ms"] = b.release / double(b.rounds) * 1e3;
  state.counters["quorl_faults"] = double(a.faults) / double(a.rounds);
  state.counters["peer_faults"] = double(b.faults) / double(b.rounds);
}

// ---------------------------------------------------------------------------
// Writing: each side writes a document it parsed beforehand, every value of
// it, into a text that is then released.

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

// Alternates quorl and the peer on every iteration; the ratio is quorl's
// speed over the peer's.
template <size_t (*Quorl)(), size_t (*Peer)(), void (*Prepare)()> void BM_Ratio(benchmark::State& state) {
  Prepare();
  KeepFreedMemory keep;
  benchmark::DoNotOptimize(Quorl() + Peer());  // a round each before the clocks count
  double quorlBytes = 0, peerBytes = 0;
  uint64_t quorlFaults = 0, peerFaults = 0;
  quorl::perf::PairTimer timer;
  for (auto _ : state) {
    uint64_t f0 = 0, f1 = 0;
    timer.run(
        [&] {
          f0 = minorFaults();
          quorlBytes += static_cast<double>(Quorl());
          f1 = minorFaults();
        },
        [&] { peerBytes += static_cast<double>(Peer()); });
    quorlFaults += f1 - f0;
    peerFaults += minorFaults() - f1;
  }
  const double quorlRate = quorlBytes / timer.firstSeconds / 1e6;
  const double peerRate = peerBytes / timer.secondSeconds / 1e6;
  state.counters["quorl_MBps"] = quorlRate;
  state.counters["peer_MBps"] = peerRate;
  state.counters["ratio"] = quorlRate / peerRate;
  // The same on the thread's CPU clock: steadier under other load.
  state.counters["cpu_ratio"] = timer.secondCpuSeconds / peerBytes / (timer.firstCpuSeconds / quorlBytes);
  state.counters["quorl_faults"] = double(quorlFaults) / double(state.iterations());
  state.counters["peer_faults"] = double(peerFaults) / double(state.iterations());
}

void setUp(benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond)->MinTime(2.0); }

BENCHMARK(BM_ParseRatio<QuorlSide<0>, RapidSide<0>, prepare<0>>)->Name("JSON/parse/ratio_vs_rapidjson")->Apply(setUp);
BENCHMARK(BM_ParseRatio<QuorlSide<0>, NlohmannSide<0>, prepare<0>>)->Name("JSON/parse/ratio_vs_nlohmann")->Apply(setUp);
BENCHMARK(BM_Ratio<quorlStringify<0>, rapidStringify<0>, prepare<0>>)->Name("JSON/stringify/ratio_vs_rapidjson")->Apply(setUp);
BENCHMARK(BM_Ratio<quorlStringify<0>, nlohmannStringify<0>, prepare<0>>)->Name("JSON/stringify/ratio_vs_nlohmann")->Apply(setUp);

// The same bytes as the fresh-process and load benchmarks: the user-size corpus.
BENCHMARK(BM_ParseRatio<QuorlSide<1>, RapidSide<1>, prepare<1>>)->Name("JSON/parse/user-size/ratio_vs_rapidjson")->Apply(setUp);
BENCHMARK(BM_Ratio<quorlStringify<1>, rapidStringify<1>, prepare<1>>)->Name("JSON/stringify/user-size/ratio_vs_rapidjson")->Apply(setUp);

}  // namespace
