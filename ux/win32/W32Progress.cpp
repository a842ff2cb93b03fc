// Progress bars (W32Progress.h).
#include "ux/win32/W32Progress.h"

#include <commctrl.h>

#include "ux/controls/UXProgressBar.h"

namespace quorl {

namespace {
// No font: the control shows no text.
W32CreateArgs plainArgs(const W32Realize& r) {
  W32CreateArgs a = r.args(PROGRESS_CLASSW, kW32ProgressStyle);
  a.font = false;
  return a;
}
}  // namespace

HWND w32ProgressCreate(const W32Realize& r) {
  if (!dynamic_cast<UXProgressBar*>(r.peer.get())) return nullptr;
  // No user data: the bar sends nothing back.
  HWND control = w32CreateControl(plainArgs(r));
  if (control) SendMessageW(control, PBM_SETRANGE32, 0, 1000);
  return control;
}

void w32ProgressSync(HWND control, const W32Realize& r, bool created) {
  auto* bar = dynamic_cast<UXProgressBar*>(r.peer.get());
  if (!bar) return;
  if (!created) w32Move(control, r.x, r.y, r.w, r.h);
  WPARAM mille = bar->nativeFractionMille();
  if (SendMessageW(control, PBM_GETPOS, 0, 0) != LRESULT(mille)) SendMessageW(control, PBM_SETPOS, mille, 0);
}

}  // namespace quorl
