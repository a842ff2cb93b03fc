// The chart view with 100,000 runs: a rebuild (filter, group, order, texts,
// heat-map model) and a draw of each mode into a surface that discards every
// call, against std::sort of the same 100,000 values as the peer.
//
// The data, the last argument of each benchmark: 0 the current shape, 200
// machines of 500 runs each over 60 benchmarks, 12 targets, 3 devices,
// 2 optimisation levels and 3 architectures, built directly from a fixed
// seed; 1 the user-size corpus of CorpusShape.h (320 machines, 84
// benchmarks, 16 targets, 4 devices, 6 optimisation levels, 4 architectures)
// loaded from its text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "CorpusShape.h"
#include "DiscardingGraphics.h"
#include "bench/ChartNames.h"
#include "bench/ChartView.h"
#include "bench/Filter.h"
#include "bench/HeatMap.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/Map.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXGraphics.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/core/UXViewTree.h"

using namespace quorl;

namespace {

using namespace perfcorpus;

Ref<DataSet> makeData(int machines) {
  std::mt19937_64 random(20241208);
  auto data = make<DataSet>();
  std::vector<Ref<String>> benches, targets, devices, archs;
  for (int b = 0; b < kBenchmarks; ++b) benches.push_back(String::withFormat("bench_%d", b));
  for (const char* t : kTargets) targets.push_back(String::withCString(t));
  for (const char* d : kDevices) devices.push_back(String::withCString(d));
  for (const char* a : kArchs) archs.push_back(String::withCString(a));
  Ref<String> langs = String::withCString("langs"), o2 = String::withCString("O2"), o3 = String::withCString("O3");
  for (int m = 0; m < machines; ++m) {
    auto c = make<Contribution>();
    c->machine->cpu = String::withFormat("Machine %d CPU", m);
    c->machine->gpu = String::withCString("NVIDIA GeForce RTX 4070");
    for (int r = 0; r < kRunsPerMachine; ++r) {
      const uint64_t pick = random();
      auto run = make<Run>();
      run->suite = langs;
      run->benchmark = benches[pick % kBenchmarks];
      run->target = targets[(pick >> 8) % 12];
      run->device = devices[(pick >> 16) % 3];
      run->opt = ((pick >> 24) & 1) ? o3 : o2;
      run->arch = archs[m % 3];
      run->params->set("lang", run->target);
      run->params->set("opt", run->opt);
      run->best_us = static_cast<int64_t>(1000 + (pick >> 32) % 5000000);
      run->first_us = run->best_us + static_cast<int64_t>((pick >> 40) % 1000);
      run->mean = static_cast<double>(run->best_us) * 1.02;
      run->stddev = static_cast<double>(run->best_us) * 0.01;
      c->runs->add(run);
    }
    data->replace(data->contributions().adding(c));
  }
  return data;
}

using perf::DiscardingGraphics;  // draws nothing: the chart's own work is measured

Ref<DataSet> loadData(Shape shape) {
  const std::string& text = corpusText(shape);
  auto data = make<DataSet>();
  data->replace(Contribution::loadText(String::withBytes(text.data(), static_cast<uint32_t>(text.size())),
                                String::withCString("corpus")));
  return data;
}

// One chart view over the data, attached so that it has a 1280-pixel frame.
struct Chart {
  Ref<UXViewTree> tree;
  Ref<ChartView> view;
  explicit Chart(Shape shape) {
    if (!gDriver) gDriver = make<UXHeadlessDriver>();
    tree = make<UXViewTree>();
    view = make<ChartView>();
    view->attachTo(tree, UXRect(0, 0, 1280, 32767));
    view->dataSet = shape == Shape::Current ? makeData(kMachines) : loadData(shape);
    view->filter = make<Filter>();
  }
};

Chart& chart(Shape shape) {
  // Each lives to the end of the process.
  static Chart* shared[2] = {nullptr, nullptr};
  Chart*& c = shared[static_cast<int>(shape)];
  if (!c) c = new Chart(shape);
  return *c;
}

void BM_ChartRebuild(benchmark::State& state) {
  Chart& c = chart(shapeOf(state.range(1)));
  c.view->metric = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    c.view->rebuild();
    benchmark::DoNotOptimize(c.view->rows->count());
  }
  state.counters["rows"] = c.view->rows->count();
}
// Args: the metric, the shape.
BENCHMARK(BM_ChartRebuild)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

void BM_ChartDraw(benchmark::State& state) {
  Chart& c = chart(shapeOf(state.range(1)));
  c.view->metric = 0;
  c.view->rebuild();
  c.view->mode = static_cast<int32_t>(state.range(0));
  DiscardingGraphics g;
  for (auto _ : state) c.view->drawRect(g, UXRect(0, 0, 1280, 32767));
  state.counters["calls"] = benchmark::Counter(static_cast<double>(g.calls), benchmark::Counter::kAvgIterations);
  c.view->mode = 0;
}
// Args: the mode (0 bar charts, 1 summary panels, 2 heat map), the shape.
BENCHMARK(BM_ChartDraw)->ArgsProduct({{0, 1, 2}, {0, 1}})->Unit(benchmark::kMillisecond);

