// The result model: what benchmark documents become once read.
//
// Sections:
//   1. Machine       the computer a result set was measured on
//   2. Run           one measurement with its samples and statistics
//   3. Contribution  one result set, and the readers of every input format
//   4. DataSet       every loaded contribution, each result set once
//   5. ChartRow      one row of the chart and of the runs table
//   6. ResultFields  what a result set is: the fields sameness compares
//
// Runs and contributions are built once by the loaders and never changed
// afterwards; `params`, `samples`, `toolchains` and `root` are the parsed
// document's own objects, shared and never copied.
#pragma once

#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <variant>

#include "bench/BHelp.h"
#include "foundation/JSON.h"
#include "foundation/Object.h"
#include "foundation/String.h"

namespace quorl {

class Array;
class Map;

// ---------------------------------------------------------------------------
// 1. Machine
class Machine final : public Object {
 public:
  Ref<String> os;
  Ref<String> arch;
  Ref<String> cpu;  // the cpu filter searches it
  Ref<String> gpu;  // the gpu filter searches it
  Ref<String> gpu_driver;
  int64_t memory_mb = 0;

  const char* classNameC() const override { return "Machine"; }
  Ref<String> description() const override;

  // "cpu + gpu", "unknown CPU" without a cpu.
  Ref<String> label() const;
};

// ---------------------------------------------------------------------------
// 2. Run. Times are microseconds.
class Run final : public Object {
 public:
  Run();
  // A run that takes the document's own parameters and samples (a loader
  // reading a large corpus should not make empty ones only to drop them).
  Run(Ref<Map> params, Ref<Array> samples);

  Ref<String> suite;      // "langs", "par" or as read
  Ref<String> benchmark;
  Ref<String> target;
  Ref<String> device;     // "serial", "cpu", "gpu", "vulkan" or as read
  Ref<String> opt;
  Ref<String> arch;
  Ref<Map> params;        // never null
  Ref<Array> samples;     // never null; elements as read
  int64_t best_us = 0;    // 0 = not given
  int64_t first_us = 0;   // 0 = not given
  double mean = 0;        // set by compute()
  double stddev = 0;      // population deviation, set by compute()
  Ref<String> checksum;
  // Times of the document that no run can take (impossibleTime) are left
  // out where they stand: a sample from the samples, a best or first time
  // as not given. How many were.
  uint32_t impossibleTimes = 0;
  // The numbers among the samples, counted by compute(): the mean is a time
  // only when there is one.
  uint32_t timedSamples = 0;

  const char* classNameC() const override { return "Run"; }
  Ref<String> description() const override;

  // The longest time a run may take, in microseconds (about 285 years): the
  // most that the views' doubles hold to the microsecond.
  static constexpr int64_t kMaxTimeUs = int64_t(1) << 53;
  // Whether a document's value, read as microseconds, is a time no run can
  // take: a Number that is negative, not finite or beyond kMaxTimeUs.
  // Values that are no number are no time at all, and not impossible. 0
  // stays possible: a run under a microsecond truncates to it.
  static bool impossibleTime(const Object* value);
  static bool impossibleMicros(double micros) { return !(micros >= 0 && micros <= double(kMaxTimeUs)); }

  // The integer view of a document's best or first time, 0 when it is no
  // number; an impossible time is left out (0) and counted. False for it.
  bool takeTime(const Object* value, int64_t& time);
  // Leaves the samples that are impossible times out of the samples,
  // counting them (the loaders, before compute).
  void leaveOutImpossibleSamples();
  // Mean and population standard deviation of the integer views of the
  // samples. Elements that are not numbers are left out of both.
  void compute();
  // Whether a time remains to show in either metric: a best or first time,
  // or a number among the samples.
  bool hasTime() const { return value(true).has_value(); }
  // The time the views show for the run, in microseconds: first_us (when
  // asked and given), else best_us (when given), else the mean of the
  // samples (when there is a number among them); none without any of
  // them. Every view and statistic reads a run's time here, and one with
  // none is never counted as 0.
  std::optional<double> value(bool first) const;
  // Device contains "gpu" or "vulkan", case as stored.
  bool isGpu() const;
};

// ---------------------------------------------------------------------------
// 3. Contribution
class Contribution final : public Object {
 public:
  Contribution();

