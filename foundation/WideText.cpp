#include "WideText.h"

#include <cstdint>
#include <cstring>

namespace quorl {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

// The strict decoder: shortest form only, no surrogates, nothing past
// U+10FFFF. Answers the sequence length (0 when invalid) and the code point.
size_t decodeUtf8(const uint8_t* s, size_t left, uint32_t& codePoint) {
  const uint8_t lead = s[0];
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  size_t k;
  uint32_t value, smallest;
  if (lead >= 0xC2 && lead <= 0xDF) {
    k = 1, value = lead & 0x1Fu, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    k = 2, value = lead & 0x0Fu, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    k = 3, value = lead & 0x07u, smallest = 0x10000;
  } else {
    return 0;
  }
  if (k >= left) return 0;
  for (size_t i = 1; i <= k; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    value = value << 6 | (s[i] & 0x3Fu);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  codePoint = value;
  return k + 1;
}

template <class Unit>
std::basic_string<Unit> toUtf16(const char* utf8, size_t length) {
  static_assert(sizeof(Unit) >= sizeof(char16_t), "a unit holds 16 bits");
  std::basic_string<Unit> out;
  if (!utf8) return out;
  out.reserve(length);
  const auto* s = reinterpret_cast<const uint8_t*>(utf8);
  for (size_t i = 0; i < length;) {
    uint32_t cp = kReplacement;
    const size_t n = decodeUtf8(s + i, length - i, cp);
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
  for (size_t i = 0; i < count; ++i) {
    uint32_t u = uint32_t(units[i]);
    const uint32_t next = i + 1 < count ? uint32_t(units[i + 1]) : 0;
    if (u >= 0xD800 && u <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00);
      ++i;
    } else if ((u >= 0xD800 && u <= 0xDFFF) || u > 0xFFFF) {
      u = kReplacement;  // half a pair, or no UTF-16 unit at all
    }
    if (u < 0x80) {
      out += char(u);
    } else if (u < 0x800) {
      out += char(0xC0 | u >> 6);
      out += char(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
      out += char(0xE0 | u >> 12);
      out += char(0x80 | ((u >> 6) & 0x3F));
      out += char(0x80 | (u & 0x3F));
    } else {
      out += char(0xF0 | u >> 18);
      out += char(0x80 | ((u >> 12) & 0x3F));
      out += char(0x80 | ((u >> 6) & 0x3F));
      out += char(0x80 | (u & 0x3F));
    }
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

}  // namespace quorl
