// Text widths and ascents in the platform's fonts, measured on a memory
// device context of their own so that they work outside any paint, and the
// twelve font families the toolkit offers. Text and face names cross to the
// W entry points as UTF-16, so text in any script is measured as drawn.
#include <windows.h>

#include <cstring>

#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Text.h"

namespace quorl {

namespace {

HDC gW32MeasureDC = nullptr;  // owned for the life of the process

HDC measureDC() {
  if (!gW32MeasureDC) gW32MeasureDC = CreateCompatibleDC(nullptr);
  return gW32MeasureDC;
}

constexpr const char* kFamilies[12] = {"Arial",        "Times New Roman", "Courier New", "Verdana",
                                       "Georgia",      "Tahoma",          "Trebuchet MS", "Comic Sans MS",
                                       "Impact",       "Consolas",        "Palatino Linotype", "Segoe UI"};

// A font of pixel height -size (12 when size < 1), weight (400 when < 1).
W32GdiObject fontOf(const char* face, uint32_t size, uint32_t weight, uint8_t italic) {
  int32_t px = size < 1 || size > 0x7FFF ? (size < 1 ? 12 : 0x7FFF) : int32_t(size);
  std::wstring name = w32Wide(face);
  if (name.size() > 31) name.resize(31);
  return W32GdiObject(CreateFontW(-px, 0, 0, 0, weight < 1 ? 400 : int(weight), italic ? TRUE : FALSE, FALSE, FALSE,
                                  DEFAULT_CHARSET, 0, 0, 0, 0, name.c_str()));
}

uint32_t widthIn(HDC dc, HGDIOBJ font, const char* text) {
  if (!text || !*text || !font) return 0;
  W32Select chosen(dc, font);
  std::wstring w = w32Wide(text);
  SIZE extent{0, 0};
  if (!GetTextExtentPoint32W(dc, w.data(), int(w.size()), &extent)) return 0;
  return extent.cx < 0 ? 0 : uint32_t(extent.cx);
}

}  // namespace

uint32_t UXWin32Driver::textWidth(const char* text, int32_t size) {
  HDC dc = measureDC();
  if (!dc) return 0;
  if (size <= 0) return widthIn(dc, gW32Font ? gW32Font : GetStockObject(DEFAULT_GUI_FONT), text);
  W32GdiObject font = fontOf(nullptr, uint32_t(size), 400, 0);
  return widthIn(dc, font.get(), text);
}

uint32_t UXWin32Driver::textWidthStyled(const char* text, const char* face, uint32_t size, uint8_t bold,
                                        uint8_t italic) {
  // Through the contract entry, so that a driver above this one measures
  // styled runs its own way.
  return textWidthWeight(text, face, size, bold ? 600 : 400, italic);
}

uint32_t UXWin32Driver::textWidthWeight(const char* text, const char* face, uint32_t size, uint32_t weight,
                                        uint8_t italic) {
  HDC dc = measureDC();
  if (!dc) return 0;
  W32GdiObject font = fontOf(face, size, weight, italic);
  return widthIn(dc, font.get(), text);
}

int32_t UXWin32Driver::textAscent(const char* face, uint32_t size, uint32_t weight, uint8_t italic) {
  int32_t fallback = size < 1 ? 12 : size > 0x7FFF ? 0x7FFF : int32_t(size);
  HDC dc = measureDC();
  if (!dc) return fallback;
  W32GdiObject font = fontOf(face, size, weight, italic);
  if (!font) return fallback;
  W32Select chosen(dc, font.get());
  TEXTMETRICW tm{};
  if (!GetTextMetricsW(dc, &tm) || tm.tmAscent <= 0) return fallback;
  return int32_t(tm.tmAscent);
}

// No native pop-up button menu: the toolkit shows its own.
int32_t UXWin32Driver::runPopupMenu(Ptr<UXView>, int32_t, int32_t) { return -1; }

int32_t UXWin32Driver::fontFamilyCount() { return 12; }

int32_t UXWin32Driver::fontFamilyName(int32_t index, char* buffer, uint32_t capacity) {
  if (index < 0 || index > 11) return -1;
  if (!buffer || capacity < 1) return 0;
  size_t n = std::strlen(kFamilies[index]);  // ASCII: any cut is at a character
  if (n > capacity - 1) n = capacity - 1;
  std::memcpy(buffer, kFamilies[index], n);
  buffer[n] = 0;
  return int32_t(n);
}

}  // namespace quorl
