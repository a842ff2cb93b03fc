#include "ux/controls/UXTapRecord.h"

#include <utility>

#include "ux/core/UXDispatch.h"
#include "ux/core/UXEvent.h"

namespace quorl {

bool uxOfferToEventTap(uint8_t type, int32_t a, int32_t b, Ref<Object> object) {
  if (gInputReplay || !gEventTap.function || gEventTap.target.expired()) return false;
  Ref<UXEvent> event = make<UXEvent>();
  event->type = type;
  event->a = a;
  event->b = b;
  event->object = std::move(object);
  // A copy: the tap may replace itself while it runs.
  const UXEventTap tap = gEventTap;
  tap.call(*event);
  return true;
}

}  // namespace quorl
