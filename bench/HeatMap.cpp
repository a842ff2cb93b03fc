// The heat-map model: chart rows arranged into a benchmark-by-series grid of
// run-time ratios.
//
// Sections:
//   0. Text numbers of a build, and the machine settings kept between builds
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
#include "bench/ChartMetrics.h"
#include "bench/ChartNames.h"
#include "bench/FlatIndex.h"
#include "bench/HeatMapDraw.h"
#include "bench/HeatMapHeadings.h"
#include "bench/ResultModel.h"
#include "bench/TextKeys.h"
#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"

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

// The "%s" texts of a build (the bytes up to the first NUL; "(null)" for a
// missing String), each distinct one numbered once, with the number of its
// folded form (A-Z folded, as BHelp::same compares) and whether it holds the
// column key's separator. The first String of each text is held, as the
// table reads its bytes in place. Rows share their Strings, so a small
// direct-mapped memo answers most objects without reading their bytes; it
// is asked only while every row still holds its texts.
class TextIds {
 public:
  TextIds() {
    static const char kNull[] = "(null)";
    add({reinterpret_cast<const uint8_t*>(kNull), 6}, nullptr);
    memo_.assign(kMemo, Memo{});
  }
  // The number of a String's text (0 for none).
  uint32_t of(const Ref<String>& s) {
    if (!s) return 0;
    Memo& slot = memo_[chart::mix(reinterpret_cast<uintptr_t>(s.get())) & (kMemo - 1)];
    if (slot.string != s.get()) slot = {s.get(), add(visibleOf(s), s)};
    return slot.id;
  }
  // The number of a text; `holder` (may be null for static text) holds it.
  uint32_t add(Text t, const Ref<String>& holder) {
    uint32_t h = 0x9747b28cu;
    for (uint32_t k = 0; k < t.n; ++k) h = (h ^ t.p[k]) * 16777619u;
    const auto n = static_cast<uint32_t>(texts_.size());
    const uint32_t found = exact_.findOrInsert(h, n, [&](uint32_t j) {
      return texts_[j].n == t.n && (t.n == 0 || std::memcmp(texts_[j].p, t.p, t.n) == 0);
    });
    if (found == n) {
      const auto f = static_cast<uint32_t>(foldedTexts_.size());
      const uint32_t folded =
          folded_.findOrInsert(textkeys::hashFolded(textkeys::kHashSeed, t.p, t.n), f, [&](uint32_t j) {
            return textkeys::equalFolded(foldedTexts_[j].p, foldedTexts_[j].n, t.p, t.n);
          });
      if (folded == f) foldedTexts_.push_back(t);
      texts_.push_back(t);
      info_.push_back({folded, t.n && std::memchr(t.p, '|', t.n) != nullptr});
      holders_.push_back(holder);
    }
    return found;
  }
  uint32_t folded(uint32_t id) const { return info_[id].folded; }
  bool pipe(uint32_t id) const { return info_[id].pipe; }
  Text text(uint32_t id) const { return texts_[id]; }

 private:
  static constexpr size_t kMemo = 4096;
  struct Memo {
    const String* string = nullptr;
    uint32_t id = 0;
  };
  struct Info {
    uint32_t folded;
    bool pipe;
  };
  std::vector<Memo> memo_;
  IndexSet exact_{64}, folded_{64};
  std::vector<Text> texts_, foldedTexts_;
  std::vector<Info> info_;
  std::vector<Ref<String>> holders_;
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

constexpr uint32_t kAhead = 8;
constexpr uint32_t kNone = 0xFFFFFFFFu;

// A row's texts as numbers.
struct RowIds {
  uint32_t bench = kNone, series = 0, setting = 0, machine = kNone;  // kNone: missing
  const Object* contribution = nullptr;
  bool complete = false;  // bench, series and setting all there
};

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

// The settings with their machine, "%s %s" of (setting, machine), kept from
// build to build: a rebuild of the same data asks for the same few thousand
// texts again, and makes none of them anew. Keyed by the two texts, so what
// any build gets is exactly the text it asks for. Texts no build has asked
// for lately are let go.
struct HeatMap::MachineSettings {
  struct Entry {
    Ref<String> text;
    uint64_t build = 0;
  };
  std::unordered_map<std::string, Entry> texts;
  // The two texts each text was made of, for headings that draw the
  // machine on a line of its own.
  struct Parts {
    Ref<String> setting, machine;
  };
  std::unordered_map<const String*, Parts> partsOf;
  uint64_t build = 0;
  size_t used = 0;
  // Room a build reuses from the last one.
  std::vector<ChartRow*> list;
  std::vector<RowIds> ids;
  chart::FlatIndex columnOf{256};
  // The last build's columns: their objects in order of appearance, and in
  // column order.
  std::vector<const String*> firstSeries, firstSetting;
  std::vector<Ref<String>> orderedSeries, orderedSetting;
  // The texts and ids of the rows the chart view is about to make, from
  // `settle` to the build that follows it.
  std::unique_ptr<TextIds> settled;

