// Machine, Run (statistics, value, GPU test), DataSet and the descriptions.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "BenchTestSupport.h"
#include "foundation/Null.h"
#include "Rounds.h"

using namespace quorl;
using namespace quorl::benchtest;

namespace {

Ref<Run> runWith(const Ref<Array>& samples) {
  auto run = make<quorl::Run>();
  run->samples = samples;
  run->compute();
  return run;
}

}  // namespace

TEST(RunInit, EmptyButNeverNull) {
  quorl::Run run;
  EXPECT_EQ(run.suite, nullptr);
  EXPECT_EQ(run.checksum, nullptr);
  ASSERT_NE(run.params, nullptr);
  ASSERT_NE(run.samples, nullptr);
  EXPECT_EQ(run.params->count(), 0u);
  EXPECT_EQ(run.samples->count(), 0u);
  EXPECT_EQ(run.best_us, 0);
  EXPECT_EQ(run.mean, 0.0);
  EXPECT_EQ(str(run.description()), "<Run>(0, 0)");
}

TEST(RunCompute, IntegerSamples) {
  struct Case {
    std::initializer_list<int64_t> samples;
    double mean, stddev;
  } cases[] = {
      {{}, 0, 0},
      {{5}, 5, 0},
      {{1, 2, 3}, 2, std::sqrt(2.0 / 3.0)},           // population deviation: divisor n
      {{10, 10, 10, 10}, 10, 0},
      {{-4, 4}, 0, 4},
      {{100, 104}, 102, 2},
      {{INT64_MAX, INT64_MAX}, 9223372036854775807.0, 0},   // the sum passes 64 bits
      {{INT64_MIN, INT64_MIN, INT64_MIN}, -9223372036854775808.0, 0},
      {{INT64_MAX, INT64_MIN}, -0.5, 9223372036854775808.0},  // exact sum -1, no wrap
  };
  for (const auto& c : cases) {
    auto run = runWith(numbers(c.samples));
    SCOPED_TRACE(c.samples.size());
    EXPECT_EQ(run->timedSamples, c.samples.size());
    EXPECT_DOUBLE_EQ(run->mean, c.mean);
    EXPECT_NEAR(run->stddev, c.stddev, 1e-12 * (1 + std::fabs(c.stddev)));
  }
}

TEST(RunCompute, FractionsAreDroppedBeforeAveraging) {
  auto samples = make<Array>();
  samples->add(Number::withDouble(1.9));
  samples->add(Number::withDouble(2.9));
  auto run = runWith(samples);
  EXPECT_EQ(run->mean, 1.5);
  EXPECT_EQ(run->stddev, 0.5);

  auto single = make<Array>();
  single->add(Number::withDouble(12.7));
  EXPECT_EQ(runWith(single)->mean, 12);
}

TEST(RunCompute, OnlyNumbersCount) {
  // [1, "x", null, {}, [], 3, true]: n is 3 (1, 3 and true read as 1).
  auto samples = make<Array>();
  samples->add(Number::withI64(1));
  samples->add(S("x"));
  samples->add(Null::null());
  samples->add(make<Map>());
  samples->add(make<Array>());
  samples->add(nullptr);
  samples->add(Number::withI64(3));
  samples->add(Number::withBool(true));
  auto run = runWith(samples);
  EXPECT_EQ(run->timedSamples, 3u);
  EXPECT_DOUBLE_EQ(run->mean, 5.0 / 3.0);
  double m = 5.0 / 3.0;
  EXPECT_DOUBLE_EQ(run->stddev, std::sqrt(((1 - m) * (1 - m) + (3 - m) * (3 - m) + (1 - m) * (1 - m)) / 3));
  EXPECT_EQ(run->samples, samples);  // kept as read

  auto noNumbers = make<Array>();
  noNumbers->add(S("12"));
  noNumbers->add(Null::null());
  auto empty = runWith(noNumbers);
  EXPECT_EQ(empty->mean, 0.0);
  EXPECT_EQ(empty->stddev, 0.0);
  EXPECT_EQ(empty->timedSamples, 0u);
  EXPECT_FALSE(empty->value(false));  // no time, though the mean reads 0

  // A single numeric sample among others has no spread.
  auto one = make<Array>();
  one->add(S("x"));
  one->add(Number::withI64(7));
  EXPECT_EQ(runWith(one)->mean, 7.0);
  EXPECT_EQ(runWith(one)->stddev, 0.0);
}

