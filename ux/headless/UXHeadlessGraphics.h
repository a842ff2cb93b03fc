// The headless driver's drawing surface, which records what is drawn as
// text lines (UXGdiGraphics.h on Win32).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ux/core/UXGraphics.h"

namespace quorl {

// The driver's surface. It does what every platform surface must and
//    no more: no blending (alpha ignored), no theme art (parts filled with palette
//    colour 8), circles as their bounding square, native stroking without
//    dashes. It records, in window coordinates (origin applied), one line
//    per primitive:
//      view X Y W H                    beginViewDraw: origin and clip
//      fill X Y W H #RRGGBB            rectangles, theme parts, circles, lines
//      poly #RRGGBB X,Y X,Y ...        polygons, triangles, slanted lines
//      text X Y #RRGGBB SIZE WEIGHT ITALIC "FACE" "TEXT"
//      pixels X Y W H src=X,Y,W,H alpha=A swap=S
//      stroke #RRGGBB width=W cap=C join=J OPS...
//    Colours are upper-case hex. Nothing is recorded for degenerate input.
class UXHeadlessGraphics : public UXGraphics {
 public:
  // Where lines go; null drops them.
  void setSink(std::vector<std::string>* sink) { sink_ = sink; }
  void setOrigin(int32_t x, int32_t y) { ox_ = x; oy_ = y; }
  int32_t originX() const { return ox_; }
  int32_t originY() const { return oy_; }

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

  // Records a line as is (the driver's own marks, e.g. "view ...").
  void note(const std::string& line);

  const char* classNameC() const override { return "UXHeadlessGraphics"; }

 private:
  void fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb);
  void poly(const int16_t* points, int32_t n, uint32_t rgb);
  void text(const char* text, int32_t x, int32_t y, uint32_t rgb, int32_t size, int32_t weight, uint8_t italic,
            const char* face);
  void stroke(const int32_t* ops, int32_t n, double width, uint32_t startCap, uint32_t endCap, uint32_t join,
              uint32_t rgb);

  std::vector<std::string>* sink_ = nullptr;
  int32_t ox_ = 0, oy_ = 0;
};

}  // namespace quorl
