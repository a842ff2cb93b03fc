// BHelp (lenient JSON reading, text tests, device codes) and Fmt.us.
#include <gtest/gtest.h>

#include <climits>

#include "BenchTestSupport.h"
#include "bench/BHelp.h"
#include "foundation/Null.h"

using namespace quorl;
using namespace quorl::benchtest;

namespace {

Ref<Map> doc() {
  auto m = make<Map>();
  m->set(S("str"), S("hello"));
  m->set(S("int"), Number::withI64(42));
  m->set(S("neg"), Number::withI64(-7));
  m->set(S("dbl"), Number::withDouble(12.9));
  m->set(S("negdbl"), Number::withDouble(-12.9));
  m->set(S("huge"), Number::withDouble(1e19));
  m->set(S("nan"), Number::withDouble(std::numeric_limits<double>::quiet_NaN()));
  m->set(S("yes"), Number::withBool(true));
  m->set(S("no"), Number::withBool(false));
  m->set(S("null"), Null::null());
  m->set(S("arr"), make<Array>());
  m->set(S("obj"), make<Map>());
  m->set(S("numstr"), S("12"));
  return m;
}

}  // namespace

TEST(BHelpText, SharesStringsAndDescribesNumbers) {
  auto s = S("x");
  EXPECT_EQ(BHelp::text(s), s);  // the same object, not a copy
  EXPECT_EQ(BHelp::text(nullptr), nullptr);
  EXPECT_EQ(BHelp::text(make<Map>()), nullptr);
  EXPECT_EQ(BHelp::text(make<Array>()), nullptr);
  EXPECT_EQ(BHelp::text(Null::null()), nullptr);
}

TEST(BHelpField, Table) {
  auto m = doc();
  struct Case {
    const char* key;
    const char* expected;  // nullptr: no text
  } cases[] = {
      {"str", "hello"},   {"int", "42"},    {"neg", "-7"},     {"dbl", "12.900000"}, {"yes", "true"},
      {"no", "false"},    {"null", nullptr}, {"arr", nullptr}, {"obj", nullptr},     {"missing", nullptr},
      {"numstr", "12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    auto got = BHelp::field(m, c.key);
    if (c.expected) {
      ASSERT_NE(got, nullptr);
      EXPECT_EQ(str(got), c.expected);
    } else {
      EXPECT_EQ(got, nullptr);
    }
  }
  EXPECT_EQ(BHelp::field(nullptr, "str"), nullptr);
  EXPECT_EQ(BHelp::field(m, S("str")), m->get(S("str")));
}

TEST(BHelpIntField, Table) {
  auto m = doc();
  struct Case {
    const char* key;
    int64_t expected;
  } cases[] = {
      {"int", 42},     {"neg", -7},   {"dbl", 12},     {"negdbl", -12}, {"huge", 0},  {"nan", 0},   {"yes", 1},
      {"no", 0},       {"str", -99},  {"numstr", -99}, {"null", -99},   {"arr", -99}, {"obj", -99}, {"missing", -99},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(BHelp::intField(m, c.key, -99), c.expected);
  }
  EXPECT_EQ(BHelp::intField(nullptr, "int", 5), 5);
}

TEST(BHelpContains, Table) {
  struct Case {
    const char* haystack;
    const char* needle;
    bool expected;
  } cases[] = {
      {nullptr, "", true},       {nullptr, nullptr, true},  {nullptr, "a", false}, {"Test M2", "m2", true},
      {"Test M2 Pro", "M2 PRO", true}, {"Test", "test!", false}, {"", "", true},        {"", "x", false},
      {"ÄB", "äb", false},  // only ASCII letters fold
      {"abc", nullptr, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.haystack ? c.haystack : "<null>") + " / " + (c.needle ? c.needle : "<null>"));
    EXPECT_EQ(BHelp::contains(S(c.haystack), S(c.needle)), c.expected);
  }
}

TEST(BHelpDeviceCode, Table) {
  struct Case {
    const char* label;
    const char* code;
  } cases[] = {
      {"one thread", "serial"}, {"ONE THREAD", "serial"}, {"all threads", "cpu"}, {"ALL THREADS", "cpu"},
      {"GPU", "gpu"},           {"gpu", "gpu"},           {"Vulkan", "vulkan"},   {"VULKAN", "vulkan"},
      {"auto", "auto"},         {"serial", "serial"},     {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(str(BHelp::deviceCode(S(c.label))), c.code);
  }
  auto label = S("auto");
  EXPECT_EQ(BHelp::deviceCode(label), label);  // unchanged means the same object
}

TEST(BHelpIsOutlier, Table) {
  EXPECT_TRUE(BHelp::isOutlier(S("matrix_mul_f32")));
  EXPECT_TRUE(BHelp::isOutlier(S("MATRIX_MUL_F32")));
  EXPECT_FALSE(BHelp::isOutlier(S("matrix_mul_f64")));
  EXPECT_FALSE(BHelp::isOutlier(S("matrix_mul_f32 ")));
  EXPECT_FALSE(BHelp::isOutlier(nullptr));
}

TEST(BHelpSame, MissingTextsNeverMatch) {
  EXPECT_TRUE(BHelp::same(S("Langs"), S("LANGS")));
  EXPECT_FALSE(BHelp::same(S("langs"), S("lang")));
  EXPECT_FALSE(BHelp::same(nullptr, S("langs")));
  EXPECT_FALSE(BHelp::same(S("langs"), Ptr<const String>()));
  EXPECT_FALSE(BHelp::same(nullptr, Ptr<const String>()));
  EXPECT_FALSE(BHelp::same(nullptr, "x"));
  EXPECT_TRUE(BHelp::same(S(""), ""));
}

TEST(FmtUs, BoundariesAndRounding) {
  struct Case {
    int64_t us;
    const char* text;
  } cases[] = {
      {0, "0 us"},
      {999, "999 us"},
      {1000, "1.0 ms"},
      {1050, "1.1 ms"},    // 1.05 is just above the tie as a double
      {1250, "1.2 ms"},    // exact tie: to even
      {1350, "1.4 ms"},    // 1.35 lies above the tie in binary
      {999949, "999.9 ms"},
      {999950, "1000.0 ms"},  // rounds up but stays in milliseconds
      {999999, "1000.0 ms"},
      {1000000, "1.00 s"},
      {1005000, "1.00 s"},    // 1.005 is below the tie in binary
      {1015000, "1.01 s"},    // 1.015 is below the tie in binary
      {1125000, "1.12 s"},    // exact tie: to even
      {61230000, "61.23 s"},
      {-5, "-5 us"},
      {-1000000, "-1000000 us"},
      {INT64_MIN, "-9223372036854775808 us"},
      {INT64_MAX, "9223372036854.78 s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.us);
    EXPECT_EQ(str(Fmt::us(c.us)), c.text);
  }
}
