// Up-down controls (W32UpDown.h).
#include "ux/win32/W32UpDown.h"

#include <commctrl.h>

#include "ux/controls/UXStepper.h"

namespace quorl {

namespace {
// No font: the control shows no text.
W32CreateArgs plainArgs(const W32Realize& r) {
  W32CreateArgs a = r.args(UPDOWN_CLASSW, kW32UpDownStyle);
  a.font = false;
  return a;
}
}  // namespace

namespace {
void pushRange(HWND control, const UXStepper& stepper) {
  int lo = 0, hi = 0;
  SendMessageW(control, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
  if (lo != stepper.minimum || hi != stepper.maximum)
    SendMessageW(control, UDM_SETRANGE32, WPARAM(stepper.minimum), LPARAM(stepper.maximum));
}
}  // namespace

HWND w32UpDownCreate(const W32Realize& r) {
  auto* stepper = dynamic_cast<UXStepper*>(r.peer.get());
  if (!stepper) return nullptr;
  HWND control = w32CreateControl(plainArgs(r));
  if (!control) return nullptr;
  w32Route(control, r);
  SendMessageW(control, UDM_SETRANGE32, WPARAM(stepper->minimum), LPARAM(stepper->maximum));
  SendMessageW(control, UDM_SETPOS32, 0, LPARAM(stepper->value));
  return control;
}

void w32UpDownSync(HWND control, const W32Realize& r, bool created) {
  auto* stepper = dynamic_cast<UXStepper*>(r.peer.get());
  if (!stepper || created) return;
  w32Move(control, r.x, r.y, r.w, r.h);
  pushRange(control, *stepper);
  if (SendMessageW(control, UDM_GETPOS32, 0, 0) != LRESULT(stepper->value))
    SendMessageW(control, UDM_SETPOS32, 0, LPARAM(stepper->value));
}

}  // namespace quorl
