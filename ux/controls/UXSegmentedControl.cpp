// UXSegment and UXSegmentedControl; sections follow UXSegmentedControl.h.
#include "ux/controls/UXSegmentedControl.h"

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXClamp.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXGraphics.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. One segment.

Ref<String> UXSegment::description() const {
  const uint16_t values[] = {uint16_t(tag), selected, uint16_t(x), uint16_t(width)};
  return String::_classDescribe("UXSegment", values, 4, 0xD);
}

// ---------------------------------------------------------------------------
// 2. The control.

UXSegmentedControl::UXSegmentedControl() : segments(make<Array>()) {}

Ref<UXSegment> UXSegmentedControl::segmentAt(uint32_t i) const {
  if (!segments || i >= segments->count()) return nullptr;
  return cast<UXSegment>(segments->get(i));
}

void UXSegmentedControl::attachTo(const Ref<UXViewTree>& newTree, UXRect frame) {
  uxAttachPeer(*this, newTree, frame);
}

void UXSegmentedControl::layout(int16_t w) {
  uint32_t n = segments ? segments->count() : 0;
  if (n == 0) return;
  // Every product stays between 0 and w, so it fits in 16 bits.
  int64_t each = int64_t(w) / n;
  for (uint32_t i = 0; i < n; ++i) {
    Ref<UXSegment> s = segmentAt(i);
    if (!s) continue;
    s->x = uxClamp16(int64_t(i) * each);
    s->width = uxClamp16(i + 1 == n ? w - int64_t(n - 1) * each : each);
  }
}

uint32_t UXSegmentedControl::segmentAtLocalX(int16_t localX) const {
  uint32_t n = segments ? segments->count() : 0;
  for (uint32_t i = 0; i < n; ++i) {
    Ref<UXSegment> s = segmentAt(i);
    if (!s) continue;
    int16_t right = int16_t(uint16_t(uint16_t(s->x) + uint16_t(s->width)));
    if (s->x <= localX && localX < right) return i;
  }
  return kNotFound;
}

void UXSegmentedControl::selectSegment(int32_t index) {
  uint32_t n = segments ? segments->count() : 0;
  if (index < 0 || uint32_t(index) >= n) return;
  if (multipleSelection) {
    if (Ref<UXSegment> s = segmentAt(uint32_t(index))) s->selected = s->selected ? 0 : 1;
    return;
  }
  for (uint32_t i = 0; i < n; ++i)
    if (Ref<UXSegment> s = segmentAt(i)) s->selected = i == uint32_t(index) ? 1 : 0;
}

bool UXSegmentedControl::isSelected(int32_t index) const {
  if (index < 0) return false;
  Ref<UXSegment> s = segmentAt(uint32_t(index));
  return s && s->selected;
}

void UXSegmentedControl::mouseDown(UXEvent& event) {
  if (!isEnabled()) return;
  Ref<UXView> keep = self<UXView>();
  UXRect a = absoluteFrame();
  layout(a.w());
  uint32_t i = segmentAtLocalX(uxClamp16(int32_t(event.x) - a.x()));
  if (i == kNotFound) return;
  selectSegment(int32_t(i));
  setNeedsDisplayInRect(a);
  sendAction();
}

void UXSegmentedControl::drawRect(UXGraphics& graphics, UXRect rect) {
  UXRect b = drawBounds(rect);
  int16_t w = b.w(), h = b.h();
  layout(w);
  int16_t textY = int16_t((h - 12) / 2);
  graphics.drawTheme("button", UXRect(0, 0, w, h));
  uint32_t n = segments ? segments->count() : 0;
  for (uint32_t i = 0; i < n; ++i) {
    Ref<UXSegment> s = segmentAt(i);
    if (!s) continue;
    if (s->selected) graphics.fillRect(UXRect(s->x + 1, 3, s->width - 2, h - 6), 250);
    if (i > 0) graphics.fillRect(UXRect(s->x, 3, 1, h - 6), 9);
    graphics.drawText(s->title ? s->title : "", uxClamp16(int32_t(s->x) + 6), textY, 1, 0);
  }
}

Ref<String> UXSegmentedControl::description() const {
  const uint16_t values[] = {multipleSelection};
  return String::_classDescribe("UXSegmentedControl", values, 1, 0);
}

}  // namespace quorl
