// The pop-up button: one chosen entry of a list of titled, tagged items.
//
// On Win32 the node (kind 10) becomes a native drop-down list that the
// driver fills from `itemCount`/`itemTitle` and `selectedIndex` when it
// creates it; a pick there comes back as `selectItem` followed by
// `sendAction`. Elsewhere the control draws itself and asks the driver for
// a pop-up menu (`runPopupMenu`) on a click.
#pragma once

#include <cstdint>

#include "ux/controls/UXControl.h"

namespace quorl {

class Array;

// One entry: a borrowed title and an integer of the caller's choosing.
class UXPopUpItem : public Object {
 public:
  const char* title = "";  // borrowed NUL-terminated UTF-8, never null
  int32_t tag = 0;

  // <UXPopUpItem>(tag)
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXPopUpItem"; }
};

class UXPopUpButton : public UXControl {
 public:
  Ref<Array> items;            // UXPopUpItem, in menu order
  int32_t selectedIndex = -1;  // -1: nothing selected

  UXPopUpButton();

  uint8_t kind() const override { return 10; }
  // The node and the control as its peer; no spec (the title is not shown).
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  // Enabled: the driver's pop-up menu at the lower left corner; a choice
  // among the items selects it, redraws and runs the action.
  void mouseDown(UXEvent& event) override;
  // Theme part "popup" over the control, the selected title at (8, (h-12)/2).
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  // <UXPopUpButton>(selectedIndex)
  Ref<String> description() const override;

  // Appends an item; the first one added becomes selected. No redraw, no
  // action.
  void addItem(const char* title, int32_t tag);
  // Selects i when it is an item's index; otherwise nothing. No redraw, no
  // action.
  void selectItem(int32_t i);
  // The selected item's title, "" when nothing is selected.
  const char* selectedTitle() const;
  uint32_t itemCount() const;
  // Item i's title, "" outside the items.
  const char* itemTitle(uint32_t i) const;
  // Item i's tag, 0 outside the items.
  int32_t itemTag(uint32_t i) const;
  // What a driver does when the user picks an entry of the native list:
  // selectItem(index), then the action with this control as sender.
  void applyNativePick(int32_t index);

  const char* classNameC() const override { return "UXPopUpButton"; }
};

}  // namespace quorl
