// Summary panels (the chart view's mode 1) and the axis step of the bars.
//
// One small panel per series label, laid out in a grid of summaryCols()
// panels a line; in each, one bar per benchmark on one scale shared by all
// panels, with the benchmark names written downwards under the axis.
// A panel slot is B x 18 + 28 wide and L x 8 + 200 high (B benchmarks, L
// the longest name in bytes up to 16); the plot is 150 high, its axis at
// py + 178.
#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/BHelp.h"
#include "bench/ChartCanvas.h"
#include "bench/ChartNames.h"
#include "bench/ChartView.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/String.h"

namespace quorl {

using chart::ChartCanvas;
using chart::rowAt;

namespace {

constexpr int64_t kPlotHeight = 150;
constexpr int64_t kAxis = 178;  // below the panel slot's top

// A bar length from a value on the scale: truncated, 0 when it does not fit
// in 32 bits.
int64_t barUnits(double v, double scale) { return chart::toI32(v / scale * static_cast<double>(kPlotHeight)); }

// Panels a line for B benchmarks in a view of the given width.
int32_t colsFor(int16_t width, int64_t B) {
  if (B == 0) return 1;
  // The margin comes off in 16 bits, as the frame holds the width.
  const int32_t room = static_cast<int16_t>(static_cast<uint16_t>(width) - 16u);
  const int64_t cols = room / (B * 18 + 28);
  return static_cast<int32_t>(std::max<int64_t>(cols, 1));
}

// Where a panel's title and scale text go, relative to the panel slot.
// Texts are not measured: a title (size 12) is taken as 7 pixels a byte and
// the scale text (size 10) as 6. The scale text stands at the right end of
// the title line; where the title would reach it, one line down, against
// the panel box's right edge (or at its left edge when the box is narrower
// than the text). A title is cut to what its panel holds.
constexpr int64_t kTitleX = 18;
constexpr int64_t kTextGap = 6;
struct SummaryTexts {
  size_t titleBytes;
  int64_t scaleX, scaleBelowX;
};
SummaryTexts summaryTexts(int64_t B, uint32_t scaleBytes) {
  const int64_t inner = B * 18 + 24 - kTextGap;  // the panel box's right end, less a gap
  const int64_t scaleW = static_cast<int64_t>(scaleBytes) * 6;
  SummaryTexts t;
  t.titleBytes = static_cast<size_t>(std::max<int64_t>((inner - kTitleX) / 7, 0));
  t.scaleX = inner - scaleW;
  t.scaleBelowX = std::max<int64_t>(10, B * 18 + 24 - 2 - scaleW);
  return t;
}
int64_t titleEnd(size_t bytes) { return kTitleX + static_cast<int64_t>(bytes) * 7; }

// The longest name in bytes, at most 16 (labelChars of these names).
int32_t longestOf(const Array& names) {
  uint32_t longest = 0;
  for (uint32_t i = 0; i < names.count(); ++i)
    longest = std::max(longest, static_cast<const String*>(names.get(i).get())->byteLength());
  return static_cast<int32_t>(std::min<uint32_t>(longest, 16));
}

}  // namespace

int32_t ChartView::summaryCols() const { return colsFor(frame().w(), benchNames()->count()); }

int32_t ChartView::summaryHeight() const {
  const int64_t S = seriesNames()->count();
  if (S == 0) return 220;
  Ref<Array> benches = benchNames();
  const int64_t C = colsFor(frame().w(), benches->count());
  const int64_t L = longestOf(*benches);
  const int64_t h = (L * 8 + 200) * ((S + C - 1) / C) + 8;
  return static_cast<int32_t>(std::min<int64_t>(h, INT32_MAX));
}

void ChartView::drawSummary(UXGraphics& graphics) const {
  const chart::ChartBand shown = band();
  ChartCanvas canvas(graphics, shown);
  const UXRect bounds = frame();
  const int64_t H = bounds.h();
  canvas.fillRect(originX, originY, bounds.w(), H, 255, 255, 255);

  Ref<Array> benches = benchNames();
  Ref<Array> series = seriesNames();
  const uint32_t B = benches->count();
  const uint32_t S = series->count();
  if (S == 0 || B == 0) {
    canvas.text("No runs match the filters.", 16, 16, 90, 90, 90, 13);
    return;
  }

  // One scale for every panel; the outlier benchmark has no say in it.
  double m = 0.0;
  const String* lastBench = nullptr;  // rows of a group share their bench
  bool outlier = false;
  for (uint32_t i = 0; i < rows->count(); ++i) {
    const ChartRow* row = rowAt(*rows, i);
    if (!row) continue;
    if (row->bench.get() != lastBench || i == 0) {
      lastBench = row->bench.get();
      outlier = BHelp::isOutlier(row->bench);
    }
    if (!outlier && row->shown > m) m = row->shown;
  }
  const double scale = m > 0 ? m : 1.0;
  Ref<String> topLabel = metric == 1 ? String::withFormat("%.2fx", scale) : Fmt::us(chart::toI64(scale));

  // findRow (label, bench) for every panel and bar at once: the first row of
  // each pair, in row order.
  chart::NameIndex labelIndex, benchIndex;
  for (uint32_t k = 0; k < S; ++k) labelIndex.indexOf(staticCast<String>(series->get(k)));
  for (uint32_t j = 0; j < B; ++j) benchIndex.indexOf(staticCast<String>(benches->get(j)));
  std::vector<const ChartRow*> found(static_cast<size_t>(S) * B, nullptr);
  // Texts shared by many rows are looked up once per String object.
  std::unordered_map<const String*, uint32_t> labelOf, benchOf;
  const auto lookup = [](std::unordered_map<const String*, uint32_t>& memo, const chart::NameIndex& index,
                         const String* text) {
    auto [it, added] = memo.try_emplace(text, kNotFound);
    if (added) it->second = index.find(text);
    return it->second;
  };
  for (uint32_t i = 0; i < rows->count(); ++i) {
    const ChartRow* row = rowAt(*rows, i);
    if (!row) continue;
    const uint32_t k = lookup(labelOf, labelIndex, row->label.get());
    const uint32_t j = lookup(benchOf, benchIndex, row->bench.get());
    if (k == kNotFound || j == kNotFound) continue;
    const ChartRow*& slot = found[static_cast<size_t>(k) * B + j];
    if (!slot) slot = row;
  }

  const int64_t C = colsFor(bounds.w(), B);
  const int64_t L = longestOf(*benches);
  const int64_t slotW = static_cast<int64_t>(B) * 18 + 28;
  const int64_t slotH = L * 8 + 200;
  const int64_t plotW = static_cast<int64_t>(B) * 18;
  const SummaryTexts texts = summaryTexts(static_cast<int64_t>(B), topLabel->byteLength());
  // Only the panels that meet the band are drawn: the first line of them
  // is found by division, so a draw costs the same at any position.
  const int64_t firstLine = std::max<int64_t>((shown.top - slotH) / slotH, 0);
  for (uint64_t k = static_cast<uint64_t>(firstLine * C); k < S; ++k) {
    const int64_t px = static_cast<int64_t>(k % static_cast<uint64_t>(C)) * slotW;
    const int64_t py = static_cast<int64_t>(k / static_cast<uint64_t>(C)) * slotH;
    if (py >= shown.bottom) break;
    if (!shown.meetsY(py, py + slotH) || !shown.meetsX(px, px + slotW)) continue;

    canvas.fillRoundRect(px + 8, py + 8, plotW + 16, L * 8 + 188, 7, 197, 202, 214, 255);
    canvas.fillRoundRect(px + 9, py + 9, plotW + 14, L * 8 + 186, 6, 252, 253, 255, 255);
    const auto* label = static_cast<const String*>(series->get(static_cast<uint32_t>(k)).get());
    const size_t titleBytes = String::utf8Prefix(label->cString(), label->byteLength(), texts.titleBytes);
    if (titleBytes == label->byteLength()) {
      canvas.text(label->cString(), px + 18, py + 15, 24, 24, 28, 12);
    } else {
      const std::string title(label->cString(), titleBytes);
      canvas.text(title.c_str(), px + 18, py + 15, 24, 24, 28, 12);
    }

    const int64_t axis = py + kAxis;
    canvas.fillRect(px + 16, axis, plotW, 1, 200, 203, 210);
    for (int64_t i = 1; i <= 4; ++i) canvas.fillRect(px + 16, axis - (i * kPlotHeight) / 4, plotW, 1, 234, 236, 242);
    const bool below = titleEnd(titleBytes) > texts.scaleX - kTextGap;
    canvas.text(topLabel->cString(), px + (below ? texts.scaleBelowX : texts.scaleX), py + (below ? 31 : 15), 120,
                120, 128, 10);

    for (uint32_t j = 0; j < B; ++j) {
      const int64_t bx = px + 16 + 18 * static_cast<int64_t>(j);
      if (bx >= shown.right) break;
      if (const ChartRow* row = found[static_cast<size_t>(k) * B + j]) {
        const int64_t h = std::max<int64_t>(barUnits(row->shown, scale), 2);
        const chart::RGB c = chart::RGB::of(row->color);
        canvas.fillRect(bx + 3, axis - h, 12, h, c.r, c.g, c.b);
        if (metric == 0 && row->stddev > 0) {
          // Mean plus or minus one deviation may reach far past the panel;
          // the canvas holds such an end to the coordinate range.
          const int64_t y1 = axis - barUnits(row->mean + row->stddev, scale);
          const int64_t y2 = axis - barUnits(row->mean - row->stddev, scale);
          canvas.line(bx + 9, y1, bx + 9, y2, 1);
        }
      }
      // The name goes down one byte at a time, whether or not a bar stands.
      const auto* name = static_cast<const String*>(benches->get(j).get());
      const uint32_t bytes = std::min<uint32_t>(name->byteLength(), static_cast<uint32_t>(L));
      for (uint32_t c = 0; c < bytes; ++c) {
        const char one[2] = {static_cast<char>(name->byteAt(c)), 0};
        canvas.text(one, bx + 6, py + 182 + 8 * static_cast<int64_t>(c), 70, 70, 78, 8);
      }
    }
  }
}

double ChartView::niceStep(double max) {
  const double raw = max / 5.0;
  double p = 1.0;
  // An infinite maximum would keep this loop going for ever once p itself
  // overflows; stop at the largest finite power instead.
  while (raw >= p * 10.0 && std::isfinite(p * 10.0)) p *= 10.0;
  while (p > 9.999999747378752e-06 && p > raw) p /= 10.0;
  const double f = raw / p;
  double multiplier = 10.0;
  if (f < 1.5) {
    multiplier = 1.0;
  } else if (f < 3.5) {
    multiplier = 2.0;
  } else if (f < 7.5) {
    multiplier = 5.0;
  }
  return multiplier * p;
}

}  // namespace quorl
