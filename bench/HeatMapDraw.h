// Drawing of the heat map (the chart view's mode 2). The model, HeatMap,
// answers what each cell holds; these functions paint it on a surface.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "bench/ChartCanvas.h"

namespace quorl {

class ChartRow;
class HeatMap;
class UXGraphics;

// The heat map's lookups (cell, fastest, baseOf, ratio, geomean) with the
// same answers as HeatMap's own, from an index made once over the rows.
// HeatMap answers each by scanning every row, which a picture of thousands
// of cells over a corpus of thousands of rows cannot afford. Valid while the
// map and its rows are unchanged: the drawing uses the one the map keeps
// for its last build (HeatMap::lookup), each column's mean worked out once.
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
// surface's (0, 0). A map whose columns reach past map.width says under its
// title how many of them it shows. What depends on the whole map is kept
// by the map from draw to draw, so that a draw costs what is in sight. A band scrolled sideways keeps the names column at its
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
