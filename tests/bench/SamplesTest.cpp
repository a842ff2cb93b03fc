// The result files in samples/: each loads as what it claims to be, and
// selftest.json holds what the program's self test expects of its file.
#include <gtest/gtest.h>

#include <cmath>

#include "BenchTestSupport.h"
#include "bench/Filter.h"
#include "bench/HeatMap.h"
#include "foundation/Files.h"
#include "foundation/JSON.h"

using namespace quorl;
using namespace quorl::benchtest;

namespace {

Ref<String> samplePath(const char* name) {
  return String::withFormat("%s/samples/%s", QUORL_SOURCE_DIR, name);
}

Ref<Array> loadSample(const char* name) {
  auto path = samplePath(name);
  auto text = Files::readText(path);
  EXPECT_NE(text, nullptr) << name;
  return Contribution::loadText(text, path);
}

std::string ids(const Ref<Array>& list) {
  std::string out;
  for (uint32_t i = 0; i < list->count(); ++i) out += (i ? "," : "") + str(contributionAt(list, i)->id);
  return out;
}

// What the chart view makes of a run for the heat map: its language (or
// device) as the series, architecture and optimisation as the setting.
Ref<String> seriesOf(const quorl::Run& run) {
  static const char* const kLangs[][2] = {{"objc", "Objective-C"}, {"cpp", "C++ (clang)"}, {"gcc", "C++ (GCC)"},
                                          {"swift", "Swift"}};
  if (BHelp::same(run.suite, "langs")) {
    for (auto& entry : kLangs) {
      if (BHelp::same(run.target, entry[0])) return S(entry[1]);
    }
    return S("quorl");
  }
  return S(run.device ? run.device->cString() : "auto");
}

Ref<String> settingOf(const quorl::Run& run) {
  auto out = make<String>();
  if (run.arch && !run.arch->isEmpty()) out->append(BHelp::same(run.arch, "x86_64") ? S("x86-64") : run.arch);
  if (run.opt && !run.opt->isEmpty()) {
    if (!out->isEmpty()) out->appendCString(" ");
    out->append(run.opt);
  }
  return out;
}

Ref<Array> chartRows(const DataSet& data, const Filter& filter) {
  auto rows = make<Array>();
  for (uint32_t c = 0; c < data.contributions().count(); ++c) {
    auto contribution = data.at(c);
    for (uint32_t r = 0; r < contribution->runs->count(); ++r) {
      auto run = runAt(contribution, r);
      if (!filter.matches(contribution, run)) continue;
      auto row = make<ChartRow>();
      row->bench = run->benchmark;
      row->series = seriesOf(*run);
      row->setting = settingOf(*run);
      const auto value = run->value(false);
      row->timed = value.has_value();
      row->value = row->shown = value ? *value : std::nan("");
      row->mean = run->mean;
      row->stddev = run->stddev;
      row->machineText = contribution->machine->label();
      row->contribution = contribution;
      rows->add(row);
    }
  }
  return rows;
}

}  // namespace

TEST(Samples, SingleContribution) {
  auto list = loadSample("contribution.json");
  ASSERT_EQ(list->count(), 1u);
  auto c = contributionAt(list, 0);
  EXPECT_EQ(str(c->schema), "quorl-bench/1");
  EXPECT_EQ(str(c->id), "m2pro-2024-05-18-a41c");
  EXPECT_EQ(str(c->machine->label()), "Apple M2 Pro + Apple M2 Pro (19-core GPU)");
  EXPECT_EQ(c->machine->memory_mb, 32768);
  EXPECT_EQ(c->repeats, 5);
  EXPECT_EQ(c->toolchains->count(), 4u);
  ASSERT_EQ(c->runs->count(), 11u);
  auto first = runAt(c, 0);
  EXPECT_EQ(first->best_us, 97230);
  EXPECT_EQ(first->first_us, 101877);
  EXPECT_DOUBLE_EQ(first->mean, (98410 + 97230 + 97655 + 98102 + 97980) / 5.0);
  EXPECT_EQ(paramText(runAt(c, 4)->params), "lang=quorl,opt=O3,bodies=5,steps=5000000");
  EXPECT_TRUE(runAt(c, 10)->isGpu());
  EXPECT_NE(c->root->get("notes"), nullptr);  // kept for submission
}

