// Heat-map drawing.
//
// Vertical layout: title at 8, series headers at 32, settings at 48, the
// first line at 66 and one every 26, the separator 4 below the last line,
// the geometric-mean line 8 below it, the legend strip 48 below that and
// the explanation 30 below the strip. The label column is 150 wide and
// column j starts at 150 + j x cellW.
#include "bench/HeatMapDraw.h"

#include <cmath>
#include <unordered_map>
#include <vector>

#include "bench/BHelp.h"
#include "bench/ChartCanvas.h"
#include "bench/TextKeys.h"
#include "bench/HeatMap.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/String.h"

namespace quorl {

using chart::ChartCanvas;

namespace {

constexpr double kLn2 = 0.6931471805599453;
constexpr int64_t kLine = 26;
constexpr int64_t kFirstLine = 66;
constexpr int64_t kLabelColumn = 150;

const String* stringAt(const Array& list, uint32_t i) { return dynamic_cast<const String*>(list.get(i).get()); }

Ref<String> textAt(const Array& list, uint32_t i) { return std::dynamic_pointer_cast<String>(list.get(i)); }

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

struct CellKey {
  Text bench, series, setting;
};

struct CellHash {
  size_t operator()(const CellKey& k) const {
    uint32_t h = textkeys::kHashSeed;
    for (const Text* t : {&k.bench, &k.series, &k.setting}) h = (textkeys::hashFolded(h, t->p, t->n) ^ t->n) * 16777619u;
    return h;
  }
};

bool sameText(const Text& a, const Text& b) { return textkeys::equalFolded(a.p, a.n, b.p, b.n); }

struct CellEqual {
  bool operator()(const CellKey& a, const CellKey& b) const {
    return sameText(a.bench, b.bench) && sameText(a.series, b.series) && sameText(a.setting, b.setting);
  }
};

struct TextHash {
  size_t operator()(const Text& t) const { return textkeys::hashFolded(textkeys::kHashSeed, t.p, t.n); }
};
struct TextEqual {
  bool operator()(const Text& a, const Text& b) const { return sameText(a, b); }
};

}  // namespace

struct HeatMapLookup::Index {
  std::unordered_map<CellKey, const ChartRow*, CellHash, CellEqual> first;   // find()
  std::unordered_map<Text, const ChartRow*, TextHash, TextEqual> fastest;    // per benchmark
  std::vector<Text> benches, series, settings;
  Text baseline;

