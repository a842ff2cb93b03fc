// Menus and keyboard shortcuts.
//
// Sections:
//   1. UXMenuKey: reading the shortcut written after a TAB in a title
//   2. UXMenuItem / UXMenu: plain model objects
//   3. UXMenuBar: hand-off to the driver, menu commands, Ctrl shortcuts
//
// A menu bar reaches the driver as one encoded byte string per item (see
// UXMenuItem::encoded); a pop-up menu as plain titles plus one flag word per
// item.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/Object.h"

namespace quorl {

class Array;
class UXEvent;
class UXMenuItem;

// ---------------------------------------------------------------------------
// 1. A title may end in TAB and a key ("Open\tO"), or TAB, "+" and a key for
//    Ctrl+Shift ("Save As\t+S"). Only the first TAB counts.
class UXMenuKey {
 public:
  UXMenuKey() = delete;

  // Longest piece `append` copies.
  static constexpr uint32_t kPieceLimit = 12;

  static int32_t tabAt(const char* title);  // -1 without a TAB
  static uint8_t key(const char* title);    // 0 without a TAB
  static bool shift(const char* title);
  // Copies at most kPieceLimit bytes of piece (up to its NUL) to buffer at
  // position; answers the new position. The caller provides the room.
  static uint32_t append(char* buffer, uint32_t position, const char* piece);
  // The label a driver shows: the title unchanged without a TAB; else the text
  // before the TAB, the tab piece, the shift piece for "+", the ctrl piece and
  // the key. Each piece contributes at most kPieceLimit bytes.
  static std::string labelled(const char* title, const char* tabPiece, const char* ctrlPiece,
                              const char* shiftPiece);
};

// ---------------------------------------------------------------------------
// 2. Model objects.

// Run with (target, item) when the item is chosen.
using UXMenuAction = Block<const Ref<UXMenuItem>&>;

class UXMenuItem : public Object {
 public:
  // Marker bytes that open an encoded item string.
  static constexpr char kMarkChecked = 0x01;
  static constexpr char kMarkDisabled = 0x02;

  // Every field starts zero: a separator made by hand sets what it needs.
  std::string title;
  std::string subtitle;  // kept, never shown
  uint8_t separator = 0;
  uint8_t enabled = 0;
  uint8_t checked = 0;
  uint8_t key = 0;  // upper-case letter for letters; 0 = no shortcut
  uint8_t shift = 0;
  UXMenuAction action;

  // The string the driver's menuBuild reads: "-" for a separator; the title
  // alone for a plain enabled item; else an optional marker (0x01 checked,
  // 0x02 disabled and unchecked), the title, and TAB ["+"] key when key != 0.
  std::string encoded() const;

  Ref<String> description() const override;
  const char* classNameC() const override { return "UXMenuItem"; }
};

class UXMenu : public Object {
 public:
  std::string title;
  Ref<Array> items;  // UXMenuItem, display order

  UXMenu();
  explicit UXMenu(std::string title);

  // A new enabled, unchecked item with the title and action, appended.
  Ref<UXMenuItem> addItem(const char* title, UXMenuAction action);
  // Shows the menu at (x, y) of the window; runs the chosen item's action.
  // True when an enabled item was chosen.
  bool popUp(uint32_t windowHandle, int32_t x, int32_t y);

  const char* classNameC() const override { return "UXMenu"; }
};

// ---------------------------------------------------------------------------
// 3. The menu bar.
class UXMenuBar : public Object {
 public:
  Ref<Array> menus;  // UXMenu, left to right
  uint64_t handle = 0;  // the driver's menu bar, 0 until installed (wide: a native handle may be a pointer)

  UXMenuBar();

  // Hands the encoded menus to the driver and shows the bar. The driver's
  // menuBuild takes the menus alone and shows the bar on every open window,
  // so the window handle only says which window asked.
  void install(uint32_t windowHandle);
  // From a menu-command event: a = menu index + 2, b = item position.
  void handleSelection(int32_t a, int32_t b);
  // Ctrl shortcuts; true when an item took the key.
  bool performShortcut(const UXEvent& event);

  const char* classNameC() const override { return "UXMenuBar"; }
};

}  // namespace quorl
