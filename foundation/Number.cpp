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

Ref<Number> Number::make_(Kind kind, bool isBool, int64_t integer, double dbl) {
  Ref<Number> n = make<Number>();
  n->kind_ = kind;
  n->isBool_ = isBool;
  n->integer_ = integer;
  n->double_ = dbl;
  return n;
}

Ref<Number> Number::withI64(int64_t value) {
  if (value >= kCacheLow && value <= kCacheHigh) {
    static const std::array<Ref<Number>, kCacheHigh - kCacheLow + 1> cache = [] {
      std::array<Ref<Number>, kCacheHigh - kCacheLow + 1> table;
      for (int64_t v = kCacheLow; v <= kCacheHigh; ++v)
        table[static_cast<size_t>(v - kCacheLow)] = make_(kInteger, false, v, doubleOf(v));
      return table;
    }();
    return cache[static_cast<size_t>(value - kCacheLow)];
  }
  return make_(kInteger, false, value, doubleOf(value));
}

Ref<Number> Number::withDouble(double value) { return make_(kDouble, false, integerOf(value), value); }

Ref<Number> Number::withBool(bool value) {
  static const Ref<Number> yes = make_(kInteger, true, 1, 1.0);
  static const Ref<Number> no = make_(kInteger, true, 0, 0.0);
  return value ? yes : no;
}

bool Number::asBool() const {
  if (kind_ == kInteger) return integer_ != 0;
  return double_ != 0.0;  // NaN != 0 holds, so NaN is true
}

Ref<String> Number::description() const {
  if (isBool_) return String::withCString(integer_ != 0 ? "true" : "false");
  if (kind_ == kInteger) return String::withI64(integer_);
  Ref<String> text = make<String>();
  text->appendFormat("%f", double_);
  return text;
}

bool Number::equals(Ptr<const Object> other) const {
  const Number* n = dynamic_cast<const Number*>(other.get());
  return n != nullptr && equals(*n);
}

bool Number::equals(const Number& other) const {
  if (kind_ == kInteger && other.kind_ == kInteger) return integer_ == other.integer_;
  return double_ == other.double_;
}

int8_t Number::compare(Ptr<const Object> other) const {
  const Number* n = dynamic_cast<const Number*>(other.get());
  return n == nullptr ? 0 : compare(*n);
}

int8_t Number::compare(const Number& other) const {
  if (kind_ == kInteger && other.kind_ == kInteger) {
    if (integer_ < other.integer_) return -1;
    return integer_ > other.integer_ ? 1 : 0;
  }
  if (other.double_ > double_) return -1;
  return double_ > other.double_ ? 1 : 0;
}

uint32_t Number::hash() const {
  // Mixed kinds are equal when their double views are, so the hash must be
  // a function of the double view: an integer beyond 2^53 hashes as the
  // double it rounds to. Within +-2^53 this is the integer itself, and for a
  // double it is its own integer view (2.9 hashes as 2).
  int64_t v = integer_;
  if (kind_ == kInteger && (v > (int64_t{1} << 53) || v < -(int64_t{1} << 53))) v = integerOf(double_);
  uint32_t a = static_cast<uint32_t>(static_cast<uint64_t>(v));
  uint32_t h = (a ^ (a >> 16)) * 0x85ebca77u;
  return h ^ (h >> 13);
}

}  // namespace quorl
