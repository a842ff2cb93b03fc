// A horizontal row of items: push buttons with a line icon or an image and a
// title, fixed spaces, flexible spaces and separators. It lays the items out
// left to right, shares the free width among the flexible spaces, hides what
// does not fit when there is none, and on a click on a button remembers it
// as `clickedIndex` and runs the action. Node kind 14 (a native toolbar on
// Win32: a button per button item, a separator per other item, command id =
// the item's tag).
//
// Sections:
//   1. UXToolbarItem
//   2. UXToolbar
//
// What the Win32 driver reads and calls (kept stable): `items` (each item's
// `itemKind`, `title`, `iconName`, `image`, `tag`), `applyNativeItemClick`,
// then the control's `action`.
#pragma once

#include <cstdint>

#include "ux/controls/UXControl.h"

namespace quorl {

class Array;
class UXImage;

enum : int32_t {
  kUXToolbarButton = 0,
  kUXToolbarSpace = 1,
  kUXToolbarFlexibleSpace = 2,
  kUXToolbarSeparator = 3,
};

// ---------------------------------------------------------------------------
// 1. One item.
class UXToolbarItem : public Object {
 public:
  int32_t itemKind = kUXToolbarButton;
  const char* title = "";     // borrowed NUL-terminated UTF-8
  const char* iconName = "";  // borrowed; a UXIcon name or anything else
  Ref<UXImage> image;         // drawn instead of the line icon when set
  uint32_t tag = 0;           // command id of the native button
  int16_t width = 0;          // asked for; flexible spaces ignore it
  int16_t x = 0;              // set by layout, relative to the toolbar
  int16_t laidWidth = 0;      // set by layout
  uint8_t visible = 0;        // set by layout; 0 when hidden by overflow

  // <UXToolbarItem>(itemKind, tag, width, x, laidWidth, visible); visible
  // unsigned.
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXToolbarItem"; }
};

// ---------------------------------------------------------------------------
// 2. The toolbar.
class UXToolbar : public UXControl {
 public:
  Ref<Array> items;         // UXToolbarItem entries, filled by the builder
  int16_t margin = 8;       // left of the first item and right of the last
  int16_t spacing = 6;      // between neighbouring items
  int16_t iconSize = 16;    // described only: icons are always 16 x 16
  int32_t clickedIndex = -1;  // last clicked button; never reset
  uint32_t hiddenCount = 0;   // items hidden by the last layout

  UXToolbar();

  uint8_t kind() const override { return 14; }
  // Node and peer; no spec word.
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  // Enabled test, hit test against the last layout (no new layout),
  // clickedIndex, redraw, action.
  void mouseDown(UXEvent& event) override;
  // Lays out, then background, separators and buttons.
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  // <UXToolbar>(margin, spacing, iconSize, clickedIndex, hiddenCount).
  Ref<String> description() const override;

  // Places the items in a toolbar w wide. With no flexible space an item
  // that would pass the right margin is hidden and later, narrower ones may
  // still be placed; with one, nothing is hidden.
  void layout(int16_t w);
  // First visible button holding localX in [x, x + laidWidth); kNotFound
  // when none.
  uint32_t itemAtLocalX(int16_t localX) const;
  // A command from the native toolbar: clickedIndex = the first item whose
  // tag is commandId; nothing when none. No redraw, no action (the driver
  // runs the action).
  void applyNativeItemClick(uint32_t commandId);
  // Bytes before the first NUL; 0 for null.
  static uint32_t tbSlen(const char* text);

  const char* classNameC() const override { return "UXToolbar"; }

 private:
  Ref<UXToolbarItem> itemAt(uint32_t i) const;
};

}  // namespace quorl
