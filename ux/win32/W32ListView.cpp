// Virtual report lists (W32ListView.h).
#include "ux/win32/W32ListView.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "foundation/Array.h"
#include "ux/controls/UXTableView.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Text.h"

namespace quorl {

namespace {
Ref<UXTableView> tableOf(HWND control) {
  W32Peer* peer = w32PeerOf(control);
  Ref<UXTableView> table = peer ? cast<UXTableView>(peer->view.lock()) : nullptr;
  return table && !table->nativeIsOutline() ? table : nullptr;
}

// The list's selection handed to the table, whole. A change of every row
// at once (select-all, deselect-all) says what it did; otherwise the list
// is asked, row by row, only until every selected row is found.
void reportSelection(HWND control, UXTableView& table, const NMLISTVIEW* change) {
  std::vector<uint32_t> rows;
  if (change && change->iItem == -1 && (change->uChanged & LVIF_STATE) &&
      ((change->uOldState ^ change->uNewState) & LVIS_SELECTED)) {
    if (change->uNewState & LVIS_SELECTED) {
      rows.resize(size_t(std::max<LRESULT>(SendMessageW(control, LVM_GETITEMCOUNT, 0, 0), 0)));
      std::iota(rows.begin(), rows.end(), 0u);
    }
  } else {
    size_t selected = size_t(std::max<LRESULT>(SendMessageW(control, LVM_GETSELECTEDCOUNT, 0, 0), 0));
    rows.reserve(selected);
    int item = -1;
    while (rows.size() < selected &&
           (item = int(SendMessageW(control, LVM_GETNEXTITEM, WPARAM(item), LVNI_SELECTED))) >= 0)
      rows.push_back(uint32_t(item));
  }
  table.applyNativeSelection(rows.data(), uint32_t(rows.size()));
}
}  // namespace

DWORD w32ListStyle(bool multiSelect, bool untitled) {
  DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA;
  if (!multiSelect) style |= LVS_SINGLESEL;
  if (untitled) style |= LVS_NOCOLUMNHEADER;
  return style;
}

HWND w32ListCreate(const W32Realize& r) {
  auto* table = dynamic_cast<UXTableView*>(r.peer.get());
  W32CreateArgs a = r.args(WC_LISTVIEWW, w32ListStyle(table && table->multiSelect, !table || UXWin32Driver::untitled(*table)));
  HWND control = w32CreateControl(a);
  if (!control) return nullptr;
  SendMessageW(control, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
               LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  w32Route(control, r);
  if (table) {
    w32TableFill(control, table);
    table->needsNativeReload = 0;
    if (table->selectedCount() > 0) w32TablePushSelection(control, *table);
  }
  return control;
}

void w32ListSync(HWND control, const W32Realize& r, bool created) {
  auto* table = dynamic_cast<UXTableView*>(r.peer.get());
  if (created) return;
  w32Move(control, r.x, r.y, r.w, r.h);
  if (!table) return;
  if (table->needsNativeReload) {
    w32TableFill(control, table);
    table->needsNativeReload = 0;
  }
  if (table->selectionDirty) w32TablePushSelection(control, *table);
}

void w32TableFill(HWND control, UXTableView* table) {
  if (!table) return;
  // Emptying the list drops its selection: that is no choice of the user's.
  gW32SelPush = 1;
  SendMessageW(control, WM_SETREDRAW, FALSE, 0);
  SendMessageW(control, LVM_DELETEALLITEMS, 0, 0);
  while (SendMessageW(control, LVM_DELETECOLUMN, 0, 0)) {
  }
  uint32_t columns = table->columns ? table->columns->count() : 0;
  for (uint32_t i = 0; i < columns; ++i) {
    std::wstring title = w32Wide(table->columnTitle(int32_t(i)));
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.cx = table->columnWidth(int32_t(i));
    column.pszText = title.data();
    column.iSubItem = int(i);
    SendMessageW(control, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  int32_t rows = table->countRows();
  SendMessageW(control, LVM_SETITEMCOUNT, WPARAM(rows < 0 ? 0 : rows), 0);
  gW32SelPush = 0;
  SendMessageW(control, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(control, nullptr, TRUE);
}

void w32TablePushSelection(HWND control, UXTableView& table) {
  // The whole selection, not a first part of it: the table hands its
  // selection either way at its full size.
  std::vector<uint32_t> rows = table.selectedRows();
  gW32SelPush = 1;
  LVITEMW none{};
  none.stateMask = LVIS_SELECTED;
  none.state = 0;
  SendMessageW(control, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&none));
  for (uint32_t row : rows) {
    LVITEMW on{};
    on.stateMask = LVIS_SELECTED;
    on.state = LVIS_SELECTED;
    SendMessageW(control, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&on));
  }
  gW32SelPush = 0;
  table.selectionDirty = 0;
}

bool w32ListNotify(HWND control, NMHDR* header) {
  if (!header) return false;
  switch (header->code) {
    case LVN_GETDISPINFOW: {
      auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
      if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax < 1) return true;
      Ref<UXTableView> table = tableOf(control);
      const char* text = table && info->item.iItem >= 0 ? table->nativeCellText(info->item.iItem, info->item.iSubItem)
                                                        : nullptr;
      std::wstring wide = w32Wide(text ? text : "");
      size_t room = size_t(info->item.cchTextMax) - 1;
      if (wide.size() > room) {
        // Not half a surrogate pair at the cut.
        size_t cut = room;
        if (cut > 0 && wide[cut - 1] >= 0xD800 && wide[cut - 1] <= 0xDBFF) --cut;
        wide.resize(cut);
      }
      std::memcpy(info->item.pszText, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
      return true;
    }
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED: {
      // One row, a range (shift-click) or every row: the whole selection,
      // however many rows it holds.
      if (gW32SelPush) return true;
      auto* change = header->code == LVN_ITEMCHANGED ? reinterpret_cast<NMLISTVIEW*>(header) : nullptr;
      if (Ref<UXTableView> table = tableOf(control)) reportSelection(control, *table, change);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace quorl
