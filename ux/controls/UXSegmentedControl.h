// A row of equal-width segments, each with a title and a selected flag. A
// click selects the segment under the pointer (exclusively, or by toggling
// it in multiple-selection mode) and runs the action. Node kind 13 (a native
// toolbar of check buttons on Win32, command id = segment index).
//
// Sections:
//   1. UXSegment
//   2. UXSegmentedControl
//
// What the Win32 driver reads and calls (kept stable): `segments` (each
// segment's `title`), `multipleSelection`, `nativeSegSelected`,
// `selectSegment`, then the control's `action`.
#pragma once

#include <cstdint>

#include "ux/controls/UXControl.h"

namespace quorl {

class Array;

// ---------------------------------------------------------------------------
// 1. One segment.
class UXSegment : public Object {
 public:
  const char* title = "";  // borrowed NUL-terminated UTF-8
  int32_t tag = 0;         // the owner's; the control never reads it
  uint8_t selected = 0;
  int16_t x = 0;      // left edge relative to the control, set by layout
  int16_t width = 0;  // set by layout

  // <UXSegment>(tag, selected, x, width); selected unsigned.
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXSegment"; }
};

// ---------------------------------------------------------------------------
// 2. The control. The title is not drawn.
class UXSegmentedControl : public UXControl {
 public:
  Ref<Array> segments;            // UXSegment entries, filled by the builder
  uint8_t multipleSelection = 0;  // 1: a click toggles its segment only

  UXSegmentedControl();

  uint8_t kind() const override { return 13; }
  // Node and peer; no spec word.
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  // Enabled test, layout, hit test, selectSegment, redraw, action. A click
  // on a segment runs the action even when the selection did not change.
  void mouseDown(UXEvent& event) override;
  // Theme "button", then per segment its selected face, its separator
  // (all but the first) and its title.
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  // <UXSegmentedControl>(multipleSelection)
  Ref<String> description() const override;

  // Segment i: x = i x (w / n), width w / n; the last one takes the rest.
  void layout(int16_t w);
  // First segment with x <= localX < x + width; kNotFound when none.
  uint32_t segmentAtLocalX(int16_t localX) const;
  // In range: toggles (multiple selection) or selects only that segment.
  // No redraw, no action; out of range: nothing.
  void selectSegment(int32_t index);
  // false for an index out of range.
  bool isSelected(int32_t index) const;
  // 1 when isSelected, else 0.
  uint32_t nativeSegSelected(int32_t index) const { return isSelected(index) ? 1 : 0; }

  const char* classNameC() const override { return "UXSegmentedControl"; }

 private:
  // Entry i as a segment, or null when it is not one.
  Ref<UXSegment> segmentAt(uint32_t i) const;
};

}  // namespace quorl
