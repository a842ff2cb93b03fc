// The stepper. Sums are taken in 64 bits: value + step never overflows.
#include "ux/controls/UXStepper.h"

#include <algorithm>

#include "foundation/String.h"
#include "ux/core/UXClamp.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXGraphics.h"

namespace quorl {

void UXStepper::attachTo(const Ref<UXViewTree>& newTree, UXRect frame) { uxAttachPeer(*this, newTree, frame); }

void UXStepper::increment() {
  int64_t next = int64_t(value) + step;
  if (next > maximum) value = wraps ? minimum : maximum;
  else value = uxClamp32(next);
}

void UXStepper::decrement() {
  int64_t next = int64_t(value) - step;
  if (next < minimum) value = wraps ? maximum : minimum;
  else value = uxClamp32(next);
}

void UXStepper::applyNativeValue(int32_t position) { value = std::min(std::max(position, minimum), maximum); }

void UXStepper::mouseDown(UXEvent& event) {
  if (!isEnabled()) return;
  Ref<UXView> keep = self<UXView>();
  UXRect f = absoluteFrame();
  // The offset is a signed 16-bit number, as the frame's own values are.
  int16_t dy = int16_t(uint16_t(uint16_t(event.y) - uint16_t(f.y())));
  if (dy < f.h() / 2) increment();
  else decrement();
  setNeedsDisplayInRect(f);
  sendAction();
}

void UXStepper::drawRect(UXGraphics& graphics, UXRect rect) {
  UXRect b = drawBounds(rect);
  // The arrows keep their 25 x 25 size; a larger frame centres them.
  int32_t x = std::max(0, (b.w() - 25) / 2), y = std::max(0, (b.h() - 25) / 2);
  graphics.drawTheme("stepper.up", UXRect(x, y, 25, 13));
  graphics.drawTheme("stepper.down", UXRect(x, y + 13, 25, 12));
}

Ref<String> UXStepper::description() const {
  const uint16_t values[] = {uint16_t(value), uint16_t(minimum), uint16_t(maximum), uint16_t(step), wraps};
  return String::_classDescribe("UXStepper", values, 5, 0xF);
}

}  // namespace quorl
