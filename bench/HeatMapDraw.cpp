// Heat-map drawing.
//
// Sections:
//   1. A cell
//   2. The lookup index
//   3. The picture: frame, title rows, names, cells, the geometric-mean
//      line and the legend, and the bands that stay in sight when the map
//      is scrolled
//
// The layout's numbers are HeatMapMetrics (ChartMetrics.h).
#include "bench/HeatMapDraw.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/BHelp.h"
#include "bench/ChartCanvas.h"
#include "bench/ChartMetrics.h"
#include "bench/ChartNames.h"
#include "bench/FlatIndex.h"
#include "bench/TextKeys.h"
#include "bench/HeatMap.h"
#include "bench/HeatMapHeadings.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/String.h"

namespace quorl {

using chart::ChartCanvas;
using chart::FlatIndex;
using chart::pairKey;

namespace {

using L = chart::HeatMapMetrics;

constexpr double kLn2 = 0.6931471805599453;
// The furthest a cell's text can start left of its cell: the longest ratio
// text ("%.0fx slower" of the largest double, 317 bytes at 6 pixels) centred
// on the narrowest cell (96 pixels), rounded up.
constexpr int64_t kMaxOverhang = 1000;

const String* stringAt(const Array& list, uint32_t i) { return dynamic_cast<const String*>(list.get(i).get()); }

// A count with a comma between each three digits: "2,000".
std::string grouped(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) out += ',';
    out += digits[k];
  }
  return out;
}

// ---------------------------------------------------------------------------
// 1. A cell

void paintCell(ChartCanvas& canvas, const HeatMap& map, int64_t x, int64_t y, int64_t w, int64_t h, double ratio,
               bool grey, bool framed, const char* text) {
  const uint32_t c = framed ? 50 : 222;
  canvas.fillRect(x + L::kFrameInset, y + L::kFrameInset, w - 2 * L::kFrameInset, h - 2 * L::kFrameInset, c, c,
                  c + 4);

  const chart::RGB fill = grey ? chart::RGB{238, 238, 240} : chart::RGB::of(map.shade(ratio));
  canvas.fillRect(x + L::kFillInset, y + L::kFillInset, w - 2 * L::kFillInset, h - 2 * L::kFillInset, fill.r,
                  fill.g, fill.b);

  // Distance from 1x on the log-4 scale; the thresholds are the single-
  // precision 0.8 and 0.55 read as doubles.
  const double a = std::fabs(std::log(ratio) / (2.0 * kLn2));
  const double threshold = map.baseline ? 0.550000011920929 : 0.800000011920929;
  const bool dark = !grey && a > threshold;

  Ref<String> own;
  if (!text) {
    own = HeatMap::ratioText(ratio);
    text = own->cString();
  }
  int64_t bytes = static_cast<int64_t>(String::_cstringLen(text));
  const uint32_t v = dark ? 255 : (grey ? 130 : 30);
  const int32_t size = framed ? 12 : 11;
  // A text the byte estimate finds near the colour's width is measured, and
  // cut to it when wider (a ratio of thousands of digits).
  const int64_t inner = w - 2 * L::kFillInset;
  std::string cut;
  if (bytes * L::kCellCharW > inner - 2 * L::kCellCharW) {
    const chart::TextMeasure measure{size, L::kCellCharW};
    if (measure.widthOf(text) > inner) {
      cut = chart::fitText(text, inner, measure);
      text = cut.c_str();
      bytes = (measure.widthOf(cut) + L::kCellCharW - 1) / L::kCellCharW;
    }
  }
  // Centred on the cell by the byte estimate. The division truncates toward
  // zero, so a text wider than its cell starts left of it by half the
  // excess, rounded toward the cell, and stays centred.
  const int64_t tx = x + (w - bytes * L::kCellCharW) / 2;
  if (*text) canvas.text(text, tx, y + L::kTextDown, v, v, v, size);
}

}  // namespace

// ---------------------------------------------------------------------------
// 2. The lookup index. Texts compare as BHelp::same does: folded A-Z, up to the
// first NUL, and a missing text matches nothing.
//
// Every row is placed once: its benchmark is line i when its bench equals
// benches[i], and column j when its series and setting equal column j's
// (columns are distinct, so a row matches at most one). The index keeps,
// per (line, column), the first such row, and per line the fastest, exactly
// what HeatMap's scans would find. Rows share their Strings, so each String
// object is resolved to its line or column once.

