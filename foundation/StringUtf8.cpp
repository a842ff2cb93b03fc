// String: UTF-8 characters (strict decoding, navigation, encoding,
// validation, sanitising) and the portable half of Stdio.
#include <algorithm>
#include <cstring>

#include "String.h"

namespace quorl {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

inline bool isContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// Continuation bytes a lead byte announces; 0 also for invalid lead bytes.
inline uint32_t expectedContinuations(uint8_t lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 3;
  if (lead >= 0xE0 && lead <= 0xEF) return 2;
  if (lead >= 0xC2 && lead <= 0xDF) return 1;
  return 0;
}

}  // namespace

uint32_t String::_decodeUtf8(const uint8_t* b, uint32_t available, uint32_t* codePoint) {
  if (!b || available == 0) return 0;
  const uint8_t lead = b[0];
  if (lead < 0x80) {
    if (codePoint) *codePoint = lead;
    return 1;
  }
  uint32_t k, value, smallest;
  if (lead >= 0xC2 && lead <= 0xDF) {
    k = 1, value = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    k = 2, value = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    k = 3, value = lead & 0x07, smallest = 0x10000;
  } else {
    return 0;
  }
  if (k >= available) return 0;  // cut off by the end
  for (uint32_t j = 1; j <= k; j++) {
    if (!isContinuation(b[j])) return 0;
    value = (value << 6) | (b[j] & 0x3F);
  }
  if (value < smallest || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  if (codePoint) *codePoint = value;
  return k + 1;
}

uint32_t String::_decodeLenAt(uint32_t i) const {
  return i < length_ ? _decodeUtf8(bytes_.get() + i, length_ - i, nullptr) : 0;
}

bool String::isCharBoundary(uint32_t i) const { return i >= length_ || !isContinuation(bytes_.get()[i]); }

size_t String::utf8Prefix(const char* bytes, size_t length, size_t limit) {
  if (length <= limit) return length;
  // A sequence has at most three continuation bytes; a longer stray run of
  // them is cut where the limit falls.
  size_t cut = limit;
  for (int k = 0; k < 3 && cut > 0 && isContinuation(uint8_t(bytes[cut])); ++k) --cut;
  return isContinuation(uint8_t(bytes[cut])) ? limit : cut;
}

uint32_t String::charCount() const {
  const uint8_t* b = bytes_.get();
  uint32_t n = 0;
  for (uint32_t i = 0; i < length_; i++) n += !isContinuation(b[i]);
  return n;
}

uint32_t String::charAtByte(uint32_t i) const {
  uint32_t value = kReplacement;
  if (i < length_) _decodeUtf8(bytes_.get() + i, length_ - i, &value);
  return value;
}

uint32_t String::charByteLength(uint32_t i) const {
  const uint32_t n = _decodeLenAt(i);
  return n ? n : 1;
}

uint32_t String::nextCharByte(uint32_t i) const {
  if (i >= length_) return length_;
  return std::min(i + charByteLength(i), length_);  // i < length_, so no wrap
}

uint32_t String::prevCharByte(uint32_t i) const {
  for (uint32_t j = i; j-- > 1;)
    if (isCharBoundary(j)) return j;
  return 0;
}

uint32_t String::byteIndexOfChar(uint32_t n) const {
  if (n == 0 || length_ == 0) return 0;
  uint32_t p = 0;
  for (uint32_t k = 0; k < n && p < length_; k++) p = nextCharByte(p);
  return p;
}

uint32_t String::charAt(uint32_t n) const {
  const uint32_t p = byteIndexOfChar(n);
  return p >= length_ ? kReplacement : charAtByte(p);
}

Ref<String> String::substringChars(uint32_t start, uint32_t count) const {
  const uint32_t s = byteIndexOfChar(start);
  uint32_t e = s;
  for (uint32_t k = 0; k < count && e < length_; k++) e = nextCharByte(e);
  return substringBytes(s, e - s);
}

uint32_t String::_encodeUtf8(uint32_t c, uint8_t out[4]) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c >= 0x110000) c = kReplacement;
  if (c < 0x80) {
    out[0] = static_cast<uint8_t>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<uint8_t>(0xC0 | (c >> 6));
    out[1] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<uint8_t>(0xE0 | (c >> 12));
    out[1] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<uint8_t>(0xF0 | (c >> 18));
  out[1] = static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<uint8_t>(0x80 | (c & 0x3F));
  return 4;
}

