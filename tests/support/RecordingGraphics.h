// A drawing surface for tests that records every call, verbatim, as one
// text line, and whose capability answers can be set.
//
// Lines are the operation's name and its arguments separated by spaces:
// integers in decimal, rectangles as x,y,w,h, texts quoted, point lists as
// [x,y x,y ...] (the first n points), op lists as [w w w ...] (the first n
// words), doubles in shortest form. For example
//   fillRect 10,20,30,40 2
//   drawTextFontRGBA "Total" 5 6 "" 12 700 0 0 0 0 255
// Nothing is interpreted: drawRect is recorded as itself, not as the fills
// the driver's surface would make of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ux/core/UXGraphics.h"

namespace quorl {

class RecordingGraphics : public UXGraphics {
 public:
  std::vector<std::string> lines;

  // Capability answers; the defaults are those of the platform surface.
  bool themeArt = false;
  bool blends = false;
  bool strokes = true;
  bool dashes = false;

  void clear() { lines.clear(); }
  // Lines whose operation name is name.
  size_t count(const std::string& name) const;
  // Only the lines of operation name, in order.
  std::vector<std::string> of(const std::string& name) const;
  // All lines joined with LF (handy in failure messages).
  std::string text() const;

  void fillRect(UXRect rect, uint32_t ci) override;
  void fillRectRGB(UXRect rect, uint32_t r, uint32_t g, uint32_t b) override;
  void fillRectRGBA(UXRect rect, uint32_t r, uint32_t g, uint32_t b, uint32_t a) override;
  void drawRect(UXRect rect, int32_t thickness, uint32_t ci) override;
  void drawRectRGB(UXRect rect, int32_t thickness, uint32_t r, uint32_t g, uint32_t b) override;
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
  bool hasThemeArt() override { return themeArt; }
  void drawLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint32_t ci) override;
  void fillPolygon(const int16_t* points, int32_t n, uint32_t ci) override;
  void fillPolygonRGB(const int16_t* points, int32_t n, uint32_t r, uint32_t g, uint32_t b) override;
  void fillPolygonRGBA(const int16_t* points, int32_t n, uint32_t r, uint32_t g, uint32_t b, uint32_t a) override;
  bool blendsAlpha() override { return blends; }
  bool strokesNatively() override { return strokes; }
  bool dashesNatively() override { return dashes; }
  void strokeNative(const int32_t* ops, int32_t n, double width, uint32_t startCap, uint32_t endCap, uint32_t join,
                    const uint32_t* dashes, uint32_t dashCount, uint32_t dashPhase, uint32_t ci) override;
  void strokeNativeRGB(const int32_t* ops, int32_t n, double width, uint32_t startCap, uint32_t endCap,
                       uint32_t join, const uint32_t* dashes, uint32_t dashCount, uint32_t dashPhase, uint32_t r,
                       uint32_t g, uint32_t b) override;
  void strokeNativeRGBA(const int32_t* ops, int32_t n, double width, uint32_t startCap, uint32_t endCap,
                        uint32_t join, const uint32_t* dashes, uint32_t dashCount, uint32_t dashPhase, uint32_t r,
                        uint32_t g, uint32_t b, uint32_t a) override;

  const char* classNameC() const override { return "RecordingGraphics"; }
};

}  // namespace quorl