namespace {

struct Text {
  const char* p = nullptr;
  uint32_t n = 0;
  bool ok() const { return p != nullptr; }
};

Text textOf(const String* s) {
  if (!s) return {};
  const char* p = s->cString();
  return {p, textkeys::visibleLength(p, s->byteLength())};
}

bool sameText(const Text& a, const Text& b) { return textkeys::equalFolded(a.p, a.n, b.p, b.n); }

// Distinct texts (folded) to a number; a missing text has none.
class TextIds {
 public:
  uint32_t idOf(const Text& t) const {
    if (!t.ok()) return kNotFound;
    auto it = ids_.find(t);
    return it == ids_.end() ? kNotFound : it->second;
  }
  uint32_t add(const Text& t) {
    if (!t.ok()) return kNotFound;
    return ids_.try_emplace(t, static_cast<uint32_t>(ids_.size())).first->second;
  }

 private:
  struct Hash {
    size_t operator()(const Text& t) const { return textkeys::hashFolded(textkeys::kHashSeed, t.p, t.n); }
  };
  struct Equal {
    bool operator()(const Text& a, const Text& b) const { return sameText(a, b); }
  };
  std::unordered_map<Text, uint32_t, Hash, Equal> ids_;
};

// The id of a String object's text, asked once per object.
class ObjectIds {
 public:
  explicit ObjectIds(const TextIds& texts) : texts_(texts) {}
  uint32_t of(const String* s) {
    if (!s) return kNotFound;
    const uint64_t key = reinterpret_cast<uintptr_t>(s);
    uint32_t id = memo_.find(key);
    if (id == FlatIndex::kNone) id = memo_.insert(key, texts_.idOf(textOf(s)));
    return id;
  }

 private:
  const TextIds& texts_;
  FlatIndex memo_;
};

}  // namespace

struct HeatMapLookup::Index {
  uint32_t N = 0, M = 0;
  std::vector<const ChartRow*> rows;      // by row number, for the tables below
  // (line, column) -> first row: a table of every pair when that is not
  // too large, else a hash of the pairs that have a row.
  std::vector<uint32_t> firstDense;
  FlatIndex first;
  FlatIndex base;                         // (line, setting id) -> first baseline row
  std::vector<const ChartRow*> fastest;   // per line
  std::vector<uint32_t> columnSetting;    // setting id of each column
  bool hasBaseline = false;
  std::vector<uint64_t> filled;           // (column, line) of each cell that holds a row
  // filled in column order, made when first asked: where each column's
  // lines start in `filledLines`.
  std::vector<uint32_t> columnStart, filledLines;
  // Each column's geometric mean, worked out when first asked.
  enum : uint8_t { kUnasked, kMean, kNoMean };
  std::vector<uint8_t> meanState;
  std::vector<double> means;

  const ChartRow* at(uint32_t k) const { return k == FlatIndex::kNone ? nullptr : rows[k]; }
  static constexpr uint64_t kDenseLimit = 1u << 22;
  bool dense() const { return static_cast<uint64_t>(N) * M <= kDenseLimit; }
  void addFirst(uint32_t i, uint32_t j, uint32_t number) {
    if (dense()) {
      uint32_t& slot = firstDense[static_cast<size_t>(i) * M + j];
      if (slot != FlatIndex::kNone) return;
      slot = number;
    } else if (first.insert(pairKey(i, j), number) != number) {
      return;
    }
    filled.push_back(pairKey(j, i));
  }
  uint32_t firstOf(uint32_t i, uint32_t j) const {
    return dense() ? firstDense[static_cast<size_t>(i) * M + j] : first.find(pairKey(i, j));
  }
};

