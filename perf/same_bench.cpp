// Deciding which result sets are already held, on corpora of 10,000 to
// 80,000 contributions: time must grow with the corpus, not its square,
// whatever the contributions hold.
//
// Two shapes of three runs a contribution, five samples a run:
//   alike (1): one id, one machine, the same benchmarks, targets, times and
//     sample counts; only the samples' values differ. Every contribution
//     fell in one bucket of the hash that mixed only those fields, and was
//     compared with every one before it.
//   apart (0): the same with an id of its own each.
//
// Same/merge/<alike>/<n>: DataSet.merge of the loaded contributions into an
//   empty data set, against a walk that reads every sample once (the least
//   the comparison must read).
// Same/again/<alike>/<n>: DataSet.merge of the corpus loaded a second time
//   into a data set that holds the first, against the same walk: every
//   contribution is found held already.
// Same/download/<alike>/<n>: Controller.mergeCorpus of the corpus text (parse,
//   load, merge), against JSON.parse of the same text.
// Counters: `ratio` (our speed over the peer's), `us_per_contribution`.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

#include "PairTimer.h"
#include "Quiet.h"
#include "app/Controller.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/JSON.h"
#include "foundation/Number.h"
#include "foundation/Pool.h"
#include "foundation/String.h"

namespace quorl {
namespace {

std::string corpusOf(bool alike, int64_t n) {
  std::string text = R"({"contributions":[)";
  for (int64_t i = 0; i < n; ++i) {
    if (i) text += ",";
    text += R"({"schema":"quorl-bench/1","id":")" + (alike ? std::string("same") : "c" + std::to_string(i)) +
            R"(","machine":{"os":"Linux","cpu":"Zen 4","memory_mb":32768},"runs":[)";
    for (int r = 0; r < 3; ++r) {
      if (r) text += ",";
      text += R"({"suite":"langs","benchmark":"b)" + std::to_string(r) +
              R"(","target":"quorl","device":"cpu","opt":"O3","best_us":100,"first_us":120,"samples_us":[)";
      for (int s = 0; s < 5; ++s) text += (s ? "," : "") + std::to_string(100 + (i * 15 + r * 5 + s) % 100003);
      text += "]}";
    }
    text += "]}";
  }
  return text + "]}";
}

const std::string& corpusText(bool alike, int64_t n) {
  static std::map<std::pair<bool, int64_t>, std::string> made;
  std::string& text = made[{alike, n}];
  if (text.empty()) text = corpusOf(alike, n);
  return text;
}

using perf::Quiet;

void report(benchmark::State& state, const perf::PairTimer& timer, int64_t n) {
  state.counters["ratio"] = timer.secondSeconds / timer.firstSeconds;
  state.counters["cpu_ratio"] = timer.secondCpuSeconds / timer.firstCpuSeconds;
  state.counters["us_per_contribution"] =
      1e6 * timer.firstSeconds / double(state.iterations()) / double(n);
}

void BM_SameMerge(benchmark::State& state) {
  const bool alike = state.range(0) != 0;
  const int64_t n = state.range(1);
  const std::string& text = corpusText(alike, n);
  Ref<Array> list = Contribution::loadText(String::withBytes(text.data(), uint32_t(text.size())),
                                           String::withCString("corpus"));
  perf::PairTimer timer;
  for (auto _ : state) {
    Ref<DataSet> data = make<DataSet>();
    uint32_t held = 0;
    int64_t sum = 0;
    const double seconds = timer.run([&] { held = data->merge(list).added->count(); },
                                     [&] {
                                       for (const Ref<Object>& c : *list)
                                         for (const Ref<Object>& r : *staticCast<Contribution>(c)->runs)
                                           if (auto values = staticCast<Run>(r)->samples->_integers())
                                             for (uint32_t i = 0; i < 5; ++i) sum += values[i];
                                     });
    state.SetIterationTime(seconds);
    benchmark::DoNotOptimize(sum);
    if (held != uint32_t(n)) state.SkipWithError("a contribution was taken for another");
  }
  report(state, timer, n);
}

// The corpus loaded twice: the second merged into a data set that holds the
// first, as when a file is opened again. Each result set is found, and
// compared in full with its like alone.
void BM_SameAgain(benchmark::State& state) {
  const bool alike = state.range(0) != 0;
  const int64_t n = state.range(1);
  const std::string& text = corpusText(alike, n);
  auto loaded = [&] {
    return Contribution::loadText(String::withBytes(text.data(), uint32_t(text.size())), String::withCString("corpus"));
  };
  Ref<Array> first = loaded(), again = loaded();
  Ref<DataSet> data = make<DataSet>();
  data->merge(first);
  perf::PairTimer timer;
  for (auto _ : state) {
    uint32_t found = 0;
    int64_t sum = 0;
    const double seconds = timer.run([&] { found = data->merge(again).matched->count(); },
                                     [&] {
                                       for (const Ref<Object>& c : *again)
                                         for (const Ref<Object>& r : *staticCast<Contribution>(c)->runs)
                                           if (auto values = staticCast<Run>(r)->samples->_integers())
                                             for (uint32_t i = 0; i < 5; ++i) sum += values[i];
                                     });
    state.SetIterationTime(seconds);
    benchmark::DoNotOptimize(sum);
    if (found != uint32_t(n)) state.SkipWithError("a contribution held already was not found");
  }
  report(state, timer, n);
}

void BM_SameDownload(benchmark::State& state) {
  const bool alike = state.range(0) != 0;
  const int64_t n = state.range(1);
  const std::string& bytes = corpusText(alike, n);
  Ref<String> text = String::withBytes(bytes.data(), uint32_t(bytes.size()));
  perf::PairTimer timer;
  for (auto _ : state) {
    Ref<Controller> controller = make<Controller>();
    double seconds = 0;
    {
      Quiet quiet;
      seconds = timer.run([&] { controller->mergeCorpus(text); },
                          [&] { benchmark::DoNotOptimize(JSON::parse(text).get()); });
    }
    state.SetIterationTime(seconds);
    if (controller->dataSet->contributions().count() != uint32_t(n))
      state.SkipWithError("a contribution was taken for another");
    state.PauseTiming();
    controller.reset();
    pool::trim();
    state.ResumeTiming();
  }
  state.counters["file_MB"] = double(bytes.size()) / 1e6;
  report(state, timer, n);
}

void shapes(benchmark::internal::Benchmark* b) {
  for (int64_t alike : {1, 0})
    for (int64_t n : {10000, 20000, 40000, 80000}) b->Args({alike, n});
}

BENCHMARK(BM_SameMerge)->Name("Same/merge")->Apply(shapes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SameAgain)->Name("Same/again")->Apply(shapes)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SameDownload)
    ->Name("Same/download")
    ->Apply(shapes)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace quorl
