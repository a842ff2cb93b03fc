// Contribution documents, the corpus and the dispatcher of loadText.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <set>

#include "BenchTestSupport.h"
#include "Rounds.h"
#include "ThisProgram.h"

using namespace quorl;
using namespace quorl::benchtest;

namespace {

// "schema|source|runs" per contribution, joined by "; ".
std::string summary(const Ref<Array>& list) {
  std::string out;
  for (uint32_t i = 0; i < list->count(); ++i) {
    auto c = contributionAt(list, i);
    if (!out.empty()) out += "; ";
    out += str(c->schema) + "|" + str(c->source) + "|" + std::to_string(c->runs->count());
  }
  return out;
}

const char* kRunPy = R"({"version":"v1","platform":"arm64","net":{"b":{"O3":{"quorl":1.0,"cpp_x86_64":2.0}}}})";

}  // namespace

TEST(ContributionLoadText, DispatchRules) {
  struct Case {
    const char* name;
    const char* json;  // nullptr: a null text
    const char* expected;
  } cases[] = {
      {"null text", nullptr, ""},
      {"empty text", "", ""},
      {"not JSON", "{\"schema\":", ""},
      {"trailing garbage", "{\"schema\":\"quorl-bench/1\"} x", ""},
      {"top-level number", "42", ""},
      {"top-level string", "\"quorl-bench/1\"", ""},
      {"top-level null", "null", ""},
      {"top-level true", "true", ""},
      {"empty array", "[]", ""},
      {"array: objects only, no schema test", R"([{"id":"a"},{"schema":"other","runs":[{}]},3,"x",null,[[]]])",
       "<null>|src|0; other|src|1"},
      {"array of two contributions and a number",
       R"([{"schema":"quorl-bench/1"},{"schema":"quorl-bench/1"},7])", "quorl-bench/1|src|0; quorl-bench/1|src|0"},
      {"contribution", R"({"schema":"quorl-bench/1","runs":[{},{}]})", "quorl-bench/1|src|2"},
      {"schema in capitals", R"({"schema":"QUORL-BENCH/1"})", "QUORL-BENCH/1|src|0"},
      {"another schema", R"({"schema":"quorl-bench/2","runs":[{}]})", ""},
      {"schema of another type", R"({"schema":["quorl-bench/1"],"runs":[{}]})", ""},
      {"schema a number", R"({"schema":1,"runs":[{}]})", ""},
      {"no schema is not a contribution", R"({"id":"x","runs":[{"benchmark":"b"}]})", ""},
      {"empty object", "{}", ""},
      {"null schema", R"({"schema":null,"runs":[{}]})", ""},
      {"schema wins over net", R"({"schema":"quorl-bench/1","net":{"b":{"O3":{"quorl":1}}}})", "quorl-bench/1|src|0"},
      {"run.py", kRunPy, "run.py|src|1; run.py|src|1"},
      {"run.py despite another schema",
       R"({"schema":"other","net":{"b":{"O3":{"quorl":1}}}})", "run.py|src|1"},
      {"run.py from raw when net is no object", R"({"net":[1],"raw":{"b":{"O3":{"quorl":1}}}})", "run.py|src|1"},
      {"neither net nor raw an object", R"({"net":[1],"raw":"x"})", ""},
      {"run.py with no numeric time", R"({"net":{"b":{"O3":{"quorl":"1"}}}})", ""},
      {"par", R"({"nbody":{"linux":{"checksum":"42","cpu":{"best_us":5}}}})", "par.py|src|1"},
      {"par despite another schema", R"({"schema":"x","nbody":{"linux":{"checksum":null,"cpu":{}}}})",
       "par.py|src|1"},
      {"par without devices", R"({"nbody":{"linux":{"checksum":"42","cpu":3}}})", ""},
      {"no checksum is not par", R"({"nbody":{"linux":{"cpu":{"best_us":5}}}})", ""},
      {"corpus", R"({"contributions":[{"schema":"x"},1,{"runs":[{},{},{}]}]})", "x|src|0; <null>|src|3"},
      {"corpus with published",
       R"({"contributions":[{"schema":"quorl-bench/1"}],"published":[{"schema":"quorl-bench/1","runs":[{}]},"s",7,null,)"
       R"({"net":{"b":{"O3":{"quorl":1}}}},{"nbody":{"mac":{"checksum":"1","gpu":{"best_us":9}}}},[{"id":"inner"}]]})",
       "quorl-bench/1|src|0; quorl-bench/1|published|1; run.py|published|1; par.py|published|1; <null>|published|0"},
      {"published inside published",
       R"({"contributions":[],"published":[{"contributions":[{"id":"a"}],"published":[{"schema":"quorl-bench/1"}]}]})",
       "<null>|published|0; quorl-bench/1|published|0"},
      {"published that is no array", R"({"contributions":[{"id":"a"}],"published":{"schema":"quorl-bench/1"}})",
       "<null>|src|0"},
      {"contributions no array: not a corpus",
       R"({"contributions":{"a":1},"published":[{"schema":"quorl-bench/1"}],"schema":"quorl-bench/1"})",
       "quorl-bench/1|src|0"},
      {"contributions no array, nothing else", R"({"contributions":null,"published":[{"schema":"quorl-bench/1"}]})",
       ""},
      {"corpus wins over schema", R"({"schema":"quorl-bench/1","contributions":[],"runs":[{}]})", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto list = Contribution::loadText(c.json ? S(c.json) : nullptr, S("src"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(summary(list), c.expected);
  }
}

TEST(ContributionLoadText, SourceAndRootAreShared) {
  auto source = S("/home/me/result.json");
  auto list = Contribution::loadText(S(kRunPy), source);
  ASSERT_EQ(list->count(), 2u);
  EXPECT_EQ(contributionAt(list, 0)->source, source);
  EXPECT_EQ(contributionAt(list, 1)->source, source);
  EXPECT_NE(contributionAt(list, 0)->root, nullptr);
  EXPECT_EQ(contributionAt(list, 0)->root, contributionAt(list, 1)->root);
}

TEST(ContributionFromRoot, CorpusExample) {
  auto list = load(
      R"({"contributions":[{"schema":"quorl-bench/1","machine":{"cpu":"Test"},"runs":[{"suite":"langs",)"
      R"("benchmark":"b","target":"quorl","device":"cpu","opt":"O3","samples_us":[1,2,3],"best_us":1}]}]})",
      "corpus");
  ASSERT_EQ(list->count(), 1u);
  auto c = contributionAt(list, 0);
  EXPECT_EQ(str(c->source), "corpus");
  EXPECT_EQ(str(c->machine->cpu), "Test");
  EXPECT_EQ(c->machine->gpu, nullptr);
  ASSERT_EQ(c->runs->count(), 1u);
  auto run = runAt(c, 0);
  EXPECT_EQ(str(run->suite), "langs");
  EXPECT_EQ(str(run->benchmark), "b");
  EXPECT_EQ(str(run->target), "quorl");
  EXPECT_EQ(str(run->device), "cpu");
  EXPECT_EQ(str(run->opt), "O3");
  EXPECT_EQ(run->arch, nullptr);
  EXPECT_EQ(run->checksum, nullptr);
  EXPECT_EQ(run->best_us, 1);
  EXPECT_EQ(run->first_us, 0);
  EXPECT_EQ(run->mean, 2);
  EXPECT_NEAR(run->stddev, 0.8165, 1e-4);
}

TEST(ContributionFromRoot, MembersOfEveryTypeFallBack) {
  auto list = load(R"({"schema":"quorl-bench/1","id":17,"collected":1.5,"repeats":4294967297,
    "machine":{"os":true,"arch":null,"cpu":["x"],"gpu":{"a":1},"gpu_driver":"550.78","memory_mb":8192.7},
    "toolchains":{"quorl":"0.74","nested":{"x":[1]}},
    "runs":[{"suite":false,"benchmark":12.25,"target":"quorl","device":null,"opt":{},"arch":[],"checksum":42,
             "best_us":"12","first_us":3.9,"params":[1,2],"samples_us":{"0":1}},
            3, "run", null, [],
            {"best_us":null,"first_us":true,"params":{"k":"v"},"samples_us":[1,"x",null]}]})");
  ASSERT_EQ(list->count(), 1u);
  auto c = contributionAt(list, 0);
  EXPECT_EQ(str(c->id), "17");
  EXPECT_EQ(str(c->collected), "1.500000");
  EXPECT_EQ(c->repeats, 1);  // low 32 bits
  EXPECT_EQ(str(c->machine->os), "true");
  EXPECT_EQ(c->machine->arch, nullptr);
  EXPECT_EQ(c->machine->cpu, nullptr);
  EXPECT_EQ(c->machine->gpu, nullptr);
  EXPECT_EQ(str(c->machine->gpu_driver), "550.78");
  EXPECT_EQ(c->machine->memory_mb, 8192);
  EXPECT_EQ(c->toolchains, c->root->get("toolchains"));  // shared, not looked into
  ASSERT_EQ(c->runs->count(), 2u);

  auto a = runAt(c, 0);
  EXPECT_EQ(str(a->suite), "false");
  EXPECT_EQ(str(a->benchmark), "12.250000");
  EXPECT_EQ(a->device, nullptr);
  EXPECT_EQ(a->opt, nullptr);
  EXPECT_EQ(a->arch, nullptr);
  EXPECT_EQ(str(a->checksum), "42");
  EXPECT_EQ(a->best_us, 0);
  EXPECT_EQ(a->first_us, 3);  // truncated
  EXPECT_EQ(a->params->count(), 0u);
  EXPECT_EQ(a->samples->count(), 0u);
  EXPECT_EQ(a->mean, 0);

  auto b = runAt(c, 1);
  EXPECT_EQ(b->best_us, 0);
  EXPECT_EQ(b->first_us, 1);
  EXPECT_EQ(str(cast<String>(b->params->get("k"))), "v");
  ASSERT_EQ(b->samples->count(), 3u);  // kept as read
  EXPECT_EQ(b->mean, 1);
  EXPECT_EQ(b->stddev, 0);
}

// An impossible time (negative, 2^64 - 1, 2^53 + 1, overflow) is left out
// and counted; the run goes only when no time is left; the order stays.
TEST(ContributionFromRoot, ImpossibleTimesAreLeftOut) {
  struct Case {
    const char* members;
    // run b: "best/first [samples] value with the first run, value without", or "gone"
    const char* shown;
    uint32_t times, runs;  // left out
  } cases[] = {
      {R"("samples_us":[0],"best_us":0,"first_us":0)", "0/0 [0] 0 0", 0, 0},
      {R"("samples_us":[9007199254740992])", "0/0 [9007199254740992] 9.0072e+15 9.0072e+15", 0, 0},
      {R"("samples_us":[1.5,"x",null,{}])", "0/0 [1,x,x,x] 1 1", 0, 0},
      {R"("samples_us":[-150])", "gone", 0, 1},
      {R"("samples_us":[5,-400])", "0/0 [5] 5 5", 1, 0},
      {R"("samples_us":[18446744073709551615,7,-1])", "0/0 [7] 7 7", 2, 0},
      {R"("samples_us":[9007199254740993])", "gone", 0, 1},
      {R"("samples_us":[1.5,-0.5])", "0/0 [1] 1 1", 1, 0},
      {R"("samples_us":["x",1e400])", "gone", 0, 1},
      {R"("samples_us":[1e308],"best_us":4)", "4/0 [] 4 4", 1, 0},
      {R"("samples_us":[5],"best_us":-400)", "0/0 [5] 5 5", 1, 0},
      {R"("samples_us":[5],"best_us":1e400,"first_us":-1)", "0/0 [5] 5 5", 2, 0},
      {R"("first_us":-3,"best_us":10)", "10/0 [] 10 10", 1, 0},
      {R"("samples_us":[-1,-2],"first_us":7)", "0/7 [] 7 none", 2, 0},
      {R"("first_us":-3,"best_us":-3)", "gone", 0, 1},
      {R"("samples_us":[-3],"first_us":0,"best_us":"x")", "gone", 0, 1},
      // Only a first time is left: no best time, rather than a best of 0.
      {R"("samples_us":[-5,1152921504606846976],"best_us":-1,"first_us":120)", "0/120 [] 120 none", 3, 0},
      {R"("first_us":120)", "0/120 [] 120 none", 0, 0},
      {R"("samples_us":["x"])", "0/0 [x] none none", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.members);
    auto list = load((std::string(R"({"schema":"quorl-bench/1","runs":[{"benchmark":"a","samples_us":[1]},)") +
                      R"({"benchmark":"b",)" + c.members + R"(},{"benchmark":"c","samples_us":[2,-2]}]})").c_str());
    ASSERT_EQ(list->count(), 1u);
    auto contribution = contributionAt(list, 0);
    std::string names, shown = "gone";
    for (uint32_t i = 0; i < contribution->runs->count(); ++i) {
      Ref<quorl::Run> run = runAt(contribution, i);
      names += str(run->benchmark);
      if (str(run->benchmark) != "b") continue;
      shown = std::to_string(run->best_us) + "/" + std::to_string(run->first_us) + " [";
      for (uint32_t k = 0; k < run->samples->count(); ++k) {
        auto n = cast<Number>(run->samples->get(k));
        shown += (k ? "," : "") + (n ? std::to_string(n->integerValue()) : std::string("x"));
      }
      shown += "]";
      for (const bool first : {true, false}) {
        char value[32] = "none";
        if (const auto v = run->value(first)) snprintf(value, sizeof value, "%.5g", *v);
        shown += std::string(" ") + value;
      }
    }
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(names, c.runs ? "ac" : "abc");
    // c's -2 is one more time left out of a run that stays
    EXPECT_EQ(contribution->impossibleTimes, c.times + 1);
    EXPECT_EQ(contribution->runsWithoutTime, c.runs);
    EXPECT_EQ(runAt(contribution, c.runs ? 1 : 2)->mean, 2);
  }
}

// Generated runs: no impossible time kept, each counted, a run gone exactly when it lost a time and kept none.
TEST(ContributionFromRoot, ImpossibleTimesRuleHoldsForGeneratedRuns) {
  std::mt19937 random(20261210);
  const char* possible[] = {"0", "1", "7", "2.5", "9007199254740992", "\"x\"", "null"};
  const char* impossible[] = {"-1", "-0.5", "1e400", "9007199254740993", "18446744073709551615", "-1e300"};
  auto pick = [&](bool bad) { return bad ? impossible[random() % 6] : possible[random() % 7]; };
  for (int round = 0; round < test::rounds(300); ++round) {
    std::string json = R"({"schema":"quorl-bench/1","runs":[)";
    uint32_t expectTimes = 0, expectGone = 0, expectKept = 0;
    const int runs = 1 + int(random() % 4);
    for (int r = 0; r < runs; ++r) {
      uint32_t bad = 0;
      bool time = false;  // a time left to show
      json += std::string(r ? "," : "") + R"({"benchmark":")" + std::to_string(r) + R"(","samples_us":[)";
      const int n = int(random() % 4);
      for (int i = 0; i < n; ++i) {
        const bool b = random() % 2;
        const char* v = pick(b);
        bad += b;
        time |= !b && v[0] != '"' && v[0] != 'n';
        json += std::string(i ? "," : "") + v;
      }
      json += "]";
      for (const char* key : {"best_us", "first_us"}) {
        if (random() % 2) continue;
        const bool b = random() % 2;
        const char* v = pick(b);
        bad += b;
        time |= !b && v[0] != '"' && v[0] != 'n' && std::strtod(v, nullptr) >= 1;
        json += std::string(",\"") + key + "\":" + v;
      }
      json += "}";
      const bool gone = bad > 0 && !time;
      expectGone += gone, expectKept += !gone, expectTimes += gone ? 0 : bad;
    }
    auto c = contributionAt(load((json + "]}").c_str()), 0);
    SCOPED_TRACE(json);
    EXPECT_EQ(c->runs->count(), expectKept);
    EXPECT_EQ(c->runsWithoutTime, expectGone);
    EXPECT_EQ(c->impossibleTimes, expectTimes);
    for (uint32_t i = 0; i < c->runs->count(); ++i) {
      Ref<quorl::Run> run = runAt(c, i);
      EXPECT_TRUE(run->best_us >= 0 && run->first_us >= 0 && run->best_us <= quorl::Run::kMaxTimeUs);
      for (uint32_t k = 0; k < run->samples->count(); ++k)
        EXPECT_FALSE(quorl::Run::impossibleTime(run->samples->get(k).get()));
    }
  }
}

// One member changed makes another result set; another place or member order does not.
TEST(ContributionSameResults, DocumentsThatDifferInOneMember) {
  const std::string base =
      R"({"schema":"quorl-bench/1","id":"x","collected":"2024-05-18","repeats":5,)"
      R"("machine":{"cpu":"C","cores":8,"memory_mb":8192},"toolchains":{"quorl":"0.74"},"runs":[)"
      R"({"benchmark":"a","params":{"n":30},"samples_us":[5,6],"best_us":5,"first_us":9},)"
      R"({"benchmark":"b","samples_us":[7]}]})";
  const struct {
    const char* name;
    std::string from, to;
    bool same;
  } cases[] = {
      {"the same text", "", "", true},
      {"members in another order", R"("best_us":5,"first_us":9)", R"("first_us":9,"best_us":5)", true},
      {"a run's parameters", R"("n":30)", R"("n":35)", false},
      {"a machine member no field holds", R"("cores":8)", R"("cores":16)", false},
      {"the machine's memory", "8192", "8193", false},
      {"toolchains", R"("0.74")", R"("0.75")", false},
      {"collected", "2024-05-18", "2024-05-19", false},
      {"repeats", R"("repeats":5)", R"("repeats":6)", false},
      {"the first-run time alone", R"("first_us":9)", R"("first_us":10)", false},
      {"a sample", "[5,6]", "[5,7]", false},
      {"a sample's kind", "[5,6]", "[5,6.0]", false},
      {"the runs' order", R"({"benchmark":"a","params":{"n":30},"samples_us":[5,6],"best_us":5,"first_us":9},)"
                          R"({"benchmark":"b","samples_us":[7]})",
       R"({"benchmark":"b","samples_us":[7]},)"
       R"({"benchmark":"a","params":{"n":30},"samples_us":[5,6],"best_us":5,"first_us":9})", false},
      {"a member the loaders do not read", R"({"schema")", R"({"note":1,"schema")", false},
  };
  for (const auto& k : cases) {
    std::string other = base;
    if (!k.from.empty()) {
      ASSERT_NE(other.find(k.from), std::string::npos) << k.name;
      other.replace(other.find(k.from), k.from.size(), k.to);
    }
    Ref<Array> opened = load(base.c_str(), "mine.json"), downloaded = load(other.c_str(), "corpus");
    DataSet set;
    set.merge(opened);
    const DataSet::Merged merged = set.merge(downloaded);
    EXPECT_EQ(set.contributions().count(), k.same ? 1u : 2u) << k.name;
    EXPECT_EQ(merged.runsMatched, k.same ? 2u : 0u) << k.name;
    EXPECT_EQ(contributionAt(opened, 0)->sameResults(*contributionAt(downloaded, 0)), k.same) << k.name;
  }
}

// Documents that differ in one number are the same results exactly when the
// JSON writer writes that number back the same (so Submit would send the
// same text), wherever it stands: a member no field holds, a run's
// parameter, a time, a sample among packed integers or among other values.
TEST(ContributionSameResults, NumbersAreTheSameWhenWrittenBackTheSame) {
  const char* const places[] = {
      R"({"schema":"quorl-bench/1","machine":{"cpu":"C","seed":#},"runs":[{"benchmark":"b","samples_us":[5]}]})",
      R"({"schema":"quorl-bench/1","runs":[{"benchmark":"b","params":{"n":#},"samples_us":[5]}]})",
      R"({"schema":"quorl-bench/1","runs":[{"benchmark":"b","best_us":#,"samples_us":[5]}]})",
      R"({"schema":"quorl-bench/1","runs":[{"benchmark":"b","samples_us":[5,#,6]}]})",
      R"({"schema":"quorl-bench/1","runs":[{"benchmark":"b","samples_us":[#,"x"]}]})",
  };
  // Spellings that meet at the edges of the forms, and random ones.
  const char* const edges[] = {"0", "-0", "0.0", "-0.0", "0e5", "1", "1.0", "1.00", "10e-1", "true", "false", "-1",
                               "18446744073709551615", "1.8446744073709552e19", "18446744073709551616",
                               "9223372036854775808", "-9223372036854775808", "9223372036854775807",
                               "9.223372036854775807e18", "-9223372036854775809", "5", "5.0"};
  std::mt19937_64 random(2026);
  auto spelling = [&]() -> std::string {
    const uint64_t bits = random() >> (random() % 64);
    switch (random() % 4) {
      case 0: return edges[random() % std::size(edges)];
      case 1: return std::to_string(bits);  // from 2^63 up read unsigned
      case 2: return std::to_string(-int64_t(bits >> 1));
      default: {
        char text[64];
        const double d = double(bits) / double(1 + random() % 1000);
        return std::string(text, std::to_chars(text, text + sizeof text, random() % 2 ? d : -d).ptr);
      }
    }
  };
  auto replaced = [](std::string text, const std::string& number) { return text.replace(text.find('#'), 1, number); };
  for (int i = 0; i < test::rounds(4000); ++i) {
    const std::string place = places[random() % std::size(places)];
    const std::string x = spelling(), y = random() % 4 ? spelling() : x;
    Ref<Array> one = load(replaced(place, x).c_str(), "one.json"), other = load(replaced(place, y).c_str(), "corpus");
    ASSERT_EQ(one->count(), 1u) << x;
    ASSERT_EQ(other->count(), 1u) << y;
    Ref<Contribution> a = contributionAt(one, 0), b = contributionAt(other, 0);
    const bool same = str(JSON::stringify(a->root)) == str(JSON::stringify(b->root));
    SCOPED_TRACE(x + " vs " + y + " in " + place);
    ASSERT_EQ(a->sameResults(*b), same);
    if (same) ASSERT_EQ(a->resultsHash(), b->resultsHash());
    DataSet set;
    set.merge(one);
    ASSERT_EQ(set.merge(other).added->count(), same ? 0u : 1u);
  }
}

// Contributions are compared in full once each, with their like when it is
// held, however alike they are (differing where a partial hash would not
// look, one par document, or alike in every field and differing in a member
// of the document no field holds): never with every one alike before them.
TEST(ContributionSameResults, ComparedOnlyWithTheirLikes) {
  std::string alike = "[", par = R"({"b":{)", unread = "[";
  for (int i = 0; i < 1000; ++i) {
    alike += (i ? "," : "") + std::string(R"({"schema":"quorl-bench/1","id":"x","machine":{"cpu":"C"},)") +
             R"("runs":[{"benchmark":"b","best_us":5,"samples_us":[)" + std::to_string(i) + "]}]}";
    par += (i ? "," : "") + std::string(R"("p)") + std::to_string(i) + R"(":{"checksum":"c","cpu":{"best_us":5}})";
    unread += (i ? "," : "") + std::string(R"({"schema":"quorl-bench/1","id":"x","machine":{"cpu":"C","cores":)") +
              std::to_string(i) + R"(},"runs":[{"benchmark":"b","best_us":5,"samples_us":[5]}]})";
  }
  for (const std::string& text : {alike + "]", par + "}}", unread + "]"}) {
    Ref<Array> list = load(text.c_str());
    ASSERT_EQ(list->count(), 1000u);
    DataSet set;
    EXPECT_LE(set.merge(list).comparisons, 1u);  // the first two, alike in their outline
    // The same again: each is compared with its one like.
    const DataSet::Merged again = set.merge(load(text.c_str()));
    EXPECT_EQ(again.comparisons, 1000u);
    EXPECT_EQ(again.matched->count(), 1000u);
    EXPECT_EQ(set.contributions().count(), 1000u);
  }
}

// The results hash is keyed by a secret drawn in each process: two runs of
// this program hash one contribution differently, so that no file can be
// made to fill one bucket. One process keeps its key.
TEST(ContributionSameResults, TheHashKeyIsDrawnInEveryProcess) {
  const char* const text = R"({"schema":"quorl-bench/1","id":"x","runs":[{"benchmark":"b","samples_us":[5]}]})";
  const uint64_t hash = contributionAt(load(text), 0)->resultsHash();
  ASSERT_EQ(contributionAt(load(text), 0)->resultsHash(), hash);
  char own[17];
  std::snprintf(own, sizeof own, "%016llx", static_cast<unsigned long long>(hash));
  if (const char* child = std::getenv("QUORL_HASH_CHILD"); child && *child) {
    std::printf("results hash %s\n", own);
    return;
  }
  std::set<std::string> hashes{own};  // this process's, and two children's: all apart
  for (int k = 0; k < 2; ++k) {
    const std::string out =
        test::runThisProgram("ContributionSameResults.TheHashKeyIsDrawnInEveryProcess", "QUORL_HASH_CHILD", "1");
    const size_t at = out.find("results hash ");
    ASSERT_TRUE(at != std::string::npos && out.size() >= at + 29) << out;
    hashes.insert(out.substr(at + 13, 16));
  }
  EXPECT_EQ(hashes.size(), 3u);
}

TEST(ContributionFromRoot, RepeatsKeepTheLow32Bits) {
  struct Case {
    const char* repeats;
    int32_t expected;
  } cases[] = {{"5", 5},   {"-1", -1}, {"2147483648", INT32_MIN}, {"4294967296", 0}, {"7.9", 7},
               {"\"5\"", 0}, {"null", 0}, {"true", 1}};
  for (const auto& c : cases) {
    std::string json = std::string("{\"schema\":\"quorl-bench/1\",\"repeats\":") + c.repeats + "}";
    auto list = load(json.c_str());
    ASSERT_EQ(list->count(), 1u);
    EXPECT_EQ(contributionAt(list, 0)->repeats, c.expected) << c.repeats;
  }
}

TEST(ContributionFromRoot, DocumentObjectsAreShared) {
  auto list = load(R"({"schema":"quorl-bench/1","extra":{"kept":true},"runs":[{"params":{"n":1},"samples_us":[4]}]})");
  auto c = contributionAt(list, 0);
  auto runObject = cast<Map>(cast<Array>(c->root->get("runs"))->get(0));
  EXPECT_EQ(runAt(c, 0)->params, runObject->get("params"));
  EXPECT_EQ(runAt(c, 0)->samples, runObject->get("samples_us"));
  EXPECT_NE(c->root->get("extra"), nullptr);
}

TEST(ContributionFromRoot, NoMembersGivesAnEmptyContribution) {
  auto object = make<Map>();
  auto c = Contribution::fromRoot(object, S("x"));
  EXPECT_EQ(c->root, object);
  EXPECT_EQ(str(c->source), "x");
  EXPECT_EQ(c->schema, nullptr);
  EXPECT_EQ(c->runs->count(), 0u);
  EXPECT_EQ(c->toolchains->count(), 0u);
}

TEST(ContributionFromText, Table) {
  struct Case {
    const char* json;
    bool gives;
    int runs;
  } cases[] = {
      {R"({"schema":"quorl-bench/1","runs":[{}]})", true, 1},
      {R"({"id":"no schema"})", true, 0},
      {R"({"schema":"other","runs":[{},{}]})", true, 2},
      {"[{}]", false, 0},
      {"42", false, 0},
      {"{", false, 0},
      {"", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    auto got = Contribution::fromText(S(c.json), S("roundtrip"));
    ASSERT_EQ(got != nullptr, c.gives);
    if (got) {
      EXPECT_EQ(static_cast<int>(got->runs->count()), c.runs);
      EXPECT_EQ(str(got->source), "roundtrip");
    }
  }
  EXPECT_EQ(Contribution::fromText(nullptr, S("x")), nullptr);
}

TEST(ContributionLoadObject, NonDocumentsGiveNothing) {
  EXPECT_EQ(Contribution::loadObject(nullptr, S("x"))->count(), 0u);
  EXPECT_EQ(Contribution::loadObject(S("quorl-bench/1"), S("x"))->count(), 0u);
  EXPECT_EQ(Contribution::loadObject(Number::withI64(1), S("x"))->count(), 0u);
}

TEST(ContributionFromRoot, EveryRunOfALongListIsComputed) {
  // Runs are computed a few behind the reading; the first, the last and
  // those next to skipped elements must all end up with their statistics.
  for (int runs : {1, 2, 3, 4, 5, 40}) {
    SCOPED_TRACE(runs);
    std::string json = R"({"schema":"quorl-bench/1","runs":[)";
    for (int i = 0; i < runs; ++i) {
      if (i) json += ",";
      if (i % 7 == 3) json += R"(7,null,"x",)";
      json += R"({"benchmark":"b)" + std::to_string(i) + R"(","samples_us":[)" + std::to_string(10 * i) + "," +
              std::to_string(10 * i + 2) + R"(,"no"]})";
    }
    json += "]}";
    auto list = load(json.c_str());
    ASSERT_EQ(list->count(), 1u);
    auto c = contributionAt(list, 0);
    ASSERT_EQ(c->runs->count(), static_cast<uint32_t>(runs));
    for (int i = 0; i < runs; ++i) {
      auto run = runAt(c, static_cast<uint32_t>(i));
      EXPECT_EQ(str(run->benchmark), "b" + std::to_string(i));
      EXPECT_EQ(run->mean, 10.0 * i + 1) << i;
      EXPECT_EQ(run->stddev, 1.0) << i;
    }
  }
}
