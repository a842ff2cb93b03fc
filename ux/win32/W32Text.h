// UTF-8 <-> UTF-16 at the one boundary where text meets the W entry points.
// Windows only (wchar_t is a UTF-16 unit there); the rules are W32Pure's.
#pragma once

#include <cstring>
#include <string>

#include "ux/win32/W32Pure.h"

namespace quorl {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the W entry points take UTF-16");

inline std::wstring w32Wide(const char* utf8, size_t length) {
  std::u16string u = w32Utf16(utf8, length);
  return std::wstring(reinterpret_cast<const wchar_t*>(u.data()), u.size());
}
inline std::wstring w32Wide(const char* utf8) { return utf8 ? w32Wide(utf8, std::strlen(utf8)) : std::wstring(); }
inline std::wstring w32Wide(const std::string& utf8) { return w32Wide(utf8.data(), utf8.size()); }

inline std::string w32Utf8(const wchar_t* wide, size_t length) {
  return w32Utf8(reinterpret_cast<const char16_t*>(wide), length);
}
inline std::string w32Utf8(const wchar_t* wide) { return w32Utf8(reinterpret_cast<const char16_t*>(wide)); }

}  // namespace quorl
