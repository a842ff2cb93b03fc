#include "ux/win32/W32Pure.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "foundation/String.h"
#include "foundation/WideText.h"
#include "ux/core/UXMenu.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Typed characters.

int W32CharDecoder::feed(char16_t unit, char out[4]) {
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    // A high surrogate waits for its partner; one left waiting is dropped.
    high = unit;
    return 0;
  }
  const char16_t pair[2] = {high, unit};
  const bool paired = high && unit >= 0xDC00 && unit <= 0xDFFF;
  high = 0;
  const std::string bytes = paired ? WideText::utf8(pair, 2) : WideText::utf8(&unit, 1);
  std::memcpy(out, bytes.data(), bytes.size());
  return int(bytes.size());
}

// ---------------------------------------------------------------------------
// 2. Window table.

uint32_t w32AllocHandle(const bool used[kW32MaxWindows + 1], uint32_t& next) {
  if (next < 1) next = 1;
  for (uint32_t h = 1; h < next && h <= kW32MaxWindows; ++h)
    if (!used[h]) return h;
  if (next > kW32MaxWindows) return 0;  // the table is full
  return next++;
}

std::string w32ComposeTitle(const char* title, const char* subtitle, uint8_t modified) {
  std::string caption;
  if (modified) caption += '*';
  if (title) caption += title;
  if (subtitle && *subtitle) {
    caption += " - ";
    caption += subtitle;
  }
  return caption;
}

int32_t w32ScrollLimit(int32_t content, int32_t client, int32_t slack) {
  int64_t limit = int64_t(content) - (int64_t(client) - slack);
  return limit < 0 ? 0 : limit > INT32_MAX ? INT32_MAX : int32_t(limit);
}

int32_t w32ClampScroll(int32_t value, int32_t limit) {
  if (limit < 0) limit = 0;
  return value < 0 ? 0 : value > limit ? limit : value;
}

void w32LineCurve(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t out[6]) {
  // In 64 bits: the difference of two far coordinates does not fit 32.
  const int64_t dx = int64_t(x2) - int64_t(x1);
  const int64_t reach = std::max<int64_t>((dx < 0 ? -dx : dx) / 2, 30);
  const int64_t step = dx >= 0 ? reach : -reach;
  auto fit = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  out[0] = fit(int64_t(x1) + step);
  out[1] = y1;
  out[2] = fit(int64_t(x2) - step);
  out[3] = y2;
  out[4] = x2;
  out[5] = y2;
}

int32_t w32ScrollByCode(int32_t offset, uint32_t code, int32_t thumb, int32_t limit) {
  int64_t v = offset;
  switch (code) {
    case 0: v -= 10; break;  // line up
    case 1: v += 10; break;  // line down
    case 2: v -= 50; break;  // page up
    case 3: v += 50; break;  // page down
    case 4:
    case 5: v = thumb; break;
    default: break;
  }
  v = v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v;
  return w32ClampScroll(int32_t(v), limit);
}

int32_t w32ScrollByWheel(int32_t offset, int16_t delta, int32_t limit) {
  int64_t v = int64_t(offset) + int64_t(delta / 120) * -30;
  v = v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v;
  return w32ClampScroll(int32_t(v), limit);
}

// ---------------------------------------------------------------------------
// 3. Input.

void w32CommandArgs(uint32_t id, int32_t& a, int32_t& b) {
  a = int32_t((id - 1) / 256 + 2);
  b = int32_t((id - 1) % 256);
}

void w32WheelArgs(int16_t delta, int32_t& notches, int32_t& pixels) {
  notches = delta / 120;
  pixels = -((int32_t(delta) * 100) / 120);
}

uint32_t w32AlertFlags(int32_t style, const char* buttons, int32_t& count) {
  count = 1;
  for (const char* p = buttons; p && *p; ++p)
    if (*p == '|') ++count;
  uint32_t flags = count >= 3 ? 3u /* MB_YESNOCANCEL */ : count == 2 ? 1u /* MB_OKCANCEL */ : 0u;
  flags |= style < 3 ? 0x40u /* MB_ICONINFORMATION */ : 0x10u /* MB_ICONERROR */;
  return flags;
}

std::string w32AlertText(const char* message) {
  if (!message) return {};
  // Cut on a character boundary, so the box never shows half a character.
  std::string text(message, String::utf8Prefix(message, std::strlen(message), 510));
  for (char& c : text)
    if (c == '|') c = '\n';
  return text;
}

int32_t w32AlertAnswer(int32_t count, int32_t id) {
  if (count >= 3) return id == 6 /* IDYES */ ? 1 : id == 7 /* IDNO */ ? 2 : 3;
  if (count == 2) return id == 1 /* IDOK */ ? 1 : 2;
  return 1;
}

bool w32IsEditClassName(const char16_t* name) {
  if (!name) return false;
  const char* want = "edit";
  for (int i = 0; i < 4; ++i) {
    char16_t c = name[i];
    if (c >= 'A' && c <= 'Z') c = char16_t(c + 32);
    if (c != char16_t(want[i])) return false;
  }
  return name[4] == 0;
}

