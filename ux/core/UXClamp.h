// Integer helpers of everything that draws itself (controls, charts):
// values that become packed rectangle or text coordinates are clamped to
// the signed 16-bit range rather than wrapped into it.
#pragma once

#include <algorithm>
#include <cstdint>

namespace quorl {

constexpr int16_t uxClamp16(int64_t v) { return int16_t(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }
constexpr int32_t uxClamp32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace quorl
