#include <climits>

#include "TextTestEnv.h"
#include "ux/text/UXDate.h"

namespace quorl::test {
namespace {

int32_t days(int32_t y, int32_t m, int32_t d) {
  auto date = make<UXDate>();
  date->year = y;
  date->month = m;
  date->day = d;
  return date->dayNumber();
}

TEST(UXDate, KnownDays) {
  struct Case { int32_t y, m, d, want; };
  const Case cases[] = {{1970, 1, 1, 0},      {1969, 12, 31, -1},  {2000, 3, 1, 11017}, {0, 3, 1, -719468},
                        {2000, 2, 30, 11017}, {2001, 2, 30, 11383}, {2001, 3, 2, 11383}};
  for (const Case& c : cases) EXPECT_EQ(days(c.y, c.m, c.d), c.want) << c.y << "-" << c.m << "-" << c.d;
  EXPECT_EQ(days(2000, 3, 1) - days(2000, 2, 29), 1);
  EXPECT_EQ(days(1900, 3, 1) - days(1900, 2, 28), 1);
  EXPECT_EQ(make<UXDate>()->description()->view(), "<UXDate>(1970, 1, 1, 0, 0, 0, 0)");
  EXPECT_EQ(make<UXTimeZone>()->description()->view(), "<UXTimeZone>(0)");
}

TEST(UXDate, AgreesWithCountingDaysOverFiftyCenturies) {
  // Walk every day from 0000-03-01 to 5000-01-01 by the leap-year rule.
  auto leap = [](int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
  const int32_t lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int32_t n = -719468;
  for (int32_t y = 0; y < 5000; y++)
    for (int32_t m = 1; m <= 12; m++) {
      if (y == 0 && m < 3) continue;
      const int32_t len = lengths[m - 1] + (m == 2 && leap(y) ? 1 : 0);
      for (int32_t d = 1; d <= len; d++, n++) ASSERT_EQ(days(y, m, d), n) << y << "-" << m << "-" << d;
    }
  // Before year 0 the eras round toward minus infinity.
  EXPECT_EQ(days(-1, 3, 1), -719468 - 366);  // year 0 is a leap year
  EXPECT_EQ(days(-400, 3, 1), -719468 - 146097);
}

// Fields are not validated: whatever they hold goes through the day-number
// formula, every step in 32-bit two's complement (wrapping where a step
// leaves the range, never overflowing). The day only adds, so a day of v
// reads v - 1 days after the month's first, wrapped; the other values were
// worked out step by step from the formula.
TEST(UXDate, ExtremeFieldsWrapInsteadOfOverflowing) {
  const struct {
    int32_t v;
    int32_t year, month, day, all;  // days(v, 1, 1), days(2000, v, 1), days(2000, 3, v), days(v, v, v)
  } cases[] = {
      {INT_MIN, -1627438391, -429485802, -2147472632, 90548497},
      {INT_MIN + 1, -1627438026, -429485772, -2147472631, 90548893},
      {-1, -719893, 10896, 11015, -719956},
      {INT_MAX - 1, -1627439121, 429507594, -2147472634, 949541160},
      {INT_MAX, -1627438756, 429507624, -2147472633, 949541556},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(days(k.v, 1, 1), k.year) << k.v;
    EXPECT_EQ(days(2000, k.v, 1), k.month) << k.v;
    EXPECT_EQ(days(2000, 3, k.v), k.day) << k.v;
    EXPECT_EQ(days(2000, 3, k.v), int32_t(uint32_t(days(2000, 3, 1)) + uint32_t(k.v) - 1u)) << k.v;
    EXPECT_EQ(days(k.v, k.v, k.v), k.all) << k.v;
  }
}

}  // namespace
}  // namespace quorl::test
