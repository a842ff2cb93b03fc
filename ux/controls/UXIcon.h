// The 25 built-in 16 x 16 line icons, addressed by name and drawn in one
// palette colour from one-pixel lines, small filled rectangles and filled
// triangles. Class operations only: nothing makes a UXIcon.
//
// The Win32 driver draws every icon into its toolbar's image list, asking
// for the names by position (`nameAt`, 0 .. kCount - 1), and maps an item's
// icon name back to its position (`indexOf`); keep both stable.
#pragma once

#include <cstdint>

#include "foundation/Object.h"

namespace quorl {

class UXGraphics;

class UXIcon : public Object {
 public:
  UXIcon() = delete;

  static constexpr int32_t kCount = 25;
  static constexpr int32_t kSize = 16;

  // The two names hold the same bytes up to and including their NUL; a null
  // name equals only another null name.
  static bool same(const char* a, const char* b);
  // Position of name in the table; -1 for null, "" or a name not in it.
  static int32_t indexOf(const char* name);
  // The name at position; "" (a name that draws nothing) outside 0 .. 24.
  static const char* nameAt(int32_t position);
  // A one-pixel line from (x1, y1) to (x2, y2), both ends included, made of
  // fillRect calls: one rectangle for a vertical or horizontal line, one
  // 1 x 1 rectangle per pixel (Bresenham) otherwise. Pixels beyond the
  // surface's signed 16-bit range are left out rather than wrapped.
  static void ln(UXGraphics& g, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t ci);
  // Draws the icon with its top-left corner at (x, y); false, drawing
  // nothing, for a name indexOf does not know.
  static bool draw(UXGraphics& g, const char* name, int32_t x, int32_t y, uint32_t ci);

  const char* classNameC() const override { return "UXIcon"; }
};

}  // namespace quorl
