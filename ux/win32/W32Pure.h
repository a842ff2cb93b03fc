// The Win32 driver's pure rules: no windows.h, compiled into the native
// tests too. Everything the driver decides by arithmetic or text lives here
// so it can be checked on any machine; the driver files only make the calls.
//
// Sections:
//   1. Typed characters
//   2. Window table: handles, captions, scrolling
//   3. Input: menu command ids, wheel, typed characters, alerts
//   4. Menus: encoded item strings
//   5. GDI surface: palette, lines, pixel blocks, stroke op lists
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ux/core/UXGeometry.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Typed characters (text itself converts with foundation/WideText.h).
// Typed characters arrive one UTF-16 unit a message; a surrogate pair spans
// two. feed answers the UTF-8 bytes of a completed character (0 to 4).
struct W32CharDecoder {
  char16_t high = 0;  // pending high surrogate, 0 none
  int feed(char16_t unit, char out[4]);
};

// ---------------------------------------------------------------------------
// 2. Window table.
constexpr uint32_t kW32MaxWindows = 63;  // handles 1..63; 0 is "none"

// The lowest free handle below next, else next (then incremented); 0 when
// all 63 are taken, with next unchanged. used[h] tells whether h is live.
uint32_t w32AllocHandle(const bool used[kW32MaxWindows + 1], uint32_t& next);

// "*" when modified, the title ("" for null), " - " and the subtitle when it
// is not empty.
std::string w32ComposeTitle(const char* title, const char* subtitle, uint8_t modified);

// Scroll limit of a window that scrolls its own content: the content beyond
// the client less the slack (40 pixels vertically, 24 horizontally).
int32_t w32ScrollLimit(int32_t content, int32_t client, int32_t slack);
int32_t w32ClampScroll(int32_t value, int32_t limit);  // 0..limit (limit < 0 counts as 0)
// A scroll bar message's new offset: line -/+10, page -/+50, thumb codes
// (4, 5) take the thumb position, other codes keep the offset; clamped.
int32_t w32ScrollByCode(int32_t offset, uint32_t code, int32_t thumb, int32_t limit);
// A wheel message that reached a window: 30 pixels a notch, clamped.
int32_t w32ScrollByWheel(int32_t offset, int16_t delta, int32_t limit);

// The line overlay's curve from (x1, y1) to (x2, y2): the two control
// points and the end of a Bezier segment that leaves the start and enters
// the end horizontally, each control point max(|x2 - x1| / 2, 30) pixels
// out towards the other end. out = {cx1, cy1, cx2, cy2, x2, y2}.
void w32LineCurve(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t out[6]);

// ---------------------------------------------------------------------------
// 3. Input.
// Menu command id of item i of menu m (both from 0): m * 256 + i + 1.
constexpr uint32_t w32CommandId(int32_t menu, int32_t item) { return uint32_t(menu) * 256u + uint32_t(item) + 1u; }
// The type-7 event arguments of a non-zero id: a = menu + 2, b = item.
void w32CommandArgs(uint32_t id, int32_t& a, int32_t& b);
// Wheel delta to notches (a) and pixels (b = -100 a notch), both truncated.
void w32WheelArgs(int16_t delta, int32_t& notches, int32_t& pixels);

// Message box: the flags (buttons and icon) and the button count of an
// alert, its text ('|' to line feeds, at most 510 bytes) and the 1-based
// answer for the id the box returned.
uint32_t w32AlertFlags(int32_t style, const char* buttons, int32_t& count);
std::string w32AlertText(const char* message);
int32_t w32AlertAnswer(int32_t count, int32_t id);

// A class name that is "EDIT" in any letter case.
bool w32IsEditClassName(const char16_t* name);

// ---------------------------------------------------------------------------
// 4. Menus. An encoded item string: "-" separator; else 0x01 checked or 0x02
//    grayed first, the title, and a TAB with the shortcut.
struct W32MenuItem {
  bool separator = false;
  uint32_t flags = 0;  // MF_CHECKED (8) or MF_GRAYED (1), else 0
  std::string label;   // UTF-8, shortcut spelt "\tShift+Ctrl+K"
};
W32MenuItem w32MenuItemOf(const char* encoded);

// ---------------------------------------------------------------------------
// 5. GDI surface.
// Device coordinates are clamped to the 16-bit range, never wrapped.
constexpr int32_t w32Clamp16(int64_t v) { return v < -32768 ? -32768 : v > 32767 ? 32767 : int32_t(v); }
// Palette index to a GDI colour (red | green << 8 | blue << 16).
uint32_t w32PenColor(uint32_t ci);
constexpr uint32_t w32Rgb(uint32_t r, uint32_t g, uint32_t b) { return (r & 255) | (g & 255) << 8 | (b & 255) << 16; }

// A line two pixels thick: a rectangle when it is horizontal or vertical,
// else the parallelogram (x1, y1), (x2, y2), (x2, y2 + 2), (x1, y1 + 2).
struct W32LineShape {
  bool isRect = false;
  int16_t x = 0, y = 0, w = 0, h = 0;
  int16_t px[4] = {}, py[4] = {};
};
W32LineShape w32LineShape(int16_t x1, int16_t y1, int16_t x2, int16_t y2);

// A pixel block cut to its image: false when nothing is left.
struct W32PixelClip {
  int32_t sx = 0, sy = 0, w = 0, h = 0;
};
bool w32ClipPixels(UXRect src, uint32_t width, uint32_t height, W32PixelClip& clip);
// The clipped pixels as premultiplied B, G, R, A rows (a top-down 32-bit
// DIB). swap 1: the source is R, G, B, A; otherwise B, G, R, A.
void w32PremultiplyBlock(const uint8_t* pixels, uint32_t width, uint32_t swap, const W32PixelClip& clip,
                         uint8_t* out);

// The walk of a native stroke's op list, offset by the origin: what it draws
// goes to the sink. Stops at an unknown op or one cut short by n.
class W32StrokeSink {
 public:
  virtual ~W32StrokeSink() = default;
  virtual void moveTo(int32_t x, int32_t y) = 0;
  virtual void lineTo(int32_t x, int32_t y) = 0;
  virtual void bezierTo(const int32_t xy[6]) = 0;
};
void w32WalkStroke(const int32_t* ops, int32_t n, int32_t ox, int32_t oy, W32StrokeSink& sink);

}  // namespace quorl
