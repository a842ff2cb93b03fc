// The drawing surface contract: everything a view draws goes through a
// UXGraphics handed out by the driver's `beginViewDraw`, valid until the
// matching `endViewDraw`.
//
// Sections:
//   1. Colours: the palette, UXColor
//   2. UXGraphics: the surface operations in slot order
//   3. uxGfxDrawRect: the shared outline body
//   4. UXImage
//
// Units: whole pixels, signed 16-bit, relative to the surface's origin (the
// top-left corner of the view being drawn); y grows downwards. ci is a
// palette index; r, g, b, a are 0..255 each.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/Object.h"
#include "ux/core/UXGeometry.h"

namespace quorl {

class String;

// ---------------------------------------------------------------------------
// 1. Colours.

// The palette as 0xRRGGBB: 0 white, 2 red, 8 control face, 9 grey,
// 250 selection; every other index black.
uint32_t uxPaletteRGB(uint32_t ci);

// Stroke cap and join codes.
enum : uint32_t {
  kUXCapFlat = 0,
  kUXCapRound = 1,
  kUXCapSquare = 2,
  kUXCapArrow = 3,  // drawn by the painter; reaches a surface as flat
  kUXJoinMiter = 0,
  kUXJoinRound = 1,
  kUXJoinBevel = 2,
};

// Op-list codes for native stroking (i32 words, pixel coordinates):
// 0 x y move, 1 x y line, 2 c1x c1y c2x c2y x y cubic, 3 close.
enum : int32_t { kUXOpMove = 0, kUXOpLine = 1, kUXOpCubic = 2, kUXOpClose = 3 };

// Nothing in the system constructs one; it exists for its description.
class UXColor : public Object {
 public:
  uint32_t red = 0, green = 0, blue = 0, alpha = 0;
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXColor"; }
};

// ---------------------------------------------------------------------------
// 2. The surface. Slots 0-24 in order. A surface that does not blend ignores
//    alpha and paints opaque; one that lacks theme art fills theme parts with
//    palette colour 8. Degenerate input draws nothing.
class UXGraphics : public Object {
 public:
  virtual void fillRect(UXRect rect, uint32_t ci) = 0;                                      // 0
  virtual void fillRectRGB(UXRect rect, uint32_t r, uint32_t g, uint32_t b) = 0;            // 1
  virtual void fillRectRGBA(UXRect rect, uint32_t r, uint32_t g, uint32_t b, uint32_t a) = 0;  // 2
  // Outline, at least 1 pixel thick; by default the shared body uxGfxDrawRect.
  virtual void drawRect(UXRect rect, int32_t thickness, uint32_t ci);                        // 3
  virtual void drawRectRGB(UXRect rect, int32_t thickness, uint32_t r, uint32_t g, uint32_t b);  // 4
  virtual void clearRect(UXRect rect) = 0;                                                   // 5
  // src of a width x height image of 4-byte pixels (rows top first) scaled
  // into dest at constant opacity alpha (1..255; more counts as 255).
  // swap 1: R, G, B, A order; otherwise B, G, R, A. Nothing when pixels is
  // null, alpha < 1 or dest is empty.
  virtual void drawPixels(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t swap,
                          UXRect src, UXRect dest, uint32_t alpha) = 0;                      // 6
  virtual void drawTheme(const char* part, UXRect rect) = 0;                                 // 7
  // Top-left corner at (x, y), transparent background; size < 1 keeps the
  // current font.
  virtual void drawText(const char* text, int16_t x, int16_t y, uint32_t ci, int32_t size) = 0;  // 8
  virtual void drawTextRGBA(const char* text, int16_t x, int16_t y, uint32_t r, uint32_t g, uint32_t b,
                            uint32_t a, int32_t size) = 0;                                   // 9
  // size < 1 means 12; bold selects weight 700 instead of 400.
  virtual void drawTextFont(const char* text, int16_t x, int16_t y, uint32_t ci, const char* face,
                            int32_t size, uint8_t bold, uint8_t italic) = 0;                 // 10
  // weight < 1 means 400, size < 1 means 12.
  virtual void drawTextFontRGBA(const char* text, int16_t x, int16_t y, const char* face, int32_t size,
                                int32_t weight, uint8_t italic, uint32_t r, uint32_t g, uint32_t b,
                                uint32_t a) = 0;                                             // 11
  virtual void fillTriangle(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t x3, int16_t y3,
                            uint32_t ci) = 0;                                                // 12
  virtual void fillCircle(int16_t cx, int16_t cy, int16_t radius, uint32_t ci) = 0;          // 13
  virtual bool hasThemeArt() = 0;                                                            // 14
  // A line 2 pixels thick (see the driver surface for the exact rule).
  virtual void drawLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint32_t ci) = 0;    // 15
  // points: n (x, y) pairs of i16; fewer than 3 draw nothing; at most 128 used.
  virtual void fillPolygon(const int16_t* points, int32_t n, uint32_t ci) = 0;               // 16
  virtual void fillPolygonRGB(const int16_t* points, int32_t n, uint32_t r, uint32_t g, uint32_t b) = 0;  // 17
  virtual void fillPolygonRGBA(const int16_t* points, int32_t n, uint32_t r, uint32_t g, uint32_t b,
                               uint32_t a) = 0;                                              // 18
  virtual bool blendsAlpha() = 0;                                                            // 19
  virtual bool strokesNatively() = 0;                                                        // 20
  virtual bool dashesNatively() = 0;                                                         // 21
  // Stroke the first n words of the op list. Pen width = (width + 0.5)
  // truncated; nothing below 1 or for n < 1. Cap = max(startCap, endCap).
  virtual void strokeNative(const int32_t* ops, int32_t n, double width, uint32_t startCap, uint32_t endCap,
                            uint32_t join, const uint32_t* dashes, uint32_t dashCount, uint32_t dashPhase,
                            uint32_t ci) = 0;                                                // 22
  virtual void strokeNativeRGB(const int32_t* ops, int32_t n, double width, uint32_t startCap,
                               uint32_t endCap, uint32_t join, const uint32_t* dashes, uint32_t dashCount,
                               uint32_t dashPhase, uint32_t r, uint32_t g, uint32_t b) = 0;  // 23
  virtual void strokeNativeRGBA(const int32_t* ops, int32_t n, double width, uint32_t startCap,
                                uint32_t endCap, uint32_t join, const uint32_t* dashes, uint32_t dashCount,
                                uint32_t dashPhase, uint32_t r, uint32_t g, uint32_t b, uint32_t a) = 0;  // 24

