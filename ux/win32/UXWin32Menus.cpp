// The menu bar. Item i of menu m has the command id m * 256 + i + 1; there
// is no accelerator table: shortcuts arrive as Ctrl characters. The driver
// owns the bars it builds: the latest one, and the one shown until another
// is shown in its place.
#include <windows.h>

#include <vector>

#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Pure.h"
#include "ux/win32/W32Text.h"

namespace quorl {

namespace {
std::vector<W32Menu> gW32Bars;  // owned: every bar built and not yet replaced

// Destroys the bars that are neither shown nor the latest built.
void dropReplacedBars() {
  for (size_t i = 0; i + 1 < gW32Bars.size();) {
    if (gW32Bars[i].get() == gW32Menu) ++i;
    else gW32Bars.erase(gW32Bars.begin() + std::ptrdiff_t(i));
  }
}
}  // namespace

uint64_t UXWin32Driver::menuBuild(const UXMenuRecord* menus, int32_t menuCount) {
  W32Menu bar(CreateMenu());
  if (!bar) return 0;
  for (int32_t m = 0; menus && m < menuCount; ++m) {
    W32Menu popup(CreatePopupMenu());
    if (!popup) continue;
    for (int32_t i = 0; menus[m].items && i < menus[m].itemCount; ++i) {
      W32MenuItem item = w32MenuItemOf(menus[m].items[i]);
      if (item.separator) AppendMenuW(popup.get(), MF_SEPARATOR, 0, nullptr);
      else AppendMenuW(popup.get(), MF_STRING | item.flags, w32CommandId(m, i), w32Wide(item.label).c_str());
    }
    // The bar owns a pop-up once it holds it.
    if (AppendMenuW(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup.get()), w32Wide(menus[m].title).c_str()))
      popup.release();
  }
  const uint64_t handle = uint64_t(reinterpret_cast<uintptr_t>(bar.get()));
  gW32Bars.push_back(std::move(bar));
  dropReplacedBars();
  return handle;
}

void UXWin32Driver::menuShow(uint64_t bar, uint8_t on) {
  gW32Menu = on ? reinterpret_cast<HMENU>(uintptr_t(bar)) : nullptr;
  for (uint32_t h = 1; h < gW32NextHandle && h <= kW32MaxWindows; ++h) {
    if (!gW32Hwnds[h]) continue;
    // The client area shrinks or grows by the bar: WM_SIZE keeps the table
    // current.
    SetMenu(gW32Hwnds[h], gW32Menu);
    DrawMenuBar(gW32Hwnds[h]);
  }
  dropReplacedBars();
}

int32_t UXWin32Driver::menuItemOrd(uint64_t, int32_t, int32_t position) { return position; }

void UXWin32Driver::menuCheck(uint64_t bar, int32_t menu, int32_t item, uint8_t on) {
  if (bar)
    CheckMenuItem(reinterpret_cast<HMENU>(uintptr_t(bar)), w32CommandId(menu, item),
                  MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void UXWin32Driver::menuEnable(uint64_t bar, int32_t menu, int32_t item, uint8_t on) {
  if (bar)
    EnableMenuItem(reinterpret_cast<HMENU>(uintptr_t(bar)), w32CommandId(menu, item),
                   MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

}  // namespace quorl
