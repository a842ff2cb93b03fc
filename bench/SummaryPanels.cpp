// Summary panels (the chart view's mode 1) and the axis step of the bars.
//
// One small panel per series label, laid out in a grid of summaryCols()
// panels a line; in each, one bar per benchmark on one scale shared by all
// panels, with the benchmark names under the axis. The
// numbers of the layout are SummaryMetrics (ChartMetrics.h); what follows
// from them and the texts of a chart is a SummaryLayout, which the sizes
// and the drawing share.
//
//   1. Scale and layout
//   2. Sizes
//   3. Drawing: frame, texts, axis, bars, names
//   4. The axis step of the bars
#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/BHelp.h"
#include "bench/ChartCanvas.h"
#include "bench/ChartMetrics.h"
#include "bench/ChartNames.h"
#include "bench/ChartView.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/String.h"

namespace quorl {

using chart::ChartCanvas;
using chart::rowAt;
using M = chart::SummaryMetrics;

namespace {

// ---------------------------------------------------------------------------
// 1. Scale and layout

// One scale for every panel, so that bars compare across panels; the
// outlier benchmark has no say in it.
double scaleOf(const Array& rows) {
  double m = 0.0;
  const String* lastBench = nullptr;  // rows of a group share their bench
  bool outlier = false;
  for (uint32_t i = 0; i < rows.count(); ++i) {
    const ChartRow* row = rowAt(rows, i);
    if (!row) continue;
    if (row->bench.get() != lastBench || i == 0) {
      lastBench = row->bench.get();
      outlier = BHelp::isOutlier(row->bench);
    }
    if (!outlier && row->shown > m) m = row->shown;
  }
  return m > 0 ? m : 1.0;
}

// The value at the top grid line, written over every panel's plot.
Ref<String> scaleTextOf(int32_t metric, double scale) {
  return metric == 1 ? String::withFormat("%.2fx", scale) : Fmt::us(chart::toI64(scale));
}

const chart::TextMeasure kNameMeasure{M::kNameSize, M::kNameByteW};
const chart::TextMeasure kTitleMeasure{M::kTitleSize, M::kTitleByteW};
const chart::TextMeasure kNoteMeasure{M::kNoteSize, M::kScaleByteW};

// What a view says above its panels when its titles, or its benchmark
// names, read alike in the room they have.
constexpr const char* kTitlesAlike = "series titles read alike; widen the window";
constexpr const char* kNamesAlike = "benchmark names read alike";

// The widest of the texts in measured pixels, or up to `most`.
int64_t widestOf(const Array& texts, const chart::TextMeasure& measure, int64_t most = INT64_MAX) {
  int64_t widest = 0;
  for (uint32_t i = 0; i < texts.count() && widest < most; ++i)
    if (const String* s = dynamic_cast<const String*>(texts.get(i).get()))
      widest = std::max(widest, measure.widthOf(chart::drawnText(*s)));
  return std::min(widest, most);
}

// Where everything of a panel goes, relative to its slot. Every panel has
// the same: the grid stays a grid, and one line of a panel reads as the
// same line of its neighbours.
struct SummaryLayout {
  int64_t cols = 1;               // panels a line
  int64_t boxW = 0, boxH = 0;     // the panel box, from (kBoxInset, kBoxInset)
  int64_t slotW = 0, slotH = 0;
  int64_t plotW = 0;              // the bars' width
  int64_t plotTop = M::kPlotTop, axis = M::kPlotTop + M::kPlotH;
  int64_t namesTop = 0, nameRoom = 0;  // names' lines from namesTop, each `nameRoom` wide
  int64_t titleRoom = 0;          // what a title may take, in pixels
  int64_t scaleX = 0, scaleY = M::kTitleY;
  int64_t top = 0;                // the first line of panels: below the note, where there is one
};

// A list of names through the one rule (chart::LabelSet), one item each.
class ToldNames {
 public:
  ToldNames(const Array& texts, const chart::TextMeasure& measure) : measure_(measure) {
    for (uint32_t i = 0; i < texts.count(); ++i) {
      const String* s = dynamic_cast<const String*>(texts.get(i).get());
      const std::string_view text[1] = {s ? chart::drawnText(*s) : std::string_view()};
      items_.push_back(set_.add(text));
    }
  }
  bool apart(int64_t room) { return set_.forms(items_, room, measure_) == chart::LabelSet::Told::apart; }
  // The least room from `least` up to `most` that tells the names apart,
  // found by halving; `most` when none does.
  int64_t roomFrom(int64_t least, int64_t most) {
    if (least >= most || apart(least)) return least;
    if (!apart(most)) return most;
    while (most - least > 1) {
      const int64_t mid = least + (most - least) / 2;
      (apart(mid) ? most : least) = mid;
    }
    return most;
  }
  // The forms at a room, each name's in its place.
  std::vector<std::string> forms(int64_t room) {
    set_.forms(items_, room, measure_);
    std::vector<std::string> out;
    for (uint32_t item : items_) out.push_back(set_.form(item).value_or(std::string()));
    return out;
  }

