// The control base and the two simplest controls.
//
// Sections:
//   1. Block and attach helpers shared by every control
//   2. UXControl: action, title, alignment; the attach pattern and click rule
//   3. UXButton (kind 2), UXLabel (kind 4)
//
// Every control has one shape: fields with initialisers, `kind()`, an
// `attachTo` that follows the attach pattern below, `drawRect` where the
// control draws itself, and its action sent through `sendAction`.
//
// Attach pattern (what `attachTo` of a control does, in order):
//   1. UXView::attachTo: a driver node of the control's kind with the frame,
//      the weak tree link, the view in the tree's list.
//   2. structSetSpec: the node's spec word, where the control has one (a
//      title pointer, or a text field's field editor).
//   3. structSetPeer: the control itself, so the driver can call back.
//   4. Per class: a button's node is selectable, a text field's editable.
// The builder then links the node under its parent (structAddChild).
//
// Enabled state lives only in the driver node: a control asks `isEnabled()`
// (structIsEnabled) before acting on a click. Titles are borrowed: the
// control and the driver keep the pointer, and the caller keeps the bytes
// alive while they are shown.
//
// What the platform drivers read and call (kept stable): `action`, `title`,
// `alignment`, `mouseDown`, `sendAction`, `isEnabled`, `applyNativeClick`.
#pragma once

#include <cstdint>

#include "ux/core/UXView.h"

namespace quorl {

class UXNodeTree;
class UXViewTree;

// ---------------------------------------------------------------------------
// 1. Block and attach helpers.

// Whether a block (or the event tap) counts as set: its function or its
// live target is present. Such a block is still called only when both are
// (Block::call and UXEventTap::call check that), so a block set by its
// target alone consumes what it is set for without running anything.
template <class B> bool uxBlockIsSet(const B& block) {
  return static_cast<bool>(block.function) || !block.target.expired();
}

// Steps 1 and 3 of the attach pattern for any view with a native
// counterpart (controls, scroll and table views): the node, then the view
// as its peer. Answers whether the view is now attached to tree (a full
// driver tree refuses the node, and then nothing else is done).
bool uxAttachPeer(UXView& view, const Ref<UXViewTree>& tree, UXRect frame);
// Steps 1 to 3: the node, its spec word, the peer.
bool uxAttachPeerSpec(UXView& view, const Ref<UXViewTree>& tree, UXRect frame, uint64_t spec);
// Attaches child to parent's tree at frame and links it under parent: the
// driver's node link, superview and next responder, parent's subviews, and
// a redraw of parent. Nothing when parent is not attached or there is no
// driver.
void uxAddChild(UXView& parent, const Ref<UXView>& child, UXRect frame);

// ---------------------------------------------------------------------------
// 2. The control base.
class UXControl : public UXView, public UXActionSource {
 public:
  // Run as function(target, control, block) on an enabled click; also run
  // directly by a window's Return (default button) and by the drivers after
  // a native value change.
  UXAction action;
  // Borrowed NUL-terminated UTF-8, never null; becomes the node's spec word for
  // buttons, labels, check boxes and radio buttons.
  const char* title = "";
  // Native edit alignment: 0 left, 1 right, 2 centre (others: left).
  uint32_t alignment = 0;

  UXControl() = default;

  // The click rule: when the node is enabled, the action runs (if its target
  // is alive); the event is consumed either way and its position not read.
  void mouseDown(UXEvent& event) override;
  // <UXControl>(alignment) for every control that does not override it.
  Ref<String> description() const override;

  // Stores the title (null counts as ""); on an attached button, label,
  // check box or radio button also replaces the node's spec and redraws.
  void setTitle(const char* newTitle);

  // Runs the action with this control as sender; answers whether it ran.
  bool sendAction();
  // The node's enabled flag; false while not attached.
  bool isEnabled() const;
  // Sets the node's enabled flag and redraws when it changes; nothing while
  // not attached.
  void setEnabled(bool enabled);
  // Marks the control's absolute frame dirty (and raises gNeedsDisplay).
  void redraw();
  // The driver tree of the attached control, else null.
  Ref<UXNodeTree> driverTree() const;
  // What a driver does when the user clicks the native control: a
  // mouse-down record (type 1) at the centre of the absolute frame, offered
  // to the event tap when one is set, then `mouseDown` with it.
  void applyNativeClick();

  const UXAction& actionBlock() const override { return action; }
  const char* classNameC() const override { return "UXControl"; }

 protected:
  // Width and height to draw in: the node's frame while attached, else the
  // rectangle handed to drawRect.
  UXRect drawBounds(UXRect rect) const;
};

// ---------------------------------------------------------------------------
// 3. Button and label.

// A push button: native BUTTON on Win32, with the title as its text.
class UXButton : public UXControl {
 public:
  uint8_t kind() const override { return 2; }
  // Title as spec, peer, and the node selectable.
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  const char* classNameC() const override { return "UXButton"; }
};

// A line of text the driver paints at (2, 2) inside the frame; no native
// control.
class UXLabel : public UXControl {
 public:
  uint8_t kind() const override { return 4; }
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  // As setTitle, but replaces the node's spec word and redraws whatever the kind.
  void setText(const char* text);
  const char* classNameC() const override { return "UXLabel"; }
};

}  // namespace quorl
