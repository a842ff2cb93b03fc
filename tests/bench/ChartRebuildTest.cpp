// Chart rebuilds over changing data and at random: what one rebuild keeps
// for the next must never show in the rows, the row order must be the
// insertion rule's, the texts made on first read must be the rebuild's own,
// and the heat map built from the chart view's knowledge of its rows must
// equal the one built from the rows alone.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "ChartTestSupport.h"
#include "foundation/Array.h"
#include "foundation/Map.h"
#include "foundation/String.h"

using namespace quorl;
using namespace quorl::charttest;

namespace {

class ChartRebuildAgain : public ChartFixture {};

std::string settings(const ChartView& view) {
  std::string out;
  for (uint32_t i = 0; i < view.rows->count(); ++i) {
    if (i) out += ",";
    out += str(rowAt(view, i).setting);
  }
  return out;
}

TEST_F(ChartRebuildAgain, ChangedRunsContributionsAndMachinesShowInTheNextRebuild) {
  auto one = contribution("Cpu A", {{.bench = "fib", .opt = "O1", .best = 30}, {.bench = "fib", .opt = "O2", .best = 10}});
  auto data = dataSetOf({one});
  auto view = chart(data);
  view->rebuild();
  ASSERT_EQ(settings(*view), "O2,O1");

  // A run's texts replaced: its group (now first), series and setting follow.
  auto run = cast<quorl::Run>(one->runs->get(0));
  run->benchmark = S("sieve");
  run->target = S("cpp");
  view->rebuild();
  ASSERT_EQ(view->rows->count(), 2u);
  EXPECT_EQ(str(rowAt(*view, 0).bench), "sieve");
  EXPECT_EQ(str(rowAt(*view, 0).series), "C++ (clang)");
  EXPECT_EQ(str(rowAt(*view, 1).bench), "fib");

  // A run replaced by another object, a machine renamed.
  one->runs->set(1, makeRun({.bench = "fib", .target = "gcc", .opt = "O3", .best = 5}));
  one->machine->cpu = S("Cpu B");
  view->rebuild();
  EXPECT_EQ(str(rowAt(*view, 1).series), "C++ (GCC)");
  EXPECT_EQ(str(rowAt(*view, 1).setting), "O3");
  EXPECT_EQ(str(rowAt(*view, 1).machineText), "Cpu B");

  // A contribution appended: the same measurement from two machines.
  data->replace(data->contributions().adding(contribution("Cpu C", {{.bench = "fib", .target = "gcc", .opt = "O3", .best = 7}})));
  view->rebuild();
  EXPECT_EQ(settings(*view), "O1 Cpu B,O3 Cpu B,O3 Cpu C");

  // Another data set altogether.
  view->dataSet = dataSetOf({contribution("x", {{.bench = "nbody", .opt = "Os", .best = 1}})});
  view->rebuild();
  EXPECT_EQ(settings(*view), "Os");
  EXPECT_EQ(str(rowAt(*view, 0).bench), "nbody");
}

TEST_F(ChartRebuildAgain, RowTextsAreMadeOnceAndFollowTheirRow) {
  auto c = contribution("c", {{.bench = "b", .target = "cpp", .best = 2500, .stddev = 1.25}});
  cast<quorl::Run>(c->runs->get(0))->params->set("n", S("7"));
  auto view = chart(dataSetOf({c}));
  view->rebuild();
  ChartRow& row = rowAt(*view, 0);
  auto copy = make<ChartRow>(row);  // copied before any text was read
  const String* first = row.bestText.get();
  EXPECT_EQ(row.bestText.get(), first);  // every reader gets the same String
  EXPECT_EQ(str(row.bestText), "2.5 ms");
  EXPECT_EQ(str(copy->bestText), "2.5 ms");
  EXPECT_EQ(str(copy->spreadText), "+/- 1.2");
  EXPECT_EQ(str(copy->paramText), "langs \xC2\xB7 cpp O3 \xC2\xB7 n=7");

  // The texts are the rebuild's, whatever happens to the row's numbers
  // before they are read; a String assigned is taken as it is.
  view->metric = 1;
  view->rebuild();
  ChartRow& again = rowAt(*view, 0);
  again.shown = 99;
  again.stddev = 0;
  EXPECT_EQ(str(again.bestText), "1.00x");
  EXPECT_EQ(str(again.spreadText), "+/- 1.2");
  again.bestText = S("set");
  again.paramText = nullptr;
  EXPECT_EQ(str(again.bestText), "set");
  EXPECT_FALSE(again.paramText);
}

// The ordering rule for one group, written out plainly: insert each run, in
// matching order, before the first row whose value is strictly greater.
std::vector<double> insertionOrder(const std::vector<std::pair<double, double>>& runs) {
  std::vector<std::pair<double, double>> ordered;  // (value, identity)
  for (const auto& r : runs) {
    auto at = ordered.begin();
    while (at != ordered.end() && !(at->first > r.first)) ++at;
    ordered.insert(at, r);
  }
  std::vector<double> ids;
  for (const auto& r : ordered) ids.push_back(r.second);
  return ids;
}

TEST_F(ChartRebuildAgain, OrderFollowsTheInsertionRuleForAnyValues) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const double odd[] = {0.0, -0.0, -3.5, 1e-300, -inf, inf, 7.0, 7.0, 1e18, -1e18};
  const char* names[] = {"a", "A", "b", "c"};
  uint64_t seed = 77;
  auto next = [&](uint32_t n) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>((seed >> 33) % n);
  };
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto data = make<DataSet>();
    // Expected: groups by first appearance (case ignored), each in the
    // insertion rule's order; the identity of a run is its stddev. A run
    // without a time is no row, and is listed after its group's rows.
    std::map<std::string, std::vector<std::pair<double, double>>> byGroup;
    std::map<std::string, std::vector<double>> untimed;
    std::vector<std::string> groupOrder;
    double identity = 1;
    for (int c = 0; c < 2; ++c) {
      auto contribution = make<Contribution>();
      const uint32_t runs = next(40);
      for (uint32_t r = 0; r < runs; ++r) {
        const char* bench = names[next(4)];
        const bool withNaN = round % 5 == 0 && next(8) == 0;
        RunSpec made{.bench = bench};
        const bool none = next(6) == 0;
        if (none) {
          made.samples = 0;
        } else if (next(2)) {
          made.best = 1 + next(20);
        } else {
          made.mean = withNaN ? nan : odd[next(10)];
          if (made.mean == 0) made.mean = std::signbit(made.mean) ? -0.0 : 0.0;
        }
        made.stddev = identity++;
        auto run = makeRun(made);
        run->mean = made.best ? static_cast<double>(made.best) : made.mean;  // a zero mean too
        contribution->runs->add(run);
        std::string key = bench[0] == 'A' ? "a" : bench;
        if (!byGroup.count(key) && !untimed.count(key)) groupOrder.push_back(key);
        if (none) untimed[key].push_back(made.stddev);
        else byGroup[key].push_back({*run->value(false), made.stddev});
      }
      data->replace(data->contributions().adding(contribution));
    }
    auto view = chart(data);
    for (int metric : {0, 1}) {
      view->metric = metric;
      view->rebuild();
      std::vector<double> expected, actual, expectListed, listed;
      for (const std::string& g : groupOrder) {
        for (double id : insertionOrder(byGroup[g])) expected.push_back(id), expectListed.push_back(id);
        for (double id : untimed[g]) expectListed.push_back(id);
      }
      for (uint32_t i = 0; i < view->rows->count(); ++i) actual.push_back(rowAt(*view, i).stddev);
      for (uint32_t i = 0; i < view->listed->count(); ++i) {
        const ChartRow& row = *cast<ChartRow>(view->listed->get(i));
        listed.push_back(row.stddev);
        if (!row.timed) EXPECT_EQ(str(row.bestText), "-");
      }
      EXPECT_EQ(actual, expected) << "metric " << metric;
      EXPECT_EQ(listed, expectListed) << "metric " << metric;
    }
  }
}

