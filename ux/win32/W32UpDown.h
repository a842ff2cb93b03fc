// Up-down controls of steppers (kind 11). Messages: UDM_SETRANGE32,
// UDM_GETRANGE32, UDM_SETPOS32; a click comes back as WM_VSCROLL, handed to
// w32ValueChanged with UDM_GETPOS32.
#pragma once

#include <windows.h>

#include "ux/win32/W32Control.h"

namespace quorl {

constexpr DWORD kW32UpDownStyle = WS_CHILD | WS_VISIBLE | 0x0020;  // UDS_ARROWKEYS: 0x50000020

HWND w32UpDownCreate(const W32Realize& r);
// Position, the range when the stepper's changed, and the value.
void w32UpDownSync(HWND control, const W32Realize& r, bool created);

}  // namespace quorl
