// The native node tree: UXNodeTree's records, with each change that shows,
// hides, enables or moves a node applied to its realised control at once.
// A node's `native` word holds its control's HWND once realised.
#include <windows.h>
#include <commctrl.h>

#include "ux/core/UXNodeTree.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Services.h"

namespace quorl {

namespace {

HWND controlOf(const UXNode* n) { return n ? reinterpret_cast<HWND>(uintptr_t(n->native)) : nullptr; }

}  // namespace

// Shows or hides every control of the subtree of n by the hiding rule
// (hidden itself, under a hidden node, or detached).
void w32PushHiddenSubtree(UXNodeTree& tree, int16_t n) {
  if (!tree.valid(n)) return;
  tree.walk(n, [&](int16_t m, int32_t, int32_t) {
    UXNode* node = tree.at(m);
    if (HWND control = controlOf(node)) {
      bool hidden = tree.effectivelyHidden(m);
      ShowWindow(control, hidden ? SW_HIDE : SW_SHOW);
      node->nativeShown = hidden ? 0 : 1;
    }
    return true;
  });
}

// The control that scrolls for n: its own (a scroll view, or a list when the
// node is a table itself), else that of the nearest table above it (a
// list); null when none.
HWND w32ScrollContainer(UXNodeTree& tree, int16_t n, bool& list) {
  list = false;
  const UXNode* node = tree.at(n);
  if (!node) return nullptr;
  if (HWND own = controlOf(node)) {
    list = node->kind == kUXNodeTable;
    return own;
  }
  for (int16_t p = node->parent; tree.valid(p); p = tree.at(p)->parent) {
    const UXNode* up = tree.at(p);
    if (up->kind == kUXNodeTable && up->native) {
      list = true;
      return controlOf(up);
    }
  }
  return nullptr;
}

bool w32IsUnderTable(const UXNodeTree& tree, int16_t n) {
  const UXNode* node = tree.at(n);
  for (int steps = 0; node && tree.valid(node->parent) && steps < 256; ++steps) {
    node = tree.at(node->parent);
    if (node->kind == kUXNodeTable) return true;
  }
  return false;
}

int32_t w32ListRowHeight(HWND list) {
  RECT r{};
  r.left = LVIR_BOUNDS;
  if (!SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r))) return 0;
  int32_t h = r.bottom - r.top;
  return h < 1 ? 0 : h;
}

void UXWin32Driver::treeOffset(Ptr<UXNodeTree>, int32_t& x, int32_t& y) { x = y = 0; }

void UXWin32Driver::structFree(Ptr<UXNodeTree> tree) {
  if (!tree) return;
  // The controls die with their window; a window must not keep reading a
  // tree that is gone.
  for (uint32_t h = 1; h < kW32TableSize; ++h)
    if (gW32TreeOf[h] == tree.get()) gW32TreeOf[h] = nullptr;
  tree->release();
}

int16_t UXWin32Driver::structAddChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) {
  if (!tree) return -1;
  int16_t added = tree->addChild(parent, child);
  // A subtree linked back in shows its controls again.
  if (added >= 0) w32PushHiddenSubtree(*tree, added);
  return added;
}

void UXWin32Driver::structRemoveChild(Ptr<UXNodeTree> tree, int16_t parent, int16_t child) {
  if (!tree) return;
  tree->removeChild(parent, child);
  if (tree->valid(child) && tree->at(child)->parent < 0) w32PushHiddenSubtree(*tree, child);
}

void UXWin32Driver::structSetFrame(Ptr<UXNodeTree> tree, int16_t node, int32_t x, int32_t y, int32_t w,
                                   int32_t h) {
  if (!tree || !tree->valid(node)) return;
  tree->setFrame(node, x, y, w, h);
  if (HWND control = controlOf(tree->at(node))) {
    // Controls are children of the top-level window: the absolute frame is
    // their client position.
    int32_t ax = 0, ay = 0, aw = 0, ah = 0;
    tree->absFrame(node, ax, ay, aw, ah);
    MoveWindow(control, ax, ay, aw, ah, TRUE);
    // A GL surface draws into its new size from the next frame on.
    if (tree->at(node)->kind == kUXNodeGL) w32GlViewport(control);
  }
}


void UXWin32Driver::structSetHidden(Ptr<UXNodeTree> tree, int16_t node, uint16_t hidden) {
  UXNode* n = tree ? tree->at(node) : nullptr;
  if (!n) return;
  n->hidden = hidden;
  w32PushHiddenSubtree(*tree, node);
}


void UXWin32Driver::structSetEnabled(Ptr<UXNodeTree> tree, int16_t node, uint16_t enabled) {
  UXNode* n = tree ? tree->at(node) : nullptr;
  if (!n) return;
  n->enabled = enabled;
  if (HWND control = controlOf(n)) EnableWindow(control, enabled ? TRUE : FALSE);
}










void UXWin32Driver::structSetAutoresize(Ptr<UXNodeTree>, int16_t, uint32_t) {}
bool UXWin32Driver::driverAutoresizes() { return false; }

void UXWin32Driver::treeSetUserDraw(UXNodeDrawFunction draw, void* userData) {
  gW32UserFn = draw;
  gW32UserUd = userData;
}

void UXWin32Driver::nativeScrollTo(Ptr<UXNodeTree> tree, int16_t node, int32_t px) {
  if (!tree) return;
  bool list = false;
  HWND control = w32ScrollContainer(*tree, node, list);
  if (!control) {
    // Not realised yet: the position waits on the container's node.
    UXNodeTreeDriver::nativeScrollTo(tree, node, px);
    return;
  }
  if (!list) {
    SetScrollPos(control, SB_VERT, px, TRUE);
    InvalidateRect(control, nullptr, TRUE);
    UpdateWindow(control);
    return;
  }
  int32_t h = w32ListRowHeight(control);
  if (h < 1) return;
  int32_t target = px / h;
  int32_t top = int32_t(SendMessageW(control, LVM_GETTOPINDEX, 0, 0));
  if (target != top) SendMessageW(control, LVM_SCROLL, 0, LPARAM((target - top) * h));
}

int32_t UXWin32Driver::nativeScrollPx(Ptr<UXNodeTree> tree, int16_t node) {
  if (!tree) return 0;
  bool list = false;
  HWND control = w32ScrollContainer(*tree, node, list);
  if (!control) return UXNodeTreeDriver::nativeScrollPx(tree, node);
  if (!list) return GetScrollPos(control, SB_VERT);
  int32_t h = w32ListRowHeight(control);
  return h < 1 ? 0 : int32_t(SendMessageW(control, LVM_GETTOPINDEX, 0, 0)) * h;
}

}  // namespace quorl
