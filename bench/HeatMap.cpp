// The heat-map model: chart rows arranged into a benchmark-by-series grid of
// run-time ratios.
//
// Sections:
//   0. Text keys and hashing of the build's tables (unnamed namespace)
//   1. Build: lines, columns, settings, rows
//   2. Lookups: cells, fastest, baseline, ratios, geometric means
//   3. Sizes, colours, texts
#include "bench/HeatMap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bench/BHelp.h"
#include "bench/ResultModel.h"
#include "bench/TextKeys.h"
#include "foundation/Array.h"
#include "foundation/String.h"

namespace quorl {

namespace {

constexpr double kLn2 = 0.6931471805599453;

struct Text {
  const uint8_t* p = nullptr;
  uint32_t n = 0;
};

// All the bytes, as String::compare reads them.
Text bytesOf(Ptr<const String> s) {
  if (!s) return {};
  return {reinterpret_cast<const uint8_t*>(s->cString()), s->byteLength()};
}

// The bytes up to the first NUL, as lowercased copies and "%s" read them.
Text visibleOf(Ptr<const String> s) {
  Text t = bytesOf(s);
  t.n = textkeys::visibleLength(t.p, t.n);
  return t;
}

// "%s" prints a missing text as "(null)"; the column keys follow suit.
Text keyBytesOf(Ptr<const String> s) {
  static const char kNull[] = "(null)";
  if (!s) return {reinterpret_cast<const uint8_t*>(kNull), 6};
  return visibleOf(s);
}

// Byte order of String::compare; a missing text orders as the empty one.
int compareBytes(Text a, Text b, bool folded) {
  const uint32_t n = a.n < b.n ? a.n : b.n;
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t x = folded ? textkeys::fold(a.p[i]) : a.p[i];
    uint8_t y = folded ? textkeys::fold(b.p[i]) : b.p[i];
    if (x != y) return x < y ? -1 : 1;
  }
  return a.n < b.n ? -1 : (a.n > b.n ? 1 : 0);
}

// A column's key is the text "series|setting"; two keys are compared as
// whole texts ignoring case, so the split point plays no part.
struct ColumnKey {
  Text part[3];
  static ColumnKey of(Ptr<const String> series, Ptr<const String> setting) {
    static const uint8_t kBar = '|';
    return {{keyBytesOf(series), {&kBar, 1}, keyBytesOf(setting)}};
  }
  uint32_t length() const { return part[0].n + part[1].n + part[2].n; }
  uint8_t at(uint32_t k) const {
    if (k < part[0].n) return part[0].p[k];
    k -= part[0].n;
    if (k < part[1].n) return part[1].p[k];
    return part[2].p[k - part[1].n];
  }
  // Every byte counts: keys that carry a machine name differ only in its
  // middle ("O2 Machine 12 CPU + <same GPU>"), so a hash of the ends alone
  // put all machines of a configuration on one chain.
  uint32_t hash() const {
    uint32_t h = textkeys::kHashSeed;
    for (const Text& t : part) h = textkeys::hashFolded(h, t.p, t.n);
    return (h ^ length()) * 16777619u;
  }
  bool equalsFolded(const ColumnKey& o) const {
    if (part[0].n == o.part[0].n && part[2].n == o.part[2].n) {
      for (int i = 0; i < 3; i += 2) {
        if (std::memcmp(part[i].p, o.part[i].p, part[i].n) != 0 &&
            !textkeys::equalFolded(part[i].p, part[i].n, o.part[i].p, o.part[i].n)) {
          return false;
        }
      }
      return true;
    }
    const uint32_t n = length();
    if (n != o.length()) return false;
    for (uint32_t k = 0; k < n; ++k) {
      if (textkeys::fold(at(k)) != textkeys::fold(o.at(k))) return false;
    }
    return true;
  }
};

// Open-addressed set of indices, for the build's "already there?" tests,
// which the row count makes too many for linear scans.
class IndexSet {
 public:
  explicit IndexSet(uint32_t expected) {
    uint32_t capacity = 64;
    while (capacity < expected * 2) capacity *= 2;
    slots_.assign(capacity, kEmpty);
  }
  // Finds the index whose key equals, or inserts `index` when none does.
  template <class Equal> uint32_t findOrInsert(uint32_t hash, uint32_t index, Equal&& equal) {
    if ((count_ + 1) * 2 > slots_.size()) grow();
    const uint32_t mask = static_cast<uint32_t>(slots_.size()) - 1;
    for (uint32_t s = hash & mask;; s = (s + 1) & mask) {
      if (slots_[s].index == kNone) {
        slots_[s] = {hash, index};
        ++count_;
        return index;
      }
      if (slots_[s].hash == hash && equal(slots_[s].index)) return slots_[s].index;
    }
  }

