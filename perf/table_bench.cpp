// The runs table with 1,000 and 100,000 rows of six columns (the main
// window's columns, 140 pixels high): a reload, the draw of the screen of
// rows in view, and a scroll from the first row to the last. Each is timed
// beside a floor measured in the same iteration: the data-source questions
// and surface calls the operation cannot avoid, made in a plain loop.
//
// Counters: `views` (row views in the pool) and `nodes` (driver nodes of the
// table) after the reload show what the rows hold; `ours_us`, `floor_us` and
// `ratio` (floor / ours: our speed over the floor's) the times.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "DiscardingGraphics.h"
#include "foundation/Array.h"
#include "ux/controls/UXTableView.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXViewTree.h"
#include "ux/headless/UXHeadlessDriver.h"

using namespace quorl;
using quorl::perf::DiscardingGraphics;

namespace {

using Clock = std::chrono::steady_clock;

double usSince(Clock::time_point t0) {
  return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
}

// The toolkit draws and scrolls the table's views itself on this driver.
class ToolkitDriver : public UXHeadlessDriver {
 public:
  bool scrollsNatively() override { return false; }
};

// Texts made once, as the application keeps its row texts until a reload.
class RunsSource : public Object, public UXTableDataSource {
 public:
  explicit RunsSource(uint32_t rows) {
    texts.reserve(size_t(rows) * 6);
    for (uint32_t r = 0; r < rows; r++)
      for (uint32_t c = 0; c < 6; c++) texts.push_back("bench_" + std::to_string(r % 60) + " col " + std::to_string(c));
  }
  uint32_t numberOfRows(UXTableView&) override { return uint32_t(texts.size() / 6); }
  const char* valueForCell(UXTableView&, uint32_t row, uint32_t column) override {
    return texts[size_t(row) * 6 + column].c_str();
  }
  std::vector<std::string> texts;
};

// A driver, a view tree and the application's table over `rows` rows.
struct Fixture {
  Ref<UXViewDriver> previous = gDriver;
  Ref<RunsSource> source;
  Ref<UXViewTree> tree;
  Ref<UXView> root;
  Ref<UXTableView> table;

