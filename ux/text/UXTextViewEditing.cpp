// UXTextView, part 2: keys, caret and selection moves, typing, deleting,
// undo and redo by whole-text snapshots.
#include <algorithm>

#include "foundation/String.h"
#include "ux/core/UXEvent.h"
#include "ux/text/UXPasteboard.h"
#include "ux/text/UXTextView.h"

namespace quorl {

namespace {

// Scan codes in bits 8-15 of a key event.
enum : uint8_t {
  kScanLeft = 0x4B, kScanLeftExt = 0x73, kScanRight = 0x4D, kScanRightExt = 0x74, kScanUp = 0x48,
  kScanDown = 0x50, kScanHome = 0x47, kScanEnd = 0x4F, kScanDelete = 0x53,
};

}  // namespace

void UXTextView::registerSnapshot() {
  Range all(0, text->byteLength());
  UndoBlock block;
  block.target = self();
  block.function = [](const Ref<Object>& target, const Ref<Object>& snapshot) {
    staticCast<UXTextView>(target)->restoreSnapshot(snapshot);
  };
  undoManager->registerUndo(block, text->substring(&all));
}

void UXTextView::keyDown(UXEvent& event) {
  if (nativeWindow >= 0) {
    UXResponder::keyDown(event);
    return;
  }
  const uint8_t c = uint8_t(event.key & 0xFF), scan = uint8_t(event.key >> 8);
  const bool shift = (event.mods & 3) != 0, ctrl = (event.mods & 4) != 0;
  uint8_t letter = c;
  if (c >= 1 && c <= 26) letter = uint8_t(c + 0x60);
  else if (c >= 'A' && c <= 'Z') letter = uint8_t(c + 0x20);

  if (ctrl) {
    switch (letter) {
      case 'z':
      case 'y':
        if (letter == 'y' || shift) redo();
        else undo();
        return;
      case 'a':
        anchor = 0;
        moveTo(text->byteLength(), true);
        return;
      case 'c':
      case 'x':
        if (selectionLength > 0) {
          Range sel{int32_t(selectionStart), int32_t(selectionLength)};
          UXPasteboard::general()->setString(text->substring(&sel)->text->cString(), kUXPasteboardTypeText);
          if (letter == 'x') removeRange(int32_t(selectionStart), int32_t(selectionStart + selectionLength));
        }
        return;
      case 'v': {
        const char* value = UXPasteboard::general()->stringForType(kUXPasteboardTypeText);
        if (value && *value) {
          Ref<String> pasted = String::withCString(value);
          typing = 0;
          typeText(pasted);
          typing = 0;
        }
        return;
      }
      default: break;
    }
  }

  const int32_t len = text->byteLength();
  if (scan == kScanLeft || scan == kScanLeftExt) {
    const int32_t target = shift || selectionLength < 1 ? int32_t(prevChar(int32_t(caret))) : int32_t(selectionStart);
    moveTo(target, shift);
  } else if (scan == kScanRight || scan == kScanRightExt) {
    const int32_t target = shift || selectionLength < 1 ? int32_t(nextChar(int32_t(caret)))
                                                        : int32_t(selectionStart + selectionLength);
    moveTo(target, shift);
  } else if (scan == kScanUp || scan == kScanDown) {
    verticalMove(scan == kScanUp, shift);
  } else if (scan == kScanHome || scan == kScanEnd) {
    const std::vector<UXLineSpan>& lines = layoutLines();
    if (lines.empty()) {
      moveTo(scan == kScanHome ? 0 : len, shift);
    } else {
      const UXLineSpan line = lines[lineIndexOf(int32_t(caret))];
      moveTo(scan == kScanHome ? line.start : line.end(), shift);
    }
  } else if (c == 8) {
    // Whole characters only: a caret inside a sequence deletes all of it.
    if (selectionLength > 0) {
      removeRange(int32_t(charStart(int32_t(selectionStart))), int32_t(charEnd(int32_t(selectionStart + selectionLength))));
    } else if (caret > 0) {
      const int32_t to = int32_t(charEnd(int32_t(caret)));
      removeRange(int32_t(prevChar(to)), to);
    }
  } else if (scan == kScanDelete || c == 127) {
    if (selectionLength > 0) {
      removeRange(int32_t(charStart(int32_t(selectionStart))), int32_t(charEnd(int32_t(selectionStart + selectionLength))));
    } else if (int32_t(caret) < len) {
      const int32_t from = int32_t(charStart(int32_t(caret)));
      removeRange(from, int32_t(nextChar(from)));
    }
  } else if (c == 10 || c == 13) {
    typeText(String::withCString("\n"));
  } else if (c >= 0x20 && c <= 0x7E && !ctrl) {
    const char one[2] = {char(c), 0};
    typeText(String::withCString(one));
  } else {
    UXResponder::keyDown(event);
  }
}

void UXTextView::verticalMove(bool up, bool extend) {
  const std::vector<UXLineSpan>& lines = layoutLines();
  const int32_t len = text->byteLength();
  if (lines.empty()) {
    moveTo(up ? 0 : len, extend);
    return;
  }
  const int32_t width = frame().w() - 8;
  const uint32_t l = lineIndexOf(int32_t(caret));
  const int32_t x = lineX(lines[l], int32_t(caret), width);
  const int64_t t = up ? int64_t(l) - 1 : int64_t(l) + 1;
  if (t < 0) moveTo(0, extend);
  else if (t >= int64_t(lines.size())) moveTo(len, extend);
  else {
    const UXLineSpan target = lines[size_t(t)];
    moveTo(int32_t(nearestBoundary(target, x, width)), extend);
  }
}

void UXTextView::moveTo(int32_t index, bool extend) {
  const uint32_t i = charStart(std::clamp(index, 0, text->byteLength()));
  if (!extend) anchor = i;
  selectionStart = std::min(i, anchor);
  selectionLength = i > anchor ? i - anchor : anchor - i;
  caret = i;
  typingStyle = styleBefore(int32_t(selectionStart));
  typing = 0;
  scrollToCaret();
  setNeedsDisplayInRect(absoluteFrame());
  fireSelection();
}

void UXTextView::typeText(Ptr<const String> s) {
  if (typing == 0) {
    registerSnapshot();
    typing = 1;
  }
  Ref<AttributedString> insertion = AttributedString::withAttributes(s, attrsOf(typingStyle));
  Range sel{int32_t(selectionStart), int32_t(selectionLength)};
  text->replaceWithAttributed(&sel, insertion);
  const uint32_t at = std::min<uint32_t>(selectionStart, uint32_t(text->byteLength()));
  selectionStart = at + uint32_t(insertion->byteLength());
  selectionLength = 0;
  caret = anchor = selectionStart;
  scrollToCaret();
  fireChange();
}

void UXTextView::removeRange(int32_t from, int32_t to) {
  const int32_t len = text->byteLength();
  from = std::clamp(from, 0, len);
  to = std::clamp(to, 0, len);
  if (to <= from) return;
  registerSnapshot();
  typing = 0;
  Range r(from, to - from);
  text->replace(&r, nullptr);
  selectionStart = uint32_t(from);
  selectionLength = 0;
  caret = anchor = uint32_t(from);
  typingStyle = styleBefore(from);
  scrollToCaret();
  fireChange();
}

void UXTextView::restoreSnapshot(const Ref<Object>& object) {
  Ref<AttributedString> snapshot = cast<AttributedString>(object);
  if (!snapshot) return;
  registerSnapshot();
  const String& a = *text->text;
  const String& b = *snapshot->text;
  const uint32_t la = a.byteLength(), lb = b.byteLength();
  uint32_t p = 0;
  const uint32_t most = std::min(la, lb);
  while (p < most && a.byteAt(p) == b.byteAt(p)) p++;
  uint32_t s = 0;
  if (la - p >= 1 && lb - p >= 1)
    while (s < la - p && s < lb - p && a.byteAt(la - 1 - s) == b.byteAt(lb - 1 - s)) s++;
  text = snapshot;
  // The end of the part that differs, moved onto a character boundary.
  selectionStart = caret = anchor = charEnd(int32_t(lb - s));
  selectionLength = 0;
  typing = 0;
  if (nativeWindow >= 0) {
    pushAll();
    pushSelection();
  }
  fireChange();
}

void UXTextView::undo() {
  typing = 0;
  if (nativeUndoes()) {
    nativeUndo(0);
    pull();
    fireChange();
    return;
  }
  undoManager->_run(undoManager->undoStack, UndoManager::kUndoing);
}

void UXTextView::redo() {
  typing = 0;
  if (nativeUndoes()) {
    nativeUndo(1);
    pull();
    fireChange();
    return;
  }
  undoManager->_run(undoManager->redoStack, UndoManager::kRedoing);
}

}  // namespace quorl
