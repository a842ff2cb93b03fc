// Field editors: records over a text field's own buffer, owned by the
// driver from fieldEditorNew to fieldEditorFree, and editText, which edits a
// node's buffer only when its word names a live record
// (UXWin32FieldEditors.cpp on Win32).
#include <algorithm>
#include <memory>

#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {

using namespace headless;

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

}  // namespace quorl
