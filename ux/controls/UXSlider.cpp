// The slider. Its value/position mapping is 64-bit inside, so ranges that
// span most of the i32 range neither overflow nor lose their ends.
#include "ux/controls/UXSlider.h"

#include <algorithm>

#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXClamp.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXGraphics.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

void UXSlider::attachTo(const Ref<UXViewTree>& newTree, UXRect frame) { uxAttachPeer(*this, newTree, frame); }

int32_t UXSlider::knobX(int16_t w) const {
  int64_t track = std::max<int64_t>(0, int64_t(w) - knobWidth);
  int64_t range = int64_t(maximum) - minimum;
  if (range <= 0) return 0;
  // An owner-set value outside the range may put the knob off the track.
  return uxClamp32((int64_t(value) - minimum) * track / range);
}

int32_t UXSlider::valueForX(int16_t x, int16_t w) const {
  int64_t track = int64_t(w) - knobWidth;
  if (track < 1) return minimum;
  int64_t p = std::clamp<int64_t>(int64_t(x) - knobWidth / 2, 0, track);
  // Adding half the track rounds to the nearest value; the result lies
  // between minimum and maximum, so it fits in 32 bits.
  return int32_t(minimum + (track / 2 + p * (int64_t(maximum) - minimum)) / track);
}

int32_t UXSlider::clampValue(int32_t v) const { return std::min(std::max(v, minimum), maximum); }

void UXSlider::mouseDown(UXEvent& event) {
  if (!isEnabled()) return;
  Ref<UXView> keep = self<UXView>();  // the action may close the window
  UXRect f = absoluteFrame();
  value = clampValue(valueForX(uxClamp16(int32_t(event.x) - f.x()), f.w()));
  setNeedsDisplayInRect(f);
  sendAction();
  int32_t x = 0, y = 0;
  while (gDriver && gDriver->trackDragStep(x, y)) {
    value = clampValue(valueForX(uxClamp16(int64_t(x) - f.x()), f.w()));
    setNeedsDisplayInRect(f);
    sendAction();
    if (gApp) gApp->displayIfNeeded();
  }
}

void UXSlider::drawRect(UXGraphics& graphics, UXRect rect) {
  UXRect b = drawBounds(rect);
  int16_t w = b.w(), h = b.h();
  int32_t mid = h / 2;
  graphics.drawTheme("slider.htrack", UXRect(0, mid - 2, w, 5));
  graphics.drawTheme("slider.knob", UXRect(uxClamp16(int64_t(knobX(w)) - 4), mid - 10, 21, 21));
}

Ref<String> UXSlider::description() const {
  const uint16_t values[] = {uint16_t(minimum), uint16_t(maximum), uint16_t(value), uint16_t(knobWidth)};
  return String::_classDescribe("UXSlider", values, 4, 0xF);
}

}  // namespace quorl
