// Drawing of the heat map (the chart view's mode 2). The model, HeatMap,
// answers what each cell holds; these functions paint it on a surface.
#pragma once

#include <cstdint>

namespace quorl {

class HeatMap;
class UXGraphics;

// Paints the whole picture from (0, 0): title, column headers, one line per
// benchmark, the geometric-mean line and the colour legend, map.width wide
// and map.height() high. Columns never shrink below 96 pixels, so many
// columns reach past the width and are cut off by the surface.
void drawHeatMap(const HeatMap& map, UXGraphics& g);

// Paints one measured cell of w x h at (x, y): a dark frame when framed, a
// light one otherwise, the colour of the ratio (pale grey when grey) and the
// text centred on an estimate of 6 pixels a byte; with no text the ratio's
// own text ("1.53x slower").
void fillHeatMapCell(const HeatMap& map, UXGraphics& g, int32_t x, int32_t y, int32_t w, int32_t h, double ratio,
                     bool grey, bool framed, const char* text);

}  // namespace quorl
