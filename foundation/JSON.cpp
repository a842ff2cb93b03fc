// JSON reader and writer.
//
// Sections:
//   1. JSONError
//   2. Byte scanning: runs of plain string bytes, eight at a time
//   3. Numbers: integer magnitudes and the exact short-double path
//   4. _JSONReader: one pass from bytes to values
//   5. _JSONWriter: a sink into the result String and the walk over the values
//   6. Doubles on output
//   7. Entry points
//
// The reader builds the values as it goes; it never makes a parse tree. It
// stops at the first fault by throwing, so the error text always names the
// first fault reached and no partial value escapes. Recursion is bounded by
// JSON::kMaxDepth open containers on both sides.
#include "JSON.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <typeinfo>
#include <vector>

#include "Array.h"
#include "Map.h"
#include "Null.h"
#include "Number.h"
#include "NumberText.h"
#include "String.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. JSONError

JSONError::JSONError(Ref<String> message, uint32_t position)
    : message_(message ? std::move(message) : make<String>()), position_(position) {}

JSONError::JSONError(const char* message) : message_(String::withCString(message)) {}

const char* JSONError::what() const noexcept { return message_->cString(); }

Ref<String> JSONError::description() const { return String::withBytes(message_->cString(), message_->byteLength()); }

namespace {

// ---------------------------------------------------------------------------
// 2. Byte scanning. A "stop" byte ends a run of bytes that are copied as they
//    are: inside a string the double quote, the backslash and every byte
//    below 0x20. The same set needs escaping on output.

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;

inline uint64_t load8(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

// High bit set in each byte lane that holds a stop byte. Lanes above the
// first stop may be flagged falsely (borrows), so only the lowest flag counts.
inline uint64_t stopLanes(uint64_t v) {
  const uint64_t quote = v ^ (kOnes * '"');
  const uint64_t backslash = v ^ (kOnes * '\\');
  const uint64_t zeroQuote = (quote - kOnes) & ~quote;
  const uint64_t zeroBackslash = (backslash - kOnes) & ~backslash;
  const uint64_t control = (v - kOnes * 0x20) & ~v;
  return (zeroQuote | zeroBackslash | control) & kHighs;
}

// The first index >= at holding a stop byte, or `length`. `high` collects
// every byte passed over, so a caller can tell whether any was >= 0x80.
inline uint32_t scanRun(const uint8_t* bytes, uint32_t at, uint32_t length, uint64_t& high) {
  while (length - at >= 8) {
    const uint64_t v = load8(bytes + at);
    const uint64_t lanes = stopLanes(v);
    if (lanes) {
      const uint32_t k = static_cast<uint32_t>(std::countr_zero(lanes)) >> 3;
      high |= v & ((uint64_t{1} << (k * 8)) - 1);  // only the bytes before the stop
      return at + k;
    }
    high |= v;
    at += 8;
  }
  if (at < length) {
    // The last few bytes, padded with a byte that is no stop and not high.
    const uint32_t rest = length - at;
    uint8_t padded[8];
    std::memset(padded, 'A', 8);
    std::memcpy(padded, bytes + at, rest);
    const uint64_t v = load8(padded);
    const uint64_t lanes = stopLanes(v);
    if (lanes) {
      const uint32_t k = static_cast<uint32_t>(std::countr_zero(lanes)) >> 3;
      high |= v & ((uint64_t{1} << (k * 8)) - 1);
      return at + k;
    }
    high |= v;
    return length;
  }
  return at;
}

inline bool isDigit(uint8_t c) { return static_cast<uint8_t>(c - '0') < 10; }

inline bool isSpace(uint8_t c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// ---------------------------------------------------------------------------
// 3. Numbers

constexpr double kPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Texts whose significant digits fit 53 bits and whose decimal exponent is
// small need one correctly rounded multiplication or division by an exact
// power of ten, which gives exactly the nearest double (Clinger). Everything
// else goes to the exact big-integer conversion. Answers false when the text
// is not such a short one.
bool shortDouble(const uint8_t* p, uint32_t n, double* out) {
  uint32_t i = 0;
  const bool negative = p[0] == '-';
  if (negative) i = 1;
  uint64_t mantissa = 0;
  int32_t digits = 0;
  int32_t exponent = 0;
  for (; i < n && isDigit(p[i]); ++i) {
    if (mantissa == 0 && p[i] == '0') continue;
    if (++digits > 19) return false;
    mantissa = mantissa * 10 + (p[i] - '0');
  }
  if (i < n && p[i] == '.') {
    for (++i; i < n && isDigit(p[i]); ++i) {
      if (mantissa == 0 && p[i] == '0') {
        --exponent;
        continue;
      }
      if (++digits > 19) return false;
      mantissa = mantissa * 10 + (p[i] - '0');
      --exponent;
    }
  }
  if (i < n && (p[i] | 0x20) == 'e') {
    ++i;
    bool minus = false;
    if (i < n && (p[i] == '+' || p[i] == '-')) minus = p[i++] == '-';
    int32_t x = 0;
    for (; i < n && isDigit(p[i]); ++i) {
      if (x >= 100000) return mantissa == 0 ? (*out = negative ? -0.0 : 0.0, true) : false;
      x = x * 10 + (p[i] - '0');
    }
    exponent += minus ? -x : x;
  }
  double value;
  if (mantissa == 0) {
    value = 0.0;
  } else {
    if (mantissa > (uint64_t{1} << 53)) return false;
    const double m = static_cast<double>(mantissa);
    if (exponent == 0) {
      value = m;
    } else if (exponent > 0 && exponent <= 22) {
      value = m * kPow10[exponent];
    } else if (exponent < 0 && exponent >= -22) {
      value = m / kPow10[-exponent];
    } else if (exponent > 22 && exponent <= 22 + 15) {
      // Move the excess into the mantissa while it stays exact.
      uint64_t scaled = mantissa;
      for (int32_t k = exponent - 22; k > 0; --k) {
        scaled *= 10;
        if (scaled > (uint64_t{1} << 53)) return false;
      }
      value = static_cast<double>(scaled) * 1e22;
    } else {
      return false;
    }
  }
  *out = negative ? -value : value;
  return true;
}

double parseDouble(const uint8_t* p, uint32_t n) {
  double value;
  if (shortDouble(p, n, &value)) return value;
  return _json_parseDouble(reinterpret_cast<const char*>(p), n);
}

// ---------------------------------------------------------------------------
// 4. _JSONReader

// Short texts repeat through a document (keys above all, and the names of
// suites, targets and devices): one String is made for each and shared by
// every place it occurs, which saves most of the allocations of a document.
// Direct-mapped and bounded, so a document of unique texts costs a missed
// lookup and nothing more; sized by the input so that a small reply does not
// pay for a large table.
class TextCache {
 public:
  static constexpr uint32_t kLongest = 32;

  explicit TextCache(uint32_t inputLength) {
    const uint32_t wanted = std::bit_ceil(std::max<uint32_t>(inputLength / 64, 1));
    size_ = std::clamp<uint32_t>(wanted, 64, 4096);
    entries_ = std::make_unique<Entry[]>(size_);
  }

  // A text made here adds its bytes to `owed`.
  Ref<String> get(const uint8_t* bytes, uint32_t n, uint64_t& owed) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    uint32_t i = 0;
    for (; i + 8 <= n; i += 8) h = (h ^ load8(bytes + i)) * 0xBF58476D1CE4E5B9ull;
    if (i < n) {
      uint64_t tail = 0;
      std::memcpy(&tail, bytes + i, n - i);
      h = (h ^ tail) * 0xBF58476D1CE4E5B9ull;
    }
    // Mixed once more, so that the slot depends on every byte: a product's
    // low bits see only the low bits of its factors, and texts that differ
    // only in their last bytes ("member1", "member2") would share a slot
    // and push each other out.
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 32;
    Entry& e = entries_[h & (size_ - 1)];
    if (e.hash == h && e.text && e.text->byteLength() == n && sameShort(e.bytes, bytes, n)) {
      e.text->_freeze();  // from now on in two places at least
      return e.text;
    }
    e.hash = h;
    e.text = String::withBytes(bytes, n);
    e.bytes = e.text->_bytesAt(0);
    owed += sizeof(String) + n;
    return e.text;
  }

 private:
  // Nothing changes a text while the parse runs, so its bytes stay where
  // they were when it was made.
  struct Entry {
    uint64_t hash = 0;
    Ref<String> text;
    const uint8_t* bytes = nullptr;
  };

  // Equal bytes, for n up to kLongest: whole words inline, the last one
  // overlapping, where a call of memcmp would cost more than the compare.
  static bool sameShort(const uint8_t* a, const uint8_t* b, uint32_t n) {
    if (n >= 8) {
      for (uint32_t i = 0; i + 8 < n; i += 8)
        if (load8(a + i) != load8(b + i)) return false;
      return load8(a + n - 8) == load8(b + n - 8);
    }
    if (n >= 4) {
      uint32_t x, y, u, v;
      std::memcpy(&x, a, 4);
      std::memcpy(&y, b, 4);
      std::memcpy(&u, a + n - 4, 4);
      std::memcpy(&v, b + n - 4, 4);
      return x == y && u == v;
    }
    for (uint32_t i = 0; i < n; ++i)
      if (a[i] != b[i]) return false;
    return true;
  }
  std::unique_ptr<Entry[]> entries_;
  uint32_t size_ = 0;
};

// Objects of a document often have the same members in the same order (the
// runs of a corpus): their maps share one block of keys. The keys of the
// last object made with each sequence of key objects are kept, direct-mapped
// by the addresses of those key objects (the texts above make equal short
// keys one object).
class KeysCache {
 public:
  KeysCache() = default;
  KeysCache(const KeysCache&) = delete;
  KeysCache& operator=(const KeysCache&) = delete;
  ~KeysCache() {
    for (Entry& e : entries_) Map::_dropKeys(e.keys);
  }

  // A map of the n members at `pairs` (key, value, key, value...), which it
  // takes; later equal keys replace earlier ones as `set` does.
  Ref<Map> makeMap(Ref<Object>* pairs, uint32_t n) {
    if (n == 0 || n > Map::kCompactMost) return byMembers(pairs, n);
    uint64_t h = n;
    for (uint32_t i = 0; i < n; ++i) h = (h ^ reinterpret_cast<uintptr_t>(pairs[2 * i].get())) * 0x9E3779B97F4A7C15ull;
    Entry& e = entries_[(h >> 40) & (kSize - 1)];
    if (e.hash == h && Map::_keysAre(e.keys, pairs, n)) return Map::_withKeys(e.keys, pairs, n);
    Ref<Map> map = byMembers(pairs, n);
    if (map->count() == n) {  // no key twice: the keys are these objects, in this order
      if (Map::Keys* keys = map->_shareKeys()) {
        Map::_dropKeys(e.keys);
        e.keys = keys;
        e.hash = h;
      }
    }
    return map;
  }

 private:
  static Ref<Map> byMembers(Ref<Object>* pairs, uint32_t n) {
    Ref<Map> map = Map::_withRoom(n);
    for (uint32_t i = 0; i < n; ++i) map->set(std::move(pairs[2 * i]), std::move(pairs[2 * i + 1]));
    return map;
  }

  static constexpr uint32_t kSize = 256;
  struct Entry {
    uint64_t hash = 0;
    Map::Keys* keys = nullptr;
  };
  Entry entries_[kSize];
};

class _JSONReader : public Object {
 public:
  // The document's value, or null with `error` holding the full text.
  Ref<Object> parse(const uint8_t* input, uint32_t inputLength) {
    cache_ = std::make_unique<TextCache>(inputLength);
    bytes = input;
    length = inputLength;
    position = 0;
    depth = 0;
    error.reset();
    room_ = budget->bytes - budget->spent;
    owed_ = 0;
    perObject_ = budget->perObject;
    try {
      _ws();
      Ref<Object> value = _value();
      _ws();
      if (position != length) _fail("unexpected text after the JSON value");
      _pay(0);
      budget->spent = budget->bytes - room_;
      return value;
    } catch (const Failed&) {
      return nullptr;
    }
  }

  Ref<String> description() const override {
    const uint16_t values[3] = {static_cast<uint16_t>(length), static_cast<uint16_t>(position),
                                static_cast<uint16_t>(depth)};
    return String::_classDescribe("_JSONReader", values, 3, 0);
  }
  const char* classNameC() const override { return "_JSONReader"; }

  const uint8_t* bytes = nullptr;  // borrowed for one parse
  uint32_t length = 0;
  uint32_t position = 0;
  uint32_t depth = 0;  // arrays and objects open
  Ref<String> error;
  JSON::Budget* budget = nullptr;  // borrowed for one parse

 private:
  struct Failed {};
  // What the values made here take. A container pays when it is made, for
  // itself, its elements' slots on the shared stacks (which grow by
  // doubling) and every number and short text made since the last payment,
  // which are only counted as they are made; a text too long for the texts'
  // cache pays at once. The budget is kept here while the parse runs, as
  // what is left of it, so that a payment is one comparison. A container
  // being read pays what is owed once it passes kOwedMost, so that what is
  // made unpaid stays small whatever the document's shape.
  static constexpr uint32_t kOwedMost = 16 << 10;
  static constexpr uint32_t kPendingSlot = 2 * sizeof(Ref<Object>);
  // A member: its key and value waiting, then its place in the map's table.
  static constexpr uint32_t kMapEntry = kPendingSlot + 2 * sizeof(Ref<Object>);
  // A member of a map too large to stay compact: its place in a hash table
  // made by doubling and at most three quarters full (up to 8/3 slots of a
  // key, a value and a hash, with their order), and in the half as large
  // table it was moved from, both held while the last doubling runs.
  static constexpr uint32_t kTableEntry = kPendingSlot + 4 * (3 * sizeof(Ref<Object>) + sizeof(uint32_t));
  uint64_t room_ = 0;  // what is left of the budget
  uint64_t owed_ = 0;  // what was made since the last payment
  uint32_t perObject_ = 0;
  void _pay(uint64_t cost) {
    const uint64_t due = cost + owed_;
    if (due > room_) throw std::bad_alloc();
    room_ -= due;
    owed_ = 0;
  }
  void _payIfOwedMuch() {
    if (owed_ > kOwedMost) _pay(0);
  }
  std::unique_ptr<TextCache> cache_;
  std::vector<Ref<Object>> pending_;
  std::vector<int64_t> integers_;
  KeysCache keys_;

  // Integers repeat through a document as texts do (sizes, counts, thread
  // numbers): the last Number made for each of a few values is handed out
  // again. Numbers never change, so sharing them is invisible.
  static constexpr uint32_t kIntegerCache = 512;
  Ref<Number> integerCache_[kIntegerCache];

  Ref<Number> _integer(int64_t value) {
    if (value >= -128 && value <= 1023) return Number::withI64(value);  // shared already
    const uint64_t h = static_cast<uint64_t>(value) * 0x9E3779B97F4A7C15ull;
    Ref<Number>& cached = integerCache_[h >> 55];
    if (!cached || cached->integerValue() != value) {
      owed_ += sizeof(Number);
      cached = Number::withI64(value);
    }
    return cached;
  }

  // The integers read so far for the array being read, as Numbers.
  void _unpackIntegers(size_t intBase) {
    for (size_t i = intBase; i < integers_.size(); ++i) pending_.push_back(_integer(integers_[i]));
    integers_.resize(intBase);
  }

  [[noreturn]] void _fail(const char* reason) {
    if (!error) {
      error = String::withCString("bad JSON at byte ");
      error->append(String::withU32(position));
      error->appendCString(": ");
      error->appendCString(reason);
    }
    throw Failed{};
  }
  [[noreturn]] void _failAt(uint32_t at, const char* reason) {
    position = at;
    _fail(reason);
  }

  void _ws() {
    while (position < length && isSpace(bytes[position])) ++position;
  }

  bool _word(const char* literal, uint32_t n) {
    if (length - position < n || std::memcmp(bytes + position, literal, n) != 0) return false;
    position += n;
    return true;
  }

  Ref<Object> _value() {
    if (position >= length) _fail("unexpected end of input");
    switch (bytes[position]) {
      case '{':
        return _object();
      case '[':
        return _array();
      case '"':
        return _string();
      case '-':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        return _number();
      default:
        break;
    }
    if (_word("true", 4)) return Number::withBool(true);
    if (_word("false", 5)) return Number::withBool(false);
    if (_word("null", 4)) return Null::null();
    _fail("expected a value");
  }

  Ref<Object> _number() {
    int64_t integer;
    Ref<Object> other;
    if (_scanNumber(integer, other)) return _integer(integer);
    return other;
  }

  // Reads one number. An integer literal within the signed 64 bits comes
  // back in `integer` with true; anything else as its Number in `other` with
  // false (so an array holding one is not kept packed).
  bool _scanNumber(int64_t& integer, Ref<Object>& other) {
    const uint32_t start = position;
    uint32_t at = position;
    const bool negative = bytes[at] == '-';
    if (negative) ++at;
    if (at >= length || !isDigit(bytes[at])) _failAt(at, "bad number");
    uint64_t magnitude = 0;
    bool overflow = false;
    if (bytes[at] == '0') {
      ++at;  // a leading 0 stands alone; what follows is the caller's
    } else {
      for (; at < length && isDigit(bytes[at]); ++at) {
        const uint64_t d = bytes[at] - '0';
        if (overflow) continue;
        if (magnitude > (UINT64_MAX - d) / 10) {
          overflow = true;
        } else {
          magnitude = magnitude * 10 + d;
        }
      }
    }
    bool plain = true;
    if (at < length && bytes[at] == '.') {
      plain = false;
      ++at;
      if (at >= length || !isDigit(bytes[at])) _failAt(at, "bad number");
      while (at < length && isDigit(bytes[at])) ++at;
    }
    if (at < length && (bytes[at] == 'e' || bytes[at] == 'E')) {
      plain = false;
      ++at;
      if (at < length && (bytes[at] == '+' || bytes[at] == '-')) ++at;
      if (at >= length || !isDigit(bytes[at])) _failAt(at, "bad number");
      while (at < length && isDigit(bytes[at])) ++at;
    }
    position = at;
    if (plain && !overflow) {
      constexpr uint64_t kTwo63 = uint64_t{1} << 63;
      // Unsigned texts from 2^63 up keep their 64 bits, so they read as
      // negative integers (18446744073709551615 is -1), and are written back
      // as they were read.
      if (!negative && magnitude >= kTwo63) {
        owed_ += sizeof(Number);
        other = Number::withU64(magnitude);
        return false;
      }
      if (!negative || magnitude <= kTwo63) {
        integer = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
        return true;
      }
    }
    owed_ += sizeof(Number);
    other = Number::withDouble(parseDouble(bytes + start, at - start));
    return false;
  }

  uint32_t _hex4() {
    if (length - position < 4) _fail("unexpected end of input");
    uint32_t value = 0;
    for (uint32_t k = 0; k < 4; ++k) {
      const uint8_t c = bytes[position + k];
      uint32_t digit;
      if (isDigit(c)) {
        digit = c - '0';
      } else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
        digit = (c | 0x20) - 'a' + 10;
      } else {
        _fail("bad \\u escape");
      }
      value = value << 4 | digit;
    }
    position += 4;
    return value;
  }

  Ref<String> _string() {
    uint32_t runStart = position + 1;  // past the opening quote
    uint64_t high = 0;
    uint32_t at = scanRun(bytes, runStart, length, high);
    if (at < length && bytes[at] == '"') {
      position = at + 1;
      if (at - runStart <= TextCache::kLongest) return cache_->get(bytes + runStart, at - runStart, owed_);
      _pay(sizeof(String) + (at - runStart));
      return String::withBytes(bytes + runStart, at - runStart);
    }
    _pay(sizeof(String) + (at - runStart));
    Ref<String> text = make<String>();
    text->reserve(at - runStart + 16);
    for (;;) {
      if (at > runStart) text->appendBytes(bytes + runStart, at - runStart);
      if (at >= length) _failAt(length, "unterminated string");
      const uint8_t c = bytes[at];
      if (c == '"') {
        position = at + 1;
        return text;
      }
      if (c < 0x20) _failAt(at, "control character in a string");
      // A backslash.
      if (at + 1 >= length) _failAt(length, "unterminated string");
      const uint8_t letter = bytes[at + 1];
      position = at + 2;
      switch (letter) {
        case '"':
        case '\\':
        case '/':
          text->appendByte(letter);
          break;
        case 'n':
          text->appendByte(0x0A);
          break;
        case 'r':
          text->appendByte(0x0D);
          break;
        case 't':
          text->appendByte(0x09);
          break;
        case 'b':
          text->appendByte(0x08);
          break;
        case 'f':
          text->appendByte(0x0C);
          break;
        case 'u':
          text->appendChar(_unicodeEscape());
          break;
        default:
          _fail("bad escape in a string");
      }
      runStart = position;
      at = scanRun(bytes, runStart, length, high);
    }
  }

  // After "\u": one escape, or a high and low surrogate pair written as two.
  // Anything unpaired comes back as the lone surrogate, which appendChar
  // turns into U+FFFD.
  uint32_t _unicodeEscape() {
    uint32_t code = _hex4();
    if (code >= 0xD800 && code <= 0xDBFF && length - position >= 6 && bytes[position] == '\\' &&
        bytes[position + 1] == 'u') {
      const uint32_t secondBackslash = position;
      position += 2;
      const uint32_t low = _hex4();
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      } else {
        position = secondBackslash;  // read again as an escape of its own
      }
    }
    return code;
  }

