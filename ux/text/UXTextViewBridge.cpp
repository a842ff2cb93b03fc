// UXTextView, part 3: the bridge to a native rich-text control, the packed
// style runs that cross it and the conversions between a packed run, a
// style and an attribute map.
#include <algorithm>
#include <vector>

#include "foundation/Number.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXViewDriver.h"
#include "ux/text/UXTextView.h"

namespace quorl {

uint32_t UXTextView::flagsOf(const UXTextStyle& s) {
  return uint32_t(s.bold & 1) | uint32_t(s.italic & 1) << 1 | uint32_t(s.underline & 1) << 2 |
         uint32_t(s.monospace & 1) << 3 | (uint32_t(s.alignment) & 3) << 4;
}

uint32_t UXTextView::colourWord(int32_t colour) {
  return colour < 0 ? 0 : 0x01000000u | (uint32_t(colour) & 0xFFFFFF);
}

std::vector<uint32_t> UXTextView::packRuns(Ptr<const AttributedString> attr, uint32_t& count) {
  count = attr ? attr->runCount() : 0;
  std::vector<uint32_t> runs((size_t(count) + 1) * 5, 0);
  UXTextStyle style;
  for (uint32_t i = 0; i < count; i++) {
    const AttributedString::Run& r = attr->_run(i);
    UXTextLayout::styleOfRun(*attr, i, style);
    uint32_t* w = &runs[size_t(i) * 5];
    w[0] = uint32_t(r.start);
    w[1] = uint32_t(r.length);
    w[2] = flagsOf(style);
    w[3] = colourWord(style.color);
    w[4] = uint32_t(int32_t(style.signedSize()));
  }
  return runs;
}

Ref<UXTextStyle> UXTextView::styleOfRun(uint32_t flags, uint32_t colour, uint16_t size) {
  Ref<UXTextStyle> s = make<UXTextStyle>();
  s->bold = flags & 1;
  s->italic = (flags >> 1) & 1;
  s->underline = (flags >> 2) & 1;
  s->monospace = (flags >> 3) & 1;
  s->alignment = int32_t((flags >> 4) & 3);
  s->color = (colour & 0x01000000u) ? int32_t(colour & 0xFFFFFF) : -1;
  s->size = size;
  return s;
}

Ref<Map> UXTextView::attrsOf(Ptr<const UXTextStyle> style) {
  Ref<Map> m = make<Map>();
  if (!style) return m;
  if (style->bold) m->set(kUXAttrBold, Number::withBool(true));
  if (style->italic) m->set(kUXAttrItalic, Number::withBool(true));
  if (style->underline) m->set(kUXAttrUnderline, Number::withBool(true));
  if (style->monospace) m->set(kUXAttrMonospace, Number::withBool(true));
  if (style->color >= 0) m->set(kUXAttrColor, Number::withI64(style->color));
  if (style->signedSize() > 0) m->set(kUXAttrSize, Number::withI64(style->signedSize()));
  if (style->alignment != 0) m->set(kUXAttrAlignment, Number::withI64(style->alignment));
  return m;
}

Ref<UXTextStyle> UXTextView::styleBefore(int32_t index) {
  if (text->byteLength() == 0) return typingStyle;
  Ref<UXTextStyle> s = make<UXTextStyle>();
  UXTextLayout::styleAt(*text, index >= 1 ? index - 1 : 0, *s);
  return s;
}

void UXTextView::pushAll() {
  if (!gDriver || !gDriver->hasTextViewSetAll()) return;
  uint32_t count = 0;
  std::vector<uint32_t> runs = packRuns(text, count);
  gDriver->textViewSetAll(uint32_t(nativeWindow), nativeId, text->text->cString(), text->text->byteLength(),
                          runs.data(), count);
}

void UXTextView::pushSelection() {
  if (!gDriver || !gDriver->hasOperation(UXDriverOp::textViewSetSelection)) return;
  gDriver->textViewSetSelection(uint32_t(nativeWindow), nativeId, selectionStart, selectionLength);
}

void UXTextView::pushTyping() {
  if (nativeWindow < 0 || !gDriver || !gDriver->hasOperation(UXDriverOp::textViewSetTyping)) return;
  gDriver->textViewSetTyping(uint32_t(nativeWindow), nativeId, flagsOf(*typingStyle), colourWord(typingStyle->color),
                             typingStyle->signedSize());
}

void UXTextView::pushLook() {
  if (!gDriver || !gDriver->hasOperation(UXDriverOp::textViewSetLook)) return;
  gDriver->textViewSetLook(uint32_t(nativeWindow), nativeId, colourWord(backgroundColor), colourWord(textColor),
                           colourWord(caretColor), colourWord(selectionColor), uint32_t(baseSize),
                           monospace ? 1 : 0);
}

void UXTextView::pull() {
  if (nativeWindow < 0 || !gDriver || !gDriver->hasOperation(UXDriverOp::textViewSize) ||
      !gDriver->hasOperation(UXDriverOp::textViewRead))
    return;
  uint32_t length = 0, runCount = 0;
  gDriver->textViewSize(uint32_t(nativeWindow), nativeId, length, runCount);
  std::vector<char> buffer(size_t(length) + 1, 0);
  std::vector<uint32_t> runs((size_t(runCount) + 1) * 5, 0);
  uint32_t k = gDriver->textViewRead(uint32_t(nativeWindow), nativeId, buffer.data(), length + 1, runs.data(),
                                     runCount);
  k = std::min(k, runCount);
  buffer[length] = 0;
  Ref<AttributedString> fresh = AttributedString::withString(String::withCString(buffer.data()));
  for (uint32_t i = 0; i < k; i++) {
    const uint32_t* w = &runs[size_t(i) * 5];
    Ref<Map> attrs = attrsOf(styleOfRun(w[2], w[3], uint16_t(w[4])));
    if (attrs->count() == 0) continue;
    Range r{int32_t(w[0]), int32_t(w[1])};
    fresh->setAttributes(attrs, &r);
  }
  text = fresh;
}

Ref<Range> UXTextView::selectedRange() {
  if (nativeWindow >= 0 && gDriver && gDriver->hasOperation(UXDriverOp::textViewSelection)) {
    uint32_t start = 0, length = 0;
    gDriver->textViewSelection(uint32_t(nativeWindow), nativeId, start, length);
    selectionStart = start;
    selectionLength = length;
  }
  return Range::with(int32_t(selectionStart), int32_t(selectionLength));
}

void UXTextView::nativeDidChange() {
  if (!nativeUndoes() && typing == 0) {
    registerSnapshot();
    typing = 1;
  }
  pull();
  fireChange();
}

bool UXTextView::nativeUndoes() const { return nativeWindow >= 0 && gDriver && gDriver->hasTextViewUndo(); }

uint32_t UXTextView::nativeUndo(uint8_t redo) {
  if (!gDriver || !gDriver->hasTextViewUndo()) return 0;
  return uint32_t(gDriver->textViewUndo(uint32_t(nativeWindow), nativeId, redo));
}

void UXTextView::becomeNative(int32_t window, int32_t id) {
  nativeWindow = window;
  nativeId = id;
  pushLook();
  pushAll();
  pushSelection();
  pushTyping();
}

void UXTextView::nativeSelectionDidChange() {
  selectedRange();
  typingStyle = styleBefore(int32_t(selectionStart));
  typing = 0;
  fireSelection();
}

}  // namespace quorl
