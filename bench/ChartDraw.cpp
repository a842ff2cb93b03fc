// Chart view drawing: heights and the bar charts of mode 0.
//
// Layout of the bar charts (the numbers are BarMetrics, ChartMetrics.h): a
// plot from L (kPlotLeft, or right of a wider label column) to R; one
// rounded panel per benchmark, kRowPitch a
// row; grid lines and tick labels on one scale for all benchmarks; a
// caption under the last panel. Every text is held to its room (measured,
// ChartNames.h), and error bars to the plot.
//
//   1. Sizes
//   2. The bar charts: scale, panels, axis, row labels, rows, caption
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bench/BarLabels.h"
#include "bench/ChartCanvas.h"
#include "bench/ChartMetrics.h"
#include "bench/ChartNames.h"
#include "bench/ChartView.h"
#include "bench/HeatMap.h"
#include "bench/HeatMapDraw.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXViewDriver.h"

namespace quorl {

using chart::ChartCanvas;
using chart::rowAt;
using BM = chart::BarMetrics;

namespace {

// How far a text or a corner may reach from the point it is placed at: what
// lies this far outside the band is drawn, in case part of it shows.
constexpr int64_t kSlack = 24;

}  // namespace

// ---------------------------------------------------------------------------
// 1. Sizes

namespace {

// The width the heat map is drawn at: it reaches to the view's right edge,
// wherever the view lies. A chart scrolled in slices (told what is in
// sight) is its scroll view's document, as wide as the map at least, of
// which a frame holds no more than 32,767 pixels from its origin.
uint32_t heatMapWidth(const ChartView& view) {
  int64_t w = int64_t(view.originX) + view.frame().w();
  if (view.shownW >= 0) w = std::max<int64_t>(w, view.heatMap->minimumWidth());
  return static_cast<uint32_t>(std::max<int64_t>(w, 0));
}

}  // namespace

int32_t ChartView::height() const {
  if (mode == 2) return static_cast<int32_t>(heatMap->heightAt(heatMapWidth(*this)));
  if (mode == 1) return summaryHeight();
  return rowsHeight();
}

void ChartView::layOutGroups(const std::vector<uint32_t>& start) {
  groupTops_.clear();
  int64_t y = BM::kFirstPanel;
  for (size_t g = 0; g + 1 < start.size(); ++g) {
    if (start[g + 1] == start[g]) continue;  // a benchmark without a timed run has no panel
    groupTops_.push_back({static_cast<int32_t>(start[g]), y});
    y += BM::groupAdvance(start[g + 1] - start[g]);
  }
  groupTops_.push_back({static_cast<int32_t>(rows->count()), y});
}

std::pair<int32_t, int64_t> ChartView::groupReaching(int64_t y) const {
  const std::vector<GroupTop>& tops = groupTops_;
  if (tops.empty() || tops.back().first != static_cast<int32_t>(rows->count()) ||
      barLabels_->rows.size() != rows->count())
    return {0, BM::kFirstPanel};
  // Group g's advance ends where group g + 1 starts.
  const auto after = std::upper_bound(tops.begin() + 1, tops.end(), y,
                                      [](int64_t at, const GroupTop& t) { return at < t.top; });
  const GroupTop& g = *(after - 1);
  return {g.first, g.top};
}

int32_t ChartView::rowsHeight() const {
  const int32_t n = static_cast<int32_t>(rows->count());
  if (n == 0) return static_cast<int32_t>(BM::kEmptyHeight);
  // From the last group laid out, or the first where there is none.
  auto [i, y] = groupReaching(INT64_MAX);
  for (; i < n;) {
    const int32_t e = groupEnd(i);
    y += BM::groupAdvance(e - i);
    i = e;
  }
  // More rows than a 32-bit height can hold would need 40 million runs.
  return static_cast<int32_t>(std::min<int64_t>(y + BM::kBottomRoom, INT32_MAX));
}

int32_t ChartView::minimumWidth() const {
  if (mode == 2) return heatMap->minimumWidth();
  if (mode == 1) return summaryMinimumWidth();
  return static_cast<int32_t>(BM::kMinimumWidth);
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
    heatMap->width = heatMapWidth(*this);
    // The view's surface clips at its width.
    chart::ChartBand shown = band();
    if (shownW < 0) shown.right = int64_t(originX) + frame().w();
    drawHeatMap(*heatMap, graphics, shown);
    return;
  }
  drawBars(graphics);
}

// ---------------------------------------------------------------------------
// 2. The bar charts