// The mean is a time only where a sample is: a run with none has no time
// rather than one of 0 (kNone).
TEST(RunValue, Table) {
  constexpr double kNone = -1;
  struct Case {
    bool first;
    int64_t first_us, best_us;
    uint32_t samples;
    double mean, expected;
  } cases[] = {
      {true, 0, 0, 2, 7.5, 7.5},   {true, -3, 10, 2, 7.5, 10}, {true, 20, 10, 2, 7.5, 20},
      {false, 20, 10, 2, 7.5, 10}, {false, 20, 0, 2, 7.5, 7.5}, {false, 0, -1, 2, 7.5, 7.5},
      {true, 1, 0, 2, 7.5, 1},     {true, 0, 0, 1, 0, 0},       {false, 0, 0, 0, 0, kNone},
      {true, 0, 0, 0, 0, kNone},   {false, 120, 0, 0, 0, kNone}, {true, 120, 0, 0, 0, 120},
      {true, -1, -1, 0, 0, kNone}, {false, 0, 3, 0, 0, 3},
  };
  for (const auto& c : cases) {
    quorl::Run run;
    run.first_us = c.first_us;
    run.best_us = c.best_us;
    run.timedSamples = c.samples;
    run.mean = c.mean;
    const std::optional<double> value = run.value(c.first);
    EXPECT_EQ(value.value_or(kNone), c.expected) << c.first << " " << c.first_us << " " << c.best_us << " " << c.samples;
    EXPECT_EQ(run.hasTime(), run.value(true).has_value());
  }
}

TEST(RunIsGpu, CaseAsStored) {
  struct Case {
    const char* device;
    bool gpu;
  } cases[] = {
      {"gpu", true},  {"vulkan", true},  {"GPU", false}, {"Vulkan", false}, {"egpu-0", true},
      {"cpu", false}, {"serial", false}, {"", false},    {nullptr, false},
  };
  for (const auto& c : cases) {
    quorl::Run run;
    run.device = S(c.device);
    EXPECT_EQ(run.isGpu(), c.gpu) << (c.device ? c.device : "<null>");
  }
}

TEST(MachineLabel, Table) {
  struct Case {
    const char *cpu, *gpu, *label;
  } cases[] = {
      {nullptr, nullptr, "unknown CPU"}, {nullptr, "", "unknown CPU"}, {"X", "Y", "X + Y"},
      {"", nullptr, ""},                 {"", "Y", " + Y"},            {nullptr, "Y", "unknown CPU + Y"},
      {"Apple M2", "", "Apple M2"},
  };
  for (const auto& c : cases) {
    Machine m;
    m.cpu = S(c.cpu);
    m.gpu = S(c.gpu);
    EXPECT_EQ(str(m.label()), c.label);
  }
  Machine m;
  m.cpu = S("cpu");
  auto label = m.label();
  label->appendCString("!");
  EXPECT_EQ(str(m.cpu), "cpu");  // the label is a copy
}

TEST(ModelDescription, SixteenBitFields) {
  quorl::Run run;
  run.best_us = 70000;
  run.first_us = 5;
  EXPECT_EQ(str(run.description()), "<Run>(4464, 5)");
  run.best_us = 40000;  // bit 15 set: printed signed
  run.first_us = -1;
  EXPECT_EQ(str(run.description()), "<Run>(-25536, -1)");

  Machine machine;
  machine.memory_mb = 65536 + 8192;
  EXPECT_EQ(str(machine.description()), "<Machine>(8192)");
  Contribution contribution;
  contribution.repeats = -2;
  EXPECT_EQ(str(contribution.description()), "<Contribution>(-2)");
  ChartRow row;
  row.color = 0xD4751F;
  EXPECT_EQ(str(row.description()), "<ChartRow>(29983)");
  row.color = 0x3B82F6;
  EXPECT_EQ(str(row.description()), "<ChartRow>(-32010)");
  EXPECT_EQ(str(DataSet().description()), "<Object>");
}

