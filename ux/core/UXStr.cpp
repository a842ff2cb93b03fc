#include "ux/core/UXStr.h"

#include <algorithm>
#include <cstring>

#include "foundation/String.h"

namespace quorl {

size_t UXStr::len(const char* s) { return s ? std::strlen(s) : 0; }

UXCString UXStr::cat(const char* a, uint8_t sep, const char* b) {
  const size_t la = len(a), lb = len(b);
  const size_t ls = (sep != 0 && la > 0) ? 1 : 0;
  // The join's first kCatLimit + 1 bytes at most: the byte past the limit
  // tells whether a cut there falls inside a character. Each piece is cut to
  // what is left of that room, so no sum can overflow.
  size_t room = kCatLimit + 1;
  const size_t ta = std::min(la, room);
  room -= ta;
  const size_t ts = std::min(ls, room);
  room -= ts;
  const size_t tb = std::min(lb, room);
  const size_t taken = ta + ts + tb;
  UXCString out = std::make_unique<char[]>(taken + 1);
  if (ta) std::memcpy(out.get(), a, ta);
  if (ts) out[ta] = char(sep);
  if (tb) std::memcpy(out.get() + ta + ts, b, tb);
  out[String::utf8Prefix(out.get(), taken, kCatLimit)] = 0;
  return out;
}

int32_t UXStr::toInt(const char* s) {
  if (!s) return 0;
  while (*s == ' ' || *s == '\t') ++s;
  bool negative = false;
  if (*s == '-' || *s == '+') {
    negative = *s == '-';
    ++s;
  }
  uint32_t value = 0;
  while (*s >= '0' && *s <= '9') {
    value = value * 10u + uint32_t(*s - '0');
    ++s;
  }
  if (negative) value = 0u - value;
  return int32_t(value);
}

}  // namespace quorl