TEST_F(ChartRebuildAgain, HeatMapOfTheRebuildEqualsOneBuiltFromTheRowsAlone) {
  const char* targets[] = {"quorl", "cpp", "gcc", "Swift", "objc"};
  const char* opts[] = {"O2", "o2", "O3", "Os"};
  const char* cpus[] = {"m1", "M1", "m2"};
  uint64_t seed = 5;
  auto next = [&](uint32_t n) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>((seed >> 33) % n);
  };
  auto view = chart(make<DataSet>());
  HeatMap alone;  // reused, as the view's own map is
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto data = make<DataSet>();
    std::map<double, Ref<quorl::Run>> runOf;  // by stddev
    double identity = 1;
    for (int c = 0; c < 1 + round % 3; ++c) {
      auto contribution = make<Contribution>();
      contribution->machine->cpu = S(cpus[next(3)]);
      for (uint32_t r = next(12); r > 0; --r) {
        auto run = makeRun({.bench = round % 4 ? "fib" : (next(2) ? "Fib" : "sieve"),
                            .target = targets[next(5)],
                            .opt = opts[next(4)],
                            .arch = next(3) ? nullptr : "x86_64",
                            .best = next(8) ? 1 + next(50) : 0,  // 0: no time
                            .stddev = identity++,
                            .samples = 0});
        runOf[run->stddev] = run;
        contribution->runs->add(run);
      }
      data->replace(data->contributions().adding(contribution));
    }
    view->dataSet = data;
    view->baseline = round % 2 ? S("quorl") : nullptr;
    view->rebuild();
    // The same rows, settings as the chart view makes them, built alone by
    // the reused map and by a fresh one; the runs without a time are listed
    // too.
    const auto listedAt = [&](uint32_t i) -> ChartRow& { return *cast<ChartRow>(view->listed->get(i)); };
    const auto copies = [&] {
      auto out = make<Array>();
      for (uint32_t i = 0; i < view->listed->count(); ++i) {
        auto copy = make<ChartRow>(listedAt(i));
        copy->setting = ChartView::subFor(runOf[copy->stddev]);
        out->add(copy);
      }
      return out;
    };
    auto reusedRows = copies(), freshRows = copies();
    alone.build(reusedRows, view->baseline, view->heatMap->width);
    HeatMap fresh;
    fresh.build(freshRows, view->baseline, view->heatMap->width);
    for (const HeatMap* other : {&alone, &fresh}) {
      const HeatMap& map = *view->heatMap;
      ASSERT_EQ(map.benches->count(), other->benches->count());
      for (uint32_t i = 0; i < map.benches->count(); ++i)
        EXPECT_EQ(str(cast<String>(map.benches->get(i))), str(cast<String>(other->benches->get(i))));
      ASSERT_EQ(map.colSeries->count(), other->colSeries->count());
      for (uint32_t j = 0; j < map.colSeries->count(); ++j) {
        EXPECT_EQ(str(cast<String>(map.colSeries->get(j))), str(cast<String>(other->colSeries->get(j))));
        EXPECT_EQ(str(cast<String>(map.colSetting->get(j))), str(cast<String>(other->colSetting->get(j))));
      }
      for (uint32_t i = 0; i < other->rows->count(); ++i)
        EXPECT_EQ(str(listedAt(i).setting), str(cast<ChartRow>(other->rows->get(i))->setting)) << i;
    }
  }
}

}  // namespace