// The heat map's first draw after a rebuild: its names and headings are
// made in it, for every column (4,800 and 29,559 columns). The rebuild
// itself is not timed.
// Times the draw that follows each rebuild, the rebuild untimed.
void drawAfterRebuilds(benchmark::State& state, Chart& c) {
  DiscardingGraphics g;
  for (auto _ : state) {
    state.PauseTiming();
    c.view->rebuild();
    state.ResumeTiming();
    c.view->drawRect(g, UXRect(0, 0, 1280, 32767));
  }
}

void BM_HeatMapFirstDraw(benchmark::State& state) {
  Chart& c = chart(shapeOf(state.range(0)));
  c.view->metric = 0;
  c.view->mode = 2;
  drawAfterRebuilds(state, c);
  c.view->mode = 0;
}
// Args: the shape.
BENCHMARK(BM_HeatMapFirstDraw)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

// The bar charts' first draw after a rebuild: the labels of the rows in
// sight are made in it. The rebuild itself is not timed. In sight: all the
// 32,767-pixel frame holds, or a window's 800 pixels of it.
void BM_ChartFirstDraw(benchmark::State& state) {
  Chart& c = chart(shapeOf(state.range(0)));
  c.view->metric = 0;
  c.view->mode = 0;
  c.view->shownH = state.range(1) == 0 ? -1 : 800;
  drawAfterRebuilds(state, c);
  c.view->shownH = -1;
}
// Args: the shape; 0 the whole frame in sight, 1 800 pixels.
BENCHMARK(BM_ChartFirstDraw)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// The bar charts drawn at a scroll position in the middle of the chart, a
// window's 800 pixels in sight, again and again as a scroll step redraws
// them: 100,000 and 1,000,000 runs (200 and 2,000 machines of the current
// shape, built directly). The draw should cost what is in sight.
void BM_ChartBarsAt(benchmark::State& state) {
  const int machines = static_cast<int>(state.range(0));
  static std::vector<std::pair<int, Chart*>> made;  // each lives to the end of the process
  Chart* c = nullptr;
  for (const auto& [m, chart] : made)
    if (m == machines) c = chart;
  if (!c) {
    c = new Chart(Shape::Current);
    c->view->dataSet = makeData(machines);
    made.emplace_back(machines, c);
  }
  ChartView& view = *c->view;
  view.metric = 0;
  view.mode = 0;
  view.rebuild();
  const int32_t middle = view.height() / 2;
  view.originY = middle / 8192 * 8192;
  view.shownY = middle;
  view.shownH = 800;
  DiscardingGraphics g;
  view.drawRect(g, UXRect(0, 0, 1280, 32767));  // the first draw makes the labels in sight
  for (auto _ : state) view.drawRect(g, UXRect(0, 0, 1280, 32767));
  state.counters["rows"] = view.rows->count();
  view.originY = view.shownY = 0;
  view.shownH = -1;
}
BENCHMARK(BM_ChartBarsAt)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond);

// Short forms of n benchmark names that share a long beginning and a long
// ending and part only in a middle word, in a 231-pixel room: the heat
// map's first draw of n lines. The peer sorts the same names.
std::vector<std::string> partingNames(int64_t n) {
  std::vector<std::string> names;
  for (int64_t i = 0; i < n; ++i)
    names.push_back("spectral_norm_power_iteration_variant_" + std::to_string(i * 7919 % (n * 8)) +
                    "_with_double_precision_accumulators");
  return names;
}

void BM_ShortForms(benchmark::State& state) {
  const std::vector<std::string> names = partingNames(state.range(0));
  const std::vector<std::string_view> views(names.begin(), names.end());
  for (auto _ : state) {
    std::vector<std::string> forms = chart::shortForms(views, 231, {12, 7});
    benchmark::DoNotOptimize(forms.data());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ShortForms)->RangeMultiplier(2)->Range(4096, 65536)->Unit(benchmark::kMillisecond)->Complexity();

void BM_ShortFormsPeerSort(benchmark::State& state) {
  const std::vector<std::string> names = partingNames(state.range(0));
  for (auto _ : state) {
    std::vector<std::string_view> views(names.begin(), names.end());
    std::sort(views.begin(), views.end());
    benchmark::DoNotOptimize(views.data());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ShortFormsPeerSort)->RangeMultiplier(2)->Range(4096, 65536)->Unit(benchmark::kMillisecond)->Complexity();

// The peer: sorting the 100,000 runs' values, the least a rebuild must do.
void BM_ChartPeerSortKeys(benchmark::State& state) {
  Chart& c = chart(shapeOf(state.range(0)));
  std::vector<double> keys;
  for (uint32_t i = 0; i < c.view->dataSet->contributions().count(); ++i) {
    auto contribution = cast<Contribution>(c.view->dataSet->contributions().get(i));
    for (uint32_t k = 0; k < contribution->runs->count(); ++k)
      if (const auto value = cast<Run>(contribution->runs->get(k))->value(false)) keys.push_back(*value);
  }
  std::vector<double> work;
  for (auto _ : state) {
    work = keys;
    std::sort(work.begin(), work.end());
    benchmark::DoNotOptimize(work.data());
  }
  state.counters["keys"] = static_cast<double>(keys.size());
}
BENCHMARK(BM_ChartPeerSortKeys)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