namespace {

// What every part of the bar charts shares: the band, the plot and the
// scale, whose full width S stands for P pixels.
struct BarPass {
  ChartCanvas& canvas;
  const chart::ChartBand& shown;
  int64_t W, L, R, P;  // the view's width, the plot's left and right ends and width
  int64_t labelRoom;   // the row labels' column
  double step, S;
  int64_t ticks;
  int32_t metric;

  int64_t scaled(double v) const { return chart::toI32(v / S * static_cast<double>(P)); }
};

// Only what meets the band is drawn. A panel cut by it keeps its rounded
// corners out of sight, beyond the band's edges.
void roundRectInBand(const BarPass& p, int64_t x, int64_t y, int64_t w, int64_t h, int64_t radius, uint32_t r,
                     uint32_t g, uint32_t b) {
  const int64_t y0 = std::max(y, p.shown.top - kSlack), y1 = std::min(y + h, p.shown.bottom + kSlack);
  p.canvas.fillRoundRect(x, y0, w, y1 - y0, static_cast<int32_t>(radius), r, g, b, 255);
}

// Each group that meets the band, with its first row (i), one past its
// last (e), its panel's top (y) and the rows whose lines can reach into the
// band (from skip to last, from the group's first).
template <typename Visit>
void forGroupsInBand(const BarPass& p, const ChartView& view, int32_t n, const Visit& visit) {
  // Groups whose advance ends above the band, slack and all, meet nothing.
  auto [i, y] = view.groupReaching(p.shown.top - kSlack);
  while (i < n) {
    const int32_t e = view.groupEnd(i);
    const int64_t k = e - i;
    if (y >= p.shown.bottom + kSlack) break;
    if (p.shown.meetsY(y - kSlack, y + BM::panelHeight(k) + kSlack)) {
      const int64_t skip = std::clamp<int64_t>(
          (p.shown.top - kSlack - (y + BM::kFirstRowDY + BM::kRowPitch)) / BM::kRowPitch, 0, k);
      const int64_t last = std::clamp<int64_t>(
          (p.shown.bottom + kSlack - (y + BM::kFirstRowDY)) / BM::kRowPitch + 1, 0, k);
      visit(i, e, y, static_cast<int32_t>(skip), static_cast<int32_t>(last));
    }
    y += BM::groupAdvance(k);
    i = e;
  }
}

// A tick left of the plot's right end: its grid line's x and its label,
// the value at the tick.
struct TickLabel {
  int64_t x;
  std::string text;
};

// The labels of the ticks t x step, t from 0 to n - 1: "%.2fx" of a
// speed-up, "%.1f" of a time in milliseconds, and more decimals where the
// step is too fine for those to tell every two neighbours apart.
std::vector<std::string> tickTexts(int32_t metric, double step, size_t n) {
  const int32_t fewest = metric == 1 ? BM::kSpeedUpDecimals : BM::kTimeDecimals;
  constexpr int32_t kMostDecimals = 9;
  std::vector<std::string> out;
  for (int32_t d = fewest;; ++d) {
    out.clear();
    bool apart = true;
    for (size_t t = 0; t < n; ++t) {
      const double v = static_cast<double>(t) * step;
      out.emplace_back(chart::drawnText(
          *String::withFormat(metric == 1 ? "%.*fx" : "%.*f", d, metric == 1 ? v : v / 1000.0)));
      if (t > 0 && out[t] == out[t - 1]) apart = false;
    }
    if (apart || d == kMostDecimals) return out;
  }
}

// A tick label's width as the driver draws it (the byte estimate without
// a driver): labels stand side by side, where an estimate short of the font
// lets them touch.
int64_t tickLabelWidth(std::string_view text) {
  return chart::TextMeasure{BM::kTickLabelSize, BM::kTickLabelByteW}.widthOf(text);
}

// Every k-th tick is labelled, k the smallest that leaves at least a
// digit's width between neighbouring labels. The ticks between keep their
// grid lines.
int64_t labelEvery(const std::vector<TickLabel>& labels) {
  const int64_t gap = tickLabelWidth("0");
  std::vector<int64_t> ends;
  for (const TickLabel& label : labels) ends.push_back(label.x + tickLabelWidth(label.text) + gap);
  const auto fits = [&](size_t k) {
    for (size_t i = 0; i + k < labels.size(); i += k)
      if (ends[i] > labels[i + k].x) return false;
    return true;
  };
  size_t k = 1;
  while (k < labels.size() && !fits(k)) ++k;
  return static_cast<int64_t>(k);
}

// Under the grid lines: one rounded panel per benchmark. Answers the bottom
// of the last panel.
int64_t drawBarPanels(const BarPass& p, const ChartView& view, int32_t n) {
  forGroupsInBand(p, view, n, [&](int32_t i, int32_t e, int64_t y, int32_t, int32_t) {
    const int64_t h = BM::panelHeight(e - i);
    if (!p.shown.meetsY(y, y + h)) return;
    roundRectInBand(p, BM::kPanelX, y, p.W - 2 * BM::kPanelX, h, BM::kBorderRadius, 197, 202, 214);
    roundRectInBand(p, BM::kPanelX + 1, y + 1, p.W - 2 * BM::kPanelX - 2, h - 2, BM::kFaceRadius, 236, 238, 243);
  });
  // Where a next panel would start, less the gap.
  return view.rowsHeight() - BM::kBottomRoom - BM::kPanelGap;
}

// Grid lines down to the last panel's bottom, tick labels that keep apart,
// and the axis title.
void drawBarAxis(const BarPass& p, int64_t bottom) {
  const int64_t gridTop = std::max<int64_t>(BM::kGridTop, p.shown.top - kSlack);
  const int64_t gridBottom = std::min(bottom, p.shown.bottom + kSlack);
  std::vector<TickLabel> labels;
  for (int64_t t = 0; t <= p.ticks; ++t) {
    const int64_t x = p.scaled(static_cast<double>(t) * p.step) + p.L;
    if (x > p.R) break;
    labels.push_back({x, {}});
  }
  std::vector<std::string> texts = tickTexts(p.metric, p.step, labels.size());
  for (size_t t = 0; t < labels.size(); ++t) labels[t].text = std::move(texts[t]);
  const size_t every = static_cast<size_t>(labelEvery(labels));
  const bool labelsShown = p.shown.meetsY(BM::kTickLabelY - kSlack, BM::kTickLabelY + kSlack);
  for (size_t t = 0; t < labels.size(); ++t) {
    if (gridBottom > gridTop) p.canvas.fillRect(labels[t].x, gridTop, 1, gridBottom - gridTop, 208, 211, 219);
    // A number is never cut: a label that would pass the view's edge is
    // left out, its grid line kept.
    const int64_t x = labels[t].x + BM::kTickLabelDX;
    if (labelsShown && t % every == 0 && x + tickLabelWidth(labels[t].text) <= p.W)
      p.canvas.text(labels[t].text.c_str(), x, BM::kTickLabelY, 110, 110, 110, BM::kTickLabelSize);
  }
  if (p.shown.meetsY(BM::kAxisTitleY - kSlack, BM::kAxisTitleY + kSlack))
    p.canvas.text(p.metric == 1 ? "speed-up (x)" : "time (ms)", p.L, BM::kAxisTitleY, 60, 60, 60,
                  BM::kAxisTitleSize);
}

}  // namespace

