// SysListView32 report lists of tables (kind 5 whose view is not an
// outline). The list is virtual (LVS_OWNERDATA): a reload hands it the row
// count only, and it asks for each cell it shows with LVN_GETDISPINFOW,
// answered from the table's nativeCellText. So a table of any length shows
// at once after a rebuild, and no row text is copied ahead of need.
// Messages: WM_SETFONT, LVM_SETEXTENDEDLISTVIEWSTYLE, LVM_DELETECOLUMN,
// LVM_INSERTCOLUMNW, LVM_DELETEALLITEMS, LVM_SETITEMCOUNT, LVM_SETITEMSTATE;
// notifications LVN_GETDISPINFOW, LVN_ITEMCHANGED and LVN_ODSTATECHANGED
// (here), LVN_BEGIN(R)DRAG (the window procedure).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ux/win32/W32Control.h"

namespace quorl {

class UXTableView;

// WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA, plus
// LVS_SINGLESEL unless the table selects several rows, plus
// LVS_NOCOLUMNHEADER when every column title is empty.
DWORD w32ListStyle(bool multiSelect, bool untitled);

HWND w32ListCreate(const W32Realize& r);
// Position; the columns and row count again when the table asks for a
// reload; its selection when it changed.
void w32ListSync(HWND control, const W32Realize& r, bool created);
// Empties the list and gives it the table's columns and row count.
void w32TableFill(HWND control, UXTableView* table);
// Makes the list's selected rows those of the table; the list's change
// notices are not reported back meanwhile.
void w32TablePushSelection(HWND control, UXTableView& table);
// The list notifications the window procedure hands on; true when handled.
bool w32ListNotify(HWND control, NMHDR* header);

}  // namespace quorl