  Ref<String> schema;     // "quorl-bench/1", "run.py", "par.py" or as read
  Ref<String> id;
  Ref<String> collected;
  Ref<String> source;     // file path, "corpus", "published", "test", ...
  Ref<Map> root;          // the parsed document, kept whole
  Ref<Machine> machine;   // never null
  Ref<Map> toolchains;    // never null
  int32_t repeats = 0;
  Ref<Array> runs;        // of Run, never null
  // What the loaders left out: the impossible times of the runs kept
  // (Run.impossibleTimes), and the runs that kept no time to show.
  uint32_t impossibleTimes = 0;
  uint32_t runsWithoutTime = 0;

  const char* classNameC() const override { return "Contribution"; }
  Ref<String> description() const override;

  // Entry points of every input format (ContributionLoad.cpp). Never fail:
  // bad JSON or an unknown document gives an empty array.
  //
  // The readers given a budget spend from it what they make, before they
  // make it (the budget of the parse, so that the document and what is made
  // of it are held to one bound), and throw std::bad_alloc past it. A run
  // made of a run.py number also spends the budget's `perObject`, which the
  // parse spent on every object that becomes a run: such runs come from
  // numbers and keys that cost the document far less than the runs made of
  // them. The members of a corpus's "published" list spend from the same
  // budget as the rest.
  static constexpr uint32_t kContributionBytes = 320;  // with its machine, tables and lists
  static constexpr uint32_t kDocumentRunBytes = 160;   // its texts and lists are the document's
  static constexpr uint32_t kMadeRunBytes = 1088;      // with texts, parameters and a sample of its own
  static Ref<Array> loadText(Ptr<const String> text, const Ref<String>& source);
  static Ref<Array> loadObject(const Ref<Object>& value, const Ref<String>& source, JSON::Budget* budget = nullptr);
  static Ref<Contribution> fromRoot(const Ref<Map>& root, const Ref<String>& source, JSON::Budget* budget = nullptr);
  static Ref<Contribution> fromText(Ptr<const String> text, const Ref<String>& source);

  // run.py and par results files (ContributionScripts.cpp).
  static Ref<Array> fromRunJSON(const Ref<Map>& document, const Ref<String>& source, JSON::Budget* budget = nullptr);
  static bool looksPar(Ptr<const Map> document);
  static Ref<Array> fromParJSON(const Ref<Map>& document, const Ref<String>& source, JSON::Budget* budget = nullptr);
  static Ref<String> langArch(const Ref<String>& key, const Ref<String>& platform);
  static Ref<String> langTarget(const Ref<String>& key);
  static Ref<String> parMachineName(const Ref<String>& platform);
  static Ref<Map> paramsPar(Ptr<const String> device);

  // Whether the two hold the same results: every field that ResultFields
  // lists is the same in both, for the contribution, its machine and each of
  // its runs in order, and so is the document it was read from; texts byte
  // for byte, maps as the same members in any order, numbers as the JSON
  // writer writes them back (Number::written), samples in the same order
  // (ResultSameness.cpp).
  bool sameResults(const Contribution& other) const;
  // A hash of everything sameResults compares, equal for the same results.
  // Keyed by a secret drawn once per process, so that no document can choose
  // which result sets share a hash.
  uint64_t resultsHash() const;
  // Leaves out the runs whose every time was impossible, counting them, and
  // sums the impossible times of the rest.
  void leaveOutRunsWithoutTime();
  // How many of its runs have no best time (Run::value): the chart of best
  // times does not draw them.
  uint32_t runsWithoutBest() const;
};

// Finds among the result sets it holds one with the same results as
// another (Contribution.sameResults), in time linear in their sizes
// whatever they hold: candidates come by keyed hashes, of as little of a
// contribution as tells it from the others held, and a document that
// several contributions share (a run.py or par results file gives one per
// machine) is hashed once and compared once with another.
class ResultSetIndex {
 public:
  // The tag of a held contribution with the same results as `c`, or
  // kNotFound.
  uint32_t find(const Contribution& c);
  // Holds `c` (which must outlive the index) under a tag.
  void add(const Contribution& c, uint32_t tag);
  void reserve(size_t n) { keyed_[kOutline].reserve(n); }
  // How many pairs find compared in full: one for each contribution found,
  // and at most one for each other contribution held or asked about,
  // whatever they hold.
  uint64_t comparisons() const { return comparisons_; }

