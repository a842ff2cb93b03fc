// UXTextField.
#include "ux/controls/UXTextField.h"

#include <algorithm>
#include <cstring>

#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXDispatch.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

namespace {
constexpr uint16_t kKeyReturn = 13;
constexpr uint16_t kKeyLineFeed = 10;
// editText modes.
constexpr int32_t kFocusGained = 0;
constexpr int32_t kTyped = 1;
constexpr int32_t kFocusLost = 2;
}  // namespace

UXTextField::UXTextField() : buffer(kDefaultCapacity, 0) {}

UXTextField::~UXTextField() { releaseEditor(); }

void UXTextField::releaseEditor() {
  if (!fieldEditor) return;
  if (Ref<UXViewDriver> maker = editorDriver_.lock()) maker->fieldEditorFree(fieldEditor);
  fieldEditor = nullptr;
}

uint32_t UXTextField::usableCapacity() const {
  return std::max<uint32_t>(1, std::min<uint32_t>(capacity, uint32_t(buffer.size())));
}

void UXTextField::attachTo(const Ref<UXViewTree>& newTree, UXRect frame) {
  if (isAttached() || !newTree || !gDriver) return;
  // A field whose earlier tree is gone frees its earlier editor.
  releaseEditor();
  UXView::attachTo(newTree, frame);
  if (tree.lock() != newTree) return;  // the driver's tree is full
  fieldEditor = gDriver->fieldEditorNew(buffer.data(), usableCapacity());
  editorDriver_ = gDriver;
  gDriver->structSetSpec(newTree->driverTree, int16_t(node), uxSpecOfEditor(fieldEditor));
  gDriver->structSetPeer(newTree->driverTree, int16_t(node), this);
  newTree->setEditableOf(node, 1);
  if (placeholder) gDriver->fieldEditorSetPlaceholder(fieldEditor, placeholder);
  if (secure) gDriver->fieldEditorSetSecure(fieldEditor, 1);
}

bool UXTextField::edit(uint8_t character, int32_t mode, int32_t& handled) {
  Ref<UXViewTree> t = tree.lock();
  if (!t || !gDriver) return false;
  int32_t c = caret > uint32_t(INT32_MAX) ? INT32_MAX : int32_t(caret);
  handled = gDriver->editText(gDriver->structObjects(t->driverTree), int16_t(node), character, c, mode);
  caret = uint32_t(std::max(c, 0));
  return true;
}

void UXTextField::keyDown(UXEvent& event) {
  const uint16_t key = event.key;
  if ((key == kKeyReturn || key == kKeyLineFeed) && uxBlockIsSet(onEnter)) {
    // Consumed even when the block cannot run (no function, target gone).
    sendEnter();
    return;
  }
  int32_t handled = 0;
  if (edit(uint8_t(key), kTyped, handled) && handled) {
    redraw();
    fieldDidChange();
    return;
  }
  UXResponder::keyDown(event);
}

bool UXTextField::becomeFirstResponder() {
  int32_t handled = 0;
  if (edit(0, kFocusGained, handled)) redraw();
  return true;
}

bool UXTextField::resignFirstResponder() {
  int32_t handled = 0;
  if (edit(0, kFocusLost, handled)) redraw();
  return true;
}

Ref<String> UXTextField::description() const {
  const uint16_t values[] = {capacity, uint16_t(caret), secure};
  return String::_classDescribe("UXTextField", values, 3, 0x2);
}

uint32_t UXTextField::copyIn(const char* text) {
  const uint32_t limit = usableCapacity() - 1;
  // A text past the capacity is cut at a character boundary, so the field
  // never holds half a character.
  const size_t length = text ? strnlen(text, size_t(limit) + 1) : 0;
  const uint32_t n = uint32_t(String::utf8Prefix(text, length, limit));
  // Byte by byte, forwards: a source inside the buffer itself is safe.
  for (uint32_t i = 0; i < n; i++) buffer[i] = text[i];
  buffer[n] = 0;
  return n;
}

void UXTextField::setText(const char* text) {
  caret = copyIn(text);
  redraw();
}

void UXTextField::applyNativeText(const char* text) {
  const uint32_t n = copyIn(text);
  // The caret stays where it was, but within the new text and between two
  // of its characters, so the next edit never splits one.
  caret = uint32_t(String::utf8Prefix(buffer.data(), n, std::min(caret, n)));
  fieldDidChange();
}

void UXTextField::fieldDidChange() {
  if (gEventTap.isSet() && gInputReplay == 0) {
    Ref<UXEvent> record = make<UXEvent>();
    record->type = kUXEventFieldChanged;
    record->a = int32_t(node);
    record->object = String::withCString(text());
    gEventTap.call(*record);
  }
  onChange.send(self<UXView>());
}

bool UXTextField::sendEnter() { return onEnter.send(self<UXView>()); }

}  // namespace quorl
