// Menu bars: built, shown on every window, items checked and enabled
// (UXWin32Menus.cpp on Win32).
#include <memory>
#include <string>

#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {

using namespace headless;

uint64_t UXHeadlessDriver::menuBuild(const UXMenuRecord* menus, int32_t menuCount) {
  auto bar = std::make_unique<MenuBar>();
  for (int32_t i = 0; menus && i < menuCount; ++i) {
    const UXMenuRecord& m = menus[i];
    bar->titles.push_back(cstr(m.title));
    std::vector<std::string> items;
    for (int32_t j = 0; m.items && j < m.itemCount; ++j) items.push_back(cstr(m.items[j]));
    bar->checked.emplace_back(items.size(), 0);
    bar->disabled.emplace_back(items.size(), 0);
    bar->items.push_back(std::move(items));
  }
  menuBars_.push_back(std::move(bar));
  return menuBars_.size();
}

const UXHeadlessDriver::MenuBar* UXHeadlessDriver::menuBar(uint64_t handle) const {
  return handle >= 1 && handle <= menuBars_.size() ? menuBars_[handle - 1].get() : nullptr;
}

void UXHeadlessDriver::menuShow(uint64_t bar, uint8_t on) {
  if (!menuBar(bar)) return;
  for (uint32_t h = 1; h <= kMaxWindows; ++h) {
    Window& w = windows_[h];
    if (!w.live) continue;
    if (on)
      w.menuBar = bar;
    else if (w.menuBar == bar)
      w.menuBar = 0;
  }
}

int32_t UXHeadlessDriver::menuItemOrd(uint64_t, int32_t, int32_t position) { return position; }

void UXHeadlessDriver::menuCheck(uint64_t bar, int32_t menu, int32_t item, uint8_t on) {
  if (!menuBar(bar)) return;
  MenuBar& b = *menuBars_[bar - 1];
  if (menu >= 0 && size_t(menu) < b.checked.size() && item >= 0 && size_t(item) < b.checked[size_t(menu)].size())
    b.checked[size_t(menu)][size_t(item)] = on ? 1 : 0;
}

void UXHeadlessDriver::menuEnable(uint64_t bar, int32_t menu, int32_t item, uint8_t on) {
  if (!menuBar(bar)) return;
  MenuBar& b = *menuBars_[bar - 1];
  if (menu >= 0 && size_t(menu) < b.disabled.size() && item >= 0 &&
      size_t(item) < b.disabled[size_t(menu)].size())
    b.disabled[size_t(menu)][size_t(item)] = on ? 0 : 1;
}

}  // namespace quorl
