// What the headless driver's files share and nobody else sees: number text
// without printf or the locale, bounded copies into a caller's buffer, and
// the record of why the last file operation failed.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <system_error>

#include "foundation/String.h"
#include "ux/core/UXViewDriver.h"

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

// Files (UXHeadlessFiles.cpp; the operations that differ by platform are in
// UXHeadlessFiles.posix.cpp and UXHeadlessFiles.win32.cpp).

namespace fs = std::filesystem;

inline fs::path pathOf(const char* s) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(s), std::strlen(s)));
}

// What fileFailure answers; failed records a reason and answers false;
// failureOf reads one from a system error.
extern UXFileFailure gFileFailure;
bool failed(UXFileFailure why);
UXFileFailure failureOf(std::error_code ec, bool source);

// A copy is written to a new sibling of its target (uxCopySiblingName) and
// renamed over the target only once whole; a CopySibling removes the
// sibling when it goes, unless it took the target's place.
struct CopySibling {
  fs::path path;  // empty once renamed, or before it exists
  CopySibling() = default;
  CopySibling(const CopySibling&) = delete;
  CopySibling& operator=(const CopySibling&) = delete;
  ~CopySibling() {
    std::error_code ec;
    if (!path.empty()) fs::remove(path, ec);
  }
};

}  // namespace quorl::headless