HeatMapLookup::HeatMapLookup(const HeatMap& map) : map_(map), index_(std::make_unique<Index>()) {
  Index& x = *index_;
  const auto texts = [](const Ref<Array>& list) {
    std::vector<Text> out;
    if (list)
      for (uint32_t i = 0; i < list->count(); ++i)
        out.push_back(textOf(dynamic_cast<const String*>(list->get(i).get())));
    return out;
  };
  const std::vector<Text> benches = texts(map.benches), series = texts(map.colSeries), settings = texts(map.colSetting);
  x.N = static_cast<uint32_t>(benches.size());
  x.M = static_cast<uint32_t>(std::min(series.size(), settings.size()));
  x.fastest.assign(x.N, nullptr);
  if (x.dense()) x.firstDense.assign(static_cast<size_t>(x.N) * x.M, FlatIndex::kNone);
  x.hasBaseline = static_cast<bool>(map.baseline);

  // Lines, series and settings as numbers; a column is a pair of numbers.
  // A build makes lines and columns distinct, but the lists are open to
  // anyone: lines (columns) of equal texts are chained, and a row counts
  // for each of them, as it would in a scan.
  TextIds benchIds, seriesIds, settingIds;
  std::vector<uint32_t> lineOfBench, nextLine(x.N, kNotFound);
  for (uint32_t i = x.N; i-- > 0;) {
    const uint32_t id = benchIds.add(benches[i]);
    if (id == kNotFound) continue;
    if (id >= lineOfBench.size()) lineOfBench.resize(id + 1, kNotFound);
    nextLine[i] = lineOfBench[id];
    lineOfBench[id] = i;
  }
  FlatIndex columnOf(x.M);
  std::vector<uint32_t> nextColumn(x.M, kNotFound);
  x.columnSetting.assign(x.M, kNotFound);
  for (uint32_t j = x.M; j-- > 0;) {
    const uint32_t s = seriesIds.add(series[j]);
    const uint32_t t = settingIds.add(settings[j]);
    x.columnSetting[j] = t;
    if (s == kNotFound || t == kNotFound) continue;
    const uint32_t later = columnOf.find(pairKey(s, t));
    nextColumn[j] = later == FlatIndex::kNone ? kNotFound : later;
    columnOf.set(pairKey(s, t), j);
  }
  const uint32_t baselineSeries = seriesIds.add(textOf(map.baseline.get()));

  if (map.rows) {
    const Array& rows = *map.rows;
    const uint32_t count = rows.count();
    x.rows.reserve(count);
    ObjectIds benchOf(benchIds), seriesOf(seriesIds), settingOf(settingIds);
    for (uint32_t k = 0; k < count; ++k) {
      if (k + 16 < count) {
        // The fields read here span the lines of the row object.
        const char* next = reinterpret_cast<const char*>(rows.get(k + 16).get());
        for (size_t at = 0; next && at < sizeof(ChartRow); at += 64) __builtin_prefetch(next + at);
      }
      const ChartRow* row = chart::rowAt(rows, k);
      if (!row) continue;
      const uint32_t b = benchOf.of(row->bench.get());
      const uint32_t line = b == kNotFound ? kNotFound : lineOfBench[b];
      if (line == kNotFound) continue;  // no line of the map, nothing to answer
      const uint32_t number = static_cast<uint32_t>(x.rows.size());
      x.rows.push_back(row);
      const uint32_t s = seriesOf.of(row->series.get());
      const uint32_t t = settingOf.of(row->setting.get());
      const uint32_t column = s == kNotFound || t == kNotFound ? kNotFound : columnOf.find(pairKey(s, t));
      for (uint32_t i = line; i != kNotFound; i = nextLine[i]) {
        if (row->measured() && (!x.fastest[i] || row->value < x.fastest[i]->value)) x.fastest[i] = row;
        if (s == kNotFound || t == kNotFound) continue;
        for (uint32_t j = column; j != FlatIndex::kNone && j != kNotFound; j = nextColumn[j])
          x.addFirst(i, j, number);
        if (x.hasBaseline && s == baselineSeries) x.base.insert(pairKey(i, t), number);
      }
    }
  }
}

HeatMapLookup::~HeatMapLookup() = default;

const ChartRow* HeatMapLookup::cell(uint32_t i, uint32_t j) const {
  const Index& x = *index_;
  if (i >= x.N || j >= x.M) return nullptr;
  return x.at(x.firstOf(i, j));
}

const ChartRow* HeatMapLookup::fastest(uint32_t i) const {
  const Index& x = *index_;
  return i < x.N ? x.fastest[i] : nullptr;
}

