// Functions on NUL-terminated byte strings (titles, paths, environment
// values) shared by the toolkit and the driver.
//
// Lengths are measured in size_t and never wrap. `cat` keeps the historic
// bound of the joined text (below 65535 bytes) as an explicit limit: a longer
// join is cut at kCatLimit bytes (at a UTF-8 character boundary) instead of
// overflowing a 16-bit length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorl {

// An owning NUL-terminated buffer; null when there is none.
using UXCString = std::unique_ptr<char[]>;

class UXStr {
 public:
  UXStr() = delete;

  // Longest text `cat` produces, in bytes (without the NUL).
  static constexpr size_t kCatLimit = 65534;

  // Bytes before the first 0; 0 for null.
  static size_t len(const char* s);
  // a, then sep when sep != 0 and a is not empty, then b, then NUL; null
  // arguments count as empty. Never null.
  static UXCString cat(const char* a, uint8_t sep, const char* b);
  // Optional blanks (space, tab), one optional sign, decimal digits
  // accumulated in 32 bits with wrap-around; 0 for null.
  static int32_t toInt(const char* s);
};

}  // namespace quorl
