// UTF-8 <-> UTF-16 where the driver's text meets the W entry points: the
// foundation's one conversion (WideText), in the driver's words.
#pragma once

#include <string>

#include "foundation/WideText.h"
#include "ux/win32/W32Pure.h"

namespace quorl {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the W entry points take UTF-16");

inline std::wstring w32Wide(const char* utf8, size_t length) { return WideText::wide(utf8, length); }
inline std::wstring w32Wide(const char* utf8) { return WideText::wide(utf8); }
inline std::wstring w32Wide(const std::string& utf8) { return WideText::wide(utf8.data(), utf8.size()); }

inline std::string w32Utf8(const wchar_t* wide, size_t length) { return WideText::utf8(wide, length); }
inline std::string w32Utf8(const wchar_t* wide) { return WideText::utf8(wide); }
inline std::string w32Utf8(const char16_t* wide, size_t length) { return WideText::utf8(wide, length); }

}  // namespace quorl