TEST(Samples, ArrayOfContributions) {
  auto list = loadSample("contributions.json");
  EXPECT_EQ(ids(list), "ryzen7950x-2024-05-20-09d2,xps15-2024-05-21-77be");
  EXPECT_EQ(totalRuns(list), 5u);
  EXPECT_EQ(str(contributionAt(list, 1)->machine->label()), "Intel(R) Core(TM) i7-12700H");  // empty gpu
  EXPECT_TRUE(runAt(contributionAt(list, 0), 2)->isGpu());
}

TEST(Samples, Corpus) {
  auto list = loadSample("corpus.json");
  EXPECT_EQ(ids(list), "rpi5-2024-05-02-1f0e,ryzen7950x-2024-05-20-09d2,v0.74.0 x86_64,windows,m1air-2024-03-11-c3d4");
  EXPECT_EQ(totalRuns(list), 2u + 3u + 5u + 3u + 1u);
  auto path = samplePath("corpus.json");
  for (uint32_t i = 0; i < list->count(); ++i) {
    EXPECT_EQ(str(contributionAt(list, i)->source), i < 2 ? str(path) : "published") << i;
  }
  EXPECT_EQ(str(contributionAt(list, 2)->schema), "run.py");
  EXPECT_EQ(str(contributionAt(list, 3)->schema), "par.py");
  EXPECT_EQ(str(contributionAt(list, 3)->machine->cpu), "Windows (x86-64)");
}

TEST(Samples, RunPyResults) {
  auto list = loadSample("run-py-results.json");
  EXPECT_EQ(ids(list), "v0.74.1 arm64,v0.74.1 x86_64");
  ASSERT_EQ(list->count(), 2u);
  EXPECT_EQ(contributionAt(list, 0)->runs->count(), 13u);  // from "net"; "raw" unread
  EXPECT_EQ(contributionAt(list, 1)->runs->count(), 3u);
  auto run = runAt(contributionAt(list, 0), 3);
  EXPECT_EQ(str(run->benchmark), "int_accum");
  EXPECT_EQ(str(run->target), "quorl");
  EXPECT_EQ(str(run->opt), "O3");
  EXPECT_EQ(run->best_us, 97230);
  EXPECT_EQ(str(runAt(contributionAt(list, 1), 1)->target), "gcc");
  EXPECT_EQ(runAt(contributionAt(list, 1), 1)->best_us, 124800);
}

TEST(Samples, ParResults) {
  auto list = loadSample("par-results.json");
  EXPECT_EQ(ids(list), "mac,linux,browser");
  ASSERT_EQ(list->count(), 3u);
  EXPECT_EQ(contributionAt(list, 0)->runs->count(), 6u);
  EXPECT_EQ(contributionAt(list, 1)->runs->count(), 6u);
  EXPECT_EQ(contributionAt(list, 2)->runs->count(), 1u);
  EXPECT_EQ(str(contributionAt(list, 2)->machine->label()), "Chrome (wasm32)");
  auto vulkan = runAt(contributionAt(list, 1), 5);
  EXPECT_EQ(str(vulkan->device), "vulkan");
  EXPECT_EQ(vulkan->best_us, 1051);
  EXPECT_EQ(str(vulkan->checksum), "-0.169075164");
  EXPECT_EQ(paramText(vulkan->params), "QUORL_PAR=gpu,QUORL_PAR_GPU=vulkan,opt=O3");
}

