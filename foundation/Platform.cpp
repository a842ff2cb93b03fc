#include "Platform.h"

#include "String.h"

namespace quorl {

namespace {

// The strict UTF-8 decoder: shortest form only, no surrogates, nothing past
// U+10FFFF. Answers the sequence length (0 when invalid) and the code point.
uint32_t decodeUtf8(const uint8_t* p, uint32_t* codePoint) {
  const uint8_t lead = p[0];
  if (lead < 0x80) {
    *codePoint = lead;
    return 1;
  }
  uint32_t k;
  uint32_t value;
  uint32_t smallest;
  if (lead >= 0xC2 && lead <= 0xDF) {
    k = 1, value = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    k = 2, value = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    k = 3, value = lead & 0x07, smallest = 0x10000;
  } else {
    return 0;
  }
  for (uint32_t i = 1; i <= k; ++i) {
    // A NUL ends the text, and it is no continuation byte, so this never
    // reads past the terminator.
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *codePoint = value;
  return k + 1;
}

}  // namespace

Ref<String> Platform::env(Ptr<const String> name) {
  Ref<String> result = make<String>();
  if (!name) return result;
  Ref<String> value = _rawEnv(name->cString());
  // The copy is taken here, so later changes to the environment never reach
  // a String the caller holds.
  if (value && value->byteLength() < kEnvLimit) result->append(value);
  return result;
}

std::u16string Platform::_utf16(const char* text) {
  std::u16string out;
  if (!text) return out;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(text);
  while (*p) {
    uint32_t c = 0;
    const uint32_t n = decodeUtf8(p, &c);
    if (n == 0) {
      out.push_back(u'\xFFFD');
      ++p;
      continue;
    }
    p += n;
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
  }
  return out;
}

Ref<String> Platform::_utf8(const char16_t* units, size_t count) {
  Ref<String> out = make<String>();
  if (!units) return out;
  for (size_t i = 0; i < count; ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
      ++i;
    }
    out->appendChar(c);  // a lone surrogate becomes U+FFFD there
  }
  return out;
}

}  // namespace quorl
