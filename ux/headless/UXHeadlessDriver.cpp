// The headless driver. Sections:
//   1. Text helpers (number text without printf or the locale)
//   2. UXHeadlessGraphics
//   3. Windows and painting
//   4. Text controls and dialogs
//   5. Clocks, settings, text metrics
//   6. Files
//   7. Node tree, drawing, realisation, field editors
//   8. Menus, alerts, events, start-up
#include "ux/headless/UXHeadlessDriver.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <system_error>
#include <thread>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "foundation/Files.h"
#include "foundation/String.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Text helpers.
namespace {

void appendInt(std::string& s, int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  s.append(buf, r.ptr);
}

// The values in order with sep between them: "1 2 3" for ' '.
void appendInts(std::string& s, std::initializer_list<int64_t> values, char sep = ' ') {
  bool first = true;
  for (int64_t v : values) {
    if (!first) s += sep;
    first = false;
    appendInt(s, v);
  }
}

void appendColour(std::string& s, uint32_t rgb) {
  static const char kHex[] = "0123456789ABCDEF";
  s += '#';
  for (int shift = 20; shift >= 0; shift -= 4) s += kHex[(rgb >> shift) & 15];
}

uint32_t rgbOf(uint32_t r, uint32_t g, uint32_t b) { return (r & 255) << 16 | (g & 255) << 8 | (b & 255); }

std::string cstr(const char* s) { return s ? std::string(s) : std::string(); }

// A bounded copy into a caller's buffer: at most capacity - 1 bytes, never
// half a character, and a NUL; answers the bytes copied (nothing at all for
// capacity 0).
uint32_t copyOut(const std::string& text, char* buffer, uint32_t capacity) {
  if (!buffer || capacity == 0) return 0;
  uint32_t n = uint32_t(String::utf8Prefix(text.data(), text.size(), capacity - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return n;
}

}  // namespace

// ---------------------------------------------------------------------------
// 2. The recording surface.

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

uint32_t uxHeadlessTextWidth(const char* text, int32_t size) {
  if (size < 1) size = 12;
  uint64_t bytes = text ? std::strlen(text) : 0;
  uint64_t w = bytes * 7 * uint64_t(size) / 12;
  return w > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(w);
}

// ---------------------------------------------------------------------------
// 3. Windows and painting.

UXHeadlessDriver::UXHeadlessDriver() {
  surface_.setSink(&strayLines_);
  startUs_ = std::chrono::duration_cast<std::chrono::microseconds>(
                 std::chrono::steady_clock::now().time_since_epoch())
                 .count();
}

UXHeadlessDriver::~UXHeadlessDriver() = default;

UXHeadlessDriver::Window* UXHeadlessDriver::liveWindow(uint32_t handle) {
  if (handle < 1 || handle > kMaxWindows || !windows_[handle].live) return nullptr;
  return &windows_[handle];
}

const UXHeadlessDriver::Window* UXHeadlessDriver::window(uint32_t handle) const {
  if (handle < 1 || handle > kMaxWindows || !windows_[handle].live) return nullptr;
  return &windows_[handle];
}

uint32_t UXHeadlessDriver::liveWindowCount() const {
  uint32_t n = 0;
  for (uint32_t h = 1; h <= kMaxWindows; ++h) n += windows_[h].live ? 1 : 0;
  return n;
}

uint32_t UXHeadlessDriver::windowCreate(int32_t x, int32_t y, int32_t w, int32_t h) {
  for (uint32_t handle = 1; handle <= kMaxWindows; ++handle) {
    if (windows_[handle].live) continue;
    Window& win = windows_[handle];
    win = Window();
    win.live = true;
    win.title = "Wendle";
    win.x = x;
    win.y = y;
    win.w = w < 0 ? 0 : w;
    win.h = h < 0 ? 0 : h;
    win.order = ++windowOrder_;
    return handle;
  }
  return 0;  // all 63 handles in use
}

void UXHeadlessDriver::windowSetContent(uint32_t window, UXContentDrawFunction draw, void* userData) {
  if (Window* w = liveWindow(window)) {
    w->draw = draw;
    w->drawData = userData;
  }
}

void UXHeadlessDriver::windowOpen(uint32_t window) {
  if (Window* w = liveWindow(window)) w->shown = true;
}

void UXHeadlessDriver::windowDestroy(uint32_t window) {
  Window* w = liveWindow(window);
  if (!w) return;
  *w = Window();
  for (auto it = texts_.begin(); it != texts_.end();) it = it->first.first == window ? texts_.erase(it) : ++it;
  if (liveWindowCount() == 0) {
    QueuedEvent quit{};
    quit.type = kUXEventClose;
    queue_.push_back(quit);
  }
}

void UXHeadlessDriver::windowSetTitle(uint32_t window, const char* title) {
  if (Window* w = liveWindow(window)) w->title = cstr(title);
}

void UXHeadlessDriver::windowSetSubtitle(uint32_t window, const char* subtitle) {
  if (Window* w = liveWindow(window)) w->subtitle = cstr(subtitle);
}

void UXHeadlessDriver::windowSetInfo(uint32_t, const char*) {}
void UXHeadlessDriver::windowSetIcon(uint32_t, const char*) {}
bool UXHeadlessDriver::appSetIcon(const uint8_t*, int32_t, int32_t, uint8_t) { return false; }
void UXHeadlessDriver::audioPlay(const int16_t*, uint32_t, uint32_t) {}

void UXHeadlessDriver::windowSetModified(uint32_t window, uint8_t modified) {
  if (Window* w = liveWindow(window)) w->modified = modified ? 1 : 0;
}

void UXHeadlessDriver::windowContentSize(uint32_t window, int32_t w, int32_t h) {
  if (Window* win = liveWindow(window)) {
    win->contentW = w;
    win->contentH = h;
  }
}

int32_t UXHeadlessDriver::windowScrollX(uint32_t window) {
  Window* w = liveWindow(window);
  return w ? w->scrollX : 0;
}

int32_t UXHeadlessDriver::windowScrollY(uint32_t window) {
  Window* w = liveWindow(window);
  return w ? w->scrollY : 0;
}

void UXHeadlessDriver::windowSetScroll(uint32_t window, int32_t x, int32_t y) {
  if (Window* w = liveWindow(window)) {
    w->scrollX = x;
    w->scrollY = y;
  }
}

void UXHeadlessDriver::windowContentGeometry(uint32_t window, int32_t& w, int32_t& h) {
  Window* win = liveWindow(window);
  w = win ? win->w : 0;
  h = win ? win->h : 0;
}

bool UXHeadlessDriver::windowSnapshot(uint32_t, int32_t, int32_t, int32_t, int32_t, uint32_t*) {
  return false;  // nothing is rasterised
}

void UXHeadlessDriver::paint(uint32_t handle, UXRect damage) {
  Window* w = liveWindow(handle);
  // A paint requested from inside a paint would recurse; the outer paint
  // already draws everything.
  if (!w || painting_ != 0) return;
  w->paintLog.clear();
  w->lastDamage = damage;
  if (w->draw) {
    painting_ = handle;
    surface_.setSink(&w->paintLog);
    w->draw(0, 0, 0, w->w, w->h, w->drawData);
    surface_.setSink(&strayLines_);
    painting_ = 0;
  }
  if (Window* after = liveWindow(handle)) ++after->paints;
}

void UXHeadlessDriver::windowInvalidate(uint32_t window) {
  Window* w = liveWindow(window);
  if (w) paint(window, UXRect(0, 0, w->w, w->h));
}

void UXHeadlessDriver::windowInvalidateRect(uint32_t window, int32_t x, int32_t y, int32_t w, int32_t h) {
  paint(window, UXRect(x, y, w, h));
}

void UXHeadlessDriver::windowOrderFront(uint32_t window) {
  if (Window* w = liveWindow(window)) w->order = ++windowOrder_;
}

void UXHeadlessDriver::windowSetMinSize(uint32_t window, int32_t w, int32_t h) {
  if (Window* win = liveWindow(window)) {
    win->minW = w;
    win->minH = h;
    // A window already smaller grows at once, as a native one does.
    if (win->w < w || win->h < h) resizeWindow(window, win->w, win->h);
  }
}

void UXHeadlessDriver::resizeWindow(uint32_t handle, int32_t w, int32_t h) {
  Window* win = liveWindow(handle);
  if (!win) return;
  win->w = std::max({w, win->minW, 0});
  win->h = std::max({h, win->minH, 0});
  UXEvent e;
  e.type = kUXEventResize;
  e.window = handle;
  postEvent(e);
}

void UXHeadlessDriver::windowLine(uint32_t window, uint8_t on, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                  int32_t rx, int32_t ry, int32_t rw, int32_t rh) {
  Window* w = liveWindow(window);
  if (!w) return;
  if (!on) {
    w->paintLog.push_back("overlay off");
    return;
  }
  std::string s = "overlay ";
  appendInts(s, {x1, y1, x2, y2, rx, ry, rw, rh});
  w->paintLog.push_back(s);
}

int32_t UXHeadlessDriver::outlineItemAt(uint32_t, int16_t, int32_t, int32_t) { return 0; }

int32_t UXHeadlessDriver::menuPopUp(uint32_t, const char* const*, const uint32_t*, int32_t, int32_t, int32_t) {
  return -1;  // dismissed
}

uint32_t UXHeadlessDriver::windowAtPoint(int32_t x, int32_t y) {
  uint32_t best = 0;
  uint64_t bestOrder = 0;
  for (uint32_t h = 1; h <= kMaxWindows; ++h) {
    const Window& w = windows_[h];
    if (!w.live || !w.shown) continue;
    bool inside = int64_t(w.x) <= x && x < int64_t(w.x) + w.w && int64_t(w.y) <= y && y < int64_t(w.y) + w.h;
    if (inside && w.order > bestOrder) {
      best = h;
      bestOrder = w.order;
    }
  }
  return best;
}

// ---------------------------------------------------------------------------
// 4. Text controls and dialogs.

UXHeadlessDriver::TextControl* UXHeadlessDriver::findText(uint32_t window, int32_t id) {
  auto it = texts_.find({window, id});
  return it == texts_.end() ? nullptr : &it->second;
}

const UXHeadlessDriver::TextControl* UXHeadlessDriver::textControl(uint32_t window, int32_t id) const {
  auto it = texts_.find({window, id});
  return it == texts_.end() ? nullptr : &it->second;
}

void UXHeadlessDriver::textViewSetAll(uint32_t window, int32_t id, const char* text, uint32_t length,
                                      const uint32_t* runs, uint32_t runCount) {
  TextControl* t = findText(window, id);
  if (!t) return;
  t->text.assign(text ? text : "", text ? length : 0);
  t->runs.assign(runs ? runs : nullptr, runs ? runs + size_t(runCount) * 5 : nullptr);
  t->selStart = std::min<uint32_t>(t->selStart, uint32_t(t->text.size()));
  t->selLength = std::min<uint32_t>(t->selLength, uint32_t(t->text.size()) - t->selStart);
}

void UXHeadlessDriver::textViewReplace(uint32_t window, int32_t id, uint32_t start, uint32_t length,
                                       const char* text, uint32_t textLength, const uint32_t* runs,
                                       uint32_t runCount) {
  TextControl* t = findText(window, id);
  if (!t) return;
  size_t at = std::min<size_t>(start, t->text.size());
  size_t count = std::min<size_t>(length, t->text.size() - at);
  t->text.replace(at, count, text ? text : "", text ? textLength : 0);
  // The runs given describe the whole new text.
  if (runs && runCount) t->runs.assign(runs, runs + size_t(runCount) * 5);
  t->selStart = uint32_t(at + (text ? textLength : 0));
  t->selLength = 0;
}

void UXHeadlessDriver::textViewSize(uint32_t window, int32_t id, uint32_t& length, uint32_t& runCount) {
  length = runCount = 0;
  if (TextControl* t = findText(window, id)) {
    length = uint32_t(t->text.size());
    runCount = uint32_t(t->runs.size() / 5);
  }
}

uint32_t UXHeadlessDriver::textViewRead(uint32_t window, int32_t id, char* buffer, uint32_t capacity,
                                        uint32_t* runs, uint32_t runCapacity) {
  TextControl* t = findText(window, id);
  if (!t || !buffer || capacity < 1) return 0;
  copyOut(t->text, buffer, capacity);
  if (!runs) return 0;
  uint32_t n = std::min<uint32_t>(runCapacity, uint32_t(t->runs.size() / 5));
  std::copy(t->runs.begin(), t->runs.begin() + size_t(n) * 5, runs);
  return n;
}

void UXHeadlessDriver::textViewSelection(uint32_t window, int32_t id, uint32_t& start, uint32_t& length) {
  start = length = 0;
  if (TextControl* t = findText(window, id)) {
    start = t->selStart;
    length = t->selLength;
  }
}

void UXHeadlessDriver::textViewSetSelection(uint32_t window, int32_t id, uint32_t start, uint32_t length) {
  TextControl* t = findText(window, id);
  if (!t) return;
  uint32_t size = uint32_t(t->text.size());
  t->selStart = std::min(start, size);
  t->selLength = std::min(length, size - t->selStart);
}

void UXHeadlessDriver::textViewSetTyping(uint32_t window, int32_t id, uint32_t flags, uint32_t colour,
                                         int16_t size) {
  if (TextControl* t = findText(window, id)) {
    t->typingFlags = flags;
    t->typingColour = colour;
    t->typingSize = size;
  }
}

void UXHeadlessDriver::textViewFocus(uint32_t, int32_t) {}

void UXHeadlessDriver::textViewSetLook(uint32_t window, int32_t id, uint32_t background, uint32_t textColour,
                                       uint32_t caretColour, uint32_t selectionColour, uint32_t value,
                                       uint8_t flag) {
  if (TextControl* t = findText(window, id)) {
    const uint32_t look[6] = {background, textColour, caretColour, selectionColour, value, flag};
    std::copy(look, look + 6, t->look);
  }
}

int32_t UXHeadlessDriver::fileOpen(const char*, const char*, char* buffer, uint32_t capacity) {
  copyOut("", buffer, capacity);
  return 0;
}

int32_t UXHeadlessDriver::fileSave(const char*, const char*, const char*, char* buffer, uint32_t capacity) {
  copyOut("", buffer, capacity);
  return 0;
}

bool UXHeadlessDriver::pickColor(uint32_t r, uint32_t g, uint32_t b, uint32_t& outR, uint32_t& outG,
                                 uint32_t& outB) {
  outR = r;
  outG = g;
  outB = b;
  return false;
}

bool UXHeadlessDriver::pickFont(const char*, int32_t, uint8_t, uint8_t, char*, uint32_t, int32_t&, uint8_t&, uint8_t&) {
  return false;
}

// ---------------------------------------------------------------------------
// 5. Clocks, settings, text metrics.

uint32_t UXHeadlessDriver::nowMs() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return uint32_t(uint64_t(ms.count()));
}

uint64_t UXHeadlessDriver::nowUs() {
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return uint64_t(us.count());
}

void UXHeadlessDriver::nowUTC(uint32_t out[7]) {
  uxCivilFromUs(std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count(),
                out);
}

void uxCivilFromUs(int64_t us, uint32_t out[7]) {
  constexpr int64_t kDay = 86400000000;
  int64_t days = us >= 0 ? us / kDay : (us - (kDay - 1)) / kDay;
  int64_t dayUs = us - days * kDay;
  // Civil date from days since 1970-01-01 (proleptic Gregorian).
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  out[0] = uint32_t(year);
  out[1] = uint32_t(month);
  out[2] = uint32_t(day);
  out[3] = uint32_t(dayUs / 3600000000);
  out[4] = uint32_t(dayUs / 60000000 % 60);
  out[5] = uint32_t(dayUs / 1000000 % 60);
  out[6] = uint32_t(dayUs % 1000000);
}

namespace {
std::string sectionOf(const char* section) { return section && *section ? std::string(section) : "Shared"; }
}  // namespace

int32_t UXHeadlessDriver::settingGet(const char* section, const char* key, char* buffer, uint32_t capacity) {
  auto it = settings_.find(sectionOf(section) + '\n' + cstr(key));
  if (it == settings_.end()) {
    copyOut("", buffer, capacity);
    return 0;
  }
  if (!buffer || capacity == 0) return 0;
  copyOut(it->second, buffer, capacity);
  return 1;
}

bool UXHeadlessDriver::settingSet(const char* section, const char* key, const char* value) {
  const std::string k = cstr(key), v = cstr(value), sec = sectionOf(section);
  if (!settingsFile_.empty() &&
      ((v + k + sec).find_first_of("\r\n") != std::string::npos || k.find('=') != std::string::npos ||
       sec.find(']') != std::string::npos))
    return false;
  settings_[sec + '\n' + k] = v;
  return writeSettings();
}

bool UXHeadlessDriver::settingRemove(const char* section, const char* key) {
  if (settings_.erase(sectionOf(section) + '\n' + cstr(key)) == 0) return false;
  return writeSettings();
}

void UXHeadlessDriver::setSettingsFile(const std::string& path) {
  settingsFile_ = path;
  if (path.empty()) return;
  // Read as every file is: a pipe or a device in its place is no settings
  // file, and no settings file is larger than a few kilobytes.
  Ref<String> text = Files::readText(String::withBytes(path.data(), uint32_t(path.size())), 1u << 20, nullptr);
  std::istringstream in(text ? std::string(text->view()) : std::string());
  std::string line, section = "Shared";
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    settings_[section + '\n' + line.substr(0, eq)] = line.substr(eq + 1);
  }
}

