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

// The same UTF-16 as the pure helpers take it.
inline std::u16string w32U16(const std::wstring& w) { return std::u16string(w.begin(), w.end()); }

// A path as every file call takes it: made absolute by GetFullPathNameW
// (which resolves "." and ".." as the plain calls would; the long form does
// not), then in its long form, so that a path deeper than MAX_PATH is
// reached whole and a name the system folds is found as an operation finds
// it. Defined in W32Files.cpp.
std::wstring w32LongPath(const char* path);

}  // namespace quorl
