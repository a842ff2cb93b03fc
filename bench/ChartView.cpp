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
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "bench/BHelp.h"
#include "bench/BarLabels.h"
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
    // A language run without a target is the system's own language; a
    // language the table does not know is named by its own text, so that
    // each is a series of its own.
    static const char* const kTargets[5][2] = {{"quorl", "quorl"},
                                               {"objc", "Objective-C"},
                                               {"cpp", "C++ (clang)"},
                                               {"gcc", "C++ (GCC)"},
                                               {"swift", "Swift"}};
    if (!run->target || run->target->isEmpty()) return String::withCString("quorl");
    for (const auto& t : kTargets)
      if (BHelp::same(run->target, t[0])) return String::withCString(t[1]);
    return run->target->copy();  // callers may append to it
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

ChartView::ChartView()
    : rows(make<Array>()), listed(rows), heatMap(make<HeatMap>()), barLabels_(std::make_unique<chart::BarLabels>()) {}

ChartView::~ChartView() = default;

Ref<String> ChartView::description() const {
  const uint16_t values[4] = {static_cast<uint16_t>(metric), static_cast<uint16_t>(firstRun ? 1 : 0),
                              static_cast<uint16_t>(maxGroupRows), static_cast<uint16_t>(mode)};
  return String::_classDescribe("ChartView", values, 4, 0b1101);
}

// ---------------------------------------------------------------------------
// 4. Rebuild

// The texts a rebuild leaves to be made on first read.
Ref<String> NumberRecipe::make() const {
  switch (kind) {
    case kTime:
      return chart::valueText(0, number);
    case kSpeedUp:
      return chart::valueText(1, number);
    case kSpread:
      break;
  }
  return String::withFormat("+/- %.1f", number);
}

Ref<String> ParamsRecipe::make() const {
  if (!contribution || index >= contribution->runs->count()) return ChartView::paramLine(nullptr);
  return ChartView::paramLine(cast<Run>(contribution->runs->get(index)));
}

namespace {

// The texts and colour of a row that depend only on a run's suite, target,
// device, opt and arch. Runs of a large data set repeat a few dozen such
// configurations: each is worked out once, and its rows share the
// resulting Strings (rows are read, never edited in place; the heat map
// replaces a row's setting with another String rather than changing it).
struct Configuration {
  Ref<String> label, series, setting, opt;
  Ref<String> arch;  // as the label names it, or null
  uint32_t color;
};

constexpr uint32_t kBenchField = 0;
constexpr uint32_t kFields = 6;  // benchmark, suite, target, device, opt, arch

void fieldsOf(const Run& run, const String* (&out)[kFields]) {
  out[0] = run.benchmark.get();
  out[1] = run.suite.get();
  out[2] = run.target.get();
  out[3] = run.device.get();
  out[4] = run.opt.get();
  out[5] = run.arch.get();
}

// Stable ascending order of 64-bit keys: a radix sort on 11-bit digits,
// least significant first, skipping the digits that every key shares.
void radixOrder(const std::vector<uint64_t>& keys, std::vector<uint32_t>& order, std::vector<uint32_t>& moved) {
  constexpr uint32_t kBits = 11, kDigits = 6, kBuckets = 1u << kBits;
  const auto n = static_cast<uint32_t>(keys.size());
  order.resize(n);
  for (uint32_t i = 0; i < n; ++i) order[i] = i;
  std::vector<uint32_t> counts(kDigits * kBuckets, 0);
  for (uint64_t key : keys) {
    for (uint32_t d = 0; d < kDigits; ++d) ++counts[d * kBuckets + ((key >> (d * kBits)) & (kBuckets - 1))];
  }
  moved.resize(n);
  for (uint32_t d = 0; d < kDigits; ++d) {
    uint32_t* count = &counts[d * kBuckets];
    if (std::find(count, count + kBuckets, n) != count + kBuckets) continue;
    uint32_t at = 0;
    for (uint32_t b = 0; b < kBuckets; ++b) {
      const uint32_t c = count[b];
      count[b] = at;
      at += c;
    }
    for (uint32_t i : order) moved[count[(keys[i] >> (d * kBits)) & (kBuckets - 1)]++] = i;
    order.swap(moved);
  }
}

// A matching run, with what its row will hold. A run without a time for the
// metric shown (Run::value) is `timed` false, its value NaN; one without a
// sample has no spread.
struct Match {
  double value, mean, stddev;
  uint32_t owner, index, group, configuration;  // index: among the owner's runs
  bool timed, sampled;
};

// A key that orders as the value does; -0 and 0 are one value.
uint64_t orderKey(double value) {
  if (value == 0) value = 0;
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits >> 63) ? ~bits : bits | (1ull << 63);
}

}  // namespace

