// Number: views and their conversions, descriptions, equality, ordering,
// hashing (equal Numbers hash equal) and the shared small values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "foundation/JSON.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "Rounds.h"

namespace quorl {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

std::string Desc(const Ref<Number>& n) { return std::string(n->description()->view()); }

TEST(Number, Forms) {
  Ref<Number> i = Number::withI64(-7);
  EXPECT_TRUE(i->isInteger());
  EXPECT_FALSE(i->isBool());
  EXPECT_EQ(i->integerValue(), -7);
  EXPECT_EQ(i->doubleValue(), -7.0);

  Ref<Number> d = Number::withDouble(2.9);
  EXPECT_TRUE(d->isDouble());
  EXPECT_EQ(d->kind(), Number::kDouble);
  EXPECT_EQ(d->integerValue(), 2);
  EXPECT_EQ(d->doubleValue(), 2.9);

  Ref<Number> b = Number::withBool(true);
  EXPECT_TRUE(b->isBool());
  EXPECT_TRUE(b->isInteger());
  EXPECT_EQ(b->integerValue(), 1);
  EXPECT_EQ(Number::withBool(false)->integerValue(), 0);
  EXPECT_STREQ(b->classNameC(), "Number");
  EXPECT_EQ(Object::className(b)->view(), "Number");

  // From 2^63 up: the same 64 bits as the integer view, printed unsigned.
  Ref<Number> u = Number::withU64(UINT64_MAX);
  EXPECT_TRUE(u->isInteger());
  EXPECT_TRUE(u->isUnsigned());
  EXPECT_EQ(u->integerValue(), -1);
  EXPECT_EQ(u->doubleValue(), -1.0);
  EXPECT_FALSE(Number::withU64(uint64_t(INT64_MAX))->isUnsigned());
  EXPECT_EQ(Number::withU64(5), Number::withI64(5));  // below 2^63, the shared withI64 values
  EXPECT_FALSE(i->isUnsigned());

  Number plain;
  EXPECT_TRUE(plain.isInteger());
  EXPECT_EQ(plain.integerValue(), 0);
}

TEST(Number, ViewConversions) {
  struct Row {
    double value;
    int64_t integer;
  };
  const Row rows[] = {
      {1e19, 0},
      {-9223372036854775808.0, INT64_MIN},
      {9223372036854775808.0, 0},  // 2^63 itself does not fit
      {9223372036854774784.0, 9223372036854774784},  // the largest double below 2^63
      {-1e19, 0},
      {2.9, 2},
      {-2.9, -2},
      {kNaN, 0},
      {kInf, 0},
      {-kInf, 0},
      {-0.0, 0},
      {0.99999, 0},
  };
  for (const Row& r : rows) EXPECT_EQ(Number::withDouble(r.value)->integerValue(), r.integer) << r.value;
  // Integers beyond 2^53 take the nearest double, ties to even.
  EXPECT_EQ(Number::withI64(9007199254740993)->doubleValue(), 9007199254740992.0);
  EXPECT_EQ(Number::withI64(9007199254740995)->doubleValue(), 9007199254740996.0);
  EXPECT_EQ(Number::withI64(INT64_MAX)->doubleValue(), 9223372036854775808.0);
}

TEST(Number, Descriptions) {
  struct Row {
    Ref<Number> number;
    const char* text;
  };
  const Row rows[] = {
      {Number::withDouble(1.5), "1.500000"},
      {Number::withDouble(1e20), "100000000000000000000.000000"},
      {Number::withDouble(-0.0), "-0.000000"},
      {Number::withDouble(kNaN), "nan"},
      {Number::withDouble(kInf), "inf"},
      {Number::withDouble(-kInf), "-inf"},
      {Number::withDouble(0.1234565), "0.123456"},  // the double lies just below the tie
      {Number::withDouble(2.5e-7), "0.000000"},
      {Number::withDouble(7.0), "7.000000"},
      {Number::withI64(-7), "-7"},
      {Number::withI64(INT64_MIN), "-9223372036854775808"},
      {Number::withI64(123456789), "123456789"},
      {Number::withU64(UINT64_MAX), "18446744073709551615"},
      {Number::withU64(uint64_t{1} << 63), "9223372036854775808"},
      {Number::withU64(uint64_t(INT64_MAX)), "9223372036854775807"},
      {Number::withBool(true), "true"},
      {Number::withBool(false), "false"},
  };
  for (const Row& r : rows) EXPECT_EQ(Desc(r.number), r.text);
}

TEST(Number, AsBool) {
  EXPECT_TRUE(Number::withDouble(kNaN)->asBool());
  EXPECT_FALSE(Number::withDouble(-0.0)->asBool());
  EXPECT_FALSE(Number::withDouble(0.0)->asBool());
  EXPECT_TRUE(Number::withDouble(0.5)->asBool());
  EXPECT_FALSE(Number::withI64(0)->asBool());
  EXPECT_TRUE(Number::withI64(-3)->asBool());
  EXPECT_FALSE(Number::withBool(false)->asBool());
  EXPECT_TRUE(Number::withBool(true)->asBool());
}

TEST(Number, Equality) {
  struct Row {
    Ref<Number> a, b;
    bool equal;
  };
  const Row rows[] = {
      {Number::withI64(3), Number::withDouble(3.0), true},
      {Number::withDouble(kNaN), Number::withDouble(kNaN), false},
      {Number::withDouble(0.0), Number::withDouble(-0.0), true},
      {Number::withBool(true), Number::withI64(1), true},
      {Number::withBool(true), Number::withDouble(1.0), true},
      {Number::withBool(false), Number::withI64(0), true},
      {Number::withI64(2), Number::withDouble(2.5), false},
      // Same kind: exact; mixed kinds: through the double views.
      {Number::withI64(9007199254740993), Number::withI64(9007199254740992), false},
      {Number::withI64(9007199254740993), Number::withDouble(9007199254740992.0), true},
      {Number::withI64(INT64_MAX), Number::withDouble(9223372036854775808.0), true},
      // Read above the signed range: the number read, never its integer view.
      {Number::withU64(UINT64_MAX), Number::withI64(-1), false},
      {Number::withU64(uint64_t{1} << 63), Number::withI64(INT64_MIN), false},
      {Number::withU64(UINT64_MAX), Number::withU64(UINT64_MAX), true},
      {Number::withU64(UINT64_MAX), Number::withDouble(18446744073709551616.0), true},
      {Number::withU64(UINT64_MAX), Number::withDouble(-1.0), false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.a->equals(r.b), r.equal) << Desc(r.a) << " vs " << Desc(r.b);
    EXPECT_EQ(r.b->equals(r.a), r.equal) << Desc(r.b) << " vs " << Desc(r.a);
  }
  Ref<Number> nan = Number::withDouble(kNaN);
  EXPECT_FALSE(nan->equals(nan));
  EXPECT_FALSE(Number::withI64(1)->equals(String::withCString("1")));
  EXPECT_FALSE(Number::withI64(1)->equals(nullptr));
}

TEST(Number, Ordering) {
  struct Row {
    Ref<Number> a, b;
    int expected;
  };
  const Row rows[] = {
      {Number::withI64(2), Number::withDouble(2.5), -1},
      {Number::withDouble(2.5), Number::withI64(2), 1},
      {Number::withI64(INT64_MIN), Number::withI64(INT64_MAX), -1},
      {Number::withI64(9007199254740993), Number::withI64(9007199254740992), 1},  // exact as integers
      {Number::withI64(9007199254740993), Number::withDouble(9007199254740992.0), 0},
      {Number::withDouble(kNaN), Number::withI64(5), 0},
      {Number::withI64(5), Number::withDouble(kNaN), 0},
      {Number::withDouble(-kInf), Number::withDouble(-1e308), -1},
      {Number::withBool(true), Number::withI64(1), 0},
      {Number::withDouble(-0.0), Number::withDouble(0.0), 0},
      {Number::withU64(uint64_t{1} << 63), Number::withI64(INT64_MAX), 1},
      {Number::withI64(-1), Number::withU64(UINT64_MAX), -1},
      {Number::withU64(UINT64_MAX), Number::withU64(uint64_t{1} << 63), 1},
      {Number::withU64(uint64_t{1} << 63), Number::withDouble(1e19), -1},
  };
  for (const Row& r : rows) EXPECT_EQ(r.a->compare(r.b), r.expected) << Desc(r.a) << " vs " << Desc(r.b);
  EXPECT_TRUE(Number::withI64(1)->hasCompare());
  EXPECT_EQ(Number::withI64(1)->compare(nullptr), 0);
  EXPECT_EQ(Number::withI64(1)->compare(String::withCString("2")), 0);
}

uint32_t AddressStyleHash(uint32_t a) {
  uint32_t h = (a ^ (a >> 16)) * 0x85ebca77u;
  return h ^ (h >> 13);
}

TEST(Number, Hashing) {
  EXPECT_EQ(Number::withI64(1)->hash(), AddressStyleHash(1));
  EXPECT_EQ(Number::withI64(-1)->hash(), AddressStyleHash(0xFFFFFFFFu));
  EXPECT_EQ(Number::withI64(0x100000005)->hash(), AddressStyleHash(5));  // low 32 bits
  EXPECT_EQ(Number::withDouble(2.9)->hash(), Number::withI64(2)->hash());
  EXPECT_EQ(Number::withDouble(1.0)->hash(), Number::withI64(1)->hash());
  EXPECT_EQ(Number::withBool(true)->hash(), Number::withI64(1)->hash());
  EXPECT_EQ(Number::withDouble(-0.0)->hash(), Number::withDouble(0.0)->hash());

  // Every pair that is equal hashes equal, also beyond 2^53 where an
  // integer equals the double it rounds to.
  const int64_t integers[] = {9007199254740993, 9007199254740992, 9007199254740995, INT64_MAX,
                              INT64_MIN,        -9007199254740993, (int64_t{1} << 62) + 1,
                              0,                1,                 -(int64_t{1} << 60) - 3};
  for (int64_t i : integers) {
    Ref<Number> n = Number::withI64(i);
    Ref<Number> asDouble = Number::withDouble(static_cast<double>(i));
    ASSERT_TRUE(n->equals(asDouble)) << i;
    EXPECT_EQ(n->hash(), asDouble->hash()) << i;
    for (int64_t j : integers) {
      Ref<Number> other = Number::withI64(j);
      if (asDouble->equals(other)) {
        EXPECT_EQ(asDouble->hash(), other->hash()) << i << " " << j;
      }
    }
  }
  EXPECT_EQ(Number::withI64(9007199254740993)->hash(), Number::withDouble(9007199254740992.0)->hash());
}

// Numbers of every form, drawn at the edges where forms and texts meet and
// at random: equals, compare and hash agree with the numbers' values, and
// written() is equal exactly when the JSON writer writes one text.
TEST(Number, WrittenAlikeExactlyWhenWrittenTheSame) {
  std::mt19937_64 random(20261210);
  const uint64_t edges[] = {0, 1, 2, 1023, 1024, uint64_t{1} << 53, (uint64_t{1} << 53) + 1, uint64_t{1} << 63,
                            (uint64_t{1} << 63) + 1, UINT64_MAX, UINT64_MAX - 1, uint64_t(INT64_MAX)};
  auto draw = [&]() -> Ref<Number> {
    const uint64_t bits = random() % 3 ? edges[random() % std::size(edges)] : random() >> (random() % 64);
    switch (random() % 6) {
      case 0: return Number::withI64(int64_t(bits));
      case 1: return Number::withI64(-int64_t(bits % (uint64_t{1} << 63)));
      case 2: return Number::withU64(bits);
      case 3: return Number::withBool(bits & 1);
      case 4: return Number::withDouble(random() % 2 ? -double(bits) : double(bits));
      default: {  // any finite double, -0.0 among them
        const double d = std::bit_cast<double>(bits);
        return Number::withDouble(std::isfinite(d) ? d : random() % 2 ? 0.0 : -0.0);
      }
    }
  };
  // The exact value of an integer of either form.
  auto exact = [](const Number& n) -> __int128 {
    return n.isUnsigned() ? __int128(uint64_t(n.integerValue())) : __int128(n.integerValue());
  };
  const int rounds = test::rounds(20000);
  for (int i = 0; i < rounds; ++i) {
    Ref<Number> a = draw(), b = draw();
    const std::string ta(JSON::stringify(a)->view()), tb(JSON::stringify(b)->view());
    SCOPED_TRACE(ta + " vs " + tb);
    ASSERT_EQ(a->written() == b->written(), ta == tb);
    if (a->equals(b)) { ASSERT_EQ(a->hash(), b->hash()); }
    ASSERT_EQ(a->equals(b), b->equals(a));
    ASSERT_EQ(a->compare(b), -b->compare(a));
    if (a->isInteger() && b->isInteger()) {
      const __int128 x = exact(*a), y = exact(*b);
      ASSERT_EQ(a->equals(b), x == y);
      ASSERT_EQ(a->compare(b), x < y ? -1 : x > y ? 1 : 0);
    }
    // Read back from its text, a number is written alike.
    ASSERT_TRUE(cast<Number>(JSON::parse(String::withCString(ta.c_str())))->written() == a->written());
  }
  // Texts that differ by the unsigned mark alone.
  EXPECT_FALSE(Number::withU64(UINT64_MAX)->written() == Number::withI64(-1)->written());
  EXPECT_FALSE(Number::withU64(uint64_t{1} << 63)->written() == Number::withI64(INT64_MIN)->written());
  EXPECT_FALSE(Number::withDouble(0.0)->written() == Number::withDouble(-0.0)->written());
  EXPECT_FALSE(Number::withBool(true)->written() == Number::withI64(1)->written());
  EXPECT_TRUE(Number::writtenInteger(-1) == Number::withI64(-1)->written());
}

TEST(Number, SharedSmallValues) {
  EXPECT_EQ(Number::withI64(0).get(), Number::withI64(0).get());
  EXPECT_EQ(Number::withI64(-128).get(), Number::withI64(-128).get());
  EXPECT_EQ(Number::withI64(1023).get(), Number::withI64(1023).get());
  EXPECT_EQ(Number::withBool(true).get(), Number::withBool(true).get());
  EXPECT_NE(Number::withBool(true).get(), Number::withI64(1).get());  // a boolean keeps its flag
  Ref<Number> big1 = Number::withI64(1024), big2 = Number::withI64(1024);
  EXPECT_NE(big1.get(), big2.get());
  EXPECT_TRUE(big1->equals(big2));
  // Shared Numbers are whole objects: they hand out references to themselves.
  EXPECT_EQ(Number::withI64(5)->self<Number>().get(), Number::withI64(5).get());
  EXPECT_EQ(Number::withI64(-128)->integerValue(), -128);
  EXPECT_FALSE(Number::withI64(5)->isBool());
}

}  // namespace
}  // namespace quorl
