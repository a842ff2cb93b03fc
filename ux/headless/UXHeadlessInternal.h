// What the headless driver's files share and nobody else sees: number text
// without printf or the locale, and bounded copies into a caller's buffer.
// The file operations' helpers are in UXHeadlessFiles.h.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

#include "foundation/String.h"

namespace quorl::headless {

// Text helpers.
inline void appendInt(std::string& s, int64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  s.append(buf, r.ptr);
}

// The values in order with sep between them: "1 2 3" for ' '.
inline void appendInts(std::string& s, std::initializer_list<int64_t> values, char sep = ' ') {
  bool first = true;
  for (int64_t v : values) {
    if (!first) s += sep;
    first = false;
    appendInt(s, v);
  }
}

inline std::string cstr(const char* s) { return s ? std::string(s) : std::string(); }

// A bounded copy into a caller's buffer: at most capacity - 1 bytes, never
// half a character, and a NUL; answers the bytes copied (nothing at all for
// capacity 0).
inline uint32_t copyOut(const std::string& text, char* buffer, uint32_t capacity) {
  if (!buffer || capacity == 0) return 0;
  uint32_t n = uint32_t(String::utf8Prefix(text.data(), text.size(), capacity - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return n;
}

}  // namespace quorl::headless
