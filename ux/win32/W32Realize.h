// Realising the native tree (UXWin32Driver::realizeTree, W32Realize.cpp),
// row dragging and value changes (W32Input.cpp).
#pragma once

#include <windows.h>

#include "ux/win32/W32Globals.h"

namespace quorl {

class UXNodeTree;

// The shield overlay of each window, raised above the controls after every
// pass; borrowed (owned by the window).
extern HWND gW32Shield[kW32TableSize];

// Draws the subtree of node into the paint in progress (W32TreeDraw.cpp).
void w32TreeDrawFrom(UXNodeTree* tree, int16_t node);
// UTF-8 text at (x, y) in the DC's font, colour and mode; nothing for an
// empty text.
void w32DrawText(HDC dc, int32_t x, int32_t y, const char* utf8);

}  // namespace quorl