void String::appendChar(uint32_t c) {
  uint8_t out[4];
  appendBytes(out, _encodeUtf8(c, out));
}

bool String::isValidUtf8() const {
  const uint8_t* b = bytes_.get();
  uint32_t i = 0;
  while (i < length_) {
    if (b[i] < 0x80) {
      i++;
      continue;
    }
    const uint32_t n = _decodeLenAt(i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

Ref<String> String::sanitizedUtf8() const {
  Ref<String> out = make<String>();
  const uint8_t* b = bytes_.get();
  uint32_t i = 0;
  while (i < length_) {
    // Valid stretches go across in one append.
    const uint32_t runStart = i;
    for (uint32_t n; i < length_ && (n = _decodeLenAt(i)) > 0;) i += n;
    if (i > runStart) out->appendBytes(b + runStart, i - runStart);
    if (i >= length_) break;
    const uint32_t k = expectedContinuations(b[i]);
    uint32_t j = 1;
    while (j <= k && static_cast<uint64_t>(i) + j < length_ && isContinuation(b[i + j])) j++;
    out->appendChar(kReplacement);
    i += j;
  }
  return out;
}

// ---------------------------------------------------------------------------
// Stdio: the portable half; Stdio::_write is per platform.

bool Stdio::_emitStr(const char* text) {
  if (!text) return true;
  const uint32_t n = String::_cstringLen(text);
  return n != kNotFound && _write(text, n);
}

bool Stdio::_putString(Ptr<const String> string) {
  return !string || _write(string->_bytesAt(0), string->byteLength());
}

namespace {

constexpr char kEllipsis[] = "\xE2\x80\xA6";

// Characters shown as the escapes of their bytes: C0, DEL, C1, the line and
// paragraph separators, and the bidirectional marks, embeddings, overrides
// and isolates, which reorder what a terminal or a label shows around them.
bool shownEscaped(uint32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0x061C || c == 0x200E ||
         c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// The first bytes of a text that a limit keeps: all of it, or a prefix cut
// at a character boundary.
uint32_t kept(const uint8_t* bytes, uint32_t length, uint32_t limit) {
  return uint32_t(String::utf8Prefix(reinterpret_cast<const char*>(bytes), length, limit));
}

}  // namespace

Ref<String> Stdio::lineOf(const uint8_t* bytes, uint32_t length, uint32_t limit) {
  Ref<String> out = make<String>();
  if (!bytes) return out;
  const uint32_t end = kept(bytes, length, limit);
  const auto escapeByte = [&](uint8_t b) {
    static const char kHex[] = "0123456789ABCDEF";
    const char text[4] = {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
    out->appendBytes(text, 4);
  };
  for (uint32_t i = 0; i < end;) {
    uint32_t c = 0;
    uint32_t n = String::_decodeUtf8(bytes + i, end - i, &c);
    if (n == 0) n = 1;  // a byte that is not UTF-8 is escaped alone
    if (n == 1 && bytes[i] >= 0x80) {
      escapeByte(bytes[i]);
    } else if (c == '\n') {
      out->appendCString("\\n");
    } else if (c == '\r') {
      out->appendCString("\\r");
    } else if (c == '\t') {
      out->appendCString("\\t");
    } else if (c == '\\') {
      out->appendCString("\\\\");
    } else if (shownEscaped(c)) {
      for (uint32_t k = 0; k < n; k++) escapeByte(bytes[i + k]);
    } else {
      out->appendBytes(bytes + i, n);
    }
    i += n;
  }
  if (end < length) out->appendCString(kEllipsis);
  return out;
}

Ref<String> Stdio::lineOf(Ptr<const String> text, uint32_t limit) {
  return text ? lineOf(text->_bytesAt(0), text->byteLength(), limit) : make<String>();
}

Ref<String> Stdio::quote(const uint8_t* bytes, uint32_t length, uint32_t limit) {
  if (!bytes) return make<String>();
  const uint32_t end = kept(bytes, length, limit);
  Ref<String> out = String::withBytes(bytes, end);
  if (end < length) out->appendCString(kEllipsis);
  return out;
}

Ref<String> Stdio::quote(Ptr<const String> text, uint32_t limit) {
  return text ? quote(text->_bytesAt(0), text->byteLength(), limit) : make<String>();
}

}  // namespace quorl
