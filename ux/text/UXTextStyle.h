// Text styles: the typed reading of one run's attribute map, and the text
// run record of the same family.
//
// Sections:
//   1. Attribute keys
//   2. UXTextStyle
//   3. UXTextRun
#pragma once

#include <cstdint>

#include "foundation/Map.h"
#include "foundation/Object.h"
#include "foundation/Range.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. The attribute keys the text system reads.
inline constexpr const char* kUXAttrBold = "bold";
inline constexpr const char* kUXAttrItalic = "italic";
inline constexpr const char* kUXAttrUnderline = "underline";
inline constexpr const char* kUXAttrMonospace = "monospace";
inline constexpr const char* kUXAttrColor = "color";
inline constexpr const char* kUXAttrAlignment = "alignment";
inline constexpr const char* kUXAttrPen = "pen";
inline constexpr const char* kUXAttrSize = "size";

// ---------------------------------------------------------------------------
// 2. A style is a value computed on demand from a map; nothing keeps styles
//    inside attributed strings. It is also used as a plain value (on the
//    stack) by the layout code.
class UXTextStyle : public Object {
 public:
  uint8_t bold = 0;
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t monospace = 0;
  int32_t pen = 1;
  int32_t color = -1;   // 0xRRGGBB, below 0 none
  uint16_t size = 0;    // pixels; 0 the caller's default
  int32_t alignment = 0;

  // Defaults, overridden by each key of attrs that holds a Number; a null
  // map gives the defaults.
  static Ref<UXTextStyle> of(Ptr<const Map> attrs);
  void readFrom(const Map* attrs);
  bool sameAs(Ptr<const UXTextStyle> other) const;
  bool sameFields(const UXTextStyle& o) const;

  // The size as the measurement and the line heights read it: a signed
  // 16-bit value.
  int16_t signedSize() const { return int16_t(size); }

  // Four words that hold all eight fields (the layout's per-run memo).
  void pack(uint32_t out[4]) const;
  void unpack(const uint32_t in[4]);

  Ref<String> description() const override;
  const char* classNameC() const override { return "UXTextStyle"; }
};

// ---------------------------------------------------------------------------
// 3. A range with a value and an object. Nothing in the toolkit makes one;
//    it keeps Range's equality and hash (start and length only).
class UXTextRun : public Range {
 public:
  int32_t value = 0;
  Ref<Object> object;

  void init() override;
  Ref<String> description() const override;  // <UXTextRun>(value), signed
  const char* classNameC() const override { return "UXTextRun"; }
};

}  // namespace quorl
