// UXControl, UXButton, UXLabel; sections follow UXControl.h.
#include "ux/controls/UXControl.h"

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXDispatch.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXNodeTree.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

namespace {

// Kinds whose spec word is their title: button, label, check box, radio.
bool specIsTitle(uint8_t kind) { return kind == 2 || kind == 4 || kind == 6 || kind == 7; }

// Step 1, and step 2 when spec is given.
bool attachNode(UXView& view, const Ref<UXViewTree>& tree, UXRect frame, const uint64_t* spec) {
  // The base attach is called non-virtually: the caller is the class's own
  // attachTo.
  view.UXView::attachTo(tree, frame);
  // UXView::attachTo leaves the view detached when the driver's tree is full.
  if (!tree || !gDriver || view.tree.lock() != tree) return false;
  if (spec) gDriver->structSetSpec(tree->driverTree, int16_t(view.node), *spec);
  gDriver->structSetPeer(tree->driverTree, int16_t(view.node), &view);
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// 1. Attach helpers.

bool uxAttachPeer(UXView& view, const Ref<UXViewTree>& tree, UXRect frame) {
  return attachNode(view, tree, frame, nullptr);
}

bool uxAttachPeerSpec(UXView& view, const Ref<UXViewTree>& tree, UXRect frame, uint64_t spec) {
  return attachNode(view, tree, frame, &spec);
}

void uxAddChild(UXView& parent, const Ref<UXView>& child, UXRect frame) {
  Ref<UXViewTree> t = parent.tree.lock();
  if (!t || !gDriver) return;
  child->attachTo(t, frame);
  gDriver->structAddChild(t->driverTree, int16_t(parent.node), int16_t(child->node));
  Ref<UXView> p = parent.self<UXView>();
  child->superview = p;
  child->nextResponder = p;
  parent.subviews->add(child);
  parent.setNeedsDisplayInRect(parent.absoluteFrame());
}

// ---------------------------------------------------------------------------
// 2. The control base.

void UXControl::mouseDown(UXEvent&) {
  if (isEnabled()) sendAction();
}

Ref<String> UXControl::description() const {
  const uint16_t values[] = {uint16_t(alignment)};
  return String::_classDescribe("UXControl", values, 1, 0x1);
}

void UXControl::setTitle(const char* newTitle) {
  title = newTitle ? newTitle : "";
  Ref<UXViewTree> t = tree.lock();
  if (!t || !gDriver || !specIsTitle(kind())) return;
  gDriver->structSetSpec(t->driverTree, int16_t(node), uxSpecOfText(title));
  redraw();
}

bool UXControl::sendAction() { return action.send(self<UXView>()); }

bool UXControl::isEnabled() const {
  Ref<UXViewTree> t = tree.lock();
  return t && gDriver && gDriver->structIsEnabled(t->driverTree, int16_t(node)) != 0;
}

void UXControl::setEnabled(bool enabled) {
  Ref<UXViewTree> t = tree.lock();
  if (!t || !gDriver) return;
  const uint16_t flag = enabled ? 1 : 0;
  if ((gDriver->structIsEnabled(t->driverTree, int16_t(node)) != 0) == enabled) return;
  gDriver->structSetEnabled(t->driverTree, int16_t(node), flag);
  redraw();
}

void UXControl::redraw() { setNeedsDisplayInRect(absoluteFrame()); }

Ref<UXNodeTree> UXControl::driverTree() const {
  Ref<UXViewTree> t = tree.lock();
  return t ? t->driverTree : nullptr;
}

UXRect UXControl::drawBounds(UXRect rect) const {
  if (!isAttached()) return UXRect(0, 0, rect.w(), rect.h());
  const UXRect f = frame();
  return UXRect(0, 0, f.w(), f.h());
}

void UXControl::applyNativeClick() {
  Ref<UXViewTree> t = tree.lock();
  if (!t) return;
  // The tap or the action may drop the last outside reference to this control.
  Ref<Object> keep = self();
  const UXRect f = absoluteFrame();
  Ref<UXEvent> click = make<UXEvent>();
  click->type = kUXEventMouseDown;
  click->x = int16_t(int32_t(f.x()) + f.w() / 2);
  click->y = int16_t(int32_t(f.y()) + f.h() / 2);
  click->window = t->windowHandle;
  if (gEventTap.isSet()) gEventTap.call(*click);
  mouseDown(*click);
}

// ---------------------------------------------------------------------------
// 3. Button and label.

void UXButton::attachTo(const Ref<UXViewTree>& newTree, UXRect frame) {
  if (uxAttachPeerSpec(*this, newTree, frame, uxSpecOfText(title))) newTree->setSelectableOf(node, 1);
}

void UXLabel::attachTo(const Ref<UXViewTree>& newTree, UXRect frame) {
  uxAttachPeerSpec(*this, newTree, frame, uxSpecOfText(title));
}

void UXLabel::setText(const char* text) {
  title = text ? text : "";
  Ref<UXViewTree> t = tree.lock();
  if (!t || !gDriver) return;
  gDriver->structSetSpec(t->driverTree, int16_t(node), uxSpecOfText(title));
  redraw();
}

}  // namespace quorl