// The whole file is written to a sibling and renamed over the old one, so a
// failed write never leaves half a file.
bool UXHeadlessDriver::writeSettings() const {
  if (settingsFile_.empty()) return true;
  namespace fs = std::filesystem;
  const fs::path target(std::u8string(settingsFile_.begin(), settingsFile_.end()));
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  fs::path temp = target;
  temp += ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    std::string current;
    for (const auto& [composite, value] : settings_) {
      const size_t cut = composite.find('\n');
      const std::string section = composite.substr(0, cut), key = composite.substr(cut + 1);
      if (section != current || current.empty()) {
        out << '[' << section << "]\n";
        current = section;
      }
      out << key << '=' << value << '\n';
    }
    out.close();
    if (out.fail()) return false;
  }
  fs::rename(temp, target, ec);
  return !ec;
}

uint32_t UXHeadlessDriver::textWidth(const char* text, int32_t size) { return uxHeadlessTextWidth(text, size); }

uint32_t UXHeadlessDriver::textWidthStyled(const char* text, const char*, uint32_t size, uint8_t, uint8_t) {
  return uxHeadlessTextWidth(text, size > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(size));
}

uint32_t UXHeadlessDriver::textWidthWeight(const char* text, const char*, uint32_t size, uint32_t, uint8_t) {
  return uxHeadlessTextWidth(text, size > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(size));
}

