// UXApplication::dispatchEvent: routes the one event of a loop turn.
#include "ux/core/UXDispatch.h"

#include "foundation/Map.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "ux/core/Notification.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXMenu.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"
#include "ux/core/UXWindow.h"

namespace quorl {

UXEventTap gEventTap;
uint8_t gInputReplay = 0;

namespace {

// The listed window a driver event names. Handle 0 names no window: a window
// that was added but never opened also has handle 0, and must not receive a
// click over empty screen or swallow the platform's quit request.
Ref<UXWindow> windowNamed(const UXApplication& app, uint32_t handle) {
  return handle == 0 ? nullptr : app.windowWithHandle(handle);
}

}  // namespace

void UXApplication::dispatchEvent(UXEvent& event) {
  if (gEventTap.isSet()) gEventTap.call(event);

  switch (event.type) {
    case kUXEventMouseDown:
    case kUXEventMouseMoved:
    case kUXEventRightMouseDown: {
      uint32_t handle = event.window;
      if (handle == 0 && gDriver) handle = gDriver->windowAtPoint(event.x, event.y);
      Ref<UXWindow> window = windowNamed(*this, handle);
      if (!window) return;
      if (event.type == kUXEventMouseMoved) {
        window->dispatchMouseMoved(event);
        return;
      }
      // A press makes its window the key window before the window sees it.
      keyWindow = window;
      if (event.type == kUXEventMouseDown) window->dispatchMouse(event);
      else window->dispatchRightMouse(event);
      return;
    }
    case kUXEventWheel:
      if (Ref<UXWindow> window = windowNamed(*this, event.window)) window->dispatchWheel(event);
      return;
    case kUXEventKey:
      if (menuBar && menuBar->performShortcut(event)) return;
      if (Ref<UXWindow> key = keyWindow.lock()) key->dispatchKey(event);
      return;
    case kUXEventMenuCommand:
      if (menuBar) menuBar->handleSelection(event.a, event.b);
      return;
    case kUXEventClose:
      // Window 0, or a window no longer listed, is a quit.
      if (Ref<UXWindow> window = windowNamed(*this, event.window)) closeWindow(window);
      else stop();
      return;
    case kUXEventRelayout:
    case kUXEventRedraw:
      if (Ref<UXWindow> window = windowNamed(*this, event.window)) relayout(window);
      return;
    case kUXEventResize:
      if (Ref<UXWindow> window = windowNamed(*this, event.window)) {
        windowDidResize(window);
        relayout(window);
      }
      return;
    default:
      return;
  }
}

void UXApplication::relayout(const Ref<UXWindow>& window) {
  // The pending marks are dropped: the whole window is repainted.
  if (!gDriver || window->handle == 0) return window->tree->clearDirty();
  window->realize();
  gDriver->windowInvalidate(window->handle);
}

void UXApplication::windowDidResize(const Ref<UXWindow>& window) {
  int32_t width = 0, height = 0;
  if (gDriver && window->handle != 0) gDriver->windowContentGeometry(window->handle, width, height);
  Ref<Map> userInfo = make<Map>();
  userInfo->set("width", Number::withI64(width));
  userInfo->set("height", Number::withI64(height));
  NotificationCenter::shared()->postNotification(
      make<Notification>(String::withCString("UXWindowDidResize"), window, userInfo));
  if (delegate && delegate->implementsWindowDidResize())
    delegate->applicationWindowDidResize(*this, window, width, height);
}

}  // namespace quorl
