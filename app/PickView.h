// The two drawn views of the main window's left column.
//
// PickView is the application's choice field: a white rounded box with the
// current choice and a down-pointing triangle; a click pops up a menu of the
// none-label and the choices, and a pick goes to the owner as (tag,
// selection or null). PaneView is a titled, rounded group frame. Neither has
// a native control: the driver paints them as drawn nodes.
#pragma once

#include <cstdint>

#include "ux/core/UXView.h"

namespace quorl {

class Array;
class Controller;
class String;
class UXMenuItem;

class PickView : public UXView {
 public:
  // Weak: the controller holds its pickers, and a strong link back would
  // keep both alive for ever.
  Weak<Controller> owner;
  uint32_t tag = 0;
  Ref<String> selection;  // null: nothing chosen, the none-label shows
  Ref<String> noneLabel;  // "Any"
  Ref<Array> choices;     // String, after the none-label
  uint32_t windowHandle = 0;  // 0 disables the menu

  PickView();
  ~PickView() override;

  // Writing either repaints the picker; new choices clear the selection.
  void setChoices(Ref<Array> list);
  void setSelection(Ref<String> value);
  // The text shown: the selection, else the none-label.
  const Ref<String>& shownText() const;

  void mouseDown(UXEvent& event) override;
  void openMenu();
  void onPick(const Ref<UXMenuItem>& item);
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  // <PickView>(tag, window handle)
  Ref<String> description() const override;
  const char* classNameC() const override { return "PickView"; }

  void repaint();
};

class PaneView : public UXView {
 public:
  const char* title = "";  // borrowed: builders pass literals

  void drawRect(UXGraphics& graphics, UXRect rect) override;
  const char* classNameC() const override { return "PaneView"; }
};

}  // namespace quorl
