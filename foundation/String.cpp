// String core: storage and growth, construction, comparison, editing,
// search, substrings and the standard description text.
//
// Sections:
//   1. Storage: growth, splice, aliasing
//   2. Construction and accessors
//   3. Comparison and hashing
//   4. Editing
//   5. Search
//   6. Substrings and derived texts
//   7. Standard description text
#include "String.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace quorl {

namespace {

const char kEmptyText[1] = {0};

inline uint8_t lowerAscii(uint8_t b) { return (b >= 'A' && b <= 'Z') ? static_cast<uint8_t>(b + 32) : b; }
inline uint8_t upperAscii(uint8_t b) { return (b >= 'a' && b <= 'z') ? static_cast<uint8_t>(b - 32) : b; }

inline bool isTrimByte(uint8_t b) { return b == ' ' || b == '\t' || b == '\n' || b == '\r'; }

// Number of bytes before the first 0 byte (the NUL-terminated view).
inline uint32_t textLengthToNul(const uint8_t* bytes, uint32_t length) {
  if (length == 0) return 0;
  const void* nul = std::memchr(bytes, 0, length);
  return nul ? static_cast<uint32_t>(static_cast<const uint8_t*>(nul) - bytes) : length;
}

inline int8_t sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

}  // namespace

// ---------------------------------------------------------------------------
// 1. Storage

void String::_reserve(uint32_t n) {
  if (bytes_ && n <= capacity_) return;
  uint32_t c = capacity_ ? capacity_ : 16;
  while (c < n) {
    if (c > 0x7FFFFFFFu) {  // doubling would pass 32 bits
      c = n;
      break;
    }
    c *= 2;
  }
  const bool fresh = !bytes_;
  bytes_.resize(static_cast<size_t>(c) + 1);
  if (fresh) bytes_.get()[0] = 0;
  bytes_.get()[length_] = 0;
  capacity_ = c;
}

void String::reserve(uint32_t n) { _reserve(n); }

void String::_adopt(const void* bytes, uint32_t count) {
  Bytes fresh;
  fresh.resize(static_cast<size_t>(count) + 1);
  uint8_t* p = fresh.get();
  if (count) std::memcpy(p, bytes, count);
  p[count] = 0;
  bytes_ = std::move(fresh);
  length_ = count;
  capacity_ = count;
}

// The one operation behind every insert, delete and replace by range. New
// bytes that lie inside this string's own buffer are copied aside first,
// because growing may move the buffer and the tail move may overwrite them.
void String::_splice(uint32_t at, uint32_t count, const uint8_t* bytes, uint32_t m) {
  if (_refuseChange()) return;
  const uint32_t start = std::min(at, length_);
  const uint32_t removed = std::min(count, length_ - start);
  const uint64_t newLength = static_cast<uint64_t>(length_) - removed + m;
  if (newLength > 0xFFFFFFFFu) return;  // not representable: leave the text as it is

  std::vector<uint8_t> aside;
  if (m && bytes_) {
    const uintptr_t p = reinterpret_cast<uintptr_t>(bytes);
    const uintptr_t lo = reinterpret_cast<uintptr_t>(bytes_.get());
    if (p >= lo && p <= lo + capacity_) {
      aside.assign(bytes, bytes + m);
      bytes = aside.data();
    }
  }

  _reserve(static_cast<uint32_t>(newLength));
  uint8_t* b = bytes_.get();
  const uint32_t tail = length_ - start - removed;
  if (tail && m != removed) std::memmove(b + start + m, b + start + removed, tail);
  if (m) std::memcpy(b + start, bytes, m);
  length_ = static_cast<uint32_t>(newLength);
  b[length_] = 0;
}

bool String::_refuseChange() const {
  if (!frozen_) [[likely]]
    return false;
  Stdio::_emitStr("error: String: a shared text cannot be changed; change a copy of it\n");
  return true;
}

// ---------------------------------------------------------------------------
// 2. Construction and accessors

String::String(const char* text) {
  const uint32_t n = _cstringLen(text);
  _adopt(text, n == kNotFound ? 0 : n);
}

String::String(const void* bytes, uint32_t count) { _adopt(bytes, bytes ? count : 0); }

String::String(std::string_view text) {
  _adopt(text.data(), static_cast<uint32_t>(std::min<size_t>(text.size(), 0xFFFFFFFEu)));
}

String::String(const String& other) : Object(other), Copying(other) {
  if (other.bytes_) _adopt(other.bytes_.get(), other.length_);
}

