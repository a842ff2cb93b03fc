// EDIT controls of text fields (kind 3). Messages: WM_SETFONT,
// EM_SETCUEBANNER for the placeholder, the alignment bits of the style; the
// user's typing comes back as EN_CHANGE to the window procedure, which
// hands the control's text to UXTextField::applyNativeText.
#pragma once

#include <windows.h>

#include "ux/win32/W32Control.h"

namespace quorl {

// WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, plus ES_PASSWORD when secure.
DWORD w32EditStyle(bool secure);
// The edit is a 20-pixel band centred in the node's frame.
constexpr int32_t kW32EditHeight = 20;
constexpr int32_t w32EditBandY(int32_t y, int32_t h) { return y + (h - kW32EditHeight) / 2; }

HWND w32EditCreate(const W32Realize& r);
// Position, and the field's buffer put back when the control differs.
void w32EditSync(HWND control, const W32Realize& r, bool created);

}  // namespace quorl
