// Chart rows and series.
//
// Sections:
//   1. Name comparison
//   2. Naming and colouring a run
//   3. The view: construction, description
//   4. Rebuild
//   5. Row queries
#include "bench/ChartView.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <typeinfo>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "bench/BHelp.h"
#include "bench/ChartCanvas.h"
#include "bench/ChartNames.h"
#include "bench/Filter.h"
#include "bench/HeatMap.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/Map.h"
#include "foundation/String.h"

namespace quorl {

using chart::NameIndex;
using chart::rowAt;

namespace {

// ---------------------------------------------------------------------------
// 1. Name comparison

// Fields that may be missing compare as unequal (BHelp::same); the bench of
// a row is never missing after a rebuild.
bool sameName(Ptr<const String> a, Ptr<const String> b) { return BHelp::same(a, b); }

}  // namespace

// ---------------------------------------------------------------------------
// 2. Naming and colouring a run

Ref<String> ChartView::seriesName(Ptr<const Run> run) {
  if (!run) return String::withCString("auto");
  if (run->suite && BHelp::same(run->suite, "langs")) {
    // A language run without a target is the system's own language.
    static const char* const kTargets[4][2] = {
        {"objc", "Objective-C"}, {"cpp", "C++ (clang)"}, {"gcc", "C++ (GCC)"}, {"swift", "Swift"}};
    for (const auto& t : kTargets)
      if (BHelp::same(run->target, t[0])) return String::withCString(t[1]);
    return String::withCString("quorl");
  }
  static const char* const kDevices[4][2] = {
      {"serial", "one thread"}, {"cpu", "all threads"}, {"gpu", "GPU"}, {"vulkan", "Vulkan"}};
  for (const auto& d : kDevices)
    if (BHelp::same(run->device, d[0])) return String::withCString(d[1]);
  return String::withCString("auto");
}

Ref<String> ChartView::archName(Ptr<const Run> run) {
  if (!run || !run->arch || run->arch->isEmpty()) return nullptr;
  if (BHelp::same(run->arch, "x86_64")) return String::withCString("x86-64");
  if (BHelp::same(run->arch, "wasm32")) return String::withCString("wasm");
  return run->arch;
}

Ref<String> ChartView::subFor(Ptr<const Run> run) {
  auto out = make<String>();
  if (Ref<String> arch = archName(run)) out->append(arch);
  if (run && run->opt && !run->opt->isEmpty()) {
    if (!out->isEmpty()) out->appendCString(" ");
    out->append(run->opt);
  }
  return out;
}

Ref<String> ChartView::labelFor(Ptr<const Run> run) {
  Ref<String> series = seriesName(run);
  Ref<String> arch = archName(run);
  if (!arch) return series;
  series->appendCString("  ");
  series->append(arch);
  return series;
}

void ChartView::colorOf(Ptr<const Run> run, uint32_t& r, uint32_t& g, uint32_t& b) {
  uint32_t color = 0xC9A227;
  if (run && run->suite && BHelp::same(run->suite, "langs")) {
    static const std::pair<const char*, uint32_t> kTargets[4] = {
        {"quorl", 0xD4751F}, {"objc", 0xC9A227}, {"cpp", 0x3B82F6}, {"gcc", 0x16A34A}};
    color = 0x9333EA;  // every other language, Swift included
    for (const auto& t : kTargets) {
      if (BHelp::same(run->target, t.first)) {
        color = t.second;
        break;
      }
    }
  } else if (run) {
    const Ref<String>& key = run->device ? run->device : run->target;
    static const std::pair<const char*, uint32_t> kDevices[4] = {
        {"serial", 0x6B7280}, {"cpu", 0x3B82F6}, {"gpu", 0x16A34A}, {"vulkan", 0x9333EA}};
    for (const auto& d : kDevices) {
      if (BHelp::same(key, d.first)) {
        color = d.second;
        break;
      }
    }
  }
  r = (color >> 16) & 255u;
  g = (color >> 8) & 255u;
  b = color & 255u;
}

namespace {

void appendBytes(std::string& out, const String& text) { out.append(text.cString(), text.byteLength()); }

// The bytes of a run's parameter line, into a buffer the caller reuses.
void paramBytes(const Run& run, std::string& out) {
  out.clear();
  // The tests are for null only: an empty suite still brings its separator.
  if (run.suite) {
    appendBytes(out, *run.suite);
    out.append(" \xC2\xB7 ");
  }
  if (run.target) appendBytes(out, *run.target);
  if (run.opt) {
    out.push_back(' ');
    appendBytes(out, *run.opt);
  }
  if (run.arch) {
    out.push_back(' ');
    appendBytes(out, *run.arch);
  }
  if (const Map* params = run.params.get()) {
    const uint32_t n = params->count();
    for (uint32_t i = 0; i < n; ++i) {
      Ref<Object> key = params->enumAt(i);
      Ref<String> text = BHelp::text(params->valueAt(i));
      auto* keyText = dynamic_cast<const String*>(key.get());
      if (!text || !keyText) continue;
      out.append(" \xC2\xB7 ");
      appendBytes(out, *keyText);
      out.push_back('=');
      appendBytes(out, *text);
    }
  }
}

}  // namespace

Ref<String> ChartView::paramLine(Ptr<const Run> run) {
  if (!run) return make<String>();
  std::string bytes;
  paramBytes(*run, bytes);
  return String::withBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

// ---------------------------------------------------------------------------
// 3. The view

ChartView::ChartView() : rows(make<Array>()), heatMap(make<HeatMap>()) {}

ChartView::~ChartView() = default;

Ref<String> ChartView::description() const {
  const uint16_t values[4] = {static_cast<uint16_t>(metric), static_cast<uint16_t>(firstRun ? 1 : 0),
                              static_cast<uint16_t>(maxGroupRows), static_cast<uint16_t>(mode)};
  return String::_classDescribe("ChartView", values, 4, 0b1101);
}

// ---------------------------------------------------------------------------
// 4. Rebuild

namespace {

// The texts and colour of a row that depend only on a run's suite, target,
// device, opt and arch. Runs of a large data set repeat a few dozen such
// configurations, so a rebuild works each one out once and its rows share
// the resulting Strings (rows are read, never edited in place; the heat map
// replaces a row's setting with a new String when it adds the machine).
struct Configuration {
  Ref<String> label, series, setting;
  uint32_t color;
};

class ConfigurationCache {
 public:
  const Configuration& of(const Run& run) {
    const Key key{{run.suite.get(), run.target.get(), run.device.get(), run.opt.get(), run.arch.get()}};
    // Runs share their text objects: the same five objects are the same
    // configuration, found without reading their bytes.
    auto known = byObjects_.find(key);
    if (known != byObjects_.end()) return *known->second;
    const Configuration& found = byBytes(key, run);
    byObjects_.emplace(key, &found);
    return found;
  }

 private:
  struct Key;
  const Configuration& byBytes(const Key& key, const Run& run) {
    auto it = cache_.find(key);
    if (it != cache_.end()) return it->second;
    Configuration c;
    c.label = ChartView::labelFor(&run);
    c.series = ChartView::seriesName(&run);
    c.setting = ChartView::subFor(&run);
    uint32_t r = 0, g = 0, b = 0;
    ChartView::colorOf(&run, r, g, b);
    c.color = r << 16 | g << 8 | b;
    // The key points into the run's texts, which outlive the rebuild.
    return cache_.emplace(key, std::move(c)).first->second;
  }

  // Equal when every field is missing on both sides or holds the same
  // bytes on both (exact bytes: the texts keep their letter case).
  struct Key {
    const String* f[5];
  };
  struct Hash {
    size_t operator()(const Key& k) const {
      uint64_t h = 1469598103934665603ull;
      for (const String* s : k.f) {
        if (!s) {
          h = (h ^ 0xFF) * 1099511628211ull;
          continue;
        }
        const uint8_t* p = reinterpret_cast<const uint8_t*>(s->cString());
        for (uint32_t i = 0, n = s->byteLength(); i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
        h = (h ^ s->byteLength()) * 1099511628211ull;
      }
      return static_cast<size_t>(h);
    }
  };
  struct Equal {
    bool operator()(const Key& a, const Key& b) const {
      for (int i = 0; i < 5; ++i) {
        const String* x = a.f[i];
        const String* y = b.f[i];
        if (x == y) continue;
        if (!x || !y || !x->equals(y)) return false;
      }
      return true;
    }
  };
  struct ObjectsHash {
    size_t operator()(const Key& k) const {
      uint64_t h = 0;
      for (const String* s : k.f) h = (h ^ reinterpret_cast<uintptr_t>(s)) * 0x9E3779B97F4A7C15ull;
      return static_cast<size_t>(h ^ (h >> 29));
    }
  };
  struct SameObjects {
    bool operator()(const Key& a, const Key& b) const { return std::equal(a.f, a.f + 5, b.f); }
  };
  std::unordered_map<Key, Configuration, Hash, Equal> cache_;  // nodes: the entries stay put
  std::unordered_map<Key, const Configuration*, ObjectsHash, SameObjects> byObjects_;
};

// Texts that many rows share, made once per distinct text in a rebuild:
// rows are read, never edited in place (the heat map replaces a row's
// setting with a new String rather than changing the old one).
class SharedTexts {
 public:
  const Ref<String>& of(const std::string& bytes) {
    auto it = texts_.find(std::string_view(bytes));
    if (it != texts_.end()) return it->second;
    Ref<String> text = String::withBytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
    // The key reads the bytes of the String it maps to, which never change.
    return texts_.emplace(std::string_view(text->cString(), text->byteLength()), std::move(text)).first->second;
  }

 private:
  std::unordered_map<std::string_view, Ref<String>> texts_;
};

// A matching run as its group keeps it until the group is in order: what
// its row will hold, next to its sort key. The rows themselves are made in
// row order, once the groups are ordered, so that the rows of one rebuild
// lie in memory in the order they are read (and released) in.
struct GroupRow {
  double shown;  // the value, until the speed-up metric replaces it
  double mean, stddev;
  const Configuration* config;   // held by the rebuild's configurations
  const Ref<String>* paramText;  // held by the rebuild's shared texts
  uint32_t owner;                // the contribution, in the rebuild's owners
};

// Orders a group ascending by value; equal values keep their matching order.
// A NaN value never counts as greater than another, so the rule "insert
// before the first row that is strictly greater" is not a sort order then:
// such a group is built by that rule literally.
void orderGroup(std::vector<GroupRow>& group) {
  const bool hasNaN = std::any_of(group.begin(), group.end(), [](const GroupRow& r) { return std::isnan(r.shown); });
  if (!hasNaN) {
    std::stable_sort(group.begin(), group.end(),
                     [](const GroupRow& a, const GroupRow& b) { return a.shown < b.shown; });
    return;
  }
  std::vector<GroupRow> ordered;
  ordered.reserve(group.size());
  for (GroupRow& row : group) {
    auto at = std::find_if(ordered.begin(), ordered.end(), [&](const GroupRow& o) { return o.shown > row.shown; });
    ordered.insert(at, std::move(row));
  }
  group.swap(ordered);
}

constexpr uint32_t kAhead = 4;

const Map* paramsAt(const Array& runs, uint32_t k) {
  if (k >= runs.count()) return nullptr;
  const Object* o = runs.get(k).get();
  const Run* run = o && typeid(*o) == typeid(Run) ? static_cast<const Run*>(o) : nullptr;
  return run ? run->params.get() : nullptr;
}

// The entries of a run's parameters, which its parameter line reads next.
void prefetchEntries(const Map& params) {
  size_t bytes = 0;
  const char* first = static_cast<const char*>(params._entryBytes(bytes));
  if (!first || params.capacity() > 16) return;
  for (const char* p = first; p < first + bytes; p += 64) __builtin_prefetch(p);
}

// The key objects of the entries, then (once they have arrived) their bytes.
void prefetchKeys(const Map& params, bool bytes) {
  if (params.capacity() > 16) return;
  const uint32_t count = params.count();
  for (uint32_t i = 0; i < count; ++i) {
    const Object* key = params._keyAt(i).get();
    if (!bytes) {
      __builtin_prefetch(key);
    } else if (typeid(*key) == typeid(String)) {
      __builtin_prefetch(static_cast<const String*>(key)->cString());
    }
  }
}

}  // namespace

void ChartView::rebuild() {
  rows->removeAll();
  maxGroupRows = 0;
  if (!dataSet || !filter) return;

  // Matching runs join the list of their group (benchmark) in matching
  // order; the runs are visited only this once. A run without a benchmark
  // name joins the group of the empty name.
  NameIndex benches;
  std::vector<std::vector<GroupRow>> groups;
  std::vector<double> slowest;
  ConfigurationCache configurations;
  SharedTexts paramTexts;
  std::string scratch;
  Ref<String> unnamed;
  // The contributions with their machine labels, made once per
  // contribution and shared by its rows.
  struct Owner {
    Ref<Contribution> contribution;
    Ref<String> machine;
  };
  std::vector<Owner> owners;
  std::unordered_map<const Contribution*, uint32_t> ownerOf;
  const Array& contributions = *dataSet->contributions;
  for (uint32_t c = 0; c < contributions.count(); ++c) {
    auto* contribution = dynamic_cast<Contribution*>(contributions.get(c).get());
    if (!contribution) continue;
    auto [known, added] = ownerOf.try_emplace(contribution, static_cast<uint32_t>(owners.size()));
    if (added) owners.push_back({staticCast<Contribution>(contributions.get(c)), nullptr});
    const uint32_t owner = known->second;
    const Array& runs = *contribution->runs;
    const uint32_t runCount = runs.count();
    for (uint32_t k = 0; k < runCount; ++k) {
      // The runs and their parameters lie scattered in memory: fetch them
      // some runs ahead of their turn, each step what the step before it
      // (further ahead) has brought in.
      if (k + 4 * kAhead < runCount) {
        if (const Object* next = runs.get(k + 4 * kAhead).get()) __builtin_prefetch(next);
      }
      if (const Map* params = paramsAt(runs, k + 3 * kAhead)) __builtin_prefetch(params);
      if (const Map* params = paramsAt(runs, k + 2 * kAhead)) prefetchEntries(*params);
      if (const Map* params = paramsAt(runs, k + kAhead)) prefetchKeys(*params, false);
      if (const Map* params = paramsAt(runs, k + kAhead / 2)) prefetchKeys(*params, true);
      auto* run = dynamic_cast<const Run*>(runs.get(k).get());
      if (!run || !filter->matches(contribution, run)) continue;
      Ref<String> name = run->benchmark;
      if (!name) {
        if (!unnamed) unnamed = make<String>();
        name = unnamed;
      }
      const uint32_t g = benches.indexOf(name);
      if (g == groups.size()) {
        groups.emplace_back();
        slowest.push_back(0.0);
      }
      const double value = run->value(firstRun);
      if (value > slowest[g]) slowest[g] = value;

      paramBytes(*run, scratch);
      if (!owners[owner].machine) owners[owner].machine = contribution->machine->label();
      groups[g].push_back({value, run->mean, run->stddev, &configurations.of(*run), &paramTexts.of(scratch), owner});
    }
  }

  for (uint32_t g = 0; g < groups.size(); ++g) {
    std::vector<GroupRow>& group = groups[g];
    orderGroup(group);
    const size_t size = group.size();
    for (const GroupRow& entry : group) {
      const Configuration& config = *entry.config;
      const Owner& owner = owners[entry.owner];
      auto row = make<ChartRow>();
      row->bench = benches.names()[g];
      row->label = config.label;
      row->paramText = *entry.paramText;
      row->series = config.series;
      row->setting = config.setting;
      row->value = entry.shown;
      row->shown = entry.shown;
      if (metric == 1 && slowest[g] > 0) row->shown = row->shown > 0 ? slowest[g] / row->shown : 0.0;
      row->mean = entry.mean;
      row->stddev = entry.stddev;
      row->color = config.color;
      row->contribution = owner.contribution;
      row->bestText = chart::valueText(metric, row->shown);
      row->spreadText = String::withFormat("+/- %.1f", row->stddev);
      row->machineText = owner.machine;
      rows->add(std::move(row));
    }
    if (static_cast<int64_t>(size) > maxGroupRows) maxGroupRows = static_cast<int32_t>(size);
    std::vector<GroupRow>().swap(group);
  }

  heatMap->build(rows, baseline, static_cast<uint32_t>(std::max<int32_t>(frame().w(), 0)));
}

// ---------------------------------------------------------------------------
// 5. Row queries

int32_t ChartView::groupEnd(int32_t i) const {
  const int32_t n = static_cast<int32_t>(rows->count());
  int32_t j = i + 1;
  if (i < 0 || i >= n) return j;
  const ChartRow* first = rowAt(*rows, static_cast<uint32_t>(i));
  const String* bench = first ? first->bench.get() : nullptr;
  while (j < n) {
    const ChartRow* row = rowAt(*rows, static_cast<uint32_t>(j));
    // Rows of one group share their bench String; the byte comparison is
    // for rows that someone else put together.
    if (!row || (row->bench.get() != bench && !sameName(row->bench, bench))) break;
    ++j;
  }
  return j;
}

Ref<Array> ChartView::benchNames() const {
  auto out = make<Array>();
  NameIndex seen;
  const String* last = nullptr;  // rows of a group share their bench String
  for (uint32_t i = 0; i < rows->count(); ++i) {
    const ChartRow* row = rowAt(*rows, i);
    if (!row || !row->bench || row->bench.get() == last) continue;
    last = row->bench.get();
    if (BHelp::isOutlier(row->bench)) continue;
    const size_t before = seen.names().size();
    seen.indexOf(row->bench);
    if (seen.names().size() != before) out->add(row->bench);
  }
  return out;
}

Ref<Array> ChartView::seriesNames() const {
  auto out = make<Array>();
  NameIndex seen;
  // Rows of one configuration share their label String: each object is
  // looked at once.
  std::unordered_set<const String*> looked;
  for (uint32_t i = 0; i < rows->count(); ++i) {
    const ChartRow* row = rowAt(*rows, i);
    if (!row || !row->label || !looked.insert(row->label.get()).second) continue;
    const size_t before = seen.names().size();
    seen.indexOf(row->label);
    if (seen.names().size() != before) out->add(row->label);
  }
  return out;
}

int32_t ChartView::labelChars() const {
  Ref<Array> names = benchNames();
  uint32_t longest = 0;
  for (uint32_t i = 0; i < names->count(); ++i) {
    const auto* name = static_cast<const String*>(names->get(i).get());
    longest = std::max(longest, name->byteLength());
  }
  return static_cast<int32_t>(std::min<uint32_t>(longest, 16));
}

Ref<ChartRow> ChartView::findRow(Ptr<const String> label, Ptr<const String> bench) const {
  for (uint32_t i = 0; i < rows->count(); ++i) {
    const ChartRow* row = rowAt(*rows, i);
    if (row && sameName(row->bench, bench) && sameName(row->label, label))
      return staticCast<ChartRow>(rows->get(i));
  }
  return nullptr;
}

}  // namespace quorl
