// Drawing of the heat map (the chart view's mode 2). The model, HeatMap,
// answers what each cell holds; these functions paint it on a surface.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "bench/ChartCanvas.h"

namespace quorl {

// The heat map's layout in map pixels, the one place its numbers live: the
// picture, the model's sizes (HeatMap::height, cellW, minimumWidth) and the
// chart view all read these names.
//
//   0 .. kFirstLine        title rows: the title, then each column's series
//                          and setting
//   kFirstLine + i kLine   line i: its benchmark's name left of
//                          kLabelColumn, then one cell per column
//   below the last line    the separator, the geometric-mean line, the
//                          colour legend and its explanation
//
// Column j starts at kLabelColumn + j cellW, cellW being the width left
// after kSideRoom shared among the columns, within kMinCell..kMaxCell.
struct HeatMapMetrics {
  // Title rows.
  static constexpr int64_t kTitleX = 12, kTitleY = 8;
  static constexpr int64_t kSeriesY = 32, kSettingY = 48;
  static constexpr int64_t kHeaderInset = 4;   // a header's x inside its column
  static constexpr int64_t kHeaderCharW = 7;   // a header is cut to its column at this many pixels a byte
  static constexpr int32_t kSettingExtraChars = 2;  // the setting's smaller type fits two bytes more

  // Lines and the names column.
  static constexpr int64_t kFirstLine = 66;
  static constexpr int64_t kLine = 26;
  static constexpr int64_t kLabelColumn = 150;
  static constexpr int64_t kStripeX = 4, kStripeW = 142;  // the shade behind every other name
  static constexpr int64_t kNameX = 10;
  static constexpr int32_t kNameChars = 20;
  static constexpr int64_t kTextDown = 7;  // a name's or a cell's text below its line's top

  // Columns.
  static constexpr int64_t kSideRoom = kLabelColumn + 16;  // the names column and a right margin
  static constexpr int32_t kMinCell = 96, kMaxCell = 130;
  static constexpr int32_t kCellWithoutColumns = 100;

  // Cells: a frame inset by one pixel, the colour by three, a missing
  // cell's white inset by two; text centred on kCellCharW pixels a byte.
  static constexpr int64_t kFrameInset = 1, kFillInset = 3, kMissingInset = 2;
  static constexpr int64_t kCellCharW = 6;
  static constexpr int64_t kDashHalfW = 3;  // half the width of a missing cell's "-"

  // Below the lines.
  static constexpr int64_t kSeparatorGap = 4;    // the separator below the last line
  static constexpr int64_t kMeanGap = 8;         // the geometric-mean line below the last line
  static constexpr int64_t kMeanCaptionDown = 2, kOutlierNoteDown = 15;
  static constexpr int64_t kLegendGap = 48;      // the legend strip below the geometric-mean line's top
  static constexpr int32_t kSwatches = 40;
  static constexpr int64_t kSwatchW = 6, kSwatchH = 12;
  static constexpr int64_t kLegendEndGap = 4;    // the captions' gap to the strip's ends
  static constexpr int64_t kLegendUpperDown = 1, kLegendLowerDown = 15;  // caption rows below the strip's top
  static constexpr int64_t kLegendSameX = 258, kLegendTwiceX = 246;      // the middle caption, each scale
  static constexpr int64_t kExplanationGap = 30;  // the explanation below the strip's top
  static constexpr int64_t kBottomMargin = 18;    // below the explanation's top
  static constexpr int64_t kEmptyHeight = 220;    // a map without lines
  static constexpr int64_t kMessageX = 16, kMessageY = 16;  // where an empty map says so

  // The map's height with n lines.
  static constexpr int64_t heightFor(int64_t lines) {
    return lines == 0 ? kEmptyHeight
                      : kFirstLine + lines * kLine + kMeanGap + kLegendGap + kExplanationGap + kBottomMargin;
  }
};

class ChartRow;
class HeatMap;
class UXGraphics;

// The heat map's lookups (cell, fastest, baseOf, ratio, geomean) with the
// same answers as HeatMap's own, from an index made once over the rows.
// HeatMap answers each by scanning every row, which a picture of thousands
// of cells over a corpus of thousands of rows cannot afford. Valid while the
// map and its rows are unchanged.
class HeatMapLookup {
 public:
  explicit HeatMapLookup(const HeatMap& map);
  ~HeatMapLookup();

  const ChartRow* cell(uint32_t i, uint32_t j) const;
  const ChartRow* fastest(uint32_t i) const;
  const ChartRow* baseOf(uint32_t i, uint32_t j) const;
  bool ratio(uint32_t i, uint32_t j, double& ratio, bool& grey) const;
  bool geomean(uint32_t j, double& mean) const;
  // The lines of column j whose cell holds a row, in ascending order: no
  // other line has a ratio there. Worked out on the first call, for callers
  // that visit every cell and would otherwise ask lines times columns.
  std::span<const uint32_t> filledLines(uint32_t j) const;

 private:
  struct Index;
  const HeatMap& map_;
  std::unique_ptr<Index> index_;
};

// Paints the whole picture from (0, 0): title, column headers, one line per
// benchmark, the geometric-mean line and the colour legend, map.width wide
// and map.height() high. Columns never shrink below 96 pixels, so many
// columns reach past the width and are cut off by the surface. A surface
// that clips at the band's right edge (a view's width) is spared what lies
// wholly right of it, which draws nothing there; so is what lies wholly
// outside the band's other edges. The band's origin is the map pixel at the
// surface's (0, 0). A band scrolled sideways keeps the names column at its
// left edge, one scrolled down keeps the title rows at its top, each drawn
// over the cells it covers.
void drawHeatMap(const HeatMap& map, UXGraphics& g, const chart::ChartBand& band = chart::ChartBand());

// Paints one measured cell of w x h at (x, y): a dark frame when framed, a
// light one otherwise, the colour of the ratio (pale grey when grey) and the
// text centred on an estimate of 6 pixels a byte; with no text the ratio's
// own text ("1.53x slower").
void fillHeatMapCell(const HeatMap& map, UXGraphics& g, int32_t x, int32_t y, int32_t w, int32_t h, double ratio,
                     bool grey, bool framed, const char* text);

}  // namespace quorl
