// The heat map's model: one line per benchmark, one column per (series,
// setting) pair, each cell the ratio of a run's time to its reference run.
//
// Sections (HeatMap.cpp):
//   1. Build: benchmarks, machine disambiguation, ordered columns
//   2. Lookups, ratio with the grey rule, geometric mean
//   3. Sizes, colour scales, cell text and clipping
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "foundation/Object.h"

namespace quorl {

class Array;
class ChartRow;
class HeatMapLookup;
struct HeatMapHeadings;

class HeatMap final : public Object {
 public:
  HeatMap();
  ~HeatMap() override;

  Ref<Array> rows;        // ChartRows of the last build, shared with the chart
  Ref<String> baseline;   // baseline series, or null for the fastest run
  Ref<Array> benches;     // String per line, distinct ignoring case
  Ref<Array> colSeries;   // String per column
  Ref<Array> colSetting;  // String per column, parallel to colSeries
  uint32_t width = 800;

  // The names the application's self test uses for the same fields.
  const Ref<Array>& benchmarks() const { return benches; }
  const Ref<Array>& columnSeries() const { return colSeries; }
  const Ref<Array>& columnSettings() const { return colSetting; }

  const char* classNameC() const override { return "HeatMap"; }
  Ref<String> description() const override;

  // Rebuilds lines and columns from the rows; may rewrite the rows' setting
  // to carry the machine when two machines measured the same thing.
  void build(const Ref<Array>& rows, const Ref<String>& baseline, uint32_t width);

  static bool addOnce(Ptr<Array> list, const Ref<String>& name);
  static bool before(Ptr<const String> series, Ptr<const String> setting, Ptr<const String> otherSeries,
                     Ptr<const String> otherSetting);

  Ref<ChartRow> find(Ptr<const String> bench, Ptr<const String> series, Ptr<const String> setting) const;
  Ref<ChartRow> cell(uint32_t i, uint32_t j) const;
  Ref<ChartRow> fastest(uint32_t i) const;
  Ref<ChartRow> baseOf(uint32_t i, uint32_t j) const;
  // False when the cell or its reference is missing or not positive.
  bool ratio(uint32_t i, uint32_t j, double& ratio, bool& grey) const;
  // Geometric mean of column j without the outlier benchmark.
  bool geomean(uint32_t j, double& mean) const;
  // The same rule over any source of ratios: ratioOf (i, ratio, grey)
  // answers the cell of line i, as `ratio` does.
  static bool geomeanOf(Ptr<const Array> benches, const std::function<bool(uint32_t, double&, bool&)>& ratioOf,
                        double& mean);
  // The same over the given lines alone, in ascending order: every line
  // left out must have no ratio, and then the mean is the same.
  static bool geomeanOf(Ptr<const Array> benches, std::span<const uint32_t> lines,
                        const std::function<bool(uint32_t, double&, bool&)>& ratioOf, double& mean);

  uint32_t height() const;
  int32_t cellW() const;
  // The same at another width (the chart view's height is asked before it
  // sets the width it draws at).
  uint32_t heightAt(uint32_t width) const;
  // How many columns start left of the width: all of them unless the
  // columns at their least width reach past it, and then the map is cut.
  uint32_t shownColumns() const;
  // The narrowest the map can be drawn: every column at its least width
  // beside the names column; 0 without columns.
  int32_t minimumWidth() const;
  // The names column at the map's width: as wide as the widest name needs,
  // within HeatMapMetrics::namesWidth's bounds.
  int64_t namesWidth() const;
  // What the names column and the title rows show at the map's width (or
  // at another): every name and column heading in its short form
  // (ChartNames.h) at the names column's and the columns' widths, the
  // headings' lines, and how many of them read alike. Made once for a
  // build and a width and kept, unchanged, until the next build or another
  // width: a draw at a scroll position only reads it.
  const HeatMapHeadings& headings() const;
  const HeatMapHeadings& headingsAt(uint32_t width) const;
  // The title rows' height: the title, the note of a map that is cut or
  // has names or headings alike, and the headings' lines.
  int64_t titleRows() const;
  int64_t titleRowsAt(uint32_t width) const;
  // The drawing's index of the rows (HeatMapDraw.h), made on first use after
  // a build and kept until the next, so that a draw costs what is in sight.
  // It answers for the map as a build left it: the lists and rows are
  // changed only by a build (or emptied with the chart view's rows), and
  // an index is never kept past a build or a change of a list or the rows'
  // count.
  const HeatMapLookup& lookup() const;
  // Whether the outlier benchmark is among the lines.
  bool hasOutlier() const;

  static uint32_t colorFor(double ratio);     // diverging: a baseline is chosen
  static uint32_t colorBehind(double ratio);  // sequential: against the fastest
  uint32_t shade(double ratio) const;
  static Ref<String> ratioText(double ratio);
  static Ref<String> clip(const Ref<String>& text, int32_t n);

 private:
  friend class ChartView;
  // What the chart view knows of the rows it is about to make: row i will
  // have the bench of benches[group[i]], the series and setting of
  // configuration[i] and the machine text and contribution of owner[i].
  // `settle` decides the machine disambiguation from that and gives each
  // row its final setting (setting[i]); the chart view makes the rows with
  // it and hands them to the build, which then reads no row to learn its
  // texts and rewrites no setting.
  struct Made {
    std::vector<const Ref<String>*> benches;
    std::vector<const Ref<String>*> series, settings;      // by configuration
    std::vector<const Ref<String>*> machines;              // by owner
    std::vector<const Object*> contributions;              // by owner
    std::vector<uint32_t> group, configuration, owner;     // by row
    std::vector<const Ref<String>*> setting;               // by row, from settle
  };
  void settle(Made& made);
  void build(const Ref<Array>& rows, const Ref<String>& baseline, uint32_t width, const Made* made);

  struct MachineSettings;
  std::unique_ptr<MachineSettings> machineSettings_;  // kept from build to build
  struct Shown;
  std::unique_ptr<Shown> shown_;  // the short forms' partings, kept from build to build
  // What depends on the whole map and not on what is in sight, kept for the
  // build that made the lists (`whole` remakes it when they changed).
  uint64_t builds_ = 0;
  struct WholeKey;
  struct Whole;
  std::unique_ptr<Whole> whole_;
  WholeKey wholeKey() const;
  Whole& whole() const;
  int64_t widestName() const;
  int32_t cellWAt(uint32_t width) const;
  uint32_t shownColumnsAt(uint32_t width) const;
};

}  // namespace quorl
