// The application object and the main loop.
//
// Sections:
//   1. Globals
//   2. UXApplicationDelegate
//   3. UXApplication
//   4. UXBusyStep
//
// One application exists per program. It installs the platform driver, owns
// the windows and the menu bar, and runs the main loop: wait for an event,
// dispatch it (UXDispatch.cpp), redraw what became dirty, close the windows
// queued for closing, tick; until stopped, until its last window closes, or
// until the UX_AUTOQUIT deadline passes.
#pragma once

#include <cstdint>
#include <functional>

#include "foundation/Object.h"
#include "ux/core/UXResponder.h"

namespace quorl {

class Array;
class UXApplication;
class UXEvent;
class UXMenuBar;
class UXViewDriver;
class UXWindow;

// ---------------------------------------------------------------------------
// 1. Globals. gDriver is defined before gApp so that the application (and its
//    windows) are released while the driver still exists.
extern Ref<UXViewDriver> gDriver;   // the installed driver
extern Ref<UXApplication> gApp;     // the running application, set by run
extern uint8_t gNeedsDisplay;       // some view needs redrawing

// ---------------------------------------------------------------------------
// 2. The delegate builds the user interface once the driver is up.
class UXApplicationDelegate {
 public:
  virtual ~UXApplicationDelegate() = default;
  // 0 enters the main loop; any other value ends run with that status.
  virtual int32_t applicationDidStart(UXApplication& application) = 0;
  // Optional: a delegate that implements the resize callback answers true.
  virtual bool implementsWindowDidResize() const { return false; }
  virtual void applicationWindowDidResize(UXApplication& application, const Ref<UXWindow>& window,
                                          int32_t width, int32_t height) {}
};

// ---------------------------------------------------------------------------
// 3. The application.

// Drop and hover handlers: (text, window handle, x, y).
using UXDropBlock = Block<const char*, int32_t, int32_t, int32_t>;

class UXApplication : public UXResponder {
 public:
  Ref<UXApplicationDelegate> delegate;
  Ref<Array> windows;  // UXWindow, in the order added
  Weak<UXWindow> keyWindow;
  Ref<UXMenuBar> menuBar;
  UXDropBlock onFileDrop;
  UXDropBlock onItemDrop;
  UXDropBlock onItemHover;
  uint8_t running = 0;
  int32_t defaultWidth = 0;
  int32_t defaultHeight = 0;
  Ref<Array> pendingCloses;  // UXWindow, closed after the current event
  std::function<void()> tick;  // called once per turn unless paused
  int32_t tickInterval = 0;    // ms; bounds the wait while tick runs
  uint8_t tickPaused = 0;

  // Installs the platform driver when none is installed.
  UXApplication();

  void setDriver(Ref<UXViewDriver> driver);
  void setHeadless(uint8_t flag);
  bool boot();
  void addWindow(const Ref<UXWindow>& window);
  void stop();
  void closeWindow(const Ref<UXWindow>& window);
  void drainPendingCloses();
  // Exit status: 0 normal end, 1 boot failed or no driver, 2 no delegate,
  // else the delegate's non-zero start status.
  int32_t run();
  void displayIfNeeded();
  Ref<UXWindow> windowWithHandle(uint32_t handle) const;
  void deliverFileDrop(const char* path, uint32_t windowHandle, int32_t x, int32_t y);
  void deliverItemHover(const char* text, uint32_t windowHandle, int32_t x, int32_t y);
  void deliverItemDrop(const char* text, uint32_t windowHandle, int32_t x, int32_t y);
  // Routes one event (UXDispatch.cpp).
  void dispatchEvent(UXEvent& event);

  Ref<String> description() const override;
  const char* classNameC() const override { return "UXApplication"; }

 private:
  // Dispatch helpers (UXDispatch.cpp).
  void relayout(const Ref<UXWindow>& window);
  void windowDidResize(const Ref<UXWindow>& window);
};

// ---------------------------------------------------------------------------
// 4. A step that holds the UI thread (reading a file, a network request)
//    handles no event until it ends. Made just before such a step, this
//    paints the window and every control in it at once, so that nothing
//    stale or blank (where a dialog just closed, an unpainted list) stays up
//    meanwhile, and shows the busy cursor until it is destroyed.
class UXBusyStep {
 public:
  explicit UXBusyStep(Ptr<UXWindow> window);
  ~UXBusyStep();
  UXBusyStep(const UXBusyStep&) = delete;
  UXBusyStep& operator=(const UXBusyStep&) = delete;

 private:
  Ref<UXViewDriver> driver_;  // told busy, and told again at the end
};

}  // namespace quorl
