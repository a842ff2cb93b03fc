// Range: two signed 32-bit integers with value equality. Its users read the
// second as a count, so a range ends before start + length.
#pragma once

#include <cstdint>

#include "Object.h"

namespace quorl {

class Range : public Object {
 public:
  Range() = default;
  Range(int32_t start, int32_t length) : start(start), length(length) {}

  static Ref<Range> with(int32_t start, int32_t length) { return make<Range>(start, length); }
  virtual void init() {
    start = 0;
    length = 0;
  }

  // A subclass (a text run) equals a plain Range with the same two fields;
  // fields it adds are not compared.
  bool equals(Ptr<const Object> other) const override;
  uint32_t hash() const override;
  Ref<String> description() const override;  // <Range>(start, length), signed
  const char* classNameC() const override { return "Range"; }

  int32_t start = 0;
  int32_t length = 0;
};

}  // namespace quorl