int32_t UXHeadlessDriver::textAscent(const char*, uint32_t size, uint32_t, uint8_t) {
  return size < 1 ? 12 : size > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(size);
}

int32_t UXHeadlessDriver::fontFamilyName(int32_t index, char* buffer, uint32_t capacity) {
  if (index != 0) return -1;
  return int32_t(copyOut("Headless", buffer, capacity));
}

// ---------------------------------------------------------------------------
// 6. Files, through std::filesystem so that the same code serves both builds
//    (paths are UTF-8 on both), and through the POSIX calls where only they
//    act on the entry that was checked: unlink never removes a folder,
//    renameat2 never replaces, and a copy checks the files it opened.
namespace {

namespace fs = std::filesystem;

fs::path pathOf(const char* s) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(s), std::strlen(s)));
}

#ifdef _WIN32
// A name longer than a file system allows (Windows reports it as an
// invalid name, not as too long).
bool overlongName(const fs::path& p) {
  for (const fs::path& part : p)
    if (part.native().size() > 255) return true;
  return false;
}
#endif

// The last failure of a file operation (the UI thread's only).
UXFileFailure gFileFailure = UXFileFailure::none;

bool failed(UXFileFailure why) {
  gFileFailure = why;
  return false;
}

// The reason behind a system error; `source` tells a missing source (gone)
// from a missing target folder.
UXFileFailure failureOf(std::error_code ec, bool source) {
  if (ec == std::errc::file_exists || ec == std::errc::directory_not_empty) return UXFileFailure::exists;
  if (ec == std::errc::filename_too_long) return UXFileFailure::tooLong;
  if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
      ec == std::errc::read_only_file_system)
    return UXFileFailure::permission;
  if (ec == std::errc::no_such_file_or_directory) return source ? UXFileFailure::gone : UXFileFailure::noFolder;
  if (ec == std::errc::not_a_directory) return UXFileFailure::noFolder;
  if (ec == std::errc::is_a_directory) return UXFileFailure::isFolder;
  if (ec == std::errc::no_such_device_or_address) return UXFileFailure::notRegular;  // a pipe without a reader
  return UXFileFailure::unknown;
}