TEST(ContributionInit, Defaults) {
  Contribution c;
  EXPECT_EQ(c.schema, nullptr);
  EXPECT_EQ(c.root, nullptr);
  ASSERT_NE(c.machine, nullptr);
  EXPECT_EQ(c.machine->cpu, nullptr);
  EXPECT_EQ(c.machine->memory_mb, 0);
  ASSERT_NE(c.toolchains, nullptr);
  EXPECT_EQ(c.toolchains->count(), 0u);
  EXPECT_EQ(c.repeats, 0);
  EXPECT_EQ(c.runs->count(), 0u);
}

TEST(DataSetRuns, AllRunsInLoadOrderSameObjects) {
  DataSet set;
  EXPECT_EQ(set.runs()->count(), 0u);
  EXPECT_EQ(set.at(0), nullptr);
  auto a = make<Contribution>();
  auto b = make<Contribution>();
  auto r1 = make<quorl::Run>(), r2 = make<quorl::Run>(), r3 = make<quorl::Run>();
  a->runs->add(r1);
  a->runs->add(r2);
  b->runs->add(r3);
  set.replace(set.contributions().adding(a));
  set.replace(set.contributions().adding(make<Contribution>()));
  set.replace(set.contributions().adding(b));
  auto runs = set.runs();
  ASSERT_EQ(runs->count(), 3u);
  EXPECT_EQ(runs->get(0), r1);
  EXPECT_EQ(runs->get(1), r2);
  EXPECT_EQ(runs->get(2), r3);
  EXPECT_NE(runs, a->runs);
  EXPECT_EQ(set.at(2), b);
  EXPECT_EQ(set.at(3), nullptr);
}

// Sameness over generated contributions, made and changed through the lists of
// ResultFields: a field added to a list is covered here without more code.
namespace {

class ResultSetMaker {
 public:
  using Places = std::vector<std::pair<std::string, std::function<void()>>>;
  explicit ResultSetMaker(uint64_t seed) : rng_(seed) {}

  Ref<Contribution> contribution() {
    auto c = make<Contribution>();
    fill(*c);
    return c;
  }

  // One random change to a compared field of c, its machine or a run; says which ("run 7 sample added").
  std::string change(Contribution& c) {
    Places places;
    gather(c, "contribution", places);
    gather(*c.machine, "machine", places);
    for (uint32_t i = 0; i < c.runs->count(); ++i) gather(*cast<quorl::Run>(c.runs->get(i)), "run", places);
    auto& [name, apply] = places[next(places.size())];
    apply();
    return name;
  }

  uint64_t next(uint64_t n) { return n ? rng_() % n : 0; }

 private:
  template <class C> void fill(C& object) {
    std::apply([&](auto... field) { (fillField(object, field), ...); }, ResultFields<C>::compared);
  }
  template <class C, class F> void fillField(C& object, F C::*field) { object.*field = made(object.*field); }
  void fillField(Contribution& c, Ref<Array> Contribution::*field) {
    auto runs = make<Array>();
    for (uint64_t n = next(4); n > 0; --n) {
      auto run = make<quorl::Run>();
      fill(*run);
      runs->add(run);
    }
    c.*field = runs;
  }
  void fillField(Contribution& c, Ref<Machine> Contribution::*field) {
    auto machine = make<Machine>();
    fill(*machine);
    c.*field = machine;
  }

