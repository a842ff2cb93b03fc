#include "ux/core/UXGeometry.h"

namespace quorl {

bool UXGeom::isEmpty(UXRect r) { return r.w() < 1 || r.h() < 1; }

bool UXGeom::contains(UXRect r, int16_t px, int16_t py) {
  return r.x() <= px && px < r.maxX() && r.y() <= py && py < r.maxY();
}

UXRect UXGeom::unite(UXRect a, UXRect b) {
  if (isEmpty(a)) return b;
  if (isEmpty(b)) return a;
  int16_t x = a.x() < b.x() ? a.x() : b.x();
  int16_t y = a.y() < b.y() ? a.y() : b.y();
  int16_t right = a.maxX() > b.maxX() ? a.maxX() : b.maxX();
  int16_t bottom = a.maxY() > b.maxY() ? a.maxY() : b.maxY();
  // Differences in 16 bits, like the sums.
  return UXRect(x, y, uint16_t(uint16_t(right) - uint16_t(x)), uint16_t(uint16_t(bottom) - uint16_t(y)));
}

// No emptiness test on purpose: a zero-width rectangle whose x lies strictly
// inside the other's span still intersects it, which the damage test relies
// on for thin views.
bool UXGeom::intersects(UXRect a, UXRect b) {
  if (a.maxX() <= b.x()) return false;
  if (b.maxX() <= a.x()) return false;
  if (a.maxY() <= b.y()) return false;
  if (b.maxY() <= a.y()) return false;
  return true;
}

int32_t UXGeom::isqrt(int32_t n) {
  if (n < 1) return 0;
  if (n == 1) return 1;
  int32_t x = n, y = 1;
  while (x > y) {
    // (x + y) in 64 bits: x starts at n, so the sum can pass 2^31 - 1.
    x = int32_t((int64_t(x) + y) / 2);
    y = n / x;
  }
  return x;
}

}  // namespace quorl