#ifndef _WIN32
UXFileFailure failureOfErrno(bool source) { return failureOf(std::error_code(errno, std::generic_category()), source); }

// Closes a descriptor when it goes.
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

// A failed rename's ENOENT: the source gone, or the target's folder.
UXFileFailure renameFailure(const char* from) {
  const int error = errno;
  struct stat info;
  if (error == ENOENT && ::lstat(from, &info) != 0) return UXFileFailure::gone;
  return failureOf(std::error_code(error, std::generic_category()), false);
}
#endif

}  // namespace

UXFileFailure UXHeadlessDriver::fileFailure() const { return gFileFailure; }

int32_t UXHeadlessDriver::listDir(const char* folder, char* buffer, uint32_t capacity) {
  if (buffer && capacity > 0) buffer[0] = 0;
  if (!folder) return -1;
  std::error_code ec;
  fs::directory_iterator it(pathOf(folder), ec);
  if (ec) return -1;
  if (!buffer || capacity == 0) return 0;
  size_t used = 0;
  int32_t count = 0;
  // Entries are written while fewer than capacity - 300 bytes are used, and
  // only when the whole line and the closing NUL fit: a long name never
  // runs past the buffer.
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (capacity <= 300 || used >= capacity - 300) break;
    std::u8string name = it->path().filename().u8string();
    if (name.find(u8'\n') != std::u8string::npos) continue;
    std::error_code e2;
    bool dir = it->is_directory(e2);
    uint64_t size = 0;
    if (!dir) {
      size = it->file_size(e2);
      if (e2) size = 0;
    }
    std::string line = dir ? "d\t" : "f\t";
    appendInt(line, int64_t(size & 0xFFFFFFFFu));
    line += '\t';
    line.append(reinterpret_cast<const char*>(name.data()), name.size());
    line += '\n';
    if (used + line.size() + 1 > capacity) break;
    std::memcpy(buffer + used, line.data(), line.size());
    used += line.size();
    ++count;
  }
  buffer[used] = 0;
  return count;
}