  Ref<String> made(const Ref<String>&) { return next(5) ? text() : nullptr; }
  int64_t made(int64_t) { return int64_t(next(7)) - 1; }
  int32_t made(int32_t) { return int32_t(next(7)) - 1; }
  double made(double) { return double(next(5)) / 4; }
  Ref<Map> made(const Ref<Map>&) {
    auto map = make<Map>();
    for (uint64_t n = next(4); n > 0; --n) map->set(S(("k" + std::to_string(next(6))).c_str()), value(1));
    return map;
  }
  Ref<Array> made(const Ref<Array>&) {  // samples
    std::vector<int64_t> integers;
    for (uint64_t n = next(5); n > 0; --n) integers.push_back(int64_t(next(9)));
    if (next(2)) return Array::_withIntegers(integers.data(), uint32_t(integers.size()));  // as the reader packs them
    auto list = make<Array>();
    for (int64_t v : integers) list->add(next(4) ? Ref<Object>(Number::withI64(v)) : value(0));
    return list;
  }
  Ref<String> text() { return S(std::string("ab").substr(0, next(3)).append(std::string(next(2), 'c')).c_str()); }
  Ref<Object> value(int depth) {
    switch (next(depth > 0 ? 8 : 6)) {
      case 0: return Number::withI64(int64_t(next(4)));
      case 1: return Number::withDouble(double(next(4)) / 2);
      case 2: return Number::withBool(next(2));
      case 3: return text();
      case 4: return Null::null();
      case 5: return Number::withI64(1);
      case 6: {
        auto list = make<Array>();
        for (uint64_t n = next(3); n > 0; --n) list->add(value(depth - 1));
        return list;
      }
      default: {
        auto map = make<Map>();
        for (uint64_t n = next(3); n > 0; --n) map->set(S(("m" + std::to_string(next(3))).c_str()), value(depth - 1));
        return map;
      }
    }
  }

  template <class C> void gather(C& object, const std::string& owner, Places& places) {
    uint32_t index = 0;
    std::apply([&](auto... field) { (changes(object.*field, owner + " " + std::to_string(index++), places), ...); },
               ResultFields<C>::compared);
  }
  void changes(Ref<String>& f, const std::string& name, Places& places) {
    places.push_back({name, [&f] { f = !f ? S("") : S((str(f) + "x").c_str()); }});
    if (f) places.push_back({name + " dropped", [&f] { f = nullptr; }});
  }
  template <class I, class = std::enable_if_t<std::is_integral_v<I>>>
  void changes(I& f, const std::string& name, Places& places) {
    places.push_back({name, [&f] { f = I(f + 1); }});
  }
  void changes(double& f, const std::string& name, Places& places) {
    places.push_back({name, [&f] { f = std::nextafter(f, 1e9); }});
  }
  void changes(Ref<Machine>&, const std::string&, Places&) {}  // its fields are gathered on their own
  void changes(Ref<Map>& f, const std::string& name, Places& places) {
    places.push_back({name + " member added", [&f] { (f = f->copy())->set("added", Number::withI64(0)); }});
    for (uint32_t i = 0; i < f->count(); ++i) {
      places.push_back({name + " member changed",
                        [&f, i] { Ref<Object> k = f->_keyAt(i); (f = f->copy())->set(k, S("~")); }});
      places.push_back({name + " member dropped",
                        [&f, i] { Ref<Object> k = f->_keyAt(i); (f = f->copy())->remove(k); }});
    }
  }
  // Samples, or the runs of a contribution.
  void changes(Ref<Array>& f, const std::string& name, Places& places) {
    const bool runs = f->count() > 0 && cast<quorl::Run>(f->get(0));
    if (runs) {
      places.push_back({name + " run dropped", [&f] { f = f->subarray(1, f->count() - 1); }});
      places.push_back({name + " run twice", [&f] { f = f->adding(f->get(0)); }});
      return;
    }
    places.push_back({name + " sample added", [&f] { f = f->adding(Number::withI64(0)); }});
    for (uint32_t i = 0; i < f->count(); ++i) {
      places.push_back({name + " sample dropped", [&f, i] { (f = f->copy())->removeAt(i); }});
      // Another value, or the same value of another kind (5 and 5.0).
      places.push_back({name + " sample changed", [&f, i, this] {
                          Ref<Object> old = f->get(i);
                          auto* n = dynamic_cast<const Number*>(old.get());
                          Ref<Object> other = !n ? Ref<Object>(Number::withI64(0))
                                              : n->isDouble() || n->isBool() || next(2)
                                                  ? Ref<Object>(Number::withI64(n->integerValue() + 1))
                                                  : Ref<Object>(Number::withDouble(double(n->integerValue())));
                          (f = f->copy())->set(i, other);
                        }});
    }
  }

