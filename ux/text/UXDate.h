// Calendar dates with a time zone, counted in days since 1970-01-01.
#pragma once

#include <cstdint>

#include "foundation/Object.h"

namespace quorl {

class String;

class UXTimeZone : public Object {
 public:
  const char* name = "UTC";  // not owned: a static text
  int32_t offset = 0;        // minutes east of UTC

  Ref<String> description() const override;  // <UXTimeZone>(offset)
  const char* classNameC() const override { return "UXTimeZone"; }
};

class UXDate : public Object {
 public:
  int32_t year = 1970;  // proleptic Gregorian; year 0 exists
  int32_t month = 1;    // 1-12
  int32_t day = 1;      // from 1
  // Shown by description only; nothing sets or reads them.
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
  int32_t millisecond = 0;
  Ref<UXTimeZone> timeZone = make<UXTimeZone>();

  // Days from 1970-01-01 (negative before). The fields are not validated:
  // out-of-range days and months go through the same formula, computed
  // with 32-bit wrap-around instead of overflow.
  int32_t dayNumber() const;

  Ref<String> description() const override;  // the seven numbers, signed
  const char* classNameC() const override { return "UXDate"; }
};

// Nothing constructs one.
class UXDateFormatter : public Object {
 public:
  const char* classNameC() const override { return "UXDateFormatter"; }
};

}  // namespace quorl
