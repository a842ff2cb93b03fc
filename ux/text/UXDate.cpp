#include "ux/text/UXDate.h"

#include "foundation/String.h"

namespace quorl {

namespace {

// 32-bit wrapping arithmetic: products and sums of unvalidated fields must
// not overflow a signed type.
int32_t add(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
int32_t sub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }
int32_t mul(int32_t a, int32_t b) { return int32_t(uint32_t(a) * uint32_t(b)); }

}  // namespace

int32_t UXDate::dayNumber() const {
  const int32_t y = month < 3 ? sub(year, 1) : year;
  const int32_t era = (y >= 0 ? y : sub(y, 399)) / 400;
  const int32_t yoe = sub(y, mul(era, 400));
  const int32_t mp = month < 3 ? add(month, 9) : sub(month, 3);
  const int32_t doy = sub(add(add(mul(153, mp), 2) / 5, day), 1);
  const int32_t doe = add(sub(add(mul(yoe, 365), yoe / 4), yoe / 100), doy);
  return sub(add(mul(era, 146097), doe), 719468);
}

Ref<String> UXDate::description() const {
  const uint16_t values[7] = {uint16_t(year),   uint16_t(month),  uint16_t(day),        uint16_t(hour),
                              uint16_t(minute), uint16_t(second), uint16_t(millisecond)};
  return String::_classDescribe("UXDate", values, 7, 0x7F);
}

Ref<String> UXTimeZone::description() const {
  const uint16_t values[1] = {uint16_t(offset)};
  return String::_classDescribe("UXTimeZone", values, 1, 0x01);
}

}  // namespace quorl
