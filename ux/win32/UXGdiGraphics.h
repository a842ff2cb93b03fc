// UXGdiGraphics: the drawing surface on a GDI device context. Every
// operation adds the origin to its coordinates (clamped to 16 bits) and
// makes, selects, uses and deletes its own pens, brushes and fonts within
// the call, so nothing outlives it but the bound DC and origin.
//
// Rules of this surface (tests rely on them):
//   - palette: 0 white, 2 red, 8 light grey, 9 grey, 250 light blue, any
//     other index black; alpha is ignored except by drawPixels
//   - theme parts are light-grey fills; circles are filled discs (a radius
//     below 1 draws nothing)
//   - lines are 2 pixels thick: horizontal and vertical ones are rectangles
//     below and right of the points, slanted ones parallelograms
//   - polygons use at most 128 points and no outline; triangles and
//     slanted lines are outlined in their own colour
//   - text is UTF-16 through TextOutW, top-left at the point, transparent
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ux/core/UXGraphics.h"

namespace quorl {

class UXGdiGraphics : public UXGraphics {
 public:
  HDC dc = nullptr;  // borrowed: the paint's or the picture's DC, null when unbound
  int16_t originX = 0, originY = 0;
  int16_t width = 0, height = 0;  // the bound area; kept for callers, not read

  void bind(HDC device, int32_t x, int32_t y, int32_t w, int32_t h);

  void fillRect(UXRect rect, uint32_t ci) override;
  void fillRectRGB(UXRect rect, uint32_t r, uint32_t g, uint32_t b) override;
  void fillRectRGBA(UXRect rect, uint32_t r, uint32_t g, uint32_t b, uint32_t a) override;
  void clearRect(UXRect rect) override;
  void drawPixels(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t swap, UXRect src, UXRect dest,
                  uint32_t alpha) override;
  void drawTheme(const char* part, UXRect rect) override;
  void drawText(const char* text, int16_t x, int16_t y, uint32_t ci, int32_t size) override;
  void drawTextRGBA(const char* text, int16_t x, int16_t y, uint32_t r, uint32_t g, uint32_t b, uint32_t a,
                    int32_t size) override;
  void drawTextFont(const char* text, int16_t x, int16_t y, uint32_t ci, const char* face, int32_t size,
                    uint8_t bold, uint8_t italic) override;
  void drawTextFontRGBA(const char* text, int16_t x, int16_t y, const char* face, int32_t size, int32_t weight,
                        uint8_t italic, uint32_t r, uint32_t g, uint32_t b, uint32_t a) override;
  void fillTriangle(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t x3, int16_t y3, uint32_t ci) override;
  void fillCircle(int16_t cx, int16_t cy, int16_t radius, uint32_t ci) override;
  bool hasThemeArt() override { return false; }
  void drawLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint32_t ci) override;
  void fillPolygon(const int16_t* points, int32_t n, uint32_t ci) override;
  void fillPolygonRGB(const int16_t* points, int32_t n, uint32_t r, uint32_t g, uint32_t b) override;
  void fillPolygonRGBA(const int16_t* points, int32_t n, uint32_t r, uint32_t g, uint32_t b, uint32_t a) override;
  bool blendsAlpha() override { return false; }
  bool strokesNatively() override { return true; }
  bool dashesNatively() override { return false; }
  void strokeNative(const int32_t* ops, int32_t n, double width, uint32_t startCap, uint32_t endCap, uint32_t join,
                    const uint32_t* dashes, uint32_t dashCount, uint32_t dashPhase, uint32_t ci) override;
  void strokeNativeRGB(const int32_t* ops, int32_t n, double width, uint32_t startCap, uint32_t endCap,
                       uint32_t join, const uint32_t* dashes, uint32_t dashCount, uint32_t dashPhase, uint32_t r,
                       uint32_t g, uint32_t b) override;
  void strokeNativeRGBA(const int32_t* ops, int32_t n, double width, uint32_t startCap, uint32_t endCap,
                        uint32_t join, const uint32_t* dashes, uint32_t dashCount, uint32_t dashPhase, uint32_t r,
                        uint32_t g, uint32_t b, uint32_t a) override;

  const char* classNameC() const override { return "UXGdiGraphics"; }

 private:
  int32_t X(int32_t x) const { return x + originX; }
  int32_t Y(int32_t y) const { return y + originY; }
  void fillColour(UXRect rect, COLORREF colour);
  void textCore(const char* text, int32_t x, int32_t y, COLORREF colour, int32_t height, int32_t weight,
                uint8_t italic, const char* face, bool makeFont);
  // Whether the selected font has no glyph of its own for a character of
  // the text; the text in left-to-right display order.
  bool lacksGlyph(const std::wstring& wide) const;
  std::wstring displayOrder(const std::wstring& wide) const;
  void fillPoly(const int16_t* points, int32_t n, COLORREF colour, bool outline);
  void strokeOps(const int32_t* ops, int32_t n, double width, uint32_t startCap, uint32_t endCap, uint32_t join,
                 COLORREF colour);
};

}  // namespace quorl
