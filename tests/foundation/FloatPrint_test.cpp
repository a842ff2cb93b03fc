// Exact floating-point printing: the expansion, digit-string rounding, the
// three forms, a randomized cross-check of every path against exactly
// rounded references, and the shortest round-trip digits.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "foundation/FloatPrint.h"
#include "foundation/String.h"
#include "Rounds.h"

namespace quorl {
namespace {

using u128 = unsigned __int128;

Ref<String> S(const char* text) { return String::withCString(text); }

std::string Exact(double value, int32_t* point) {
  int32_t p = 0;
  Ref<String> d = FloatPrint::_fmtExact(std::bit_cast<uint64_t>(value), p);
  *point = p;
  return std::string(d->view());
}

TEST(FloatPrint, ExactExpansion) {
  struct Row {
    double value;
    const char* digits;
    int32_t point;
  };
  const Row rows[] = {
      {1.5, "15", 1},
      {0.015625, "15625", -1},
      {100.0, "1", 3},
      {0.0, "", 0},
      {-2.0, "2", 1},  // the sign is not part of the expansion
      {0.1, "1000000000000000055511151231257827021181583404541015625", 0},
      {9007199254740993.0, "9007199254740992", 16},
      {1e23, "99999999999999991611392", 23},
  };
  for (const Row& r : rows) {
    int32_t p = 0;
    EXPECT_EQ(Exact(r.value, &p), r.digits) << r.value;
    EXPECT_EQ(p, r.point) << r.value;
  }
  int32_t p = 0;
  std::string tiny = Exact(std::numeric_limits<double>::denorm_min(), &p);
  EXPECT_EQ(tiny.size(), 751u);
  EXPECT_EQ(p, -323);
  EXPECT_EQ(tiny.substr(0, 10), "4940656458");
  std::string max = Exact(std::numeric_limits<double>::max(), &p);
  EXPECT_EQ(p, 309);
  EXPECT_EQ(max.substr(0, 17), "17976931348623157");
  EXPECT_NE(max.back(), '0');  // trailing zeros are dropped
  // The longest expansion: the largest subnormal.
  std::string longest = Exact(std::bit_cast<double>(uint64_t{0x000FFFFFFFFFFFFF}), &p);
  EXPECT_EQ(longest.size(), 767u);
  EXPECT_EQ(p, -307);
}

TEST(FloatPrint, MultiplyCarriesIntoANewLimb) {
  uint32_t limbs[3] = {0xFFFFFFFFu, 0, 0};
  EXPECT_EQ(FloatPrint::_fmtMul(limbs, 1, 2), 2u);
  EXPECT_EQ(limbs[0], 0xFFFFFFFEu);
  EXPECT_EQ(limbs[1], 1u);
  EXPECT_EQ(FloatPrint::_fmtMul(limbs, 2, 1), 2u);
}

TEST(FloatPrint, RoundDigitStrings) {
  struct Row {
    const char* digits;
    int32_t n;
    int32_t point;
    const char* rounded;
    int32_t newPoint;
  };
  const Row rows[] = {
      {"15", 1, 1, "2", 1},       // tie, odd kept digit: up
      {"25", 1, 1, "2", 1},       // tie, even kept digit: down
      {"251", 1, 1, "3", 1},      // past the tie
      {"249", 1, 1, "2", 1},
      {"999", 2, 0, "100", 1},    // carry through every digit; its zeros stay
      {"5", 0, 0, "", 0},         // a tie with nothing kept rounds down
      {"51", 0, 0, "1", 1},
      {"6", 0, -3, "1", -2},
      {"123", -1, 5, "", 5},      // wholly below the rounding place
      {"123", 3, 2, "123", 2},
      {"123", 7, 2, "123", 2},
      {"1995", 3, 4, "200", 4},   // tie, odd: up with carry
  };
  for (const Row& r : rows) {
    int32_t p = r.point;
    Ref<String> out = FloatPrint::_fmtRound(S(r.digits), r.n, p);
    EXPECT_EQ(out->view(), r.rounded) << r.digits << " n=" << r.n;
    EXPECT_EQ(p, r.newPoint) << r.digits << " n=" << r.n;
  }
  EXPECT_EQ(FloatPrint::_fmtDigitAt(S("12"), -1), '0');
  EXPECT_EQ(FloatPrint::_fmtDigitAt(S("12"), 1), '2');
  EXPECT_EQ(FloatPrint::_fmtDigitAt(S("12"), 2), '0');
  EXPECT_EQ(FloatPrint::_fmtDigitAt(nullptr, 0), '0');
}

TEST(FloatPrint, FormsOverDigitStrings) {
  EXPECT_EQ(FloatPrint::_fmtFixed(S("15"), 1, 0, false)->view(), "2");
  EXPECT_EQ(FloatPrint::_fmtFixed(S("15"), 1, 0, true)->view(), "2.");
  EXPECT_EQ(FloatPrint::_fmtFixed(S("123"), -2, 6, false)->view(), "0.001230");
  EXPECT_EQ(FloatPrint::_fmtFixed(S("123"), -2, 4, false)->view(), "0.0012");
  EXPECT_EQ(FloatPrint::_fmtFixed(S("123"), -2, 2, false)->view(), "0.00");
  EXPECT_EQ(FloatPrint::_fmtFixed(S("5"), 5, 2, false)->view(), "50000.00");
  EXPECT_EQ(FloatPrint::_fmtFixed(S(""), 0, 3, false)->view(), "0.000");
  EXPECT_EQ(FloatPrint::_fmtExp(S("12345"), 5, 2, false, false)->view(), "1.23e+04");
  EXPECT_EQ(FloatPrint::_fmtExp(S("99999"), 1, 2, false, true)->view(), "1.00E+01");
  EXPECT_EQ(FloatPrint::_fmtExp(S(""), 0, 0, false, false)->view(), "0e+00");
  EXPECT_EQ(FloatPrint::_fmtExp(S("1"), 309, 0, true, false)->view(), "1.e+308");
  EXPECT_EQ(FloatPrint::_fmtExp(S("5"), -323, 1, false, false)->view(), "5.0e-324");

  struct Row {
    const char* in;
    const char* out;
  };
  const Row trims[] = {
      {"1.2300", "1.23"}, {"1.000e+05", "1e+05"}, {"1.50E-07", "1.5E-07"},
      {"100", "100"},     {"100.", "100"},        {"0.000", "0"},
  };
  for (const Row& r : trims) EXPECT_EQ(FloatPrint::_fmtTrimZeros(S(r.in))->view(), r.out) << r.in;
  Ref<String> same = S("12.5");
  EXPECT_EQ(FloatPrint::_fmtTrimZeros(same).get(), same.get());  // nothing to trim: the same text
}

TEST(FloatPrint, ItemsPadAndSign) {
  auto item = [](double v, char c, int32_t precision, int32_t width, bool left, bool plus, bool space, bool alt,
                 bool zero) {
    TextBuffer out;
    FloatPrint::item(out, v, static_cast<uint8_t>(c), precision, width, left, plus, space, alt, zero);
    return std::string(out.data(), out.size());
  };
  EXPECT_EQ(item(-1.5, 'f', 1, 8, false, false, false, false, true), "-00001.5");
  EXPECT_EQ(item(1.5, 'f', 1, 8, false, true, false, false, true), "+00001.5");
  EXPECT_EQ(item(1.5, 'f', 1, 8, false, false, true, false, false), "     1.5");
  EXPECT_EQ(item(1.5, 'e', 1, 10, true, false, true, false, false), " 1.5e+00  ");
  EXPECT_EQ(item(-INFINITY, 'F', -1, 6, false, false, false, false, true), "  -INF");
  EXPECT_EQ(item(NAN, 'g', -1, -4, false, false, false, false, false), "nan");
}

// Exactly rounded references: std::to_chars with a precision rounds the exact
// binary value, ties to even.
std::string Reference(double v, std::chars_format form, int precision) {
  char buf[2048];
  auto r = std::to_chars(buf, buf + sizeof buf, v, form, precision);
  return std::string(buf, r.ptr);
}

std::string Ours(const char* format, int precision, double v) {
  String s;
  s.appendFormat(format, precision, v);
  return std::string(s.view());
}

double RandomDouble(std::mt19937_64& rng) {
  for (;;) {
    double d = std::bit_cast<double>(rng());
    if (std::isfinite(d)) return d;
  }
}

TEST(FloatPrint, RandomValuesMatchExactReferences) {
  std::mt19937_64 rng(20240611);
  std::uniform_int_distribution<int> precisionOf(0, 40);
  for (int i = 0; i < 60000; ++i) {
    // Half random bit patterns, half values of everyday size.
    double v = i % 2 == 0 ? RandomDouble(rng) : std::ldexp(static_cast<double>(rng() >> 11), -int(rng() % 90));
    int p = precisionOf(rng);
    ASSERT_EQ(Ours("%.*e", p, v), Reference(v, std::chars_format::scientific, p)) << std::hexfloat << v;
    if (std::fabs(v) < 1e60) {
      ASSERT_EQ(Ours("%.*f", p, v), Reference(v, std::chars_format::fixed, p)) << v;
    }
  }
}

TEST(FloatPrint, FastPathsAgreeWithTheExactExpansion) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 40000; ++i) {
    double v = std::fabs(i % 3 == 0 ? RandomDouble(rng)
                                    : std::ldexp(static_cast<double>(rng() >> 11), -int(rng() % 140) + 40));
    int32_t precision = static_cast<int32_t>(rng() % 30);
    FloatPrint::Digits fast, slow;
    FloatPrint::roundFixed(v, precision, fast, true);
    FloatPrint::roundFixed(v, precision, slow, false);
    TextBuffer a, b;
    FloatPrint::emitFixed(a, fast.text, fast.length, fast.point, precision, false);
    FloatPrint::emitFixed(b, slow.text, slow.length, slow.point, precision, false);
    ASSERT_EQ(std::string(a.data(), a.size()), std::string(b.data(), b.size())) << v << " %." << precision;

    int32_t n = 1 + static_cast<int32_t>(rng() % 36);
    FloatPrint::roundSignificant(v, n, fast, true);
    FloatPrint::roundSignificant(v, n, slow, false);
    TextBuffer c, d;
    FloatPrint::emitExp(c, fast.text, fast.length, fast.point, n - 1, false, false);
    FloatPrint::emitExp(d, slow.text, slow.length, slow.point, n - 1, false, false);
    ASSERT_EQ(std::string(c.data(), c.size()), std::string(d.data(), d.size())) << v << " n=" << n;
  }
}

