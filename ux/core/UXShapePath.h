// Vector paths of the painter: elements in whole pixels, flattening into
// 1/16-pixel fixed point ("fx"), and the outlines of stroke caps.
//
// Sections:
//   1. UXPathElement and the classes that only describe themselves
//   2. UXShapePath: building, flattening, caps
//   3. Arc tables
#pragma once

#include <cstdint>

#include "foundation/Array.h"
#include "foundation/Object.h"

namespace quorl {

class String;

// ---------------------------------------------------------------------------
// 1. Elements.
enum : uint32_t { kUXPathMove = 0, kUXPathLine = 1, kUXPathClose = 2, kUXPathCurve = 3 };

// Markers that interleave with the flattened points.
inline constexpr int32_t kUXFlatSubpath = -2000000;  // the next pair starts a subpath
inline constexpr int32_t kUXFlatClosed = -2000001;   // the subpath is closed

class UXPathElement : public Object {
 public:
  uint32_t kind = kUXPathMove;  // any kind but move, close and curve acts as a line
  int16_t x = 0, y = 0;
  int16_t c1x = 0, c1y = 0;
  int16_t c2x = 0, c2y = 0;

  Ref<String> description() const override;
  const char* classNameC() const override { return "UXPathElement"; }
};

class UXEdge : public Object {
 public:
  int16_t a = 0, b = 0, c = 0, d = 0;
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXEdge"; }
};

class UXGradientStop : public Object {
 public:
  uint32_t value = 0;
  Ref<Object> object;
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXGradientStop"; }
};

class UXGradient : public Object {
 public:
  Ref<Object> object;
  const char* classNameC() const override { return "UXGradient"; }
};

// ---------------------------------------------------------------------------
// 2. Paths.
class UXShapePath : public Object {
 public:
  Ref<Array> elements = make<Array>();
  uint8_t hasCurves = 0;
  int16_t currentX = 0, currentY = 0;
  uint32_t startCap = 0;  // 0 flat, 1 round, 2 square, 3 arrow
  uint32_t endCap = 0;
  uint32_t join = 1;  // 0 miter, 1 round, 2 bevel (native stroking only)
  uint32_t dashCount = 0;
  uint32_t dashPhase = 0;
  uint32_t dashes[8] = {};
  int16_t width = 0;
  int16_t arrowLength = 0;

  static void add(UXShapePath& path, uint32_t kind, int16_t x, int16_t y);
  static Ref<UXShapePath> roundRect(int16_t x, int16_t y, int16_t w, int16_t h, int16_t radius);

  // Writes points and markers as (x, y) i32 pairs; answers the pairs written.
  static uint32_t flattenFx(const UXShapePath& path, int32_t* out, uint32_t capacity);
  static uint32_t flattenCurveFx(int32_t* out, uint32_t n, uint32_t capacity, int32_t x0, int32_t y0,
                                 int32_t c1x, int32_t c1y, int32_t c2x, int32_t c2y, int32_t x3, int32_t y3,
                                 uint32_t depth);
  static bool curveIsFlatFx(int32_t x0, int32_t y0, int32_t c1x, int32_t c1y, int32_t c2x, int32_t c2y,
                            int32_t x3, int32_t y3);

  // Direction pointing away from the path at its start or end.
  static bool capDirection(const UXShapePath& path, uint8_t atStart, int32_t& dx, int32_t& dy);
  static bool capAnchor(const UXShapePath& path, uint8_t atStart, int16_t& x, int16_t& y);
  static Ref<UXShapePath> capOutline(const UXShapePath& path, uint8_t atStart, double width);

  const UXPathElement& elementAt(uint32_t i) const;

  Ref<String> description() const override;
  const char* classNameC() const override { return "UXShapePath"; }
};

// ---------------------------------------------------------------------------
// 3. 256 x cos and 256 x sin of k x 22.5 degrees, k = 0..8.
extern bool gUXArcReady;
extern int32_t gUXArcC[9];
extern int32_t gUXArcS[9];
void uxArcInit();

// Integer square root by the toolkit's iteration, in 64 bits so that squared
// fixed-point lengths of long segments do not wrap; identical to
// UXGeom::isqrt wherever that one is defined.
int64_t uxIsqrt64(int64_t n);

}  // namespace quorl
