// Trackbars (W32Trackbar.h).
#include "ux/win32/W32Trackbar.h"

#include <commctrl.h>

#include "ux/controls/UXSlider.h"

namespace quorl {

namespace {
// No font: the control shows no text.
W32CreateArgs plainArgs(const W32Realize& r) {
  W32CreateArgs a = r.args(TRACKBAR_CLASSW, kW32TrackbarStyle);
  a.font = false;
  return a;
}
}  // namespace

namespace {
void pushRange(HWND control, const UXSlider& slider) {
  if (SendMessageW(control, TBM_GETRANGEMIN, 0, 0) == LRESULT(slider.minimum) &&
      SendMessageW(control, TBM_GETRANGEMAX, 0, 0) == LRESULT(slider.maximum))
    return;
  SendMessageW(control, TBM_SETRANGEMIN, FALSE, LPARAM(slider.minimum));
  SendMessageW(control, TBM_SETRANGEMAX, TRUE, LPARAM(slider.maximum));
}
}  // namespace

HWND w32TrackbarCreate(const W32Realize& r) {
  auto* slider = dynamic_cast<UXSlider*>(r.peer.get());
  if (!slider) return nullptr;
  HWND control = w32CreateControl(plainArgs(r));
  if (!control) return nullptr;
  w32Route(control, r);
  pushRange(control, *slider);
  SendMessageW(control, TBM_SETPOS, TRUE, LPARAM(slider->value));
  return control;
}

void w32TrackbarSync(HWND control, const W32Realize& r, bool created) {
  auto* slider = dynamic_cast<UXSlider*>(r.peer.get());
  if (!slider || created) return;
  w32Move(control, r.x, r.y, r.w, r.h);
  // A range set after creation reaches the control too; the value alone
  // would be clamped to the old one.
  pushRange(control, *slider);
  if (SendMessageW(control, TBM_GETPOS, 0, 0) != LRESULT(slider->value))
    SendMessageW(control, TBM_SETPOS, TRUE, LPARAM(slider->value));
}

}  // namespace quorl
