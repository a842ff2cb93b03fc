// Shared by the Wine tests of the Win32 driver: a fixture that installs a
// booted UXWin32Driver as gDriver and leaves no window, menu or queued
// message behind, one that realises a toolkit window's views into real
// controls, and helpers to wait for events without hanging.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include "ux/core/UXApplication.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXView.h"
#include "ux/core/UXViewTree.h"
#include "ux/core/UXWindow.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Text.h"

namespace quorl::test {

// Takes every queued message; the quit message is dropped, the rest handled.
inline void drainQueue() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

inline bool quitQueued() {
  MSG msg;
  return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != 0;
}

class Win32DriverTest : public ::testing::Test {
 protected:
  Ref<UXWin32Driver> d = make<UXWin32Driver>();
  Ref<UXViewDriver> saved;
  UXEvent event;

  void SetUp() override {
    saved = gDriver;
    gDriver = d;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(d->boot(w, h));
    drainQueue();
  }
  void TearDown() override {
    d->menuShow(0, 0);
    for (uint32_t h = 1; h < kW32TableSize; ++h)
      if (gW32Hwnds[h]) d->windowDestroy(h);
    drainQueue();
    gDriver = saved;
  }

  // A shown window of client size w x h at (x, y).
  uint32_t openWindow(int32_t w = 320, int32_t h = 200, int32_t x = 40, int32_t y = 40) {
    uint32_t handle = d->windowCreate(x, y, w, h);
    d->windowOpen(handle);
    d->windowOrderFront(handle);
    return handle;
  }
  HWND hwndOf(uint32_t handle) const { return gW32Hwnds[handle]; }

  // Turns the loop with timed waits until an event of the type arrives;
  // false when none came within the seconds given. Input that goes through
  // the display takes its time on a loaded machine; a passing test waits
  // only as long as the event takes, so the budget is far above it.
  bool waitFor(uint8_t type, int seconds = 40) {
    const ULONGLONG end = GetTickCount64() + ULONGLONG(seconds) * 1000;
    while (GetTickCount64() < end) {
      d->nextEvent(50, event);
      if (event.type == type) return true;
    }
    return false;
  }
};

// A toolkit window whose views are realised as the toolkit realises them:
// a view's control is the child of id node + 1000.
class Win32WindowTest : public Win32DriverTest {
 protected:
  Ref<UXWindow> window;
  Ref<UXView> content;

  // A new window of that title and frame, with a new content view.
  void openToolkitWindow(const char* title, UXRect frame) {
    window = make<UXWindow>();
    content = make<UXView>();
    window->open(title, frame, content);
  }
  void TearDown() override {
    if (window) window->close();
    window.reset();
    Win32DriverTest::TearDown();
  }

  template <class V> Ref<V> add(const Ref<V>& view, UXRect frame, const Ref<UXView>& parent = nullptr) {
    view->attachTo(window->tree, frame);
    d->structAddChild(window->tree->driverTree, int16_t(parent ? parent->node : content->node), int16_t(view->node));
    return view;
  }
  void realize() { d->realizeTree(window->handle, window->tree->driverTree.get()); }
  HWND top() const { return hwndOf(window->handle); }
  HWND controlOf(const Ref<UXView>& view) const { return GetDlgItem(top(), int(view->node) + 1000); }
};

}  // namespace quorl::test
