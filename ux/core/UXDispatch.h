// Event dispatch hooks: the event tap that sees every event first, and the
// replay flag. Nothing in the system installs a tap or starts a replay; they
// exist for recording and replaying input.
//
// The routing itself is UXApplication::dispatchEvent (UXDispatch.cpp).
#pragma once

#include <cstdint>
#include <functional>

#include "foundation/Object.h"

namespace quorl {

class UXEvent;

struct UXEventTap {
  Weak<Object> target;
  std::function<void(const Ref<Object>& target, UXEvent& event)> function;

  // Set when either the target or the function is present.
  bool isSet() const { return static_cast<bool>(function) || !target.expired(); }
  // Calls the function with the target only while both are present: a tap
  // set by its target alone has nothing to call, and one whose target is
  // gone is not called (as every block).
  void call(UXEvent& event) const {
    if (!function) return;
    if (Ref<Object> alive = target.lock()) function(alive, event);
  }
};

// Sees every dispatched event, and the events controls build for it.
extern UXEventTap gEventTap;
// Non-zero while recorded input is replayed: controls build no tap events and
// the driver reports no drag.
extern uint8_t gInputReplay;

}  // namespace quorl
