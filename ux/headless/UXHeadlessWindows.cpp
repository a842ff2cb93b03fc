// Boot and the window table: creating, showing and destroying windows, their
// captions, sizes and scroll offsets, and the synchronous paint that
// invalidation runs (UXWin32Windows.cpp on Win32).
#include <algorithm>
#include <string>

#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {

using namespace headless;

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

void UXHeadlessDriver::windowPaintAll(uint32_t window) {
  // Every view is drawn through the content draw (a subclass's log sees
  // this call alone).
  UXHeadlessDriver::windowInvalidate(window);
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

bool UXHeadlessDriver::boot(int32_t& w, int32_t& h) {
  booted_ = true;
  w = kDefaultWidth;
  h = kDefaultHeight;
  return true;
}

}  // namespace quorl
