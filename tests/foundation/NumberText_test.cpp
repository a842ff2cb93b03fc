// JSON number conversion: reading decimal texts (ties, long and extreme
// texts, subnormals, overflow), integer texts, writing the shortest text,
// and the big integer beneath both.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "foundation/NumberText.h"
#include "foundation/String.h"
#include "Rounds.h"

namespace quorl {
namespace {

double Parse(const std::string& text) { return _json_parseDouble(text.data(), static_cast<uint32_t>(text.size())); }

uint64_t Bits(double d) { return std::bit_cast<uint64_t>(d); }

std::string Write(double d, bool floatFlag = false) {
  char buf[kJsonDoubleMax];
  return std::string(buf, _json_formatDouble(buf, d, floatFlag));
}

// The exactly rounded value: std::from_chars, which leaves its result
// untouched when the text overflows or underflows to zero.
double Reference(const std::string& text) {
  double d = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), d);
  EXPECT_TRUE(r.ec == std::errc() || r.ec == std::errc::result_out_of_range) << text;
  if (r.ec == std::errc::result_out_of_range) {
    d = std::isinf(std::strtod(text.c_str(), nullptr)) ? std::numeric_limits<double>::infinity() : 0.0;
    if (text[0] == '-') d = -d;
  }
  return d;
}

TEST(NumberText, ReadsEachFormOfNumber) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Row {
    const char* text;
    double expected;
  };
  const Row rows[] = {
      {"0", 0.0},
      {"0e999999", 0.0},
      {"1e400", inf},
      {"-1e400", -inf},
      {"1e-400", 0.0},
      {"2.4703282292062328e-324", std::numeric_limits<double>::denorm_min()},
      {"2.4703282292062327e-324", 0.0},
      {"9007199254740993.0", 9007199254740992.0},
      {"9007199254740995", 9007199254740996.0},
      {"1e23", 99999999999999991611392.0},
      {"1E2", 100.0},
      {"1e+2", 100.0},
      {"12.5e-1", 1.25},
      {"0.1", 0.1},
      {"-2.5", -2.5},
      {"0.30000000000000004", 0.30000000000000004},
      {"1.7976931348623157e308", std::numeric_limits<double>::max()},
      {"1.7976931348623158e308", std::numeric_limits<double>::max()},
      {"1.7976931348623159e308", inf},  // past the midpoint to the next power
      {"2.2250738585072014e-308", std::numeric_limits<double>::min()},
      {"2.2250738585072011e-308", std::bit_cast<double>(uint64_t{0x000FFFFFFFFFFFFF})},
      {"4.9406564584124654e-324", std::numeric_limits<double>::denorm_min()},
      {"7.4109846876186982e-324", 2 * std::numeric_limits<double>::denorm_min()},  // just past 1.5 x the smallest
      {"1e0000000000000000000000001", 10.0},  // exponent digits past the cap are read and ignored
      {"18446744073709551616", 18446744073709551616.0},
  };
  for (const Row& r : rows) EXPECT_EQ(Bits(Parse(r.text)), Bits(r.expected)) << r.text;

  EXPECT_TRUE(std::signbit(Parse("-0")));
  EXPECT_TRUE(std::signbit(Parse("-0.0")));
  EXPECT_TRUE(std::signbit(Parse("-1e-400")));
  EXPECT_FALSE(std::signbit(Parse("0.0")));
  EXPECT_EQ(Parse("12abc"), 12.0);  // reading stops at the first byte out of shape
  EXPECT_EQ(Bits(Parse("123456789012345678901234567890")), Bits(Reference("123456789012345678901234567890")));
  EXPECT_EQ(Bits(Parse("7.4109846876186981626e-324")), Bits(Reference("7.4109846876186981626e-324")));
}

