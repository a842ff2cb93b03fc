// SysTreeView32 trees of outline views (kind 5 whose view answers
// nativeIsOutline). The whole outline is inserted at once, collapsed
// branches included; each tree item carries the position of its outline
// item in a list the control keeps (the items are held while the control
// shows them, so a notice never reads a freed item). Messages: WM_SETFONT,
// TVM_INSERTITEMW, TVM_EXPAND, TVM_DELETEITEM, TVM_GETNEXTITEM, TVM_GETITEMW,
// TVM_HITTEST, TVM_SELECTITEM; notifications TVN_ITEMEXPANDED,
// TVN_SELCHANGED, TVN_BEGIN(R)DRAG (here).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "ux/win32/W32Control.h"

namespace quorl {

class UXOutlineView;

// WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
// TVS_SHOWSELALWAYS.
constexpr DWORD kW32TreeStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | 0x0027;  // 0x50800027

HWND w32TreeCreate(const W32Realize& r);
// Position; the whole tree again when the outline was reloaded.
void w32TreeSync(HWND control, const W32Realize& r, bool created);
// Inserts the children of item (null: the top level) under the tree item
// parent (null: the root), depth first.
void w32TreeFill(HWND control, UXOutlineView* outline, const Ref<Object>& item, HTREEITEM parent);
// The outline item a tree item stands for, null when none.
Ref<Object> w32TreeItemObject(HWND control, HTREEITEM item);
bool w32OutlineNotify(HWND control, NMHDR* header);

}  // namespace quorl
