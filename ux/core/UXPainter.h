// The vector painter: fills paths and rounded rectangles and strokes paths
// with width, caps, joins and dashes, using only a surface's polygon fills
// or, where the surface offers it, its native stroking.
//
// Not re-entrant: the working buffers are globals, overwritten by every
// operation; all drawing happens on the user-interface thread.
#pragma once

#include <cstdint>

#include "ux/core/UXGeometry.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXShapePath.h"

namespace quorl {

inline constexpr uint32_t kUXPaintPoints = 128;
inline constexpr uint32_t kUXFlatPairs = 2000;
inline constexpr uint32_t kUXOpWords = 2048;

extern int16_t gUXPaintXY[kUXPaintPoints * 2];
extern int32_t gUXFlatFx[kUXFlatPairs * 2];
extern int32_t gUXOps[kUXOpWords];
extern uint32_t gUXDash[8];

// Colours: 0..255 are palette indices, anything else 0xAARRGGBB.
class UXPainter {
 public:
  UXPainter() = delete;

  static void fillShape(UXGraphics& g, const UXShapePath& path, uint32_t colour);
  static uint32_t flatten(const UXShapePath& path);
  static void fillRoundRectRGBA(UXGraphics& g, UXRect rect, int32_t radius, uint32_t r, uint32_t gr,
                                uint32_t b, uint32_t a);
  static void strokePath(UXGraphics& g, const UXShapePath& path, double width, uint32_t colour);
  static void emit(UXGraphics& g, uint32_t n, uint32_t colour);
  static void strokeSegmentFx(UXGraphics& g, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t wFx,
                              uint32_t colour);
  static void strokeJoinFx(UXGraphics& g, int32_t x, int32_t y, int32_t wFx, uint32_t colour);
  static uint32_t encodeOps(const UXShapePath& path);
  static void strokeDashedNeutral(UXGraphics& g, const UXShapePath& path, double width, uint32_t colour);

  struct DashPattern {
    int64_t lengths[8];
    uint32_t count;
    int64_t total;
  };
  struct DashState {
    bool on;
    int64_t remaining;
  };
  static DashState dashRun(int64_t offset, const DashPattern& pattern);
  // Dashes the segment p -> q starting at pattern offset d; answers the new d.
  static int64_t dashSegment(UXGraphics& g, int32_t px, int32_t py, int32_t qx, int32_t qy, int64_t d,
                             const DashPattern& pattern, int32_t wFx, uint32_t colour);
  static int64_t segLenFx(int64_t dx, int64_t dy);

  static int32_t fxToPx(int64_t v);
  static int64_t divRound(int64_t a, int64_t b);
};

}  // namespace quorl
