// The GDI surface. Sections:
//   1. Binding and rectangles
//   2. Text
//   3. Lines, triangles, circles, polygons
//   4. Pixel blocks
//   5. Native strokes
#include "ux/win32/UXGdiGraphics.h"

#include <vector>

#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Pure.h"
#include "ux/win32/W32Text.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Binding and rectangles.

void UXGdiGraphics::bind(HDC device, int32_t x, int32_t y, int32_t w, int32_t h) {
  dc = device;
  originX = int16_t(w32Clamp16(x));
  originY = int16_t(w32Clamp16(y));
  width = int16_t(w32Clamp16(w));
  height = int16_t(w32Clamp16(h));
}

void UXGdiGraphics::fillColour(UXRect rect, COLORREF colour) {
  if (!dc || rect.w() < 1 || rect.h() < 1) return;
  RECT r{w32Clamp16(X(rect.x())), w32Clamp16(Y(rect.y())), w32Clamp16(int64_t(X(rect.x())) + rect.w()),
         w32Clamp16(int64_t(Y(rect.y())) + rect.h())};
  W32GdiObject brush(CreateSolidBrush(colour));
  FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
}

void UXGdiGraphics::fillRect(UXRect rect, uint32_t ci) { fillColour(rect, w32PenColor(ci)); }
void UXGdiGraphics::fillRectRGB(UXRect rect, uint32_t r, uint32_t g, uint32_t b) {
  fillColour(rect, w32Rgb(r, g, b));
}
void UXGdiGraphics::fillRectRGBA(UXRect rect, uint32_t r, uint32_t g, uint32_t b, uint32_t) {
  fillRectRGB(rect, r, g, b);
}
void UXGdiGraphics::clearRect(UXRect rect) { fillColour(rect, 0xFFFFFF); }
void UXGdiGraphics::drawTheme(const char*, UXRect rect) { fillRect(rect, 8); }

// ---------------------------------------------------------------------------
// 2. Text.

void UXGdiGraphics::textCore(const char* text, int32_t x, int32_t y, COLORREF colour, int32_t height,
                             int32_t weight, uint8_t italic, const char* face, bool makeFont) {
  if (!dc || !text) return;
  std::wstring wide = w32Wide(text);
  std::wstring wface = w32Wide(face ? face : "");
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  W32GdiObject font;
  if (makeFont)
    font = W32GdiObject(CreateFontW(-height, 0, 0, 0, weight, italic ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                    0, 0, 0, 0, wface.c_str()));
  W32Select keep(dc, font.get());
  int32_t px = w32Clamp16(X(x)), py = w32Clamp16(Y(y));
  // Wine shapes right-to-left text with the glyphs of the selected font
  // alone, so Hebrew in a font without it draws as boxes although a linked
  // font has the letters (Arabic escapes only because its shaping refuses
  // such a font). Text with a character the font lacks is put in display
  // order here and drawn as it stands, which lets the linked fonts supply
  // each missing glyph, as they do for the widths measured.
  if (lacksGlyph(wide)) {
    std::wstring shown = displayOrder(wide);
    ExtTextOutW(dc, px, py, ETO_IGNORELANGUAGE, nullptr, shown.c_str(), int(shown.size()), nullptr);
    return;
  }
  TextOutW(dc, px, py, wide.c_str(), int(wide.size()));
}