bool UXHeadlessDriver::fileDelete(const char* path) {
  gFileFailure = UXFileFailure::none;
  if (!path || !*path) return failed(UXFileFailure::gone);
#ifndef _WIN32
  if (::unlink(path) == 0) return true;
  struct stat info;
  // Linux answers EISDIR for a folder, POSIX allows EPERM.
  if ((errno == EISDIR || errno == EPERM) && ::lstat(path, &info) == 0 && S_ISDIR(info.st_mode))
    return failed(UXFileFailure::isFolder);
  return failed(failureOfErrno(true));
#else
  std::error_code ec;
  const fs::path p = pathOf(path);
  const fs::file_type type = fs::symlink_status(p, ec).type();
  if (type == fs::file_type::directory) return failed(UXFileFailure::isFolder);
  if (type == fs::file_type::not_found) return failed(UXFileFailure::gone);
  if (fs::remove(p, ec) && !ec) return true;
  return failed(ec ? failureOf(ec, true) : UXFileFailure::gone);
#endif
}

bool UXHeadlessDriver::fileRename(const char* from, const char* to) {
  gFileFailure = UXFileFailure::none;
  if (!from || !to || !*from || !*to) return failed(UXFileFailure::unknown);
#ifndef _WIN32
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return failed(renameFailure(from));
  // A file system without RENAME_NOREPLACE: look, then rename.
  struct stat info;
  if (::lstat(to, &info) == 0) return failed(UXFileFailure::exists);
  if (errno != ENOENT) return failed(failureOfErrno(false));
  if (::rename(from, to) == 0) return true;
  return failed(renameFailure(from));
#else
  std::error_code ec;
  fs::path target = pathOf(to);
  if (overlongName(target)) return failed(UXFileFailure::tooLong);
  const fs::file_type type = fs::symlink_status(target, ec).type();
  if (type != fs::file_type::not_found) return failed(ec ? failureOf(ec, false) : UXFileFailure::exists);
  ec.clear();
  fs::rename(pathOf(from), target, ec);
  if (!ec) return true;
  std::error_code probe;
  return failed(fs::exists(pathOf(from), probe) ? failureOf(ec, false) : UXFileFailure::gone);
#endif
}

