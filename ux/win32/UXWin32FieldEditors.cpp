// Field editors: records over the text field's own buffer, owned here from
// fieldEditorNew to fieldEditorFree. A node's word is edited only when it
// names a live record.
#include <map>

#include "ux/core/UXNodeTree.h"
#include "ux/win32/UXWin32Driver.h"

namespace quorl {

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

}  // namespace quorl
