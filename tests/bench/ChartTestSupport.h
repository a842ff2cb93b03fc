// Builders for the chart view tests: runs, contributions, a data set, and a
// chart view attached to a headless view tree so that it has a frame; and
// checks of drawn texts.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "BenchTestSupport.h"
#include "RecordingGraphics.h"
#include "bench/ChartNames.h"
#include "bench/ChartView.h"
#include "bench/Filter.h"
#include "bench/HeatMap.h"
#include "ux/core/UXApplication.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl::charttest {

using benchtest::S;
using benchtest::str;

struct RunSpec {
  const char* bench;
  const char* suite = "langs";
  const char* target = "quorl";
  const char* device = "cpu";
  const char* opt = "O3";
  const char* arch = nullptr;
  int64_t best = 0;
  int64_t first = 0;
  double mean = 0;
  double stddev = 0;
  uint32_t samples = 1;  // how many the mean is of; without any the run's time is best or first alone
};

inline Ref<Run> makeRun(const RunSpec& s) {
  auto run = make<Run>();
  run->benchmark = S(s.bench);
  run->suite = S(s.suite);
  run->target = S(s.target);
  run->device = S(s.device);
  run->opt = S(s.opt);
  run->arch = S(s.arch);
  run->best_us = s.best;
  run->first_us = s.first;
  run->mean = s.mean ? s.mean : static_cast<double>(s.best);
  run->stddev = s.stddev;
  run->timedSamples = s.samples;
  return run;
}

inline Ref<Contribution> contribution(const char* cpu, std::initializer_list<RunSpec> runs) {
  auto c = make<Contribution>();
  c->machine->cpu = S(cpu);
  for (const RunSpec& r : runs) c->runs->add(makeRun(r));
  return c;
}

inline Ref<DataSet> dataSetOf(std::initializer_list<Ref<Contribution>> list) {
  auto set = make<DataSet>();
  for (const auto& c : list) set->replace(set->contributions().adding(c));
  return set;
}

// A recorded "drawTextRGBA \"text\" x y r g b a size" line read back.
struct DrawnText {
  std::string text;
  int x = 0, y = 0, size = 0;
  std::string colour;  // "r g b a"
};

inline std::optional<DrawnText> drawnText(const std::string& line) {
  if (line.rfind("drawTextRGBA \"", 0) != 0) return std::nullopt;
  const size_t close = line.rfind('"');
  DrawnText t;
  t.text = line.substr(14, close - 14);
  int r, g, b, a;
  std::sscanf(line.c_str() + close + 1, " %d %d %d %d %d %d %d", &t.x, &t.y, &r, &g, &b, &a, &t.size);
  t.colour = std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b) + " " + std::to_string(a);
  return t;
}

// How many of the full names a drawn form reads as.
inline long readersOf(const std::string& shown, const std::vector<std::string>& full) {
  return std::count_if(full.begin(), full.end(), [&](const std::string& f) { return chart::readsAs(shown, f); });
}

inline ChartRow& rowAt(const ChartView& view, uint32_t i) { return *cast<ChartRow>(view.rows->get(i)); }

// Bars of `top`, a third and a fortieth of it, each with spreads from a
// tenth of its value to ten times it; tops from 1 us to 400 s.
inline constexpr int64_t kSpreadTops[] = {1, 40, 1388, 387002, 5300000, 18860000, 400000000};

inline Ref<DataSet> spreadBars(int64_t top) {
  auto c = contribution("c", {});
  int k = 0;
  for (int64_t value : {top, std::max<int64_t>(top / 3, 1), std::max<int64_t>(top / 40, 1)})
    for (double spread : {0.1, 0.3, 1.0, 3.0, 10.0}) {
      const std::string bench = "b" + std::to_string(k++);
      c->runs->add(makeRun(
          {.bench = bench.c_str(), .best = value, .mean = double(value) * 1.05, .stddev = double(value) * spread}));
    }
  return dataSetOf({c});
}

// Installs a headless driver for the suite when none is there, and gives
// each chart view a node of its own in one view tree.
class ChartFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gDriver) {
      gDriver = make<UXHeadlessDriver>();
      installed_ = true;
    }
    tree_ = make<UXViewTree>();
  }
  void TearDown() override {
    tree_.reset();
    if (installed_) gDriver.reset();
  }

  // A view with the data, an empty filter and the frame (0, 0, width, height).
  Ref<ChartView> chart(const Ref<DataSet>& data, int32_t width = 800, int32_t height = 600) {
    auto view = make<ChartView>();
    view->attachTo(tree_, UXRect(0, 0, width, height));
    view->dataSet = data;
    view->filter = make<Filter>();
    return view;
  }

  void resize(const Ref<ChartView>& view, int32_t width, int32_t height) {
    gDriver->structSetFrame(tree_->driverTree, static_cast<int16_t>(view->node), 0, 0, width, height);
  }

  Ref<UXViewTree> tree_;
  bool installed_ = false;
};

}  // namespace quorl::charttest