 private:
  chart::TextMeasure measure_;
  chart::LabelSet set_{{""}};
  std::vector<uint32_t> items_;
};

// The panel box holds the bars and, whole, the widest title and the scale
// text; only where the view is narrower than that box (less its margins)
// is the box held to the view and a longer title cut. The scale text
// stands at the right end of the title line when every title leaves room
// for it there, else on a line of its own under the titles, and then the
// plot of every panel starts below that line.
SummaryLayout layoutFor(int16_t viewW, int64_t B, int64_t nameRoom, int64_t titleW, int64_t scaleBytes,
                        bool noted = false) {
  SummaryLayout s;
  s.top = noted ? M::kNoteRoom : 0;
  s.plotW = B * M::kBarPitch;
  s.boxW = std::max(M::plotBoxW(B), M::boxForNames(B, nameRoom));
  const int64_t scaleW = scaleBytes * M::kScaleByteW;
  // The margin comes off in 16 bits, as the frame holds the width.
  const int64_t room = static_cast<int16_t>(static_cast<uint16_t>(viewW) - static_cast<uint16_t>(M::kMargin));
  if (B > 0) {
    const int64_t wanted = std::max(M::boxForText(titleW), M::boxForText(scaleW));
    const int64_t held = room - M::kBoxInset - M::kSlotTail;
    s.boxW = std::max(s.boxW, std::min(wanted, held));
    s.titleRoom = std::max<int64_t>(s.boxW - M::kTextLeft - M::kTextRight, 0);
    const int64_t shownTitleW = std::min(titleW, s.titleRoom);
    const int64_t boxRight = M::kBoxInset + s.boxW;
    s.scaleX = boxRight - M::kTextRight - scaleW;
    if (M::kTitleX + shownTitleW + M::kTextRight > s.scaleX) {
      s.scaleX = std::max(M::kTitleX, s.scaleX);
      s.scaleY = M::kTitleY + M::kLineAdvance;
      s.plotTop += M::kLineAdvance;
    }
  }
  s.axis = s.plotTop + M::kPlotH;
  s.namesTop = s.axis + M::kNamesGap;
  s.nameRoom = nameRoom;
  s.boxH = s.namesTop + B * M::kNameLine + M::kBoxFoot - M::kBoxInset;
  s.slotW = M::slotWidth(s.boxW);
  s.slotH = M::kBoxInset + s.boxH + M::kSlotTail;
  if (B > 0) s.cols = std::max<int64_t>(room / s.slotW, 1);
  return s;
}

// The benchmark names' room: as wide as the widest name up to kNameRoom,
// or wider, up to kMostNameRoom, where the names need it to be told apart.
int64_t nameRoomOf(ToldNames& names, const Array& benches) {
  return names.roomFrom(widestOf(benches, kNameMeasure, M::kNameRoom), M::kMostNameRoom);
}

// The layout of a view W wide, and the names and titles as drawn: each
// list told apart in its room where it can be; a view where one cannot
// says so in a note above the panels.
struct SummaryTexts {
  SummaryLayout layout;
  std::vector<std::string> names, titles;
  bool namesAlike = false, titlesAlike = false;
};

SummaryTexts textsOf(const ChartView& view, int16_t W, const Array& benches, const Array& series) {
  SummaryTexts out;
  const int64_t B = benches.count();
  const int64_t scaleBytes = B > 0 ? scaleTextOf(view.metric, scaleOf(*view.rows))->byteLength() : 0;
  ToldNames names(benches, kNameMeasure), titles(series, kTitleMeasure);
  const int64_t nameRoom = nameRoomOf(names, benches);
  const int64_t titleW = B > 0 ? widestOf(series, kTitleMeasure) : 0;
  out.layout = layoutFor(W, B, nameRoom, titleW, scaleBytes);
  out.namesAlike = B > 0 && !names.apart(nameRoom);
  out.titlesAlike = B > 0 && !titles.apart(out.layout.titleRoom);
  if (out.namesAlike || out.titlesAlike) out.layout = layoutFor(W, B, nameRoom, titleW, scaleBytes, true);
  out.names = names.forms(nameRoom);
  out.titles = titles.forms(out.layout.titleRoom);
  return out;
}

SummaryLayout layoutOf(const ChartView& view, const Array& benches, const Array& series) {
  return textsOf(view, view.frame().w(), benches, series).layout;
}

// ---------------------------------------------------------------------------
// 3. Drawing (helpers)

// What every panel shares: the layout, the scale and its text.
struct PanelPass {
  ChartCanvas& canvas;
  const SummaryLayout& layout;
  double scale;
  const String& scaleText;
  int32_t metric;
  int64_t benches;
  const std::vector<std::string>& names;   // each benchmark's in its short form
  const std::vector<std::string>& titles;  // each series'
};

// A bar length from a value on the scale: truncated, 0 when it does not fit
// in 32 bits.
int64_t barUnits(double v, double scale) { return chart::toI32(v / scale * static_cast<double>(M::kPlotH)); }

void drawPanelFrame(const PanelPass& p, int64_t px, int64_t py) {
  const SummaryLayout& s = p.layout;
  p.canvas.fillRoundRect(px + M::kBoxInset, py + M::kBoxInset, s.boxW, s.boxH, M::kBorderRadius, 197, 202, 214,
                         255);
  p.canvas.fillRoundRect(px + M::kBoxInset + 1, py + M::kBoxInset + 1, s.boxW - 2, s.boxH - 2, M::kFaceRadius, 252,
                         253, 255, 255);
}

// Panel k's title: whole, or where the box was held to the view, in its
// form among the others (chart::LabelSet).
void drawPanelTitle(const PanelPass& p, int64_t px, int64_t py, uint32_t k) {
  p.canvas.text(p.titles[k].c_str(), px + M::kTitleX, py + M::kTitleY, 24, 24, 28, M::kTitleSize);
}

void drawPanelAxis(const PanelPass& p, int64_t px, int64_t py) {
  const SummaryLayout& s = p.layout;
  const int64_t axis = py + s.axis;
  p.canvas.fillRect(px + M::kPlotX, axis, s.plotW, 1, 200, 203, 210);
  for (int64_t i = 1; i <= M::kGridLines; ++i)
    p.canvas.fillRect(px + M::kPlotX, axis - (i * M::kPlotH) / M::kGridLines, s.plotW, 1, 234, 236, 242);
  p.canvas.text(p.scaleText.cString(), px + s.scaleX, py + s.scaleY, 120, 120, 128, M::kScaleSize);
}

// One benchmark's bar and error bar. The error bar spans the mean plus or
// minus one deviation, held to the plot: past its top it would cross the
// texts above it, below the axis the names.
void drawPanelBar(const PanelPass& p, int64_t bx, int64_t py, const ChartRow& row) {
  const int64_t axis = py + p.layout.axis;
  const int64_t h = std::max<int64_t>(barUnits(row.shown, p.scale), M::kMinBar);
  const chart::RGB c = chart::RGB::of(row.color);
  p.canvas.fillRect(bx + M::kBarInset, axis - h, M::kBarW, h, c.r, c.g, c.b);
  if (p.metric == 0 && row.stddev > 0) {
    const auto held = [&](double v) { return std::clamp<int64_t>(barUnits(v, p.scale), 0, M::kPlotH); };
    p.canvas.line(bx + M::kErrorDX, axis - held(row.mean + row.stddev), bx + M::kErrorDX,
                  axis - held(row.mean - row.stddev), 1);
  }
}

// Bench j's name on its line, from under its bar's left edge, and the
// leader from the axis down to it, whether or not a bar stands.
void drawPanelName(const PanelPass& p, int64_t bx, int64_t py, uint32_t j) {
  const int64_t x = bx + M::kBarInset;
  const int64_t y = py + p.layout.namesTop + (p.benches - 1 - j) * M::kNameLine;
  const int64_t top = py + p.layout.axis + M::kLeaderGap;
  if (y - M::kLeaderGap > top) p.canvas.fillRect(x, top, 1, y - M::kLeaderGap - top, 214, 217, 224);
  p.canvas.text(p.names[j].c_str(), x, y, 70, 70, 78, M::kNameSize);
}

// findRow (label, bench) for every panel and bar at once: the first row of
// each pair, in row order, at [k * B + j].
std::vector<const ChartRow*> rowsByPanel(const Array& rows, const Array& series, const Array& benches) {
  const uint32_t S = series.count(), B = benches.count();
  chart::NameIndex labelIndex, benchIndex;
  for (uint32_t k = 0; k < S; ++k) labelIndex.indexOf(staticCast<String>(series.get(k)));
  for (uint32_t j = 0; j < B; ++j) benchIndex.indexOf(staticCast<String>(benches.get(j)));
  std::vector<const ChartRow*> found(static_cast<size_t>(S) * B, nullptr);
  // Texts shared by many rows are looked up once per String object.
  std::unordered_map<const String*, uint32_t> labelOf, benchOf;
  const auto lookup = [](std::unordered_map<const String*, uint32_t>& memo, const chart::NameIndex& index,
                         const String* text) {
    auto [it, added] = memo.try_emplace(text, kNotFound);
    if (added) it->second = index.find(text);
    return it->second;
  };
  for (uint32_t i = 0; i < rows.count(); ++i) {
    const ChartRow* row = rowAt(rows, i);
    if (!row) continue;
    const uint32_t k = lookup(labelOf, labelIndex, row->label.get());
    const uint32_t j = lookup(benchOf, benchIndex, row->bench.get());
    if (k == kNotFound || j == kNotFound) continue;
    const ChartRow*& slot = found[static_cast<size_t>(k) * B + j];
    if (!slot) slot = row;
  }
  return found;
}

}  // namespace

// ---------------------------------------------------------------------------
// 2. Sizes

int32_t ChartView::summaryCols() const {
  Ref<Array> benches = benchNames();
  Ref<Array> series = seriesNames();
  return static_cast<int32_t>(layoutOf(*this, *benches, *series).cols);
}

int32_t ChartView::summaryHeight() const {
  Ref<Array> series = seriesNames();
  const int64_t S = series->count();
  if (S == 0) return static_cast<int32_t>(M::kEmptyHeight);
  Ref<Array> benches = benchNames();
  const SummaryLayout s = layoutOf(*this, *benches, *series);
  const int64_t h = s.top + s.slotH * ((S + s.cols - 1) / s.cols) + M::kFoot;
  return static_cast<int32_t>(std::min<int64_t>(h, INT32_MAX));
}

// One panel and the view's margin; a panel widened by its texts counts,
// up to the widest a view can be.
int32_t ChartView::summaryMinimumWidth() const {
  Ref<Array> benches = benchNames();
  if (benches->count() == 0) return 0;
  Ref<Array> series = seriesNames();
  ToldNames names(*benches, kNameMeasure);
  const SummaryLayout s = layoutFor(static_cast<int16_t>(chart::kMaxCoord), benches->count(),
                                    nameRoomOf(names, *benches), widestOf(*series, kTitleMeasure),
                                    scaleTextOf(metric, scaleOf(*rows))->byteLength());
  return static_cast<int32_t>(std::min<int64_t>(s.slotW + M::kMargin, chart::kMaxCoord));
}

// ---------------------------------------------------------------------------
// 3. Drawing

void ChartView::drawSummary(UXGraphics& graphics) const {
  const chart::ChartBand shown = band();
  ChartCanvas canvas(graphics, shown);
  const UXRect bounds = frame();
  canvas.fillRect(originX, originY, bounds.w(), bounds.h(), 255, 255, 255);

  Ref<Array> benches = benchNames();
  Ref<Array> series = seriesNames();
  const uint32_t B = benches->count();
  const uint32_t S = series->count();
  if (S == 0 || B == 0) {
    canvas.text("No runs match the filters.", M::kMessageX, M::kMessageY, 90, 90, 90, M::kMessageSize);
    return;
  }

  const double scale = scaleOf(*rows);
  Ref<String> scaleText = scaleTextOf(metric, scale);
  // A few hundred names and titles at most: their forms are made at each draw.
  const SummaryTexts texts = textsOf(*this, frame().w(), *benches, *series);
  const SummaryLayout& s = texts.layout;
  const std::vector<const ChartRow*> found = rowsByPanel(*rows, *series, *benches);
  const PanelPass pass{canvas, s, scale, *scaleText, metric, B, texts.names, texts.titles};
  if (s.top > 0 && shown.meetsY(0, s.top)) {
    const char* note = texts.titlesAlike ? kTitlesAlike : kNamesAlike;
    const std::string shownNote = chart::fitText(note, bounds.w() - M::kMessageX, kNoteMeasure);
    canvas.text(shownNote.c_str(), M::kMessageX, M::kNoteY, 150, 70, 20, M::kNoteSize);
  }

  // Only the panels that meet the band are drawn: the first line of them
  // is found by division, so a draw costs the same at any position.
  const int64_t C = s.cols;
  const int64_t firstLine = std::max<int64_t>((shown.top - s.top - s.slotH) / s.slotH, 0);
  for (uint64_t k = static_cast<uint64_t>(firstLine * C); k < S; ++k) {
    const int64_t px = static_cast<int64_t>(k % static_cast<uint64_t>(C)) * s.slotW;
    const int64_t py = s.top + static_cast<int64_t>(k / static_cast<uint64_t>(C)) * s.slotH;
    if (py >= shown.bottom) break;
    if (!shown.meetsY(py, py + s.slotH) || !shown.meetsX(px, px + s.slotW)) continue;

    drawPanelFrame(pass, px, py);
    drawPanelTitle(pass, px, py, static_cast<uint32_t>(k));
    drawPanelAxis(pass, px, py);
    for (uint32_t j = 0; j < B; ++j) {
      const int64_t bx = px + M::kPlotX + M::kBarPitch * static_cast<int64_t>(j);
      if (bx >= shown.right) break;
      if (const ChartRow* row = found[static_cast<size_t>(k) * B + j]) drawPanelBar(pass, bx, py, *row);
      drawPanelName(pass, bx, py, j);
    }
  }
}

// ---------------------------------------------------------------------------
// 4. The axis step of the bars

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
