// Chart view drawing: heights and the bar charts of mode 0.
//
// Layout of the bar charts: a plot from x = 190 to R (W - 90, or 230 for a
// narrow view); one rounded panel per benchmark from y = 56, 52 pixels a row
// plus 22, 16 between panels; grid lines and tick labels on one scale for
// all benchmarks; a caption under the last panel.
#include <algorithm>

#include "bench/ChartCanvas.h"
#include "bench/ChartView.h"
#include "bench/HeatMap.h"
#include "bench/HeatMapDraw.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/String.h"

namespace quorl {

using chart::ChartCanvas;
using chart::rowAt;

namespace {

constexpr int32_t kPlotLeft = 190;
constexpr int64_t kFirstPanel = 56;

// The y advance of a benchmark with k rows: its panel and the gap below.
int64_t groupAdvance(int64_t k) { return 52 * k + 38; }

// How far a text or a corner may reach from the point it is placed at: what
// lies this far outside the band is drawn, in case part of it shows.
constexpr int64_t kSlack = 24;

}  // namespace

int32_t ChartView::height() const {
  if (mode == 2) return static_cast<int32_t>(heatMap->height());
  if (mode == 1) return summaryHeight();
  return rowsHeight();
}

int32_t ChartView::rowsHeight() const {
  const int32_t n = static_cast<int32_t>(rows->count());
  if (n == 0) return 220;
  int64_t y = kFirstPanel;
  for (int32_t i = 0; i < n;) {
    const int32_t e = groupEnd(i);
    y += groupAdvance(e - i);
    i = e;
  }
  // More rows than a 32-bit height can hold would need 40 million runs.
  return static_cast<int32_t>(std::min<int64_t>(y + 40, INT32_MAX));
}

int32_t ChartView::minimumWidth() const {
  if (mode == 2) {
    // Columns of at least 96 pixels after the 166 the layout keeps beside
    // them (HeatMap::cellW).
    const int64_t columns = heatMap->colSeries ? heatMap->colSeries->count() : 0;
    return columns == 0 ? 0 : static_cast<int32_t>(std::min<int64_t>(166 + 96 * columns, INT32_MAX));
  }
  if (mode == 1) {
    // One panel slot and the 16-pixel margin (summaryCols).
    const int64_t benches = benchNames()->count();
    return benches == 0 ? 0 : static_cast<int32_t>(std::min<int64_t>(benches * 18 + 44, INT32_MAX));
  }
  // A 40-pixel plot and the room right of it.
  return static_cast<int32_t>(230 + 90);
}

chart::ChartBand ChartView::band() const {
  chart::ChartBand b;
  b.originX = originX;
  b.originY = originY;
  b.left = shownW >= 0 ? shownX : originX;
  b.right = shownW >= 0 ? int64_t(shownX) + shownW : int64_t(originX) + chart::kMaxCoord + 1;
  b.top = shownH >= 0 ? shownY : originY;
  b.bottom = shownH >= 0 ? int64_t(shownY) + shownH : int64_t(originY) + chart::kMaxCoord + 1;
  return b;
}

void ChartView::drawRect(UXGraphics& graphics, UXRect) {
  if (mode == 1) {
    drawSummary(graphics);
    return;
  }
  if (mode == 2) {
    // The map reaches to the view's right edge, wherever the view lies.
    heatMap->width = static_cast<uint32_t>(std::max<int64_t>(int64_t(originX) + frame().w(), 0));
    // The view's surface clips at its width.
    chart::ChartBand shown = band();
    if (shownW < 0) shown.right = int64_t(originX) + frame().w();
    drawHeatMap(*heatMap, graphics, shown);
    return;
  }
  drawBars(graphics);
}

void ChartView::drawBars(UXGraphics& graphics) const {
  const chart::ChartBand shown = band();
  ChartCanvas canvas(graphics, shown);
  const UXRect bounds = frame();
  const int64_t W = bounds.w();
  canvas.fillRect(originX, originY, W, bounds.h(), 255, 255, 255);
  const int64_t R = W - 90 > kPlotLeft ? W - 90 : 230;
  const int64_t P = R - kPlotLeft;

  const uint32_t n = rows->count();
  if (n == 0) {
    canvas.text("No runs match the filters.", 16, 16, 90, 90, 90, 13);
    return;
  }

  // One scale for every benchmark.
  double M = 0.0;
  for (uint32_t i = 0; i < n; ++i) {
    const ChartRow* row = rowAt(*rows, i);
    if (row && row->shown > M) M = row->shown;
  }
  const double top = M > 0 ? M : 1.0;
  const double step = niceStep(top);
  const int64_t ticks = static_cast<int64_t>(chart::toI32(top / step)) + 1;
  const double S = step * static_cast<double>(ticks);
  const auto scaled = [&](double v) { return static_cast<int64_t>(chart::toI32(v / S * static_cast<double>(P))); };

  // Only what meets the band is drawn. A panel cut by it keeps its rounded
  // corners out of sight, beyond the band's edges.
  const auto roundRect = [&](int64_t x, int64_t y, int64_t w, int64_t h, int32_t radius, uint32_t r, uint32_t g,
                             uint32_t b) {
    const int64_t y0 = std::max(y, shown.top - kSlack), y1 = std::min(y + h, shown.bottom + kSlack);
    canvas.fillRoundRect(x, y0, w, y1 - y0, radius, r, g, b, 255);
  };
  int64_t y = kFirstPanel;
  int64_t bottom = y;
  for (int32_t i = 0; i < static_cast<int32_t>(n);) {
    const int32_t e = groupEnd(i);
    const int64_t k = e - i;
    if (shown.meetsY(y, y + 52 * k + 22)) {
      roundRect(4, y, W - 8, 52 * k + 22, 7, 197, 202, 214);
      roundRect(5, y + 1, W - 10, 52 * k + 20, 6, 236, 238, 243);
    }
    bottom = y + 52 * k + 22;
    y += groupAdvance(k);
    i = e;
  }

  // Grid lines and tick labels.
  const int64_t gridTop = std::max<int64_t>(48, shown.top - kSlack);
  const int64_t gridBottom = std::min(bottom, shown.bottom + kSlack);
  for (int64_t t = 0; t <= ticks; ++t) {
    const double v = static_cast<double>(t) * step;
    const int64_t x = scaled(v);
    if (x + kPlotLeft > R) break;
    if (gridBottom > gridTop) canvas.fillRect(x + kPlotLeft, gridTop, 1, gridBottom - gridTop, 208, 211, 219);
    if (!shown.meetsY(30 - kSlack, 30 + kSlack)) continue;
    Ref<String> label = metric == 1 ? String::withFormat("%.2fx", v) : String::withFormat("%.1f", v / 1000.0);
    canvas.text(label->cString(), x + kPlotLeft + 2, 30, 110, 110, 110, 11);
  }

  if (shown.meetsY(6 - kSlack, 6 + kSlack))
    canvas.text(metric == 1 ? "speed-up (x)" : "time (ms)", kPlotLeft, 6, 60, 60, 60, 12);

  // Titles, labels, bars, values and error bars of the rows in the band.
  y = kFirstPanel;
  for (int32_t i = 0; i < static_cast<int32_t>(n);) {
    const int32_t e = groupEnd(i);
    const int64_t k = e - i;
    if (y >= shown.bottom + kSlack) break;
    if (!shown.meetsY(y - kSlack, y + 52 * k + 22 + kSlack)) {
      y += groupAdvance(k);
      i = e;
      continue;
    }
    const ChartRow* first = rowAt(*rows, static_cast<uint32_t>(i));
    if (first && first->bench && shown.meetsY(y + 9 - kSlack, y + 9 + kSlack))
      canvas.text(first->bench->cString(), 12, y + 9, 24, 24, 28, 13);
    // The first row whose line can reach into the band.
    const int64_t skip = std::clamp<int64_t>((shown.top - kSlack - (y + 30 + 52)) / 52, 0, k);
    for (int32_t j = i + static_cast<int32_t>(skip); j < e; ++j) {
      const int64_t r = y + 30 + 52 * static_cast<int64_t>(j - i);
      if (r >= shown.bottom + kSlack) break;
      const ChartRow* row = rowAt(*rows, static_cast<uint32_t>(j));
      if (!row) continue;
      if (row->label) canvas.text(row->label->cString(), 24, r + 21, 80, 80, 88, 11);

      double f = row->shown / S;
      if (f < 0) f = 0;
      if (f > 1) f = 1;
      const int64_t bw = std::max<int64_t>(chart::toI32(f * static_cast<double>(P)), 2);
      const chart::RGB c = chart::RGB::of(row->color);
      canvas.fillRect(kPlotLeft, r + 14, bw, 14, c.r, c.g, c.b);

      canvas.text(chart::valueText(metric, row->shown)->cString(), bw + 196, r + 19, 40, 40, 44, 11);

      if (metric == 0 && row->stddev > 0) {
        // Centred on the mean and not held to the plot; the canvas holds an
        // end far past the view to the coordinate range.
        const int64_t x1 = scaled(row->mean - row->stddev) + kPlotLeft;
        const int64_t x2 = scaled(row->mean + row->stddev) + kPlotLeft;
        canvas.line(x1, r + 16, x1, r + 26, 1);
        canvas.line(x2, r + 16, x2, r + 26, 1);
        canvas.line(x1, r + 21, x2, r + 21, 1);
      }
    }
    y += groupAdvance(k);
    i = e;
  }
  // The caption, 4 below where a next panel would start.
  canvas.text("bar = value    error bar = one standard deviation    label = machine", 12, bottom + 16 + 4, 110,
              110, 118, 11);
}

}  // namespace quorl
