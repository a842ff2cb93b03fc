// Menus and shortcuts; sections follow UXMenu.h.
#include "ux/core/UXMenu.h"

#include <cstring>
#include <vector>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXViewDriver.h"

namespace quorl {

namespace {
constexpr char kTab = '\t';
}  // namespace

// ---------------------------------------------------------------------------
// 1. UXMenuKey

int32_t UXMenuKey::tabAt(const char* title) {
  if (!title) return -1;
  const char* tab = std::strchr(title, kTab);
  return tab ? int32_t(tab - title) : -1;
}

uint8_t UXMenuKey::key(const char* title) {
  const int32_t tab = tabAt(title);
  if (tab < 0) return 0;
  const char* after = title + tab + 1;
  return uint8_t(after[0] == '+' ? after[1] : after[0]);
}

bool UXMenuKey::shift(const char* title) {
  const int32_t tab = tabAt(title);
  return tab >= 0 && title[tab + 1] == '+';
}

uint32_t UXMenuKey::append(char* buffer, uint32_t position, const char* piece) {
  if (!buffer || !piece) return position;
  for (uint32_t i = 0; i < kPieceLimit && piece[i] != 0; i++) buffer[position++] = piece[i];
  return position;
}

std::string UXMenuKey::labelled(const char* title, const char* tabPiece, const char* ctrlPiece,
                                const char* shiftPiece) {
  if (!title) return std::string();
  const int32_t tab = tabAt(title);
  if (tab < 0) return std::string(title);
  // Room for the text, three capped pieces and the key: pieces longer than
  // their budget are cut, never written past the buffer.
  std::vector<char> buffer(size_t(tab) + 3 * kPieceLimit + 2, 0);
  std::memcpy(buffer.data(), title, size_t(tab));
  uint32_t pos = uint32_t(tab);
  pos = append(buffer.data(), pos, tabPiece);
  if (shift(title)) pos = append(buffer.data(), pos, shiftPiece);
  pos = append(buffer.data(), pos, ctrlPiece);
  const uint8_t k = key(title);
  if (k != 0) buffer[pos++] = char(k);
  return std::string(buffer.data(), pos);
}

// ---------------------------------------------------------------------------
// 2. Items and menus

std::string UXMenuItem::encoded() const {
  if (separator) return "-";
  if (enabled && !checked && key == 0) return title;
  std::string out;
  if (checked) out += kMarkChecked;
  else if (!enabled) out += kMarkDisabled;
  out += title;
  if (key != 0) {
    out += kTab;
    if (shift) out += '+';
    out += char(key);
  }
  return out;
}

Ref<String> UXMenuItem::description() const {
  const uint16_t values[] = {separator, enabled, checked, key, shift};
  return String::_classDescribe(classNameC(), values, 5, 0);
}

UXMenu::UXMenu() : items(make<Array>()) {}

UXMenu::UXMenu(std::string menuTitle) : title(std::move(menuTitle)), items(make<Array>()) {}

Ref<UXMenuItem> UXMenu::addItem(const char* itemTitle, UXMenuAction itemAction) {
  Ref<UXMenuItem> item = make<UXMenuItem>();
  item->title = itemTitle ? itemTitle : "";
  item->enabled = 1;
  item->action = std::move(itemAction);
  items->add(item);
  return item;
}

bool UXMenu::popUp(uint32_t windowHandle, int32_t x, int32_t y) {
  if (!gDriver || !gDriver->hasMenuPopUp() || items->isEmpty()) return false;
  // Entries that are not items show as blank lines and can never be chosen.
  const uint32_t count = items->count();
  std::vector<Ref<UXMenuItem>> entries(count);
  std::vector<const char*> titles(count);
  std::vector<uint32_t> flags(count);
  for (uint32_t i = 0; i < count; i++) {
    entries[i] = cast<UXMenuItem>(items->get(i));
    const UXMenuItem* item = entries[i].get();
    titles[i] = item ? item->title.c_str() : "";
    flags[i] = item ? (item->separator ? 1u : 0u) | (item->enabled ? 0u : 2u) : 2u;
  }
  const int32_t r = gDriver->menuPopUp(windowHandle, titles.data(), flags.data(), int32_t(count), x, y);
  if (r < 0 || uint32_t(r) >= count) return false;
  const Ref<UXMenuItem>& chosen = entries[size_t(r)];
  if (!chosen || chosen->separator || !chosen->enabled) return false;
  chosen->action.call(chosen);
  return true;
}

// ---------------------------------------------------------------------------
// 3. The menu bar

UXMenuBar::UXMenuBar() : menus(make<Array>()) {}

void UXMenuBar::install(uint32_t windowHandle) {
  if (menus->isEmpty() || !gDriver) return;
  const uint32_t menuCount = menus->count();
  // The driver copies what it shows: the strings only live for the call.
  std::vector<std::vector<std::string>> encodedItems(menuCount);
  std::vector<std::vector<const char*>> itemPointers(menuCount);
  std::vector<UXMenuRecord> records(menuCount);
  for (uint32_t m = 0; m < menuCount; m++) {
    Ref<UXMenu> menu = cast<UXMenu>(menus->get(m));
    if (menu) {
      for (uint32_t i = 0; i < menu->items->count(); i++) {
        Ref<UXMenuItem> item = cast<UXMenuItem>(menu->items->get(i));
        encodedItems[m].push_back(item ? item->encoded() : std::string());
      }
    }
    for (const std::string& s : encodedItems[m]) itemPointers[m].push_back(s.c_str());
    records[m].title = menu ? menu->title.c_str() : "";
    records[m].items = itemPointers[m].data();
    records[m].itemCount = int32_t(itemPointers[m].size());
  }
  handle = gDriver->menuBuild(records.data(), int32_t(menuCount));
  gDriver->menuShow(handle, 1);
}

void UXMenuBar::handleSelection(int32_t a, int32_t b) {
  const int64_t m = int64_t(a) - 2;
  if (m < 0 || m >= int64_t(menus->count()) || !gDriver) return;
  Ref<UXMenu> menu = cast<UXMenu>(menus->get(uint32_t(m)));
  if (!menu) return;
  const int32_t i = gDriver->menuItemOrd(handle, int32_t(m), b);
  if (i < 0 || uint32_t(i) >= menu->items->count()) return;
  Ref<UXMenuItem> item = cast<UXMenuItem>(menu->items->get(uint32_t(i)));
  if (item) item->action.call(item);
}

bool UXMenuBar::performShortcut(const UXEvent& event) {
  if (!(event.mods & kUXModCtrl)) return false;
  uint8_t c = uint8_t(event.key & 255);
  if (c >= 1 && c <= 26) c = uint8_t(c + 64);
  else if (c >= 'a' && c <= 'z') c = uint8_t(c - 32);
  const uint8_t wantShift = (event.mods & kUXModShiftAny) ? 1 : 0;
  for (uint32_t m = 0; m < menus->count(); m++) {
    Ref<UXMenu> menu = cast<UXMenu>(menus->get(m));
    if (!menu) continue;
    for (uint32_t i = 0; i < menu->items->count(); i++) {
      Ref<UXMenuItem> item = cast<UXMenuItem>(menu->items->get(i));
      if (!item || item->key == 0 || item->key != c) continue;
      if ((item->shift ? 1 : 0) != wantShift || !item->enabled || item->separator) continue;
      item->action.call(item);
      return true;
    }
  }
  return false;
}

}  // namespace quorl
