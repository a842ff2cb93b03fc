// UXView and its two special views; sections follow UXView.h.
#include "ux/core/UXView.h"

#include <algorithm>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

UXView::UXView() : subviews(make<Array>()) {}

uint8_t UXView::kind() const { return peerFlag ? 17 : 1; }

void UXView::attachTo(const Ref<UXViewTree>& newTree, UXRect frame) {
  if (!newTree || !gDriver) return;
  int16_t index = gDriver->structAppend(newTree->driverTree, kind(), frame.x(), frame.y(), frame.w(), frame.h());
  if (index < 0) return;  // the driver's tree is full: the view stays detached
  tree = newTree;
  node = uint16_t(index);
  // The list is indexed by node; should anything have appended nodes behind
  // the toolkit's back, their entries stay empty so the indices still agree.
  Ref<Array>& views = newTree->views;
  while (views->count() < node) views->add(nullptr);
  Ref<UXView> me = self<UXView>();
  if (views->count() == node) views->add(me);
  else views->set(node, me);
  if (peerFlag) gDriver->structSetPeer(newTree->driverTree, index, this);
}

Ref<String> UXView::description() const {
  const uint16_t values[] = {node, uint16_t(autoresizeMask), peerFlag};
  return String::_classDescribe(classNameC(), values, 3, 0);
}

void UXView::drawRect(UXGraphics& graphics, UXRect rect) {}

bool UXView::hitScrollContains(int32_t x, int32_t y) {
  return UXGeom::contains(absoluteFrame(), int16_t(x), int16_t(y));
}

int32_t UXView::hitScrollDoc() { return -1; }

int32_t UXView::hitScrollOffset() { return 0; }

namespace {

using FrameReader = void (UXViewDriver::*)(Ptr<UXNodeTree>, int16_t, int32_t&, int32_t&, int32_t&,
                                           int32_t&);

// The view's node frame as the driver reads it; empty while not attached.
UXRect nodeFrame(const UXView& view, FrameReader read) {
  Ref<UXViewTree> t = view.tree.lock();
  if (!t || !gDriver) return UXRect();
  int32_t x = 0, y = 0, w = 0, h = 0;
  ((*gDriver).*read)(t->driverTree, int16_t(view.node), x, y, w, h);
  return UXRect(x, y, w, h);
}

}  // namespace

UXRect UXView::frame() const { return nodeFrame(*this, &UXViewDriver::structFrame); }

UXRect UXView::absoluteFrame() const { return nodeFrame(*this, &UXViewDriver::structAbsFrame); }

void UXView::setNeedsDisplayInRect(UXRect rect) {
  if (Ref<UXViewTree> t = tree.lock()) t->markDirty(rect);
  gNeedsDisplay = 1;
}

void UXView::setAutoresizeMask(uint32_t mask) {
  autoresizeMask = mask;
  Ref<UXViewTree> t = tree.lock();
  if (t && gDriver) gDriver->structSetAutoresize(t->driverTree, int16_t(node), mask);
}

void UXView::removeFromSuperview() {
  Ref<UXView> parent = superview.lock();
  if (!parent) return;
  // The superview's list may hold the last reference to this view.
  Ref<Object> keep = self();
  Ref<UXViewTree> t = tree.lock();
  if (t && gDriver) gDriver->structRemoveChild(t->driverTree, int16_t(parent->node), int16_t(node));
  parent->subviews->remove(this);
  parent->setNeedsDisplayInRect(parent->absoluteFrame());
  superview.reset();
}

void UXView::autoresizeAxis(uint32_t mask, uint32_t low, uint32_t high, uint32_t flex, int32_t pos,
                            int32_t size, int32_t delta, int32_t& newPos, int32_t& newSize) {
  const bool move = (mask & high) && !(mask & low);
  const bool grow = (mask & flex) || ((mask & low) && (mask & high));
  newPos = pos;
  newSize = size;
  if (move && grow) {
    // The change is split in proportion pos : size. 64-bit product: the
    // quotient is what a wide-enough 32-bit product would give.
    const int64_t extent = std::max<int64_t>(int64_t(pos) + size, 1);
    const int32_t share = int32_t(int64_t(delta) * pos / extent);
    newPos = pos + share;
    newSize = size + delta - share;
  } else if (move) {
    newPos = pos + delta;
  } else if (grow) {
    newSize = size + delta;
  }
  if (newSize < 0) newSize = 0;
}

void UXView::resizeSubviews(Ptr<UXView> view, int32_t oldW, int32_t oldH, int32_t newW, int32_t newH) {
  if (!view) return;
  const bool driverLays = gDriver && gDriver->driverAutoresizes();
  const int32_t dw = newW - oldW, dh = newH - oldH;
  for (uint32_t i = 0; i < view->subviews->count(); i++) {
    Ref<UXView> child = cast<UXView>(view->subviews->get(i));
    if (!child) continue;
    const UXRect f = child->frame();
    const uint32_t mask = child->autoresizeMask;
    int32_t x = 0, w = 0, y = 0, h = 0;
    autoresizeAxis(mask, kUXAutoresizeLeft, kUXAutoresizeRight, kUXAutoresizeWidth, f.x(), f.w(), dw, x, w);
    autoresizeAxis(mask, kUXAutoresizeTop, kUXAutoresizeBottom, kUXAutoresizeHeight, f.y(), f.h(), dh, y, h);
    const uint8_t k = child->kind();
    Ref<UXViewTree> t = child->tree.lock();
    if (t && gDriver && (!driverLays || k == 1 || k == 16 || k == 17)) {
      gDriver->structSetFrame(t->driverTree, int16_t(child->node), x, y, w, h);
      child->setNeedsDisplayInRect(child->absoluteFrame());
    }
    resizeSubviews(child, f.w(), f.h(), w, h);
    if (w != f.w() || h != f.h()) child->didAutoresize();
  }
}

UXGLView::~UXGLView() { destroyGL(); }

void UXGLView::attachTo(const Ref<UXViewTree>& newTree, UXRect frame) {
  UXView::attachTo(newTree, frame);
  if (isAttached() && gDriver) gDriver->structSetPeer(newTree->driverTree, int16_t(node), this);
}

void UXGLView::destroyGL() {
  if (glContext == 0) return;
  if (gDriver) gDriver->destroyGLContext(this);
  glContext = 0;
}

void UXGLView::removeFromSuperview() {
  destroyGL();
  UXView::removeFromSuperview();
}

}  // namespace quorl
