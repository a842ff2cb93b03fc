// Rules of the native controls decided by arithmetic or text alone, kept
// free of windows.h so the native tests check them too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "foundation/String.h"

namespace quorl {

// A toolbar title: at most 126 bytes, cut before a character that would
// not fit whole.
inline std::string w32ToolbarTitle(const char* title) {
  std::string s;
  if (!title) return s;
  s.assign(title, String::utf8Prefix(title, strnlen(title, 127), 126));
  return s;
}

// Native scroll views: a line is 20 pixels, a page 100, a wheel notch 40.
constexpr int32_t kW32ScrollLine = 20;
constexpr int32_t kW32ScrollPage = 100;
constexpr int32_t kW32ScrollNotch = 40;
// Scroll-bar codes (SB_LINEUP .. SB_THUMBTRACK) as the window sends them.
enum : uint32_t { kW32SbLineUp = 0, kW32SbLineDown = 1, kW32SbPageUp = 2, kW32SbPageDown = 3,
                  kW32SbThumbPosition = 4, kW32SbThumbTrack = 5 };

// The unclamped position a scroll-bar code asks for (the bar clamps it).
constexpr int32_t w32ScrollerStep(int32_t pos, uint32_t code, int32_t thumb) {
  switch (code) {
    case kW32SbLineUp: return pos - kW32ScrollLine;
    case kW32SbLineDown: return pos + kW32ScrollLine;
    case kW32SbPageUp: return pos - kW32ScrollPage;
    case kW32SbPageDown: return pos + kW32ScrollPage;
    case kW32SbThumbPosition:
    case kW32SbThumbTrack: return thumb;
    default: return pos;
  }
}
// A wheel delta: whole notches (truncated toward zero) of 40 pixels; a
// positive delta scrolls up.
constexpr int32_t w32ScrollerWheel(int32_t pos, int32_t delta) { return pos - (delta / 120) * kW32ScrollNotch; }
// The top of the scroll range: the content beyond the page, never below 0;
// the page is the client height, or the fallback when that is below 1.
constexpr int32_t w32ScrollerMax(int32_t content, int32_t client, int32_t fallback) {
  int32_t page = client < 1 ? fallback : client;
  return content - page > 0 ? content - page : 0;
}

// The text a text field's stand-in shows: the buffer, or one bullet (U+2022)
// a character for a secure field.
inline std::string w32FieldShown(const char* buffer, bool secure) {
  if (!buffer) return std::string();
  if (!secure) return buffer;
  std::string s;
  for (const char* p = buffer; *p; ++p)
    if ((uint8_t(*p) & 0xC0) != 0x80) s += "\xE2\x80\xA2";
  return s;
}

}  // namespace quorl