namespace {

// An error bar's end: where it is drawn, held to the plot, and whether the
// bar goes on past it there.
struct ErrorEnd {
  int64_t x;
  bool past;
};

ErrorEnd errorEnd(const BarPass& p, double v) {
  const double at = v / p.S * static_cast<double>(p.P);
  if (at < 0) return {p.L, true};
  if (at > static_cast<double>(p.P)) return {p.R, true};
  return {p.L + chart::toI32(at), false};
}

// A whisker across the bar's line, or where the error bar goes on past the
// plot an arrowhead pointing on.
void drawErrorEnd(const BarPass& p, const ErrorEnd& end, int64_t r) {
  if (!end.past) {
    p.canvas.line(end.x, r + BM::kErrorTopDY, end.x, r + BM::kErrorBottomDY, 1);
    return;
  }
  const int64_t back = end.x == p.L ? end.x + BM::kMarkW : end.x - BM::kMarkW;
  const int64_t mid = r + BM::kErrorMidDY;
  p.canvas.line(back, mid - BM::kMarkW, end.x, mid, 1);
  p.canvas.line(back, mid + BM::kMarkW, end.x, mid, 1);
}

// One row at its line r: label, bar, value and, for times, the error bar
// held to the plot. The value stands right of the bar, or of the error bar
// where that reaches further, so that no whisker crosses it; where the
// panel has no room for it there, it stands above the bar, ending where the
// bar ends, and it is cut only where not even the panel's width holds it.
void drawBarRow(const BarPass& p, const ChartRow& row, const std::string& label, int64_t r) {
  if (!label.empty()) p.canvas.text(label.c_str(), BM::kLabelX, r + BM::kLabelDY, 80, 80, 88, BM::kRowTextSize);

  double f = row.shown / p.S;
  if (f < 0) f = 0;
  if (f > 1) f = 1;
  const int64_t bw = std::max<int64_t>(chart::toI32(f * static_cast<double>(p.P)), BM::kMinBar);
  const chart::RGB c = chart::RGB::of(row.color);
  p.canvas.fillRect(p.L, r + BM::kBarDY, bw, BM::kBarH, c.r, c.g, c.b);

  // The error bar is centred on the mean, not on the bar's end.
  const bool errorBar = p.metric == 0 && row.stddev > 0 && std::isfinite(row.mean);
  const ErrorEnd lo = errorBar ? errorEnd(p, row.mean - row.stddev) : ErrorEnd{0, false};
  const ErrorEnd hi = errorBar ? errorEnd(p, row.mean + row.stddev) : ErrorEnd{0, false};
  // One past the last pixel of the bar, or of the error bar.
  const int64_t end = std::max(p.L + bw, errorBar ? hi.x + 1 : 0);
  const chart::TextMeasure measure{BM::kRowTextSize, BM::kTextCharW};
  const int64_t right = BM::textRight(p.W);
  std::string value(chart::drawnText(*chart::valueText(p.metric, row.shown)));
  int64_t x = end + BM::kValueDX, y = r + BM::kValueDY;
  if (const int64_t w = measure.widthOf(value); x + w > right) {
    // Above the bar nothing stands between the row labels' left edge and
    // the panel's right one.
    value = chart::fitText(value, right - BM::kLabelX, measure);
    x = std::max(std::min(p.L + bw, right) - measure.widthOf(value), BM::kLabelX);
    y = r + BM::kValueAboveDY;
  }
  p.canvas.text(value.c_str(), x, y, 40, 40, 44, BM::kRowTextSize);

  if (errorBar) {
    // Wholly past one end of the plot: one mark there.
    const bool beyond = lo.past && hi.past && lo.x == hi.x;
    if (!beyond) drawErrorEnd(p, lo, r);
    drawErrorEnd(p, hi, r);
    if (!beyond) p.canvas.line(lo.x, r + BM::kErrorMidDY, hi.x, r + BM::kErrorMidDY, 1);
  }
}

const chart::TextMeasure kLabelMeasure{BM::kRowTextSize, BM::kTextCharW};

// The label column's room for the groups in sight: the chart's, or wider
// where a group in sight tells its rows apart only in a wider one (the
// least such room, up to the widest the column grows to, found by halving).
int64_t labelRoomInSight(const BarPass& p, const ChartView& view, int32_t n) {
  chart::BarLabels& labels = view.barLabels();
  int64_t room = labels.room(p.W, kLabelMeasure);
  const int64_t most = std::max(BM::kLabelRoom, BM::mostLabelRoom(p.W));
  forGroupsInBand(p, view, n, [&](int32_t i, int32_t e, int64_t, int32_t skip, int32_t last) {
    const auto told = [&](int64_t r) {
      return labels.group(i, e, i + skip, i + last, r, kLabelMeasure).told() == chart::LabelSet::Told::apart;
    };
    if (room >= most || told(room)) return;
    int64_t lo = room, hi = most;  // lo does not tell them apart
    if (told(hi)) {
      while (hi - lo > 1) {
        const int64_t mid = lo + (hi - lo) / 2;
        (told(mid) ? hi : lo) = mid;
      }
    }
    labels.widen(hi, kLabelMeasure);
    room = labels.room(p.W, kLabelMeasure);
  });
  return room;
}

// What a group says on its title line when even the widest label column
// cannot tell its rows apart.
constexpr const char* kAlikeNote = "rows read alike; widen the window";

// The title of the group that starts at row i: its benchmark, told apart
// from every other group's by the one rule of names, in the room.
std::string groupTitle(const ChartView& view, int32_t n, int32_t i, int64_t room, const chart::TextMeasure& measure) {
  chart::BarLabels& labels = view.barLabels();
  if (labels.titleOf.empty()) {
    for (int32_t g = 0; g < n; g = view.groupEnd(g)) {
      const ChartRow* row = rowAt(*view.rows, static_cast<uint32_t>(g));
      const std::string_view text[1] = {row && row->bench ? chart::drawnText(*row->bench) : std::string_view()};
      labels.titleOf.emplace(g, labels.titles.add(text));
    }
  }
  const auto it = labels.titleOf.find(i);
  if (it == labels.titleOf.end()) return {};
  const uint32_t item[1] = {it->second};
  labels.titles.forms(item, room, measure);
  return labels.titles.form(item[0]).value_or(std::string());
}

// Titles and rows of the groups in the band. A title is cut to the panel,
// less the note of a group whose rows read alike.
void drawBarGroups(const BarPass& p, const ChartView& view, int32_t n) {
  const chart::TextMeasure titleMeasure{BM::kBenchSize, BM::kBenchCharW};
  const chart::TextMeasure noteMeasure{BM::kNoteSize, BM::kTextCharW};
  forGroupsInBand(p, view, n, [&](int32_t i, int32_t e, int64_t y, int32_t skip, int32_t last) {
    const chart::BarLabels::Group& labels = view.barLabels().group(i, e, i + skip, i + last, p.labelRoom, kLabelMeasure);
    if (p.shown.meetsY(y + BM::kBenchDY - kSlack, y + BM::kBenchDY + kSlack)) {
      int64_t titleRight = BM::textRight(p.W);
      if (labels.told() != chart::LabelSet::Told::apart) {
        const std::string note = chart::fitText(kAlikeNote, titleRight - BM::kBenchX, noteMeasure);
        const int64_t x = titleRight - noteMeasure.widthOf(note);
        p.canvas.text(note.c_str(), x, y + BM::kNoteDY, 150, 70, 20, BM::kNoteSize);
        titleRight = x - BM::kTextGap;
      }
      const std::string title = groupTitle(view, n, i, titleRight - BM::kBenchX, titleMeasure);
      if (!title.empty()) p.canvas.text(title.c_str(), BM::kBenchX, y + BM::kBenchDY, 24, 24, 28, BM::kBenchSize);
    }
    for (int32_t j = i + skip; j < e; ++j) {
      const int64_t r = y + BM::kFirstRowDY + BM::kRowPitch * static_cast<int64_t>(j - i);
      if (r >= p.shown.bottom + kSlack) break;
      if (const ChartRow* row = rowAt(*view.rows, static_cast<uint32_t>(j))) drawBarRow(p, *row, labels.form(j), r);
    }
  });
}

}  // namespace

