// ToolbarWindow32 controls of segmented controls (kind 13, check buttons)
// and toolbars (kind 14, command buttons with icons), and the shared image
// list of the icon pictures. Messages: TB_BUTTONSTRUCTSIZE, WM_SETFONT,
// TB_SETIMAGELIST, TB_ADDSTRINGW, TB_ADDBUTTONSW, TB_AUTOSIZE,
// TB_CHECKBUTTON, TB_BUTTONCOUNT, TB_DELETEBUTTON; a click comes back as
// WM_COMMAND with the button's command id (the segment index, or the
// item's tag), handled by the window procedure.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ux/win32/W32Control.h"

namespace quorl {

class UXImage;
class UXToolbar;

// TBSTYLE_LIST | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE.
constexpr DWORD kW32ToolbarStyle = WS_CHILD | WS_VISIBLE | 0x104C;  // 0x5000104C
// Spaces and separators are separators of this width.
constexpr int32_t kW32ToolbarSeparator = 8;

// Adds one text button: the title (cut to 126 bytes on a character
// boundary), the style, checked or not, and the image index (I_IMAGENONE
// for none).
void w32ToolbarAdd(HWND control, int32_t commandId, const char* title, BYTE style, bool checked, int32_t image);
// The shared 16 x 16 image list: the icon pictures in UXIcon order, then
// the pictures rendered from item images. Made on first use, kept for the
// life of the process.
HIMAGELIST w32IconList();
// The image index of a toolbar item: a new entry for an item image, the
// icon's index for a known icon name, else I_IMAGENONE.
int32_t w32ItemImage(UXToolbar& toolbar, uint32_t index);
// One 16 x 16 picture on light grey into a DC holding a 16 x 16 bitmap: the
// image scaled when there is one, else the named icon in black.
void w32DrawPicture(HDC dc, const char* iconName, const UXImage* image);

HWND w32SegmentedCreate(const W32Realize& r);
// Position; the buttons again when the number of segments changed; every
// segment's check state.
void w32SegmentedSync(HWND control, const W32Realize& r, bool created);
HWND w32ToolbarCreate(const W32Realize& r);
void w32ToolbarSync(HWND control, const W32Realize& r, bool created);

}  // namespace quorl