 private:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  struct Slot {
    uint32_t hash, index;
  };
  static constexpr Slot kEmpty = {0, kNone};
  void grow() {
    std::vector<Slot> old(slots_.size() * 2, kEmpty);
    old.swap(slots_);
    const uint32_t mask = static_cast<uint32_t>(slots_.size()) - 1;
    for (const Slot& slot : old) {
      if (slot.index == kNone) continue;
      uint32_t s = slot.hash & mask;
      while (slots_[s].index != kNone) s = (s + 1) & mask;
      slots_[s] = slot;
    }
  }
  std::vector<Slot> slots_;
  uint32_t count_ = 0;
};

uint32_t hashField(uint32_t h, Ptr<const String> s) {
  Text t = visibleOf(s);
  h = textkeys::hashFolded(h, t.p, t.n);
  return (h ^ t.n) * 16777619u;  // keeps ("ab", "c") apart from ("a", "bc")
}

struct PairHash {
  size_t operator()(const std::pair<const void*, const void*>& k) const {
    const auto a = reinterpret_cast<uintptr_t>(k.first), b = reinterpret_cast<uintptr_t>(k.second);
    return static_cast<size_t>((a * 0x9E3779B97F4A7C15ull) ^ (b + (b >> 17)));
  }
};

// Pairs of objects already seen, in one flat table: asked once or twice per
// row, where a node-based map would cost a cache miss per question.
class SeenPairs {
 public:
  // True when (a, b) was not seen before (and is now).
  bool add(const void* a, const void* b) {
    if ((count_ + 1) * 2 > slots_.size()) grow();
    const size_t mask = slots_.size() - 1;
    for (size_t s = PairHash()({a, b}) & mask;; s = (s + 1) & mask) {
      Slot& slot = slots_[s];
      if (!slot.used) {
        slot = {a, b, true};
        ++count_;
        return true;
      }
      if (slot.a == a && slot.b == b) return false;
    }
  }

 private:
  struct Slot {
    const void* a = nullptr;
    const void* b = nullptr;
    bool used = false;
  };
  void grow() {
    std::vector<Slot> old(slots_.empty() ? 64 : slots_.size() * 2);
    old.swap(slots_);
    count_ = 0;
    for (const Slot& slot : old)
      if (slot.used) add(slot.a, slot.b);
  }
  std::vector<Slot> slots_;
  size_t count_ = 0;
};

// The settings with their machine, "%s %s" of (setting, machine). Rows of a
// large data set share a few settings and one machine text per
// contribution, so each distinct text is made once and shared by its rows,
// found by the setting's bytes and the machine's String object. The first
// setting of each key is held, as the key reads its bytes.
class MachineSettings {
 public:
  const Ref<String>& of(const Ref<String>& setting, const Ref<String>& machine) {
    // "%s" of each: the bytes up to the first NUL, a missing setting as "(null)".
    const char* s = setting ? setting->cString() : "(null)";
    const uint32_t sn = setting ? textkeys::visibleLength(s, setting->byteLength()) : 6;
    auto [it, added] = texts_.try_emplace({std::string_view(s, sn), machine.get()});
    if (added) {
      it->second.setting = setting;
      it->second.machine = machine;
      const char* m = machine->cString();
      const uint32_t mn = textkeys::visibleLength(m, machine->byteLength());
      auto text = make<String>();
      text->reserve(sn + mn + 1);
      text->appendBytes(s, sn);
      text->appendByte(' ');
      text->appendBytes(m, mn);
      it->second.text = std::move(text);
    }
    return it->second.text;
  }

 private:
  struct Key {
    std::string_view setting;
    const String* machine;
    bool operator==(const Key& o) const { return machine == o.machine && setting == o.setting; }
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      const auto n = static_cast<uint32_t>(k.setting.size());
      const uint32_t h = textkeys::hashFolded(textkeys::kHashSeed, k.setting.data(), n);
      return PairHash()({k.machine, reinterpret_cast<const void*>(static_cast<uintptr_t>(h))});
    }
  };
  struct Entry {
    Ref<String> setting, machine, text;
  };
  std::unordered_map<Key, Entry, KeyHash> texts_;
};

