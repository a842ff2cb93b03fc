// Number formatting against the standard library, each pairing in one
// benchmark that alternates the two on every iteration over the same batch:
//
//   Format/int/*      String::appendFormat of integers against snprintf
//   Format/double/*   String::appendFormat of doubles (%.2f, %f, %g, %.3e)
//                     against snprintf
//   Shortest/*        the JSON writer's shortest text (_json_formatDouble)
//                     against std::to_chars (shortest)
//   Parse/*           _json_parseDouble against std::from_chars
//
// Counters: quorl_ns and peer_ns (nanoseconds per formatted value) and ratio
// (quorl speed / peer speed, above 1 when quorl is faster). Batches come from
// fixed seeds, so every run measures the same values.
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "PairTimer.h"
#include "foundation/NumberText.h"
#include "foundation/String.h"

namespace {

using quorl::String;

constexpr size_t kBatch = 1024;

const std::vector<int64_t>& integers() {
  static const std::vector<int64_t> values = [] {
    std::mt19937_64 rng(11);
    std::vector<int64_t> v;
    for (size_t i = 0; i < kBatch; ++i) {
      int digits = 1 + static_cast<int>(rng() % 9);  // microsecond counts of every size
      int64_t x = static_cast<int64_t>(rng() % static_cast<uint64_t>(std::pow(10.0, digits)));
      v.push_back(i % 5 == 0 ? -x : x);
    }
    return v;
  }();
  return values;
}

// Values of everyday size: times in ms and s, ratios, means with many digits.
const std::vector<double>& everyday() {
  static const std::vector<double> values = [] {
    std::mt19937_64 rng(12);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> v;
    for (size_t i = 0; i < kBatch; ++i) {
      double x = unit(rng) * std::pow(10.0, static_cast<int>(rng() % 9) - 3);
      if (i % 3 == 0) x = std::round(x * 1000) / 1000;  // short decimals as results files hold them
      v.push_back(i % 7 == 0 ? -x : x);
    }
    return v;
  }();
  return values;
}

// Every finite double equally likely by bit pattern: all exponents.
const std::vector<double>& anyBits() {
  static const std::vector<double> values = [] {
    std::mt19937_64 rng(13);
    std::vector<double> v;
    while (v.size() < kBatch) {
      double d = std::bit_cast<double>(rng());
      if (std::isfinite(d)) v.push_back(d);
    }
    return v;
  }();
  return values;
}

std::vector<std::string> shortestTexts(const std::vector<double>& values) {
  std::vector<std::string> texts;
  char buf[64];
  for (double d : values) {
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    texts.emplace_back(buf, r.ptr);
  }
  return texts;
}

const std::vector<std::string>& everydayTexts() {
  static const std::vector<std::string> t = shortestTexts(everyday());
  return t;
}
const std::vector<std::string>& anyBitsTexts() {
  static const std::vector<std::string> t = shortestTexts(anyBits());
  return t;
}

// -- Operations: each formats the whole batch and answers a checksum --------
template <const char* Format> size_t quorlInts() {
  static String s;
  size_t sum = 0;
  for (int64_t v : integers()) {
    s.clear();
    s.appendFormat(Format, v);
    sum += s.byteLength();
  }
  return sum;
}
template <const char* Format> size_t libcInts() {
  char buf[64];
  size_t sum = 0;
  for (int64_t v : integers()) sum += static_cast<size_t>(snprintf(buf, sizeof buf, Format, static_cast<long long>(v)));
  return sum;
}

template <const char* Format, const std::vector<double>& (*Values)()> size_t quorlDoubles() {
  static String s;
  size_t sum = 0;
  for (double v : Values()) {
    s.clear();
    s.appendFormat(Format, v);
    sum += s.byteLength();
  }
  return sum;
}
template <const char* Format, const std::vector<double>& (*Values)()> size_t libcDoubles() {
  char buf[512];
  size_t sum = 0;
  for (double v : Values()) sum += static_cast<size_t>(snprintf(buf, sizeof buf, Format, v));
  return sum;
}

template <const std::vector<double>& (*Values)()> size_t quorlShortest() {
  char buf[quorl::kJsonDoubleMax];
  size_t sum = 0;
  for (double v : Values()) sum += quorl::_json_formatDouble(buf, v, false);
  return sum;
}
template <const std::vector<double>& (*Values)()> size_t stdShortest() {
  char buf[64];
  size_t sum = 0;
  for (double v : Values()) sum += static_cast<size_t>(std::to_chars(buf, buf + sizeof buf, v).ptr - buf);
  return sum;
}

template <const std::vector<std::string>& (*Texts)()> size_t quorlParse() {
  double sum = 0;
  for (const std::string& t : Texts()) sum += quorl::_json_parseDouble(t.data(), static_cast<uint32_t>(t.size()));
  benchmark::DoNotOptimize(sum);
  return Texts().size();
}
template <const std::vector<std::string>& (*Texts)()> size_t stdParse() {
  double sum = 0;
  for (const std::string& t : Texts()) {
    double d = 0;
    std::from_chars(t.data(), t.data() + t.size(), d);
    sum += d;
  }
  benchmark::DoNotOptimize(sum);
  return Texts().size();
}

// Alternates quorl and the peer on every iteration, so both see the same
// machine state; ratio is quorl's speed over the peer's.
template <size_t (*Quorl)(), size_t (*Peer)()> void BM_Ratio(benchmark::State& state) {
  benchmark::DoNotOptimize(Quorl());  // warm the batches and caches
  benchmark::DoNotOptimize(Peer());
  quorl::perf::PairTimer timer;
  for (auto _ : state)
    timer.run([] { benchmark::DoNotOptimize(Quorl()); }, [] { benchmark::DoNotOptimize(Peer()); });
  const double quorlSeconds = timer.firstSeconds, peerSeconds = timer.secondSeconds;
  const double items = static_cast<double>(state.iterations()) * kBatch;
  state.counters["quorl_ns"] = quorlSeconds / items * 1e9;
  state.counters["peer_ns"] = peerSeconds / items * 1e9;
  state.counters["ratio"] = peerSeconds / quorlSeconds;
  state.SetItemsProcessed(static_cast<int64_t>(items));
}

constexpr char kD[] = "%lld";
constexpr char kPadded[] = "n=%8lld us";
constexpr char kFixed2[] = "%.2f";
constexpr char kFixed[] = "%f";
constexpr char kGeneral[] = "%g";
constexpr char kExp3[] = "%.3e";

void setUp(benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMicrosecond)->MinTime(0.5); }

