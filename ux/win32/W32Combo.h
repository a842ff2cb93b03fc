// COMBOBOX drop-down lists of pop-up buttons (kind 10). Messages:
// WM_SETFONT, CB_RESETCONTENT, CB_ADDSTRING, CB_SETCURSEL, CB_GETCOUNT,
// CB_GETLBTEXT; a pick comes back as CBN_SELCHANGE, handed to
// w32ValueChanged with the selected index.
#pragma once

#include <windows.h>

#include "ux/win32/W32Control.h"

namespace quorl {

constexpr DWORD kW32ComboStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST;  // 0x50210003
// The list drops 120 pixels below the field.
constexpr int32_t kW32ComboDrop = 120;

HWND w32ComboCreate(const W32Realize& r);
// Position; the items again when the pop-up's titles changed; the
// selection (-1 clears it).
void w32ComboSync(HWND control, const W32Realize& r, bool created);

}  // namespace quorl