TEST(NumberText, LongTextsKeepAStickyTail) {
  // 2^53 + 1 is a tie; a non-zero digit far past the 800 kept ones breaks it.
  std::string tie = "9007199254740993." + std::string(900, '0');
  EXPECT_EQ(Parse(tie), 9007199254740992.0);
  EXPECT_EQ(Parse(tie + "1"), 9007199254740994.0);
  // The same with the tail in the integer part.
  std::string integer = "9007199254740993" + std::string(900, '0');
  EXPECT_EQ(Bits(Parse(integer + "e-900")), Bits(9007199254740992.0));
  EXPECT_EQ(Bits(Parse(integer.substr(0, 1000) + "1" + "e-985")), Bits(Reference(integer.substr(0, 1000) + "1e-985")));
  // Many leading zeros.
  EXPECT_EQ(Parse("0." + std::string(5000, '0') + "1e5001"), 1.0);
  EXPECT_EQ(Parse(std::string(3000, '0') + "7"), 7.0);
  EXPECT_EQ(Parse("0." + std::string(400, '0')), 0.0);
}

TEST(NumberText, RandomTextsReadLikeTheReference) {
  std::mt19937_64 rng(1234);
  for (int i = 0; i < 200000; ++i) {
    std::string text;
    if (rng() % 2) text.push_back('-');
    int digits = 1 + static_cast<int>(rng() % (i % 10 == 0 ? 60 : 22));
    for (int k = 0; k < digits; ++k) text.push_back(static_cast<char>('0' + rng() % 10));
    if (rng() % 2) {
      size_t at = 1 + rng() % text.size();
      if (at < text.size() && isdigit(static_cast<unsigned char>(text[at - 1]))) text.insert(at, ".");
    }
    if (rng() % 3) text += "e" + std::to_string(static_cast<int>(rng() % 700) - 350);
    ASSERT_EQ(Bits(Parse(text)), Bits(Reference(text))) << text;
  }
}

TEST(NumberText, WritesTheShortestSpelling) {
  struct Row {
    double value;
    const char* text;
  };
  const Row rows[] = {
      {0.1, "0.1"},
      {1.0, "1.0"},
      {100.0, "100.0"},
      {-2.5, "-2.5"},
      {1.0 / 3.0, "0.3333333333333333"},
      {0.1 + 0.2, "0.30000000000000004"},
      {0.00001, "0.00001"},
      {1.5e-5, "0.000015"},
      {0.000001, "1.0e-6"},
      {1.5e-7, "1.5e-7"},
      {1e16, "10000000000000000.0"},
      {1e17, "1.0e+17"},
      {1e20, "1.0e+20"},
      {9223372036854775808.0, "9.223372036854776e+18"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {std::numeric_limits<double>::min(), "2.2250738585072014e-308"},
      {std::numeric_limits<double>::denorm_min(), "5.0e-324"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {123456.789, "123456.789"},
      {12345678901234567.0, "12345678901234568.0"},
      {1e23, "1.0e+23"},
      {9007199254740993.0, "9007199254740992.0"},
      {5e-324 * 3, "1.5e-323"},
  };
  for (const Row& r : rows) EXPECT_EQ(Write(r.value), r.text);

  Ref<String> out = String::withCString("[");
  _json_appendDouble(out, 2.5, false);
  _json_appendDouble(nullptr, 2.5, false);  // no target: nothing happens
  EXPECT_EQ(out->view(), "[2.5");
}

TEST(NumberText, FloatFlagKeepsSinglePrecisionDigits) {
  EXPECT_EQ(Write(static_cast<double>(0.1f), true), "0.1");
  EXPECT_EQ(Write(static_cast<double>(1.0f / 3.0f), true), "0.33333334");
  EXPECT_EQ(Write(static_cast<double>(16777217.0f), true), "16777216.0");
  EXPECT_EQ(Write(static_cast<double>(std::numeric_limits<float>::denorm_min()), true), "1.0e-45");
}

// Significant digits of a text: the mantissa's digits without leading and
// trailing zeros.
size_t SignificantDigits(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c == 'e' || c == 'E') break;
    if (c >= '0' && c <= '9') digits.push_back(c);
  }
  size_t a = digits.find_first_not_of('0');
  if (a == std::string::npos) return 0;
  size_t b = digits.find_last_not_of('0');
  return b - a + 1;
}