BENCHMARK(BM_Ratio<quorlInts<kD>, libcInts<kD>>)->Name("Format/int/%lld_vs_snprintf")->Apply(setUp);
BENCHMARK(BM_Ratio<quorlInts<kPadded>, libcInts<kPadded>>)->Name("Format/int/padded_vs_snprintf")->Apply(setUp);
BENCHMARK(BM_Ratio<quorlDoubles<kFixed2, everyday>, libcDoubles<kFixed2, everyday>>)
    ->Name("Format/double/%.2f_vs_snprintf")
    ->Apply(setUp);
BENCHMARK(BM_Ratio<quorlDoubles<kFixed, everyday>, libcDoubles<kFixed, everyday>>)
    ->Name("Format/double/%f_vs_snprintf")
    ->Apply(setUp);
BENCHMARK(BM_Ratio<quorlDoubles<kGeneral, everyday>, libcDoubles<kGeneral, everyday>>)
    ->Name("Format/double/%g_vs_snprintf")
    ->Apply(setUp);
BENCHMARK(BM_Ratio<quorlDoubles<kExp3, everyday>, libcDoubles<kExp3, everyday>>)
    ->Name("Format/double/%.3e_vs_snprintf")
    ->Apply(setUp);
BENCHMARK(BM_Ratio<quorlDoubles<kGeneral, anyBits>, libcDoubles<kGeneral, anyBits>>)
    ->Name("Format/double/%g_anybits_vs_snprintf")
    ->Apply(setUp);
BENCHMARK(BM_Ratio<quorlShortest<everyday>, stdShortest<everyday>>)
    ->Name("Shortest/everyday_vs_to_chars")
    ->Apply(setUp);
BENCHMARK(BM_Ratio<quorlShortest<anyBits>, stdShortest<anyBits>>)->Name("Shortest/anybits_vs_to_chars")->Apply(setUp);
BENCHMARK(BM_Ratio<quorlParse<everydayTexts>, stdParse<everydayTexts>>)
    ->Name("Parse/everyday_vs_from_chars")
    ->Apply(setUp);
BENCHMARK(BM_Ratio<quorlParse<anyBitsTexts>, stdParse<anyBitsTexts>>)
    ->Name("Parse/anybits_vs_from_chars")
    ->Apply(setUp);

}  // namespace
