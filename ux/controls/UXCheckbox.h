// Two-state controls: the check box, the radio button and the group that
// keeps one radio button of a set selected.
//
// Both become native auto check boxes / auto radio buttons on Win32; the
// driver sets the native check mark from `state` / `selected` at every
// realisation, and a native click comes back as `mouseDown`. Elsewhere they
// draw themselves with 21 x 21 theme art and the title to its right.
#pragma once

#include <cstdint>

#include "ux/controls/UXControl.h"

namespace quorl {

class Array;
class UXRadioGroup;

// An independent on/off box.
class UXCheckbox : public UXControl {
 public:
  uint8_t state = 0;  // 1 on, 0 off; owners may set it directly

  uint8_t kind() const override { return 6; }
  // Title as spec, the box as peer.
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  // Enabled: flips state, redraws, then runs the action (which reads the
  // new state).
  void mouseDown(UXEvent& event) override;
  bool acceptsFirstResponder() override { return isEnabled(); }
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  // <UXCheckbox>(state)
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXCheckbox"; }
};

// One choice of a set.
class UXRadioButton : public UXControl {
 public:
  uint8_t selected = 0;       // 0 or 1
  Weak<UXRadioGroup> group;   // a click selects through it while it lives

  uint8_t kind() const override { return 7; }
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  // Enabled: selects (alone, or through the group), then runs the action,
  // also when it was selected already.
  void mouseDown(UXEvent& event) override;
  bool acceptsFirstResponder() override { return isEnabled(); }
  // Theme art where the surface has it, else two rings and a dot.
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  // <UXRadioButton>(selected)
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXRadioButton"; }
};

// The builder fills `buttons` and sets each member's `group`.
class UXRadioGroup : public Object {
 public:
  Ref<Array> buttons;  // owned; members that are not radio buttons are skipped

  UXRadioGroup();

  // Selects chosen and deselects every other member, redrawing all of them;
  // a button that is not a member leaves every member deselected.
  void select(Ptr<UXRadioButton> chosen);

  const char* classNameC() const override { return "UXRadioGroup"; }
};

}  // namespace quorl
