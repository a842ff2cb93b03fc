// COMBOBOX controls (W32Combo.h).
#include "ux/win32/W32Combo.h"

#include "ux/controls/UXPopUpButton.h"
#include "ux/win32/W32Text.h"

namespace quorl {

namespace {
// The dropped list's height right after the driver placed the combo box: a
// move by anyone else (the tree's own frame changes) shows as a different
// height, and the box is placed again.
struct ComboPlace {
  LONG dropped = -1;
};
W32StateMap<ComboPlace> gW32ComboPlaces;

LONG droppedHeight(HWND control) {
  RECT r{};
  SendMessageW(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&r));
  return r.bottom - r.top;
}

void place(HWND control, const W32Realize& r) {
  ComboPlace& p = gW32ComboPlaces.of(control);
  RECT now{};
  GetWindowRect(control, &now);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&now), 2);
  if (now.left == r.x && now.top == r.y && now.right - now.left == r.w && p.dropped == droppedHeight(control)) return;
  MoveWindow(control, r.x, r.y, r.w, r.h + kW32ComboDrop, TRUE);
  p.dropped = droppedHeight(control);
}

// Whether the control lists exactly the pop-up's titles, in order.
bool listsItems(HWND control, UXPopUpButton& popUp) {
  uint32_t n = popUp.itemCount();
  if (SendMessageW(control, CB_GETCOUNT, 0, 0) != LRESULT(n)) return false;
  for (uint32_t i = 0; i < n; ++i) {
    LRESULT length = SendMessageW(control, CB_GETLBTEXTLEN, i, 0);
    if (length < 0) return false;
    std::wstring text(size_t(length) + 1, L'\0');
    SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    if (w32Utf8(text.c_str(), size_t(length)) != popUp.itemTitle(i)) return false;
  }
  return true;
}

void fill(HWND control, UXPopUpButton& popUp) {
  SendMessageW(control, CB_RESETCONTENT, 0, 0);
  for (uint32_t i = 0; i < popUp.itemCount(); ++i)
    SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w32Wide(popUp.itemTitle(i)).c_str()));
}
}  // namespace

HWND w32ComboCreate(const W32Realize& r) {
  auto* popUp = dynamic_cast<UXPopUpButton*>(r.peer.get());
  if (!popUp) return nullptr;
  W32CreateArgs a = r.args(L"COMBOBOX", kW32ComboStyle);
  a.h = r.h + kW32ComboDrop;
  HWND control = w32CreateControl(a);
  if (!control) return nullptr;
  w32Route(control, r);
  fill(control, *popUp);
  gW32ComboPlaces.of(control).dropped = droppedHeight(control);
  return control;
}

void w32ComboSync(HWND control, const W32Realize& r, bool created) {
  auto* popUp = dynamic_cast<UXPopUpButton*>(r.peer.get());
  if (!popUp) return;
  if (!created) {
    place(control, r);
    // Items changed after creation: the list follows them, so the index the
    // toolkit selects names the same entry here.
    if (!listsItems(control, *popUp)) fill(control, *popUp);
  }
  if (SendMessageW(control, CB_GETCURSEL, 0, 0) != LRESULT(popUp->selectedIndex))
    SendMessageW(control, CB_SETCURSEL, WPARAM(popUp->selectedIndex), 0);
}

}  // namespace quorl
