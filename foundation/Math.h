// Math: the few numeric helpers the foundation offers beyond <cmath>.
#pragma once

#include <bit>
#include <cstdint>

#include "Object.h"

namespace quorl {

class Math final : public Object {
 public:
  Math() = delete;
  const char* classNameC() const override { return "Math"; }

  // Flips the sign bit only when 0.0 > x, so -0.0 and NaN come back as they
  // were and -infinity becomes +infinity. Done on the bits so that no
  // compiler reassociation can turn it into fabs().
  static double abs(double x) {
    if (0.0 > x) return std::bit_cast<double>(std::bit_cast<uint64_t>(x) ^ 0x8000000000000000ull);
    return x;
  }
};

}  // namespace quorl
