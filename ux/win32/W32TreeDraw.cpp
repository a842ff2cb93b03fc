// Drawing a native tree into the paint in progress: toolkit-drawn nodes
// through the user-draw callback, clipped to their frames; labels as text;
// a plain stand-in for a button, text field or table whose control does
// not exist yet; nothing where a native control covers the area.
//
// Every drawing here is moved by the draw offset, as the toolkit's own
// views are: inside a native scroll view the offset is the view's origin
// plus the scroll position, and labels and stand-ins scroll with the rest.
#include <windows.h>

#include "ux/controls/UXTextField.h"
#include "ux/core/UXNodeTree.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Control.h"
#include "ux/win32/W32ControlRules.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Services.h"
#include "ux/win32/W32Text.h"

namespace quorl {

void w32DrawText(HDC dc, int32_t x, int32_t y, const char* utf8) {
  if (!dc || !utf8 || !*utf8) return;
  std::wstring text = w32Wide(utf8);
  if (text.empty()) return;
  TextOutW(dc, x, y, text.c_str(), int(text.size()));
}

namespace {

void fillSolid(HDC dc, const RECT& r, COLORREF colour) {
  W32GdiObject brush(CreateSolidBrush(colour));
  FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
}

void drawButtonStandIn(HDC dc, RECT r, const UXNode& node) {
  fillSolid(dc, r, 0xC0C0C0);
  DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
  if (!node.spec) return;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, node.enabled ? 0x000000 : 0x808080);
  w32DrawText(dc, r.left + 6, r.top + 4, uxTextOfSpec(node.spec));
}

void drawFieldStandIn(HDC dc, RECT r, const UXNode& node) {
  fillSolid(dc, r, 0xFFFFFF);
  DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
  // The field's own editor, found through the live view.
  Ref<UXTextField> field = cast<UXTextField>(node.peer.lock());
  const UXFieldEditor* editor = field ? field->fieldEditor : nullptr;
  if (!editor || !editor->buffer || !*editor->buffer) return;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, 0x000000);
  // A secure field shows one bullet a character, never its text.
  w32DrawText(dc, r.left + 4, r.top + 3, w32FieldShown(editor->buffer, editor->secure != 0).c_str());
}

void drawUser(UXNodeTree* tree, int16_t n, RECT r) {
  HDC dc = gW32CurHdc;
  int saved = dc ? SaveDC(dc) : 0;
  if (saved) IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
  gW32UserFn(tree, n, gW32UserUd);
  if (saved) RestoreDC(dc, saved);
}

}  // namespace

void w32TreeDrawFrom(UXNodeTree* tree, int16_t start) {
  if (!tree || start < 0) return;
  tree->walk(start, [&](int16_t n, int32_t ax, int32_t ay) {
    const UXNode* node = tree->at(n);
    if (!node || node->hidden) return false;
    const bool hasControl = node->native != 0;
    RECT r{ax - gW32DrawOX, ay - gW32DrawOY, ax - gW32DrawOX + node->w, ay - gW32DrawOY + node->h};
    HDC dc = gW32CurHdc;
    switch (node->kind) {
      case kUXNodeSlider:
      case kUXNodePopUp:
      case kUXNodeStepper:
      case kUXNodeProgress:
      case kUXNodeSegmented:
      case kUXNodeToolbar:
      case kUXNodeTextView:
        return !hasControl;
      case kUXNodeGL:
        // A surface rendered off screen is copied in; it covers its area.
        if (dc && w32GlBlit(w32ControlOf(node), r.left, r.top, node->w, node->h)) return false;
        if (gW32UserFn) drawUser(tree, n, r);
        return true;
      case kUXNodeView:
      case kUXNodeShield:
      case kUXNodePeer:
        // The callback may add nodes: nothing of node is read after it.
        if (gW32UserFn) drawUser(tree, n, r);
        return true;
      case kUXNodeButton:
        if (!hasControl && dc) drawButtonStandIn(dc, r, *node);
        return true;
      case kUXNodeTextField:
        if (!hasControl && dc) drawFieldStandIn(dc, r, *node);
        return true;
      case kUXNodeScroll:
        return !hasControl;
      case kUXNodeTable:
        if (hasControl) return false;
        if (dc) {
          fillSolid(dc, r, 0xFFFFFF);
          DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
        }
        return true;
      case kUXNodeLabel:
        if (node->spec && dc) {
          SetBkMode(dc, TRANSPARENT);
          SetTextColor(dc, 0x000000);
          w32DrawText(dc, r.left + 2, r.top + 2, uxTextOfSpec(node->spec));
        }
        return true;
      default:
        return true;
    }
  });
}

void UXWin32Driver::treeDraw(UXNodeTree* tree, int16_t start, int32_t, int32_t, int32_t, int32_t) {
  w32TreeDrawFrom(tree, start);
}

}  // namespace quorl
