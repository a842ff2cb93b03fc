// Trees of outline views (W32TreeView.h).
#include "ux/win32/W32TreeView.h"

#include <vector>

#include "ux/controls/UXOutlineView.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Text.h"

namespace quorl {

namespace {
struct TreeState {
  std::vector<Ref<Object>> items;  // tree item parameter k + 1 stands for items[k]
  bool filling = false;            // notices caused by filling are not reported
};
W32StateMap<TreeState> gW32Trees;

Ref<UXOutlineView> outlineOf(HWND control) {
  W32Peer* peer = w32PeerOf(control);
  return peer ? cast<UXOutlineView>(peer->view.lock()) : nullptr;
}

void refill(HWND control, UXOutlineView* outline) {
  TreeState& state = gW32Trees.of(control);
  state.filling = true;
  SendMessageW(control, WM_SETREDRAW, FALSE, 0);
  SendMessageW(control, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  state.items.clear();
  w32TreeFill(control, outline, nullptr, nullptr);
  SendMessageW(control, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(control, nullptr, TRUE);
  gW32Trees.of(control).filling = false;
  if (outline) outline->needsNativeReload = 0;
}
}  // namespace

HWND w32TreeCreate(const W32Realize& r) {
  HWND control = w32CreateControl(r.args(WC_TREEVIEWW, kW32TreeStyle));
  if (!control) return nullptr;
  w32Route(control, r);
  refill(control, dynamic_cast<UXOutlineView*>(r.peer.get()));
  return control;
}

void w32TreeSync(HWND control, const W32Realize& r, bool created) {
  if (created) return;
  w32Move(control, r.x, r.y, r.w, r.h);
  // A reload means the outline's items may have changed: the tree follows,
  // so its items and the toolkit's rows stay the same.
  auto* outline = dynamic_cast<UXOutlineView*>(r.peer.get());
  if (outline && outline->needsNativeReload) refill(control, outline);
}

void w32TreeFill(HWND control, UXOutlineView* outline, const Ref<Object>& item, HTREEITEM parent) {
  if (!outline) return;
  TreeState& state = gW32Trees.of(control);
  int32_t k = outline->nativeChildren(item);
  for (int32_t i = 0; i < k; ++i) {
    Ref<Object> child = outline->nativeChild(item, i);
    state.items.push_back(child);
    std::wstring text = w32Wide(outline->nativeItemValue(child, 0));
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent ? parent : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = text.data();
    insert.item.lParam = LPARAM(state.items.size());
    auto t = reinterpret_cast<HTREEITEM>(SendMessageW(control, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!t) continue;
    if (outline->nativeExpandable(child)) {
      w32TreeFill(control, outline, child, t);
      if (outline->nativeIsItemExpanded(child)) SendMessageW(control, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(t));
    }
  }
}

namespace {
Ref<Object> objectOfParam(HWND control, LPARAM param) {
  TreeState* state = gW32Trees.find(control);
  if (!state || param < 1 || size_t(param) > state->items.size()) return nullptr;
  return state->items[size_t(param) - 1];
}
}  // namespace

Ref<Object> w32TreeItemObject(HWND control, HTREEITEM item) {
  if (!item) return nullptr;
  TVITEMW tv{};
  tv.mask = TVIF_HANDLE | TVIF_PARAM;
  tv.hItem = item;
  if (!SendMessageW(control, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return nullptr;
  return objectOfParam(control, tv.lParam);
}

bool w32OutlineNotify(HWND control, NMHDR* header) {
  TreeState* state = header ? gW32Trees.find(control) : nullptr;
  if (!state) return false;
  Ref<UXOutlineView> outline = outlineOf(control);
  if (state->filling || !outline) return true;
  auto* nm = reinterpret_cast<NMTREEVIEWW*>(header);
  switch (header->code) {
    case TVN_ITEMEXPANDEDW:
    case TVN_ITEMEXPANDEDA:
      if (Ref<Object> item = objectOfParam(control, nm->itemNew.lParam))
        outline->nativeDidExpand(item, nm->action == TVE_EXPAND ? 1 : 0);
      return true;
    case TVN_SELCHANGEDW:
    case TVN_SELCHANGEDA: {
      auto caret = reinterpret_cast<HTREEITEM>(SendMessageW(control, TVM_GETNEXTITEM, TVGN_CARET, 0));
      Ref<Object> item = w32TreeItemObject(control, caret);
      uint32_t row = item ? outline->rowForItem(item) : 0xFFFFFFFFu;
      if (item && row != 0xFFFFFFFFu) outline->applyNativeSelection(&row, 1);
      return true;
    }
    case TVN_BEGINDRAGW:
    case TVN_BEGINDRAGA:
    case TVN_BEGINRDRAGW:
    case TVN_BEGINRDRAGA: {
      Ref<Object> item = objectOfParam(control, nm->itemNew.lParam);
      const char* text = item ? outline->nativeDragText(item) : nullptr;
      bool right = header->code == TVN_BEGINRDRAGW || header->code == TVN_BEGINRDRAGA;
      // The drag carries its own copy: a hover that reloads may free the text.
      std::string copy = text ? text : "";
      if (text) w32RowDrag(control, 1, copy.c_str(), right, nm->ptDrag.x, nm->ptDrag.y);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace quorl
