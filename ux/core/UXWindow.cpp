// UXWindow.
//
// Sections:
//   1. opening, layout, display and closing
//   2. keyboard focus and keys
//   3. hit testing through scrolled documents and mouse dispatch
//   4. description
#include "ux/core/UXWindow.h"

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXNodeTree.h"
#include "ux/core/UXView.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

int32_t gUXDragDX = 0;
int32_t gUXDragDY = 0;

namespace {
constexpr uint16_t kKeyTab = 9;
constexpr uint16_t kKeyReturn = 13;
// Nested scroll containers followed by one hit test.
constexpr int32_t kMaxScrollPasses = 8;
}  // namespace

// ---------------------------------------------------------------------------
// 1. Opening, layout, display and closing

UXWindow::UXWindow() : tree(make<UXViewTree>()) {}

UXWindow::~UXWindow() { close(); }

void UXWindow::open(const char* title, UXRect frame, const Ref<UXView>& view) {
  if (!gDriver) return;
  contentView = view;
  if (view) {
    view->attachTo(tree, UXRect(0, 0, frame.w(), frame.h()));
    view->nextResponder = self<UXResponder>();
  }
  contentW = frame.w();
  contentH = frame.h();
  handle = gDriver->windowCreate(frame.x(), frame.y(), frame.w(), frame.h());
  tree->windowHandle = handle;
  gDriver->windowSetTitle(handle, title ? title : "");
  gDriver->windowSetContent(handle, ux_window_draw, this);
  gDriver->windowOpen(handle);
  gDriver->structFinalise(tree->driverTree);
  realize();
  gDriver->windowInvalidate(handle);
}

void UXWindow::realize() {
  if (handle == 0 || !gDriver) return;
  tree->clearDirty();
  gDriver->realizeTree(handle, gDriver->structObjects(tree->driverTree));
}

void UXWindow::layoutFor(int32_t x, int32_t y, int32_t w, int32_t h) {
  if (!gDriver) return;
  int32_t rootX = 0, rootY = 0, width = 0, height = 0;
  gDriver->structFrame(tree->driverTree, 0, rootX, rootY, width, height);
  const int32_t sx = gDriver->windowScrollX(handle);
  const int32_t sy = gDriver->windowScrollY(handle);
  if (fitWidth) {
    width = w;
    height = fixedHeight >= 1 ? fixedHeight : h;
  }
  gDriver->structSetFrame(tree->driverTree, 0, x - sx, y - sy, width, height);
  if (!contentView) return;
  // The node keeps 16-bit sizes; compare what it holds.
  const int16_t newW = int16_t(width), newH = int16_t(height);
  if (contentW > 0 && (newW != contentW || newH != contentH))
    UXView::resizeSubviews(contentView, contentW, contentH, newW, newH);
  contentW = newW;
  contentH = newH;
}

void UXWindow::display() {
  // A window that is not open has nothing to repaint and the driver knows no
  // window 0; opening it paints everything anyway.
  if (!tree->dirty || handle == 0 || !gDriver) return;
  damage = tree->dirtyRect;
  tree->clearDirty();
  damageOnly = 1;
  gDriver->realizeTree(handle, gDriver->structObjects(tree->driverTree));
  gDriver->windowInvalidateRect(handle, damage.x(), damage.y(), damage.w(), damage.h());
  damageOnly = 0;
}

void UXWindow::close() {
  if (handle == 0) return;
  if (gDriver) gDriver->windowDestroy(handle);
  handle = 0;
  tree->windowHandle = 0;
}

// ---------------------------------------------------------------------------
// 2. Keyboard focus and keys

bool UXWindow::makeFirstResponder(const Ref<UXResponder>& responder) {
  Ref<UXResponder> current = firstResponder.lock();
  if (current == responder) return true;
  if (current && !current->resignFirstResponder()) return false;
  firstResponder = responder;
  return responder ? responder->becomeFirstResponder() : true;
}

Ref<UXView> UXWindow::viewOfNode(int32_t node) const {
  if (node < 0 || node > 0xFFFF) return nullptr;
  return tree->viewAt(uint16_t(node));
}

void UXWindow::moveFocus(bool forward) {
  if (!gDriver) return;
  const int32_t n = int32_t(gDriver->structLength(tree->driverTree));
  if (n == 0) return;
  int32_t cur = -1;
  if (Ref<UXResponder> focus = firstResponder.lock()) {
    const uint32_t index = tree->views->indexOf(focus);
    if (index != kNotFound && int32_t(index) < n) cur = int32_t(index);
  }
  const int32_t step = forward ? 1 : -1;
  for (int32_t tries = 0; tries < n; tries++) {
    int32_t next = cur + step;
    if (next < 0) next = n - 1;
    if (next >= n) next = 0;
    cur = next;
    Ref<UXView> view = viewOfNode(cur);
    if (view && view->acceptsFirstResponder()) {
      makeFirstResponder(view);
      return;
    }
  }
}

