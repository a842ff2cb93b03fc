// Drawing helpers shared by the chart view's three modes.
//
// The charts lay themselves out in 32- and 64-bit arithmetic, but a surface
// takes signed 16-bit coordinates: a tall chart (thousands of rows) or a far
// error bar would wrap past 32767 and land on the wrong side of the view.
// ChartCanvas passes on what fits and cuts the rest off the way a clipping
// surface would: rectangles reaching past the range are cut to 0..32767, a
// text whose anchor does not fit is left out, a line's ends are held to the
// range. What fits is passed on unchanged.
//
// A chart larger than a frame can hold is drawn in slices: the canvas takes
// chart coordinates and moves them by the origin of the slice (the chart
// pixel at the view's top left corner), and a ChartBand names the chart
// pixels in sight, so that the drawing can skip what lies outside them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <typeinfo>

#include "bench/BHelp.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXClamp.h"
#include "ux/core/UXGeometry.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXPainter.h"

namespace quorl::chart {

inline constexpr int64_t kMinCoord = -32768;
inline constexpr int64_t kMaxCoord = 32767;

// Truncation toward zero; NaN and values outside the signed 32-bit range
// give 0.
inline int32_t toI32(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;
  return static_cast<int32_t>(v);
}

// The same for the signed 64-bit range (2^63 itself is already outside).
inline int64_t toI64(double v) {
  if (!(v >= -9223372036854775808.0 && v < 9223372036854775808.0)) return 0;
  return static_cast<int64_t>(v);
}

// Row i of a chart's rows, or null when that entry is no ChartRow. The
// class is final, so comparing the exact type is the whole test, and much
// cheaper than a dynamic_cast in loops over every row.
inline ChartRow* rowAt(const Array& rows, uint32_t i) {
  Object* o = rows.get(i).get();
  return o && typeid(*o) == typeid(ChartRow) ? static_cast<ChartRow*>(o) : nullptr;
}

// A row's shown value as text: a speed-up factor ("3.00x") in metric 1,
// else a time (Fmt::us of the value truncated to whole microseconds).
inline Ref<String> valueText(int32_t metric, double shown) {
  if (metric == 1) return String::withFormat("%.2fx", shown);
  return Fmt::us(toI64(shown));
}

inline bool fits16(int64_t v) { return v >= kMinCoord && v <= kMaxCoord; }

// Red, green and blue of a 0xRRGGBB colour.
struct RGB {
  uint32_t r, g, b;
  static RGB of(uint32_t color) { return {(color >> 16) & 255u, (color >> 8) & 255u, color & 255u}; }
};

// The chart pixels in sight, [left, right) x [top, bottom), and the chart
// pixel at the view's top left corner. The default is a view at the chart's
// origin that shows all a frame can hold.
struct ChartBand {
  int64_t originX = 0, originY = 0;
  int64_t left = 0, top = 0, right = kMaxCoord + 1, bottom = kMaxCoord + 1;

  bool meetsY(int64_t y0, int64_t y1) const { return y1 > top && y0 < bottom; }
  bool meetsX(int64_t x0, int64_t x1) const { return x1 > left && x0 < right; }
};

class ChartCanvas {
 public:
  explicit ChartCanvas(UXGraphics& g, const ChartBand& band = ChartBand())
      : g_(g), dx_(band.originX), dy_(band.originY) {}

  UXGraphics& surface() { return g_; }

  void fillRect(int64_t x, int64_t y, int64_t w, int64_t h, uint32_t r, uint32_t gr, uint32_t b) {
    int64_t x0, y0, x1, y1;
    if (!cut(x - dx_, y - dy_, w, h, x0, y0, x1, y1)) return;
    g_.fillRectRGB(UXRect(int32_t(x0), int32_t(y0), int32_t(x1 - x0), int32_t(y1 - y0)), r, gr, b);
  }

  // A rounded rectangle that fits is drawn as it is; one that reaches past
  // the range is cut like a plain one (its cut corners lie outside every
  // view anyway).
  void fillRoundRect(int64_t x, int64_t y, int64_t w, int64_t h, int32_t radius, uint32_t r, uint32_t gr,
                     uint32_t b, uint32_t a) {
    int64_t x0, y0, x1, y1;
    if (!cut(x - dx_, y - dy_, w, h, x0, y0, x1, y1)) return;
    UXPainter::fillRoundRectRGBA(g_, UXRect(int32_t(x0), int32_t(y0), int32_t(x1 - x0), int32_t(y1 - y0)),
                                 radius, r, gr, b, a);
  }

  void text(const char* s, int64_t x, int64_t y, uint32_t r, uint32_t gr, uint32_t b, int32_t size) {
    x -= dx_;
    y -= dy_;
    if (!fits16(x) || !fits16(y)) return;
    g_.drawTextRGBA(s, int16_t(x), int16_t(y), r, gr, b, 255, size);
  }

  // A vertical or horizontal line (the charts draw no other): an end far
  // past the range is held to its edge rather than wrapped round it when
  // packed into 16 bits, which leaves the part within the range where it
  // falls. Ends that fit are drawn exactly where they are.
  void line(int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint32_t ci) {
    x1 = uxClamp16(x1 - dx_), x2 = uxClamp16(x2 - dx_), y1 = uxClamp16(y1 - dy_), y2 = uxClamp16(y2 - dy_);
    g_.drawLine(int16_t(x1), int16_t(y1), int16_t(x2), int16_t(y2), ci);
  }

 private:
  // The edges of (x, y, w, h) to pass on. A rectangle whose corners all fit
  // 16 bits goes to the surface as it is, empty or partly off the view
  // included, so in-range drawing is exactly what the layout asks for.
  // Otherwise the part of it between 0 and 32767 on both axes; false when
  // nothing of it is (or it is empty to begin with). Nothing of a view lies
  // left of or above 0, and keeping the origin there keeps the width and
  // the right edge within 16 bits too.
  static bool cut(int64_t x, int64_t y, int64_t w, int64_t h, int64_t& x0, int64_t& y0, int64_t& x1, int64_t& y1) {
    if (fits16(x) && fits16(y) && fits16(w) && fits16(h) && fits16(x + w) && fits16(y + h)) {
      x0 = x, y0 = y, x1 = x + w, y1 = y + h;
      return true;
    }
    if (w < 1 || h < 1) return false;
    x0 = std::max<int64_t>(x, 0);
    y0 = std::max<int64_t>(y, 0);
    x1 = std::min(x + w, kMaxCoord);
    y1 = std::min(y + h, kMaxCoord);
    return x1 > x0 && y1 > y0;
  }

  UXGraphics& g_;
  int64_t dx_ = 0, dy_ = 0;
};

}  // namespace quorl::chart