  // The setting with the machine, per build, by the two texts' numbers.
  struct Split {
    const Ref<String>* text;
    uint32_t id;
  };
  chart::FlatIndex splitOf{1024};
  std::vector<Split> splits;
  const Split& split(TextIds& ids, uint32_t setting, uint32_t machine) {
    const auto n = static_cast<uint32_t>(splits.size());
    const uint32_t k = splitOf.insert(chart::pairKey(setting, machine), n);
    if (k == n) {
      const Ref<String>& text = of(ids.text(setting), ids.text(machine));
      splits.push_back({&text, ids.add(visibleOf(text), text)});
    }
    return splits[k];
  }

  const Ref<String>& of(Text setting, Text machine) {
    std::string key;
    key.reserve(setting.n + machine.n + 1);
    key.append(reinterpret_cast<const char*>(setting.p), setting.n);
    key.push_back('\0');  // neither "%s" text holds a NUL
    key.append(reinterpret_cast<const char*>(machine.p), machine.n);
    Entry& entry = texts[key];
    if (!entry.text) {
      auto text = make<String>();
      text->reserve(setting.n + machine.n + 1);
      text->appendBytes(reinterpret_cast<const char*>(setting.p), setting.n);
      text->appendByte(' ');
      text->appendBytes(reinterpret_cast<const char*>(machine.p), machine.n);
      partsOf[text.get()] = {String::withBytes(reinterpret_cast<const char*>(setting.p), setting.n),
                             String::withBytes(reinterpret_cast<const char*>(machine.p), machine.n)};
      entry.text = std::move(text);
    }
    if (entry.build != build) {
      entry.build = build;
      ++used;
    }
    return entry.text;
  }

