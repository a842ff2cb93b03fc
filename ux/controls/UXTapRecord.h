// Event records that controls make for the application's event tap (a
// scroll, a native selection, a field change).
#pragma once

#include <cstdint>

#include "foundation/Object.h"

namespace quorl {

// Hands a fresh record {type, a, b, object; every other field 0} to the
// event tap and releases it afterwards. Nothing is made while input is
// replayed, and the tap runs only when its function is set and its target
// alive: a tap that counts as set by its target alone has nothing to call.
// Answers whether the tap ran.
bool uxOfferToEventTap(uint8_t type, int32_t a, int32_t b, Ref<Object> object = nullptr);

}  // namespace quorl