  Ref<Object> _array() {
    if (++depth > JSON::kMaxDepth) _fail("nested too deeply");
    ++position;
    _ws();
    if (position < length && bytes[position] == ']') {
      ++position;
      --depth;
      _pay(sizeof(Array) + kPendingSlot);  // and its slot while its container is read
      return make<Array>();
    }
    // Elements wait on one shared stack until the array is complete, so each
    // array is made once with room for exactly its elements.
    // An array of signed integer literals alone (a run's samples) is kept
    // packed: its integers wait on a stack of their own until the first
    // element that is anything else turns them into Numbers.
    const size_t base = pending_.size();
    const size_t intBase = integers_.size();
    bool allIntegers = true;
    for (;;) {
      _ws();
      const uint8_t first = position < length ? bytes[position] : 0;
      int64_t integer;
      Ref<Object> other;
      if (allIntegers && (first == '-' || isDigit(first))) {
        if (_scanNumber(integer, other)) {
          integers_.push_back(integer);
        } else {
          _unpackIntegers(intBase);
          allIntegers = false;
          pending_.push_back(std::move(other));
        }
      } else {
        if (allIntegers) _unpackIntegers(intBase);
        allIntegers = false;
        pending_.push_back(_value());
      }
      _payIfOwedMuch();
      _ws();
      if (position >= length) _fail("unterminated array");
      const uint8_t c = bytes[position];
      if (c == ']') {
        ++position;
        --depth;
        break;
      }
      if (c != ',') _fail("expected ',' or ']'");
      ++position;
    }
    if (allIntegers) {
      const size_t n = integers_.size() - intBase;
      _pay(sizeof(Array) + n * 3 * sizeof(int64_t));  // waiting, then packed
      Ref<Array> array = Array::_withIntegers(integers_.data() + intBase, static_cast<uint32_t>(n));
      integers_.resize(intBase);
      return array;
    }
    const size_t n = pending_.size() - base;
    _pay(sizeof(Array) + n * (kPendingSlot + sizeof(Ref<Object>)));
    Ref<Array> array = Array::withCapacity(static_cast<uint32_t>(n));
    for (size_t i = base; i < base + n; ++i) array->add(std::move(pending_[i]));
    pending_.resize(base);
    return array;
  }