bool UXGdiGraphics::lacksGlyph(const std::wstring& wide) const {
  if (wide.empty()) return false;
  std::vector<WORD> glyphs(wide.size());
  if (GetGlyphIndicesW(dc, wide.c_str(), int(wide.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
    return false;
  for (WORD glyph : glyphs)
    if (glyph == 0xFFFF) return true;
  return false;
}

std::wstring UXGdiGraphics::displayOrder(const std::wstring& wide) const {
  std::wstring shown(wide.size(), L'\0');
  GCP_RESULTSW result{};
  result.lStructSize = sizeof(result);
  result.lpOutString = shown.data();
  result.nGlyphs = UINT(wide.size());
  if (!GetCharacterPlacementW(dc, wide.c_str(), int(wide.size()), 0, &result, GCP_REORDER)) return wide;
  return shown;
}

void UXGdiGraphics::drawText(const char* text, int16_t x, int16_t y, uint32_t ci, int32_t size) {
  textCore(text, x, y, w32PenColor(ci), size, 400, 0, "", size >= 1);
}

void UXGdiGraphics::drawTextRGBA(const char* text, int16_t x, int16_t y, uint32_t r, uint32_t g, uint32_t b,
                                 uint32_t, int32_t size) {
  textCore(text, x, y, w32Rgb(r, g, b), size, 400, 0, "", size >= 1);
}

void UXGdiGraphics::drawTextFont(const char* text, int16_t x, int16_t y, uint32_t ci, const char* face,
                                 int32_t size, uint8_t bold, uint8_t italic) {
  textCore(text, x, y, w32PenColor(ci), size < 1 ? 12 : size, bold ? 700 : 400, italic, face, true);
}

void UXGdiGraphics::drawTextFontRGBA(const char* text, int16_t x, int16_t y, const char* face, int32_t size,
                                     int32_t weight, uint8_t italic, uint32_t r, uint32_t g, uint32_t b,
                                     uint32_t) {
  textCore(text, x, y, w32Rgb(r, g, b), size < 1 ? 12 : size, weight < 1 ? 400 : weight, italic, face, true);
}

// ---------------------------------------------------------------------------
// 3. Lines, triangles, circles, polygons.

void UXGdiGraphics::fillPoly(const int16_t* points, int32_t n, COLORREF colour, bool outline) {
  if (!dc || !points || n < 3) return;
  POINT pts[128];
  int32_t m = n < 128 ? n : 128;
  for (int32_t i = 0; i < m; ++i)
    pts[i] = POINT{w32Clamp16(X(points[2 * i])), w32Clamp16(Y(points[2 * i + 1]))};
  W32GdiObject brush(CreateSolidBrush(colour));
  // An outline in the fill's own colour keeps thin shapes (slanted lines,
  // slivers of triangles) whole, whatever pen the DC was left with.
  W32GdiObject pen(outline ? CreatePen(PS_SOLID, 1, colour) : nullptr);
  W32Select selectBrush(dc, brush.get());
  W32Select selectPen(dc, outline ? pen.get() : GetStockObject(NULL_PEN));
  Polygon(dc, pts, m);
}

void UXGdiGraphics::fillTriangle(int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t x3, int16_t y3,
                                 uint32_t ci) {
  const int16_t pts[6] = {x1, y1, x2, y2, x3, y3};
  fillPoly(pts, 3, w32PenColor(ci), true);
}

void UXGdiGraphics::fillCircle(int16_t cx, int16_t cy, int16_t radius, uint32_t ci) {
  if (!dc || radius < 1) return;
  // A disc: the ellipse's outline in the fill colour, so its edge is the
  // circle's and not a frame around it.
  COLORREF colour = w32PenColor(ci);
  W32GdiObject brush(CreateSolidBrush(colour));
  W32GdiObject pen(CreatePen(PS_SOLID, 1, colour));
  W32Select useBrush(dc, brush.get());
  W32Select usePen(dc, pen.get());
  Ellipse(dc, w32Clamp16(int64_t(X(cx)) - radius), w32Clamp16(int64_t(Y(cy)) - radius),
          w32Clamp16(int64_t(X(cx)) + radius + 1), w32Clamp16(int64_t(Y(cy)) + radius + 1));
}

void UXGdiGraphics::drawLine(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint32_t ci) {
  W32LineShape s = w32LineShape(x1, y1, x2, y2);
  if (s.isRect) {
    fillRect(UXRect(s.x, s.y, s.w, s.h), ci);
    return;
  }
  const int16_t pts[8] = {s.px[0], s.py[0], s.px[1], s.py[1], s.px[2], s.py[2], s.px[3], s.py[3]};
  fillPoly(pts, 4, w32PenColor(ci), true);
}

void UXGdiGraphics::fillPolygon(const int16_t* points, int32_t n, uint32_t ci) {
  fillPoly(points, n, w32PenColor(ci), false);
}
void UXGdiGraphics::fillPolygonRGB(const int16_t* points, int32_t n, uint32_t r, uint32_t g, uint32_t b) {
  fillPoly(points, n, w32Rgb(r, g, b), false);
}
void UXGdiGraphics::fillPolygonRGBA(const int16_t* points, int32_t n, uint32_t r, uint32_t g, uint32_t b,
                                    uint32_t) {
  fillPolygonRGB(points, n, r, g, b);
}

// ---------------------------------------------------------------------------
// 4. Pixel blocks.

namespace {
using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
// Looked up once; null when gdi32 lacks it.
AlphaBlendFn alphaBlend() {
  static AlphaBlendFn fn = [] {
    HMODULE gdi = LoadLibraryW(L"gdi32.dll");
    return gdi ? reinterpret_cast<AlphaBlendFn>(reinterpret_cast<void*>(GetProcAddress(gdi, "GdiAlphaBlend")))
               : nullptr;
  }();
  return fn;
}
}  // namespace

void UXGdiGraphics::drawPixels(const uint8_t* pixels, uint32_t width, uint32_t height, uint32_t swap, UXRect src,
                               UXRect dest, uint32_t alpha) {
  if (!dc || !pixels || alpha < 1 || dest.w() < 1 || dest.h() < 1) return;
  AlphaBlendFn blend = alphaBlend();
  W32PixelClip clip;
  if (!blend || !w32ClipPixels(src, width, height, clip)) return;
  W32Dib section(clip.w, clip.h);
  if (!section) return;
  w32PremultiplyBlock(pixels, width, swap, clip, reinterpret_cast<uint8_t*>(section.bits()));
  W32MemoryDC memory(dc);
  if (!memory.get()) return;
  W32Select keep(memory.get(), section.get());
  BLENDFUNCTION fn{AC_SRC_OVER, 0, BYTE(alpha > 255 ? 255 : alpha), AC_SRC_ALPHA};
  blend(dc, w32Clamp16(X(dest.x())), w32Clamp16(Y(dest.y())), dest.w(), dest.h(), memory.get(), 0, 0, clip.w,
        clip.h, fn);
}

// ---------------------------------------------------------------------------
// 5. Native strokes.

namespace {
class GdiStrokeSink : public W32StrokeSink {
 public:
  explicit GdiStrokeSink(HDC dc) : dc_(dc) {}
  void moveTo(int32_t x, int32_t y) override { MoveToEx(dc_, x, y, nullptr); }
  void lineTo(int32_t x, int32_t y) override { LineTo(dc_, x, y); }
  void bezierTo(const int32_t xy[6]) override {
    POINT p[3] = {{xy[0], xy[1]}, {xy[2], xy[3]}, {xy[4], xy[5]}};
    PolyBezierTo(dc_, p, 3);
  }

 private:
  HDC dc_;  // borrowed
};
}  // namespace

void UXGdiGraphics::strokeOps(const int32_t* ops, int32_t n, double width, uint32_t startCap, uint32_t endCap,
                              uint32_t join, COLORREF colour) {
  UXPen pen = UXPen::of(width, startCap, endCap, join);
  if (!dc || !ops || pen.width < 1 || n < 1) return;
  DWORD style = PS_GEOMETRIC | PS_SOLID;
  style |= pen.cap == kUXCapRound ? PS_ENDCAP_ROUND : pen.cap == kUXCapSquare ? PS_ENDCAP_SQUARE : PS_ENDCAP_FLAT;
  style |= pen.join == kUXJoinMiter ? PS_JOIN_MITER : pen.join == kUXJoinBevel ? PS_JOIN_BEVEL : PS_JOIN_ROUND;
  LOGBRUSH brush{BS_SOLID, colour, 0};
  W32GdiObject object(ExtCreatePen(style, DWORD(pen.width), &brush, 0, nullptr));
  if (!object) return;
  W32Select keep(dc, object.get());
  GdiStrokeSink sink(dc);
  w32WalkStroke(ops, n, originX, originY, sink);
}

void UXGdiGraphics::strokeNative(const int32_t* ops, int32_t n, double width, uint32_t startCap, uint32_t endCap,
                                 uint32_t join, const uint32_t*, uint32_t, uint32_t, uint32_t ci) {
  strokeOps(ops, n, width, startCap, endCap, join, w32PenColor(ci));
}

void UXGdiGraphics::strokeNativeRGB(const int32_t* ops, int32_t n, double width, uint32_t startCap,
                                    uint32_t endCap, uint32_t join, const uint32_t*, uint32_t, uint32_t, uint32_t r,
                                    uint32_t g, uint32_t b) {
  strokeOps(ops, n, width, startCap, endCap, join, w32Rgb(r, g, b));
}

void UXGdiGraphics::strokeNativeRGBA(const int32_t* ops, int32_t n, double width, uint32_t startCap,
                                     uint32_t endCap, uint32_t join, const uint32_t* dashes, uint32_t dashCount,
                                     uint32_t dashPhase, uint32_t r, uint32_t g, uint32_t b, uint32_t) {
  strokeNativeRGB(ops, n, width, startCap, endCap, join, dashes, dashCount, dashPhase, r, g, b);
}

}  // namespace quorl
