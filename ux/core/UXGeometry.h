// Packed rectangles and the small integer geometry of the toolkit.
//
// A UXRect is four signed 16-bit values in one 64-bit word (x in bits 0-15,
// y 16-31, width 32-47, height 48-63), passed by value everywhere: views,
// the driver, the drawing surface. Edges are summed in 16 bits and compared
// as signed 16-bit values, so x + w wraps at 32767 exactly as the packed
// form implies.
#pragma once

#include <cstdint>

#include "foundation/Object.h"

namespace quorl {

struct UXRect {
  uint64_t bits = 0;

  constexpr UXRect() = default;
  constexpr explicit UXRect(uint64_t packed) : bits(packed) {}
  // Each value is cut to 16 bits (two's complement), as the packing demands.
  constexpr UXRect(int32_t x, int32_t y, int32_t w, int32_t h)
      : bits(uint64_t(uint16_t(x)) | uint64_t(uint16_t(y)) << 16 | uint64_t(uint16_t(w)) << 32 |
             uint64_t(uint16_t(h)) << 48) {}

  constexpr int16_t x() const { return int16_t(uint16_t(bits)); }
  constexpr int16_t y() const { return int16_t(uint16_t(bits >> 16)); }
  constexpr int16_t w() const { return int16_t(uint16_t(bits >> 32)); }
  constexpr int16_t h() const { return int16_t(uint16_t(bits >> 48)); }
  // Right and bottom edges, summed in 16 bits.
  constexpr int16_t maxX() const { return int16_t(uint16_t(uint16_t(x()) + uint16_t(w()))); }
  constexpr int16_t maxY() const { return int16_t(uint16_t(uint16_t(y()) + uint16_t(h()))); }

  constexpr bool operator==(const UXRect& o) const { return bits == o.bits; }
  constexpr bool operator!=(const UXRect& o) const { return bits != o.bits; }
};

// Never instantiated: class functions on rectangles and integers.
class UXGeom {
 public:
  UXGeom() = delete;

  static bool isEmpty(UXRect r);
  // x <= px < x + w and y <= py < y + h.
  static bool contains(UXRect r, int16_t px, int16_t py);
  // The bounding rectangle; an empty operand gives the other one unchanged.
  static UXRect unite(UXRect a, UXRect b);
  // Half-open overlap test without an emptiness test (see the .cpp).
  static bool intersects(UXRect a, UXRect b);
  // Integer square root of n; 0 for n < 1. Meant for n up to 2^31 - 2.
  static int32_t isqrt(int32_t n);
};

}  // namespace quorl
