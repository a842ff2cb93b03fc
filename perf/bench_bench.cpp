// Results subsystem speed: loading a large corpus, filtering its runs and
// building the heat map, against RapidJSON and nlohmann-json parsing the
// same text, and a std::unordered_set grouping the same rows by column key,
// in the same run.
//
// The corpora (CorpusShape.h, fixed seeds), the last argument of each
// benchmark: 0 the current shape (200 machines, five samples a run), 1 the
// user-size shape (320 machines, 3 to 40 samples a run, 36 MB); both 100,000
// runs.
// Targets: load >= 100 MB/s end to end; filter + heat map of 100,000 runs
// under 50 ms.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <string>
#include <unordered_set>
#include <vector>

#include "CorpusShape.h"
#include "bench/Filter.h"
#include "bench/HeatMap.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/JSON.h"
#include "foundation/String.h"

using namespace quorl;

namespace {

using namespace perfcorpus;

// The shape's text as a quorl String, made once per shape.
const Ref<String>& corpusString(Shape shape) {
  static Ref<String> texts[2];
  Ref<String>& text = texts[static_cast<int>(shape)];
  if (!text) text = String::withBytes(corpusText(shape).data(), static_cast<uint32_t>(corpusText(shape).size()));
  return text;
}

void BM_LoadCorpus(benchmark::State& state) {
  const Shape shape = shapeOf(state.range(0));
  const Ref<String>& text = corpusString(shape);
  auto source = String::withCString("corpus");
  uint32_t runs = 0;
  for (auto _ : state) {
    auto list = Contribution::loadText(text, source);
    runs = 0;
    for (uint32_t i = 0; i < list->count(); ++i) runs += cast<Contribution>(list->get(i))->runs->count();
    benchmark::DoNotOptimize(list);
  }
  if (runs != static_cast<uint32_t>(shapeInfo(shape).runs)) state.SkipWithError("the corpus did not load whole");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text->byteLength());
  state.counters["runs"] = runs;
}
BENCHMARK(BM_LoadCorpus)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The parse alone, to tell the reader's share of the load from the model's.
void BM_JSONParseOnly(benchmark::State& state) {
  const Ref<String>& text = corpusString(shapeOf(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(JSON::parse(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text->byteLength());
}
BENCHMARK(BM_JSONParseOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_RapidJSONParse(benchmark::State& state) {
  const std::string& text = corpusText(shapeOf(state.range(0)));
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse(text.data(), text.size());
    benchmark::DoNotOptimize(document.HasParseError());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
}
BENCHMARK(BM_RapidJSONParse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_NlohmannParse(benchmark::State& state) {
  const std::string& text = corpusText(shapeOf(state.range(0)));
  for (auto _ : state) {
    auto document = nlohmann::json::parse(text);
    benchmark::DoNotOptimize(document.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
}
BENCHMARK(BM_NlohmannParse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Filter every run and build the heat map from the rows of the runs that
// pass. The rows (one per run, as the chart view makes them) are made once;
// the build rewrites their settings, so those are put back between rounds.
void BM_FilterAndHeatMap(benchmark::State& state) {
  auto list = Contribution::loadText(corpusString(shapeOf(state.range(1))), String::withCString("corpus"));
  struct Item {
    Ref<Contribution> contribution;
    Ref<quorl::Run> run;
    Ref<ChartRow> row;
    Ref<String> setting;
  };
  std::vector<Item> items;
  for (uint32_t c = 0; c < list->count(); ++c) {
    auto contribution = cast<Contribution>(list->get(c));
    auto label = contribution->machine->label();
    for (uint32_t r = 0; r < contribution->runs->count(); ++r) {
      auto run = cast<quorl::Run>(contribution->runs->get(r));
      auto row = make<ChartRow>();
      row->bench = run->benchmark;
      row->series = run->target;
      row->setting = String::withFormat("%s %s", run->arch->cString(), run->opt->cString());
      const std::optional<double> value = run->value(false);
      row->timed = value.has_value();
      row->value = row->shown = value ? *value : std::nan("");
      row->mean = run->mean;
      row->stddev = run->stddev;
      row->machineText = label;
      row->contribution = contribution;
      items.push_back({contribution, run, row, row->setting});
    }
  }
  // Arg 0: criteria that every run passes, so the heat map gets all 100,000
  // rows; arg 1: "CPU only", which drops the GPU third.
  Filter filter;
  filter.suite = String::withCString("LANGS");
  filter.cpu = String::withCString("");
  filter.gpu = String::withCString("rtx");
  if (state.range(0) == 1) filter.device = String::withCString("CPU only");
  // Arg 2 times the filter alone, arg 3 the heat map alone.
  const bool filtering = state.range(0) != 3, building = state.range(0) != 2;
  auto all = make<Array>();
  for (const Item& item : items) all->add(item.row);
  HeatMap map;
  uint32_t kept = 0, columns = 0;
  for (auto _ : state) {
    auto rows = all;
    if (filtering) {
      rows = make<Array>();
      for (const Item& item : items) {
        if (filter.matches(item.contribution, item.run)) rows->add(item.row);
      }
    }
    if (building) map.build(rows, nullptr, 800);
    kept = rows->count();
    columns = map.colSeries->count();
    state.PauseTiming();
    for (const Item& item : items) item.row->setting = item.setting;
    state.ResumeTiming();
  }
  state.counters["rows"] = kept;
  state.counters["columns"] = columns;
  state.counters["lines"] = map.benches->count();
}
// The peer: grouping the same rows by their column key ("series|setting"
// with the machine) in a std::unordered_set of std::string, the least a
// heat-map build must do. Arg: the shape.
void BM_HeatMapPeerGroupKeys(benchmark::State& state) {
  auto list = Contribution::loadText(corpusString(shapeOf(state.range(0))), String::withCString("corpus"));
  std::vector<std::string> keys;
  for (uint32_t c = 0; c < list->count(); ++c) {
    auto contribution = cast<Contribution>(list->get(c));
    const std::string machine(contribution->machine->label()->view());
    for (uint32_t r = 0; r < contribution->runs->count(); ++r) {
      auto run = cast<quorl::Run>(contribution->runs->get(r));
      keys.push_back(std::string(run->target->view()) + "|" + std::string(run->arch->view()) + " " +
                     std::string(run->opt->view()) + " " + machine);
    }
  }
  size_t columns = 0;
  for (auto _ : state) {
    std::unordered_set<std::string> seen;
    for (const std::string& key : keys) seen.insert(key);
    columns = seen.size();
    benchmark::DoNotOptimize(columns);
  }
  state.counters["columns"] = static_cast<double>(columns);
}
BENCHMARK(BM_HeatMapPeerGroupKeys)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Second argument: the corpus shape.
BENCHMARK(BM_FilterAndHeatMap)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
