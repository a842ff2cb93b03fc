// The recording surface (UXHeadlessGraphics.h): one text line a primitive,
// in window coordinates.
#include "ux/headless/UXHeadlessGraphics.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {

using namespace headless;

namespace {

void appendColour(std::string& s, uint32_t rgb) {
  static const char kHex[] = "0123456789ABCDEF";
  s += '#';
  for (int shift = 20; shift >= 0; shift -= 4) s += kHex[(rgb >> shift) & 15];
}

uint32_t rgbOf(uint32_t r, uint32_t g, uint32_t b) { return (r & 255) << 16 | (g & 255) << 8 | (b & 255); }

}  // namespace

void UXHeadlessGraphics::note(const std::string& line) {
  if (sink_) sink_->push_back(line);
}

void UXHeadlessGraphics::fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb) {
  if (w < 1 || h < 1) return;
  std::string s = "fill ";
  appendInts(s, {ox_ + x, oy_ + y, w, h});
  s += ' ';
  appendColour(s, rgb);
  note(s);
}

void UXHeadlessGraphics::poly(const int16_t* points, int32_t n, uint32_t rgb) {
  if (!points || n < 3) return;
  if (n > 128) n = 128;
  std::string s = "poly ";
  appendColour(s, rgb);
  for (int32_t i = 0; i < n; ++i) {
    s += ' ';
    appendInt(s, ox_ + points[2 * i]);
    s += ',';
    appendInt(s, oy_ + points[2 * i + 1]);
  }
  note(s);
}

void UXHeadlessGraphics::text(const char* text, int32_t x, int32_t y, uint32_t rgb, int32_t size, int32_t weight,
                              uint8_t italic, const char* face) {
  if (!text || !*text) return;
  std::string s = "text ";
  appendInts(s, {ox_ + x, oy_ + y});
  s += ' ';
  appendColour(s, rgb);
  s += ' ';
  appendInts(s, {size, weight, italic ? 1 : 0});
  s += " \"";
  s += cstr(face);
  s += "\" \"";
  s += text;
  s += '"';
  note(s);
}

void UXHeadlessGraphics::stroke(const int32_t* ops, int32_t n, double width, uint32_t startCap, uint32_t endCap,
                                uint32_t join, uint32_t rgb) {
  UXPen pen = UXPen::of(width, startCap, endCap, join);
  if (pen.width < 1 || n < 1 || !ops) return;
  std::string s = "stroke ";
  appendColour(s, rgb);
  s += " width=";
  appendInt(s, pen.width);
  s += " cap=";
  appendInt(s, pen.cap);
  s += " join=";
  appendInt(s, pen.join);
  auto point = [&](char op, int32_t x, int32_t y) {
    s += ' ';
    s += op;
    appendInt(s, int64_t(ox_) + x);
    s += ',';
    appendInt(s, int64_t(oy_) + y);
  };
  bool current = false;
  int32_t i = 0;
  while (i < n) {
    int32_t code = ops[i];
    int32_t words = code == kUXOpMove || code == kUXOpLine ? 3 : code == kUXOpCubic ? 7 : code == kUXOpClose ? 1 : 0;
    if (words == 0 || i + words > n) break;  // an unknown code or a truncated op ends the walk
    const int32_t* a = ops + i + 1;
    if (code == kUXOpMove) {
      point('M', a[0], a[1]);
      current = true;
    } else if (code == kUXOpLine) {
      point(current ? 'L' : 'M', a[0], a[1]);
      current = true;
    } else if (code == kUXOpCubic) {
      if (current) {
        point('C', a[0], a[1]);
        point(' ', a[2], a[3]);
        point(' ', a[4], a[5]);
      } else {
        point('M', a[4], a[5]);
      }
      current = true;
    } else if (current) {
      s += " Z";
    }
    i += words;
  }
  note(s);
}

void UXHeadlessGraphics::fillRect(UXRect rect, uint32_t ci) { fill(rect.x(), rect.y(), rect.w(), rect.h(), uxPaletteRGB(ci)); }

void UXHeadlessGraphics::fillRectRGB(UXRect rect, uint32_t r, uint32_t g, uint32_t b) {
  fill(rect.x(), rect.y(), rect.w(), rect.h(), rgbOf(r, g, b));
}

void UXHeadlessGraphics::fillRectRGBA(UXRect rect, uint32_t r, uint32_t g, uint32_t b, uint32_t) {
  fillRectRGB(rect, r, g, b);
}

void UXHeadlessGraphics::clearRect(UXRect rect) { fill(rect.x(), rect.y(), rect.w(), rect.h(), 0xFFFFFF); }

