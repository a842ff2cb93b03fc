#include "ux/core/UXEvent.h"

#include "foundation/String.h"

namespace quorl {

Ref<String> UXEvent::description() const {
  const uint16_t values[9] = {type, uint16_t(x), uint16_t(y), reserved, key, mods, uint16_t(window),
                              uint16_t(a), uint16_t(b)};
  // Signed: x (bit 1), y (bit 2), window (bit 6), a (bit 7).
  return String::_classDescribe("UXEvent", values, 9, 0xC6);
}

}  // namespace quorl