TEST(FloatPrint, GeneralFormAgainstItsDefinition) {
  // %g chooses by the exponent after rounding: check the choice on values
  // around each threshold, including those that carry across it.
  const double values[] = {9.99995e-5, 9.9999e-5, 1e-4,   0.00012345, 999999.4, 999999.5,
                           999999.6,   1e6,       123456, 1e15,       9.5,      0.5};
  for (double v : values) {
    for (int p = 0; p <= 8; ++p) {
      int P = p == 0 ? 1 : p;
      std::string e = Reference(v, std::chars_format::scientific, P - 1);
      int x = std::stoi(e.substr(e.find('e') + 1));
      std::string expected = x >= -4 && x < P ? Reference(v, std::chars_format::fixed, P - 1 - x) : e;
      if (expected.find('.') != std::string::npos) {  // strip trailing zeros of the fraction
        size_t ePos = expected.find('e');
        std::string mant = expected.substr(0, ePos), tail = ePos == std::string::npos ? "" : expected.substr(ePos);
        while (mant.back() == '0') mant.pop_back();
        if (mant.back() == '.') mant.pop_back();
        expected = mant + tail;
      }
      EXPECT_EQ(Ours("%.*g", p, v), expected) << v << " p=" << p;
    }
  }
}

TEST(FloatPrint, FixedBigDivision) {
  // Divisors of one to several limbs; quotients near the 64-bit edge.
  const uint32_t powers[] = {3, 20, 27, 40, 100, 300};
  const uint64_t quotients[] = {1, 12345, 0x7FFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFEull};
  for (uint32_t k : powers) {
    for (uint64_t q : quotients) {
      FixedBig d(1);
      d.mulPow5(k);
      FixedBig exact = d;
      exact.mulU64(q);
      uint64_t got = 0;
      ASSERT_TRUE(exact.divFloor64(d, got)) << k << " " << q;
      EXPECT_EQ(got, q);
      EXPECT_TRUE(exact.isZero());

      FixedBig below = d;  // d x (q + 1) - 1 = d x q + (d - 1)
      below.mulU64(q + 1);
      below.sub(FixedBig(1));
      ASSERT_TRUE(below.divFloor64(d, got));
      EXPECT_EQ(got, q);
      FixedBig rest = d;
      rest.sub(FixedBig(1));
      EXPECT_EQ(below.cmp(rest), 0);
    }
    FixedBig d(1);
    d.mulPow5(k);
    FixedBig tooBig = d;  // a quotient of 2^64 is refused
    tooBig.shl(64);
    uint64_t got = 0;
    EXPECT_FALSE(tooBig.divFloor64(d, got));
  }
  FixedBig huge(1);
  huge.shl(1300);  // past 1280 bits
  EXPECT_TRUE(huge.overflowed());
}

