#include "ux/core/UXGraphics.h"

#include "foundation/String.h"

namespace quorl {

uint32_t uxPaletteRGB(uint32_t ci) {
  switch (ci) {
    case 0: return 0xFFFFFF;
    case 2: return 0xFF0000;
    case 8: return 0xC0C0C0;
    case 9: return 0x808080;
    case 250: return 0xB3D8FF;
    default: return 0x000000;
  }
}

Ref<String> UXColor::description() const {
  const uint16_t values[4] = {uint16_t(red), uint16_t(green), uint16_t(blue), uint16_t(alpha)};
  return String::_classDescribe("UXColor", values, 4, 0);
}

void UXGraphics::drawRect(UXRect rect, int32_t thickness, uint32_t ci) {
  uxGfxDrawRect(*this, rect, thickness, 0, ci, 0, 0, 0);
}

void UXGraphics::drawRectRGB(UXRect rect, int32_t thickness, uint32_t r, uint32_t g, uint32_t b) {
  uxGfxDrawRect(*this, rect, thickness, 1, 0, r, g, b);
}

void uxGfxDrawRect(UXGraphics& g, UXRect r, int32_t thickness, uint8_t useRGB, uint32_t ci, uint32_t red,
                   uint32_t green, uint32_t blue) {
  int32_t t = thickness < 1 ? 1 : thickness;
  int32_t x = r.x(), y = r.y(), w = r.w(), h = r.h();
  if (h < 1 || w < 1) return;
  if (t > w) t = w;
  if (t > h) t = h;
  const UXRect sides[4] = {UXRect(x, y, w, t), UXRect(x, y + h - t, w, t), UXRect(x, y, t, h),
                           UXRect(x + w - t, y, t, h)};
  for (UXRect side : sides) {
    if (useRGB)
      g.fillRectRGB(side, red, green, blue);
    else
      g.fillRect(side, ci);
  }
}

UXPen UXPen::of(double width, uint32_t startCap, uint32_t endCap, uint32_t join) {
  UXPen pen{};
  double rounded = width + 0.5;
  // Truncation of NaN or a huge width is undefined; such pens draw nothing.
  pen.width = (rounded >= 1.0 && rounded < 2147483647.0) ? int32_t(rounded) : 0;
  uint32_t cap = startCap > endCap ? startCap : endCap;
  pen.cap = cap == kUXCapRound ? kUXCapRound : cap == kUXCapSquare ? kUXCapSquare : kUXCapFlat;
  pen.join = join == kUXJoinBevel ? kUXJoinBevel : join == kUXJoinMiter ? kUXJoinMiter : kUXJoinRound;
  return pen;
}

bool UXImage::hasPixels() const {
  uint64_t need = uint64_t(width) * height * 4;
  return width > 0 && height > 0 && pixels.size() >= need;
}

void UXImage::drawIn(UXGraphics& g, UXRect src, UXRect dest, uint32_t alpha) const {
  if (!hasPixels()) return;
  g.drawPixels(pixels.data(), width, height, 1, src, dest, alpha);
}

Ref<String> UXImage::description() const {
  const uint16_t values[2] = {uint16_t(width), uint16_t(height)};
  return String::_classDescribe("UXImage", values, 2, 0);
}

}  // namespace quorl
