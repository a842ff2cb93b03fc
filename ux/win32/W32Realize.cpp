// Realising a window's native tree: one pass over every node, in index
// order, making the control of a node whose kind has one the first time
// the pass meets it and bringing it up to date on every later pass. The
// per-kind work is in the family files; this file holds the order, the
// common tail (disabling, hiding, alignment), the shield and GL windows,
// and the overlay raised after the pass.
#include <windows.h>

#include "ux/controls/UXTableView.h"
#include "ux/core/UXNodeTree.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Button.h"
#include "ux/win32/W32Combo.h"
#include "ux/win32/W32Control.h"
#include "ux/win32/W32Edit.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32ListView.h"
#include "ux/win32/W32Progress.h"
#include "ux/win32/W32Realize.h"
#include "ux/win32/W32ScrollView.h"
#include "ux/win32/W32Services.h"
#include "ux/win32/W32Toolbar.h"
#include "ux/win32/W32Trackbar.h"
#include "ux/win32/W32TreeView.h"
#include "ux/win32/W32UpDown.h"

namespace quorl {

HWND gW32Shield[kW32TableSize];

namespace {

bool isOutline(const W32Realize& r) {
  auto* table = dynamic_cast<UXTableView*>(r.peer.get());
  return table && table->nativeIsOutline();
}

// Shields and GL views: plain windows of the driver's classes, moved and
// shown or hidden on every pass.
HWND plainCreate(const W32Realize& r, const wchar_t* className, DWORD style, bool route) {
  W32CreateArgs a = r.args(className, style);
  a.font = false;
  HWND control = w32CreateControl(a);
  if (control && route) w32Route(control, r);
  return control;
}

// Makes (created = true) or updates the control of one node; null when the
// kind has none or the peer is not of its class.
HWND realizeOne(const W32Realize& r, HWND control, bool& created) {
  created = false;
  auto make = [&](HWND made) {
    created = made != nullptr;
    return made;
  };
  switch (r.kind) {
    case kUXNodeTextView: {
      // The rich-text bridge makes the control the first time and moves it
      // later.
      HWND made = w32TextViewRealize(r.window, r.node, r.peer, r.parent, r.x, r.y, r.w, r.h);
      created = made && made != control;
      return made ? made : control;
    }
    case kUXNodeShield:
      if (!control) control = make(plainCreate(r, kW32ShieldClass, WS_CHILD | WS_VISIBLE, true));
      else w32Move(control, r.x, r.y, r.w, r.h);
      if (control) gW32Shield[r.window] = control;
      return control;
    case kUXNodeGL:
      // The peer record links the window to its view: clicks go on through
      // it, and the surface finds its view by it.
      if (!control) {
        control = make(plainCreate(r, kW32GlClass, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, true));
        w32GlAttach(control);
      } else {
        w32Move(control, r.x, r.y, r.w, r.h);
        w32GlAttach(control);
        w32GlViewport(control);
      }
      return control;
    case kUXNodeButton:
    case kUXNodeCheckbox:
    case kUXNodeRadio:
      if (!control) control = make(w32ButtonCreate(r));
      if (control) w32ButtonSync(control, r, created);
      return control;
    case kUXNodeTextField:
      if (!control) control = make(w32EditCreate(r));
      if (control) w32EditSync(control, r, created);
      return control;
    case kUXNodeSlider:
      if (!control) control = make(w32TrackbarCreate(r));
      if (control) w32TrackbarSync(control, r, created);
      return control;
    case kUXNodePopUp:
      if (!control) control = make(w32ComboCreate(r));
      if (control) w32ComboSync(control, r, created);
      return control;
    case kUXNodeStepper:
      if (!control) control = make(w32UpDownCreate(r));
      if (control) w32UpDownSync(control, r, created);
      return control;
    case kUXNodeProgress:
      if (!control) control = make(w32ProgressCreate(r));
      if (control) w32ProgressSync(control, r, created);
      return control;
    case kUXNodeSegmented:
      if (!control) control = make(w32SegmentedCreate(r));
      if (control) w32SegmentedSync(control, r, created);
      return control;
    case kUXNodeToolbar:
      if (!control) control = make(w32ToolbarCreate(r));
      if (control) w32ToolbarSync(control, r, created);
      return control;
    case kUXNodeTable:
      if (isOutline(r)) {
        if (!control) control = make(w32TreeCreate(r));
        if (control) w32TreeSync(control, r, created);
      } else {
        if (!control) control = make(w32ListCreate(r));
        if (control) w32ListSync(control, r, created);
      }
      return control;
    case kUXNodeScroll:
      if (!control && w32IsUnderTable(*r.tree, r.node)) return nullptr;
      if (!control) control = make(w32ScrollCreate(r));
      if (control) w32ScrollSync(control, r, created);
      return control;
    default:
      return control;
  }
}

}  // namespace

void UXWin32Driver::realizeTree(uint32_t window, UXNodeTree* tree) {
  if (!w32IsLive(window) || !tree) return;
  gW32TreeOf[window] = tree;
  HWND parent = gW32Hwnds[window];
  // A shield of a window that had this handle before is not this one's.
  if (gW32Shield[window] && (!IsWindow(gW32Shield[window]) || GetParent(gW32Shield[window]) != parent))
    gW32Shield[window] = nullptr;
  // The count is read on every turn: a notification sent while a control
  // is made may add views.
  for (int16_t n = 0; n >= 0 && uint32_t(n) < tree->count(); ++n) {
    W32Realize r;
    r.tree = tree;
    r.node = n;
    r.window = window;
    r.parent = parent;
    {
      const UXNode* node = tree->at(n);
      r.kind = node->kind;
      r.peer = node->peer.lock();
    }
    if (!uxKindHasNativeControl(r.kind) && r.kind != kUXNodeShield && r.kind != kUXNodeGL) continue;
    tree->absFrame(n, r.x, r.y, r.w, r.h);
    bool created = false;
    HWND control = realizeOne(r, w32ControlOf(tree->at(n)), created);
    UXNode* node = tree->at(n);
    if (!node || !control) continue;
    if (created) node->native = uint64_t(reinterpret_cast<uintptr_t>(control));
    bool hidden = tree->effectivelyHidden(n);
    // A GL view that renders off screen is shown through the paint's blit.
    if (r.kind == kUXNodeGL && w32GlIsOffscreen(control)) hidden = true;
    // Shields, GL and text views follow visibility both ways on every pass;
    // other controls are shown again only by the tree's own visibility
    // changes.
    const bool bothWays = r.kind == kUXNodeShield || r.kind == kUXNodeGL || r.kind == kUXNodeTextView;
    if (bothWays) ShowWindow(control, hidden ? SW_HIDE : SW_SHOW);
    else if (hidden) ShowWindow(control, SW_HIDE);
    node->nativeShown = IsWindowVisible(control) ? 1 : 0;
    if (r.kind == kUXNodeTextView) EnableWindow(control, node->enabled ? TRUE : FALSE);
    else if (!node->enabled) EnableWindow(control, FALSE);
    if (r.kind == kUXNodeTextField) w32PushAlign(control, w32AlignOf(r.peer));
  }
  if (HWND shield = gW32Shield[window]) BringWindowToTop(shield);
}

}  // namespace quorl