  Ref<Object> _object() {
    if (++depth > JSON::kMaxDepth) _fail("nested too deeply");
    ++position;
    _ws();
    if (position < length && bytes[position] == '}') {
      ++position;
      --depth;  // an empty object closes its level as an empty array does
      _pay(sizeof(Map) + kPendingSlot + perObject_);
      return make<Map>();
    }
    // Keys and values wait on the arrays' shared stack, so that the map is
    // made once with room for them all; `set` then decides duplicates as it
    // always has (the later key and value, in the first one's place).
    const size_t base = pending_.size();
    for (;;) {
      _ws();
      if (position >= length || bytes[position] != '"') _fail("expected a key");
      pending_.push_back(_string());
      _ws();
      if (position >= length || bytes[position] != ':') _fail("expected ':'");
      ++position;
      _ws();
      pending_.push_back(_value());
      _payIfOwedMuch();
      _ws();
      if (position >= length) _fail("unterminated object");
      const uint8_t c = bytes[position];
      if (c == '}') {
        ++position;
        --depth;
        break;
      }
      if (c != ',') _fail("expected ',' or '}'");
      ++position;
    }
    const uint32_t n = static_cast<uint32_t>((pending_.size() - base) / 2);
    _pay(sizeof(Map) + perObject_ + uint64_t(n) * (n <= Map::kCompactMost ? kMapEntry : kTableEntry));
    Ref<Map> map = keys_.makeMap(pending_.data() + base, n);
    pending_.resize(base);
    return map;
  }
};