// Found by the rebuild as it makes the rows; again only for rows that are
// not its own.
double ChartView::largestShown() const {
  const uint32_t n = rows->count();
  if (largest_.rebuild != rebuilds_ || largest_.rows != n) {
    double M = 0.0;
    for (uint32_t i = 0; i < n; ++i) {
      const ChartRow* row = rowAt(*rows, i);
      if (row && row->shown > M) M = row->shown;
    }
    largest_ = {rebuilds_, n, M};
  }
  return largest_.value;
}

void ChartView::drawBars(UXGraphics& graphics) const {
  const chart::ChartBand shown = band();
  ChartCanvas canvas(graphics, shown);
  const UXRect bounds = frame();
  const int64_t W = bounds.w();
  canvas.fillRect(originX, originY, W, bounds.h(), 255, 255, 255);

  const uint32_t n = rows->count();
  if (n == 0) {
    canvas.text("No runs match the filters.", BM::kMessageX, BM::kMessageY, 90, 90, 90, BM::kMessageSize);
    return;
  }

  // One scale for every benchmark, and one label column.
  const double M = largestShown();
  const double top = M > 0 ? M : 1.0;
  const double step = niceStep(top);
  const int64_t ticks = static_cast<int64_t>(chart::toI32(top / step)) + 1;
  // The plot starts right of the label column, as wide as the rows in
  // sight need.
  const BarPass sizing{canvas, shown, W, 0, 0, 0, 0, step, 0, ticks, metric};
  const int64_t labelRoom = labelRoomInSight(sizing, *this, static_cast<int32_t>(n));
  const int64_t L = BM::plotLeft(labelRoom), R = BM::plotRight(W, L);
  const BarPass pass{canvas, shown, W, L, R, R - L, labelRoom, step, step * static_cast<double>(ticks), ticks, metric};

  const int64_t bottom = drawBarPanels(pass, *this, static_cast<int32_t>(n));
  drawBarAxis(pass, bottom);
  drawBarGroups(pass, *this, static_cast<int32_t>(n));
  // Under the last panel, where a next one would start.
  const std::string caption =
      chart::fitText("bar = value    error bar = one standard deviation    label = machine",
                     BM::textRight(W) - BM::kCaptionX, chart::TextMeasure{BM::kCaptionSize, BM::kTextCharW});
  canvas.text(caption.c_str(), BM::kCaptionX, bottom + BM::kPanelGap + BM::kCaptionDY, 110, 110, 118,
              BM::kCaptionSize);
}

}  // namespace quorl