uint8_t channel(double v) {
  // Every clamped scale value lands in 0..255; anything else (a NaN from a
  // ratio of 0 or below) reads as 0 instead of an undefined conversion.
  if (!(v >= 0.0 && v < 256.0)) return 0;
  return static_cast<uint8_t>(v);
}

uint32_t rgb(uint8_t r, uint8_t g, uint8_t b) {
  return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | b;
}

// ChartRow is final: the exact type is the whole test, and much cheaper
// than a dynamic_cast once per row.
ChartRow* rowAt(const Array& rows, uint32_t i) {
  Object* o = rows.get(i).get();
  return o && typeid(*o) == typeid(ChartRow) ? static_cast<ChartRow*>(o) : nullptr;
}

constexpr uint32_t kAhead = 16;

// The lines of a row object that the build reads, without reading it.
void prefetchRow(const ChartRow* row) {
  if (!row) return;
  const char* p = reinterpret_cast<const char*>(row);
  for (size_t at = 0; at < sizeof(ChartRow); at += 64) __builtin_prefetch(p + at);
}

// First the text objects of a row, then (once those have arrived) their bytes.
void prefetchTexts(const ChartRow& row, bool bytes) {
  for (const Ref<String>* text : {&row.bench, &row.series, &row.setting, &row.machineText}) {
    if (!*text) continue;
    if (bytes) {
      __builtin_prefetch((*text)->cString());
    } else {
      __builtin_prefetch(text->get());
    }
  }
}

}  // namespace

HeatMap::HeatMap() : rows(make<Array>()), benches(make<Array>()), colSeries(make<Array>()), colSetting(make<Array>()) {}

Ref<String> HeatMap::description() const {
  const uint16_t values[1] = {static_cast<uint16_t>(width)};
  return String::_classDescribe("HeatMap", values, 1, 1);
}

// ---------------------------------------------------------------------------
// 1. Build

void HeatMap::build(const Ref<Array>& newRows, const Ref<String>& newBaseline, uint32_t newWidth) {
  rows = newRows ? newRows : make<Array>();
  baseline = newBaseline;
  width = newWidth;
  benches = make<Array>();
  colSeries = make<Array>();
  colSetting = make<Array>();

  // The rows and their texts lie scattered in memory, and a build of a
  // large data set waits on memory more than it computes: each pass fetches
  // what the following rows will need some rows ahead.
  const uint32_t count = rows->count();
  std::vector<ChartRow*> list(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (i + kAhead < count) __builtin_prefetch(rows->get(i + kAhead).get());
    list[i] = rowAt(*rows, i);
  }

  // Machine disambiguation: is there a pair of rows from two contributions
  // with the same benchmark, series and setting? Each key remembers its
  // first row; any later row of the key from another contribution answers.
  bool duplicate = false;
  {
    IndexSet seen(64);
    for (uint32_t i = 0; i < count && !duplicate; ++i) {
      ChartRow* row = list[i];
      if (!row || !row->bench || !row->series || !row->setting) continue;
      uint32_t h = hashField(hashField(hashField(textkeys::kHashSeed, row->bench), row->series), row->setting);
      uint32_t first = seen.findOrInsert(h, i, [&](uint32_t j) {
        ChartRow* other = list[j];
        return BHelp::same(row->bench, other->bench) && BHelp::same(row->series, other->series) &&
               BHelp::same(row->setting, other->setting);
      });
      if (first != i && list[first]->contribution != row->contribution) duplicate = true;
    }
  }

  // Lines and columns in order of first appearance, found through hashed
  // indices; the columns are then ordered by `before`. Inserting each new
  // column before the first one it precedes is an insertion sort, so a
  // stable sort of the first appearances gives the very same order.
  struct Column {
    ChartRow* row;
    ColumnKey key;
  };
  std::vector<const String*> benchNames;
  std::vector<Column> columns;
  IndexSet benchIndex(64);
  IndexSet columnIndex(64);
  MachineSettings machineSettings;
  // Rows share their bench, series and setting Strings: the same objects
  // are the same texts, so each pair of objects is looked up by text once.
  // The rows hold every String keyed here for the whole build.
  SeenPairs benchObjects, columnObjects;
  for (uint32_t i = 0; i < count; ++i) {
    if (i + 2 * kAhead < count) prefetchRow(list[i + 2 * kAhead]);
    if (i + kAhead < count && list[i + kAhead]) prefetchTexts(*list[i + kAhead], false);
    if (i + kAhead / 2 < count && list[i + kAhead / 2]) prefetchTexts(*list[i + kAhead / 2], true);
    ChartRow* row = list[i];
    if (!row) continue;

    if (duplicate && row->machineText) row->setting = machineSettings.of(row->setting, row->machineText);

    // A missing name never equals another, so it always makes a line.
    if (!row->bench) {
      benches->add(row->bench);
    } else if (benchObjects.add(row->bench.get(), nullptr)) {
      Text t = visibleOf(row->bench);
      const uint32_t n = static_cast<uint32_t>(benchNames.size());
      const uint32_t found = benchIndex.findOrInsert(textkeys::hashFolded(textkeys::kHashSeed, t.p, t.n), n,
                                                     [&](uint32_t j) { return BHelp::same(row->bench, benchNames[j]); });
      if (found == n) {
        benchNames.push_back(row->bench.get());
        benches->add(row->bench);
      }
    }

    if (!columnObjects.add(row->series.get(), row->setting.get())) continue;
    ColumnKey key = ColumnKey::of(row->series, row->setting);
    const uint32_t n = static_cast<uint32_t>(columns.size());
    if (columnIndex.findOrInsert(key.hash(), n, [&](uint32_t j) { return columns[j].key.equalsFolded(key); }) == n) {
      columns.push_back({row, key});
    }
  }
  std::stable_sort(columns.begin(), columns.end(), [](const Column& a, const Column& b) {
    return before(a.row->series, a.row->setting, b.row->series, b.row->setting);
  });
  for (const Column& column : columns) {
    colSeries->add(column.row->series);
    colSetting->add(column.row->setting);
  }
}