void UXWindow::keyDown(UXEvent& event) {
  if (event.key == kKeyTab) {
    moveFocus((event.mods & kUXModShiftAny) == 0);
    return;
  }
  if (event.key == kKeyReturn) {
    if (Ref<UXView> button = defaultButton.lock()) {
      if (auto* source = dynamic_cast<UXActionSource*>(button.get())) source->actionBlock().send(button);
      return;
    }
  }
  UXResponder::keyDown(event);
}

void UXWindow::dispatchKey(UXEvent& event) {
  if (Ref<UXResponder> focus = firstResponder.lock()) focus->keyDown(event);
  else keyDown(event);
}

// ---------------------------------------------------------------------------
// 3. Hit testing through scrolled documents, mouse dispatch

int32_t UXWindow::hitScrolled(UXEvent& event) {
  if (!gDriver) return -1;
  int32_t hit = gDriver->treeHitTest(tree->driverTree, 0, event.x, event.y);
  int32_t stop = 0;  // node at which the container search ends
  int32_t pass = 0;
  while (hit >= 0 && pass < kMaxScrollPasses) {
    // The outermost scroll container between the hit view and stop.
    // The walk is bounded by the view count so that a superview cycle, which
    // no container should make, cannot hang the dispatch.
    Ref<UXView> container;
    uint32_t steps = tree->views->count() + 1;
    for (Ref<UXView> v = viewOfNode(hit); v && int32_t(v->node) != stop && steps > 0;
         v = v->superview.lock(), steps--)
      if (v->hitScrollDoc() >= 0) container = v;
    if (!container) return hit;
    const int32_t offset = container->hitScrollOffset();
    if (!container->hitScrollContains(event.x, event.y)) return hit;
    const int32_t doc = container->hitScrollDoc();
    if (offset == 0) {
      stop = doc;
      pass++;
      continue;
    }
    int32_t bx = 0, by = 0;
    if (Ref<UXView> docView = viewOfNode(doc)) {
      if (Ref<UXView> docParent = docView->superview.lock()) {
        const UXRect origin = docParent->absoluteFrame();
        bx = origin.x();
        by = origin.y();
      }
    }
    const int32_t newHit =
        gDriver->treeHitTest(tree->driverTree, int16_t(doc), event.x - bx, int32_t(event.y) + offset - by);
    event.y = int16_t(int32_t(event.y) + offset);
    stop = doc;
    if (newHit < 0) return hit;
    hit = newHit;
    pass++;
  }
  return hit;
}

void UXWindow::dispatchMouse(UXEvent& event) {
  const int32_t ox = event.x, oy = event.y;
  const int32_t hit = hitScrolled(event);
  if (hit < 0) return;
  Ref<UXView> view = viewOfNode(hit);
  if (!view) return;
  if (view->acceptsFirstResponder()) makeFirstResponder(view);
  mouseView = view;
  dragDX = event.x - ox;
  dragDY = event.y - oy;
  tree->lastMouseX = event.x;
  tree->lastMouseY = event.y;
  gUXDragDX = dragDX;
  gUXDragDY = dragDY;
  view->mouseDown(event);
  gUXDragDX = 0;
  gUXDragDY = 0;
}

void UXWindow::dispatchWheel(UXEvent& event) {
  if (Ref<UXView> view = viewOfNode(hitScrolled(event))) view->scrollWheel(event);
}

void UXWindow::dispatchRightMouse(UXEvent& event) {
  if (Ref<UXView> view = viewOfNode(hitScrolled(event))) view->rightMouseDown(event);
}

void UXWindow::dispatchMouseMoved(UXEvent& event) {
  if (Ref<UXView> view = viewOfNode(hitScrolled(event))) view->UXResponder::mouseMoved(event);
}

// ---------------------------------------------------------------------------
// 4. Description

Ref<String> UXWindow::description() const {
  const uint16_t values[] = {uint16_t(handle),      fitWidth,
                             uint16_t(dragDX),      uint16_t(dragDY),
                             damageOnly,            uint16_t(fixedHeight),
                             uint16_t(contentW),    uint16_t(contentH)};
  return String::_classDescribe(classNameC(), values, 8, 0xEC);
}

}  // namespace quorl