  void startBuild() {
    ++build;
    used = 0;
    splitOf.reset();
    splits.clear();
  }
  // After a build: forget the texts it did not ask for once they outnumber
  // the ones it did.
  void endBuild() {
    settled.reset();
    if (texts.size() <= 2 * used + 256) return;
    for (auto it = texts.begin(); it != texts.end();) {
      if (it->second.build == build) {
        ++it;
        continue;
      }
      partsOf.erase(it->second.text.get());
      it = texts.erase(it);
    }
  }
};

HeatMap::HeatMap()
    : rows(make<Array>()),
      benches(make<Array>()),
      colSeries(make<Array>()),
      colSetting(make<Array>()),
      machineSettings_(std::make_unique<MachineSettings>()),
      shown_(std::make_unique<Shown>()),
      whole_(std::make_unique<Whole>()) {}

HeatMap::~HeatMap() = default;

Ref<String> HeatMap::description() const {
  const uint16_t values[1] = {static_cast<uint16_t>(width)};
  return String::_classDescribe("HeatMap", values, 1, 1);
}

// ---------------------------------------------------------------------------
// 1. Build

void HeatMap::build(const Ref<Array>& newRows, const Ref<String>& newBaseline, uint32_t newWidth) {
  build(newRows, newBaseline, newWidth, nullptr);
}

namespace {

// Machine disambiguation: is there a pair of rows from two contributions
// with the same benchmark, series and setting? Each key remembers its first
// row; any later row of the key from another contribution answers. A
// missing text matches nothing.
bool hasDuplicate(const std::vector<RowIds>& ids, const TextIds& texts) {
  chart::FlatIndex pairs(64), firstRow(64);
  for (uint32_t i = 0; i < ids.size(); ++i) {
    if (!ids[i].complete) continue;
    const uint32_t b = texts.folded(ids[i].bench), s = texts.folded(ids[i].series), t = texts.folded(ids[i].setting);
    const uint32_t pair = pairs.insert(chart::pairKey(b, s), static_cast<uint32_t>(pairs.count()));
    const uint32_t first = firstRow.insert(chart::pairKey(pair, t), i);
    if (first != i && ids[first].contribution != ids[i].contribution) return true;
  }
  return false;
}

}  // namespace

void HeatMap::settle(Made& made) {
  MachineSettings& cache = *machineSettings_;
  cache.startBuild();
  cache.settled = std::make_unique<TextIds>();
  TextIds& texts = *cache.settled;
  const auto count = static_cast<uint32_t>(made.group.size());
  std::vector<RowIds>& ids = cache.ids;
  ids.assign(count, RowIds{});
  const auto idsOf = [&](const std::vector<const Ref<String>*>& list) {
    std::vector<uint32_t> out;
    for (const Ref<String>* text : list) out.push_back(*text ? texts.of(*text) : kNone);
    return out;
  };
  const std::vector<uint32_t> bench = idsOf(made.benches), series = idsOf(made.series),
                              setting = idsOf(made.settings), machine = idsOf(made.machines);
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t g = made.group[i], c = made.configuration[i], o = made.owner[i];
    ids[i] = {bench[g],   series[c] == kNone ? 0 : series[c], setting[c] == kNone ? 0 : setting[c],
              machine[o], made.contributions[o],
              bench[g] != kNone && series[c] != kNone && setting[c] != kNone};
  }
  const bool duplicate = hasDuplicate(ids, texts);
  made.setting.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    const Ref<String>* text = made.settings[made.configuration[i]];
    if (duplicate && ids[i].machine != kNone) {
      const MachineSettings::Split& split = cache.split(texts, ids[i].setting, ids[i].machine);
      text = split.text;
      ids[i].setting = split.id;
    }
    made.setting[i] = text;
  }
}