void UXHeadlessGraphics::drawPixels(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t swap,
                                    UXRect src, UXRect dest, uint32_t alpha) {
  if (!pixels || alpha < 1 || UXGeom::isEmpty(dest)) return;
  std::string s = "pixels ";
  appendInts(s, {ox_ + dest.x(), oy_ + dest.y(), dest.w(), dest.h()});
  s += " src=";
  appendInts(s, {src.x(), src.y(), src.w(), src.h()}, ',');
  s += " alpha=";
  appendInt(s, alpha > 255 ? 255 : alpha);
  s += " swap=";
  appendInt(s, swap == 1 ? 1 : 0);
  note(s);
}

void UXHeadlessGraphics::drawTheme(const char*, UXRect rect) {
  fill(rect.x(), rect.y(), rect.w(), rect.h(), uxPaletteRGB(8));
}

void UXHeadlessGraphics::drawText(const char* t, int16_t x, int16_t y, uint32_t ci, int32_t size) {
  text(t, x, y, uxPaletteRGB(ci), size < 1 ? 12 : size, 400, 0, "");
}

void UXHeadlessGraphics::drawTextRGBA(const char* t, int16_t x, int16_t y, uint32_t r, uint32_t g, uint32_t b,
                                      uint32_t, int32_t size) {
  text(t, x, y, rgbOf(r, g, b), size < 1 ? 12 : size, 400, 0, "");
}

void UXHeadlessGraphics::drawTextFont(const char* t, int16_t x, int16_t y, uint32_t ci, const char* face,
                                      int32_t size, uint8_t bold, uint8_t italic) {
  text(t, x, y, uxPaletteRGB(ci), size < 1 ? 12 : size, bold ? 700 : 400, italic, face);
}

void UXHeadlessGraphics::drawTextFontRGBA(const char* t, int16_t x, int16_t y, const char* face, int32_t size,
                                          int32_t weight, uint8_t italic, uint32_t r, uint32_t g, uint32_t b,
                                          uint32_t) {
  text(t, x, y, rgbOf(r, g, b), size < 1 ? 12 : size, weight < 1 ? 400 : weight, italic, face);
}

void UXHeadlessGraphics::fillTriangle(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t x3, int16_t y3,
                                      uint32_t ci) {
  const int16_t points[6] = {x1, y1, x2, y2, x3, y3};
  poly(points, 3, uxPaletteRGB(ci));
}

void UXHeadlessGraphics::fillCircle(int16_t cx, int16_t cy, int16_t radius, uint32_t ci) {
  fill(int32_t(cx) - radius, int32_t(cy) - radius, 2 * int32_t(radius), 2 * int32_t(radius), uxPaletteRGB(ci));
}

void UXHeadlessGraphics::drawLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint32_t ci) {
  uint32_t rgb = uxPaletteRGB(ci);
  if (y1 == y2) {
    fill(std::min(x1, x2), y1, std::abs(int32_t(x2) - x1) + 1, 2, rgb);
  } else if (x1 == x2) {
    fill(x1, std::min(y1, y2), 2, std::abs(int32_t(y2) - y1) + 1, rgb);
  } else {
    const int16_t points[8] = {x1, y1, x2, y2, x2, int16_t(y2 + 2), x1, int16_t(y1 + 2)};
    poly(points, 4, rgb);
  }
}

void UXHeadlessGraphics::fillPolygon(const int16_t* points, int32_t n, uint32_t ci) {
  poly(points, n, uxPaletteRGB(ci));
}

void UXHeadlessGraphics::fillPolygonRGB(const int16_t* points, int32_t n, uint32_t r, uint32_t g, uint32_t b) {
  poly(points, n, rgbOf(r, g, b));
}

void UXHeadlessGraphics::fillPolygonRGBA(const int16_t* points, int32_t n, uint32_t r, uint32_t g, uint32_t b,
                                         uint32_t) {
  poly(points, n, rgbOf(r, g, b));
}

void UXHeadlessGraphics::strokeNative(const int32_t* ops, int32_t n, double width, uint32_t startCap,
                                      uint32_t endCap, uint32_t join, const uint32_t*, uint32_t, uint32_t,
                                      uint32_t ci) {
  stroke(ops, n, width, startCap, endCap, join, uxPaletteRGB(ci));
}

void UXHeadlessGraphics::strokeNativeRGB(const int32_t* ops, int32_t n, double width, uint32_t startCap,
                                         uint32_t endCap, uint32_t join, const uint32_t*, uint32_t, uint32_t,
                                         uint32_t r, uint32_t g, uint32_t b) {
  stroke(ops, n, width, startCap, endCap, join, rgbOf(r, g, b));
}

void UXHeadlessGraphics::strokeNativeRGBA(const int32_t* ops, int32_t n, double width, uint32_t startCap,
                                          uint32_t endCap, uint32_t join, const uint32_t*, uint32_t, uint32_t,
                                          uint32_t r, uint32_t g, uint32_t b, uint32_t) {
  stroke(ops, n, width, startCap, endCap, join, rgbOf(r, g, b));
}

}  // namespace quorl
