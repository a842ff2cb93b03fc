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

TEST(UXDate, ExtremeFieldsWrapInsteadOfOverflowing) {
  // Checked by the sanitizers: no signed overflow on any of these.
  for (int32_t v : {INT_MIN, INT_MIN + 1, -1, INT_MAX - 1, INT_MAX}) {
    days(v, 1, 1);
    days(2000, v, 1);
    days(2000, 3, v);
    days(v, v, v);
  }
  SUCCEED();
}

}  // namespace
}  // namespace quorl::test
