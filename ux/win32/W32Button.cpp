// BUTTON controls (W32Button.h).
#include "ux/win32/W32Button.h"

#include "ux/core/UXNodeTree.h"

namespace quorl {

DWORD w32ButtonStyle(uint32_t kind) {
  DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;  // 0x50010000
  if (kind == kUXNodeCheckbox) style |= BS_AUTOCHECKBOX;
  if (kind == kUXNodeRadio) style |= BS_AUTORADIOBUTTON;
  return style;
}

HWND w32ButtonCreate(const W32Realize& r) {
  W32CreateArgs a = r.args(L"BUTTON", w32ButtonStyle(r.kind));
  a.text = r.title();
  HWND control = w32CreateControl(a);
  w32Route(control, r);
  return control;
}

void w32ButtonSync(HWND control, const W32Realize& r, bool created) {
  if (!created) {
    w32Move(control, r.x, r.y, r.w, r.h);
    if (const char* title = r.title()) w32SyncText(control, title);
  }
  if (r.kind == kUXNodeCheckbox || r.kind == kUXNodeRadio) {
    WPARAM state = WPARAM(w32ToggleState(r.peer, r.kind));
    if (SendMessageW(control, BM_GETCHECK, 0, 0) != LRESULT(state)) SendMessageW(control, BM_SETCHECK, state, 0);
  }
}

}  // namespace quorl
