// run.py and par results documents.
#include <gtest/gtest.h>

#include <new>

#include "BenchTestSupport.h"
#include "Rounds.h"
#include "foundation/JSON.h"
#include "foundation/Pool.h"

using namespace quorl;
using namespace quorl::benchtest;

namespace {

// "benchmark/target/device/opt/arch=best" per run, joined by " ", with
// "+first" for a first time and "#N" for N samples other than one.
std::string runsOf(const Ref<Contribution>& c) {
  std::string out;
  for (uint32_t i = 0; i < c->runs->count(); ++i) {
    auto r = runAt(c, i);
    if (!out.empty()) out += " ";
    out += str(r->benchmark) + "/" + str(r->target) + "/" + str(r->device) + "/" + str(r->opt) + "/" +
           str(r->arch) + "=" + std::to_string(r->best_us);
    if (r->first_us) out += "+" + std::to_string(r->first_us);
    if (r->samples->count() != 1) out += "#" + std::to_string(r->samples->count());
  }
  return out;
}

Ref<Map> parse(const char* json) { return cast<Map>(JSON::parse(S(json))); }

}  // namespace

TEST(RunPyResults, SplitsByArchitecture) {
  auto list = load(
      R"({"version":"v0.74","platform":"arm64","repeats":5,"net":{"int_accum":{"O3":{"quorl":1.2,"cpp":1.3,"cpp_x86_64":0.9}}}})");
  ASSERT_EQ(list->count(), 2u);
  auto arm = contributionAt(list, 0), x86 = contributionAt(list, 1);
  EXPECT_EQ(str(arm->id), "v0.74 arm64");
  EXPECT_EQ(str(x86->id), "v0.74 x86_64");
  EXPECT_EQ(runsOf(arm), "int_accum/quorl/cpu/O3/arm64=1200000 int_accum/cpp/cpu/O3/arm64=1300000");
  EXPECT_EQ(runsOf(x86), "int_accum/cpp/cpu/O3/x86_64=900000");
  EXPECT_EQ(totalRuns(list), 3u);
  for (auto c : {arm, x86}) {
    EXPECT_EQ(str(c->schema), "run.py");
    EXPECT_EQ(c->collected, nullptr);
    EXPECT_EQ(c->repeats, 5);
    EXPECT_EQ(str(c->machine->os), "v0.74");
    EXPECT_EQ(str(c->machine->arch), str(c->machine->cpu));
    EXPECT_EQ(c->machine->gpu, nullptr);
    EXPECT_EQ(c->toolchains->count(), 0u);
  }
  EXPECT_EQ(str(x86->machine->cpu), "x86_64");
  auto run = runAt(arm, 1);
  EXPECT_EQ(str(run->suite), "langs");
  EXPECT_EQ(paramText(run->params), "lang=cpp,opt=O3,arch=arm64");
  EXPECT_EQ(paramText(runAt(x86, 0)->params), "lang=cpp,opt=O3,arch=x86_64");
  EXPECT_EQ(str(run->checksum), "");
  EXPECT_EQ(run->first_us, 0);
  ASSERT_EQ(run->samples->count(), 1u);
  EXPECT_EQ(cast<Number>(run->samples->get(0))->integerValue(), 1300000);
  EXPECT_EQ(run->mean, 1300000);
  EXPECT_EQ(run->stddev, 0);
}

