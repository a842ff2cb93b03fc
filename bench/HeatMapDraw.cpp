// Heat-map drawing.
//
// Vertical layout: title at 8, series headers at 32, settings at 48, the
// first line at 66 and one every 26, the separator 4 below the last line,
// the geometric-mean line 8 below it, the legend strip 48 below that and
// the explanation 30 below the strip. The label column is 150 wide and
// column j starts at 150 + j x cellW.
#include "bench/HeatMapDraw.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "bench/BHelp.h"
#include "bench/ChartCanvas.h"
#include "bench/FlatIndex.h"
#include "bench/TextKeys.h"
#include "bench/HeatMap.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/String.h"

namespace quorl {

using chart::ChartCanvas;
using chart::FlatIndex;
using chart::pairKey;

namespace {

constexpr double kLn2 = 0.6931471805599453;
constexpr int64_t kLine = 26;
constexpr int64_t kFirstLine = 66;
constexpr int64_t kLabelColumn = 150;
// The furthest a cell's text can start left of its cell: the longest ratio
// text ("%.0fx slower" of the largest double, 317 bytes at 6 pixels) centred
// on the narrowest cell (96 pixels), rounded up.
constexpr int64_t kMaxOverhang = 1000;

const String* stringAt(const Array& list, uint32_t i) { return dynamic_cast<const String*>(list.get(i).get()); }

Ref<String> textAt(const Array& list, uint32_t i) { return cast<String>(list.get(i)); }

void paintCell(ChartCanvas& canvas, const HeatMap& map, int64_t x, int64_t y, int64_t w, int64_t h, double ratio,
               bool grey, bool framed, const char* text) {
  const uint32_t c = framed ? 50 : 222;
  canvas.fillRect(x + 1, y + 1, w - 2, h - 2, c, c, c + 4);

  const chart::RGB fill = grey ? chart::RGB{238, 238, 240} : chart::RGB::of(map.shade(ratio));
  canvas.fillRect(x + 3, y + 3, w - 6, h - 6, fill.r, fill.g, fill.b);

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
  const int64_t bytes = static_cast<int64_t>(String::_cstringLen(text));
  const uint32_t v = dark ? 255 : (grey ? 130 : 30);
  // Signed division truncating toward zero, as the layout is specified.
  const int64_t tx = x + (w - bytes * 6) / 2;
  canvas.text(text, tx, y + 7, v, v, v, framed ? 12 : 11);
}

}  // namespace

// ---------------------------------------------------------------------------
// The lookup index. Texts compare as BHelp::same does: folded A-Z, up to the
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