String::String(String&& other) noexcept : Object(other), Copying(other) {
  if (other.frozen_) {  // a frozen text keeps its bytes: take a copy
    if (other.bytes_) _adopt(other.bytes_.get(), other.length_);
    return;
  }
  bytes_ = std::move(other.bytes_);
  length_ = other.length_;
  capacity_ = other.capacity_;
  other.length_ = 0;
  other.capacity_ = 0;
}

String& String::operator=(const String& other) {
  if (this != &other && !_refuseChange()) {
    if (other.bytes_) {
      _adopt(other.bytes_.get(), other.length_);
    } else {
      bytes_.reset();
      length_ = capacity_ = 0;
    }
  }
  return *this;
}

String& String::operator=(String&& other) noexcept {
  if (this != &other) {
    bytes_ = std::move(other.bytes_);
    length_ = other.length_;
    capacity_ = other.capacity_;
    other.length_ = other.capacity_ = 0;
  }
  return *this;
}

Ref<String> String::withCString(const char* text) { return make<String>(text); }

Ref<String> String::withBytes(const void* bytes, uint32_t count) { return make<String>(bytes, count); }

Ref<String> String::withString(Ptr<const String> other) {
  if (!other) return make<String>();
  return make<String>(other->cString(), textLengthToNul(other->bytes_.get(), other->length_));
}