#ifndef _WIN32
bool UXHeadlessDriver::fileCopy(const char* from, const char* to) {
  gFileFailure = UXFileFailure::none;
  if (!from || !to || !*from || !*to) return failed(UXFileFailure::unknown);
  // Both ends are opened without waiting (a pipe answers at once) and
  // checked on the open descriptors; the target is emptied only then.
  Fd in(::open(from, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (in.fd < 0) return failed(failureOfErrno(true));
  struct stat source;
  if (::fstat(in.fd, &source) != 0) return failed(failureOfErrno(true));
  if (S_ISDIR(source.st_mode)) return failed(UXFileFailure::isFolder);
  if (!S_ISREG(source.st_mode)) return failed(UXFileFailure::notRegular);
  Fd out(::open(to, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666));
  if (out.fd < 0) return failed(failureOfErrno(false));
  struct stat target;
  if (::fstat(out.fd, &target) != 0) return failed(failureOfErrno(false));
  if (!S_ISREG(target.st_mode)) return failed(UXFileFailure::notRegular);
  // Emptying the target would lose the file copied onto itself.
  if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) return failed(UXFileFailure::same);
  if (::ftruncate(out.fd, 0) != 0) return failed(failureOfErrno(false));
  ::fcntl(in.fd, F_SETFL, ::fcntl(in.fd, F_GETFL) & ~O_NONBLOCK);
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(in.fd, chunk, sizeof chunk);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      return failed(failureOfErrno(true));
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(out.fd, chunk + done, size_t(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return failed(failureOfErrno(false));
      }
      done += put;
    }
  }
  return true;
}
#else
// Copied by streams rather than fs::copy_file, whose overwriting fails on
// the Windows build's runtime.
bool UXHeadlessDriver::fileCopy(const char* from, const char* to) {
  gFileFailure = UXFileFailure::none;
  if (!from || !to || !*from || !*to) return failed(UXFileFailure::unknown);
  std::error_code ec;
  fs::path source = pathOf(from), target = pathOf(to);
  if (overlongName(target)) return failed(UXFileFailure::tooLong);
  const fs::file_type type = fs::status(source, ec).type();
  if (type == fs::file_type::not_found) return failed(UXFileFailure::gone);
  if (type == fs::file_type::directory) return failed(UXFileFailure::isFolder);
  if (type != fs::file_type::regular) return failed(UXFileFailure::notRegular);
  const fs::file_type targetType = fs::status(target, ec).type();
  if (targetType == fs::file_type::directory) return failed(UXFileFailure::isFolder);
  if (targetType != fs::file_type::not_found && targetType != fs::file_type::regular)
    return failed(UXFileFailure::notRegular);
  // Opening the target truncates it: copying a file onto itself would lose it.
  if (targetType == fs::file_type::regular && fs::equivalent(source, target, ec)) return failed(UXFileFailure::same);
  std::ifstream in(source, std::ios::binary);
  if (!in) return failed(UXFileFailure::permission);
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) return failed(fs::exists(target.parent_path(), ec) ? UXFileFailure::permission : UXFileFailure::noFolder);
  char chunk[65536];
  while (in) {
    in.read(chunk, sizeof chunk);
    std::streamsize got = in.gcount();
    if (got > 0 && !out.write(chunk, got)) return failed(UXFileFailure::unknown);
  }
  if (in.bad()) return failed(UXFileFailure::unknown);
  out.close();
  return !out.fail() || failed(UXFileFailure::unknown);
}
#endif

// ---------------------------------------------------------------------------
// 7. Node tree, drawing, realisation, field editors.

void UXHeadlessDriver::treeOffset(Ptr<UXNodeTree>, int32_t& x, int32_t& y) { x = y = 0; }

int16_t UXHeadlessDriver::treeHitTest(Ptr<UXNodeTree> tree, int16_t root, int32_t x, int32_t y) {
  return tree ? tree->hitTest(root, x, y) : int16_t(-1);
}

void UXHeadlessDriver::structAbsFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t& x, int32_t& y, int32_t& w,
                                      int32_t& h) {
  if (tree)
    tree->absFrame(node, x, y, w, h);
  else
    x = y = w = h = 0;
}


void UXHeadlessDriver::structFree(Ptr<UXNodeTree> tree) {
  if (tree) tree->release();
}



int16_t UXHeadlessDriver::structAddChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) {
  return tree ? tree->addChild(parent, child) : int16_t(-1);
}

namespace {
// Brings the shown state of every realised control under n in line with
// the tree: shown unless hidden itself, through an ancestor or unlinked.
void syncShown(UXNodeTree& tree, int16_t n) {
  tree.walk(n, [&](int16_t m, int32_t, int32_t) {
    UXNode* node = tree.at(m);
    if (node->native) node->nativeShown = tree.effectivelyHidden(m) ? 0 : 1;
    return true;
  });
}
}  // namespace

void UXHeadlessDriver::structRemoveChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) {
  if (!tree) return;
  tree->removeChild(parent, child);
  if (tree->valid(child) && tree->at(child)->parent < 0) syncShown(*tree, child);
}

void UXHeadlessDriver::structSetFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t x, int32_t y, int32_t w,
                                      int32_t h) {
  // A realised control's position is the node's absolute frame, so moving
  // the node moves the control at once.
  if (tree) tree->setFrame(node, x, y, w, h);
}


void UXHeadlessDriver::structSetHidden(Ptr<UXNodeTree> tree, int16_t node, uint16_t hidden) {
  UXNode* n = tree ? tree->at(node) : nullptr;
  if (!n) return;
  n->hidden = hidden;
  syncShown(*tree, node);
}


void UXHeadlessDriver::structSetEnabled(Ptr<UXNodeTree> tree, int16_t node, uint16_t enabled) {
  if (UXNode* n = tree ? tree->at(node) : nullptr) n->enabled = enabled;
}










void UXHeadlessDriver::treeSetUserDraw(UXNodeDrawFunction draw, void* userData) {
  userDraw_ = draw;
  userDrawData_ = userData;
}

