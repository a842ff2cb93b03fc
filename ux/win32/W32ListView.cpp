// Virtual report lists (W32ListView.h).
#include "ux/win32/W32ListView.h"

#include <algorithm>
#include <cstring>
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

// A change of list rows handed to the table by those rows alone: the
// notice says which rows changed and how, so the list is not asked again
// (one question a selected row cost seconds at 100,000 rows). Row -1 of
// LVN_ITEMCHANGED is every row (select-all, deselect-all); LVN_ODSTATECHANGED
// gives a range (Shift+click, Shift+arrow). A change that leaves the
// selected state alone (the focus moving) is not one.
void reportChange(UXTableView& table, int first, int last, UINT oldState, UINT newState) {
  if (!((oldState ^ newState) & LVIS_SELECTED)) return;
  if (first < 0) {
    first = 0;
    last = table.rowCount - 1;
  }
  table.applyNativeRowChange(first, last, (newState & LVIS_SELECTED) ? 1 : 0);
}

// Sets the selected state of one row, or of every row for -1.
void setSelected(HWND control, int row, bool on) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = on ? LVIS_SELECTED : 0;
  SendMessageW(control, LVM_SETITEMSTATE, WPARAM(row), reinterpret_cast<LPARAM>(&item));
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
  // The whole selection, in the fewest messages the list takes: one that
  // sets every row to the state most rows have, then one for each row that
  // differs. Select-all and deselect-all are one message each; no message
  // sets a range of a virtual list. A single-select list refuses select-all
  // (it answers 0 and selects nothing, so a one-row table's selected row
  // would not show): it is always pushed as deselect-all and its row.
  const int32_t rows = std::max<int32_t>(table.rowCount, 0);
  const int32_t selected = table.selectedCount();
  const bool single = GetWindowLongW(control, GWL_STYLE) & LVS_SINGLESEL;
  const bool most = !single && selected > rows - selected;
  gW32SelPush = 1;
  // One repaint afterwards rather than one a changed row.
  SendMessageW(control, WM_SETREDRAW, FALSE, 0);
  setSelected(control, -1, most);
  for (int32_t r = 0, left = most ? rows - selected : selected; r < rows && left > 0; r++)
    if (table.isRowSelected(r) != most) {
      setSelected(control, r, !most);
      left--;
    }
  SendMessageW(control, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(control, nullptr, TRUE);
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
    case LVN_ITEMCHANGED: {
      if (gW32SelPush) return true;
      auto* change = reinterpret_cast<NMLISTVIEW*>(header);
      if (!(change->uChanged & LVIF_STATE)) return true;
      if (Ref<UXTableView> table = tableOf(control))
        reportChange(*table, change->iItem, change->iItem, change->uOldState, change->uNewState);
      return true;
    }
    case LVN_ODSTATECHANGED: {
      if (gW32SelPush) return true;
      auto* change = reinterpret_cast<NMLVODSTATECHANGE*>(header);
      if (Ref<UXTableView> table = tableOf(control))
        reportChange(*table, change->iFrom, change->iTo, change->uOldState, change->uNewState);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace quorl