const ChartRow* HeatMapLookup::baseOf(uint32_t i, uint32_t j) const {
  const Index& x = *index_;
  if (!x.hasBaseline) return fastest(i);
  if (i >= x.N || j >= x.M || x.columnSetting[j] == kNotFound) return nullptr;
  return x.at(x.base.find(pairKey(i, x.columnSetting[j])));
}

std::span<const uint32_t> HeatMapLookup::filledLines(uint32_t j) const {
  Index& x = *index_;
  if (j >= x.M) return {};
  if (x.columnStart.empty()) {
    std::sort(x.filled.begin(), x.filled.end());
    x.columnStart.assign(x.M + 1, 0);
    x.filledLines.reserve(x.filled.size());
    for (const uint64_t cell : x.filled) {
      ++x.columnStart[(cell >> 32) + 1];
      x.filledLines.push_back(static_cast<uint32_t>(cell));
    }
    for (uint32_t c = 0; c < x.M; ++c) x.columnStart[c + 1] += x.columnStart[c];
  }
  return {x.filledLines.data() + x.columnStart[j], x.filledLines.data() + x.columnStart[j + 1]};
}

// The rule of HeatMap::ratio, on the indexed rows.
bool HeatMapLookup::ratio(uint32_t i, uint32_t j, double& result, bool& grey) const {
  result = 0.0;
  grey = false;
  const ChartRow* a = cell(i, j);
  const ChartRow* b = baseOf(i, j);
  if (!a || !b || !a->measured() || !b->measured()) return false;
  result = a->value / b->value;
  grey = ChartRow::withinSpread(*a, *b);
  return true;
}

// The rule of HeatMap::geomean, on the indexed rows, once per column.
bool HeatMapLookup::geomean(uint32_t j, double& mean) const {
  Index& x = *index_;
  const auto meanOf = [&](double& m) {
    return HeatMap::geomeanOf(map_.benches, [&](uint32_t i, double& r, bool& grey) { return ratio(i, j, r, grey); },
                              m);
  };
  if (j >= x.M) return meanOf(mean);
  if (x.meanState.empty()) {
    x.meanState.assign(x.M, Index::kUnasked);
    x.means.assign(x.M, 0.0);
  }
  if (x.meanState[j] == Index::kUnasked) x.meanState[j] = meanOf(x.means[j]) ? Index::kMean : Index::kNoMean;
  mean = x.means[j];
  return x.meanState[j] == Index::kMean;
}

// ---------------------------------------------------------------------------
// 3. The picture
//
// Scrolled sideways, the names column stays at the band's left edge;
// scrolled down, the title rows stay at its top; where they meet, the
// corner holds the title on the background. Each frozen band is painted
// after the cells, over them: its background first, so that no cell shows
// through, then its texts. A map in its place (the band at the map's
// origin) draws each part where it lies, in one pass.

void fillHeatMapCell(const HeatMap& map, UXGraphics& g, int32_t x, int32_t y, int32_t w, int32_t h, double ratio,
                     bool grey, bool framed, const char* text) {
  ChartCanvas canvas(g);
  paintCell(canvas, map, x, y, w, h, ratio, grey, framed, text);
}

namespace {

class HeatMapPicture {
 public:
  HeatMapPicture(const HeatMap& map, UXGraphics& g, const chart::ChartBand& band)
      : map_(map), band_(band), canvas_(g, band) {}

  void draw() {
    if (!drawFrame()) return;
    lookup_ = &map_.lookup();
    const bool frozenNames = band_.left > 0, frozenTitles = band_.top > 0;
    if (!frozenNames && !frozenTitles) drawTitle(0, 0);
    if (!frozenTitles) drawHeaders(0);
    for (uint32_t i = firstLine_; i < N_; ++i) {
      const int64_t y = lineY(i);
      if (y > lastY_) break;
      if (!frozenNames) drawName(i, 0);
      drawCells(i, y);
    }
    drawSeparator(0, names_ + static_cast<int64_t>(M_) * W_ - L::kStripeX);
    if (meanInSight()) {
      if (!frozenNames) drawMeanCaption(0);
      drawMeans();
    }
    drawLegend();
    if (frozenNames) drawFrozenNames();
    if (frozenTitles) drawFrozenTitles();
    if (frozenNames || frozenTitles) drawCorner();
    lookup_ = nullptr;
  }

