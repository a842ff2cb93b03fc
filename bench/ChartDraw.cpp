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

void ChartView::drawRect(UXGraphics& graphics, UXRect) {
  if (mode == 1) {
    drawSummary(graphics);
    return;
  }
  if (mode == 2) {
    heatMap->width = static_cast<uint32_t>(std::max<int32_t>(frame().w(), 0));
    // The view's surface clips at its width.
    drawHeatMap(*heatMap, graphics, frame().w());
    return;
  }
  drawBars(graphics);
}

void ChartView::drawBars(UXGraphics& graphics) const {
  ChartCanvas canvas(graphics);
  const UXRect bounds = frame();
  const int64_t W = bounds.w();
  canvas.fillRect(0, 0, W, bounds.h(), 255, 255, 255);
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

  // Panels. Past the 16-bit range nothing can be seen (no view is that
  // tall), so drawing stops there while the bottom is still worked out.
  int64_t y = kFirstPanel;
  int64_t bottom = y;
  for (int32_t i = 0; i < static_cast<int32_t>(n);) {
    const int32_t e = groupEnd(i);
    const int64_t k = e - i;
    if (y <= chart::kMaxCoord) {
      canvas.fillRoundRect(4, y, W - 8, 52 * k + 22, 7, 197, 202, 214, 255);
      canvas.fillRoundRect(5, y + 1, W - 10, 52 * k + 20, 6, 236, 238, 243, 255);
    }
    bottom = y + 52 * k + 22;
    y += groupAdvance(k);
    i = e;
  }

  // Grid lines and tick labels.
  for (int64_t t = 0; t <= ticks; ++t) {
    const double v = static_cast<double>(t) * step;
    const int64_t x = scaled(v);
    if (x + kPlotLeft > R) break;
    canvas.fillRect(x + kPlotLeft, 48, 1, bottom - 48, 208, 211, 219);
    Ref<String> label = metric == 1 ? String::withFormat("%.2fx", v) : String::withFormat("%.1f", v / 1000.0);
    canvas.text(label->cString(), x + kPlotLeft + 2, 30, 110, 110, 110, 11);
  }

  canvas.text(metric == 1 ? "speed-up (x)" : "time (ms)", kPlotLeft, 6, 60, 60, 60, 12);

  // Titles, labels, bars, values and error bars.
  y = kFirstPanel;
  for (int32_t i = 0; i < static_cast<int32_t>(n);) {
    const int32_t e = groupEnd(i);
    if (y <= chart::kMaxCoord) {
      const ChartRow* first = rowAt(*rows, static_cast<uint32_t>(i));
      if (first && first->bench) canvas.text(first->bench->cString(), 12, y + 9, 24, 24, 28, 13);
      for (int32_t j = i; j < e; ++j) {
        const int64_t r = y + 30 + 52 * static_cast<int64_t>(j - i);
        if (r > chart::kMaxCoord) break;
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
          // Centred on the mean and not held to the plot. An end far past
          // the view must not wrap round to the other side when packed into
          // 16 bits, so each end is held to the coordinate range; ends that
          // fit are drawn exactly where they fall, ticks included.
          const int64_t x1 = uxClamp16(scaled(row->mean - row->stddev) + kPlotLeft);
          const int64_t x2 = uxClamp16(scaled(row->mean + row->stddev) + kPlotLeft);
          canvas.line(x1, r + 16, x1, r + 26, 1);
          canvas.line(x2, r + 16, x2, r + 26, 1);
          canvas.line(x1, r + 21, x2, r + 21, 1);
        }
      }
    }
    y += groupAdvance(e - i);
    i = e;
  }

  canvas.text("bar = value    error bar = one standard deviation    label = machine", 12, y + 4, 110, 110, 118,
              11);
}

}  // namespace quorl