  const ChartRow* find(const Text& b, const Text& s, const Text& t) const {
    if (!b.ok() || !s.ok() || !t.ok()) return nullptr;
    auto it = first.find({b, s, t});
    return it == first.end() ? nullptr : it->second;
  }
};

HeatMapLookup::HeatMapLookup(const HeatMap& map) : map_(map), index_(std::make_unique<Index>()) {
  Index& x = *index_;
  if (map.rows) {
    const Array& rows = *map.rows;
    x.first.reserve(rows.count());
    for (uint32_t k = 0; k < rows.count(); ++k) {
      const ChartRow* row = chart::rowAt(rows, k);
      if (!row) continue;
      const Text bench = textOf(row->bench.get());
      if (!bench.ok()) continue;
      if (row->series && row->setting) x.first.try_emplace({bench, textOf(row->series.get()), textOf(row->setting.get())}, row);
      if (row->value > 0) {
        auto [it, added] = x.fastest.try_emplace(bench, row);
        if (!added && row->value < it->second->value) it->second = row;
      }
    }
  }
  const auto texts = [](const Ref<Array>& list, std::vector<Text>& out) {
    if (!list) return;
    for (uint32_t i = 0; i < list->count(); ++i) out.push_back(textOf(dynamic_cast<const String*>(list->get(i).get())));
  };
  texts(map.benches, x.benches);
  texts(map.colSeries, x.series);
  texts(map.colSetting, x.settings);
  x.baseline = textOf(map.baseline.get());
}

HeatMapLookup::~HeatMapLookup() = default;

const ChartRow* HeatMapLookup::cell(uint32_t i, uint32_t j) const {
  const Index& x = *index_;
  if (i >= x.benches.size() || j >= x.series.size() || j >= x.settings.size()) return nullptr;
  return x.find(x.benches[i], x.series[j], x.settings[j]);
}

const ChartRow* HeatMapLookup::fastest(uint32_t i) const {
  const Index& x = *index_;
  if (i >= x.benches.size() || !x.benches[i].ok()) return nullptr;
  auto it = x.fastest.find(x.benches[i]);
  return it == x.fastest.end() ? nullptr : it->second;
}

const ChartRow* HeatMapLookup::baseOf(uint32_t i, uint32_t j) const {
  const Index& x = *index_;
  if (!map_.baseline) return fastest(i);
  if (i >= x.benches.size() || j >= x.settings.size()) return nullptr;
  return x.find(x.benches[i], x.baseline, x.settings[j]);
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
  double sum = 0.0;
  uint32_t n = 0;
  for (uint32_t i = 0; i < index_->benches.size(); ++i) {
    if (BHelp::isOutlier(dynamic_cast<const String*>(map_.benches->get(i).get()))) continue;
    double r;
    bool grey;
    if (ratio(i, j, r, grey)) {
      sum += std::log(r);
      ++n;
    }
  }
  if (n == 0) {
    mean = 0.0;
    return false;
  }
  mean = std::exp(sum / n);
  return true;
}

// ---------------------------------------------------------------------------
// The picture

void fillHeatMapCell(const HeatMap& map, UXGraphics& g, int32_t x, int32_t y, int32_t w, int32_t h, double ratio,
                     bool grey, bool framed, const char* text) {
  ChartCanvas canvas(g);
  paintCell(canvas, map, x, y, w, h, ratio, grey, framed, text);
}

void drawHeatMap(const HeatMap& map, UXGraphics& g) {
  ChartCanvas canvas(g);
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

  // Column headers, clipped to about 7 pixels a byte.
  const int32_t chars = static_cast<int32_t>(W / 7);
  for (uint32_t j = 0; j < M; ++j) {
    const int64_t x = kLabelColumn + static_cast<int64_t>(j) * W + 4;
    if (x > chart::kMaxCoord) break;
    if (Ref<String> series = textAt(*map.colSeries, j))
      canvas.text(HeatMap::clip(series, chars)->cString(), x, 32, 24, 24, 28, 12);
    if (Ref<String> setting = textAt(*map.colSetting, j))
      canvas.text(HeatMap::clip(setting, chars + 2)->cString(), x, 48, 110, 110, 118, 10);
  }

  // One line per benchmark. Lines and columns past the 16-bit range lie
  // outside every view, so they are not worked out at all.
  for (uint32_t i = 0; i < N; ++i) {
    const int64_t y = kFirstLine + static_cast<int64_t>(i) * kLine;
    if (y > chart::kMaxCoord) break;
    if (i % 2 == 1) canvas.fillRect(4, y, 142, kLine, 244, 245, 248);
    if (Ref<String> name = textAt(*map.benches, i))
      canvas.text(HeatMap::clip(name, 20)->cString(), 10, y + 7, 40, 40, 44, 12);
    const ChartRow* fastest = lookup.fastest(i);
    for (uint32_t j = 0; j < M; ++j) {
      const int64_t x = kLabelColumn + static_cast<int64_t>(j) * W;
      if (x > chart::kMaxCoord) break;
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
  if (ym <= chart::kMaxCoord) {
    canvas.text("geometric mean", 10, ym + 2, 40, 40, 44, 12);
    bool outlier = false;
    for (uint32_t i = 0; i < N && !outlier; ++i) outlier = BHelp::isOutlier(stringAt(*map.benches, i));
    if (outlier) canvas.text("without matrix_mul_f32", 10, ym + 15, 120, 120, 128, 9);
    for (uint32_t j = 0; j < M; ++j) {
      const int64_t x = kLabelColumn + static_cast<int64_t>(j) * W;
      if (x > chart::kMaxCoord) break;
      double mean = 0.0;
      if (lookup.geomean(j, mean)) paintCell(canvas, map, x, ym, W, kLine, mean, false, false, nullptr);
    }
  }

  // Legend: 40 swatches from 1x (or 1/4x with a baseline) to 4x.
  const int64_t yl = ym + 48;
  if (yl > chart::kMaxCoord) return;
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