 private:
  int64_t lineY(uint32_t i) const { return titleRows_ + static_cast<int64_t>(i) * L::kLine; }
  int64_t columnX(uint32_t j) const { return names_ + static_cast<int64_t>(j) * W_; }
  // The separator's y, the geometric-mean line's and the legend strip's.
  int64_t separatorY() const { return lineY(N_) + L::kSeparatorGap; }
  int64_t meanY() const { return lineY(N_) + L::kMeanGap; }
  int64_t legendY() const { return meanY() + L::kLegendGap; }
  bool meanInSight() const {
    return meanY() <= lastY_ && band_.meetsY(meanY() - L::kLine, meanY() + L::kLine);
  }

  // -- Frame: the background, and the message of an empty map; false when
  // there is nothing more to draw. Works out what of the map is in sight.
  bool drawFrame() {
    canvas_.fillRect(0, 0, map_.width, map_.height(), 255, 255, 255);
    N_ = map_.benches ? map_.benches->count() : 0;
    M_ = map_.colSeries ? map_.colSeries->count() : 0;
    if (N_ == 0 || M_ == 0) {
      canvas_.text("No runs match the filters.", L::kMessageX, L::kMessageY, 90, 90, 90, 13);
      return false;
    }
    W_ = map_.cellW();
    names_ = map_.namesWidth();
    shown_ = map_.shownColumns();
    titleRows_ = map_.titleRows();
    headings_ = &map_.headings();
    hasBaseline_ = static_cast<bool>(map_.baseline);
    // What lies right of the band is not drawn: a header starts at its x; a
    // cell's text may start left of its cell, but never by as much as
    // kMaxOverhang, so cells further right are left out altogether. Columns
    // left of the band are skipped by the same measure, lines above and
    // below it by a line. Lines and columns past the 16-bit range lie
    // outside every view, so they are not worked out at all.
    headerLimit_ = std::min(band_.originX + chart::kMaxCoord, band_.right - 1);
    cellLimit_ = std::min(band_.originX + chart::kMaxCoord, band_.right + kMaxOverhang);
    firstColumn_ = static_cast<uint32_t>(std::clamp<int64_t>((band_.left - kMaxOverhang - names_) / W_, 0, M_));
    firstLine_ = static_cast<uint32_t>(std::clamp<int64_t>((band_.top - titleRows_) / L::kLine - 1, 0, N_));
    lastY_ = std::min(band_.originY + chart::kMaxCoord, band_.bottom + L::kLine);
    return true;
  }

  // -- Title rows
  void drawTitle(int64_t left, int64_t top) {
    Ref<String> title = String::withCString("each run against ");
    if (hasBaseline_) {
      title->append(map_.baseline);
      title->appendCString(" at the same setting");
    } else {
      title->appendCString("the fastest run of each benchmark");
    }
    const std::string shown =
        chart::fitText(chart::drawnText(*title), map_.width - L::kTitleX - L::kRightMargin, {12, L::kNameCharW});
    canvas_.text(shown.c_str(), left + L::kTitleX, top + L::kTitleY, 40, 40, 44, 12);
    // The note: how many columns are shown of a cut map, and how many
    // headings and names read alike.
    std::string note;
    const auto add = [&](bool when, uint32_t count, uint32_t of, const char* what) {
      if (when) note += (note.empty() ? "" : ", ") + grouped(count) + " of " + grouped(of) + what;
    };
    add(shown_ < M_, shown_, M_, " series shown");
    add(headings_->alikeColumns > 0, headings_->alikeColumns, M_, " headings read alike");
    add(headings_->alikeNames > 0, headings_->alikeNames, N_, " names read alike");
    if (!note.empty()) {
      note = chart::fitText(note + "; narrow the filters", map_.width - L::kTitleX - L::kRightMargin,
                            {L::kNoteSize, L::kSettingCharW});
      canvas_.text(note.c_str(), left + L::kTitleX, top + L::kNoteY, 150, 70, 20, L::kNoteSize);
    }
  }

