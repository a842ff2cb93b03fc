// The chart view: the one view of the results subsystem. It turns the runs
// that pass the filter into ChartRows, one per run, grouped by benchmark and
// ascending by value inside each group, and draws them in one of three modes
// from those same rows: bar charts (0), summary panels (1), heat map (2).
//
// Where the code lives:
//   ChartView.cpp       rows and series: naming, colours, rebuild, row queries
//   ChartDraw.cpp       heights and the bar charts of mode 0
//   SummaryPanels.cpp   the summary panels of mode 1 and the axis step
//   HeatMapDraw.cpp     the heat-map picture of mode 2 (HeatMapDraw.h)
//
// All drawing is in the view's own pixels, origin top left, and every
// coordinate reaches the surface as a signed 16-bit value; the drawing code
// keeps anything past that range from wrapping onto the visible area
// (ChartCanvas.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ux/core/UXView.h"

namespace quorl {

namespace chart {
class BarLabels;
struct ChartBand;
}

class Array;
class ChartRow;
class DataSet;
class Filter;
class HeatMap;
class Run;
class String;
class UXGraphics;

class ChartView : public UXView {
 public:
  ChartView();
  ~ChartView() override;

  Ref<DataSet> dataSet;   // set by the application
  Ref<Filter> filter;     // set by the application
  int32_t metric = 0;     // 0 time in microseconds, 1 speed-up over the slowest run
  bool firstRun = false;  // rows take first-run times instead of best times
  // The ChartRows the last rebuild drew: one per matching run with a time
  // for the metric shown (Run::value). The same Array for life.
  Ref<Array> rows;
  // Every matching run's row, as the runs table lists them and the heat map
  // reads them: the rows, and after each group's rows the runs of the group
  // without a time (ChartRow::timed false), which no chart draws or counts.
  // The rows themselves when every run has a time.
  Ref<Array> listed;
  int32_t maxGroupRows = 0;
  int32_t mode = 0;       // 0 bar charts, 1 summary panels, 2 heat map
  Ref<HeatMap> heatMap;   // rebuilt with every rebuild of the rows
  Ref<String> baseline;   // the heat map's baseline series, or null

  // A chart larger than a frame can hold lies in its scroll view's document
  // in slices: originX and originY are the chart pixels at this view's top
  // left corner (the scroll view's document origin), and shownX, shownY,
  // shownW and shownH the chart pixels in sight. Drawing covers only what
  // meets them, so a draw costs the same at any scroll position. A negative
  // shownW or shownH: all that the frame can hold.
  int32_t originX = 0, originY = 0;
  int32_t shownX = 0, shownY = 0, shownW = -1, shownH = -1;

  // -- Naming and colouring a run (ChartView.cpp) ----------------------------
  static Ref<String> seriesName(Ptr<const Run> run);
  // "x86-64", "wasm", the arch itself (shared), or null without one.
  static Ref<String> archName(Ptr<const Run> run);
  // Architecture and optimisation, "x86-64 O3".
  static Ref<String> subFor(Ptr<const Run> run);
  // The series name, with two blanks and the architecture when there is one.
  static Ref<String> labelFor(Ptr<const Run> run);
  static void colorOf(Ptr<const Run> run, uint32_t& r, uint32_t& g, uint32_t& b);
  static Ref<String> paramLine(Ptr<const Run> run);

  // -- Rows ---------------------------------------------------------------------
  void rebuild();
  // One past the last row of the group that starts at row i.
  int32_t groupEnd(int32_t i) const;
  // Distinct benchmarks in row order, without the outlier benchmark.
  Ref<Array> benchNames() const;
  // Distinct row labels in row order.
  Ref<Array> seriesNames() const;
  // The longest benchmark name in bytes, at most 16.
  int32_t labelChars() const;
  Ref<ChartRow> findRow(Ptr<const String> label, Ptr<const String> bench) const;

  // -- Sizes and drawing (ChartDraw.cpp) ------------------------------------------
  int32_t height() const;
  int32_t rowsHeight() const;
  // The narrowest the mode's content can be: a heat map's columns and a
  // summary panel do not shrink below it, so a narrower view scrolls
  // sideways. A wider view is filled as it is.
  int32_t minimumWidth() const;
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  // The first group whose advance reaches below y: its first row and its
  // panel's top (the first group where the rows are not the rebuild's own).
  std::pair<int32_t, int64_t> groupReaching(int64_t y) const;

  // -- Summary panels and the axis step (SummaryPanels.cpp) -----------------------
  int32_t summaryCols() const;
  int32_t summaryHeight() const;
  void drawSummary(UXGraphics& graphics) const;
  // A 1, 2 or 5 times a power of ten giving about five ticks up to max.
  static double niceStep(double max);

  Ref<String> description() const override;
  const char* classNameC() const override { return "ChartView"; }

  // The bar charts' row labels: what each row's label is made of, worked
  // out by the rebuild that made the rows, and the labels of the groups
  // drawn lately (BarLabels.h).
  chart::BarLabels& barLabels() const { return *barLabels_; }

 private:
  void drawBars(UXGraphics& graphics) const;
  int32_t summaryMinimumWidth() const;  // SummaryPanels.cpp
  // The chart pixels in sight and the origin of the slice (ChartDraw.cpp).
  chart::ChartBand band() const;

  struct RunCache;
  std::unique_ptr<RunCache> cache_;  // what rebuilds keep from one to the next

  uint64_t rebuilds_ = 0;  // counts the rebuilds: each makes new rows
  std::unique_ptr<chart::BarLabels> barLabels_;
  void settleRowLabels(const std::vector<uint32_t>& start);  // ChartView.cpp, during rebuild
  // The largest value shown, for the rows of the rebuild that found it (the
  // rebuild does, as it makes them): a draw at a scroll position reads no
  // row out of sight (ChartDraw.cpp).
  struct Largest {
    uint64_t rebuild = 0;
    uint32_t rows = 0;
    double value = 0;
  };
  mutable Largest largest_;
  double largestShown() const;
  // Each group's first row and its panel's top, as the rebuild laid them
  // out, and after the last group the rows' count and where a next panel
  // would start: a draw finds the groups in sight by halving, so that it
  // costs what is in sight at any scroll position (ChartDraw.cpp).
  struct GroupTop {
    int32_t first;
    int64_t top;
  };
  std::vector<GroupTop> groupTops_;
  void layOutGroups(const std::vector<uint32_t>& start);  // ChartDraw.cpp, during rebuild
};

}  // namespace quorl