void HeatMap::build(const Ref<Array>& newRows, const Ref<String>& newBaseline, uint32_t newWidth, const Made* made) {
  ++builds_;
  rows = newRows ? newRows : make<Array>();
  baseline = newBaseline;
  width = newWidth;
  benches = make<Array>();
  colSeries = make<Array>();
  colSetting = make<Array>();

  const uint32_t count = rows->count();
  MachineSettings& cache = *machineSettings_;
  std::vector<ChartRow*>& list = cache.list;
  list.assign(count, nullptr);
  std::vector<RowIds>& ids = cache.ids;
  std::unique_ptr<TextIds> own;
  if (made && cache.settled && cache.ids.size() == count) {
    // Rows the chart view has made as `settle` said, every one a ChartRow
    // with its final setting.
    for (uint32_t i = 0; i < count; ++i) list[i] = static_cast<ChartRow*>(rows->get(i).get());
  } else {
    // Each row's texts as numbers, read while every row still holds them.
    cache.startBuild();
    own = std::make_unique<TextIds>();
    TextIds& texts = *own;
    ids.assign(count, RowIds{});
    for (uint32_t i = 0; i < count; ++i) {
      if (i + 4 * kAhead < count) __builtin_prefetch(rows->get(i + 4 * kAhead).get());
      list[i] = rowAt(*rows, i);
    }
    for (uint32_t i = 0; i < count; ++i) {
      // The rows and their texts lie scattered in memory: each step fetches
      // what the step after it needs, some rows ahead.
      if (i + 4 * kAhead < count) prefetchRow(list[i + 4 * kAhead]);
      if (i + 2 * kAhead < count && list[i + 2 * kAhead]) prefetchTexts(*list[i + 2 * kAhead], false);
      if (i + kAhead < count && list[i + kAhead]) prefetchTexts(*list[i + kAhead], true);
      ChartRow* row = list[i];
      if (!row) continue;
      ids[i] = {row->bench ? texts.of(row->bench) : kNone,
                texts.of(row->series),
                texts.of(row->setting),
                row->machineText ? texts.of(row->machineText) : kNone,
                row->contribution.get(),
                row->bench && row->series && row->setting};
    }
    // Then, when two machines measured the same thing, every row with a
    // machine text gets "%s %s" of its setting and the machine; equal texts
    // give the same String.
    if (hasDuplicate(ids, texts)) {
      for (uint32_t i = 0; i < count; ++i) {
        ChartRow* row = list[i];
        if (!row || ids[i].machine == kNone) continue;
        const MachineSettings::Split& split = cache.split(texts, ids[i].setting, ids[i].machine);
        row->setting = *split.text;
        ids[i].setting = split.id;
      }
    }
  }
  TextIds& texts = own ? *own : *cache.settled;

  // Lines and columns in order of first appearance. A column's key is the
  // text "series|setting" compared ignoring case; while no series holds the
  // separator the pair of folded texts is the same key, else whole texts
  // are compared.
  struct Column {
    const String* series;  // of the column's first row
    const String* setting;
    uint32_t row;
  };
  std::vector<Column> columns;
  bool pipe = false;
  {
    chart::FlatIndex& columnOf = cache.columnOf;
    columnOf.reset();
    std::vector<bool> lineSeen;
    uint32_t lastBench = kNone;
    for (uint32_t i = 0; i < count; ++i) {
      const ChartRow* row = list[i];
      if (!row) continue;
      // A missing name never equals another, so it always makes a line.
      if (ids[i].bench == kNone) {
        benches->add(nullptr);
      } else if (ids[i].bench != lastBench) {
        lastBench = ids[i].bench;
        const uint32_t b = texts.folded(lastBench);
        if (b >= lineSeen.size()) lineSeen.resize(b + 1, false);
        if (!lineSeen[b]) {
          lineSeen[b] = true;
          benches->add(row->bench);
        }
      }
      pipe = pipe || texts.pipe(ids[i].series);
      const auto n = static_cast<uint32_t>(columns.size());
      const uint64_t key = chart::pairKey(texts.folded(ids[i].series), texts.folded(ids[i].setting));
      if (columnOf.insert(key, n) == n) columns.push_back({row->series.get(), row->setting.get(), i});
    }
  }
  if (pipe) {
    // Keys of whole texts: "a|b" with "c" is the same column as "a" with "b|c".
    columns.clear();
    std::unordered_map<std::string, uint32_t> columnOf;
    std::string key;
    for (uint32_t i = 0; i < count; ++i) {
      const ChartRow* row = list[i];
      if (!row) continue;
      key.clear();
      for (const Text part :
           {texts.text(ids[i].series), Text{reinterpret_cast<const uint8_t*>("|"), 1}, texts.text(ids[i].setting)}) {
        for (uint32_t k = 0; k < part.n; ++k) key.push_back(static_cast<char>(textkeys::fold(part.p[k])));
      }
      if (columnOf.try_emplace(key, static_cast<uint32_t>(columns.size())).second)
        columns.push_back({row->series.get(), row->setting.get(), i});
    }
  }
  // Column order (`before`) from numbers: each setting's place among the
  // columns' settings in byte order, then each series' place with the own
  // language first and the others in lowercased byte order. Equal places
  // keep the order of first appearance, as the stable insertion does.
  // The same columns as the last build (the same objects in the same order
  // of appearance) come in the same order: the last build's is taken as it
  // is. The kept order holds every object compared here.
  bool same = columns.size() == cache.firstSeries.size();
  for (size_t j = 0; same && j < columns.size(); ++j)
    same = columns[j].series == cache.firstSeries[j] && columns[j].setting == cache.firstSetting[j];
  if (!same) {
    const auto rankOf = [&](const String* Column::*field, auto&& less) {
      // Distinct objects first: the columns share few.
      std::vector<const String*> objects;
      objects.reserve(columns.size());
      for (const Column& c : columns) objects.push_back(c.*field);
      std::sort(objects.begin(), objects.end());
      objects.erase(std::unique(objects.begin(), objects.end()), objects.end());
      std::stable_sort(objects.begin(), objects.end(), less);
      chart::FlatIndex rank(objects.size());
      for (size_t k = 0, r = 0; k < objects.size(); ++k) {
        if (k > 0 && less(objects[k - 1], objects[k])) r = k;
        rank.set(reinterpret_cast<uintptr_t>(objects[k]), static_cast<uint32_t>(r));
      }
      return rank;
    };
    const chart::FlatIndex settingRank = rankOf(&Column::setting, [](const String* a, const String* b) {
      return compareBytes(bytesOf(a), bytesOf(b), false) < 0;
    });
    const chart::FlatIndex seriesRank = rankOf(&Column::series, [](const String* a, const String* b) {
      const bool ownA = BHelp::same(a, "quorl"), ownB = BHelp::same(b, "quorl");
      if (ownA || ownB) return ownA && !ownB;
      return compareBytes(visibleOf(a), visibleOf(b), true) < 0;
    });
    std::vector<std::pair<uint64_t, uint32_t>> keys(columns.size());
    for (uint32_t j = 0; j < columns.size(); ++j) {
      const uint64_t setting = settingRank.find(reinterpret_cast<uintptr_t>(columns[j].setting));
      keys[j] = {setting << 32 | seriesRank.find(reinterpret_cast<uintptr_t>(columns[j].series)), j};
    }
    std::sort(keys.begin(), keys.end());
    cache.firstSeries.clear();
    cache.firstSetting.clear();
    for (const Column& c : columns) {
      cache.firstSeries.push_back(c.series);
      cache.firstSetting.push_back(c.setting);
    }
    cache.orderedSeries.clear();
    cache.orderedSetting.clear();
    for (const auto& key : keys) {
      const ChartRow& row = *list[columns[key.second].row];
      cache.orderedSeries.push_back(row.series);
      cache.orderedSetting.push_back(row.setting);
    }
  }
  colSeries = Array::withCapacity(static_cast<uint32_t>(columns.size()));
  colSetting = Array::withCapacity(static_cast<uint32_t>(columns.size()));
  for (size_t j = 0; j < columns.size(); ++j) {
    colSeries->add(cache.orderedSeries[j]);
    colSetting->add(cache.orderedSetting[j]);
  }
  cache.endBuild();
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
    if (!row || !BHelp::same(row->bench, bench) || !row->measured()) continue;
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
  if (!a || !b || !a->measured() || !b->measured()) return false;
  result = a->value / b->value;
  grey = ChartRow::withinSpread(*a, *b);
  return true;
}