  // Each column's heading in its short forms, for the columns in sight:
  // its series, its setting, and with three lines its machine; top is the
  // title rows' y.
  void drawHeaders(int64_t top) {
    if (!band_.meetsY(top, top + titleRows_)) return;
    top += titleRows_ - L::titleRows(false, headings_->lines);  // below the note
    const HeatMapHeadings& h = *headings_;
    for (uint32_t j = firstColumn_; j < M_; ++j) {
      const int64_t x = columnX(j) + L::kHeaderInset;
      if (x > headerLimit_) break;
      if (stringAt(*map_.colSeries, j))
        canvas_.text(h.series[j].c_str(), x, top + L::kSeriesY, 24, 24, 28, L::kSeriesSize);
      if (j < h.settings.size() && stringAt(*map_.colSetting, j))
        canvas_.text(h.settings[j].c_str(), x, top + L::kSettingY, 110, 110, 118, L::kSettingSize);
      if (j < h.machines.size() && !h.machines[j].empty())
        canvas_.text(h.machines[j].c_str(), x, top + L::kMachineY, 110, 110, 118, L::kSettingSize);
    }
  }

  // -- Names: line i's benchmark in its short form, on a shade every other
  // line; left is the names column's x.
  void drawName(uint32_t i, int64_t left) {
    const int64_t y = lineY(i);
    if (i % 2 == 1)
      canvas_.fillRect(left + L::kStripeX, y, names_ - L::kStripeX - L::kStripeEnd, L::kLine, 244, 245, 248);
    if (stringAt(*map_.benches, i))
      canvas_.text(headings_->names[i].c_str(), left + L::kNameX, y + L::kTextDown, 40, 40, 44, L::kNameSize);
  }

  void drawMeanCaption(int64_t left) {
    const int64_t y = meanY();
    const int64_t room = L::nameRoom(names_);
    const std::string caption = chart::fitText("geometric mean", room, {L::kNameSize, L::kNameCharW});
    canvas_.text(caption.c_str(), left + L::kNameX, y + L::kMeanCaptionDown, 40, 40, 44, L::kNameSize);
    if (map_.hasOutlier()) {
      const std::string note = chart::fitText("without matrix_mul_f32", room, {9, L::kSettingCharW});
      canvas_.text(note.c_str(), left + L::kNameX, y + L::kOutlierNoteDown, 120, 120, 128, 9);
    }
  }

  // -- Cells: line i's, at y; a missing measurement shows "-".
  void drawCells(uint32_t i, int64_t y) {
    const ChartRow* fastest = lookup_->fastest(i);
    for (uint32_t j = firstColumn_; j < M_; ++j) {
      const int64_t x = columnX(j);
      if (x > cellLimit_) break;
      double ratio = 0.0;
      bool grey = false;
      if (lookup_->ratio(i, j, ratio, grey)) {
        const ChartRow* a = lookup_->cell(i, j);
        const ChartRow* b = lookup_->baseOf(i, j);
        const char* text = a == b ? (hasBaseline_ ? "baseline" : "fastest") : nullptr;
        paintCell(canvas_, map_, x, y, W_, L::kLine, ratio, grey, a == fastest, text);
      } else {
        const int64_t f = L::kFrameInset, m = L::kMissingInset;
        canvas_.fillRect(x + f, y + f, W_ - 2 * f, L::kLine - 2 * f, 214, 216, 222);
        canvas_.fillRect(x + m, y + m, W_ - 2 * m, L::kLine - 2 * m, 255, 255, 255);
        canvas_.text("-", x + W_ / 2 - L::kDashHalfW, y + L::kTextDown, 170, 170, 176, 11);
      }
    }
  }

  // -- The geometric-mean line: the separator above it, from x over w, and
  // each column's mean.
  void drawSeparator(int64_t x, int64_t w) {
    canvas_.fillRect(x + L::kStripeX, separatorY(), w, 1, 190, 194, 202);
  }

  void drawMeans() {
    for (uint32_t j = firstColumn_; j < M_; ++j) {
      const int64_t x = columnX(j);
      if (x > cellLimit_) break;
      double mean = 0.0;
      if (lookup_->geomean(j, mean)) paintCell(canvas_, map_, x, meanY(), W_, L::kLine, mean, false, false, nullptr);
    }
  }