void UXHeadlessDriver::treeDraw(UXNodeTree* tree, int16_t start, int32_t, int32_t, int32_t, int32_t) {
  if (!tree) return;
  tree->walk(start, [&](int16_t n, int32_t ax, int32_t ay) {
    const UXNode* node = tree->at(n);
    if (node->hidden) return false;
    if (uxKindDrawnByToolkit(node->kind)) {
      if (userDraw_) userDraw_(tree, n, userDrawData_);
    } else if (node->kind == kUXNodeLabel && node->spec) {
      // Labels have no control: the driver draws their text.
      surface_.setOrigin(-drawOffsetX_, -drawOffsetY_);
      surface_.drawText(uxTextOfSpec(node->spec), int16_t(ax), int16_t(ay), 1, 12);
    }
    return true;
  });
}

UXGraphics* UXHeadlessDriver::beginViewDraw(int32_t x, int32_t y, int32_t w, int32_t h) {
  // Paint logs are replaced by every paint; drawing outside a paint would
  // grow the stray log without end, so its older half is dropped.
  if (painting_ == 0 && strayLines_.size() >= kMaxStrayLines)
    strayLines_.erase(strayLines_.begin(), strayLines_.begin() + ptrdiff_t(strayLines_.size() / 2));
  surface_.setOrigin(x - drawOffsetX_, y - drawOffsetY_);
  std::string s = "view ";
  appendInts(s, {x - drawOffsetX_, y - drawOffsetY_, w, h});
  surface_.note(s);
  return &surface_;
}

void UXHeadlessDriver::endViewDraw() { surface_.setOrigin(0, 0); }

void UXHeadlessDriver::setDrawOffset(int32_t x, int32_t y) {
  drawOffsetX_ = x;
  drawOffsetY_ = y;
}

void UXHeadlessDriver::nativeScrollTo(Ptr<UXNodeTree> tree, int16_t node, int32_t px) {
  if (!tree) return;
  int16_t c = tree->scrollContainerOf(node);
  if (c >= 0) tree->at(c)->scrollPx = px < 0 ? 0 : px;
}

int32_t UXHeadlessDriver::nativeScrollPx(Ptr<UXNodeTree> tree, int16_t node) {
  if (!tree) return 0;
  int16_t c = tree->scrollContainerOf(node);
  return c >= 0 ? tree->at(c)->scrollPx : 0;
}

void UXHeadlessDriver::glDrawableSize(Ptr<UXView>, int32_t& w, int32_t& h) { w = h = 0; }

void UXHeadlessDriver::realizeTree(uint32_t window, UXNodeTree* tree) {
  if (!tree) return;
  for (uint32_t i = 0; i < tree->count(); ++i) {
    int16_t n = int16_t(i);
    UXNode* node = tree->at(n);
    if (!uxKindHasNativeControl(node->kind)) continue;
    if (node->native == 0) {
      node->native = uint64_t(kUXNativeIdBase + n);
      if (node->kind == kUXNodeTextView && nativeTextViews_ && liveWindow(window)) texts_[{window, n}];
    }
    node->nativeShown = tree->effectivelyHidden(n) ? 0 : 1;
  }
}

UXFieldEditor* UXHeadlessDriver::fieldEditorNew(char* buffer, uint32_t capacity) {
  auto editor = std::make_unique<UXFieldEditor>();
  editor->buffer = buffer;
  editor->capacity = buffer ? capacity : 0;
  editors_.push_back(std::move(editor));
  return editors_.back().get();
}

bool UXHeadlessDriver::isLiveFieldEditor(const UXFieldEditor* editor) const {
  if (!editor) return false;
  for (const auto& e : editors_)
    if (e.get() == editor) return true;
  return false;
}

void UXHeadlessDriver::fieldEditorSetValid(UXFieldEditor* editor, const char* templ) {
  if (isLiveFieldEditor(editor)) editor->templ = cstr(templ);
}

void UXHeadlessDriver::fieldEditorSetPlaceholder(UXFieldEditor* editor, const char* placeholder) {
  if (isLiveFieldEditor(editor)) editor->placeholder = cstr(placeholder);
}

void UXHeadlessDriver::fieldEditorSetSecure(UXFieldEditor* editor, uint8_t secure) {
  if (isLiveFieldEditor(editor)) editor->secure = secure ? 1 : 0;
}

void UXHeadlessDriver::fieldEditorFree(UXFieldEditor* editor) {
  auto it = std::find_if(editors_.begin(), editors_.end(), [&](const auto& e) { return e.get() == editor; });
  if (it != editors_.end()) editors_.erase(it);
}

int32_t UXHeadlessDriver::editText(UXNodeTree* tree, int16_t node, uint8_t character, int32_t& caret,
                                   int32_t mode) {
  const UXNode* n = tree ? tree->at(node) : nullptr;
  if (!n || n->spec == 0) return 0;
  // The spec word is only a field editor when it names a live one: a title
  // pointer or a freed editor is never edited.
  auto* editor = reinterpret_cast<UXFieldEditor*>(uintptr_t(n->spec));
  if (!isLiveFieldEditor(editor)) return 0;
  return editor->edit(character, caret, mode);
}

// ---------------------------------------------------------------------------
// 8. Menus, alerts, events, start-up.

