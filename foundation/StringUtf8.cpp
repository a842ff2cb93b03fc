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
constexpr uint32_t kEllipsisChar = 0x2026;

struct CodeRange {
  uint32_t first, last;
};

// The format characters: Unicode 15.1's General_Category=Cf, all of them.
// They shape, join, reorder or hide what is shown around them, and most
// show nothing themselves.
constexpr CodeRange kFormat[] = {
    {0x00AD, 0x00AD},   {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},
    {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x202A, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},   {0x110BD, 0x110BD},
    {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0001, 0xE0001},
    {0xE0020, 0xE007F},
};

// The rest of Unicode 15.1's Default_Ignorable_Code_Point, which a renderer
// shows as nothing: the combining grapheme joiner, the Hangul fillers, two
// Khmer vowels, the variation selectors, and the code points kept for more
// of the kind, unassigned as yet (which a renderer must hide too).
constexpr CodeRange kInvisible[] = {
    {0x034F, 0x034F}, {0x115F, 0x1160}, {0x17B4, 0x17B5}, {0x180B, 0x180D},   {0x180F, 0x180F},
    {0x2065, 0x2065}, {0x3164, 0x3164}, {0xFE00, 0xFE0F}, {0xFFA0, 0xFFA0},   {0xFFF0, 0xFFF8},
    {0xE0000, 0xE0000}, {0xE0002, 0xE001F}, {0xE0080, 0xE0FFF},
};

template <size_t N> constexpr bool sortedApart(const CodeRange (&table)[N]) {
  for (size_t i = 0; i < N; i++)
    if (table[i].first > table[i].last || (i > 0 && table[i - 1].last + 1 >= table[i].first)) return false;
  return true;
}
static_assert(sortedApart(kFormat) && sortedApart(kInvisible), "ranges in order, apart, each first <= last");

template <size_t N> bool within(const CodeRange (&table)[N], uint32_t c) {
  const CodeRange* end = table + N;
  const CodeRange* next = std::upper_bound(table, end, c, [](uint32_t v, const CodeRange& r) { return v < r.first; });
  return next != table && c <= next[-1].last;
}

// Characters shown as the escapes of their bytes: C0, DEL, C1, the line and
// paragraph separators, the format characters, the other invisible ones and
// the noncharacters (U+FDD0-U+FDEF and the last two of every plane, which
// are never text).
bool shownAsBytes(uint32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  if (c < 0xAD) return false;
  return c == 0x2028 || c == 0x2029 || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE ||
         within(kFormat, c) || within(kInvisible, c);
}

// The first bytes of a text that a limit keeps: all of it, or a prefix cut
// at a character boundary.
uint32_t kept(const uint8_t* bytes, uint32_t length, uint32_t limit) {
  return uint32_t(String::utf8Prefix(reinterpret_cast<const char*>(bytes), length, limit));
}

void appendByteEscape(String& out, uint8_t b) {
  static const char kHex[] = "0123456789ABCDEF";
  const char text[4] = {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
  out.appendBytes(text, 4);
}

// Appends one character of an outside text (or one byte that is not UTF-8)
// as lineOf shows it; answers its bytes.
uint32_t appendShown(String& out, const uint8_t* bytes, uint32_t available) {
  uint32_t c = 0;
  const uint32_t n = String::_decodeUtf8(bytes, available, &c);
  if (n == 0) {
    appendByteEscape(out, bytes[0]);
    return 1;
  }
  if (c == '\n' || c == '\r' || c == '\t' || c == '\\') {
    const char text[2] = {'\\', c == '\n' ? 'n' : c == '\r' ? 'r' : c == '\t' ? 't' : '\\'};
    out.appendBytes(text, 2);
  } else if (c == kEllipsisChar) {
    out.appendByte('\\');
    out.appendBytes(bytes, n);
  } else if (shownAsBytes(c)) {
    for (uint32_t k = 0; k < n; k++) appendByteEscape(out, bytes[k]);
  } else {
    out.appendBytes(bytes, n);
  }
  return n;
}

bool isUpperHex(uint8_t b) { return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'F'); }

// The bytes of the escape that begins at a backslash of a shown text: 2 for
// "\\", "\n", "\r", "\t", 4 for "\x" and two hex digits, 4 for "\…"; 0 when
// the backslash begins none.
uint32_t escapeLength(const uint8_t* bytes, uint32_t available) {
  if (available < 2) return 0;
  const uint8_t e = bytes[1];
  if (e == '\\' || e == 'n' || e == 'r' || e == 't') return 2;
  if (e == 'x') return available >= 4 && isUpperHex(bytes[2]) && isUpperHex(bytes[3]) ? 4 : 0;
  return available >= 4 && std::memcmp(bytes + 1, kEllipsis, 3) == 0 ? 4 : 0;
}

}  // namespace

bool Stdio::_escapes(uint32_t codePoint) {
  return codePoint == '\\' || codePoint == kEllipsisChar || shownAsBytes(codePoint);
}

Ref<String> Stdio::lineOf(const uint8_t* bytes, uint32_t length, uint32_t limit) {
  Ref<String> out = make<String>();
  if (!bytes) return out;
  const uint32_t end = kept(bytes, length, limit);
  for (uint32_t i = 0; i < end;) i += appendShown(*out, bytes + i, end - i);
  if (end < length) out->appendCString(kEllipsis);
  return out;
}

Ref<String> Stdio::lineOf(Ptr<const String> text, uint32_t limit) {
  return text ? lineOf(text->_bytesAt(0), text->byteLength(), limit) : make<String>();
}

Ref<String> Stdio::quote(const uint8_t* bytes, uint32_t length, uint32_t limit) { return lineOf(bytes, length, limit); }

Ref<String> Stdio::quote(Ptr<const String> text, uint32_t limit) { return lineOf(text, limit); }

Ref<String> Stdio::lineOfQuoted(Ptr<const String> line, uint32_t limit) {
  Ref<String> out = make<String>();
  if (!line) return out;
  const uint8_t* bytes = line->_bytesAt(0);
  const uint32_t length = line->byteLength();
  uint32_t i = 0;
  while (i < length) {
    // The next unit: an escape or a cut mark of a quoted text, kept as it
    // is, or one character (or stray byte) of the line.
    uint32_t c = 0;
    uint32_t n = bytes[i] == '\\' ? escapeLength(bytes + i, length - i) : 0;
    const bool kept = n > 0 || ((n = String::_decodeUtf8(bytes + i, length - i, &c)) > 0 && c == kEllipsisChar);
    if (n == 0) n = 1;  // a byte that is not UTF-8
    if (n > limit || i > limit - n) break;
    if (kept) out->appendBytes(bytes + i, n);
    else appendShown(*out, bytes + i, n);
    i += n;
  }
  if (i < length) out->appendCString(kEllipsis);
  return out;
}

}  // namespace quorl