// What a rebuild works out for each run and keeps for the next one: the
// run's benchmark group and configuration, and for each contribution its
// machine label. An entry stands while its contribution holds the same run
// with the same six texts (runs do not change once loaded); anything else
// is worked out again. A new data set starts afresh.
struct ChartView::RunCache {
  struct Entry {
    Ref<Run> run;  // held, so that its address stays its own
    const String* fields[kFields];
    uint32_t group, configuration;
  };
  struct Owner {
    Ref<Contribution> contribution;
    Ref<String> cpu, gpu;  // the machine texts the label was made from
    Ref<String> machine;
    std::vector<Entry> runs;
  };

  Ref<DataSet> dataSet;
  std::vector<Owner> owners;  // by index among the data set's contributions
  chart::NameIndex groups;    // benchmark names, case ignored; none is ""
  std::vector<Configuration> configurations;
  std::unordered_map<std::string, uint32_t> configurationOf;  // by the five texts' bytes
  Ref<String> unnamed = make<String>();
  Ref<String> dash = String::withCString("-");  // the texts of a number the run lacks
  Ref<Array> listed = make<Array>();            // ChartView::listed when not the rows
  // Room a rebuild reuses from the last one.
  std::vector<Match> matches, sorted, untimed;
  std::vector<uint64_t> keys;
  std::vector<uint32_t> byValue, order;
  HeatMap::Made made;

  void fill(Entry& entry, const Ref<Run>& run) {
    entry.run = run;
    fieldsOf(*run, entry.fields);
    entry.group = groups.indexOf(run->benchmark ? run->benchmark : unnamed);
    // Equal when every field is missing on both sides or holds the same
    // bytes on both (exact bytes: the texts keep their letter case).
    std::string key;
    for (uint32_t f = kBenchField + 1; f < kFields; ++f) {
      const String* text = entry.fields[f];
      if (!text) {
        key.push_back('\0');
        continue;
      }
      const uint32_t n = text->byteLength();
      key.push_back('\1');
      key.append(reinterpret_cast<const char*>(&n), sizeof n);
      key.append(text->cString(), n);
    }
    auto [it, added] = configurationOf.try_emplace(key, static_cast<uint32_t>(configurations.size()));
    if (added) {
      Configuration c;
      c.label = ChartView::labelFor(run);
      c.series = ChartView::seriesName(run);
      c.setting = ChartView::subFor(run);
      c.opt = run->opt;
      c.arch = ChartView::archName(run);
      uint32_t r = 0, g = 0, b = 0;
      ChartView::colorOf(run, r, g, b);
      c.color = r << 16 | g << 8 | b;
      configurations.push_back(std::move(c));
    }
    entry.configuration = it->second;
  }

  // The owner of a contribution, its label up to date.
  Owner& owner(uint32_t index, const Ref<Contribution>& contribution) {
    Owner& o = owners[index];
    if (!(o.contribution == contribution)) o = Owner{contribution, nullptr, nullptr, nullptr, {}};
    const Machine& machine = *contribution->machine;
    if (!o.machine || !(o.cpu == machine.cpu) || !(o.gpu == machine.gpu)) {
      o.cpu = machine.cpu;
      o.gpu = machine.gpu;
      o.machine = machine.label();
    }
    return o;
  }
};