  const char* classNameC() const override { return "UXGraphics"; }
};

// ---------------------------------------------------------------------------
// 3. The outline of r: four fills (top, bottom, left, right), the thickness
//    clamped to 1..min(w, h); nothing for an empty r. useRGB picks
//    fillRectRGB (red, green, blue) over fillRect (ci).
void uxGfxDrawRect(UXGraphics& g, UXRect r, int32_t thickness, uint8_t useRGB, uint32_t ci, uint32_t red,
                   uint32_t green, uint32_t blue);

// Pen rules of native stroking, shared by the surfaces that stroke.
struct UXPen {
  int32_t width;  // (width + 0.5) truncated; < 1 draws nothing
  uint32_t cap;   // kUXCapRound, kUXCapSquare or kUXCapFlat
  uint32_t join;  // kUXJoinBevel, kUXJoinMiter or kUXJoinRound
  static UXPen of(double width, uint32_t startCap, uint32_t endCap, uint32_t join);
};

// ---------------------------------------------------------------------------
// 4. An RGBA image (four bytes a pixel, rows top first) that owns its pixels.
//    An image has pixels only when `pixels` holds all width x height x 4
//    bytes; a short buffer counts as none, so no surface reads past it.
class UXImage : public Object {
 public:
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> pixels;

  bool hasPixels() const;
  // Nothing without pixels; else drawPixels with swap 1.
  void drawIn(UXGraphics& g, UXRect src, UXRect dest, uint32_t alpha) const;

  Ref<String> description() const override;
  const char* classNameC() const override { return "UXImage"; }
};

}  // namespace quorl