bool HeatMap::addOnce(Ptr<Array> list, const Ref<String>& name) {
  if (!list) return false;
  const uint32_t count = list->count();
  for (uint32_t i = 0; i < count; ++i) {
    if (BHelp::same(cast<String>(list->get(i)), name)) return false;
  }
  list->add(name);
  return true;
}

bool HeatMap::before(Ptr<const String> series, Ptr<const String> setting, Ptr<const String> otherSeries,
                     Ptr<const String> otherSetting) {
  int c = compareBytes(bytesOf(setting), bytesOf(otherSetting), false);
  if (c != 0) return c < 0;
  if (BHelp::same(otherSeries, "quorl")) return false;
  if (BHelp::same(series, "quorl")) return true;
  return compareBytes(visibleOf(series), visibleOf(otherSeries), true) < 0;
}

// ---------------------------------------------------------------------------
// 2. Lookups

Ref<ChartRow> HeatMap::find(Ptr<const String> bench, Ptr<const String> series, Ptr<const String> setting) const {
  const uint32_t count = rows->count();
  for (uint32_t i = 0; i < count; ++i) {
    auto row = cast<ChartRow>(rows->get(i));
    if (row && BHelp::same(row->bench, bench) && BHelp::same(row->series, series) &&
        BHelp::same(row->setting, setting)) {
      return row;
    }
  }
  return nullptr;
}

// Indices past the grid read as missing cells: the arrays themselves do not
// check them, and a caller's slip should draw "not measured", not crash.
Ref<ChartRow> HeatMap::cell(uint32_t i, uint32_t j) const {
  if (i >= benches->count() || j >= colSeries->count() || j >= colSetting->count()) return nullptr;
  return find(cast<String>(benches->get(i)), cast<String>(colSeries->get(j)), cast<String>(colSetting->get(j)));
}

Ref<ChartRow> HeatMap::fastest(uint32_t i) const {
  if (i >= benches->count()) return nullptr;
  auto bench = cast<String>(benches->get(i));
  Ref<ChartRow> best;
  const uint32_t count = rows->count();
  for (uint32_t k = 0; k < count; ++k) {
    auto row = cast<ChartRow>(rows->get(k));
    if (!row || !BHelp::same(row->bench, bench) || !(row->value > 0)) continue;
    if (!best || row->value < best->value) best = row;
  }
  return best;
}