// ---------------------------------------------------------------------------
// 4. Menus.

W32MenuItem w32MenuItemOf(const char* encoded) {
  W32MenuItem item;
  if (!encoded) encoded = "";
  if (std::strcmp(encoded, "-") == 0) {
    item.separator = true;
    return item;
  }
  if (encoded[0] == UXMenuItem::kMarkChecked) {
    item.flags = 8;
    ++encoded;
  } else if (encoded[0] == UXMenuItem::kMarkDisabled) {
    item.flags = 1;
    ++encoded;
  }
  item.label = UXMenuKey::labelled(encoded, "\t", "Ctrl+", "Shift+");
  return item;
}

// ---------------------------------------------------------------------------
// 5. GDI surface.

uint32_t w32PenColor(uint32_t ci) {
  switch (ci) {
    case 0: return 0xFFFFFF;
    case 2: return 0x0000FF;
    case 8: return 0xC0C0C0;
    case 9: return 0x808080;
    case 250: return 0xFFD7B3;
    default: return 0;
  }
}

W32LineShape w32LineShape(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  W32LineShape s;
  if (y1 == y2 || x1 == x2) {
    s.isRect = true;
    if (y1 == y2) {
      s.x = x1 < x2 ? x1 : x2;
      s.y = y1;
      s.w = int16_t(w32Clamp16(int64_t(x1 < x2 ? x2 - x1 : x1 - x2) + 1));
      s.h = 2;
    } else {
      s.x = x1;
      s.y = y1 < y2 ? y1 : y2;
      s.w = 2;
      s.h = int16_t(w32Clamp16(int64_t(y1 < y2 ? y2 - y1 : y1 - y2) + 1));
    }
    return s;
  }
  const int16_t px[4] = {x1, x2, x2, x1};
  const int16_t py[4] = {y1, y2, int16_t(w32Clamp16(int32_t(y2) + 2)), int16_t(w32Clamp16(int32_t(y1) + 2))};
  for (int i = 0; i < 4; ++i) {
    s.px[i] = px[i];
    s.py[i] = py[i];
  }
  return s;
}

bool w32ClipPixels(UXRect src, uint32_t width, uint32_t height, W32PixelClip& clip) {
  int64_t sx = src.x() < 0 ? 0 : src.x(), sy = src.y() < 0 ? 0 : src.y();
  int64_t cw = src.w(), ch = src.h();
  if (sx + cw > int64_t(width)) cw = int64_t(width) - sx;
  if (sy + ch > int64_t(height)) ch = int64_t(height) - sy;
  if (cw < 1 || ch < 1) return false;
  clip.sx = int32_t(sx);
  clip.sy = int32_t(sy);
  clip.w = int32_t(cw);
  clip.h = int32_t(ch);
  return true;
}

void w32PremultiplyBlock(const uint8_t* pixels, uint32_t width, uint32_t swap, const W32PixelClip& clip,
                         uint8_t* out) {
  for (int32_t row = 0; row < clip.h; ++row) {
    const uint8_t* s = pixels + ((size_t(clip.sy) + size_t(row)) * width + size_t(clip.sx)) * 4;
    for (int32_t col = 0; col < clip.w; ++col, s += 4, out += 4) {
      uint32_t a = s[3];
      uint32_t b = swap == 1 ? s[2] : s[0], g = s[1], r = swap == 1 ? s[0] : s[2];
      out[0] = uint8_t((b * a + 127) / 255);
      out[1] = uint8_t((g * a + 127) / 255);
      out[2] = uint8_t((r * a + 127) / 255);
      out[3] = uint8_t(a);
    }
  }
}

void w32WalkStroke(const int32_t* ops, int32_t n, int32_t ox, int32_t oy, W32StrokeSink& sink) {
  if (!ops) return;
  bool open = false;
  int32_t startX = 0, startY = 0;
  auto X = [&](int32_t v) { return w32Clamp16(int64_t(ox) + v); };
  auto Y = [&](int32_t v) { return w32Clamp16(int64_t(oy) + v); };
  int32_t i = 0;
  while (i < n) {
    switch (ops[i]) {
      case 0:
      case 1:
        if (i + 3 > n) return;
        if (ops[i] == 1 && open) {
          sink.lineTo(X(ops[i + 1]), Y(ops[i + 2]));
        } else {
          startX = X(ops[i + 1]);
          startY = Y(ops[i + 2]);
          sink.moveTo(startX, startY);
          open = true;
        }
        i += 3;
        break;
      case 2: {
        if (i + 7 > n) return;
        int32_t xy[6];
        for (int k = 0; k < 6; ++k) xy[k] = k % 2 == 0 ? X(ops[i + 1 + k]) : Y(ops[i + 1 + k]);
        if (open) {
          sink.bezierTo(xy);
        } else {
          startX = xy[4];
          startY = xy[5];
          sink.moveTo(startX, startY);
          open = true;
        }
        i += 7;
        break;
      }
      case 3:
        if (open) sink.lineTo(startX, startY);
        i += 1;
        break;
      default:
        return;
    }
  }
}

}  // namespace quorl
