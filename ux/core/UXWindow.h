// Top-level windows.
//
// A window owns its view tree and content view, opens the native window
// through the driver, lays the content out whenever the driver paints it,
// redraws what was marked dirty, and is the first stop of the input that the
// application routes to it: it finds the view under the pointer (through
// scrolled containers), moves keyboard focus in node order and turns Return
// into a click of its default button.
#pragma once

#include <cstdint>

#include "ux/core/UXGeometry.h"
#include "ux/core/UXResponder.h"

namespace quorl {

class UXApplication;
class UXEvent;
class UXView;
class UXViewTree;

// While a mouse-down is delivered: the shift between window and document
// coordinates, which the driver adds to the positions of a modal drag.
extern int32_t gUXDragDX;
extern int32_t gUXDragDY;

class UXWindow : public UXResponder {
 public:
  uint32_t handle = 0;  // 0 while not open
  Ref<UXViewTree> tree;
  Ref<UXView> contentView;  // node 0
  Weak<UXResponder> firstResponder;
  Weak<UXView> defaultButton;  // a UXActionSource; its action runs on Return
  uint8_t fitWidth = 1;        // content view follows the client size
  Ref<UXView> mouseView;       // took the last mouse-down
  int32_t dragDX = 0, dragDY = 0;
  UXRect damage;
  uint8_t damageOnly = 0;
  int16_t fixedHeight = 0;  // > 0 with fitWidth: content height instead of the client's
  int16_t contentW = 0, contentH = 0;
  Weak<UXApplication> application;  // set by UXApplication::addWindow

  UXWindow();
  // Releasing a window closes it.
  ~UXWindow() override;

  // Attaches view as node 0 at (0, 0, frame.w, frame.h), creates, titles and
  // shows the native window and paints it at once.
  void open(const char* title, UXRect frame, const Ref<UXView>& view);
  // Called by the content draw with the whole client area.
  void layoutFor(int32_t x, int32_t y, int32_t w, int32_t h);
  // Repaints the dirty rectangle, drawing only the views that intersect it.
  void display();
  // Creates the native controls of the nodes added since the tree was last
  // realised, and clears its dirty rectangle: the caller repaints it all.
  void realize();
  void close();

  bool makeFirstResponder(const Ref<UXResponder>& responder);
  void moveFocus(bool forward);
  void keyDown(UXEvent& event) override;

  void dispatchKey(UXEvent& event);
  // The node under the event's point, following scrolled documents; shifts
  // the event's y into the innermost document. -1 for none.
  int32_t hitScrolled(UXEvent& event);
  void dispatchMouse(UXEvent& event);
  void dispatchWheel(UXEvent& event);
  void dispatchRightMouse(UXEvent& event);
  void dispatchMouseMoved(UXEvent& event);

  Ref<String> description() const override;
  const char* classNameC() const override { return "UXWindow"; }

 private:
  Ref<UXView> viewOfNode(int32_t node) const;
};

}  // namespace quorl