  // What is known of whole documents: their hashes, and which pairs are
  // the same.
  struct Documents {
    std::unordered_map<const Object*, uint64_t> hashes;
    std::map<std::pair<const Object*, const Object*>, bool> same;
  };

 private:
  // The keys, from the least a contribution's hash covers to all of it
  // (ResultSameness.cpp).
  enum Level : uint32_t { kOutline, kFields, kWhole, kLevels };
  struct Held {
    const Contribution* contribution;
    uint32_t tag;
  };
  // One key's place at a level above the whole: the one contribution held
  // by it, or none once a second came (both are held further down).
  struct Slot {
    Held held;
    bool movedOn;
  };
  uint64_t key(const Contribution& c, uint32_t level);
  bool same(const Held& held, const Contribution& c);
  void place(const Held& held, uint32_t level);
  std::unordered_map<uint64_t, Slot> keyed_[kWhole];
  std::unordered_multimap<uint64_t, Held> whole_;
  Documents documents_;
  const Contribution* last_ = nullptr;  // the keys of the last one asked
  uint32_t lastKnown_ = 0;              // which of them: a bit a level
  uint64_t lastKeys_[kLevels] = {};
  uint64_t comparisons_ = 0;
};

// ---------------------------------------------------------------------------
// 4. DataSet
class DataSet final : public Object {
 public:
  DataSet();

  const char* classNameC() const override { return "DataSet"; }

  // The contributions, in load order. The array is never changed while the
  // data set holds it: every change installs another one, so that whoever
  // holds the one before (`held`) can put it back with `replace`.
  const Array& contributions() const { return *contributions_; }
  const Ref<const Array>& held() const { return contributions_; }
  // The one writer: the data set holds `next` from now on (never null).
  void replace(Ref<const Array> next);

  // What merge did: the contributions of `added` that it added, in order,
  // with their runs; for those it left out, their runs and the contributions
  // already held that hold the same results.
  struct Merged {
    Ref<Array> added;
    Ref<Array> matched;
    uint32_t runsAdded = 0;
    uint32_t runsMatched = 0;
    uint64_t comparisons = 0;  // ResultSetIndex.comparisons
  };
  // Holds the contributions anew: those held but the `dropped` ones (by
  // identity), then every one of `added` whose results are not held yet
  // (Contribution.sameResults). Each result set is held once, whichever
  // list brings it, in time linear in the contributions' sizes.
  Merged merge(Ptr<const Array> added, Ptr<const Array> dropped = nullptr);

  // The contribution at index, or null past the end.
  Ref<Contribution> at(uint32_t index) const;
  // Every run of every contribution, in load order (the same objects).
  Ref<Array> runs() const;

 private:
  Ref<const Array> contributions_;  // of Contribution
};

// ---------------------------------------------------------------------------
// 5. ChartRow: filled by the chart view, read by the heat map, the summary,
//    the chart drawing and the runs table.

// A row text that the rebuild may leave to be made when it is first read:
// it then keeps what the text is made from (the recipe), and the first
// reader makes the String that it and every later reader get. Most rows of
// a large data set are never shown in the table, and their texts are never
// made. Reads like a Ref<String>; assigning a String sets it outright.
template <class Recipe> class RowText {
 public:
  RowText() = default;
  RowText(Ref<String> text) : state_(std::move(text)) {}
  RowText& operator=(Ref<String> text) {
    state_ = std::move(text);
    return *this;
  }
  // Leaves the text to the recipe, until first read.
  void defer(Recipe recipe) { state_ = std::move(recipe); }

  const Ref<String>& ref() const {
    if (const Recipe* recipe = std::get_if<Recipe>(&state_)) state_ = recipe->make();
    return std::get<Ref<String>>(state_);
  }
  operator const Ref<String>&() const { return ref(); }
  operator Ptr<const String>() const { return ref().get(); }
  String* get() const { return ref().get(); }
  String* operator->() const { return ref().get(); }
  String& operator*() const { return *ref(); }
  explicit operator bool() const { return static_cast<bool>(ref()); }

 private:
  // The text, or what it is to be made from: one or the other, so that a
  // row stays small.
  mutable std::variant<Ref<String>, Recipe> state_;
};

// A number's text: the shown value in either metric, or the spread.
struct NumberRecipe {
  enum Kind : uint8_t { kTime, kSpeedUp, kSpread };
  double number = 0;
  Kind kind = kTime;
  Ref<String> make() const;  // ChartView.cpp
};

// The parameter line (ChartView::paramLine) of the run at `index` among the
// contribution's runs (which never change once loaded; past the end, or no
// run there, the line of no run). Holding the contribution rather than the
// run keeps the recipe to objects that rows share.
struct ParamsRecipe {
  Ref<Contribution> contribution;
  uint32_t index = 0;
  Ref<String> make() const;  // ChartView.cpp
};

class ChartRow final : public Object {
 public:
  // What the heat map reads of every row comes first, so that a pass over
  // many rows touches few of each row's bytes.
  Ref<String> bench;
  Ref<String> series;
  Ref<String> setting;
  Ref<String> machineText;
  Ref<Contribution> contribution;
  double value = 0;       // microseconds
  double mean = 0;
  double stddev = 0;
  double shown = 0;
  uint32_t color = 0;     // 0xRRGGBB
  // Whether the run has a time for the metric shown (Run::value). A row
  // without one is listed but never drawn or counted: its value and shown
  // are NaN, and its texts read "-".
  bool timed = true;
  // Whether the run has samples: its mean and stddev are theirs, where
  // without any they are no statistic at all.
  bool sampled = true;
  Ref<String> label;
  Ref<String> opt;        // the run's optimisation level, or null
  RowText<ParamsRecipe> paramText;
  RowText<NumberRecipe> bestText;
  RowText<NumberRecipe> spreadText;  // "-" for a run without samples

