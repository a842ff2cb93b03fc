// BUTTON controls: push buttons (kind 2), check boxes (6) and radio buttons
// (7). Messages: WM_SETFONT, BM_SETCHECK; the click comes back as
// BN_CLICKED to the window procedure, which calls the control's
// applyNativeClick.
#pragma once

#include <windows.h>

#include "ux/win32/W32Control.h"

namespace quorl {

// WS_CHILD | WS_VISIBLE | WS_TABSTOP, plus BS_AUTOCHECKBOX or
// BS_AUTORADIOBUTTON.
DWORD w32ButtonStyle(uint32_t kind);
HWND w32ButtonCreate(const W32Realize& r);
// Position, title, and the check mark of kinds 6 and 7 from the view.
void w32ButtonSync(HWND control, const W32Realize& r, bool created);

}  // namespace quorl