void String::_appendDecimal(uint64_t magnitude) {
  if (_refuseChange()) return;
  uint8_t digits[20];
  uint32_t n = 0;
  do {
    digits[n++] = static_cast<uint8_t>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  uint8_t ordered[20];
  for (uint32_t k = 0; k < n; k++) ordered[k] = digits[n - 1 - k];
  appendBytes(ordered, n);
}

Ref<String> String::withU32(uint32_t value) { return withU64(value); }

Ref<String> String::withU64(uint64_t value) {
  Ref<String> s = make<String>();
  s->_appendDecimal(value);
  return s;
}

Ref<String> String::withI32(int32_t value) { return withI64(value); }

Ref<String> String::withI64(int64_t value) {
  Ref<String> s = make<String>();
  if (value < 0) {
    s->appendByte('-');
    s->_appendDecimal(0 - static_cast<uint64_t>(value));
  } else {
    s->_appendDecimal(static_cast<uint64_t>(value));
  }
  return s;
}

Ref<String> String::description() const { return withString(this); }

Ref<String> String::copy() const { return withString(this); }

Ref<Object> String::copyObject() const { return copy(); }

const char* String::cString() const {
  // A const read must not allocate (strings may be read from several threads
  // at once), so a string without a buffer answers a shared empty text.
  return bytes_ ? reinterpret_cast<const char*>(bytes_.get()) : kEmptyText;
}

std::unique_ptr<char[]> String::copyCString() const {
  auto out = std::make_unique<char[]>(static_cast<size_t>(length_) + 1);
  if (length_) std::memcpy(out.get(), bytes_.get(), length_);
  out[length_] = 0;
  return out;
}

uint32_t String::getBytes(void* buffer, uint32_t max) const {
  if (!buffer) return 0;
  const uint32_t n = std::min(max, length_);
  if (n) std::memcpy(buffer, bytes_.get(), n);
  return n;
}

const uint8_t* String::_bytesAt(uint32_t index) const {
  return bytes_ ? bytes_.get() + index : reinterpret_cast<const uint8_t*>(kEmptyText);
}

uint8_t* String::_bytesAt(uint32_t index) {
  if (!bytes_) _reserve(0);
  return bytes_.get() + index;
}

uint32_t String::_cstringLen(const char* text) {
  if (!text) return 0;
  const size_t n = std::strlen(text);
  return n >= 0xFFFFFFFFu ? kNotFound : static_cast<uint32_t>(n);
}

// ---------------------------------------------------------------------------
// 3. Comparison and hashing

bool String::equals(Ptr<const Object> other) const {
  return equals(dynamic_cast<const String*>(other.get()));
}

bool String::equals(const String* other) const {
  if (!other) return false;
  if (other == this) return true;
  return length_ == other->length_ && (length_ == 0 || std::memcmp(bytes_.get(), other->bytes_.get(), length_) == 0);
}

int8_t String::compare(Ptr<const Object> other) const {
  return compare(dynamic_cast<const String*>(other.get()));
}

int8_t String::compare(const String* other) const {
  if (!other) return 0;
  const uint32_t n = std::min(length_, other->length_);
  if (n) {
    const int c = std::memcmp(bytes_.get(), other->bytes_.get(), n);  // memcmp compares unsigned bytes
    if (c) return sign(c);
  }
  return length_ < other->length_ ? -1 : (length_ > other->length_ ? 1 : 0);
}

uint32_t String::_fnv1a(const void* bytes, uint32_t n) {
  uint32_t h = 0x811c9dc5u;
  const uint8_t* b = static_cast<const uint8_t*>(bytes);
  for (uint32_t i = 0; i < n; i++) h = (h ^ b[i]) * 16777619u;
  return h;
}

uint32_t String::hash() const { return _fnv1a(bytes_.get(), length_); }

int8_t String::caseInsensitiveCompare(Ptr<const String> other) const {
  if (!other) return 0;
  const uint8_t* a = _bytesAt(0);
  const uint8_t* b = other->_bytesAt(0);
  const uint32_t na = textLengthToNul(a, length_);
  const uint32_t nb = textLengthToNul(b, other->length_);
  const uint32_t n = std::min(na, nb);
  for (uint32_t i = 0; i < n; i++) {
    const uint8_t x = lowerAscii(a[i]), y = lowerAscii(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return na < nb ? -1 : (na > nb ? 1 : 0);
}

bool String::equalsIgnoringCase(Ptr<const String> other) const {
  // Deliberately true for null: see the declaration.
  return caseInsensitiveCompare(other) == 0;
}

// ---------------------------------------------------------------------------
// 4. Editing

void String::appendBytes(const void* bytes, uint32_t count) {
  if (_refuseChange()) return;
  if (count == 0) return;
  if (static_cast<uint64_t>(length_) + count > 0xFFFFFFFFu) return;  // not representable
  const uint8_t* src = static_cast<const uint8_t*>(bytes);
  uint32_t offset = kNotFound;  // source inside our own buffer survives a move
  if (bytes_) {
    const uintptr_t p = reinterpret_cast<uintptr_t>(src);
    const uintptr_t lo = reinterpret_cast<uintptr_t>(bytes_.get());
    if (p >= lo && p <= lo + capacity_) offset = static_cast<uint32_t>(p - lo);
  }
  _reserve(length_ + count);
  uint8_t* b = bytes_.get();
  if (offset != kNotFound) src = b + offset;
  std::memmove(b + length_, src, count);
  length_ += count;
  b[length_] = 0;
}

void String::append(Ptr<const String> other) {
  if (!other || other->length_ == 0) return;
  appendBytes(other->bytes_.get(), other->length_);
}

void String::appendCString(const char* text) {
  const uint32_t n = _cstringLen(text);
  if (n != kNotFound) appendBytes(text, n);
}

Ref<String> String::appending(Ptr<const String> other) const {
  Ref<String> s = withString(this);
  s->append(other);
  return s;
}

void String::insertAtByte(uint32_t at, Ptr<const String> other) {
  if (!other || other->length_ == 0) return;
  _splice(at, 0, other->bytes_.get(), other->length_);  // a copy is taken when other is this
}

void String::insertCStringAtByte(uint32_t at, const char* text) {
  const uint32_t n = _cstringLen(text);
  if (n != kNotFound) _splice(at, 0, reinterpret_cast<const uint8_t*>(text), n);
}

void String::insertByte(uint32_t at, uint8_t byte) { _splice(at, 0, &byte, 1); }

void String::deleteByteRange(uint32_t at, uint32_t count) { _splice(at, count, nullptr, 0); }

void String::replaceByteRange(uint32_t at, uint32_t count, Ptr<const String> other) {
  if (!other) {
    deleteByteRange(at, count);
    return;
  }
  _splice(at, count, other->_bytesAt(0), other->length_);
}

uint8_t* String::_appendRoom(uint32_t n) {
  if (_refuseChange()) return nullptr;
  if (static_cast<uint64_t>(length_) + n >= 0xFFFFFFFFu) return nullptr;  // capacity + 1 must fit
  _reserve(length_ + n);
  return bytes_.get() + length_;
}

void String::_setByteLength(uint32_t n) {
  if (_refuseChange()) return;
  if (!bytes_ || n > capacity_) return;
  length_ = n;
  bytes_.get()[n] = 0;
}

void String::clear() {
  if (_refuseChange()) return;
  length_ = 0;
  if (bytes_) bytes_.get()[0] = 0;
}

void String::setTo(Ptr<const String> other) {
  if (other.get() == this) return;
  clear();
  append(other);
}

void String::setCString(const char* text) {
  if (_refuseChange()) return;
  const uint32_t n = _cstringLen(text);
  if (n == kNotFound) return;
  // The text may be our own (s->setCString(s->cString() + k)): clearing first
  // would erase it, so move it into place instead.
  if (bytes_) {
    const uintptr_t p = reinterpret_cast<uintptr_t>(text);
    const uintptr_t lo = reinterpret_cast<uintptr_t>(bytes_.get());
    if (p >= lo && p <= lo + capacity_) {
      std::memmove(bytes_.get(), text, n);
      length_ = n;
      bytes_.get()[n] = 0;
      return;
    }
  }
  clear();
  appendBytes(text, n);
}

// Replaces left to right without overlap and never searches inserted text.
// That makes every match a match of the original text, so the result is
// built in one pass instead of one splice per match: in place when the text
// does not grow, from the back after one reservation when it does.
uint32_t String::replaceOccurrences(Ptr<const String> target, Ptr<const String> replacement) {
  if (_refuseChange()) return 0;
  if (!target || target->length_ == 0 || target->length_ > length_) return 0;
  // Our own text as target or replacement is copied before editing starts.
  // The copy is the ordinary `withString` one, so like every copy of a whole
  // string it ends at the first 0 byte.
  Ref<String> targetCopy, replacementCopy;
  if (target.get() == this) {
    targetCopy = withString(this);
    target = targetCopy;
    if (target->length_ == 0) return 0;
  }
  if (replacement.get() == this) {
    replacementCopy = withString(this);
    replacement = replacementCopy;
  }
  const uint32_t tlen = target->length_;
  const uint32_t rlen = replacement ? replacement->length_ : 0;
  const uint8_t* rep = replacement ? replacement->_bytesAt(0) : nullptr;
  const std::string_view text = view();
  const std::string_view needle = target->view();

  std::vector<uint32_t> matches;
  for (size_t pos = text.find(needle); pos != std::string_view::npos; pos = text.find(needle, pos + tlen))
    matches.push_back(static_cast<uint32_t>(pos));
  if (matches.empty()) return 0;

  const uint64_t count = matches.size();
  const uint64_t newLength = static_cast<uint64_t>(length_) + count * rlen - count * tlen;
  if (newLength > 0xFFFFFFFFu) return 0;  // not representable: leave the text as it is

  if (rlen <= tlen) {
    uint8_t* b = bytes_.get();
    uint32_t w = matches[0], r = matches[0];
    for (size_t k = 0; k < matches.size(); k++) {
      const uint32_t keep = matches[k] - r;
      if (keep && w != r) std::memmove(b + w, b + r, keep);
      w += keep;
      if (rlen) std::memcpy(b + w, rep, rlen);
      w += rlen;
      r = matches[k] + tlen;
    }
    const uint32_t rest = length_ - r;
    if (rest && w != r) std::memmove(b + w, b + r, rest);
    length_ = w + rest;
    b[length_] = 0;
  } else {
    const uint32_t oldLength = length_;
    _reserve(static_cast<uint32_t>(newLength));
    uint8_t* b = bytes_.get();
    uint64_t w = newLength, r = oldLength;
    for (size_t k = matches.size(); k-- > 0;) {
      const uint64_t tailStart = matches[k] + tlen;
      const uint64_t tail = r - tailStart;
      w -= tail;
      if (tail) std::memmove(b + w, b + tailStart, tail);
      w -= rlen;
      std::memcpy(b + w, rep, rlen);
      r = matches[k];
    }
    length_ = static_cast<uint32_t>(newLength);
    b[length_] = 0;
  }
  return static_cast<uint32_t>(count);
}

// ---------------------------------------------------------------------------
// 5. Search

uint32_t String::indexOfByte(uint8_t byte) const {
  if (length_ == 0) return kNotFound;
  const void* p = std::memchr(bytes_.get(), byte, length_);
  return p ? static_cast<uint32_t>(static_cast<const uint8_t*>(p) - bytes_.get()) : kNotFound;
}

uint32_t String::lastIndexOfByte(uint8_t byte) const {
  const uint8_t* b = bytes_.get();
  for (uint32_t i = length_; i-- > 0;)
    if (b[i] == byte) return i;
  return kNotFound;
}

uint32_t String::byteIndexOf(Ptr<const String> other, uint32_t from) const {
  if (!other || from > length_) return kNotFound;
  if (other->length_ == 0) return from;
  const size_t pos = view().find(other->view(), from);
  return pos == std::string_view::npos ? kNotFound : static_cast<uint32_t>(pos);
}

bool String::hasPrefix(Ptr<const String> other) const {
  if (!other || other->length_ > length_) return false;
  return other->length_ == 0 || std::memcmp(bytes_.get(), other->bytes_.get(), other->length_) == 0;
}

bool String::hasSuffix(Ptr<const String> other) const {
  if (!other || other->length_ > length_) return false;
  return other->length_ == 0 ||
         std::memcmp(bytes_.get() + (length_ - other->length_), other->bytes_.get(), other->length_) == 0;
}

bool String::_matchesAt(uint32_t at, Ptr<const String> other) const {
  if (!other || static_cast<uint64_t>(at) + other->length_ > length_) return false;
  return other->length_ == 0 || std::memcmp(bytes_.get() + at, other->bytes_.get(), other->length_) == 0;
}

// ---------------------------------------------------------------------------
// 6. Substrings and derived texts

Ref<String> String::substringFromByte(uint32_t start) const {
  if (start >= length_) return make<String>();
  return withBytes(bytes_.get() + start, length_ - start);
}

Ref<String> String::substringBytes(uint32_t start, uint32_t count) const {
  if (start >= length_) return make<String>();
  return withBytes(bytes_.get() + start, std::min(count, length_ - start));
}

Ref<String> String::uppercased() const {
  Ref<String> s = withString(this);
  uint8_t* b = s->bytes_.get();
  for (uint32_t i = 0; i < s->length_; i++) b[i] = upperAscii(b[i]);
  return s;
}

Ref<String> String::lowercased() const {
  Ref<String> s = withString(this);
  uint8_t* b = s->bytes_.get();
  for (uint32_t i = 0; i < s->length_; i++) b[i] = lowerAscii(b[i]);
  return s;
}

Ref<String> String::trimmed() const {
  const uint8_t* b = _bytesAt(0);
  uint32_t start = 0, end = length_;
  while (start < end && isTrimByte(b[start])) start++;
  while (end > start && isTrimByte(b[end - 1])) end--;
  return substringBytes(start, end - start);
}

Ref<String> String::replacing(Ptr<const String> target, Ptr<const String> replacement) const {
  if (length_ == 0) return make<String>();
  if (!target || target->length_ == 0) return withString(this);
  Ref<String> out = make<String>();
  const uint8_t* b = bytes_.get();
  uint32_t i = 0;
  while (i < length_) {
    const uint32_t j = byteIndexOf(target, i);
    if (j == kNotFound) {
      out->appendBytes(b + i, length_ - i);
      break;
    }
    out->appendBytes(b + i, j - i);
    if (replacement) out->append(replacement);
    i = j + target->length_;
  }
  return out;
}

// ---------------------------------------------------------------------------
// 7. Standard description text

uint8_t String::_appendCStr(char* buffer, uint8_t pos, const char* text) {
  if (!text) return pos;
  while (*text && pos < 255) buffer[pos++] = *text++;
  return pos;
}

uint8_t String::_appendU16(char* buffer, uint8_t pos, uint16_t value) {
  char digits[5];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value = static_cast<uint16_t>(value / 10);
  } while (value);
  while (n > 0 && pos < 255) buffer[pos++] = digits[--n];
  return pos;
}

uint8_t String::_appendI16(char* buffer, uint8_t pos, int16_t value) {
  if (value >= 0) return _appendU16(buffer, pos, static_cast<uint16_t>(value));
  if (pos < 255) buffer[pos++] = '-';
  return _appendU16(buffer, pos, static_cast<uint16_t>(-static_cast<int32_t>(value)));
}

Ref<String> String::_classDescribe(const char* name, const uint16_t* values, uint8_t n, uint8_t signedMask) {
  char buffer[256];
  uint8_t pos = _appendCStr(buffer, 0, "<");
  pos = _appendCStr(buffer, pos, name);
  pos = _appendCStr(buffer, pos, ">(");
  for (uint32_t k = 0; k < n; k++) {
    if (k) pos = _appendCStr(buffer, pos, ", ");
    const uint16_t v = values ? values[k] : 0;
    if (k < 8 && ((signedMask >> k) & 1u))
      pos = _appendI16(buffer, pos, static_cast<int16_t>(v));
    else
      pos = _appendU16(buffer, pos, v);
  }
  pos = _appendCStr(buffer, pos, ")");
  buffer[pos] = 0;
  return withCString(buffer);
}

}  // namespace quorl