uint64_t UXHeadlessDriver::menuBuild(const UXMenuRecord* menus, int32_t menuCount) {
  auto bar = std::make_unique<MenuBar>();
  for (int32_t i = 0; menus && i < menuCount; ++i) {
    const UXMenuRecord& m = menus[i];
    bar->titles.push_back(cstr(m.title));
    std::vector<std::string> items;
    for (int32_t j = 0; m.items && j < m.itemCount; ++j) items.push_back(cstr(m.items[j]));
    bar->checked.emplace_back(items.size(), 0);
    bar->disabled.emplace_back(items.size(), 0);
    bar->items.push_back(std::move(items));
  }
  menuBars_.push_back(std::move(bar));
  return menuBars_.size();
}

const UXHeadlessDriver::MenuBar* UXHeadlessDriver::menuBar(uint64_t handle) const {
  return handle >= 1 && handle <= menuBars_.size() ? menuBars_[handle - 1].get() : nullptr;
}

void UXHeadlessDriver::menuShow(uint64_t bar, uint8_t on) {
  if (!menuBar(bar)) return;
  for (uint32_t h = 1; h <= kMaxWindows; ++h) {
    Window& w = windows_[h];
    if (!w.live) continue;
    if (on)
      w.menuBar = bar;
    else if (w.menuBar == bar)
      w.menuBar = 0;
  }
}

void UXHeadlessDriver::menuCheck(uint64_t bar, int32_t menu, int32_t item, uint8_t on) {
  if (!menuBar(bar)) return;
  MenuBar& b = *menuBars_[bar - 1];
  if (menu >= 0 && size_t(menu) < b.checked.size() && item >= 0 && size_t(item) < b.checked[size_t(menu)].size())
    b.checked[size_t(menu)][size_t(item)] = on ? 1 : 0;
}

void UXHeadlessDriver::menuEnable(uint64_t bar, int32_t menu, int32_t item, uint8_t on) {
  if (!menuBar(bar)) return;
  MenuBar& b = *menuBars_[bar - 1];
  if (menu >= 0 && size_t(menu) < b.disabled.size() && item >= 0 &&
      size_t(item) < b.disabled[size_t(menu)].size())
    b.disabled[size_t(menu)][size_t(item)] = on ? 0 : 1;
}

int32_t UXHeadlessDriver::alertRun(int32_t style, const char* message, const char* buttons, int32_t) {
  std::string record;
  appendInt(record, style);
  record += '|';
  std::string text = cstr(message);
  if (text.size() > 510) text.resize(510);
  record += text;
  record += '|';
  record += cstr(buttons);
  alerts_.push_back(record);
  int32_t titles = 1;
  for (const char* p = buttons; p && *p; ++p) titles += *p == '|' ? 1 : 0;
  if (!alertAnswers_.empty()) {
    const int32_t answer = alertAnswers_.front();
    alertAnswers_.pop_front();
    return answer;
  }
  // Cancel: the last choice the box offers.
  return titles >= 3 ? 3 : titles;
}

namespace {

// Every field but the type, between an event and its queued copy.
template <class To, class From> void copyEventFields(To& to, const From& from) {
  to.x = from.x;
  to.y = from.y;
  to.key = from.key;
  to.mods = from.mods;
  to.window = from.window;
  to.a = from.a;
  to.b = from.b;
  to.object = from.object;
}

}  // namespace

void UXHeadlessDriver::postEvent(const UXEvent& e) {
  QueuedEvent q{};
  q.type = e.type;
  copyEventFields(q, e);
  queue_.push_back(q);
}

bool UXHeadlessDriver::takeQueued(UXEvent& event) {
  if (queue_.empty()) return false;
  QueuedEvent q = std::move(queue_.front());
  queue_.pop_front();
  event.type = q.type;
  // Only the fields that the type uses are written; the others keep the
  // previous event's values.
  switch (q.type) {
    case kUXEventMouseDown:
    case kUXEventMouseMoved:
    case kUXEventRightMouseDown:
      event.x = q.x;
      event.y = q.y;
      event.window = q.window;
      break;
    case kUXEventKey:
      event.key = q.key;
      event.mods = q.mods;
      break;
    case kUXEventMenuCommand:
      event.a = q.a;
      event.b = q.b;
      break;
    case kUXEventClose:
    case kUXEventResize:
    case kUXEventRelayout:
    case kUXEventRedraw:
      event.window = q.window;
      break;
    case kUXEventWheel:
      event.x = q.x;
      event.y = q.y;
      event.mods = q.mods;  // Shift: sideways
      event.window = q.window;
      event.a = q.a;
      event.b = q.b;
      break;
    default:
      copyEventFields(event, q);
      break;
  }
  return true;
}

void UXHeadlessDriver::idleWait(int32_t timeoutMs) {
  int32_t ms = (timeoutMs <= 0 || timeoutMs > maxWaitMs_) ? maxWaitMs_ : timeoutMs;
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void UXHeadlessDriver::nextEvent(int32_t timeoutMs, UXEvent& event) {
  event.type = 0;
  event.window = 0;
  if (takeQueued(event)) return;
  idleWait(timeoutMs);
  takeQueued(event);
}

bool UXHeadlessDriver::boot(int32_t& w, int32_t& h) {
  booted_ = true;
  w = kDefaultWidth;
  h = kDefaultHeight;
  return true;
}

int32_t UXHeadlessDriver::liveNativeCount() { return int32_t(liveWindowCount() + texts_.size()); }

}  // namespace quorl
