// Menus, field editors, view drawing and the constant answers. Sections:
//   1. Menu bar
//   2. Field editors
//   3. View drawing
//   4. Lifecycle and run-loop constants
#include <windows.h>

#include <map>
#include <vector>

#include "foundation/Array.h"
#include "ux/controls/UXTableView.h"
#include "ux/core/UXNodeTree.h"
#include "ux/win32/UXGdiGraphics.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Text.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Menu bar. Item i of menu m has the command id m * 256 + i + 1; there is
//    no accelerator table: shortcuts arrive as Ctrl characters. The driver
//    owns the bars it builds: the latest one, and the one shown until
//    another is shown in its place.

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

// ---------------------------------------------------------------------------
// 2. Field editors: records over the text field's own buffer, owned here
//    from fieldEditorNew to fieldEditorFree. A node's word is edited only when
//    it names a live record.

namespace {
std::map<const UXFieldEditor*, Ref<UXFieldEditor>>& editors() {
  static std::map<const UXFieldEditor*, Ref<UXFieldEditor>> live;
  return live;
}
UXFieldEditor* liveEditor(const UXFieldEditor* editor) {
  auto it = editors().find(editor);
  return it == editors().end() ? nullptr : it->second.get();
}
}  // namespace

UXFieldEditor* UXWin32Driver::fieldEditorNew(char* buffer, uint32_t capacity) {
  Ref<UXFieldEditor> editor = make<UXFieldEditor>();
  editor->buffer = buffer;
  editor->capacity = buffer ? capacity : 0;
  UXFieldEditor* record = editor.get();
  editors()[record] = editor;
  return record;
}

void UXWin32Driver::fieldEditorSetValid(UXFieldEditor* editor, const char* templ) {
  if (UXFieldEditor* e = liveEditor(editor)) e->templ = templ ? templ : "";
}

void UXWin32Driver::fieldEditorSetPlaceholder(UXFieldEditor* editor, const char* placeholder) {
  if (UXFieldEditor* e = liveEditor(editor)) e->placeholder = placeholder ? placeholder : "";
}

void UXWin32Driver::fieldEditorSetSecure(UXFieldEditor* editor, uint8_t secure) {
  if (UXFieldEditor* e = liveEditor(editor)) e->secure = secure ? 1 : 0;
}

void UXWin32Driver::fieldEditorFree(UXFieldEditor* editor) { editors().erase(editor); }

int32_t UXWin32Driver::editText(UXNodeTree* tree, int16_t node, uint8_t character, int32_t& caret, int32_t mode) {
  const UXNode* n = tree ? tree->at(node) : nullptr;
  UXFieldEditor* editor = n ? liveEditor(reinterpret_cast<const UXFieldEditor*>(uintptr_t(n->spec))) : nullptr;
  return editor ? editor->edit(character, caret, mode) : 0;
}

// ---------------------------------------------------------------------------
// 3. View drawing: the one shared surface, bound to the paint in progress.

UXGraphics* UXWin32Driver::beginViewDraw(int32_t x, int32_t y, int32_t w, int32_t h) {
  if (!gW32Gfx) return nullptr;
  gW32Gfx->bind(gW32CurHdc, x - gW32DrawOX, y - gW32DrawOY, w, h);
  return gW32Gfx;
}

void UXWin32Driver::endViewDraw() {}

void UXWin32Driver::setDrawOffset(int32_t x, int32_t y) {
  gW32DrawOX = x;
  gW32DrawOY = y;
}

// ---------------------------------------------------------------------------
// 4. Lifecycle and run-loop constants, and the driver's window tests.

uint32_t UXWin32Driver::handleOf(void* hwnd) { return w32HandleOf(static_cast<HWND>(hwnd)); }

bool UXWin32Driver::isEditClass(void* hwnd) {
  wchar_t name[16] = {};
  if (!hwnd || GetClassNameW(static_cast<HWND>(hwnd), name, 16) < 1) return false;
  return w32IsEditClassName(reinterpret_cast<const char16_t*>(name));
}

bool UXWin32Driver::untitled(const UXTableView& table) {
  uint32_t count = table.columns ? table.columns->count() : 0;
  for (uint32_t i = 0; i < count; ++i) {
    const char* title = table.columnTitle(int32_t(i));
    if (title && *title) return false;
  }
  return true;
}


bool UXWin32Driver::scrollsNatively() { return true; }
bool UXWin32Driver::setTurnHook(UXTurnHook, void*) { return false; }
bool UXWin32Driver::driverOwnsRunLoop() { return false; }
void UXWin32Driver::appAttached(Ptr<UXApplication>) {}
void UXWin32Driver::requestStop() {}
void UXWin32Driver::setHeadless(uint8_t) {}
bool UXWin32Driver::stopAfterMs(int32_t) { return false; }
void UXWin32Driver::runLoop() {}
int32_t UXWin32Driver::formFactorClass() { return 1; }
int32_t UXWin32Driver::orientation() { return 0; }

}  // namespace quorl
