// What comes back from native controls beyond plain clicks: value changes
// of trackbars, up-down controls and combo boxes, and the modal drag of a
// list or tree row with its hover and drop reports.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ux/controls/UXPopUpButton.h"
#include "ux/controls/UXSlider.h"
#include "ux/controls/UXStepper.h"
#include "ux/core/UXApplication.h"
#include "ux/win32/W32Globals.h"

namespace quorl {

void w32ValueChanged(HWND control, int32_t value) {
  W32Peer* peer = w32PeerOf(control);
  Ref<UXControl> view = peer ? cast<UXControl>(peer->view.lock()) : nullptr;
  if (!view) return;
  if (Ref<UXSlider> slider = cast<UXSlider>(view)) slider->applyNativeValue(value);
  else if (Ref<UXStepper> stepper = cast<UXStepper>(view)) stepper->applyNativeValue(value);
  else if (Ref<UXPopUpButton> popUp = cast<UXPopUpButton>(view)) popUp->selectItem(value);
  // Every control runs its action, also when the value was out of range.
  view->sendAction();
}

namespace {
HTREEITEM treeItemAt(HWND tree, HWND top, int32_t x, int32_t y) {
  POINT p{x, y};
  MapWindowPoints(top, tree, &p, 1);
  TVHITTESTINFO hit{};
  hit.pt = p;
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
}

void dropHighlight(HWND tree, HTREEITEM item) {
  SendMessageW(tree, TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(item));
}
}  // namespace

void w32RowDrag(HWND control, int32_t kind, const char* text, bool right, int32_t x, int32_t y) {
  HWND top = nullptr;
  uint32_t window = w32TopHandle(control, &top);
  if (!window || !gApp || !text) return;
  // The hover and drop handlers may reload the view that owns the text.
  const std::string carried = text;
  const bool isTree = kind == 1;
  POINT start{x, y};
  MapWindowPoints(control, top, &start, 1);
  if (isTree) gApp->deliverItemHover(carried.c_str(), window, start.x, start.y);

  SetCapture(top);
  HTREEITEM lit = nullptr;
  bool drop = false;
  int32_t dropX = 0, dropY = 0;
  const UINT up = right ? WM_RBUTTONUP : WM_LBUTTONUP;
  MSG msg{};
  for (;;) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      // The main loop must still see the quit.
      if (got == 0) w32RepostQuit(msg);
      break;
    }
    if (msg.message == WM_MOUSEMOVE || msg.message == up) {
      // Points of messages to other windows (the control under the mouse
      // while the capture is elsewhere) come in the top window's terms.
      POINT p{int16_t(LOWORD(msg.lParam)), int16_t(HIWORD(msg.lParam))};
      if (msg.hwnd != top) MapWindowPoints(msg.hwnd, top, &p, 1);
      if (msg.message == up) {
        drop = true;
        dropX = p.x;
        dropY = p.y;
        break;
      }
      if (isTree) {
        HTREEITEM item = treeItemAt(control, top, p.x, p.y);
        if (item != lit) {
          dropHighlight(control, item);
          lit = item;
        }
      }
      gApp->deliverItemHover(carried.c_str(), window, p.x, p.y);
      continue;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  ReleaseCapture();
  if (isTree) dropHighlight(control, nullptr);
  if (!gApp) return;
  gApp->deliverItemHover(carried.c_str(), window, -1, -1);
  if (drop) gApp->deliverItemDrop(carried.c_str(), window, dropX, dropY);
}

}  // namespace quorl