void ChartView::rebuild() {
  ++rebuilds_;
  rows->removeAll();
  listed = rows;
  barLabels_->restart();
  maxGroupRows = 0;
  if (!dataSet || !filter) {
    cache_.reset();
    return;
  }
  if (!cache_ || !(cache_->dataSet == dataSet)) {
    cache_ = std::make_unique<RunCache>();
    cache_->dataSet = dataSet;
  }
  RunCache& cache = *cache_;
  // Running out of memory half-way would leave entries that name groups and
  // configurations never made: the cache goes, and the next rebuild starts
  // afresh.
  struct DropOnThrow {
    std::unique_ptr<RunCache>& cache;
    const int uncaught = std::uncaught_exceptions();
    ~DropOnThrow() {
      if (std::uncaught_exceptions() > uncaught) cache.reset();
    }
  } dropOnThrow{cache_};

  // Matching runs in matching order, with what their rows will hold. A run
  // without a benchmark name joins the group of the empty name.
  std::vector<Match>& matches = cache.matches;
  matches.clear();
  const Array& contributions = dataSet->contributions();
  cache.owners.resize(contributions.count());
  constexpr uint32_t kAhead = 8;
  for (uint32_t c = 0; c < contributions.count(); ++c) {
    const Ref<Object>& object = contributions.get(c);
    auto* contribution = dynamic_cast<Contribution*>(object.get());
    if (!contribution) continue;
    RunCache::Owner& owner = cache.owner(c, staticCast<Contribution>(object));
    const Array& runs = *contribution->runs;
    const uint32_t runCount = runs.count();
    owner.runs.resize(runCount);
    for (uint32_t k = 0; k < runCount; ++k) {
      // The runs lie scattered in memory: fetch them some runs ahead.
      if (k + kAhead < runCount) {
        const char* next = reinterpret_cast<const char*>(runs.get(k + kAhead).get());
        if (next) {
          for (size_t at = 0; at < sizeof(Run); at += 64) __builtin_prefetch(next + at);
        }
      }
      const Ref<Object>& item = runs.get(k);
      RunCache::Entry& entry = owner.runs[k];
      const Run* run = entry.run.get();
      const String* fields[kFields];
      if (run && run == item.get()) {
        fieldsOf(*run, fields);
        if (!std::equal(fields, fields + kFields, entry.fields)) cache.fill(entry, entry.run);
      } else {
        auto fresh = cast<Run>(item);
        if (!fresh) {
          entry = RunCache::Entry{};
          continue;
        }
        cache.fill(entry, fresh);
        run = entry.run.get();
      }
      if (!filter->matches(contribution, run)) continue;
      const std::optional<double> value = run->value(firstRun);
      matches.push_back({value ? *value : std::nan(""), run->mean, run->stddev, c, k, entry.group,
                         entry.configuration, value.has_value(), run->timedSamples > 0});
    }
  }

  // Groups in the order their benchmarks first appear among the matching
  // runs, named as they first appear; the slowest value of each.
  constexpr uint32_t kNone = 0xFFFFFFFFu;
  std::vector<uint32_t> rankOf(cache.groups.count(), kNone);
  std::vector<Ref<String>> names;
  std::vector<double> slowest;
  std::vector<bool> hasNaN;
  for (Match& m : matches) {
    uint32_t& rank = rankOf[m.group];
    if (rank == kNone) {
      rank = static_cast<uint32_t>(names.size());
      const Ref<String>& name = cache.owners[m.owner].runs[m.index].run->benchmark;
      names.push_back(name ? name : cache.unnamed);
      slowest.push_back(0.0);
      hasNaN.push_back(false);
    }
    m.group = rank;
    if (!m.timed) continue;
    if (m.value > slowest[rank]) slowest[rank] = m.value;
    if (std::isnan(m.value)) hasNaN[rank] = true;
  }

  // Each group ascending by value, equal values in matching order: a
  // stable sort of the values' keys, then a stable split into the groups.
  std::vector<uint32_t>& byValue = cache.byValue;
  {
    std::vector<uint64_t>& keys = cache.keys;
    keys.resize(matches.size());
    for (size_t i = 0; i < matches.size(); ++i) keys[i] = orderKey(matches[i].value);
    radixOrder(keys, byValue, cache.order);
  }
  const auto groupCount = static_cast<uint32_t>(names.size());
  std::vector<uint32_t> start(groupCount + 1, 0);
  for (const Match& m : matches) ++start[m.group + 1];
  for (uint32_t g = 0; g < groupCount; ++g) start[g + 1] += start[g];
  std::vector<uint32_t>& order = cache.order;
  order.resize(matches.size());
  {
    std::vector<uint32_t> at(start.begin(), start.end() - 1);
    for (uint32_t i : byValue) order[at[matches[i].group]++] = i;
  }
  // A NaN value never counts as greater than another, so "insert before the
  // first row that is strictly greater" is no sort order then: such a group
  // is built by that rule literally, from its runs in matching order.
  for (uint32_t g = 0; g < groupCount; ++g) {
    if (!hasNaN[g]) continue;
    std::vector<uint32_t> ordered;
    for (uint32_t i = 0; i < matches.size(); ++i) {
      if (matches[i].group != g) continue;
      const double v = matches[i].value;
      auto place = std::find_if(ordered.begin(), ordered.end(), [&](uint32_t o) { return matches[o].value > v; });
      ordered.insert(place, i);
    }
    std::copy(ordered.begin(), ordered.end(), order.begin() + start[g]);
  }

  // The matches in row order: the rows of the chart, and apart from them
  // the runs without a time (whose NaN values sort among themselves in
  // matching order), each group's listed after its rows.
  std::vector<Match>& sorted = cache.sorted;
  std::vector<Match>& untimed = cache.untimed;
  sorted.clear();
  untimed.clear();
  sorted.reserve(matches.size());
  std::vector<uint32_t> rowStart(groupCount + 1, 0), untimedStart(groupCount + 1, 0);
  for (uint32_t g = 0; g < groupCount; ++g) {
    for (uint32_t k = start[g]; k < start[g + 1]; ++k) {
      // Read scattered: fetch them ahead.
      if (k + 4 * kAhead < order.size()) __builtin_prefetch(&matches[order[k + 4 * kAhead]]);
      const Match& m = matches[order[k]];
      (m.timed ? sorted : untimed).push_back(m);
    }
    rowStart[g + 1] = static_cast<uint32_t>(sorted.size());
    untimedStart[g + 1] = static_cast<uint32_t>(untimed.size());
  }
  const bool allTimed = untimed.empty();
  // A listed match: the k-th of group g's rows, then of its runs without a time.
  const auto listedMatches = [&](auto&& visit) {
    for (uint32_t g = 0; g < groupCount; ++g) {
      for (uint32_t k = rowStart[g]; k < rowStart[g + 1]; ++k) visit(sorted[k], g);
      for (uint32_t k = untimedStart[g]; k < untimedStart[g + 1]; ++k) visit(untimed[k], g);
    }
  };

  // The heat map is told what each listed row is made of, and says which
  // setting each gets (with its machine when two machines measured the same
  // thing).
  HeatMap::Made& made = cache.made;
  for (auto* list : {&made.benches, &made.series, &made.settings, &made.machines}) list->clear();
  made.contributions.clear();
  for (auto* list : {&made.group, &made.configuration, &made.owner}) list->clear();
  for (const Ref<String>& name : names) made.benches.push_back(&name);
  for (const Configuration& c : cache.configurations) {
    made.series.push_back(&c.series);
    made.settings.push_back(&c.setting);
  }
  for (const RunCache::Owner& o : cache.owners) {
    made.machines.push_back(&o.machine);
    made.contributions.push_back(o.contribution.get());
  }
  listedMatches([&](const Match& m, uint32_t) {
    made.group.push_back(m.group);
    made.configuration.push_back(m.configuration);
    made.owner.push_back(m.owner);
  });
  heatMap->settle(made);

  // The rows, group after group; a run without a time is listed with "-"
  // for its numbers, and drawn nowhere.
  if (!allTimed) {
    listed = cache.listed;
    listed->removeAll();
  }
  uint32_t k = 0;  // among the listed rows
  double largest = 0.0;  // the largest value shown
  listedMatches([&](const Match& m, uint32_t g) {
    const Configuration& config = cache.configurations[m.configuration];
    const RunCache::Owner& owner = cache.owners[m.owner];
    auto row = make<ChartRow>();
    row->bench = names[g];
    row->series = config.series;
    row->setting = *made.setting[k++];
    row->machineText = owner.machine;
    row->contribution = owner.contribution;
    row->value = m.value;
    row->mean = m.mean;
    row->stddev = m.stddev;
    row->color = config.color;
    row->timed = m.timed;
    row->sampled = m.sampled;
    row->label = config.label;
    row->opt = config.opt;
    row->paramText.defer({owner.contribution, m.index});
    if (!m.timed) {
      row->shown = m.value;
      row->bestText = cache.dash;
      row->spreadText = cache.dash;
      listed->add(std::move(row));
      return;
    }
    double shown = m.value;
    if (metric == 1 && slowest[g] > 0) shown = shown > 0 ? slowest[g] / shown : 0.0;
    row->shown = shown;
    if (shown > largest) largest = shown;
    row->bestText.defer({shown, metric == 1 ? NumberRecipe::kSpeedUp : NumberRecipe::kTime});
    if (m.sampled) {
      row->spreadText.defer({m.stddev, NumberRecipe::kSpread});
    } else {
      row->spreadText = cache.dash;
    }
    if (!allTimed) listed->add(row);
    rows->add(std::move(row));
  });
  for (uint32_t g = 0; g < groupCount; ++g) {
    const uint32_t size = rowStart[g + 1] - rowStart[g];
    if (static_cast<int64_t>(size) > maxGroupRows) maxGroupRows = static_cast<int32_t>(size);
  }
  settleRowLabels(rowStart);
  layOutGroups(rowStart);
  largest_ = {rebuilds_, rows->count(), largest};

  heatMap->build(listed, baseline, static_cast<uint32_t>(std::max<int32_t>(frame().w(), 0)), &made);
}

