// Menu bars, field editors and view drawing (UXWin32Menus.cpp on Win32).
#include <algorithm>
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

UXFieldEditor* UXHeadlessDriver::fieldEditorNew(char* buffer, uint32_t capacity) {
  auto editor = std::make_unique<UXFieldEditor>();
  editor->buffer = buffer;
  editor->capacity = buffer ? capacity : 0;
  editors_.push_back(std::move(editor));
  return editors_.back().get();
}

bool UXHeadlessDriver::isLiveFieldEditor(const UXFieldEditor* editor) const {
  if (!editor) return false;
  for (const auto& e : editors_)
    if (e.get() == editor) return true;
  return false;
}

void UXHeadlessDriver::fieldEditorSetValid(UXFieldEditor* editor, const char* templ) {
  if (isLiveFieldEditor(editor)) editor->templ = cstr(templ);
}

void UXHeadlessDriver::fieldEditorSetPlaceholder(UXFieldEditor* editor, const char* placeholder) {
  if (isLiveFieldEditor(editor)) editor->placeholder = cstr(placeholder);
}

void UXHeadlessDriver::fieldEditorSetSecure(UXFieldEditor* editor, uint8_t secure) {
  if (isLiveFieldEditor(editor)) editor->secure = secure ? 1 : 0;
}

void UXHeadlessDriver::fieldEditorFree(UXFieldEditor* editor) {
  auto it = std::find_if(editors_.begin(), editors_.end(), [&](const auto& e) { return e.get() == editor; });
  if (it != editors_.end()) editors_.erase(it);
}

int32_t UXHeadlessDriver::editText(UXNodeTree* tree, int16_t node, uint8_t character, int32_t& caret,
                                   int32_t mode) {
  const UXNode* n = tree ? tree->at(node) : nullptr;
  if (!n || n->spec == 0) return 0;
  // The node's word is only a field editor when it names a live one: a title
  // pointer or a freed editor is never edited.
  auto* editor = reinterpret_cast<UXFieldEditor*>(uintptr_t(n->spec));
  if (!isLiveFieldEditor(editor)) return 0;
  return editor->edit(character, caret, mode);
}

UXGraphics* UXHeadlessDriver::beginViewDraw(int32_t x, int32_t y, int32_t w, int32_t h) {
  // Paint logs are replaced by every paint; drawing outside a paint would
  // grow the stray log without end, so its older half is dropped.
  if (painting_ == 0 && strayLines_.size() >= kMaxStrayLines)
    strayLines_.erase(strayLines_.begin(), strayLines_.begin() + ptrdiff_t(strayLines_.size() / 2));
  surface_.setOrigin(x - drawOffsetX_, y - drawOffsetY_);
  std::string s = "view ";
  appendInts(s, {x - drawOffsetX_, y - drawOffsetY_, w, h});
  surface_.note(s);
  return &surface_;
}

void UXHeadlessDriver::endViewDraw() { surface_.setOrigin(0, 0); }

void UXHeadlessDriver::setDrawOffset(int32_t x, int32_t y) {
  drawOffsetX_ = x;
  drawOffsetY_ = y;
}

bool UXHeadlessDriver::scrollsNatively() { return true; }

// Run-loop and start-up answers: the caller runs the loop, and the driver
// has no screen to change shape.
bool UXHeadlessDriver::setTurnHook(UXTurnHook, void*) { return false; }
bool UXHeadlessDriver::driverOwnsRunLoop() { return false; }
void UXHeadlessDriver::appAttached(Ptr<UXApplication>) {}
void UXHeadlessDriver::requestStop() {}
void UXHeadlessDriver::setHeadless(uint8_t on) { headless_ = on; }
bool UXHeadlessDriver::stopAfterMs(int32_t) { return false; }
void UXHeadlessDriver::runLoop() {}
int32_t UXHeadlessDriver::formFactorClass() { return 1; }
int32_t UXHeadlessDriver::orientation() { return 0; }

}  // namespace quorl