  explicit Fixture(uint32_t rows) {
    gDriver = make<ToolkitDriver>();
    source = make<RunsSource>(rows);
    tree = make<UXViewTree>();
    root = make<UXView>();
    root->attachTo(tree, UXRect(0, 0, 1024, 768));
    table = make<UXTableView>();
    const char* titles[] = {"Benchmark", "Series", "Best", "Spread", "Machine", "Parameters"};
    const uint16_t widths[] = {130, 120, 90, 90, 180, 380};
    for (int i = 0; i < 6; i++) {
      auto c = make<UXTableColumn>();
      c->title = titles[i];
      c->width = widths[i];
      table->columns->add(c);
    }
    table->dataSource = source;
    table->attachTo(tree, UXRect(0, 400, 1010, 140));
    gDriver->structAddChild(tree->driverTree, 0, int16_t(table->node));
    table->reloadData();
  }
  ~Fixture() {
    table.reset();
    root.reset();
    tree.reset();
    gDriver = previous;
  }
  // The rows whose views lie in the viewport.
  std::vector<int32_t> rowsInView() const {
    const int32_t top = table->scrollView->scrollPx() / table->rowHeight;
    const int32_t n = table->scrollView->viewportPx() / table->rowHeight + 1;
    std::vector<int32_t> out;
    for (int32_t r = top; r < top + n && r < table->rowCount; r++) out.push_back(r);
    return out;
  }
};

// The data source and surface as the table reaches them: through their
// interfaces, which the compiler may not see through.
UXTableDataSource* opaque(UXTableDataSource* p) {
  benchmark::DoNotOptimize(p);
  return p;
}
UXGraphics* opaque(UXGraphics* p) {
  benchmark::DoNotOptimize(p);
  return p;
}

void report(benchmark::State& state, double ours, double floor, uint64_t n) {
  state.counters["ours_us"] = ours / double(n);
  state.counters["floor_us"] = floor / double(n);
  state.counters["ratio"] = ours > 0 ? floor / ours : 0;  // our speed over the floor's
}

void BM_TableReload(benchmark::State& state) {
  Fixture f(uint32_t(state.range(0)));
  double ours = 0, floor = 0;
  uint64_t n = 0;
  std::vector<uint8_t> flags;
  for (auto _ : state) {
    auto t0 = Clock::now();
    f.table->reloadData();
    const double us = usSince(t0);
    ours += us;
    state.SetIterationTime(us / 1e6);
    // Floor: the count, one flag a row, and the cells of the pooled rows.
    t0 = Clock::now();
    UXTableDataSource* ds = opaque(f.source.get());
    const uint32_t rows = ds->numberOfRows(*f.table);
    flags.assign(rows, 0);
    for (int32_t r = 0; r < f.table->poolSize; r++)
      for (uint32_t c = 0; c < 6; c++) benchmark::DoNotOptimize(ds->valueForCell(*f.table, uint32_t(r), c));
    benchmark::DoNotOptimize(flags.data());
    floor += usSince(t0);
    n++;
  }
  report(state, ours, floor, n);
  state.counters["views"] = f.table->poolSize;
  state.counters["nodes"] = f.table->nodeCount();
  state.counters["tree_nodes"] = f.tree->driverTree ? double(gDriver->structLength(f.tree->driverTree)) : 0;
}
BENCHMARK(BM_TableReload)->Name("Table/reload")->Arg(1000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_TableDrawScreen(benchmark::State& state) {
  Fixture f(uint32_t(state.range(0)));
  f.table->scrollRowToVisible(f.table->rowCount / 2);
  f.table->setRowSelected(f.table->rowCount / 2, 1);
  DiscardingGraphics g;
  const std::vector<int32_t> shown = f.rowsInView();
  double ours = 0, floor = 0;
  uint64_t n = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    for (int32_t r : shown) {
      Ref<UXTableRow> row = f.table->rowViewFor(r);
      const UXRect rf = row->frame();
      row->drawRect(g, UXRect(0, 0, rf.w(), rf.h()));
      for (const Ref<Object>& o : *row->subviews) {
        UXView* cell = static_cast<UXView*>(o.get());
        const UXRect cf = cell->frame();
        cell->drawRect(g, UXRect(0, 0, cf.w(), cf.h()));
      }
    }
    const double us = usSince(t0);
    ours += us;
    state.SetIterationTime(us / 1e6);
    // Floor: the same texts asked for and drawn.
    t0 = Clock::now();
    UXTableDataSource* ds = opaque(f.source.get());
    UXGraphics* gs = opaque(&g);
    for (int32_t r : shown)
      for (uint32_t c = 0; c < 6; c++) gs->drawText(ds->valueForCell(*f.table, uint32_t(r), c), 4, 1, 1, 13);
    floor += usSince(t0);
    n++;
  }
  benchmark::DoNotOptimize(g.calls);
  report(state, ours, floor, n);
  state.counters["rows_drawn"] = double(shown.size());
}
BENCHMARK(BM_TableDrawScreen)->Name("Table/drawScreen")->Arg(100000)->UseManualTime()->Unit(benchmark::kMicrosecond);

// One iteration scrolls from the top to the last row; the way back up is
// outside the measurement.
void BM_TableScrollToLast(benchmark::State& state) {
  Fixture f(uint32_t(state.range(0)));
  const int32_t last = f.table->rowCount - 1;
  double ours = 0, floor = 0;
  uint64_t n = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    f.table->scrollRowToVisible(last);
    const double us = usSince(t0);
    ours += us;
    state.SetIterationTime(us / 1e6);
    if (!f.table->rowViewFor(last)) state.SkipWithError("the last row has no view");
    f.table->scrollView->scrollTo(0);
    // Floor: the cells of a whole new window of rows.
    t0 = Clock::now();
    UXTableDataSource* ds = opaque(f.source.get());
    for (int32_t r = last - f.table->poolSize + 1; r <= last; r++)
      for (uint32_t c = 0; c < 6; c++) benchmark::DoNotOptimize(ds->valueForCell(*f.table, uint32_t(r), c));
    floor += usSince(t0);
    n++;
  }
  report(state, ours, floor, n);
}
BENCHMARK(BM_TableScrollToLast)->Name("Table/scrollToLast")->Arg(100000)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