TEST(NumberText, RandomBitPatternsRoundTripAndAreShortest) {
  std::mt19937_64 rng(0x5eed);
  char shortest[64];
  constexpr int kPatterns = test::rounds(2000000);
  for (int i = 0; i < kPatterns; ++i) {
    uint64_t bits = rng();
    if (i % 16 == 0) bits &= 0x800FFFFFFFFFFFFFull;  // subnormals get their share
    double d = std::bit_cast<double>(bits);
    if (!std::isfinite(d)) continue;
    std::string text = Write(d);
    double back = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), back);
    ASSERT_TRUE(r.ec == std::errc() && r.ptr == text.data() + text.size()) << text;
    ASSERT_EQ(Bits(back), bits) << text;
    auto s = std::to_chars(shortest, shortest + sizeof shortest, d, std::chars_format::scientific);
    ASSERT_EQ(SignificantDigits(text), SignificantDigits(std::string(shortest, s.ptr)))
        << text << " vs " << std::string(shortest, s.ptr);
    // Our own reader takes the text back too.
    ASSERT_EQ(Bits(Parse(text)), bits) << text;
  }
}

TEST(NumberText, Integers) {
  struct Row {
    const char* text;
    bool ok;
    int64_t value;
  };
  const Row rows[] = {
      {"0", true, 0},
      {"-0", true, 0},
      {"42", true, 42},
      {"9223372036854775807", true, INT64_MAX},
      {"9223372036854775808", true, INT64_MIN},
      {"18446744073709551615", true, -1},
      {"18446744073709551616", false, 0},
      {"-9223372036854775808", true, INT64_MIN},
      {"-9223372036854775809", false, 0},
      {"99999999999999999999", false, 0},
      {"1.0", false, 0},
      {"1e2", false, 0},
      {"-", false, 0},
      {"", false, 0},
  };
  for (const Row& r : rows) {
    int64_t v = 12345;
    EXPECT_EQ(_json_parseInt64(r.text, static_cast<uint32_t>(std::strlen(r.text)), v), r.ok) << r.text;
    if (r.ok) {
      EXPECT_EQ(v, r.value) << r.text;
    }
  }
}