// ---------------------------------------------------------------------------
// 5. _JSONWriter. Output is written straight into the String's buffer, which
//    grows by doubling; the String's length catches up at `flush` and when
//    the sink goes away, so a value that throws leaves a whole String
//    holding what was written before it, which the caller drops.

class Sink {
 public:
  explicit Sink(String* out) : out_(out) { attach(); }
  ~Sink() { flush(); }
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  void put(char c) {
    *room(1) = c;
    ++cur_;
  }
  void put(const void* bytes, size_t n) {
    std::memcpy(room(n), bytes, n);
    cur_ += n;
  }
  // Room for n bytes, to be followed by commit of at most n.
  char* room(size_t n) {
    if (static_cast<size_t>(end_ - cur_) < n) grow(n);
    return cur_;
  }
  void commit(size_t n) { cur_ += n; }
  // Makes what was written the String's text, for code that appends to the
  // String itself; `attach` picks up its new end afterwards.
  void flush() {
    if (base_) out_->_setByteLength(static_cast<uint32_t>(cur_ - base_));
  }
  void attach() {
    const uint32_t capacity = out_->capacity();
    if (capacity == 0) {
      base_ = cur_ = end_ = nullptr;
      return;
    }
    base_ = reinterpret_cast<char*>(out_->_bytesAt(0));
    cur_ = base_ + out_->byteLength();
    end_ = base_ + capacity;
  }
  String* out() { return out_; }