namespace {

std::string columnsOf(const HeatMap& map) {
  std::string out;
  for (uint32_t j = 0; j < map.colSeries->count(); ++j) {
    if (j) out += ", ";
    out += str(cast<String>(map.colSeries->get(j)));
    out += "@";
    out += str(cast<String>(map.colSetting->get(j)));
  }
  return out;
}

Ref<ChartRow> rowOf(const Ref<String>& series, const Ref<String>& setting, const Ref<Contribution>& owner) {
  auto r = make<ChartRow>();
  r->bench = S("b");
  r->series = series;
  r->setting = setting;
  r->value = 1;
  r->contribution = owner;
  return r;
}

TEST(HeatMapAgain, TheSameTextsPairedOtherwiseAreOtherColumns) {
  // One map built again and again from the same String objects, paired
  // differently each time, against a fresh map each time.
  auto owner = make<Contribution>();
  const Ref<String> quorl = S("quorl"), cpp = S("cpp"), o1 = S("O1"), o2 = S("O2");
  const std::vector<std::vector<std::pair<Ref<String>, Ref<String>>>> builds = {
      {{cpp, o1}, {quorl, o2}}, {{cpp, o1}, {quorl, o2}}, {{cpp, o2}, {quorl, o1}},
      {{quorl, o1}, {cpp, o2}}, {{cpp, o2}, {quorl, o1}}, {{cpp, o2}, {quorl, o1}, {cpp, o1}}};
  const char* expected[] = {"cpp@O1, quorl@O2", "cpp@O1, quorl@O2", "quorl@O1, cpp@O2",
                            "quorl@O1, cpp@O2", "quorl@O1, cpp@O2", "quorl@O1, cpp@O1, cpp@O2"};
  HeatMap again;
  for (size_t k = 0; k < builds.size(); ++k) {
    auto rows = make<Array>();
    for (const auto& [series, setting] : builds[k]) rows->add(rowOf(series, setting, owner));
    again.build(rows, nullptr, 800);
    HeatMap fresh;
    fresh.build(rows, nullptr, 800);
    EXPECT_EQ(columnsOf(again), expected[k]) << k;
    EXPECT_EQ(columnsOf(fresh), expected[k]) << k;
  }
}

}  // namespace
