// ChartView rows and series: naming and colour tables, settings, labels,
// parameter lines, the rebuild's grouping and order, and the row queries.
#include <gtest/gtest.h>

#include <cmath>

#include "ChartTestSupport.h"
#include "foundation/Array.h"
#include "foundation/Map.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/String.h"

using namespace quorl;
using namespace quorl::charttest;

namespace {

// --- Naming, colours, settings ------------------------------------------------

struct SeriesCase {
  const char *suite, *target, *device, *series;
  uint32_t color;
};

TEST(ChartViewSeries, NamesAndColoursFollowTheTables) {
  const SeriesCase cases[] = {
      {"langs", "objc", "cpu", "Objective-C", 0xC9A227},
      {"LANGS", "ObjC", nullptr, "Objective-C", 0xC9A227},
      {"langs", "cpp", "cpu", "C++ (clang)", 0x3B82F6},
      {"langs", "GCC", "cpu", "C++ (GCC)", 0x16A34A},
      {"langs", "swift", "cpu", "Swift", 0x9333EA},
      {"langs", "quorl", "gpu", "quorl", 0xD4751F},
      {"langs", "QUORL", "cpu", "quorl", 0xD4751F},
      {"langs", "rust", "cpu", "rust", 0x9333EA},
      {"langs", "Java", nullptr, "Java", 0x9333EA},
      {"langs", nullptr, "cpu", "quorl", 0x9333EA},
      {"langs", "", "cpu", "quorl", 0x9333EA},
      {"par", "quorl", nullptr, "auto", 0xC9A227},
      {"par", "quorl", "serial", "one thread", 0x6B7280},
      {"par", "quorl", "CPU", "all threads", 0x3B82F6},
      {"par", "quorl", "GPU", "GPU", 0x16A34A},
      {"par", "quorl", "vulkan", "Vulkan", 0x9333EA},
      {"par", "quorl", "metal", "auto", 0xC9A227},
      {"par", "gpu", nullptr, "auto", 0x16A34A},  // the colour key falls back to the target
      {nullptr, "gcc", "cpu", "all threads", 0x3B82F6},
      {nullptr, nullptr, nullptr, "auto", 0xC9A227},
      {"", "objc", "serial", "one thread", 0x6B7280},
  };
  for (const SeriesCase& c : cases) {
    SCOPED_TRACE(std::string(c.suite ? c.suite : "null") + "/" + (c.target ? c.target : "null") + "/" +
                 (c.device ? c.device : "null"));
    Ref<quorl::Run> run = makeRun({.bench = "b", .suite = c.suite, .target = c.target, .device = c.device});
    EXPECT_EQ(str(ChartView::seriesName(run)), c.series);
    uint32_t r = 9, g = 9, b = 9;
    ChartView::colorOf(run, r, g, b);
    EXPECT_EQ(r << 16 | g << 8 | b, c.color);
  }
}

TEST(ChartViewSeries, ArchitectureNames) {
  EXPECT_EQ(ChartView::archName(makeRun({.bench = "b", .arch = nullptr})), nullptr);
  EXPECT_EQ(ChartView::archName(makeRun({.bench = "b", .arch = ""})), nullptr);
  EXPECT_EQ(str(ChartView::archName(makeRun({.bench = "b", .arch = "x86_64"}))), "x86-64");
  EXPECT_EQ(str(ChartView::archName(makeRun({.bench = "b", .arch = "X86_64"}))), "x86-64");
  EXPECT_EQ(str(ChartView::archName(makeRun({.bench = "b", .arch = "WASM32"}))), "wasm");
  Ref<quorl::Run> arm = makeRun({.bench = "b", .arch = "arm64"});
  EXPECT_EQ(ChartView::archName(arm), arm->arch);  // the same String, shared
}

TEST(ChartViewSeries, SettingsAndLabels) {
  struct Case {
    const char *target, *arch, *opt, *setting, *label;
  };
  const Case cases[] = {
      {"cpp", "x86_64", "O3", "x86-64 O3", "C++ (clang)  x86-64"},
      {"cpp", nullptr, "O2", "O2", "C++ (clang)"},
      {"cpp", "arm64", nullptr, "arm64", "C++ (clang)  arm64"},
      {"cpp", nullptr, nullptr, "", "C++ (clang)"},
      {"cpp", "", "", "", "C++ (clang)"},
      {"cpp", "WASM32", "", "wasm", "C++ (clang)  wasm"},
      {"java", "riscv64", "O3", "riscv64 O3", "java  riscv64"},  // the run's own target stays as it was
  };
  for (const Case& c : cases) {
    Ref<quorl::Run> run = makeRun({.bench = "b", .suite = "langs", .target = c.target, .opt = c.opt, .arch = c.arch});
    EXPECT_EQ(str(ChartView::subFor(run)), c.setting);
    EXPECT_EQ(str(ChartView::labelFor(run)), c.label);
    EXPECT_EQ(str(run->target), c.target);
  }
}

TEST(ChartViewSeries, ParameterLineSkipsWhatIsNotText) {
  Ref<quorl::Run> run = makeRun({.bench = "b", .arch = "x86_64"});
  run->params->set("lang", S("quorl"));
  run->params->set("opt", S("O3"));
  EXPECT_EQ(str(ChartView::paramLine(run)), "langs \xC2\xB7 quorl O3 x86_64 \xC2\xB7 lang=quorl \xC2\xB7 opt=O3");

  Ref<quorl::Run> odd = makeRun({.bench = "b", .suite = "", .target = nullptr, .opt = nullptr, .arch = nullptr});
  odd->params->set("n", Number::withI64(5));
  odd->params->set("list", make<Array>());
  odd->params->set("gpu", Number::withBool(true));
  odd->params->set("map", make<Map>());
  odd->params->set("none", Null::null());
  EXPECT_EQ(str(ChartView::paramLine(odd)), " \xC2\xB7  \xC2\xB7 n=5 \xC2\xB7 gpu=true");

  Ref<quorl::Run> bare = makeRun({.bench = "b", .suite = nullptr, .target = nullptr, .opt = "", .arch = nullptr});
  EXPECT_EQ(str(ChartView::paramLine(bare)), " ");  // an empty opt still brings its blank
}

// --- Rebuild ---------------------------------------------------------------------

class ChartViewRebuild : public ChartFixture {};

TEST_F(ChartViewRebuild, FreshViewAndDescription) {
  auto view = make<ChartView>();
  EXPECT_EQ(str(view->description()), "<ChartView>(0, 0, 0, 0)");
  EXPECT_EQ(view->metric, 0);
  EXPECT_FALSE(view->firstRun);
  EXPECT_EQ(view->mode, 0);
  EXPECT_EQ(view->rows->count(), 0u);
  ASSERT_NE(view->heatMap, nullptr);
  EXPECT_EQ(view->heatMap->width, 800u);
  view->metric = 1;
  view->firstRun = true;
  view->maxGroupRows = 70000;
  view->mode = -1;
  EXPECT_EQ(str(view->description()), "<ChartView>(1, 1, 4464, -1)");
}

TEST_F(ChartViewRebuild, GroupsInFirstSeenOrderAscendingByValueTiesKeepOrder) {
  auto data = dataSetOf({contribution("Cpu One", {{.bench = "Fib", .opt = "A", .best = 300},
                                                  {.bench = "sieve", .opt = "A", .best = 50},
                                                  {.bench = "fib", .opt = "B", .best = 100},
                                                  {.bench = "FIB", .opt = "C", .best = 100}})});
  auto view = chart(data);
  const Ref<Array> rowsBefore = view->rows;
  view->rebuild();
  EXPECT_EQ(view->rows, rowsBefore);  // the same Array for life
  ASSERT_EQ(view->rows->count(), 4u);
  const char* expected[4][2] = {{"Fib", "B"}, {"Fib", "C"}, {"Fib", "A"}, {"sieve", "A"}};
  for (uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(str(rowAt(*view, i).bench), expected[i][0]) << i;
    EXPECT_EQ(str(rowAt(*view, i).setting), expected[i][1]) << i;
  }
  EXPECT_EQ(view->maxGroupRows, 3);
  EXPECT_EQ(str(rowAt(*view, 0).bestText), "100 us");
  EXPECT_EQ(view->groupEnd(0), 3);
  EXPECT_EQ(view->groupEnd(1), 3);
  EXPECT_EQ(view->groupEnd(3), 4);  // the last row's group ends at the count
}

TEST_F(ChartViewRebuild, SpeedUpMetricDividesTheSlowestByEachValue) {
  auto data = dataSetOf({contribution("c", {{.bench = "b", .opt = "A", .best = 300},
                                            {.bench = "b", .opt = "B", .best = 100},
                                            {.bench = "b", .opt = "C", .best = 100},
                                            {.bench = "b", .opt = "Z", .best = 0, .mean = 0}})});
  auto view = chart(data);
  view->metric = 1;
  view->rebuild();
  ASSERT_EQ(view->rows->count(), 4u);
  const char* settings[] = {"Z", "B", "C", "A"};
  const double shown[] = {0.0, 3.0, 3.0, 1.0};
  const char* texts[] = {"0.00x", "3.00x", "3.00x", "1.00x"};
  for (uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(str(rowAt(*view, i).setting), settings[i]);
    EXPECT_DOUBLE_EQ(rowAt(*view, i).shown, shown[i]);
    EXPECT_EQ(str(rowAt(*view, i).bestText), texts[i]);
  }
  EXPECT_DOUBLE_EQ(rowAt(*view, 3).value, 300.0);  // value keeps the time
}

TEST_F(ChartViewRebuild, SpeedUpWithoutAPositiveValueKeepsTheRawValue) {
  auto data = dataSetOf({contribution("c", {{.bench = "b", .best = 0, .mean = -5}, {.bench = "b", .best = 0}})});
  auto view = chart(data);
  view->metric = 1;
  view->rebuild();
  ASSERT_EQ(view->rows->count(), 2u);
  EXPECT_DOUBLE_EQ(rowAt(*view, 0).shown, -5.0);
  EXPECT_EQ(str(rowAt(*view, 0).bestText), "-5.00x");
  EXPECT_EQ(str(rowAt(*view, 1).bestText), "0.00x");
}

TEST_F(ChartViewRebuild, RowFieldsInTheTimeMetric) {
  auto c = contribution("Apple M2", {{.bench = "nbody", .target = "cpp", .arch = "x86_64", .best = 0, .mean = 1234.9,
                                      .stddev = 12.345}});
  c->machine->gpu = S("GPU X");
  auto view = chart(dataSetOf({c}));
  view->rebuild();
  ASSERT_EQ(view->rows->count(), 1u);
  const ChartRow& row = rowAt(*view, 0);
  EXPECT_EQ(str(row.bestText), "1.2 ms");
  EXPECT_EQ(str(row.spreadText), "+/- 12.3");
  EXPECT_EQ(str(row.machineText), "Apple M2 + GPU X");
  EXPECT_EQ(str(row.label), "C++ (clang)  x86-64");
  EXPECT_EQ(str(row.series), "C++ (clang)");
  EXPECT_EQ(str(row.setting), "x86-64 O3");
  EXPECT_EQ(str(row.paramText), "langs \xC2\xB7 cpp O3 x86_64");
  EXPECT_EQ(row.color, 0x3B82F6u);
  EXPECT_DOUBLE_EQ(row.mean, 1234.9);
  EXPECT_DOUBLE_EQ(row.stddev, 12.345);
  EXPECT_EQ(row.contribution, c);
  EXPECT_EQ(view->heatMap->rows, view->rows);
  EXPECT_EQ(view->heatMap->width, 800u);  // the view's width
}

TEST_F(ChartViewRebuild, RowsOfOneConfigurationKeepTheirOwnParameters) {
  // Same suite, target, opt and arch (one configuration), different
  // parameters; the texts of the rows must still be each run's own, and
  // the machine label each contribution's.
  auto one =
      contribution("A", {{.bench = "fib", .best = 10}, {.bench = "fib", .best = 20}, {.bench = "fib", .best = 30}});
  cast<quorl::Run>(one->runs->get(0))->params->set("n", S("1"));
  cast<quorl::Run>(one->runs->get(1))->params->set("n", S("2"));
  cast<quorl::Run>(one->runs->get(2))->params->set("n", S("1"));
  auto two = contribution("B", {{.bench = "fib", .best = 40}});
  cast<quorl::Run>(two->runs->get(0))->params->set("n", S("1"));
  auto view = chart(dataSetOf({one, two}));
  view->rebuild();
  ASSERT_EQ(view->rows->count(), 4u);
  const char* const params[4] = {"langs \xC2\xB7 quorl O3 \xC2\xB7 n=1", "langs \xC2\xB7 quorl O3 \xC2\xB7 n=2",
                                 "langs \xC2\xB7 quorl O3 \xC2\xB7 n=1", "langs \xC2\xB7 quorl O3 \xC2\xB7 n=1"};
  const char* const machines[4] = {"A", "A", "A", "B"};
  for (uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(str(rowAt(*view, i).paramText), params[i]) << i;
    EXPECT_EQ(str(rowAt(*view, i).machineText), machines[i]) << i;
    EXPECT_EQ(str(rowAt(*view, i).paramText), str(ChartView::paramLine(cast<quorl::Run>(
                                                   (i < 3 ? one : two)->runs->get(i < 3 ? i : 0)))))
        << i;
  }
  // The two machines measured the same thing: every setting carries its machine.
  EXPECT_EQ(str(rowAt(*view, 0).setting), "O3 A");
  EXPECT_EQ(str(rowAt(*view, 3).setting), "O3 B");
}

TEST_F(ChartViewRebuild, FirstRunSwitchPicksFirstRunTimes) {
  auto data = dataSetOf({contribution("c", {{.bench = "b", .opt = "A", .best = 100, .first = 500},
                                            {.bench = "b", .opt = "B", .best = 200, .first = 0}})});
  auto view = chart(data);
  view->firstRun = true;
  view->rebuild();
  ASSERT_EQ(view->rows->count(), 2u);
  EXPECT_EQ(str(rowAt(*view, 0).setting), "B");  // 200 (no first-run time) before 500
  EXPECT_DOUBLE_EQ(rowAt(*view, 1).value, 500.0);
  view->firstRun = false;
  view->rebuild();
  EXPECT_EQ(str(rowAt(*view, 0).setting), "A");
}

TEST_F(ChartViewRebuild, WithoutDataOrFilterRowsEmptyAndHeatMapKept) {
  auto view = chart(dataSetOf({contribution("c", {{.bench = "b", .best = 5}, {.bench = "b", .opt = "O1", .best = 6}})}));
  view->baseline = S("quorl");
  view->rebuild();
  EXPECT_EQ(view->heatMap->benches->count(), 1u);
  EXPECT_EQ(view->heatMap->baseline, view->baseline);
  Ref<Array> benches = view->heatMap->benches;
  view->filter = nullptr;
  view->rebuild();
  EXPECT_EQ(view->rows->count(), 0u);
  EXPECT_EQ(view->maxGroupRows, 0);
  EXPECT_EQ(view->heatMap->benches, benches);  // not rebuilt

  view->filter = make<Filter>();
  view->filter->cpu = S("nothing like it");
  view->rebuild();
  EXPECT_EQ(view->rows->count(), 0u);
  EXPECT_EQ(view->heatMap->benches->count(), 0u);  // rebuilt from no rows
  view->dataSet = nullptr;
  view->rebuild();
  EXPECT_EQ(view->rows->count(), 0u);
}

TEST_F(ChartViewRebuild, FilterDecidesWhichRunsBecomeRows) {
  auto data = dataSetOf({contribution("c", {{.bench = "b", .suite = "langs", .best = 5},
                                            {.bench = "b", .suite = "par", .device = "gpu", .best = 6}}),
                         contribution("d", {{.bench = "b", .suite = "par", .device = "serial", .best = 7}})});
  auto view = chart(data);
  view->filter->suite = S("PAR");
  view->rebuild();
  ASSERT_EQ(view->rows->count(), 2u);
  EXPECT_EQ(str(rowAt(*view, 0).series), "GPU");
  EXPECT_EQ(str(rowAt(*view, 1).series), "one thread");
  EXPECT_EQ(rowAt(*view, 1).contribution, cast<Contribution>(data->contributions().get(1)));
}

TEST_F(ChartViewRebuild, RunWithoutABenchmarkNameStillBuilds) {
  auto view = chart(dataSetOf({contribution("c", {{.bench = nullptr, .best = 5}, {.bench = "b", .best = 6}})}));
  view->rebuild();
  ASSERT_EQ(view->rows->count(), 2u);
  EXPECT_EQ(str(rowAt(*view, 0).bench), "");
  EXPECT_EQ(view->groupEnd(0), 1);
}

// --- Row queries -------------------------------------------------------------------

TEST_F(ChartViewRebuild, BenchAndSeriesNamesLabelWidthAndFind) {
  auto data = dataSetOf({contribution("c", {{.bench = "twenty_byte_name_xyz", .target = "cpp", .best = 5},
                                            {.bench = "MATRIX_MUL_F32", .target = "quorl", .best = 6},
                                            {.bench = "Twenty_Byte_Name_XYZ", .target = "quorl", .best = 7},
                                            {.bench = "short", .target = "cpp", .best = 8}})});
  auto view = chart(data);
  EXPECT_EQ(view->labelChars(), 0);  // no rows yet
  view->rebuild();
  Ref<Array> benches = view->benchNames();
  ASSERT_EQ(benches->count(), 2u);
  EXPECT_EQ(str(cast<String>(benches->get(0))), "twenty_byte_name_xyz");
  EXPECT_EQ(str(cast<String>(benches->get(1))), "short");
  Ref<Array> series = view->seriesNames();  // the outlier's row counts here
  ASSERT_EQ(series->count(), 2u);
  EXPECT_EQ(str(cast<String>(series->get(0))), "C++ (clang)");
  EXPECT_EQ(str(cast<String>(series->get(1))), "quorl");
  EXPECT_EQ(view->labelChars(), 16);

  Ref<ChartRow> found = view->findRow(S("QUORL"), S("TWENTY_byte_name_xyz"));
  ASSERT_NE(found, nullptr);
  EXPECT_DOUBLE_EQ(found->value, 7.0);
  EXPECT_EQ(found, view->rows->get(1));  // shared with rows
  EXPECT_EQ(view->findRow(S("Swift"), S("short")), nullptr);
  EXPECT_EQ(view->findRow(S("quorl"), S("short")), nullptr);
}

}  // namespace
