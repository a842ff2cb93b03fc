// WideText: UTF-8 <-> UTF-16, the one place where the program's UTF-8 text
// meets the UTF-16 of the Windows build's wide-character calls.
//
// The conversions are portable code, so both builds test them. Lengths are
// explicit, so an inner NUL is kept; the forms without a length stop at the
// first NUL, and null is the empty text. A byte that does not start or
// continue a valid sequence (overlong forms and encoded surrogates included)
// becomes one U+FFFD, and so does an unpaired surrogate on the way back.
// The wchar_t forms hold the same UTF-16 units: wchar_t is the W calls'
// unit on Windows.
#pragma once

#include <cstddef>
#include <string>

#include "Object.h"

namespace quorl {

class WideText final : public Object {
 public:
  WideText() = delete;
  const char* classNameC() const override { return "WideText"; }

  static std::u16string utf16(const char* utf8, size_t length);
  static std::u16string utf16(const char* utf8);
  static std::wstring wide(const char* utf8, size_t length);
  static std::wstring wide(const char* utf8);

  static std::string utf8(const char16_t* units, size_t count);
  static std::string utf8(const char16_t* units);
  static std::string utf8(const wchar_t* units, size_t count);
  static std::string utf8(const wchar_t* units);

  // The UTF-8 of `length` bytes of UTF-16 in the given byte order (a text
  // read from a file), into `out`; false, with `out` emptied, for an odd
  // number of bytes or an unpaired surrogate, which no text holds.
  static bool utf8FromBytes(const void* bytes, size_t length, bool bigEndian, std::string& out);
};

}  // namespace quorl