TEST(Samples, SelfTestFilePassesTheDataChecks) {
  DataSet data;
  data.replace(loadSample("selftest.json"));
  ASSERT_EQ(data.contributions().count(), 1u);
  auto first = data.at(0);
  EXPECT_EQ(str(first->schema), "quorl-bench/1");
  for (uint32_t i = 0; i < first->runs->count(); ++i) {
    auto run = runAt(first, i);
    EXPECT_GT(run->samples->count(), 0u) << str(run->benchmark);
    EXPECT_GE(run->mean, 0.0) << str(run->benchmark);
  }

  // CPU only must drop the GPU runs the file holds.
  Filter cpuOnly;
  cpuOnly.device = S("CPU only");
  auto runs = data.runs();
  uint32_t kept = 0, gpu = 0;
  for (uint32_t i = 0; i < runs->count(); ++i) {
    auto run = cast<quorl::Run>(runs->get(i));
    kept += cpuOnly.matches(first, run);
    gpu += run->isGpu();
  }
  EXPECT_EQ(gpu, 2u);
  EXPECT_EQ(kept, runs->count() - 2);

  // The JSON round trip keeps every run.
  auto again = Contribution::fromText(JSON::stringify(first->root), S("roundtrip"));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->runs->count(), first->runs->count());
}

TEST(Samples, SelfTestFilePassesTheHeatMapChecks) {
  DataSet data;
  data.replace(loadSample("selftest.json"));
  Filter filter;
  filter.suite = S("langs");
  filter.opt = S("O3");
  filter.arch = S("x86_64");

  HeatMap map;
  map.build(chartRows(data, filter), nullptr, 800);
  ASSERT_GE(map.benchmarks()->count(), 1u);
  ASSERT_GE(map.columnSeries()->count(), 2u);
  uint32_t unmeasured = 0;
  for (uint32_t r = 0; r < map.benches->count(); ++r) {
    double minimum = 1e30;
    for (uint32_t c = 0; c < map.colSeries->count(); ++c) {
      double ratio;
      bool grey;
      if (!map.ratio(r, c, ratio, grey)) {
        ++unmeasured;
      } else if (ratio < minimum) {
        minimum = ratio;
      }
    }
    EXPECT_LE(std::fabs(minimum - 1), 1e-9) << "row " << r;
  }
  EXPECT_GT(unmeasured, 0u);

  const double expected = static_cast<double>(126100.0f / 117900.0f);
  map.build(chartRows(data, filter), S("quorl"), 800);
  bool sawPair = false, sawMean = false;
  for (uint32_t c = 0; c < map.colSeries->count(); ++c) {
    auto series = cast<String>(map.colSeries->get(c));
    for (uint32_t r = 0; r < map.benches->count(); ++r) {
      double ratio;
      bool grey;
      if (!map.ratio(r, c, ratio, grey)) continue;
      if (BHelp::same(series, "quorl")) {
        EXPECT_LE(std::fabs(ratio - 1), 1e-9);
      }
      if (BHelp::same(series, "C++ (clang)") && BHelp::same(cast<String>(map.benches->get(r)), "int_accum")) {
        EXPECT_LE(std::fabs(ratio - expected), 1e-6);
        sawPair = true;
      }
    }
    double mean;
    if (BHelp::same(series, "C++ (clang)") && map.geomean(c, mean)) {
      EXPECT_LE(std::fabs(mean - expected), 1e-6);
      sawMean = true;
      // The file is built so that counting the outlier would be noticed.
      double withOutlier = 0;
      uint32_t n = 0;
      for (uint32_t r = 0; r < map.benches->count(); ++r) {
        double ratio;
        bool grey;
        if (map.ratio(r, c, ratio, grey)) {
          withOutlier += std::log(ratio);
          ++n;
        }
      }
      EXPECT_GT(std::fabs(std::exp(withOutlier / n) - expected), 1e-6);
    }
  }
  EXPECT_TRUE(sawPair);
  EXPECT_TRUE(sawMean);
}

TEST(Samples, EveryFileLoadsSomething) {
  for (const char* name :
       {"contribution.json", "contributions.json", "corpus.json", "run-py-results.json", "par-results.json",
        "selftest.json"}) {
    EXPECT_GT(totalRuns(loadSample(name)), 0u) << name;
  }
}
