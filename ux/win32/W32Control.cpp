// The pieces every native control family shares (W32Control.h).
#include "ux/win32/W32Control.h"

#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "ux/controls/UXCheckbox.h"
#include "ux/controls/UXControl.h"
#include "ux/core/UXNodeTree.h"
#include "ux/core/UXViewDriver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Text.h"

namespace quorl {

HWND w32CreateControl(const W32CreateArgs& a) {
  // The text crosses to Windows as UTF-16 so a label in any script survives.
  std::wstring text = w32Wide(a.text ? a.text : "");
  HWND control = CreateWindowExW(a.exStyle, a.className, text.c_str(), a.style, a.x, a.y, a.w, a.h, a.parent,
                                 reinterpret_cast<HMENU>(intptr_t(a.id)), gW32Inst, nullptr);
  if (control && a.font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(gW32Font), TRUE);
  return control;
}

const char* W32Realize::title() const {
  const UXNode* n = tree ? tree->at(node) : nullptr;
  return n && n->spec ? uxTextOfSpec(n->spec) : nullptr;
}

W32CreateArgs W32Realize::args(const wchar_t* className, DWORD style) const {
  W32CreateArgs a;
  a.parent = parent;
  a.className = className;
  a.style = style;
  a.x = x, a.y = y, a.w = w, a.h = h;
  a.id = int32_t(node) + kUXNativeIdBase;
  return a;
}

void w32Route(HWND control, const W32Realize& r) {
  if (!control) return;
  W32Peer& peer = w32NewPeer(control);
  peer.view = r.peer ? Weak<Object>(r.peer) : Weak<Object>();
  peer.node = r.node;
  peer.window = r.window;
}

HWND w32ControlOf(const UXNode* node) { return node ? reinterpret_cast<HWND>(uintptr_t(node->native)) : nullptr; }

void w32Move(HWND control, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (!control) return;
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  if (r.left == x && r.top == y && r.right - r.left == w && r.bottom - r.top == h) return;
  MoveWindow(control, x, y, w, h, TRUE);
}

// ---------------------------------------------------------------------------
// Titles.

int32_t w32Same(const char* a, const char* b) {
  if (!a || !b) return a == b ? 1 : 0;
  return std::strcmp(a, b) == 0 ? 1 : 0;
}

std::string w32GetText(HWND control) {
  int length = GetWindowTextLengthW(control);
  if (length < 1) return std::string();
  std::wstring wide(size_t(length) + 1, L'\0');
  length = GetWindowTextW(control, wide.data(), length + 1);
  return w32Utf8(wide.data(), size_t(length < 0 ? 0 : length));
}

void w32SyncText(HWND control, const char* text) {
  if (!control || !text) return;
  // The current text is read whole, however long, so a long text that is
  // unchanged is not set again.
  if (w32Same(w32GetText(control).c_str(), text)) return;
  SetWindowTextW(control, w32Wide(text).c_str());
}

// ---------------------------------------------------------------------------
// Realising decisions.

int32_t w32ToggleState(Ptr<Object> view, uint32_t kind) {
  if (kind == kUXNodeCheckbox) {
    auto* box = dynamic_cast<UXCheckbox*>(view.get());
    return box && box->state ? 1 : 0;
  }
  auto* radio = dynamic_cast<UXRadioButton*>(view.get());
  return radio && radio->selected ? 1 : 0;
}

uint32_t w32AlignOf(Ptr<Object> view) {
  auto* control = dynamic_cast<UXControl*>(view.get());
  return control ? control->alignment : 0;
}

void w32PushAlign(HWND control, uint32_t alignment) {
  if (!control) return;
  LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  LONG_PTR bits = alignment == 1 ? ES_RIGHT : alignment == 2 ? ES_CENTER : ES_LEFT;
  if ((style & 3) == bits) return;
  SetWindowLongPtrW(control, GWL_STYLE, (style & ~LONG_PTR(3)) | bits);
  InvalidateRect(control, nullptr, TRUE);
}

// ---------------------------------------------------------------------------
// Per-control state.

namespace {
LRESULT CALLBACK stateSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR owner) {
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, stateSubclass, id);
    LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    reinterpret_cast<W32StateBase*>(owner)->drop(window);
    return result;
  }
  return DefSubclassProc(window, message, wParam, lParam);
}
}  // namespace

void w32WatchDestroy(HWND control, W32StateBase* owner) {
  if (control && owner)
    SetWindowSubclass(control, stateSubclass, reinterpret_cast<UINT_PTR>(owner), reinterpret_cast<DWORD_PTR>(owner));
}

}  // namespace quorl