bool HeatMap::geomean(uint32_t j, double& mean) const {
  return geomeanOf(benches, [&](uint32_t i, double& r, bool& grey) { return ratio(i, j, r, grey); }, mean);
}

namespace {

// The geometric mean's sum over the lines `lineAt` gives (k below `count`),
// ascending, leaving out the outlier benchmark.
template <class LineAt>
bool geomeanOver(Ptr<const Array> benches, uint32_t count, LineAt&& lineAt,
                 const std::function<bool(uint32_t, double&, bool&)>& ratioOf, double& mean) {
  double sum = 0.0;
  uint32_t n = 0;
  const uint32_t lines = benches ? benches->count() : 0;
  for (uint32_t k = 0; k < count; ++k) {
    const uint32_t i = lineAt(k);
    if (i >= lines || BHelp::isOutlier(cast<String>(benches->get(i)))) continue;
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

}  // namespace

bool HeatMap::geomeanOf(Ptr<const Array> benches, const std::function<bool(uint32_t, double&, bool&)>& ratioOf,
                        double& mean) {
  return geomeanOver(benches, benches ? benches->count() : 0, [](uint32_t k) { return k; }, ratioOf, mean);
}

bool HeatMap::geomeanOf(Ptr<const Array> benches, std::span<const uint32_t> lines,
                        const std::function<bool(uint32_t, double&, bool&)>& ratioOf, double& mean) {
  return geomeanOver(benches, static_cast<uint32_t>(lines.size()), [&](uint32_t k) { return lines[k]; }, ratioOf,
                     mean);
}

// ---------------------------------------------------------------------------
// 3. Sizes, colours, texts

using HM = chart::HeatMapMetrics;

// The short forms of each list the names and headings are made of, kept
// from build to build: a list of the same Strings keeps its partings.
struct HeatMap::Shown {
  chart::ShortForms benches, series, settings, settingParts, machines;
};

// The build, lists and rows a Whole stands for: a new build, other lists or
// another count of rows make it anew.
struct HeatMap::WholeKey {
  uint64_t build = 0;
  const Object *rows = nullptr, *benches = nullptr, *series = nullptr, *settings = nullptr, *baseline = nullptr;
  uint32_t rowCount = 0, benchCount = 0, seriesCount = 0, settingCount = 0;
  bool operator==(const WholeKey&) const = default;
};

namespace {

// The rooms and the measure headings are made for.
struct HeadingsKey {
  int64_t headerRoom = 0, nameRoom = 0;
  const UXViewDriver* driver = nullptr;
  bool operator==(const HeadingsKey&) const = default;
};

}  // namespace

// What depends on the whole map and not on what is in sight, each part made
// when first asked.
struct HeatMap::Whole {
  WholeKey key;
  int64_t widest = -1;  // the most characters of a name, as drawn
  int outlier = -1;     // 1 when the outlier benchmark has a line
  std::unique_ptr<HeatMapLookup> lookup;
  // Whether a setting carries its machine, and the widest such setting in
  // one driver's measure (-1 until measured).
  bool hasMachines = false;
  const UXViewDriver* measuredBy = nullptr;
  int64_t widestMachineSetting = -1;
  // Each column's setting in two parts, for headings of three lines: the
  // setting without its machine, and the machine (none where the setting
  // carries no machine). Made when first asked.
  Ref<Array> settingParts, machines;
  // The headings of the last two widths asked, the most recent first. Each
  // is made whole and never changed: a view asks its height and then draws
  // at one width, holding the headings of that width while it draws.
  struct Kept {
    HeadingsKey key;
    HeatMapHeadings headings;
  };
  std::unique_ptr<Kept> kept[2];
};

HeatMap::WholeKey HeatMap::wholeKey() const {
  const auto countOf = [](const Ref<Array>& list) { return list ? list->count() : 0u; };
  return {builds_,          rows.get(),       benches.get(),      colSeries.get(),      colSetting.get(),
          baseline.get(),   countOf(rows),    countOf(benches),   countOf(colSeries),   countOf(colSetting)};
}

HeatMap::Whole& HeatMap::whole() const {
  const WholeKey key = wholeKey();
  if (!(whole_->key == key)) {
    *whole_ = Whole{};
    whole_->key = key;
  }
  return *whole_;
}

const HeatMapLookup& HeatMap::lookup() const {
  Whole& w = whole();
  if (!w.lookup) w.lookup = std::make_unique<HeatMapLookup>(*this);
  return *w.lookup;
}

bool HeatMap::hasOutlier() const {
  Whole& w = whole();
  if (w.outlier < 0) {
    w.outlier = 0;
    for (uint32_t i = 0; i < benches->count() && !w.outlier; ++i) w.outlier = BHelp::isOutlier(cast<String>(benches->get(i)));
  }
  return w.outlier == 1;
}

uint32_t HeatMap::height() const { return heightAt(width); }

uint32_t HeatMap::heightAt(uint32_t at) const {
  const uint32_t lines = benches->count();
  if (lines == 0) return static_cast<uint32_t>(HM::kEmptyHeight);
  return static_cast<uint32_t>(titleRowsAt(at) + HM::belowTitles(lines));
}

int64_t HeatMap::titleRows() const { return titleRowsAt(width); }

int64_t HeatMap::titleRowsAt(uint32_t at) const {
  const HeatMapHeadings& h = headingsAt(at);
  return HM::titleRows(shownColumnsAt(at) < colSeries->count() || h.alike(), h.lines);
}

namespace {

// The most characters of any name, as drawn (up to the first NUL).
int64_t widestName(const Array& names) {
  int64_t widest = 0;
  for (uint32_t i = 0; i < names.count(); ++i) {
    if (const String* s = dynamic_cast<const String*>(names.get(i).get()))
      widest = std::max<int64_t>(widest, chart::charCount(chart::drawnText(*s)));
  }
  return widest;
}

// The texts of a list as one part of its items (chart::ItemPart), with the
// forms drawn for them: the first `count` of the list (past its end, a
// missing text), or with `present` those that are there alone. Items share
// their Strings, and each String is read once.
chart::ItemPart partOf(const Array& list, const std::vector<std::string>& forms, uint32_t count,
                       bool present = false) {
  chart::ItemPart part;
  chart::FlatIndex index(64);
  const uint32_t listed = list.count();
  for (uint32_t j = 0; j < count; ++j) {
    const Object* o = j < listed ? list.get(j).get() : nullptr;
    if (present && !dynamic_cast<const String*>(o)) continue;
    const auto n = static_cast<uint32_t>(part.texts.size());
    const uint32_t k = index.insert(reinterpret_cast<uintptr_t>(o), n);
    if (k == n) {
      const String* s = dynamic_cast<const String*>(o);
      part.texts.push_back(s ? chart::drawnText(*s) : std::string_view());
      part.forms.push_back(j < forms.size() ? std::string_view(forms[j]) : std::string_view());
    }
    part.of.push_back(k);
  }
  return part;
}

// How many of the items read alike (chart::readAlike).
uint32_t alikeCount(std::span<const chart::ItemPart> parts) {
  const std::vector<uint8_t> alike = chart::readAlike(parts);
  return static_cast<uint32_t>(std::count(alike.begin(), alike.end(), 1));
}

}  // namespace

int64_t HeatMap::widestName() const {
  Whole& w = whole();
  if (w.widest < 0) w.widest = quorl::widestName(*benches);
  return w.widest;
}

int64_t HeatMap::namesWidth() const { return HM::namesWidth(width, widestName()); }

int32_t HeatMap::cellW() const { return cellWAt(width); }

int32_t HeatMap::cellWAt(uint32_t at) const {
  const uint32_t columns = colSeries->count();
  if (columns == 0) return HM::kCellWithoutColumns;
  // The width is unsigned: one narrower than the side room wraps, and reads
  // as the negative room it is once taken back to 32 signed bits.
  const uint32_t side = static_cast<uint32_t>(HM::namesWidth(at, widestName()) + HM::kRightMargin);
  const int64_t room = static_cast<int32_t>(at - side);
  return static_cast<int32_t>(std::clamp<int64_t>(room / static_cast<int64_t>(columns), HM::kMinCell, HM::kMaxCell));
}

uint32_t HeatMap::shownColumns() const { return shownColumnsAt(width); }

uint32_t HeatMap::shownColumnsAt(uint32_t at) const {
  const uint32_t columns = colSeries->count();
  if (columns == 0 || benches->count() == 0) return columns;
  const int64_t room = int64_t(at) - HM::namesWidth(at, widestName()), w = cellWAt(at);
  return static_cast<uint32_t>(std::clamp<int64_t>((room + w - 1) / w, 0, columns));
}

// The least width w that holds the names column at w and every column at
// its least width: the names column grows by at most a third of a pixel a
// pixel, so what is left of w for the columns never shrinks as w grows, and
// the least such w is found by halving.
int32_t HeatMap::minimumWidth() const {
  const int64_t columns = colSeries ? colSeries->count() : 0;
  if (columns == 0) return 0;
  const int64_t widest = widestName(), cells = HM::kRightMargin + HM::kMinCell * columns;
  int64_t low = HM::kNamesMinW + cells, high = HM::namesWidth(INT64_MAX, widest) + cells;
  while (low < high) {
    const int64_t w = low + (high - low) / 2;
    if (HM::namesWidth(w, widest) + cells <= w) high = w;
    else low = w + 1;
  }
  return static_cast<int32_t>(std::min<int64_t>(low, INT32_MAX));
}

const HeatMapHeadings& HeatMap::headings() const { return headingsAt(width); }

// A setting that carries its machine keeps its architecture and level
// whole where it fits; where one such setting does not fit its line, every
// machine moves to a line of its own, cut by the reading rule among the
// machines.
const HeatMapHeadings& HeatMap::headingsAt(uint32_t at) const {
  Whole& w = whole();
  const HeadingsKey key{HM::headerRoom(cellWAt(at)), HM::nameRoom(HM::namesWidth(at, widestName())), gDriver.get()};
  if (w.kept[1] && w.kept[1]->key == key) std::swap(w.kept[0], w.kept[1]);
  if (w.kept[0] && w.kept[0]->key == key) return w.kept[0]->headings;

  const uint32_t M = colSeries->count(), settings = colSetting->count();
  const auto& partsOf = machineSettings_->partsOf;
  const chart::TextMeasure seriesMeasure{HM::kSeriesSize, HM::kHeaderCharW},
      settingMeasure{HM::kSettingSize, HM::kSettingCharW}, nameMeasure{HM::kNameSize, HM::kNameCharW};
  if (w.widestMachineSetting < 0 || w.measuredBy != key.driver) {
    // Columns share their settings: each String is looked up and measured
    // once, until one is wider than the widest column's room.
    chart::FlatIndex seen(64);
    w.hasMachines = false;
    w.widestMachineSetting = 0;
    w.measuredBy = key.driver;
    const int64_t widestRoom = HM::headerRoom(HM::kMaxCell);
    for (uint32_t j = 0; j < settings && w.widestMachineSetting <= widestRoom; ++j) {
      const Object* o = colSetting->get(j).get();
      if (seen.insert(reinterpret_cast<uintptr_t>(o), j) != j) continue;
      const String* s = dynamic_cast<const String*>(o);
      if (!s || !partsOf.count(s)) continue;
      w.hasMachines = true;
      w.widestMachineSetting = std::max(w.widestMachineSetting, settingMeasure.widthOf(chart::drawnText(*s)));
    }
  }
  const bool ownLine = w.hasMachines && w.widestMachineSetting > key.headerRoom;
  if (ownLine && !w.settingParts) {
    w.settingParts = Array::withCapacity(settings);
    w.machines = Array::withCapacity(settings);
    for (uint32_t j = 0; j < settings; ++j) {
      const Ref<String> setting = cast<String>(colSetting->get(j));
      const auto it = setting ? partsOf.find(setting.get()) : partsOf.end();
      w.settingParts->add(it == partsOf.end() ? setting : it->second.setting);
      w.machines->add(it == partsOf.end() ? Ref<String>() : it->second.machine);
    }
  }

  auto kept = std::make_unique<Whole::Kept>();
  kept->key = key;
  HeatMapHeadings& h = kept->headings;
  h.names = shown_->benches.of(*benches, key.nameRoom, nameMeasure);
  h.series = shown_->series.of(*colSeries, key.headerRoom, seriesMeasure);
  h.lines = ownLine ? HM::kMostHeadingLines : HM::kHeadingLines;
  if (ownLine) {
    h.settings = shown_->settingParts.of(*w.settingParts, key.headerRoom, settingMeasure);
    h.machines = shown_->machines.of(*w.machines, key.headerRoom, settingMeasure);
  } else {
    h.settings = shown_->settings.of(*colSetting, key.headerRoom, settingMeasure);
  }

  // What reads alike: the names of the lines that have one, and the
  // columns' headings line by line.
  const chart::ItemPart names = partOf(*benches, h.names, benches->count(), true);
  h.alikeNames = alikeCount({&names, 1});
  const chart::ItemPart parts[3] = {
      partOf(*colSeries, h.series, M), partOf(ownLine ? *w.settingParts : *colSetting, h.settings, M),
      ownLine ? partOf(*w.machines, h.machines, M) : chart::ItemPart()};
  h.alikeColumns = alikeCount({parts, ownLine ? 3u : 2u});
  w.kept[1] = std::move(w.kept[0]);
  w.kept[0] = std::move(kept);
  return w.kept[0]->headings;
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
