// Native scroll views (kind 8): windows of the class "UXScroll32" with a
// vertical scroll bar, and a horizontal one while the document is wider
// than the view, painting the scroll view's document subtree shifted by the
// scroll positions through the toolkit's view drawing. The vertical
// position is the bar's; the horizontal one is the toolkit's (offsetX),
// which the bar mirrors. Messages of UXScroll32Proc: WM_PAINT,
// WM_PRINTCLIENT, WM_NCPAINT, WM_VSCROLL, WM_HSCROLL, WM_MOUSEWHEEL (with
// Shift: sideways), WM_MOUSEHWHEEL, WM_LBUTTONDOWN. The driver keeps a table of each window's
// scroll views so that invalidating the window repaints them too.
#pragma once

#include <windows.h>

#include "ux/win32/W32Control.h"

namespace quorl {

constexpr DWORD kW32ScrollStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL;  // 0x50A00000
constexpr uint32_t kW32MaxScrollers = 64;

// The registered scroll views, packed from 0 in order of registration.
extern HWND gW32Scrollers[kW32MaxScrollers];        // borrowed: owned by their top-level window
extern uint32_t gW32ScrollerWin[kW32MaxScrollers];  // the window handle of each
extern uint32_t gW32ScrollerN;

// Registers a scroll view of the window; ignored once 64 are registered.
void w32ScrollerAdd(HWND scroller, uint32_t window);
// The vertical range 0 .. content - page, the page being the client height
// (fallback when below 1); the position is kept inside it.
void w32ScrollRange(HWND scroller, int32_t contentHeight, int32_t fallbackHeight);
// The horizontal range 0 .. the scroll view's maxScrollX and its offsetX as
// the position, set only when they differ (0 .. 0 hides the bar).
void w32ScrollRangeX(HWND scroller);
// The rounded outline in the view's border colour (or the system's window
// frame colour), when it has a border colour or a corner radius.
void w32ScrollFrame(HWND scroller, HDC dc, int32_t inset);
void w32ScrollPaint(HWND scroller, HDC dc);

HWND w32ScrollCreate(const W32Realize& r);
// Position and range, and the rounded window region of both paths.
void w32ScrollSync(HWND control, const W32Realize& r, bool created);

}  // namespace quorl
