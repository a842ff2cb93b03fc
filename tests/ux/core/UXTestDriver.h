// Shared doubles of the toolkit-core tests: a headless driver on a virtual
// clock, probe views that record what reaches them, and a fixture that gives
// every test a fresh driver and clean globals.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Array.h"
#include "ux/core/Notification.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXDispatch.h"
#include "ux/core/UXEvent.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/core/UXView.h"
#include "ux/core/UXViewTree.h"
#include "ux/core/UXWindow.h"

namespace quorl::test {

// Waits advance a virtual clock instead of sleeping; every time-out handed to
// nextEvent is recorded. A loop that runs away is ended by a queued quit.
class TestDriver : public UXHeadlessDriver {
 public:
  static constexpr size_t kRunawayTurns = 10000;

  uint32_t clock = 1000;
  std::vector<int32_t> timeouts;
  bool bootAnswer = true;
  bool ownsRunLoop = false;
  bool offersPopUp = true;
  int runLoopCalls = 0;
  int requestStops = 0;
  int appAttachedCalls = 0;
  std::vector<const UXView*> destroyedGL;
  // menuPopUp: the answer, and what it was shown.
  int32_t popUpChoice = -1;
  std::vector<std::string> popUpTitles;
  std::vector<uint32_t> popUpFlags;

  uint32_t nowMs() override { return clock; }
  void nextEvent(int32_t timeoutMs, UXEvent& event) override {
    timeouts.push_back(timeoutMs);
    if (timeouts.size() == kRunawayTurns) {
      UXEvent quit;
      quit.type = kUXEventClose;
      postEvent(quit);
    }
    UXHeadlessDriver::nextEvent(timeoutMs, event);
  }
  bool boot(int32_t& w, int32_t& h) override { return UXHeadlessDriver::boot(w, h) && bootAnswer; }
  bool driverOwnsRunLoop() override { return ownsRunLoop; }
  void runLoop() override { runLoopCalls++; }
  void requestStop() override { requestStops++; }
  void appAttached(Ptr<UXApplication> application) override { appAttachedCalls++; }
  void destroyGLContext(Ptr<UXView> view) override { destroyedGL.push_back(view.get()); }
  bool hasMenuPopUp() const override { return offersPopUp; }
  int32_t menuPopUp(uint32_t window, const char* const* titles, const uint32_t* flags, int32_t count, int32_t x,
                    int32_t y) override {
    popUpTitles.assign(titles, titles + count);
    popUpFlags.assign(flags, flags + count);
    return popUpChoice;
  }

 protected:
  void idleWait(int32_t timeoutMs) override { clock += uint32_t(timeoutMs > 0 ? timeoutMs : 1); }
};

// Records what reaches it.
class ProbeView : public UXView {
 public:
  bool accepts = false;
  bool refusesResign = false;
  int mouseDowns = 0, rightDowns = 0, wheels = 0, draws = 0;
  std::vector<uint16_t> keys;
  int32_t lastX = 0, lastY = 0;
  int32_t dragDYInMouseDown = 0;
  UXRect lastDrawRect;
  bool marksWhileDrawing = false;

  bool acceptsFirstResponder() override { return accepts; }
  bool resignFirstResponder() override { return !refusesResign; }
  void mouseDown(UXEvent& event) override {
    mouseDowns++;
    lastX = event.x;
    lastY = event.y;
    dragDYInMouseDown = gUXDragDY;
  }
  void rightMouseDown(UXEvent& event) override { rightDowns++; }
  void scrollWheel(UXEvent& event) override { wheels++; }
  void keyDown(UXEvent& event) override { keys.push_back(event.key); }
  void drawRect(UXGraphics& graphics, UXRect rect) override {
    draws++;
    lastDrawRect = rect;
    if (marksWhileDrawing) setNeedsDisplayInRect(absoluteFrame());
  }
  const char* classNameC() const override { return "ProbeView"; }
};

// A scroll container as the window's hit test sees one.
class ScrollProbe : public ProbeView {
 public:
  int32_t doc = -1;
  int32_t offset = 0;
  int32_t hitScrollDoc() override { return doc; }
  int32_t hitScrollOffset() override { return offset; }
};

// Attaches a new view under parent (node and container links).
template <class V = ProbeView>
Ref<V> addView(const Ref<UXViewTree>& tree, const Ref<UXView>& parent, UXRect frame) {
  Ref<V> view = make<V>();
  view->attachTo(tree, frame);
  if (parent) {
    gDriver->structAddChild(tree->driverTree, int16_t(parent->node), int16_t(view->node));
    view->superview = parent;
    parent->subviews->add(view);
  }
  return view;
}

// A delegate whose start status and start action the test chooses.
class TestDelegate : public Object, public UXApplicationDelegate {
 public:
  int32_t status = 0;
  int starts = 0;
  std::function<void(UXApplication&)> onStart;
  bool hasResize = false;
  std::vector<std::pair<int32_t, int32_t>> resizes;
  Ref<UXWindow> resizedWindow;

  int32_t applicationDidStart(UXApplication& application) override {
    starts++;
    if (onStart) onStart(application);
    return status;
  }
  bool implementsWindowDidResize() const override { return hasResize; }
  void applicationWindowDidResize(UXApplication& application, const Ref<UXWindow>& window, int32_t width,
                                  int32_t height) override {
    resizes.emplace_back(width, height);
    resizedWindow = window;
  }
};

inline Ref<UXEvent> makeEvent(uint8_t type, int16_t x = 0, int16_t y = 0, uint32_t window = 0) {
  Ref<UXEvent> event = make<UXEvent>();
  event->type = type;
  event->x = x;
  event->y = y;
  event->window = window;
  return event;
}

inline Ref<UXEvent> keyEvent(uint16_t key, uint16_t mods = 0) {
  Ref<UXEvent> event = make<UXEvent>();
  event->type = kUXEventKey;
  event->key = key;
  event->mods = mods;
  return event;
}

class UXCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    driver = make<TestDriver>();
    gDriver = driver;
    gApp.reset();
    gNeedsDisplay = 0;
    gEventTap = UXEventTap();
    gUXDragDX = gUXDragDY = 0;
    NotificationCenter::shared()->observers->removeAll();
    int32_t w = 0, h = 0;
    driver->boot(w, h);
  }
  void TearDown() override {
    gApp.reset();
    gEventTap = UXEventTap();
    NotificationCenter::shared()->observers->removeAll();
    gDriver.reset();
    gNeedsDisplay = 0;
  }

  // An open window whose content view is a probe covering (0, 0, w, h).
  Ref<UXWindow> openWindow(int32_t w = 400, int32_t h = 300, const char* title = "T") {
    Ref<UXWindow> window = make<UXWindow>();
    content = make<ProbeView>();
    window->open(title, UXRect(10, 10, w, h), content);
    return window;
  }

  Ref<TestDriver> driver;
  Ref<ProbeView> content;
};

}  // namespace quorl::test
