// A drawing surface that counts every call and draws nothing: the floor of
// the drawing benchmarks, so that what they measure is the views' own work.
#pragma once

#include <cstdint>

#include "ux/core/UXGraphics.h"

namespace quorl::perf {

class DiscardingGraphics : public UXGraphics {
 public:
  uint64_t calls = 0;
  void fillRect(UXRect, uint32_t) override { ++calls; }
  void fillRectRGB(UXRect, uint32_t, uint32_t, uint32_t) override { ++calls; }
  void fillRectRGBA(UXRect, uint32_t, uint32_t, uint32_t, uint32_t) override { ++calls; }
  void clearRect(UXRect) override { ++calls; }
  void drawPixels(const uint8_t*, uint32_t, uint32_t, uint32_t, UXRect, UXRect, uint32_t) override { ++calls; }
  void drawTheme(const char*, UXRect) override { ++calls; }
  void drawText(const char*, int16_t, int16_t, uint32_t, int32_t) override { ++calls; }
  void drawTextRGBA(const char*, int16_t, int16_t, uint32_t, uint32_t, uint32_t, uint32_t, int32_t) override {
    ++calls;
  }
  void drawTextFont(const char*, int16_t, int16_t, uint32_t, const char*, int32_t, uint8_t, uint8_t) override {
    ++calls;
  }
  void drawTextFontRGBA(const char*, int16_t, int16_t, const char*, int32_t, int32_t, uint8_t, uint32_t, uint32_t,
                        uint32_t, uint32_t) override {
    ++calls;
  }
  void fillTriangle(int16_t, int16_t, int16_t, int16_t, int16_t, int16_t, uint32_t) override { ++calls; }
  void fillCircle(int16_t, int16_t, int16_t, uint32_t) override { ++calls; }
  bool hasThemeArt() override { return false; }
  void drawLine(int16_t, int16_t, int16_t, int16_t, uint32_t) override { ++calls; }
  void fillPolygon(const int16_t*, int32_t, uint32_t) override { ++calls; }
  void fillPolygonRGB(const int16_t*, int32_t, uint32_t, uint32_t, uint32_t) override { ++calls; }
  void fillPolygonRGBA(const int16_t*, int32_t, uint32_t, uint32_t, uint32_t, uint32_t) override { ++calls; }
  bool blendsAlpha() override { return false; }
  bool strokesNatively() override { return true; }
  bool dashesNatively() override { return false; }
  void strokeNative(const int32_t*, int32_t, double, uint32_t, uint32_t, uint32_t, const uint32_t*, uint32_t,
                    uint32_t, uint32_t) override {
    ++calls;
  }
  void strokeNativeRGB(const int32_t*, int32_t, double, uint32_t, uint32_t, uint32_t, const uint32_t*, uint32_t,
                       uint32_t, uint32_t, uint32_t, uint32_t) override {
    ++calls;
  }
  void strokeNativeRGBA(const int32_t*, int32_t, double, uint32_t, uint32_t, uint32_t, const uint32_t*, uint32_t,
                        uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) override {
    ++calls;
  }
};

}  // namespace quorl::perf