// Every reader spends from the document's one budget at least what the pool
// gives it, less than twice that, before it makes it: the exact amount is
// enough, a byte less refuses; a run of a run.py number spends a share more.
TEST(LoadBudget, EveryReaderSpendsWhatItMakes) {
  const auto list = [](std::string text, const std::string& element, int count, const char* close) {
    for (int i = 0; i < count; ++i) {  // "#" in an element is its number
      std::string e = (i ? "," : "") + element;
      for (size_t at; (at = e.find('#')) != std::string::npos;) e.replace(at, 1, std::to_string(i));
      text += e;
    }
    return text + close;
  };
  // The pool's count needs many objects to be measured against; the sanitized build, which has none, checks
  // the budget's exact amount on a tenth of them.
  const int n = test::rounds(12000);
  const uint32_t n2 = uint32_t(2 * n), n4 = uint32_t(4 * n);
  const std::string runPy = list(R"({"platform":"arm64","raw":{"b":{"O2":{)", R"("c#":1.5,"c#_x86_64":2)", n, "}}}}");
  const struct {
    const char* name;
    std::string text;
    uint32_t runs;
    uint32_t perObjectShares;  // runs made of run.py numbers
  } cases[] = {
      {"run.py entries", runPy, n2, n2},
      {"par devices", list(R"({"b":{"mac":{"checksum":"x",)", R"("d#":{"best_us":5})", 2 * n, "}}}"), n2, 0},
      {"contribution runs", list(R"({"schema":"quorl-bench/1","runs":[)", R"({"best_us":#})", 4 * n, "]}"), n4, 0},
      {"empty contributions", list("[", "{}", 4 * n, "]"), 0, 0},
      {"published run.py files", R"({"contributions":[],"published":[)" + runPy + "," + runPy + "]}", n4, n4},
  };
  constexpr uint32_t kShare = 100;
  for (const auto& k : cases) {
    Ref<Object> document = JSON::parse(S(k.text.c_str()));
    JSON::Budget budget{UINT64_MAX, kShare};
    pool::trim();
    const size_t before = pool::stats().mappedBytes;
    Ref<Array> loaded = Contribution::loadObject(document, S("f"), &budget);
    const double made = double(pool::stats().mappedBytes - before);
    EXPECT_EQ(totalRuns(loaded), k.runs) << k.name;
    if (before) {  // the pool's own count: none in sanitized builds
      EXPECT_GE(double(budget.spent), made) << k.name;
      EXPECT_LT(double(budget.spent), 2 * made) << k.name;
    }
    JSON::Budget noShare;
    Contribution::loadObject(document, S("f"), &noShare);
    EXPECT_EQ(budget.spent - noShare.spent, uint64_t(k.perObjectShares) * kShare) << k.name;
    JSON::Budget exact{budget.spent, kShare};
    EXPECT_EQ(totalRuns(Contribution::loadObject(document, S("f"), &exact)), k.runs) << k.name;
    EXPECT_EQ(exact.spent, budget.spent) << k.name;
    JSON::Budget tooSmall{budget.spent - 1, kShare};
    EXPECT_THROW(Contribution::loadObject(document, S("f"), &tooSmall), std::bad_alloc) << k.name;
  }
}

TEST(RunPyResults, SecondsToMicroseconds) {
  // An impossible time is the run's only one: the run is left out and
  // counted, its result set stays.
  enum Made { none, run, leftOut };
  struct Case {
    const char* seconds;
    Made made;
    int64_t us;
  } cases[] = {
      {"0.0000004", run, 0},   {"0.0000005", run, 1},   {"2", run, 2000000},     {"1.2", run, 1200000},
      {"0", run, 0},           {"-0.0", run, 0},        {"-0.0000004", leftOut, 0}, {"-1", leftOut, 0},
      {"1e300", leftOut, 0},   {"1e400", leftOut, 0},   {"-1e300", leftOut, 0},
      {"9007199254.740992", run, 9007199254740992},  // 2^53 us, the longest time
      {"9007199254.741", leftOut, 0}, {"9223372036854", leftOut, 0}, {"true", run, 1000000},
      {"\"1\"", none, 0},      {"null", none, 0},       {"{}", none, 0},
  };
  for (const auto& c : cases) {
    std::string json = std::string(R"({"platform":"p","net":{"b":{"O3":{"quorl":)") + c.seconds + "}}}}";
    auto list = load(json.c_str());
    SCOPED_TRACE(c.seconds);
    if (c.made == none) {
      EXPECT_EQ(list->count(), 0u);
      continue;
    }
    ASSERT_EQ(list->count(), 1u);
    Ref<Contribution> contribution = contributionAt(list, 0);
    EXPECT_EQ(contribution->runsWithoutTime, c.made == leftOut ? 1u : 0u);
    EXPECT_EQ(contribution->impossibleTimes, 0u);
    ASSERT_EQ(contribution->runs->count(), c.made == run ? 1u : 0u);
    if (c.made == run) EXPECT_EQ(runAt(contribution, 0)->best_us, c.us);
  }
}

TEST(RunPyResults, NetRawAndDefaults) {
  struct Case {
    const char* name;
    const char* json;
    const char* ids;   // contribution ids joined by ","
    const char* runs;  // runsOf each contribution joined by " | "
  } cases[] = {
      {"net preferred", R"({"version":"v","platform":"p","net":{"a":{"O3":{"quorl":1}}},"raw":{"b":{"O3":{"quorl":2}}}})",
       "v p", "a/quorl/cpu/O3/p=1000000"},
      {"raw when net is an array", R"({"platform":"p","net":[1],"raw":{"b":{"O3":{"quorl":2}}}})", "p",
       "b/quorl/cpu/O3/p=2000000"},
      {"no platform", R"({"net":{"a":{"O1":{"swift":0.5}}}})", "unknown", "a/swift/cpu/O1/unknown=500000"},
      {"platform of another type", R"({"platform":{"x":1},"net":{"a":{"O1":{"swift":0.5}}}})", "unknown",
       "a/swift/cpu/O1/unknown=500000"},
      {"platform a number", R"({"platform":64,"version":7,"net":{"a":{"O1":{"go":1}}}})", "7 64", "a/go/cpu/O1/64=1000000"},
      {"baseline carries no runs but adds its architecture",
       R"({"platform":"arm64","net":{"Baseline":{"O3":{"quorl_x86_64":1,"quorl":1}},"a":{"O3":{"quorl":3}}}})",
       "arm64", "a/quorl/cpu/O3/arm64=3000000"},
      {"architecture order of first appearance",
       R"({"platform":"arm64","net":{"a":{"O3":{"c_x86_64":1,"quorl":2}},"b":{"O2":{"quorl_x86_64":3}}}})",
       "x86_64,arm64", "a/c/cpu/O3/x86_64=1000000 b/quorl/cpu/O2/x86_64=3000000 | a/quorl/cpu/O3/arm64=2000000"},
      {"platform spelt X86_64 joins the suffixed keys",
       R"({"platform":"X86_64","net":{"a":{"O3":{"quorl":1,"cpp_x86_64":2}}}})", "X86_64",
       "a/quorl/cpu/O3/X86_64=1000000 a/cpp/cpu/O3/X86_64=2000000"},
      {"suffix is case-sensitive", R"({"platform":"p","net":{"a":{"O3":{"cpp_X86_64":1}}}})", "p",
       "a/cpp_X86_64/cpu/O3/p=1000000"},
      {"values that are not objects skipped",
       R"({"platform":"p","net":{"x":1,"a":{"O2":[1],"O3":{"quorl":1,"bad":"2","n":null}},"y":[]}})", "p",
       "a/quorl/cpu/O3/p=1000000"},
      {"opt and benchmark keep document order",
       R"({"platform":"p","net":{"z":{"O3":{"q":1},"O1":{"q":2}},"a":{"O2":{"q":3}}}})", "p",
       "z/q/cpu/O3/p=1000000 z/q/cpu/O1/p=2000000 a/q/cpu/O2/p=3000000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto list = load(c.json);
    std::string ids, runs;
    for (uint32_t i = 0; i < list->count(); ++i) {
      ids += (i ? "," : "") + str(contributionAt(list, i)->id);
      runs += (i ? " | " : "") + runsOf(contributionAt(list, i));
    }
    EXPECT_EQ(ids, c.ids);
    EXPECT_EQ(runs, c.runs);
  }
}

TEST(RunPyResults, LangArchAndTarget) {
  auto platform = S("arm64");
  struct Case {
    const char *key, *arch, *target;
  } cases[] = {
      {"cpp_x86_64", "x86_64", "cpp"}, {"cpp", "arm64", "cpp"},           {"_x86_64", "x86_64", ""},
      {"x86_64", "arm64", "x86_64"},   {"cpp_X86_64", "arm64", "cpp_X86_64"}, {"a_x86_64_", "arm64", "a_x86_64_"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(str(Contribution::langArch(S(c.key), platform)), c.arch);
    EXPECT_EQ(str(Contribution::langTarget(S(c.key))), c.target);
  }
  auto key = S("cpp");
  EXPECT_EQ(Contribution::langArch(key, platform), platform);  // shared
  EXPECT_EQ(Contribution::langTarget(key), key);
}

TEST(ParResults, Example) {
  auto list = load(
      R"({"nbody":{"linux":{"checksum":"42","gpu":{"best_us":1051,"first_us":202245},"cpu":{"best_us":66500,"first_us":67000}}}})");
  ASSERT_EQ(list->count(), 1u);
  auto c = contributionAt(list, 0);
  EXPECT_EQ(str(c->schema), "par.py");
  EXPECT_EQ(str(c->id), "linux");
  EXPECT_EQ(str(c->machine->cpu), "Linux (x86-64)");
  EXPECT_EQ(str(c->machine->os), "Linux (x86-64)");
  EXPECT_EQ(str(c->machine->arch), "linux");
  EXPECT_EQ(c->machine->label()->view(), "Linux (x86-64)");
  EXPECT_EQ(c->repeats, 0);
  EXPECT_EQ(runsOf(c), "nbody/quorl/gpu/O3/linux=1051+202245 nbody/quorl/cpu/O3/linux=66500+67000");
  auto gpu = runAt(c, 0), cpu = runAt(c, 1);
  EXPECT_EQ(gpu->first_us, 202245);
  EXPECT_EQ(cpu->first_us, 67000);
  for (auto r : {gpu, cpu}) {
    EXPECT_EQ(str(r->suite), "par");
    EXPECT_EQ(str(r->checksum), "42");
    EXPECT_EQ(r->mean, r->best_us);
    EXPECT_EQ(r->stddev, 0);
    ASSERT_EQ(r->samples->count(), 1u);
  }
  EXPECT_EQ(paramText(gpu->params), "QUORL_PAR=gpu,opt=O3");
  EXPECT_EQ(paramText(cpu->params), "QUORL_PAR=cpu,opt=O3");
}

TEST(ParResults, PlatformsDevicesAndChecksums) {
  struct Case {
    const char* name;
    const char* json;
    const char* ids;
    const char* runs;
  } cases[] = {
      {"platform case differs: first spelling, exact lookups",
       R"({"a":{"linux":{"checksum":"1","cpu":{"best_us":1}}},"b":{"Linux":{"checksum":"2","cpu":{"best_us":2}}}})",
       "linux", "a/quorl/cpu/O3/linux=1"},
      {"platforms in order of first appearance, any value",
       R"({"a":{"mac":7,"checksum_only":{"checksum":"x"}},"b":{"browser":{"checksum":"1","serial":{"best_us":4}},"mac":{"checksum":"1","gpu":{"best_us":5}}}})",
       "mac,browser", "b/quorl/gpu/O3/mac=5 | b/quorl/serial/O3/browser=4"},
      {"CHECKSUM in capitals is never a device",
       R"({"a":{"p":{"checksum":"1","CHECKSUM":{"best_us":9},"Checksum":{},"cpu":{"best_us":3}}}})", "p",
       "a/quorl/cpu/O3/p=3"},
      // A device without a best time has no sample either ("#0"), rather
      // than one of 0: it has no best time to show.
      {"device values that are not objects", R"({"a":{"p":{"checksum":"1","cpu":5,"gpu":[],"auto":{}}}})", "p",
       "a/quorl/auto/O3/p=0#0"},
      {"times of other types", R"({"a":{"p":{"checksum":"1","cpu":{"best_us":"5","first_us":2.9}}}})", "p",
       "a/quorl/cpu/O3/p=0+2#0"},
      {"benchmarks that are not objects", R"({"x":3,"a":{"p":{"checksum":null,"cpu":{}}},"y":"z"})", "p",
       "a/quorl/cpu/O3/p=0#0"},
      // "~T/R": T impossible times left out of runs that stay, R devices left
      // out with no time at all; 0 stays. A best time left out takes its
      // sample with it, and the first time then shows.
      {"impossible times are left out",
       R"({"a":{"p":{"checksum":"1","cpu":{"best_us":-4},"gpu":{"best_us":3,"first_us":1e400},"serial":{"best_us":0},)"
       R"("vulkan":{"best_us":18446744073709551615,"first_us":6},"auto":{"best_us":1e308,"first_us":-2}}}})",
       "p~2/2", "a/quorl/gpu/O3/p=3 a/quorl/serial/O3/p=0 a/quorl/vulkan/O3/p=0+6#0"},
      {"a platform of impossible times only stays", R"({"a":{"p":{"checksum":"1","cpu":{"first_us":-1}}}})", "p~0/1",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto list = load(c.json);
    std::string ids, runs;
    for (uint32_t i = 0; i < list->count(); ++i) {
      ids += (i ? "," : "") + str(contributionAt(list, i)->id);
      const Contribution& c = *contributionAt(list, i);
      if (c.impossibleTimes + c.runsWithoutTime > 0)
        ids += "~" + std::to_string(c.impossibleTimes) + "/" + std::to_string(c.runsWithoutTime);
      runs += (i ? " | " : "") + runsOf(contributionAt(list, i));
    }
    EXPECT_EQ(ids, c.ids);
    EXPECT_EQ(runs, c.runs);
  }
}

TEST(ParResults, ChecksumText) {
  struct Case {
    const char *value, *checksum;
  } cases[] = {{"\"42\"", "42"}, {"42", "42"}, {"1.5", "1.500000"}, {"null", ""}, {"[1]", ""}, {"false", "false"}};
  for (const auto& c : cases) {
    std::string json = std::string(R"({"a":{"p":{"checksum":)") + c.value + R"(,"cpu":{"best_us":1}}}})";
    auto list = load(json.c_str());
    ASSERT_EQ(list->count(), 1u) << c.value;
    EXPECT_EQ(str(runAt(contributionAt(list, 0), 0)->checksum), c.checksum) << c.value;
  }
  // Only the exact key carries the checksum; without it the text is empty.
  auto list = load(R"({"a":{"p":{"checksum":null,"Checksum":"9","cpu":{}}},"b":{"p":{"checksum":"1","cpu":{}}}})");
  ASSERT_EQ(list->count(), 1u);
  EXPECT_EQ(str(runAt(contributionAt(list, 0), 0)->checksum), "");
  EXPECT_EQ(str(runAt(contributionAt(list, 0), 1)->checksum), "1");
}

TEST(ParResults, MachineNames) {
  struct Case {
    const char *platform, *name;
  } cases[] = {{"mac", "macOS (arm64)"},       {"MAC", "macOS (arm64)"},          {"linux", "Linux (x86-64)"},
               {"Windows", "Windows (x86-64)"}, {"browser", "Chrome (wasm32)"},     {"freebsd", "freebsd"},
               {"", ""}};
  for (const auto& c : cases) EXPECT_EQ(str(Contribution::parMachineName(S(c.platform))), c.name) << c.platform;
  auto other = S("haiku");
  EXPECT_EQ(Contribution::parMachineName(other), other);
}

TEST(ParResults, Parameters) {
  struct Case {
    const char *device, *params;
  } cases[] = {
      {"serial", "QUORL_PAR=cpu,QUORL_PAR_THREADS=1,opt=O3"},
      {"SERIAL", "QUORL_PAR=cpu,QUORL_PAR_THREADS=1,opt=O3"},
      {"cpu", "QUORL_PAR=cpu,opt=O3"},
      {"gpu", "QUORL_PAR=gpu,opt=O3"},
      {"Gpu", "QUORL_PAR=gpu,opt=O3"},
      {"vulkan", "QUORL_PAR=gpu,QUORL_PAR_GPU=vulkan,opt=O3"},
      {"auto", "opt=O3"},
      {"", "opt=O3"},
      {nullptr, "opt=O3"},
  };
  for (const auto& c : cases) EXPECT_EQ(paramText(Contribution::paramsPar(S(c.device))), c.params);
}

TEST(ParResults, LooksPar) {
  struct Case {
    const char* json;
    bool par;
  } cases[] = {
      {R"({"a":{"p":{"checksum":"1"}}})", true},
      {R"({"a":{"p":{"checksum":null}}})", true},
      {R"({"a":{"p":{"cpu":{}}}})", false},
      {R"({"a":{"p":{"CHECKSUM":"1"}}})", false},
      {R"({"a":{"checksum":"1"}})", false},
      {R"({"a":[{"checksum":"1"}],"b":{"p":[]}})", false},
      {R"({"a":{"p":{}},"b":{"q":{"x":1,"checksum":0}}})", true},
      {R"({})", false},
  };
  for (const auto& c : cases) EXPECT_EQ(Contribution::looksPar(parse(c.json)), c.par) << c.json;
  EXPECT_FALSE(Contribution::looksPar(nullptr));
}