 private:
  void grow(size_t n) {
    flush();
    if (n >= 0xFFFFFFFFu || !out_->_appendRoom(static_cast<uint32_t>(n)))
      throw JSONError("JSON: the text would not fit in a String");
    attach();
  }

  String* out_;
  char* base_ = nullptr;
  char* cur_ = nullptr;
  char* end_ = nullptr;
};

constexpr char kHex[] = "0123456789abcdef";

// Escapes `length` bytes into the sink; answers whether any byte was >= 0x80,
// so that only such texts need the full UTF-8 check.
bool putEscaped(Sink& sink, const uint8_t* bytes, uint32_t length) {
  uint64_t high = 0;
  uint32_t at = 0;
  while (at < length) {
    const uint32_t runEnd = scanRun(bytes, at, length, high);
    if (runEnd > at) sink.put(bytes + at, runEnd - at);
    if (runEnd >= length) break;
    const uint8_t c = bytes[runEnd];
    char* out = sink.room(6);
    size_t n = 2;
    out[0] = '\\';
    switch (c) {
      case '"':
        out[1] = '"';
        break;
      case '\\':
        out[1] = '\\';
        break;
      case 0x0A:
        out[1] = 'n';
        break;
      case 0x0D:
        out[1] = 'r';
        break;
      case 0x09:
        out[1] = 't';
        break;
      case 0x08:
        out[1] = 'b';
        break;
      case 0x0C:
        out[1] = 'f';
        break;
      default:
        out[1] = 'u';
        out[2] = '0';
        out[3] = '0';
        out[4] = kHex[c >> 4];
        out[5] = kHex[c & 15];
        n = 6;
        break;
    }
    sink.commit(n);
    at = runEnd + 1;
  }
  return (high & kHighs) != 0;
}

// Parsed documents share one String for each short text that repeats (keys
// above all), so the quoted form of a short String is kept by its address
// for the rest of one write. Nothing changes or frees a String while the
// write runs, so an address stands for the same bytes throughout; the
// generation ends the entries of earlier writes.
class QuotedCache {
 public:
  static constexpr uint32_t kLongest = 24;  // bytes of text
  struct Entry {
    const String* text;
    uint64_t generation;
    uint32_t length;
    char quoted[48];
  };

