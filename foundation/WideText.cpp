#include "WideText.h"

#include <cstdint>
#include <cstring>

#include "String.h"

namespace quorl {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

template <class Unit>
std::basic_string<Unit> toUtf16(const char* utf8, size_t length) {
  static_assert(sizeof(Unit) >= sizeof(char16_t), "a unit holds 16 bits");
  std::basic_string<Unit> out;
  if (!utf8) return out;
  out.reserve(length);
  const auto* s = reinterpret_cast<const uint8_t*>(utf8);
  for (size_t i = 0; i < length;) {
    uint32_t cp = kReplacement;
    // A sequence is at most 4 bytes, so the window never needs more.
    const uint32_t n = String::_decodeUtf8(s + i, uint32_t(length - i < 4 ? length - i : 4), &cp);
    i += n ? n : 1;  // an invalid byte is one U+FFFD; decoding resumes at the next
    if (cp < 0x10000) {
      out += Unit(cp);
    } else {
      cp -= 0x10000;
      out += Unit(0xD800 + (cp >> 10));
      out += Unit(0xDC00 + (cp & 0x3FF));
    }
  }
  return out;
}

template <class Unit>
std::string toUtf8(const Unit* units, size_t count) {
  std::string out;
  if (!units) return out;
  out.reserve(count);
  uint8_t bytes[4];
  for (size_t i = 0; i < count; ++i) {
    uint32_t u = uint32_t(units[i]);
    const uint32_t next = i + 1 < count ? uint32_t(units[i + 1]) : 0;
    if (u >= 0xD800 && u <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00);
      ++i;
    } else if (u > 0xFFFF) {
      u = kReplacement;  // no UTF-16 unit at all; half a pair the encoder replaces
    }
    out.append(reinterpret_cast<const char*>(bytes), String::_encodeUtf8(u, bytes));
  }
  return out;
}

template <class Unit>
size_t unitsBeforeNul(const Unit* units) {
  size_t n = 0;
  while (units[n]) ++n;
  return n;
}

}  // namespace

std::u16string WideText::utf16(const char* utf8, size_t length) { return toUtf16<char16_t>(utf8, length); }
std::u16string WideText::utf16(const char* utf8) { return utf8 ? utf16(utf8, std::strlen(utf8)) : std::u16string(); }
std::wstring WideText::wide(const char* utf8, size_t length) { return toUtf16<wchar_t>(utf8, length); }
std::wstring WideText::wide(const char* utf8) { return utf8 ? wide(utf8, std::strlen(utf8)) : std::wstring(); }

std::string WideText::utf8(const char16_t* units, size_t count) { return toUtf8(units, count); }
std::string WideText::utf8(const char16_t* units) { return units ? toUtf8(units, unitsBeforeNul(units)) : std::string(); }
std::string WideText::utf8(const wchar_t* units, size_t count) { return toUtf8(units, count); }
std::string WideText::utf8(const wchar_t* units) { return units ? toUtf8(units, unitsBeforeNul(units)) : std::string(); }

bool WideText::utf8FromBytes(const void* bytes, size_t length, bool bigEndian, std::string& out) {
  out.clear();
  if (length % 2 != 0) return false;
  const auto* p = static_cast<const uint8_t*>(bytes);
  const auto unit = [p, bigEndian](size_t i) -> uint32_t {
    return bigEndian ? uint32_t(p[2 * i]) << 8 | p[2 * i + 1] : uint32_t(p[2 * i + 1]) << 8 | p[2 * i];
  };
  const size_t count = length / 2;
  out.reserve(count + count / 2);
  uint8_t encoded[4];
  for (size_t i = 0; i < count; ++i) {
    uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDFFF) {
      const uint32_t next = i + 1 < count ? unit(i + 1) : 0;
      if (u > 0xDBFF || next < 0xDC00 || next > 0xDFFF) {
        out.clear();
        return false;
      }
      u = 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00);
      ++i;
    }
    out.append(reinterpret_cast<const char*>(encoded), String::_encodeUtf8(u, encoded));
  }
  return true;
}

}  // namespace quorl
