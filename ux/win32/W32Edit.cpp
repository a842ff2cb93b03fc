// EDIT controls (W32Edit.h).
#include "ux/win32/W32Edit.h"

#include <commctrl.h>

#include <utility>

#include "ux/controls/UXTextField.h"
#include "ux/core/UXNodeTree.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Text.h"

namespace quorl {

namespace {
// The field's editor, found through the live view rather than the node's
// spec word, so a field that is gone leaves no record to read.
UXFieldEditor* editorOf(const W32Realize& r) {
  auto* field = dynamic_cast<UXTextField*>(r.peer.get());
  return field ? field->fieldEditor : nullptr;
}
const char* bufferOf(const UXFieldEditor* editor) { return editor && editor->buffer ? editor->buffer : ""; }
}  // namespace

DWORD w32EditStyle(bool secure) {
  DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;  // 0x50810080
  return secure ? style | ES_PASSWORD : style;
}

HWND w32EditCreate(const W32Realize& r) {
  UXFieldEditor* editor = editorOf(r);
  W32CreateArgs a = r.args(L"EDIT", w32EditStyle(editor && editor->secure));
  a.y = w32EditBandY(r.y, r.h);
  a.h = kW32EditHeight;
  a.text = bufferOf(editor);
  HWND control = w32CreateControl(a);
  if (!control) return nullptr;
  w32Route(control, r);
  if (W32Peer* peer = w32PeerOf(control)) peer->editor = editor;
  if (editor && !editor->placeholder.empty()) {
    std::wstring cue = w32Wide(editor->placeholder);
    if (cue.size() > 255) cue.resize(255);
    SendMessageW(control, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue.c_str()));
  }
  return control;
}

void w32EditSync(HWND control, const W32Realize& r, bool created) {
  if (!created) w32Move(control, r.x, w32EditBandY(r.y, r.h), r.w, kW32EditHeight);
  UXFieldEditor* editor = editorOf(r);
  if (!editor) return;
  // The control's change notice for text the driver puts back is no edit
  // of the user's: without the record the window procedure lets it pass,
  // so the field's change block runs only for typing.
  W32Peer* peer = w32PeerOf(control);
  UXFieldEditor* routed = peer ? std::exchange(peer->editor, nullptr) : nullptr;
  w32SyncText(control, bufferOf(editor));
  if (peer) peer->editor = routed;
}

}  // namespace quorl