  const ChartRow* at(uint32_t k) const { return k == FlatIndex::kNone ? nullptr : rows[k]; }
  static constexpr uint64_t kDenseLimit = 1u << 22;
  bool dense() const { return static_cast<uint64_t>(N) * M <= kDenseLimit; }
  void addFirst(uint32_t i, uint32_t j, uint32_t number) {
    if (dense()) {
      uint32_t& slot = firstDense[static_cast<size_t>(i) * M + j];
      if (slot == FlatIndex::kNone) slot = number;
    } else {
      first.insert(pairKey(i, j), number);
    }
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
        if (row->value > 0 && (!x.fastest[i] || row->value < x.fastest[i]->value)) x.fastest[i] = row;
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

// The rule of HeatMap::ratio, on the indexed rows.
bool HeatMapLookup::ratio(uint32_t i, uint32_t j, double& result, bool& grey) const {
  result = 0.0;
  grey = false;
  const ChartRow* a = cell(i, j);
  const ChartRow* b = baseOf(i, j);
  if (!a || !b || !(a->value > 0) || !(b->value > 0)) return false;
  result = a->value / b->value;
  if (a != b && (a->stddev > 0 || b->stddev > 0))
    grey = std::sqrt(a->stddev * a->stddev + b->stddev * b->stddev) >= std::fabs(a->mean - b->mean);
  return true;
}

// The rule of HeatMap::geomean, on the indexed rows.
bool HeatMapLookup::geomean(uint32_t j, double& mean) const {
  return HeatMap::geomeanOf(map_.benches, [&](uint32_t i, double& r, bool& grey) { return ratio(i, j, r, grey); },
                            mean);
}

// ---------------------------------------------------------------------------
// The picture

void fillHeatMapCell(const HeatMap& map, UXGraphics& g, int32_t x, int32_t y, int32_t w, int32_t h, double ratio,
                     bool grey, bool framed, const char* text) {
  ChartCanvas canvas(g);
  paintCell(canvas, map, x, y, w, h, ratio, grey, framed, text);
}

void drawHeatMap(const HeatMap& map, UXGraphics& g, const chart::ChartBand& band) {
  ChartCanvas canvas(g, band);
  canvas.fillRect(0, 0, map.width, map.height(), 255, 255, 255);

  const uint32_t N = map.benches ? map.benches->count() : 0;
  const uint32_t M = map.colSeries ? map.colSeries->count() : 0;
  if (N == 0 || M == 0) {
    canvas.text("No runs match the filters.", 16, 16, 90, 90, 90, 13);
    return;
  }
  const int64_t W = map.cellW();
  const HeatMapLookup lookup(map);
  const bool hasBaseline = static_cast<bool>(map.baseline);

  // Title.
  Ref<String> title = String::withCString("each run against ");
  if (hasBaseline) {
    title->append(map.baseline);
    title->appendCString(" at the same setting");
  } else {
    title->appendCString("the fastest run of each benchmark");
  }
  canvas.text(title->cString(), 12, 8, 40, 40, 44, 12);

  // What lies right of the band is not drawn: a header starts at its x; a
  // cell's text may start left of its cell, but never by as much as
  // kMaxOverhang, so cells further right are left out altogether. Columns
  // left of the band are skipped by the same measure, lines above and below
  // it by a line.
  const int64_t headerLimit = std::min(band.originX + chart::kMaxCoord, band.right - 1);
  const int64_t cellLimit = std::min(band.originX + chart::kMaxCoord, band.right + kMaxOverhang);
  const int64_t firstColumn = std::clamp<int64_t>((band.left - kMaxOverhang - kLabelColumn) / W, 0, M);
  const int64_t firstLine = std::clamp<int64_t>((band.top - kFirstLine) / kLine - 1, 0, N);
  const int64_t lastY = std::min(band.originY + chart::kMaxCoord, band.bottom + kLine);

  // Column headers, clipped to about 7 pixels a byte.
  const int32_t chars = static_cast<int32_t>(W / 7);
  for (uint32_t j = static_cast<uint32_t>(firstColumn); j < M && band.meetsY(0, 66); ++j) {
    const int64_t x = kLabelColumn + static_cast<int64_t>(j) * W + 4;
    if (x > headerLimit) break;
    if (Ref<String> series = textAt(*map.colSeries, j))
      canvas.text(HeatMap::clip(series, chars)->cString(), x, 32, 24, 24, 28, 12);
    if (Ref<String> setting = textAt(*map.colSetting, j))
      canvas.text(HeatMap::clip(setting, chars + 2)->cString(), x, 48, 110, 110, 118, 10);
  }

  // One line per benchmark. Lines and columns past the 16-bit range lie
  // outside every view, so they are not worked out at all.
  for (uint32_t i = static_cast<uint32_t>(firstLine); i < N; ++i) {
    const int64_t y = kFirstLine + static_cast<int64_t>(i) * kLine;
    if (y > lastY) break;
    if (i % 2 == 1) canvas.fillRect(4, y, 142, kLine, 244, 245, 248);
    if (Ref<String> name = textAt(*map.benches, i))
      canvas.text(HeatMap::clip(name, 20)->cString(), 10, y + 7, 40, 40, 44, 12);
    const ChartRow* fastest = lookup.fastest(i);
    for (uint32_t j = static_cast<uint32_t>(firstColumn); j < M; ++j) {
      const int64_t x = kLabelColumn + static_cast<int64_t>(j) * W;
      if (x > cellLimit) break;
      double ratio = 0.0;
      bool grey = false;
      if (lookup.ratio(i, j, ratio, grey)) {
        const ChartRow* a = lookup.cell(i, j);
        const ChartRow* b = lookup.baseOf(i, j);
        const char* text = a == b ? (hasBaseline ? "baseline" : "fastest") : nullptr;
        paintCell(canvas, map, x, y, W, kLine, ratio, grey, a == fastest, text);
      } else {
        canvas.fillRect(x + 1, y + 1, W - 2, 24, 214, 216, 222);
        canvas.fillRect(x + 2, y + 2, W - 4, 22, 255, 255, 255);
        canvas.text("-", x + W / 2 - 3, y + 7, 170, 170, 176, 11);
      }
    }
  }

  // Separator and the geometric-mean line.
  const int64_t yb = kFirstLine + static_cast<int64_t>(N) * kLine;
  canvas.fillRect(4, yb + 4, kLabelColumn + static_cast<int64_t>(M) * W - 4, 1, 190, 194, 202);
  const int64_t ym = yb + 8;
  if (ym <= lastY && band.meetsY(ym - kLine, ym + kLine)) {
    canvas.text("geometric mean", 10, ym + 2, 40, 40, 44, 12);
    bool outlier = false;
    for (uint32_t i = 0; i < N && !outlier; ++i) outlier = BHelp::isOutlier(stringAt(*map.benches, i));
    if (outlier) canvas.text("without matrix_mul_f32", 10, ym + 15, 120, 120, 128, 9);
    for (uint32_t j = static_cast<uint32_t>(firstColumn); j < M; ++j) {
      const int64_t x = kLabelColumn + static_cast<int64_t>(j) * W;
      if (x > cellLimit) break;
      double mean = 0.0;
      if (lookup.geomean(j, mean)) paintCell(canvas, map, x, ym, W, kLine, mean, false, false, nullptr);
    }
  }

  // Legend: 40 swatches from 1x (or 1/4x with a baseline) to 4x.
  const int64_t yl = ym + 48;
  if (yl > lastY || !band.meetsY(yl - kLine, yl + 2 * kLine)) return;
  for (int k = 0; k < 40; ++k) {
    const double t = k / 39.0;
    const double u = hasBaseline ? 2.0 * t - 1.0 : t;
    const chart::RGB c = chart::RGB::of(map.shade(std::exp(u * 2.0 * kLn2)));
    canvas.fillRect(kLabelColumn + 6 * k, yl, 6, 12, c.r, c.g, c.b);
  }
  if (hasBaseline) {
    canvas.text("4x faster", 92, yl + 1, 90, 90, 96, 10);
    canvas.text("same", 258, yl + 15, 90, 90, 96, 10);
  } else {
    canvas.text("fastest", 104, yl + 1, 90, 90, 96, 10);
    canvas.text("2x slower", 246, yl + 15, 90, 90, 96, 10);
  }
  canvas.text("4x slower", 394, yl + 1, 90, 90, 96, 10);
  canvas.text("green = better, red = worse, grey = within one standard deviation, framed = fastest, - = not measured",
              12, yl + 30, 110, 110, 118, 10);
}

}  // namespace quorl
