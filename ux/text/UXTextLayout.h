// Measuring and wrapping attributed text through the driver's text
// measurement (8 pixels a byte when no driver is installed).
//
// Sections:
//   1. UXLineSpan: one wrapped line as plain numbers
//   2. UXTextLayout: styles of runs, stretches, widths, wrapping
//
// A stretch is a span of bytes that shares one style, possibly over several
// runs whose maps differ only in what the style ignores. Long stretches are
// measured in pieces of at most 1023 bytes, cut at character boundaries, and
// the widths added. Over-long words are cut at character boundaries too, so
// no line ever holds half a UTF-8 sequence.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/Array.h"
#include "ux/text/AttributedString.h"
#include "ux/text/UXTextStyle.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. A line: its first byte and its byte count.
struct UXLineSpan {
  int32_t start = 0;
  int32_t length = 0;
  int32_t end() const { return start + length; }
  bool operator==(const UXLineSpan&) const = default;
};

// ---------------------------------------------------------------------------
// 2. Class operations only.
class UXTextLayout : public Object {
 public:
  UXTextLayout() = delete;

  // Largest piece handed to the driver at once, in bytes.
  static constexpr int32_t kPieceBytes = 1023;

  // End of the stretch that starts at pos, never beyond limit (nor beyond
  // the text); at least pos + 1.
  static uint32_t styleEnd(Ptr<const AttributedString> attr, uint32_t pos, int32_t limit);
  // Width in pixels of the bytes [from, to); 0 when from >= to. Offsets
  // outside the text are brought inside it.
  static uint32_t spanWidthAttr(Ptr<const AttributedString> attr, int32_t from, int32_t to,
                                uint32_t defaultSize);
  // The lines of the text for the width, as new Ranges.
  static Ref<Array> wrapAttr(Ptr<const AttributedString> attr, int16_t width, uint32_t defaultSize);

  // -- Plain forms used by the text view -------------------------------------
  // The style of run i (i < run count), kept in the run's memo.
  static void styleOfRun(const AttributedString& attr, uint32_t i, UXTextStyle& out);
  // The style of the byte at offset; the default style outside the text.
  static void styleAt(const AttributedString& attr, int32_t offset, UXTextStyle& out);
  // Wraps the bytes [from, to), which must start at 0 or after a newline and
  // end at the text's end or just after a newline, appending to out.
  static void wrapInto(const AttributedString& attr, int32_t from, int32_t to, int32_t width,
                       uint32_t defaultSize, std::vector<UXLineSpan>& out);
};

}  // namespace quorl
