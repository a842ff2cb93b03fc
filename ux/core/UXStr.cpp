#include "ux/core/UXStr.h"

#include <cstring>

namespace quorl {

size_t UXStr::len(const char* s) { return s ? std::strlen(s) : 0; }

UXCString UXStr::cat(const char* a, uint8_t sep, const char* b) {
  size_t la = len(a), lb = len(b);
  size_t ls = (sep != 0 && la > 0) ? 1 : 0;
  // Each piece is cut to what is left of the limit, so no sum can overflow.
  size_t room = kCatLimit;
  size_t ta = la < room ? la : room;
  room -= ta;
  size_t ts = ls < room ? ls : room;
  room -= ts;
  size_t tb = lb < room ? lb : room;
  size_t total = ta + ts + tb;
  if (total < la + ls + lb) {
    // Cut: never end inside a UTF-8 sequence. Step back over continuation
    // bytes and the lead byte whose sequence they belong to.
    auto byteAt = [&](size_t i) -> uint8_t {
      if (i < ta) return uint8_t(a[i]);
      if (i < ta + ts) return sep;
      return uint8_t(b[i - ta - ts]);
    };
    size_t end = total;
    size_t back = end;
    while (back > 0 && (byteAt(back - 1) & 0xC0) == 0x80) --back;
    if (back > 0 && byteAt(back - 1) >= 0xC0) {
      uint8_t lead = byteAt(back - 1);
      size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
      if (end - (back - 1) < need) end = back - 1;
    }
    total = end;
    if (ta > total) ta = total;
    if (ta + ts > total) ts = total - ta;
    tb = total - ta - ts;
  }
  UXCString out = std::make_unique<char[]>(total + 1);
  if (ta) std::memcpy(out.get(), a, ta);
  if (ts) out[ta] = char(sep);
  if (tb) std::memcpy(out.get() + ta + ts, b, tb);
  out[total] = 0;
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