  void begin() { ++generation_; }
  Entry& slotFor(const String* text) {
    const uint64_t a = reinterpret_cast<uintptr_t>(text);
    return entries_[((a >> 4) ^ (a >> 12)) & (kSlots - 1)];
  }
  bool holds(const Entry& e, const String* text) const { return e.text == text && e.generation == generation_; }
  void store(Entry& e, const String* text, uint32_t length) {
    e.text = text;
    e.generation = generation_;
    e.length = length;
  }

 private:
  static constexpr uint32_t kSlots = 512;
  Entry entries_[kSlots] = {};
  uint64_t generation_ = 0;
};

thread_local QuotedCache tQuoted;

[[noreturn]] void failUtf8() { throw JSONError("JSON: a String that is not valid UTF-8"); }

void putString(Sink& sink, const String* text) {
  const uint32_t n = text->byteLength();
  if (n == 0) {
    sink.put("\"\"", 2);
    return;
  }
  const uint8_t* bytes = text->_bytesAt(0);
  if (n <= QuotedCache::kLongest) {
    QuotedCache::Entry& e = tQuoted.slotFor(text);
    if (tQuoted.holds(e, text)) {
      // A fixed-size copy is a few register moves; only `length` counts.
      std::memcpy(sink.room(sizeof e.quoted), e.quoted, sizeof e.quoted);
      sink.commit(e.length);
      return;
    }
    // Written in place, then kept when the escapes left it short enough.
    char* const start = sink.room(2 + 6 * QuotedCache::kLongest);
    char* out = start;
    *out++ = '"';
    uint8_t high = 0;
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t c = bytes[i];
      high |= c;
      if (c >= 0x20 && c != '"' && c != '\\') {
        *out++ = static_cast<char>(c);
        continue;
      }
      *out++ = '\\';
      switch (c) {
        case '"': *out++ = '"'; break;
        case '\\': *out++ = '\\'; break;
        case 0x0A: *out++ = 'n'; break;
        case 0x0D: *out++ = 'r'; break;
        case 0x09: *out++ = 't'; break;
        case 0x08: *out++ = 'b'; break;
        case 0x0C: *out++ = 'f'; break;
        default:
          *out++ = 'u';
          *out++ = '0';
          *out++ = '0';
          *out++ = kHex[c >> 4];
          *out++ = kHex[c & 15];
          break;
      }
    }
    *out++ = '"';
    if ((high & 0x80) && !text->isValidUtf8()) failUtf8();
    const uint32_t length = static_cast<uint32_t>(out - start);
    if (length <= sizeof e.quoted) {
      std::memcpy(e.quoted, start, length);
      tQuoted.store(e, text, length);
    }
    sink.commit(length);
    return;
  }
  sink.put('"');
  if (putEscaped(sink, bytes, n) && !text->isValidUtf8()) failUtf8();
  sink.put('"');
}

