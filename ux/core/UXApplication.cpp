// UXApplication: driver installation, the window list, the main loop and the
// redraw pass. Event routing lives in UXDispatch.cpp.
//
// Sections:
//   1. globals and set-up
//   2. windows: adding, stopping, closing, the close queue
//   3. the main loop
//   4. redraw, lookup, drop and hover delivery, description
//   5. busy steps
#include "ux/core/UXApplication.h"

#include "foundation/Array.h"
#include "foundation/Platform.h"
#include "foundation/String.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXMenu.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"
#include "ux/core/UXWindow.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Globals and set-up

Ref<UXViewDriver> gDriver;
Ref<UXApplication> gApp;
uint8_t gNeedsDisplay = 0;

UXApplication::UXApplication() : windows(make<Array>()), pendingCloses(make<Array>()) {
  if (!gDriver) setDriver(uxMakePlatformDriver());
}

void UXApplication::setDriver(Ref<UXViewDriver> driver) {
  gDriver = std::move(driver);
  if (gDriver) gDriver->appAttached(this);
}

void UXApplication::setHeadless(uint8_t flag) {
  if (gDriver) gDriver->setHeadless(flag);
}

bool UXApplication::boot() {
  if (!gDriver) return false;
  return gDriver->boot(defaultWidth, defaultHeight);
}

// ---------------------------------------------------------------------------
// 2. Windows: adding, stopping, closing, the close queue

void UXApplication::addWindow(const Ref<UXWindow>& window) {
  if (!window) return;
  windows->add(window);
  window->application = self<UXApplication>();
  if (keyWindow.expired()) keyWindow = window;
}

void UXApplication::stop() {
  running = 0;
  if (gDriver) gDriver->requestStop();
}

void UXApplication::closeWindow(const Ref<UXWindow>& window) {
  if (!window) return;
  Ref<UXWindow> keep = window;  // the list may hold the last reference
  // The entry is the window itself: matching by driver handle alone would
  // take another window that is not open (handle 0) in its place.
  const uint32_t index = windows->indexOf(keep);
  if (index != kNotFound) windows->removeAt(index);
  if (keyWindow.lock() == keep) {
    if (windows->isEmpty()) keyWindow.reset();
    else keyWindow = cast<UXWindow>(windows->get(0));
  }
  keep->close();
  if (windows->isEmpty()) stop();
}

void UXApplication::drainPendingCloses() {
  while (!pendingCloses->isEmpty()) {
    Ref<UXWindow> window = cast<UXWindow>(pendingCloses->get(0));
    pendingCloses->removeAt(0);
    if (window && window->handle != 0) closeWindow(window);
  }
}

// ---------------------------------------------------------------------------
// 3. The main loop

namespace {

// The UX_AUTOQUIT deadline in milliseconds, read as UXStr::toInt reads a
// number (blanks, one sign, decimal digits), but without wrapping: a number
// past the longest wait the loop's 32-bit clock can count is that longest
// wait, never the short one it would wrap to. 0 (no deadline) for anything
// that is not a positive number.
int32_t autoQuitMs(const char* s) {
  while (*s == ' ' || *s == '\t') ++s;
  bool negative = false;
  if (*s == '-' || *s == '+') negative = *s++ == '-';
  constexpr uint64_t kLongest = INT32_MAX;
  uint64_t value = 0;
  for (; *s >= '0' && *s <= '9'; ++s)
    if (value <= kLongest) value = value * 10 + uint64_t(*s - '0');
  if (negative) return 0;
  return int32_t(value < kLongest ? value : kLongest);
}

}  // namespace

int32_t UXApplication::run() {
  if (!boot()) return 1;
  if (!delegate) return 2;
  gApp = self<UXApplication>();
  running = 1;
  if (gDriver->driverOwnsRunLoop()) {
    gDriver->runLoop();
    return 0;
  }
  const int32_t status = delegate->applicationDidStart(*this);
  if (status != 0) return status;

  const int32_t ms = autoQuitMs(Platform::env(String::withCString("UX_AUTOQUIT"))->cString());
  // A deadline may compute to any value, 0 included: its presence is a flag
  // of its own.
  bool hasDeadline = false;
  uint32_t deadline = 0;
  if (gDriver && ms > 0 && !gDriver->stopAfterMs(ms)) {
    deadline = gDriver->nowMs() + uint32_t(ms);
    hasDeadline = true;
  }

  Ref<UXEvent> event = make<UXEvent>();
  while (running) {
    // The delegate or a handler may have removed the driver.
    if (!gDriver) {
      stop();
      break;
    }
    const bool ticking = tick && !tickPaused;
    int32_t timeout = ticking ? tickInterval : 0;
    if (hasDeadline) {
      const int32_t remaining = int32_t(deadline - gDriver->nowMs());
      if (remaining < 1) {
        stop();
        break;
      }
      if (timeout < 1 || timeout >= remaining) timeout = remaining;
    }
    gDriver->nextEvent(timeout, *event);
    dispatchEvent(*event);
    if (gNeedsDisplay) displayIfNeeded();
    drainPendingCloses();
    if (tick && !tickPaused) tick();
  }
  return 0;
}

// ---------------------------------------------------------------------------
// 4. Redraw, lookup, drop and hover delivery, description

void UXApplication::displayIfNeeded() {
  if (!gNeedsDisplay) return;
  // Cleared first: a view that marks itself while drawing is drawn next turn.
  gNeedsDisplay = 0;
  for (uint32_t i = 0; i < windows->count(); i++) {
    if (Ref<UXWindow> window = cast<UXWindow>(windows->get(i))) window->display();
  }
}

Ref<UXWindow> UXApplication::windowWithHandle(uint32_t handle) const {
  for (uint32_t i = 0; i < windows->count(); i++) {
    Ref<UXWindow> window = cast<UXWindow>(windows->get(i));
    if (window && window->handle == handle) return window;
  }
  return nullptr;
}

void UXApplication::deliverFileDrop(const char* path, uint32_t windowHandle, int32_t x, int32_t y) {
  onFileDrop.call(path, int32_t(windowHandle), x, y);
  displayIfNeeded();
}

void UXApplication::deliverItemHover(const char* text, uint32_t windowHandle, int32_t x, int32_t y) {
  onItemHover.call(text, int32_t(windowHandle), x, y);
  displayIfNeeded();
}

void UXApplication::deliverItemDrop(const char* text, uint32_t windowHandle, int32_t x, int32_t y) {
  onItemDrop.call(text, int32_t(windowHandle), x, y);
  displayIfNeeded();
}

Ref<String> UXApplication::description() const {
  const uint16_t values[] = {running, uint16_t(defaultWidth), uint16_t(defaultHeight), uint16_t(tickInterval),
                             tickPaused};
  return String::_classDescribe(classNameC(), values, 5, 0x0E);
}

// ---------------------------------------------------------------------------
// 5. Busy steps

UXBusyStep::UXBusyStep(Ptr<UXWindow> window) : driver_(gDriver) {
  if (!driver_) return;
  if (window && window->handle != 0) {
    window->realize();
    driver_->windowPaintAll(window->handle);
  }
  driver_->setBusy(1);
}

UXBusyStep::~UXBusyStep() {
  if (driver_) driver_->setBusy(0);
}

}  // namespace quorl