  std::mt19937_64 rng_;
};

// The bytes of C past its Object part that no listed field holds (alignment padding aside).
template <class C> std::string unlisted() {
  C object;
  const char* base = reinterpret_cast<const char*>(&object);
  size_t end = sizeof(Object);
  std::vector<std::tuple<size_t, size_t, size_t>> fields;  // start, size, alignment
  auto note = [&](auto field) {
    using F = std::remove_reference_t<decltype(object.*field)>;
    fields.emplace_back(reinterpret_cast<const char*>(&(object.*field)) - base, sizeof(F), alignof(F));
  };
  std::apply([&](auto... field) { (note(field), ...); }, ResultFields<C>::compared);
  std::apply([&](auto... field) { (note(field), ...); }, ResultFields<C>::leftOut);
  std::sort(fields.begin(), fields.end());
  std::string out;
  for (const auto& [at, size, align] : fields) {
    if (at > end && at - end >= align) out += "bytes " + std::to_string(end) + "-" + std::to_string(at) + " ";
    end = std::max(end, at + size);
  }
  if (sizeof(C) - end >= alignof(C)) out += "bytes " + std::to_string(end) + "-" + std::to_string(sizeof(C));
  return out;
}

}  // namespace

// Every field of a machine, run and contribution is compared or left out on purpose.
TEST(ContributionSameResults, EveryFieldIsListed) {
  EXPECT_EQ(unlisted<Machine>(), "");
  EXPECT_EQ(unlisted<quorl::Run>(), "");
  EXPECT_EQ(unlisted<Contribution>(), "");
  // Only the source, the loaders' marks of what they left out and the count
  // of the samples (compared themselves) do not count.
  EXPECT_EQ(ResultFields<Machine>::leftOut, std::make_tuple());
  EXPECT_EQ(ResultFields<quorl::Run>::leftOut, std::make_tuple(&quorl::Run::impossibleTimes, &quorl::Run::timedSamples));
  EXPECT_EQ(ResultFields<Contribution>::leftOut, std::make_tuple(&Contribution::source, &Contribution::impossibleTimes,
                                                                 &Contribution::runsWithoutTime));
}

// Twins are the same results, held once; one compared field changed makes
// two result sets with different hashes (a blind hash would bucket them all).
TEST(ContributionSameResults, OneFieldChangedIsAnotherResultSet) {
  const uint64_t rounds = test::rounds(3000);
  std::set<std::string> changed;  // "run 7": the classes and fields changed
  for (uint64_t seed = 1; seed <= rounds; ++seed) {
    ResultSetMaker first(seed), second(seed);
    Ref<Contribution> a = first.contribution(), b = second.contribution();
    ASSERT_NE(a->runs, b->runs);
    ASSERT_TRUE(a->sameResults(*b)) << "seed " << seed;
    ASSERT_EQ(a->resultsHash(), b->resultsHash()) << "seed " << seed;
    DataSet set;
    DataSet::Merged merged = set.merge(Array::withCapacity(0)->adding(a)->adding(b));
    ASSERT_EQ(set.contributions().count(), 1u);
    ASSERT_EQ(merged.matched->count(), 1u);
    EXPECT_EQ(merged.matched->get(0), a);
    EXPECT_EQ(merged.runsMatched, b->runs->count());

    const std::string place = second.change(*b);
    changed.insert(place.substr(0, place.find(' ', place.find(' ') + 1)));
    ASSERT_FALSE(a->sameResults(*b)) << "seed " << seed << ": " << place;
    ASSERT_FALSE(b->sameResults(*a)) << "seed " << seed << ": " << place;
    ASSERT_NE(a->resultsHash(), b->resultsHash()) << "seed " << seed << ": " << place;
    merged = set.merge(Array::withCapacity(0)->adding(b));
    ASSERT_EQ(set.contributions().count(), 2u) << "seed " << seed << ": " << place;
    EXPECT_EQ(merged.runsAdded, b->runs->count());
  }
  // Every field of every class was changed (the machine through its own fields).
  const size_t fields = std::tuple_size_v<std::remove_const_t<decltype(ResultFields<Contribution>::compared)>> - 1 +
                        std::tuple_size_v<std::remove_const_t<decltype(ResultFields<Machine>::compared)>> +
                        std::tuple_size_v<std::remove_const_t<decltype(ResultFields<quorl::Run>::compared)>>;
  EXPECT_EQ(changed.size(), fields);
}
