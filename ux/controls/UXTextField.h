// The single-line text field: a fixed buffer that the driver's field editor
// edits in place, with a placeholder, a secure mode, a change block and an
// Enter block.
//
// The node (kind 3) carries the field editor as its spec word. On Win32 it
// becomes a native EDIT control: the driver hands the control's text after
// each of the user's edits to `applyNativeText`, runs `sendEnter` on Return,
// and puts `buffer` back into the control when they differ. Elsewhere keys
// arrive as `keyDown` and are applied through `UXViewDriver::editText`.
// Every edit is offered to the application's event tap as a type-14 record.
#pragma once

#include <cstdint>
#include <vector>

#include "ux/controls/UXControl.h"

namespace quorl {

class UXFieldEditor;
class UXViewDriver;

class UXTextField : public UXControl {
 public:
  static constexpr uint16_t kDefaultCapacity = 128;

  // `capacity` bytes, NUL-terminated UTF-8. The field editor points at this
  // memory, so it is never reallocated once the field is attached.
  std::vector<char> buffer;
  uint16_t capacity = kDefaultCapacity;  // terminating NUL included
  uint32_t caret = 0;                    // byte offset, kept by editText
  UXFieldEditor* fieldEditor = nullptr;  // owned by the driver: freed in ~UXTextField
  const char* placeholder = nullptr;     // borrowed; set before attachTo
  uint8_t secure = 0;                    // 1 masks the entry; set before attachTo
  UXAction onChange;                     // after every edit
  UXAction onEnter;                      // on Return or line feed

  UXTextField();
  ~UXTextField() override;

  uint8_t kind() const override { return 3; }
  // The node, a new field editor over buffer as its spec, the field as
  // peer, the node editable, then the placeholder and secure flag. A field
  // is attached once: a second attach while attached is ignored.
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  // Return / line feed run onEnter when it is set; other keys go through the
  // field editor, and keys it refuses go up the responder chain.
  void keyDown(UXEvent& event) override;
  bool acceptsFirstResponder() override { return isEnabled(); }
  // Both put the caret at the end of the text and answer true.
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;
  // <UXTextField>(capacity, caret, secure)
  Ref<String> description() const override;

  // Copies at most capacity - 1 bytes of text (null: ""), caret at its end,
  // and redraws; runs no block and posts no record.
  void setText(const char* text);
  // The event-tap record (type 14), then onChange.
  void fieldDidChange();
  // Runs onEnter with this field as sender; answers whether it ran.
  bool sendEnter();
  // What a driver does after the user edited the native control: copies
  // the control's text (null: "") into the buffer, at most capacity - 1
  // bytes, then fieldDidChange. The caret stays where it was when that is
  // inside the new text and between two characters; otherwise it moves back
  // to the nearest such place.
  void applyNativeText(const char* text);
  const char* text() const { return buffer.data(); }

  const char* classNameC() const override { return "UXTextField"; }

 private:
  // The buffer's usable size: capacity, but never more than was allocated.
  uint32_t usableCapacity() const;
  // Copies text into the buffer within its capacity; answers the length.
  uint32_t copyIn(const char* text);
  // editText on this field's node; false when it is not attached.
  bool edit(uint8_t character, int32_t mode, int32_t& handled);
  void releaseEditor();

  Weak<UXViewDriver> editorDriver_;  // the driver that made fieldEditor
};

}  // namespace quorl