TEST(NumberText, ExactSteps) {
  EXPECT_EQ(_json_bitlen64(0), 0u);
  EXPECT_EQ(_json_bitlen64(1), 1u);
  EXPECT_EQ(_json_bitlen64(UINT64_MAX), 64u);

  EXPECT_EQ(_json_round(0, 5, true), 0.0);
  EXPECT_EQ(_json_round(3, -1, false), 1.5);
  EXPECT_EQ(_json_round((uint64_t{1} << 54) + 2, 0, false), 18014398509481984.0);  // tie to even: down
  EXPECT_EQ(_json_round((uint64_t{1} << 54) + 2, 0, true), 18014398509481988.0);   // sticky: up
  EXPECT_EQ(_json_round((uint64_t{1} << 54) + 6, 0, false), 18014398509481992.0);  // tie, odd: up
  EXPECT_EQ(_json_round(1, -1074, false), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(_json_round(1, -1075, false), 0.0);  // exactly half the smallest subnormal: even is 0
  EXPECT_EQ(_json_round(1, -1075, true), std::numeric_limits<double>::denorm_min());
  // A shift of all 64 bits: just under one smallest subnormal rounds up to it.
  EXPECT_EQ(_json_round(UINT64_MAX, -1138, false), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(_json_round(uint64_t{1} << 63, -1138, false), 0.0);  // exactly half: even is 0
  EXPECT_EQ(_json_round(1, 1024, false), std::numeric_limits<double>::infinity());
  EXPECT_EQ(_json_round((uint64_t{1} << 53) - 1, 971, true), std::numeric_limits<double>::max());
  EXPECT_EQ(_json_round(UINT64_MAX, 960, false), std::numeric_limits<double>::infinity());  // rounds up past max

  int32_t p = 0;
  Ref<String> r = _json_roundDigits(String::withCString("12345"), 3, 2, p);
  EXPECT_EQ(r->view(), "123");
  EXPECT_EQ(p, 2);
  r = _json_roundDigits(String::withCString("99951"), 3, 0, p);
  EXPECT_EQ(r->view(), "1");
  EXPECT_EQ(p, 1);
  r = _json_roundDigits(String::withCString("1250"), 2, 0, p);
  EXPECT_EQ(r->view(), "12");  // tie, even
  r = _json_roundDigits(String::withCString("1350"), 2, 0, p);
  EXPECT_EQ(r->view(), "14");  // tie, odd
  r = _json_roundDigits(String::withCString("1200"), 9, 0, p);
  EXPECT_EQ(r->view(), "12");

  EXPECT_EQ(_json_digitsToDouble(String::withCString("15"), 1), 1.5);
  EXPECT_EQ(_json_digitsToDouble(String::withCString("5"), -322), 5e-323);
  EXPECT_EQ(_json_digitsToDouble(String::withCString("1"), -323), 0.0);  // 1e-324 is below half the smallest
  EXPECT_EQ(_json_digitsToDouble(String::withCString(""), 5), 0.0);

  JSONBig big;
  big.mulAdd(10, 7);
  EXPECT_EQ(big.count(), 1u);
  EXPECT_EQ(_json_bigToDouble(big, 3), 56.0);
  JSONBig ten;
  ten.mulAdd(1, 5);
  EXPECT_EQ(_json_toDouble(ten, -1, 1), 0.5);
}

TEST(NumberText, BigIntegerOperations) {
  JSONBig b;
  EXPECT_EQ(b.count(), 0u);
  EXPECT_EQ(b.capacity(), 0u);
  EXPECT_EQ(b.bitLength(), 0u);
  EXPECT_EQ(b.toDecimal()->view(), "0");
  b.mulAdd(10, 0);
  EXPECT_EQ(b.count(), 0u);  // 0 x 10 + 0 stays empty
  b.mulAdd(10, 7);
  EXPECT_EQ(b.count(), 1u);
  EXPECT_EQ(b.capacity(), 5u);  // 1 + 4 when doubling falls short
  EXPECT_EQ(b.description()->view(), "<_JSONBig>(1, 5)");

  b.mulPow5(30);  // 7 x 5^30
  b.shl(70);      // x 2^70
  Ref<String> d = b.dup()->toDecimal();
  // 7 x 5^30 x 2^70 = 7 x 10^30 x 2^40
  EXPECT_EQ(d->view(), "7696581394432000000000000000000000000000000");
  EXPECT_EQ(b.dup()->capacity(), b.count() + 5);

  JSONBig one;
  one.mulAdd(1, 1);
  one.shl(100);
  EXPECT_EQ(one.bitLength(), 101u);
  EXPECT_EQ(one.bitsFrom(100), 1u);
  EXPECT_EQ(one.bitsFrom(37), uint64_t{1} << 63);
  EXPECT_EQ(one.bitsFrom(36), 0u);  // bit 100 lands past 64 bits
  EXPECT_TRUE(one.anyBelow(101));
  EXPECT_FALSE(one.anyBelow(100));
  EXPECT_EQ(one._limb(3), 16u);
  EXPECT_EQ(one._limb(9), 0u);
  one.shr1();
  EXPECT_EQ(one.bitLength(), 100u);

  JSONBig a, c;
  a.mulAdd(1, 1);
  a.shl(64);  // 2^64
  c.mulAdd(1, 1);
  EXPECT_EQ(a.cmp(c), 1);
  EXPECT_EQ(c.cmp(a), -1);
  a.sub(c);  // 2^64 - 1: the borrow runs through, the top limb goes
  EXPECT_EQ(a.count(), 2u);
  EXPECT_EQ(a.bitsFrom(0), UINT64_MAX);
  EXPECT_EQ(a.divSmall(10), 5u);
  EXPECT_EQ(a.bitsFrom(0), 1844674407370955161u);
  a.sub(*a.dup());
  EXPECT_EQ(a.count(), 0u);
  EXPECT_EQ(a.cmp(JSONBig()), 0);

  JSONBig g;
  g._ensure(3);
  EXPECT_EQ(g.capacity(), 7u);
  g._ensure(8);
  EXPECT_EQ(g.capacity(), 14u);  // doubling suffices
  g._ensure(2);
  EXPECT_EQ(g.capacity(), 14u);
}

}  // namespace
}  // namespace quorl
