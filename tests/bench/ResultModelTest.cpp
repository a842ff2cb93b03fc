// Machine, Run (statistics, value, GPU test), DataSet and the descriptions.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "BenchTestSupport.h"
#include "foundation/Null.h"

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

  // A single numeric sample among others has no spread.
  auto one = make<Array>();
  one->add(S("x"));
  one->add(Number::withI64(7));
  EXPECT_EQ(runWith(one)->mean, 7.0);
  EXPECT_EQ(runWith(one)->stddev, 0.0);
}

TEST(RunValue, Table) {
  struct Case {
    bool first;
    int64_t first_us, best_us;
    double mean, expected;
  } cases[] = {
      {true, 0, 0, 7.5, 7.5},   {true, -3, 10, 7.5, 10}, {true, 20, 10, 7.5, 20},   {false, 20, 10, 7.5, 10},
      {false, 20, 0, 7.5, 7.5}, {false, 0, -1, 7.5, 7.5}, {true, 1, 0, 7.5, 1},
  };
  for (const auto& c : cases) {
    quorl::Run run;
    run.first_us = c.first_us;
    run.best_us = c.best_us;
    run.mean = c.mean;
    EXPECT_EQ(run.value(c.first), c.expected) << c.first << " " << c.first_us << " " << c.best_us;
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