void putNewline(Sink& sink, uint32_t n) {
  sink.put('\n');
  for (uint32_t i = 0; i < n; ++i) sink.put("  ", 2);
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The eight digits of v < 10^8, zero-padded, as the bytes of one word in
// memory order, from two independent halves so that the divisions do not
// wait on one another. Built in a register: pieces stored to memory and read
// back as one word would stall on store forwarding.
inline uint64_t eightDigits(uint32_t v) {
  const uint32_t hi = v / 10000;
  const uint32_t lo = v - hi * 10000;
  const uint32_t pairs[4] = {hi / 100, hi % 100, lo / 100, lo % 100};
  uint64_t word = 0;
  for (int k = 0; k < 4; ++k) {
    const uint64_t pair = static_cast<uint64_t>(static_cast<uint8_t>(kDigitPairs[2 * pairs[k]])) |
                          static_cast<uint64_t>(static_cast<uint8_t>(kDigitPairs[2 * pairs[k] + 1])) << 8;
    if constexpr (std::endian::native == std::endian::little) {
      word |= pair << (16 * k);
    } else {
      word |= __builtin_bswap16(static_cast<uint16_t>(pair)) * (uint64_t{1} << (48 - 16 * k));
    }
  }
  return word;
}

inline uint32_t digitsBelow1e8(uint32_t v) {
  return v < 10000 ? (v < 100 ? (v < 10 ? 1 : 2) : (v < 1000 ? 3 : 4))
                   : (v < 1000000 ? (v < 100000 ? 5 : 6) : (v < 10000000 ? 7 : 8));
}

// The digits of v < 10^8 without leading zeros; answers the end. Stores a
// whole word, so 8 bytes of room are needed.
inline char* writeBelow1e8(char* out, uint32_t v) {
  const uint32_t n = digitsBelow1e8(v);
  uint64_t word = eightDigits(v);
  // Drop the leading zeros: the first 8 - n bytes in memory order.
  if constexpr (std::endian::native == std::endian::little) {
    word >>= 8 * (8 - n);
  } else {
    word <<= 8 * (8 - n);
  }
  std::memcpy(out, &word, 8);  // the bytes past n are overwritten later
  return out + n;
}

inline char* writeEight(char* out, uint32_t v) {
  const uint64_t word = eightDigits(v);
  std::memcpy(out, &word, 8);
  return out + 8;
}

// Decimal digits of v; answers the end. Needs 24 bytes of room.
inline char* writeDecimal(char* out, uint64_t v) {
  if (v < 100000000) return writeBelow1e8(out, static_cast<uint32_t>(v));
  const uint64_t high = v / 100000000;
  const uint32_t low = static_cast<uint32_t>(v - high * 100000000);
  if (high < 100000000) {
    out = writeBelow1e8(out, static_cast<uint32_t>(high));
  } else {
    const uint64_t top = high / 100000000;  // at most 1844
    out = writeBelow1e8(out, static_cast<uint32_t>(top));
    out = writeEight(out, static_cast<uint32_t>(high - top * 100000000));
  }
  return writeEight(out, low);
}

void putDecimal(Sink& sink, uint64_t magnitude, bool negative) {
  char* const start = sink.room(24);
  char* out = start;
  if (negative) *out++ = '-';
  out = writeDecimal(out, magnitude);
  sink.commit(static_cast<size_t>(out - start));
}

void putInteger(Sink& sink, int64_t value) {
  const uint64_t bits = static_cast<uint64_t>(value);
  putDecimal(sink, value < 0 ? 0 - bits : bits, value < 0);
}

void putDouble(Sink& sink, double x);

void putValue(Sink& sink, const Object* value, bool pretty, uint32_t depth);

inline void prefetch(const void* address) {
#if defined(__GNUC__)
  __builtin_prefetch(address);
#endif
}

// The same type_info object means the same class; anything else (a
// subclass, or a class from another module) takes the general dynamic_cast.
template <class T> inline bool isExactly(const std::type_info& type) { return &type == &typeid(T); }

void putArray(Sink& sink, const Array* array, bool pretty, uint32_t depth) {
  if (depth >= JSON::kMaxDepth) throw JSONError("JSON: nested too deeply");
  sink.put('[');
  const uint32_t n = array->count();
  if (const Array::PackedIntegers integers = array->_integers()) {
    for (uint32_t i = 0; i < n; ++i) {
      if (i) sink.put(',');
      if (pretty) putNewline(sink, depth + 1);
      putInteger(sink, integers[i]);
    }
    if (pretty && n) putNewline(sink, depth);
    sink.put(']');
    return;
  }
  // Elements two ahead: their objects may lie anywhere.
  for (uint32_t i = 0; i < n && i < 2; ++i) prefetch(array->get(i).get());
  for (uint32_t i = 0; i < n; ++i) {
    if (i + 2 < n) prefetch(array->get(i + 2).get());
    if (i) sink.put(',');
    if (pretty) putNewline(sink, depth + 1);
    putValue(sink, array->get(i).get(), pretty, depth + 1);
  }
  if (pretty && n) putNewline(sink, depth);
  sink.put(']');
}

const String* asString(const Object* object) {
  if (isExactly<String>(typeid(*object))) return static_cast<const String*>(object);
  return dynamic_cast<const String*>(object);
}

void putMap(Sink& sink, const Map* map, bool pretty, uint32_t depth) {
  if (depth >= JSON::kMaxDepth) throw JSONError("JSON: nested too deeply");
  sink.put('{');
  const uint32_t n = map->count();
  // Members are scattered: the entries of a large map in its table's hash
  // order, the values wherever they were made. The entries are fetched at
  // once (a compact map's are one short run of memory), then each value
  // object two members ahead, once its entry has arrived.
  constexpr uint32_t kEntriesAhead = 16;
  constexpr uint32_t kValuesAhead = 2;
  auto prefetchEntry = [map](uint32_t i) {
    prefetch(&map->_keyAt(i));
    prefetch(&map->_valueAt(i));  // a table slot may straddle two lines
  };
  for (uint32_t i = 0; i < n && i < kEntriesAhead; ++i) prefetchEntry(i);
  for (uint32_t i = 0; i < n && i < kValuesAhead; ++i) prefetch(map->_valueAt(i).get());
  for (uint32_t i = 0; i < n; ++i) {
    if (i + kEntriesAhead < n) prefetchEntry(i + kEntriesAhead);
    if (i + kValuesAhead < n) prefetch(map->_valueAt(i + kValuesAhead).get());
    const Object* key = map->_keyAt(i).get();
    const String* name = key ? asString(key) : nullptr;
    if (!name) throw JSONError("JSON: a Map key that is not a String");
    if (i) sink.put(',');
    if (pretty) putNewline(sink, depth + 1);
    putString(sink, name);
    if (pretty) {
      sink.put(": ", 2);
    } else {
      sink.put(':');
    }
    putValue(sink, map->_valueAt(i).get(), pretty, depth + 1);
  }
  if (pretty && n) putNewline(sink, depth);
  sink.put('}');
}

// The text of the number's written form: two Numbers of one form and bits
// get one text, and no two others do.
void putNumber(Sink& sink, const Number* number) {
  const Number::Written w = number->written();
  switch (w.form) {
    case Number::Written::kBoolean:
      if (w.bits) return sink.put("true", 4);
      return sink.put("false", 5);
    case Number::Written::kDouble: {
      const double x = std::bit_cast<double>(w.bits);
      if (!std::isfinite(x)) throw JSONError("JSON: NaN and the infinities have no JSON spelling");
      return putDouble(sink, x);
    }
    case Number::Written::kUnsigned: return putDecimal(sink, w.bits, false);
    case Number::Written::kInteger: return putInteger(sink, static_cast<int64_t>(w.bits));
  }
}

void putValue(Sink& sink, const Object* value, bool pretty, uint32_t depth) {
  if (!value) {
    sink.put("null", 4);
    return;
  }
  // The exact classes first: one type comparison instead of a chain of
  // dynamic casts. Subclasses take the general path below.
  const std::type_info& type = typeid(*value);
  if (isExactly<Number>(type)) return putNumber(sink, static_cast<const Number*>(value));
  if (isExactly<String>(type)) return putString(sink, static_cast<const String*>(value));
  if (isExactly<Map>(type)) return putMap(sink, static_cast<const Map*>(value), pretty, depth);
  if (isExactly<Array>(type)) return putArray(sink, static_cast<const Array*>(value), pretty, depth);
  if (Null::isNull(value)) {
    sink.put("null", 4);
    return;
  }
  if (const String* s = dynamic_cast<const String*>(value)) return putString(sink, s);
  if (const Number* n = dynamic_cast<const Number*>(value)) return putNumber(sink, n);
  if (const Array* a = dynamic_cast<const Array*>(value)) return putArray(sink, a, pretty, depth);
  if (const Map* m = dynamic_cast<const Map*>(value)) return putMap(sink, m, pretty, depth);
  Ref<String> message = String::withCString("JSON: a ");
  message->append(Object::className(value));
  message->appendCString(" cannot be written as JSON");
  throw JSONError(std::move(message));
}

// ---------------------------------------------------------------------------
// 6. Doubles on output. The spelling is that of _json_appendDouble: the
//    first of 15, 16, 17 significant digits that reads back to the same
//    double (from 1 digit for subnormals), trailing zeros removed. For a
//    double whose neighbours lie at equal distances (every one but the exact
//    powers of two) that is the shortest round-trip digit string closest to
//    the value: a 15-digit decimal grid is coarser than the double's
//    rounding interval, so at most one of its points lies inside, and the
//    nearest 16- or 17-digit decimal lies inside whenever any does. So those
//    take the shortest digits that std::to_chars gives; powers of two, whose
//    interval is lopsided, take the exact big-integer path.

void spell(Sink& sink, const char* digits, int32_t count, int32_t point) {
  char* out = sink.room(40);
  size_t n = 0;
  const int32_t x = point - 1;
  if (x > 16 || x < -5) {
    out[n++] = digits[0];
    out[n++] = '.';
    if (count == 1) {
      out[n++] = '0';
    } else {
      for (int32_t i = 1; i < count; ++i) out[n++] = digits[i];
    }
    out[n++] = 'e';
    out[n++] = x < 0 ? '-' : '+';
    char exp[8];
    int32_t k = 0;
    for (uint32_t e = static_cast<uint32_t>(x < 0 ? -x : x); e; e /= 10) exp[k++] = static_cast<char>('0' + e % 10);
    while (k) out[n++] = exp[--k];
  } else if (point <= 0) {
    out[n++] = '0';
    out[n++] = '.';
    for (int32_t i = 0; i < -point; ++i) out[n++] = '0';
    for (int32_t i = 0; i < count; ++i) out[n++] = digits[i];
  } else if (point < count) {
    for (int32_t i = 0; i < point; ++i) out[n++] = digits[i];
    out[n++] = '.';
    for (int32_t i = point; i < count; ++i) out[n++] = digits[i];
  } else {
    for (int32_t i = 0; i < count; ++i) out[n++] = digits[i];
    for (int32_t i = count; i < point; ++i) out[n++] = '0';
    out[n++] = '.';
    out[n++] = '0';
  }
  sink.commit(n);
}

void putDouble(Sink& sink, double x) {
  const uint64_t bits = std::bit_cast<uint64_t>(x);
  const uint32_t biased = static_cast<uint32_t>(bits >> 52) & 0x7FF;
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  if (biased != 0 && fraction == 0) {
    sink.flush();
    _json_appendDouble(sink.out(), x, false);
    sink.attach();
    return;
  }
  if (bits >> 63) sink.put('-');
  if (biased == 0 && fraction == 0) {
    sink.put("0.0", 3);
    return;
  }
  char text[32];
  const std::to_chars_result r =
      std::to_chars(text, text + sizeof text, std::bit_cast<double>(bits & ~(uint64_t{1} << 63)),
                    std::chars_format::scientific);
  // d[.ddd]e(+|-)xx
  char digits[20];
  int32_t count = 0;
  const char* p = text;
  for (; p < r.ptr && *p != 'e'; ++p)
    if (*p != '.') digits[count++] = *p;
  ++p;  // 'e'
  const bool minus = *p == '-';
  ++p;
  int32_t exponent = 0;
  for (; p < r.ptr; ++p) exponent = exponent * 10 + (*p - '0');
  if (minus) exponent = -exponent;
  spell(sink, digits, count, exponent + 1);
}

}  // namespace