  // -- Legend: swatches from 1x (or 1/4x with a baseline) to 4x, the scale's
  // ends and middle, and what the cells mean.
  void drawLegend() {
    const int64_t yl = legendY();
    if (yl > lastY_ || !band_.meetsY(yl - L::kLine, yl + 2 * L::kLine)) return;
    for (int k = 0; k < L::kSwatches; ++k) {
      const double t = k / static_cast<double>(L::kSwatches - 1);
      const double u = hasBaseline_ ? 2.0 * t - 1.0 : t;
      const chart::RGB c = chart::RGB::of(map_.shade(std::exp(u * 2.0 * kLn2)));
      canvas_.fillRect(L::kLegendX + L::kSwatchW * k, yl, L::kSwatchW, L::kSwatchH, c.r, c.g, c.b);
    }
    // The low end's caption ends at the strip by the cell's byte estimate.
    const char* low = hasBaseline_ ? "4x faster" : "fastest";
    const int64_t lowX =
        L::kLegendX - L::kLegendEndGap - static_cast<int64_t>(String::_cstringLen(low)) * L::kCellCharW;
    canvas_.text(low, lowX, yl + L::kLegendUpperDown, 90, 90, 96, 10);
    if (hasBaseline_)
      canvas_.text("same", L::kLegendSameX, yl + L::kLegendLowerDown, 90, 90, 96, 10);
    else
      canvas_.text("2x slower", L::kLegendTwiceX, yl + L::kLegendLowerDown, 90, 90, 96, 10);
    const int64_t highX = L::kLegendX + L::kSwatches * L::kSwatchW + L::kLegendEndGap;
    canvas_.text("4x slower", highX, yl + L::kLegendUpperDown, 90, 90, 96, 10);
    const std::string explanation = chart::fitText(
        "green = better, red = worse, grey = within one standard deviation, framed = fastest, - = not measured",
        map_.width - L::kTitleX - L::kRightMargin, {10, L::kSettingCharW});
    canvas_.text(explanation.c_str(), L::kTitleX, yl + L::kExplanationGap, 110, 110, 118, 10);
  }

  // -- Frozen bands
  // The names column at the band's left edge, down to the end of the
  // geometric-mean line: background, the separator's part, names, caption.
  void drawFrozenNames() {
    const int64_t left = band_.left;
    const int64_t end = std::min(band_.bottom, meanY() + L::kLine);
    if (end <= band_.top) return;
    canvas_.fillRect(left, band_.top, names_, end - band_.top, 255, 255, 255);
    for (uint32_t i = firstLine_; i < N_ && lineY(i) <= lastY_; ++i) drawName(i, left);
    drawSeparator(left, names_ - L::kStripeX);
    if (meanInSight()) drawMeanCaption(left);
  }

  // The title rows at the band's top, across the band.
  void drawFrozenTitles() {
    canvas_.fillRect(band_.left, band_.top, band_.right - band_.left, titleRows_, 255, 255, 255);
    drawHeaders(band_.top);
  }

  // Where the names column and the title rows meet: the background and the
  // title, whatever lies under them.
  void drawCorner() {
    canvas_.fillRect(band_.left, band_.top, names_, titleRows_, 255, 255, 255);
    drawTitle(band_.left, band_.top);
  }

  const HeatMap& map_;
  const chart::ChartBand band_;
  ChartCanvas canvas_;
  const HeatMapLookup* lookup_ = nullptr;
  const HeatMapHeadings* headings_ = nullptr;  // the map's, at its width
  uint32_t N_ = 0, M_ = 0;
  int64_t W_ = 0, names_ = L::kNamesMinW;
  bool hasBaseline_ = false;
  int64_t headerLimit_ = 0, cellLimit_ = 0, lastY_ = 0;
  uint32_t firstColumn_ = 0, firstLine_ = 0;
  uint32_t shown_ = 0;                  // columns that start left of the map's width
  int64_t titleRows_ = L::kFirstLine;  // the title rows' height: the first line's y
};

}  // namespace

void drawHeatMap(const HeatMap& map, UXGraphics& g, const chart::ChartBand& band) {
  HeatMapPicture(map, g, band).draw();
}

}  // namespace quorl
