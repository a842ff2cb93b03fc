// Progress bars (kind 12). Messages: PBM_SETRANGE32 (0..1000), PBM_SETPOS
// with the bar's fraction in thousandths. No notifications.
#pragma once

#include <windows.h>

#include "ux/win32/W32Control.h"

namespace quorl {

constexpr DWORD kW32ProgressStyle = WS_CHILD | WS_VISIBLE;  // 0x50000000

HWND w32ProgressCreate(const W32Realize& r);
void w32ProgressSync(HWND control, const W32Realize& r, bool created);

}  // namespace quorl