  const char* classNameC() const override { return "ChartRow"; }
  Ref<String> description() const override;

  // Whether the row's time is one a ratio can be taken of: given, and
  // above 0.
  bool measured() const { return timed && value > 0; }
  // Whether the means of two rows differ by no more than their combined
  // standard deviation (the heat map's grey): never for a row with itself,
  // where neither has a deviation, or where one has no samples to have a
  // mean of.
  static bool withinSpread(const ChartRow& a, const ChartRow& b) {
    if (&a == &b || !(a.stddev > 0 || b.stddev > 0) || !a.sampled || !b.sampled) return false;
    return std::sqrt(a.stddev * a.stddev + b.stddev * b.stddev) >= std::fabs(a.mean - b.mean);
  }
};

// ---------------------------------------------------------------------------
// 6. ResultFields: every field of a result set that the loaders keep and
//    that tells it from another, one list per class. Sameness and the
//    results hash go through these lists and nothing else, so a field added
//    to a class goes into `compared`, or into `leftOut` with the reason.
//    Fields are compared by value: texts by their bytes, numbers of the
//    document as written back, others exactly, maps and arrays by their
//    members, a machine or a run by its own list.
template <class C> struct ResultFields;

template <> struct ResultFields<Machine> {
  static constexpr auto compared = std::make_tuple(&Machine::os, &Machine::arch, &Machine::cpu, &Machine::gpu,
                                                   &Machine::gpu_driver, &Machine::memory_mb);
  static constexpr auto leftOut = std::make_tuple();
};

template <> struct ResultFields<Run> {
  static constexpr auto compared =
      std::make_tuple(&Run::suite, &Run::benchmark, &Run::target, &Run::device, &Run::opt, &Run::arch, &Run::params,
                      &Run::samples, &Run::best_us, &Run::first_us, &Run::mean, &Run::stddev, &Run::checksum);
  // A count of what the loader left out of the run: the contribution's
  // document, which is compared, still holds those values. And a count of
  // the samples, which are compared themselves.
  static constexpr auto leftOut = std::make_tuple(&Run::impossibleTimes, &Run::timedSamples);
};

template <> struct ResultFields<Contribution> {
  // The document last: members no field holds (a machine's "cores") are
  // results too, and are sent again on Submit.
  static constexpr auto compared =
      std::make_tuple(&Contribution::schema, &Contribution::id, &Contribution::collected, &Contribution::machine,
                      &Contribution::toolchains, &Contribution::repeats, &Contribution::runs, &Contribution::root);
  // Where it was read from (a contribution and its copy in the corpus are
  // the same results), and what the loader left out of it.
  static constexpr auto leftOut =
      std::make_tuple(&Contribution::source, &Contribution::impossibleTimes, &Contribution::runsWithoutTime);
};

}  // namespace quorl
