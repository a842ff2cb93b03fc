#include "ux/text/UXTextStyle.h"

#include "foundation/Number.h"
#include "foundation/String.h"

namespace quorl {

namespace {

const Number* numberAt(const Map* attrs, const char* key) {
  Ref<Object> v = attrs->get(key);
  return dynamic_cast<const Number*>(v.get());
}

}  // namespace

Ref<UXTextStyle> UXTextStyle::of(Ptr<const Map> attrs) {
  Ref<UXTextStyle> style = make<UXTextStyle>();
  style->readFrom(attrs.get());
  return style;
}

void UXTextStyle::readFrom(const Map* attrs) {
  *this = UXTextStyle();
  if (!attrs || attrs->count() == 0) return;
  // The Numbers are kept alive by the map while we read them.
  if (const Number* n = numberAt(attrs, kUXAttrBold)) bold = n->asBool();
  if (const Number* n = numberAt(attrs, kUXAttrItalic)) italic = n->asBool();
  if (const Number* n = numberAt(attrs, kUXAttrUnderline)) underline = n->asBool();
  if (const Number* n = numberAt(attrs, kUXAttrMonospace)) monospace = n->asBool();
  if (const Number* n = numberAt(attrs, kUXAttrColor)) color = int32_t(uint32_t(uint64_t(n->integerValue())));
  if (const Number* n = numberAt(attrs, kUXAttrAlignment))
    alignment = int32_t(uint32_t(uint64_t(n->integerValue())));
  if (const Number* n = numberAt(attrs, kUXAttrPen)) pen = int32_t(uint32_t(uint64_t(n->integerValue())));
  if (const Number* n = numberAt(attrs, kUXAttrSize)) size = uint16_t(uint64_t(n->integerValue()));
}

bool UXTextStyle::sameFields(const UXTextStyle& o) const {
  return bold == o.bold && italic == o.italic && underline == o.underline && monospace == o.monospace &&
         pen == o.pen && color == o.color && size == o.size && alignment == o.alignment;
}

bool UXTextStyle::sameAs(Ptr<const UXTextStyle> other) const { return other && sameFields(*other); }

void UXTextStyle::pack(uint32_t out[4]) const {
  out[0] = uint32_t(bold & 1) | uint32_t(italic & 1) << 1 | uint32_t(underline & 1) << 2 |
           uint32_t(monospace & 1) << 3 | uint32_t(size) << 16;
  out[1] = uint32_t(pen);
  out[2] = uint32_t(color);
  out[3] = uint32_t(alignment);
}

void UXTextStyle::unpack(const uint32_t in[4]) {
  bold = in[0] & 1;
  italic = (in[0] >> 1) & 1;
  underline = (in[0] >> 2) & 1;
  monospace = (in[0] >> 3) & 1;
  size = uint16_t(in[0] >> 16);
  pen = int32_t(in[1]);
  color = int32_t(in[2]);
  alignment = int32_t(in[3]);
}

Ref<String> UXTextStyle::description() const {
  const uint16_t values[8] = {bold, italic, underline, monospace, uint16_t(pen), uint16_t(color), size,
                              uint16_t(alignment)};
  return String::_classDescribe("UXTextStyle", values, 8, 0xF0);
}

void UXTextRun::init() {
  Range::init();
  value = 0;
  object.reset();
}

Ref<String> UXTextRun::description() const {
  const uint16_t values[1] = {uint16_t(value)};
  return String::_classDescribe("UXTextRun", values, 1, 0x01);
}

}  // namespace quorl