// Shortest digits. The reference is std::to_chars's shortest scientific
// text, whose digits are the shortest round-trip digits closest to the
// value; for a power of two above the smallest normal it is the first of the
// correctly rounded 15, 16 and 17 digits that std::from_chars reads back.
struct Decimal {
  uint64_t digits;
  int32_t exponent;
  bool operator==(const Decimal&) const = default;
};

Decimal FromScientific(const char* begin, const char* end) {
  Decimal d{0, 0};
  const char* p = begin;
  bool fraction = false;
  for (; *p != 'e'; ++p) {
    if (*p == '.') {
      fraction = true;
      continue;
    }
    d.digits = d.digits * 10 + static_cast<uint64_t>(*p - '0');
    d.exponent -= fraction ? 1 : 0;
  }
  int32_t x = 0;
  std::from_chars(p + 1 + (p[1] == '+'), end, x);
  d.exponent += x;
  while (d.digits % 10 == 0) {
    d.digits /= 10;
    ++d.exponent;
  }
  return d;
}

Decimal ShortestReference(double v) {
  char buf[64];
  const uint64_t bits = std::bit_cast<uint64_t>(v);
  const uint64_t biased = bits >> 52;
  if ((bits & ((uint64_t{1} << 52) - 1)) == 0 && biased > 1) {
    for (int precision = 14; precision < 16; ++precision) {
      auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, precision);
      double back = 0;
      std::from_chars(buf, r.ptr, back);
      if (back == v) return FromScientific(buf, r.ptr);
    }
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 16);
    return FromScientific(buf, r.ptr);
  }
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  return FromScientific(buf, r.ptr);
}

