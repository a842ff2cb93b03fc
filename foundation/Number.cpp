#include "Number.h"

#include <array>
#include <cmath>

#include "String.h"

namespace quorl {

namespace {

// The JSON reader boxes every number it meets; most are small counts,
// indices and flags, so those come from one shared table. Numbers never
// change after they are made, which makes sharing them safe.
constexpr int64_t kCacheLow = -128;
constexpr int64_t kCacheHigh = 1023;

}  // namespace

int64_t Number::integerOf(double value) {
  // -2^63 is the one value at the edge that fits; 2^63 itself does not.
  constexpr double kTwo63 = 9223372036854775808.0;
  if (std::isnan(value)) return 0;
  if (value == -kTwo63) return INT64_MIN;
  if (!(value > -kTwo63 && value < kTwo63)) return 0;
  return static_cast<int64_t>(value);  // truncates toward zero
}

Ref<Number> Number::makeInteger(int64_t value, bool isBool) {
  Ref<Number> n = make<Number>();
  n->isBool_ = isBool;
  n->value_.integer = value;
  return n;
}

Ref<Number> Number::withI64(int64_t value) {
  if (value >= kCacheLow && value <= kCacheHigh) {
    static const std::array<Ref<Number>, kCacheHigh - kCacheLow + 1> cache = [] {
      std::array<Ref<Number>, kCacheHigh - kCacheLow + 1> table;
      for (int64_t v = kCacheLow; v <= kCacheHigh; ++v)
        table[static_cast<size_t>(v - kCacheLow)] = makeInteger(v, false);
      return table;
    }();
    return cache[static_cast<size_t>(value - kCacheLow)];
  }
  return makeInteger(value, false);
}

Ref<Number> Number::withU64(uint64_t value) {
  if (value <= uint64_t(INT64_MAX)) return withI64(static_cast<int64_t>(value));
  Ref<Number> n = makeInteger(static_cast<int64_t>(value), false);
  n->unsigned_ = true;
  return n;
}

Ref<Number> Number::withDouble(double value) {
  Ref<Number> n = make<Number>();
  n->kind_ = kDouble;
  n->value_.dbl = value;
  return n;
}

Ref<Number> Number::withBool(bool value) {
  static const Ref<Number> yes = makeInteger(1, true);
  static const Ref<Number> no = makeInteger(0, true);
  return value ? yes : no;
}

bool Number::asBool() const {
  if (kind_ == kInteger) return integerValue() != 0;
  return doubleValue() != 0.0;  // NaN != 0 holds, so NaN is true
}

Ref<String> Number::description() const {
  if (isBool_) return String::withCString(integerValue() != 0 ? "true" : "false");
  if (unsigned_) return String::withU64(static_cast<uint64_t>(value_.integer));
  if (kind_ == kInteger) return String::withI64(integerValue());
  Ref<String> text = make<String>();
  text->appendFormat("%f", doubleValue());
  return text;
}

bool Number::equals(Ptr<const Object> other) const {
  const Number* n = dynamic_cast<const Number*>(other.get());
  return n != nullptr && equals(*n);
}

bool Number::equals(const Number& other) const {
  if (kind_ == kInteger && other.kind_ == kInteger)
    return value_.integer == other.value_.integer && unsigned_ == other.unsigned_;
  return readDouble() == other.readDouble();
}

int8_t Number::compare(Ptr<const Object> other) const {
  const Number* n = dynamic_cast<const Number*>(other.get());
  return n == nullptr ? 0 : compare(*n);
}

int8_t Number::compare(const Number& other) const {
  if (kind_ == kInteger && other.kind_ == kInteger) {
    // Every integer read above the signed range is greater than any other.
    if (unsigned_ != other.unsigned_) return unsigned_ ? 1 : -1;
    // Both signed, or both from 2^63 up: the same order as signed or as
    // unsigned, once the sign bit is flipped for the second.
    const uint64_t flip = unsigned_ ? uint64_t{1} << 63 : 0;
    const int64_t a = static_cast<int64_t>(static_cast<uint64_t>(value_.integer) ^ flip);
    const int64_t b = static_cast<int64_t>(static_cast<uint64_t>(other.value_.integer) ^ flip);
    return a < b ? -1 : a > b ? 1 : 0;
  }
  if (other.readDouble() > readDouble()) return -1;
  return readDouble() > other.readDouble() ? 1 : 0;
}

uint32_t Number::hash() const {
  // Mixed kinds are equal when their double views are, so the hash must be
  // a function of the double view: an integer beyond 2^53 hashes as the
  // double it rounds to. Within +-2^53 this is the integer itself, and for a
  // double it is its own integer view (2.9 hashes as 2). An integer read
  // from 2^63 up hashes as its double does, which no integer view holds (0).
  int64_t v = integerValue();
  if (kind_ == kInteger && (unsigned_ || v > (int64_t{1} << 53) || v < -(int64_t{1} << 53)))
    v = integerOf(readDouble());
  uint32_t a = static_cast<uint32_t>(static_cast<uint64_t>(v));
  uint32_t h = (a ^ (a >> 16)) * 0x85ebca77u;
  return h ^ (h >> 13);
}

}  // namespace quorl
static_assert(sizeof(quorl::Number) <= 24, "a Number is a count, a kind and one value");