// ---------------------------------------------------------------------------
// 7. Entry points

Ref<Object> JSON::parse(Ptr<const String> text) {
  if (!text) throw JSONError("JSON: no text");
  return _parseBytes(reinterpret_cast<const uint8_t*>(text->cString()), text->byteLength());
}

Ref<Object> JSON::_parseBytes(const uint8_t* bytes, uint32_t length) {
  Budget unbounded;
  return _parseBytes(bytes, length, unbounded);
}

Ref<Object> JSON::_parseBytes(const uint8_t* bytes, uint32_t length, Budget& budget) {
  _JSONReader reader;
  reader.budget = &budget;
  Ref<Object> value = reader.parse(bytes, length);
  if (reader.error) throw JSONError(reader.error, reader.position);
  return value;
}

namespace {

// Writes into a String that nothing else can see while the write runs: the
// sink moves its buffer as it grows, so the bytes being read must not be in
// it.
void writeInto(String* fresh, const Object* value, bool pretty, uint32_t depth) {
  tQuoted.begin();
  Sink sink(fresh);
  putValue(sink, value, pretty, depth);
  sink.flush();
}

}  // namespace

Ref<String> JSON::stringify(Ptr<const Object> value) {
  Ref<String> out = make<String>();
  writeInto(out.get(), value.get(), false, 0);
  return out;
}

// The value may hold `out` itself, and the bytes may lie in it, so the text
// is made apart and appended whole; a value that throws leaves `out` as it
// was.
void JSON::_write(String* out, Ptr<const Object> value, bool pretty, uint32_t depth) {
  Ref<String> text = make<String>();
  writeInto(text.get(), value.get(), pretty, depth);
  out->append(text);
}

void JSON::_appendEscaped(String* out, const uint8_t* bytes, uint32_t length) {
  Ref<String> text = make<String>();
  {
    Sink sink(text.get());
    putEscaped(sink, bytes, length);
  }
  out->append(text);
}

void JSON::_newline(String* out, uint32_t n) {
  out->appendByte('\n');
  for (uint32_t i = 0; i < n; ++i) out->appendCString("  ");
}

}  // namespace quorl
