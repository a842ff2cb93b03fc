// Trackbars of sliders (kind 9). Messages: TBM_SETRANGEMIN, TBM_SETRANGEMAX,
// TBM_GETRANGEMIN, TBM_GETRANGEMAX, TBM_SETPOS; a move comes back as
// WM_HSCROLL, handed to w32ValueChanged with TBM_GETPOS.
#pragma once

#include <windows.h>

#include "ux/win32/W32Control.h"

namespace quorl {

constexpr DWORD kW32TrackbarStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | 0x0001;  // TBS_AUTOTICKS: 0x50010001

HWND w32TrackbarCreate(const W32Realize& r);
// Position, the range when the slider's changed, and the value.
void w32TrackbarSync(HWND control, const W32Realize& r, bool created);

}  // namespace quorl
