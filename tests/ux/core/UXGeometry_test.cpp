// Packed rectangles, their functions and the integer square root.
#include <gtest/gtest.h>

#include "ux/core/UXGeometry.h"

namespace quorl {
namespace {

TEST(UXRectTest, PacksFourSigned16BitFieldsLowToHigh) {
  UXRect r(1, 2, 3, 4);
  EXPECT_EQ(r.bits, 0x0004000300020001ull);
  EXPECT_EQ(UXRect(-1, 0, 0, -2).bits, 0xFFFE00000000FFFFull);
  UXRect back(0xFFFE00000000FFFFull);
  EXPECT_EQ(back.x(), -1);
  EXPECT_EQ(back.h(), -2);
  // Values are cut to 16 bits, two's complement.
  UXRect cut(65536 + 5, -32769, 70000, 0);
  EXPECT_EQ(cut.x(), 5);
  EXPECT_EQ(cut.y(), 32767);
  EXPECT_EQ(cut.w(), 70000 - 65536);
}

TEST(UXRectTest, EdgesSumIn16BitsAndWrap) {
  UXRect r(32760, 0, 10, 1);
  EXPECT_EQ(r.maxX(), -32766);
  // Wrapped: the right edge lies left of x, so nothing is contained.
  EXPECT_FALSE(UXGeom::contains(r, 32765, 0));
}

TEST(UXGeomTest, EmptinessIsWidthOrHeightBelowOne) {
  struct Case { UXRect r; bool empty; } cases[] = {
      {UXRect(0, 0, 0, 0), true},   {UXRect(0, 0, 1, 1), false}, {UXRect(5, 5, 0, 9), true},
      {UXRect(5, 5, 9, 0), true},   {UXRect(0, 0, -3, 4), true}, {UXRect(-10, -10, 1, 1), false},
  };
  for (const Case& c : cases) EXPECT_EQ(UXGeom::isEmpty(c.r), c.empty) << c.r.bits;
}

TEST(UXGeomTest, ContainsIsHalfOpen) {
  UXRect r(10, 10, 5, 5);
  EXPECT_TRUE(UXGeom::contains(r, 10, 10));
  EXPECT_TRUE(UXGeom::contains(r, 14, 14));
  EXPECT_FALSE(UXGeom::contains(r, 15, 10));
  EXPECT_FALSE(UXGeom::contains(r, 10, 15));
  EXPECT_FALSE(UXGeom::contains(r, 9, 12));
  EXPECT_FALSE(UXGeom::contains(UXRect(0, 0, 0, 5), 0, 0));
}

TEST(UXGeomTest, UniteSkipsEmptyOperands) {
  UXRect b(3, 4, 5, 6);
  EXPECT_EQ(UXGeom::unite(UXRect(), b), b);
  EXPECT_EQ(UXGeom::unite(b, UXRect(100, 100, 0, 7)), b);
  // Two empty rectangles give the second, unchanged.
  UXRect e2(9, 9, 0, 3);
  EXPECT_EQ(UXGeom::unite(UXRect(1, 1, 5, 0), e2), e2);
  EXPECT_EQ(UXGeom::unite(UXRect(10, 10, 5, 5), UXRect(100, 100, 1, 1)), UXRect(10, 10, 91, 91));
  EXPECT_EQ(UXGeom::unite(UXRect(-5, 20, 10, 10), UXRect(0, 0, 2, 2)), UXRect(-5, 0, 10, 30));
}

TEST(UXGeomTest, IntersectsHasNoEmptinessTest) {
  EXPECT_FALSE(UXGeom::intersects(UXRect(0, 0, 10, 10), UXRect(10, 0, 10, 10)));  // shared edge
  EXPECT_FALSE(UXGeom::intersects(UXRect(0, 0, 10, 10), UXRect(0, 10, 10, 10)));
  EXPECT_TRUE(UXGeom::intersects(UXRect(0, 0, 10, 10), UXRect(9, 9, 10, 10)));
  // A zero-width rectangle strictly inside the other's span does intersect.
  EXPECT_TRUE(UXGeom::intersects(UXRect(5, 0, 0, 10), UXRect(0, 0, 10, 10)));
  // ...but not at the other's left edge (x + 0 <= 0).
  EXPECT_FALSE(UXGeom::intersects(UXRect(0, 0, 0, 10), UXRect(0, 0, 10, 10)));
}

TEST(UXGeomTest, IsqrtTable) {
  struct Case { int32_t n, root; } cases[] = {
      {0, 0}, {-5, 0}, {1, 1}, {2, 1}, {3, 1}, {4, 2}, {15, 3}, {16, 4}, {17, 4},
      {99, 9}, {100, 10}, {65535, 255}, {65536, 256}, {2147395600, 46340}, {2147483646, 46340},
  };
  for (const Case& c : cases) EXPECT_EQ(UXGeom::isqrt(c.n), c.root) << c.n;
  EXPECT_EQ(UXGeom::isqrt(INT32_MIN), 0);
}

}  // namespace
}  // namespace quorl
