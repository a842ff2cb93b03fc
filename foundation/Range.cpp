#include "Range.h"

#include "String.h"

namespace quorl {

bool Range::equals(Ptr<const Object> other) const {
  const Range* range = dynamic_cast<const Range*>(other.get());
  return range && range->start == start && range->length == length;
}

uint32_t Range::hash() const {
  uint32_t h = static_cast<uint32_t>(length) ^ (static_cast<uint32_t>(start) * 0x9e3779b1u);
  return h ^ (h >> 15);
}

Ref<String> Range::description() const {
  const uint16_t values[2] = {static_cast<uint16_t>(start), static_cast<uint16_t>(length)};
  return String::_classDescribe("Range", values, 2, 0x03);
}

}  // namespace quorl