Ref<ChartRow> HeatMap::baseOf(uint32_t i, uint32_t j) const {
  if (!baseline) return fastest(i);
  if (i >= benches->count() || j >= colSetting->count()) return nullptr;
  return find(cast<String>(benches->get(i)), baseline, cast<String>(colSetting->get(j)));
}

bool HeatMap::ratio(uint32_t i, uint32_t j, double& result, bool& grey) const {
  result = 0.0;
  grey = false;
  auto a = cell(i, j);
  auto b = baseOf(i, j);
  if (!a || !b || !(a->value > 0) || !(b->value > 0)) return false;
  result = a->value / b->value;
  if (a != b && (a->stddev > 0 || b->stddev > 0)) {
    grey = std::sqrt(a->stddev * a->stddev + b->stddev * b->stddev) >= std::fabs(a->mean - b->mean);
  }
  return true;
}

bool HeatMap::geomean(uint32_t j, double& mean) const {
  return geomeanOf(benches, [&](uint32_t i, double& r, bool& grey) { return ratio(i, j, r, grey); }, mean);
}

bool HeatMap::geomeanOf(Ptr<const Array> benches, const std::function<bool(uint32_t, double&, bool&)>& ratioOf,
                        double& mean) {
  double sum = 0.0;
  uint32_t n = 0;
  const uint32_t count = benches ? benches->count() : 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (BHelp::isOutlier(cast<String>(benches->get(i)))) continue;
    double r;
    bool grey;
    if (ratioOf(i, r, grey)) {
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
// 3. Sizes, colours, texts

uint32_t HeatMap::height() const {
  if (benches->count() == 0) return 220;
  return (benches->count() + 1) * 26 + 144;
}

int32_t HeatMap::cellW() const {
  const uint32_t columns = colSeries->count();
  if (columns == 0) return 100;
  int64_t w = (static_cast<int64_t>(static_cast<int32_t>(width - 166u))) / static_cast<int64_t>(columns);
  if (w < 96) w = 96;
  if (w > 130) w = 130;
  return static_cast<int32_t>(w);
}

uint32_t HeatMap::colorFor(double r) {
  double t = std::log(r) / (2.0 * kLn2);
  if (t > 1) t = 1;
  if (t < -1) t = -1;
  const double target[3] = {t > 0 ? 200.0 : 26.0, t > 0 ? 40.0 : 140.0, t > 0 ? 40.0 : 70.0};
  const double a = std::fabs(t);
  uint8_t c[3];
  for (int k = 0; k < 3; ++k) c[k] = channel(255.0 + (target[k] - 255.0) * a);
  return rgb(c[0], c[1], c[2]);
}

uint32_t HeatMap::colorBehind(double r) {
  static const double green[3] = {99, 190, 123}, yellow[3] = {250, 225, 120}, red[3] = {214, 64, 52};
  double t = std::log(r) / (2.0 * kLn2);
  if (t > 1) t = 1;
  if (t < 0) t = 0;
  const double* from = t < 0.5 ? green : yellow;
  const double* to = t < 0.5 ? yellow : red;
  const double f = t < 0.5 ? 2 * t : 2 * (t - 0.5);
  uint8_t c[3];
  for (int k = 0; k < 3; ++k) c[k] = channel(from[k] + (to[k] - from[k]) * f);
  return rgb(c[0], c[1], c[2]);
}

uint32_t HeatMap::shade(double r) const { return baseline ? colorFor(r) : colorBehind(r); }

Ref<String> HeatMap::ratioText(double r) {
  const bool slower = r >= 1.0;
  const double f = slower ? r : 1 / r;
  auto out = make<String>();
  if (f < 1.0049999952316284) {
    out->appendCString("same");
    return out;
  }
  const char* word = slower ? "slower" : "faster";
  out->appendFormat(f >= 10.0 ? "%.0fx %s" : "%.2fx %s", f, word);
  return out;
}

Ref<String> HeatMap::clip(const Ref<String>& text, int32_t n) {
  if (!text) return text;
  if (static_cast<int64_t>(text->byteLength()) <= n) return text;
  // The drawing cuts into a 64-byte buffer; a negative length is an empty cut.
  int32_t keep = n < 0 ? 0 : (n > 63 ? 63 : n);
  return text->substringToByte(static_cast<uint32_t>(keep));
}

}  // namespace quorl