Decimal Shortest(double v) {
  Decimal d{0, 0};
  d.digits = FloatPrint::shortest(std::bit_cast<uint64_t>(v), d.exponent);
  return d;
}

TEST(FloatPrint, ShortestDigitsMatchTheExactReference) {
  std::vector<double> values;
  // Both edges of every binade, every power of two and of ten and their
  // neighbours, and the usual suspects.
  for (uint64_t biased = 0; biased < 2047; ++biased) {
    for (uint64_t f : {uint64_t{0}, uint64_t{1}, uint64_t{2}, (uint64_t{1} << 52) - 1, uint64_t{1} << 51})
      if (biased != 0 || f != 0) values.push_back(std::bit_cast<double>(biased << 52 | f));
  }
  for (int p = -323; p <= 308; ++p) {
    const std::string text = "1e" + std::to_string(p);
    double ten = 0;
    std::from_chars(text.data(), text.data() + text.size(), ten);
    values.insert(values.end(), {ten, std::nextafter(ten, 0.0), std::nextafter(ten, INFINITY)});
  }
  values.insert(values.end(), {9007199254740991.0, 9007199254740993.0, 0.1, 0.3, 2.0 / 3.0, 1735883828895.03125,
                               std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
                               std::numeric_limits<double>::denorm_min()});
  std::mt19937_64 rng(20261208);
  constexpr int kRandom = test::rounds(3000000);
  for (int i = 0; i < kRandom; ++i) {
    switch (i % 4) {
      case 0:  // a significand with a short binary fraction: exact ties at 17 digits
        values.push_back(std::ldexp(static_cast<double>((rng() >> 11) | (uint64_t{1} << 52)), -int(rng() % 8) - 1));
        break;
      case 1:  // a subnormal
        values.push_back(std::bit_cast<double>(rng() & ((uint64_t{1} << 52) - 1)));
        break;
      default:
        values.push_back(std::fabs(RandomDouble(rng)));
    }
  }
  for (double v : values) {
    if (v == 0.0) continue;
    const Decimal expected = ShortestReference(v);
    const Decimal got = Shortest(v);
    ASSERT_EQ(got.digits, expected.digits) << std::hexfloat << v;
    ASSERT_EQ(got.exponent, expected.exponent) << std::hexfloat << v;
  }
  EXPECT_EQ(Shortest(-0.1), (Decimal{1, -1}));  // the sign bit is ignored
}

TEST(FloatPrint, ScalesAndDigitWriting) {
  // floor(10^p x 2^(125 - floor(log2 10^p))) + 1, worked by hand.
  const u128 top = ~static_cast<u128>(0);
  struct Scale {
    int32_t p;
    u128 g;
  } const scales[] = {
      {0, (static_cast<u128>(1) << 125) + 1},
      {1, (static_cast<u128>(10) << 122) + 1},
      {38, static_cast<u128>(5) * ((static_cast<u128>(10000000000000000000ull) * 10000000000000000000ull) / 10) + 1},
      {-1, top / 5 + 1},  // floor(2^129 / 10) = (2^128 - 1) / 5
  };
  for (const Scale& r : scales) {
    uint64_t high = 0, low = 0;
    FloatPrint::pow10Scale(r.p, high, low);
    EXPECT_EQ((static_cast<u128>(high) << 64) | low, r.g) << r.p;
  }
  const uint64_t numbers[] = {0, 7, 10, 99, 100, 12345678, 99999999, 100000000, 1234567890123456789ull,
                              std::numeric_limits<uint64_t>::max()};
  for (uint64_t v : numbers) {
    char out[24];
    uint32_t n = FloatPrint::writeDigits(out, v);
    EXPECT_EQ(std::string(out, n), std::to_string(v));
    EXPECT_EQ(FloatPrint::digitCount(v), n);
  }
}

}  // namespace
}  // namespace quorl