// What each row's label is made of: its series and architecture, and its
// level and machine where the rows of its group whose labels read alike
// differ in them. A pass over each group's rows, by the few configurations
// and machines rather than by the rows' texts.
void ChartView::settleRowLabels(const std::vector<uint32_t>& start) {
  const RunCache& cache = *cache_;
  chart::BarLabels& out = *barLabels_;
  using L = chart::BarLabels;
  struct Parts {
    uint32_t label, series, arch, level;
  };
  std::vector<Parts> configs;
  for (const Configuration& c : cache.configurations)
    configs.push_back({out.idOf(c.label), out.idOf(c.series), out.idOf(c.arch), out.idOf(c.opt)});
  std::vector<uint32_t> machineOf;
  for (const RunCache::Owner& o : cache.owners) machineOf.push_back(out.idOf(o.machine));
  const size_t n = cache.sorted.size();
  out.rows.resize(n);
  // By label id, among the rows of the group last seen with it.
  struct Alike {
    uint32_t group = 0xFFFFFFFFu, level = 0, machine = 0;
    bool levelsDiffer = false, machinesDiffer = false;
  };
  std::vector<Alike> alike;
  // Whether a configuration's rows show it without and with their level,
  // and an owner's rows their machine.
  std::vector<uint8_t> headShown(configs.size(), 0), machineShown(machineOf.size(), 0);
  for (uint32_t g = 0; g + 1 < start.size(); ++g) {
    for (uint32_t k = start[g]; k < start[g + 1]; ++k) {
      const Match& m = cache.sorted[k];
      const Parts& c = configs[m.configuration];
      if (c.label >= alike.size()) alike.resize(c.label + 1);
      Alike& a = alike[c.label];
      if (a.group != g) a = Alike{g, c.level, machineOf[m.owner]};
      a.levelsDiffer = a.levelsDiffer || a.level != c.level;
      a.machinesDiffer = a.machinesDiffer || a.machine != machineOf[m.owner];
    }
    for (uint32_t k = start[g]; k < start[g + 1]; ++k) {
      const Match& m = cache.sorted[k];
      const Parts& c = configs[m.configuration];
      const Alike& a = alike[c.label];
      L::Row& row = out.rows[k];
      row.groupEnd = start[g + 1];
      row.part[L::kSeries] = c.series;
      row.part[L::kArch] = c.arch;
      row.part[L::kLevel] = a.levelsDiffer ? c.level : 0;
      row.part[L::kMachine] = a.machinesDiffer ? machineOf[m.owner] : 0;
      headShown[m.configuration] |= row.part[L::kLevel] ? 2 : 1;
      if (row.part[L::kMachine]) machineShown[m.owner] = 1;
    }
  }
  for (size_t c = 0; c < configs.size(); ++c) {
    if (headShown[c] & 1) out.heads.push_back({configs[c].series, configs[c].arch, 0});
    if (headShown[c] & 2) out.heads.push_back({configs[c].series, configs[c].arch, configs[c].level});
  }
  for (size_t o = 0; o < machineOf.size(); ++o)
    if (machineShown[o]) out.machines.push_back(machineOf[o]);
}

// ---------------------------------------------------------------------------
// 5. Row queries

int32_t ChartView::groupEnd(int32_t i) const {
  const int32_t n = static_cast<int32_t>(rows->count());
  int32_t j = i + 1;
  if (i < 0 || i >= n) return j;
  const std::vector<chart::BarLabels::Row>& labels = barLabels_->rows;
  if (labels.size() == static_cast<size_t>(n)) return static_cast<int32_t>(labels[static_cast<size_t>(i)].groupEnd);
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
