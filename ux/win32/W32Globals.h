// The Win32 driver's state: process-wide globals named gW32..., touched by
// the UI thread only. The window table is indexed by the toolkit's window
// handle (1..63; entry 0 is never used).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ux/core/UXViewDriver.h"
#include "ux/win32/W32Pure.h"

namespace quorl {

class UXGdiGraphics;
class UXNodeTree;

constexpr uint32_t kW32TableSize = kW32MaxWindows + 1;

// --- The window table ----------------------------------------------------------
extern HWND gW32Hwnds[kW32TableSize];          // owned: a W32Window in windowDestroy; null = free
extern std::string gW32Title[kW32TableSize];   // the title last set ("" = none)
extern std::string gW32Subtitle[kW32TableSize];
extern uint8_t gW32Modified[kW32TableSize];
extern uint32_t gW32WinW[kW32TableSize];       // client size: from creation, then every WM_SIZE
extern uint32_t gW32WinH[kW32TableSize];
extern int32_t gW32ScrollX[kW32TableSize], gW32ScrollY[kW32TableSize];
extern int32_t gW32ScrollMaxX[kW32TableSize], gW32ScrollMax[kW32TableSize];
extern int32_t gW32MinW[kW32TableSize], gW32MinH[kW32TableSize];  // 0 = none
extern UXNodeTree* gW32TreeOf[kW32TableSize];  // borrowed: set by realizeTree, owned by the window's view tree
extern HWND gW32LineWin[kW32TableSize];        // owned by its window (destroyed with it)
// What a window's line overlay shows: a curve from (fromX, fromY) to the dot
// at (toX, toY), and the outline of the target rectangle, drawn only when it
// has a size. Client coordinates of the window.
struct W32LineGeometry {
  int32_t fromX = 0, fromY = 0, toX = 0, toY = 0;
  int32_t targetX = 0, targetY = 0, targetW = 0, targetH = 0;
};
extern W32LineGeometry gW32Line[kW32TableSize];
extern uint32_t gW32LineOn[kW32TableSize];

// --- Scalars ----------------------------------------------------------------------
extern uint32_t gW32NextHandle;   // one above the highest handle given out; 1 after boot
extern uint32_t gW32Native;       // live top-level windows
extern HINSTANCE gW32Inst;
extern HMENU gW32Menu;            // borrowed: the bar shown (owned by the bar list of UXWin32Menus.cpp); null = none
extern UXContentDrawFunction gW32ContentFn;
extern HBRUSH gW32FaceBrush;      // owned for the life of the process (light grey)
extern HFONT gW32Font;            // stock: never deleted
extern UXGdiGraphics* gW32Gfx;    // the shared surface (kept alive by gW32GfxRef in UXWin32Windows.cpp)
extern HDC gW32CurHdc;            // the paint in progress, null outside a paint
extern UXNodeDrawFunction gW32UserFn;
extern void* gW32UserUd;
extern int32_t gW32DrawOX, gW32DrawOY;

// Private messages: a resize seen by the window procedure, posted so that
// nextEvent turns it into a resize event in queue order.
constexpr UINT kW32MsgResized = WM_APP + 0x51;

// Class names (UTF-16, registered with RegisterClassW).
inline constexpr const wchar_t* kW32WindowClass = L"UXWin32";
inline constexpr const wchar_t* kW32ScrollClass = L"UXScroll32";
inline constexpr const wchar_t* kW32ShieldClass = L"UXShield32";
inline constexpr const wchar_t* kW32GlClass = L"UXGl32";
inline constexpr const wchar_t* kW32LineClass = L"UXLine32";
constexpr DWORD kW32WindowStyle = WS_OVERLAPPEDWINDOW;  // 0x00CF0000

// --- Shared functions -----------------------------------------------------------
// The handle whose entry holds the window, 0 when none.
uint32_t w32HandleOf(HWND window);
// From a window up its parent chain to the first table window: its handle
// (and the HWND in top), 0 when there is none.
uint32_t w32TopHandle(HWND window, HWND* top);
bool w32IsLive(uint32_t handle);
// Window procedures registered at boot.
LRESULT CALLBACK UXWin32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK UXShield32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Hooks of the native scroll views (their registry belongs to the native
// controls): invalidate every scroll view of a window, drop a window's.
void w32ScrollersInvalidate(uint32_t handle);
void w32ScrollerDropWindow(uint32_t handle);

}  // namespace quorl

namespace quorl {
// Procedures of the classes that belong to the native controls and GL
// views; registered at boot.
LRESULT CALLBACK UXScroll32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK UXGl32Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
}  // namespace quorl

namespace quorl {

class UXFieldEditor;

// What a native control's GWLP_USERDATA points to. The driver owns the
// record and frees it when the control is destroyed (WM_NCDESTROY), and the
// view is weak, so neither side can dangle. A text field's control also
// carries its field editor (borrowed: the text field frees it).
struct W32Peer {
  Weak<Object> view;
  UXFieldEditor* editor = nullptr;  // borrowed: freed by fieldEditorFree
  int16_t node = -1;
  uint32_t window = 0;              // the table handle of the top-level window
};
// The record of a control made by the driver, or null (any other window).
W32Peer* w32PeerOf(HWND control);
// Makes the control's record (replacing one it had), stores it as its
// GWLP_USERDATA and subclasses the control so that the record goes with it.
W32Peer& w32NewPeer(HWND control);
void w32DropPeer(HWND control);  // frees the record (done on WM_NCDESTROY)

// Set while the driver itself pushes a selection into a list, so the
// change notifications it causes are not reported back.
extern uint32_t gW32SelPush;

// Every loop of the driver but nextEvent's that takes a WM_QUIT (a modal
// drag, pumpMessages) hands it on with this, so the main loop still ends.
void w32RepostQuit(const MSG& msg);

// The native tree's rules over controls, for realising and drawing it:
// show or hide the controls of a subtree by the hiding rule; the control
// that scrolls for a node (its own, else a table's above it: list = true);
// a list's row height (0 when empty); whether a proper ancestor is a table.
void w32PushHiddenSubtree(UXNodeTree& tree, int16_t node);
HWND w32ScrollContainer(UXNodeTree& tree, int16_t node, bool& list);
int32_t w32ListRowHeight(HWND list);
bool w32IsUnderTable(const UXNodeTree& tree, int16_t node);

// Hooks of the native controls' families (rich text, value controls, row
// dragging, tree views). The event pump and the window procedure route to
// them; each answers whether it handled the message.
bool w32TextViewKey(HWND control, const MSG& msg);            // in the pump, before dispatch
bool w32TextViewCommand(HWND control, UINT code);             // WM_COMMAND from a rich-text control
bool w32TextViewNotify(HWND control, NMHDR* header);          // EN_SELCHANGE
void w32ValueChanged(HWND control, int32_t value);            // slider, stepper, pop-up
void w32RowDrag(HWND control, int32_t kind, const char* text, bool right, int32_t x, int32_t y);
bool w32OutlineNotify(HWND control, NMHDR* header);           // TVN_* codes
bool w32ListNotify(HWND control, NMHDR* header);              // LVN_GETDISPINFOW, the selection changes

}  // namespace quorl
