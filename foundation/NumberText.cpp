// JSON number conversion.
//
// Sections:
//   1. JSONBig
//   2. Exact steps: rounding bits to a double, big x 10^e to a double
//   3. Decimal (w x 10^q, w < 2^64) to double: Clinger's exact product,
//      a 128-bit quotient, or the big-integer route
//   4. Reading
//   5. Writing: shortest digits (FloatPrint::shortest for doubles, exact
//      single-precision rounding for the float flag), then the spelling
//
// The shortcuts of sections 3 and 5 are exact, not approximations: each
// either computes the same correctly rounded result as the big-integer
// route or declines, so results never depend on which path ran.
#include "NumberText.h"

#include <bit>
#include <cstring>
#include <string>

#include "FloatPrint.h"
#include "String.h"

namespace quorl {

using u128 = unsigned __int128;

namespace {

constexpr uint64_t kPow5[28] = {1ull,
                                5ull,
                                25ull,
                                125ull,
                                625ull,
                                3125ull,
                                15625ull,
                                78125ull,
                                390625ull,
                                1953125ull,
                                9765625ull,
                                48828125ull,
                                244140625ull,
                                1220703125ull,
                                6103515625ull,
                                30517578125ull,
                                152587890625ull,
                                762939453125ull,
                                3814697265625ull,
                                19073486328125ull,
                                95367431640625ull,
                                476837158203125ull,
                                2384185791015625ull,
                                11920928955078125ull,
                                59604644775390625ull,
                                298023223876953125ull,
                                1490116119384765625ull,
                                7450580596923828125ull};

constexpr double kExactPow10[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};


inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

double withSign(double r, bool negative) {
  uint64_t bits = std::bit_cast<uint64_t>(r);
  if (negative) bits |= uint64_t{1} << 63;
  return std::bit_cast<double>(bits);
}

}  // namespace

// ---------------------------------------------------------------------------
// 1. JSONBig
Ref<String> JSONBig::description() const {
  uint16_t values[2] = {static_cast<uint16_t>(count_), static_cast<uint16_t>(capacity_)};
  return String::_classDescribe("_JSONBig", values, 2, 0);
}

void JSONBig::_ensure(uint32_t n) {
  if (n <= capacity_) return;
  uint64_t twice = uint64_t{capacity_} * 2;
  uint32_t c = twice < n ? n + 4 : static_cast<uint32_t>(twice);
  std::unique_ptr<uint32_t[]> fresh(new uint32_t[c]());
  if (count_ != 0) std::memcpy(fresh.get(), limbs_.get(), count_ * sizeof(uint32_t));
  limbs_ = std::move(fresh);
  capacity_ = c;
}

void JSONBig::trim() {
  while (count_ > 0 && limbs_[count_ - 1] == 0) --count_;
}

Ref<JSONBig> JSONBig::dup() const {
  Ref<JSONBig> copy = make<JSONBig>();
  copy->_ensure(count_ + 1);
  if (count_ != 0) std::memcpy(copy->limbs_.get(), limbs_.get(), count_ * sizeof(uint32_t));
  copy->count_ = count_;
  return copy;
}

void JSONBig::mulAdd(uint32_t m, uint32_t a) {
  uint64_t carry = a;
  for (uint32_t i = 0; i < count_; ++i) {
    uint64_t cur = uint64_t{limbs_[i]} * m + carry;
    limbs_[i] = static_cast<uint32_t>(cur);
    carry = cur >> 32;
  }
  if (carry != 0) {
    _ensure(count_ + 1);
    limbs_[count_++] = static_cast<uint32_t>(carry);
  }
  trim();
}

void JSONBig::mulPow5(uint32_t k) {
  for (; k >= 13; k -= 13) mulAdd(1220703125u, 0);
  if (k > 0) mulAdd(static_cast<uint32_t>(kPow5[k]), 0);
}

void JSONBig::shl(uint32_t n) {
  if (count_ == 0 || n == 0) return;
  uint32_t words = n / 32;
  uint32_t bits = n % 32;
  _ensure(count_ + words + 1);
  uint32_t* l = limbs_.get();
  l[count_ + words] = 0;
  for (uint32_t i = count_; i-- > 0;) {
    uint64_t v = uint64_t{l[i]} << bits;
    l[i + words + 1] |= static_cast<uint32_t>(v >> 32);
    l[i + words] = static_cast<uint32_t>(v);
  }
  for (uint32_t i = 0; i < words; ++i) l[i] = 0;
  count_ += words + 1;
  trim();
}

void JSONBig::shr1() {
  uint32_t* l = limbs_.get();
  for (uint32_t i = 0; i < count_; ++i) {
    uint32_t high = i + 1 < count_ ? l[i + 1] : 0;
    l[i] = (l[i] >> 1) | (high << 31);
  }
  trim();
}

uint32_t JSONBig::bitLength() const {
  if (count_ == 0) return 0;
  return 32 * (count_ - 1) + static_cast<uint32_t>(std::bit_width(limbs_[count_ - 1]));
}

int32_t JSONBig::cmp(const JSONBig& other) const {
  if (count_ != other.count_) return count_ > other.count_ ? 1 : -1;
  for (uint32_t i = count_; i-- > 0;) {
    if (limbs_[i] != other.limbs_[i]) return limbs_[i] > other.limbs_[i] ? 1 : -1;
  }
  return 0;
}

void JSONBig::sub(const JSONBig& other) {
  uint64_t borrow = 0;
  for (uint32_t i = 0; i < count_; ++i) {
    uint64_t take = uint64_t{other._limb(i)} + borrow;
    uint64_t have = limbs_[i];
    limbs_[i] = static_cast<uint32_t>(have - take);
    borrow = have < take ? 1 : 0;
  }
  trim();
}

uint32_t JSONBig::divSmall(uint32_t d) {
  uint64_t rem = 0;
  for (uint32_t i = count_; i-- > 0;) {
    uint64_t cur = (rem << 32) | limbs_[i];
    limbs_[i] = static_cast<uint32_t>(cur / d);
    rem = cur % d;
  }
  trim();
  return static_cast<uint32_t>(rem);
}

uint64_t JSONBig::bitsFrom(uint32_t i) const {
  uint32_t w = i / 32;
  uint32_t b = i % 32;
  u128 x = u128{_limb(w)} | (u128{_limb(w + 1)} << 32) | (u128{_limb(w + 2)} << 64);
  return static_cast<uint64_t>(x >> b);
}

bool JSONBig::anyBelow(uint32_t i) const {
  uint32_t w = i / 32;
  for (uint32_t j = 0; j < w && j < count_; ++j)
    if (limbs_[j] != 0) return true;
  uint32_t b = i % 32;
  return b != 0 && (_limb(w) & ((uint32_t{1} << b) - 1)) != 0;
}

Ref<String> JSONBig::toDecimal() {
  if (count_ == 0) return String::withCString("0");
  std::string groups;  // nine digits a group, least significant group first
  while (count_ != 0) {
    uint32_t r = divSmall(1000000000u);
    for (int j = 0; j < 9; ++j) {
      groups.push_back(static_cast<char>('0' + r % 10));
      r /= 10;
    }
  }
  while (groups.size() > 1 && groups.back() == '0') groups.pop_back();
  return String::withBytes(std::string(groups.rbegin(), groups.rend()).data(),
                           static_cast<uint32_t>(groups.size()));
}

// ---------------------------------------------------------------------------
// 2. Exact steps
uint32_t _json_bitlen64(uint64_t x) { return static_cast<uint32_t>(std::bit_width(x)); }

double _json_round(uint64_t m, int32_t e, bool sticky) {
  if (m == 0) return 0.0;
  int32_t n = static_cast<int32_t>(_json_bitlen64(m));
  int64_t t = int64_t{n} - 1 + e;
  if (t > 1023) return std::bit_cast<double>(uint64_t{0x7FF} << 52);
  int64_t s = t < -1022 ? -1074 - int64_t{e} : n - 53;
  uint64_t q;
  int64_t x;
  if (s > 0) {
    if (s > 64) return 0.0;
    uint64_t rem = s == 64 ? m : m & ((uint64_t{1} << s) - 1);
    uint64_t half = uint64_t{1} << (s - 1);
    bool up = rem > half || (rem == half && (sticky || (s < 64 && ((m >> s) & 1) != 0)));
    q = (s == 64 ? 0 : m >> s) + (up ? 1 : 0);
    x = s + e;
    if (q == uint64_t{1} << 53) {
      q = uint64_t{1} << 52;
      ++x;
    }
  } else {
    q = m << -s;
    x = e + s;
  }
  if (q < (uint64_t{1} << 52)) return std::bit_cast<double>(q);
  int64_t biased = x + 1075;
  if (biased >= 2047) return std::bit_cast<double>(uint64_t{0x7FF} << 52);
  return std::bit_cast<double>((static_cast<uint64_t>(biased) << 52) | (q - (uint64_t{1} << 52)));
}

double _json_bigToDouble(JSONBig& big, int32_t e) {
  uint32_t length = big.bitLength();
  if (length <= 64) return _json_round(big.bitsFrom(0), e, false);
  uint32_t drop = length - 64;
  return _json_round(big.bitsFrom(drop), e + static_cast<int32_t>(drop), big.anyBelow(drop));
}

namespace {

// _json_toDouble with a wide exponent: the reader's exponent counts every
// dropped digit, which a multi-gigabyte number could push past 32 bits.
double bigTimesPow10(JSONBig& big, int64_t e, uint32_t digitCount) {
  if (big.count() == 0) return 0.0;
  int64_t k = int64_t{digitCount} + e;
  if (k > 310) return std::bit_cast<double>(uint64_t{0x7FF} << 52);
  if (k < -330) return 0.0;
  if (e >= 0) {
    big.mulPow5(static_cast<uint32_t>(e));
    big.shl(static_cast<uint32_t>(e));
    return _json_bigToDouble(big, 0);
  }
  uint32_t places = static_cast<uint32_t>(-e);
  JSONBig den;
  den.mulAdd(1, 1);
  den.mulPow5(places);
  den.shl(places);
  int32_t s = static_cast<int32_t>(den.bitLength()) + 57 - static_cast<int32_t>(big.bitLength());
  if (s > 0) big.shl(static_cast<uint32_t>(s));
  if (s < 0) den.shl(static_cast<uint32_t>(-s));
  Ref<JSONBig> t = den.dup();
  t->shl(58);
  uint64_t q = 0;
  for (int b = 58; b >= 0; --b) {
    if (big.cmp(*t) >= 0) {
      big.sub(*t);
      q |= uint64_t{1} << b;
    }
    t->shr1();
  }
  return _json_round(q, -s, big.count() != 0);
}

// big = v, for a big that is 0.
void setBig(JSONBig& big, uint64_t v) {
  big.mulAdd(1, static_cast<uint32_t>(v >> 32));
  big.shl(32);
  big.mulAdd(1, static_cast<uint32_t>(v));  // into the low limb the shift left 0
}

// The nearest double to m x 2^e for a 128-bit m, through _json_round.
double round128(u128 m, int32_t e, bool sticky) {
  uint64_t high = static_cast<uint64_t>(m >> 64);
  if (high == 0) return _json_round(static_cast<uint64_t>(m), e, sticky);
  int drop = std::bit_width(high);
  sticky = sticky || (m & ((u128{1} << drop) - 1)) != 0;
  return _json_round(static_cast<uint64_t>(m >> drop), e + drop, sticky);
}

}  // namespace

double _json_toDouble(JSONBig& big, int32_t e, uint32_t digitCount) { return bigTimesPow10(big, e, digitCount); }

// ---------------------------------------------------------------------------
// 3. w x 10^q to the nearest double, w < 2^64 holding `digits` digits.
namespace {

double decimalToDouble(uint64_t w, int32_t q, uint32_t digits) {
  if (w == 0) return 0.0;
  // Both factors exact, so one IEEE operation rounds once.
  if (w <= (uint64_t{1} << 53)) {
    double dw = static_cast<double>(w);
    if (q >= 0 && q <= 22) return dw * kExactPow10[q];
    if (q < 0 && q >= -22) return dw / kExactPow10[-q];
    if (q > 22 && q <= 22 + 15) {
      // Move some of the power into w while it stays exact.
      uint64_t lift = kPow10u64[q - 22];
      if (w <= (uint64_t{1} << 53) / lift) return static_cast<double>(w * lift) * 1e22;
    }
  }
  if (q >= 0 && q <= 27) return round128(static_cast<u128>(w) * kPow5[q], q, false);
  if (q < 0 && q >= -27) {
    int shift = 127 - std::bit_width(w);
    u128 num = static_cast<u128>(w) << shift;
    uint64_t d = kPow5[-q];
    u128 quotient = num / d;
    bool sticky = num - quotient * d != 0;
    return round128(quotient, q - shift, sticky);
  }
  // Beyond the 128-bit reach: the same exact steps on a stack big integer.
  int64_t k = int64_t{digits} + q;
  if (k > 310) return std::bit_cast<double>(uint64_t{0x7FF} << 52);
  if (k < -330) return 0.0;
  if (q > 0) {
    FixedBig a;
    a.setPow5(static_cast<uint32_t>(q));
    a.mulU64(w);
    if (!a.overflowed()) {
      uint32_t length = a.bitLength();
      if (length <= 64) return _json_round(a.low64(), q, false);
      uint32_t drop = length - 64;
      return _json_round(static_cast<uint64_t>(a.shr128(drop)), q + static_cast<int32_t>(drop), a.anyBelow(drop));
    }
  } else {
    FixedBig den;
    den.setPow5(static_cast<uint32_t>(-q));
    // num / den then lies in [2^62, 2^64): enough bits to round to 53.
    int32_t shift = static_cast<int32_t>(den.bitLength()) + 63 - std::bit_width(w);
    FixedBig num(w);
    num.shl(static_cast<uint32_t>(shift));
    uint64_t quotient;
    if (!den.overflowed() && !num.overflowed() && num.divFloor64(den, quotient))
      return _json_round(quotient, q - shift, !num.isZero());
  }
  JSONBig big;
  setBig(big, w);
  return bigTimesPow10(big, q, digits);
}

}  // namespace

// ---------------------------------------------------------------------------
// 4. Reading
namespace {

// The exact route, digit for digit as the reader's rules keep them.
double parseThroughBig(const char* s, uint32_t length) {
  uint32_t i = 0;
  bool negative = i < length && s[i] == '-';
  if (negative) ++i;
  JSONBig big;
  int64_t e = 0;
  uint32_t kept = 0;
  bool sticky = false;
  for (; i < length && isDigit(s[i]); ++i) {
    uint32_t d = static_cast<uint32_t>(s[i] - '0');
    if (d == 0 && kept == 0) continue;
    if (kept < 800) {
      big.mulAdd(10, d);
      ++kept;
    } else {
      ++e;
      sticky = sticky || d != 0;
    }
  }
  if (i < length && s[i] == '.') {
    for (++i; i < length && isDigit(s[i]); ++i) {
      uint32_t d = static_cast<uint32_t>(s[i] - '0');
      if (d == 0 && kept == 0) {
        --e;
      } else if (kept < 800) {
        big.mulAdd(10, d);
        ++kept;
        --e;
      } else {
        sticky = sticky || d != 0;
      }
    }
  }
  if (i < length && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool minus = false;
    if (i < length && (s[i] == '+' || s[i] == '-')) minus = s[i++] == '-';
    int64_t x = 0;
    for (; i < length && isDigit(s[i]); ++i)
      if (x < 100000) x = x * 10 + (s[i] - '0');
    e += minus ? -x : x;
  }
  if (sticky) {
    // Stands for the dropped non-zero tail, so a dropped tail after a 5 rounds up.
    big.mulAdd(10, 1);
    --e;
    ++kept;
  }
  return withSign(bigTimesPow10(big, e, kept), negative);
}

}  // namespace

double _json_parseDouble(const char* s, uint32_t length) {
  uint32_t i = 0;
  bool negative = i < length && s[i] == '-';
  if (negative) ++i;
  uint64_t w = 0;
  uint32_t kept = 0;
  int32_t e = 0;
  for (; i < length && isDigit(s[i]); ++i) {
    uint32_t d = static_cast<uint32_t>(s[i] - '0');
    if (d == 0 && kept == 0) continue;
    if (kept == 19) return parseThroughBig(s, length);
    w = w * 10 + d;
    ++kept;
  }
  if (i < length && s[i] == '.') {
    for (++i; i < length && isDigit(s[i]); ++i) {
      uint32_t d = static_cast<uint32_t>(s[i] - '0');
      if (d == 0 && kept == 0) {
        if (e < -400) return parseThroughBig(s, length);  // keeps e far from wrapping
        --e;
        continue;
      }
      if (kept == 19) return parseThroughBig(s, length);
      w = w * 10 + d;
      ++kept;
      --e;
    }
  }
  if (i < length && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool minus = false;
    if (i < length && (s[i] == '+' || s[i] == '-')) minus = s[i++] == '-';
    int32_t x = 0;
    for (; i < length && isDigit(s[i]); ++i)
      if (x < 100000) x = x * 10 + (s[i] - '0');
    e += minus ? -x : x;
  }
  return withSign(decimalToDouble(w, e, kept), negative);
}

bool _json_parseInt64(const char* s, uint32_t length, int64_t& value) {
  uint32_t i = 0;
  bool negative = i < length && s[i] == '-';
  if (negative) ++i;
  if (i == length) return false;
  uint64_t magnitude = 0;
  for (; i < length; ++i) {
    if (!isDigit(s[i])) return false;
    uint64_t d = static_cast<uint64_t>(s[i] - '0');
    if (magnitude > (UINT64_MAX - d) / 10) return false;
    magnitude = magnitude * 10 + d;
  }
  constexpr uint64_t kTwo63 = uint64_t{1} << 63;
  if (negative) {
    if (magnitude > kTwo63) return false;
    value = static_cast<int64_t>(0 - magnitude);
  } else {
    value = static_cast<int64_t>(magnitude);  // [2^63, 2^64) keeps its 64 bits
  }
  return true;
}

// ---------------------------------------------------------------------------
// 5. Writing
namespace {

// R (no trailing zeros) rounded to n digits: first dropped digit decides,
// a lone 5 is a tie that goes to the even kept digit.
uint32_t roundDigitString(const char* r, uint32_t length, uint32_t n, int32_t point, char* out, int32_t& newPoint) {
  newPoint = point;
  if (length <= n) {
    std::memcpy(out, r, length);
  } else {
    std::memcpy(out, r, n);
    char d = r[n];
    bool up = d > '5';
    if (d == '5') {
      bool above = false;
      for (uint32_t i = n + 1; i < length && !above; ++i) above = r[i] != '0';
      up = above || ((r[n - 1] - '0') & 1) != 0;
    }
    length = n;
    if (up) {
      uint32_t i = n;
      while (i > 0 && out[i - 1] == '9') out[--i] = '0';
      if (i > 0) {
        ++out[i - 1];
      } else {
        std::memmove(out + 1, out, n);
        out[0] = '1';
        ++newPoint;
        // n + 1 digits: "1" and n zeros; the zeros go below.
        length = n + 1;
      }
    }
  }
  while (length > 1 && out[length - 1] == '0') --length;
  return length;
}

uint64_t digitsValue(const char* r, uint32_t length) {
  uint64_t v = 0;
  for (uint32_t i = 0; i < length; ++i) v = v * 10 + static_cast<uint64_t>(r[i] - '0');
  return v;
}

bool readsBackAsFloat(const char* r, uint32_t length, int32_t point, double magnitude) {
  double y = decimalToDouble(digitsValue(r, length), point - static_cast<int32_t>(length), length);
  return static_cast<float>(y) == static_cast<float>(magnitude);
}

// floor(m x 2^e x 10^s) and whether anything lies below it, exactly.
bool floorScaled(uint64_t m, int32_t e, int32_t s, u128& t, bool& sticky) {
  if (FloatPrint::scaledFloor(m, e, s, t, sticky)) return true;
  uint64_t t64;
  if (!FloatPrint::scaledFloor64(m, e, s, t64, sticky)) return false;
  t = t64;
  return true;
}

// Single-precision digits: the value's exact floor at 18 significant digits
// and a sticky bit give every rounding to fewer digits, ties to even; each
// count from `first` on is tried until one reads back as the same float (9
// always does). False only when no exact path could take the value.
bool floatDigitsFast(uint64_t m, int32_t e, uint32_t first, double magnitude, char* r, uint32_t& length,
                     int32_t& point) {
  constexpr uint32_t last = 9;
  int32_t k = ((std::bit_width(m) - 1 + e) * 78913) >> 18;  // 10^k <= value < 10^(k+2)
  u128 t;
  bool sticky;
  if (!floorScaled(m, e, 17 - k, t, sticky)) return false;
  // Below 10^19 + 1 < 2^64: the value below 10^(k+2), scaled by 10^(17-k).
  uint64_t t18 = static_cast<uint64_t>(t);
  if (t18 >= kPow10u64[18]) {  // 19 digits: the estimate of k was one low
    sticky = sticky || t18 % 10 != 0;
    t18 /= 10;
    ++k;
  }
  for (uint32_t n = first; n <= last; ++n) {
    uint64_t div = kPow10u64[18 - n];
    uint64_t q = t18 / div;
    uint64_t rem = t18 - q * div;
    uint64_t half = div / 2;
    if (rem > half || (rem == half && (sticky || (q & 1) != 0))) ++q;
    point = k + 1;
    if (q == kPow10u64[n]) {
      q = kPow10u64[n - 1];
      ++point;
    }
    while (q % 10 == 0) q /= 10;
    int32_t digits = 0;
    for (uint64_t x = q; x != 0; x /= 10) ++digits;
    bool fits = n == last;
    if (!fits) {
      double y = decimalToDouble(q, point - digits, static_cast<uint32_t>(digits));
      fits = static_cast<float>(y) == static_cast<float>(magnitude);
    }
    if (fits) {
      char tmp[20];
      uint32_t len = 0;
      for (; q != 0; q /= 10) tmp[len++] = static_cast<char>('0' + q % 10);
      for (uint32_t i = 0; i < len; ++i) r[i] = tmp[len - 1 - i];
      length = len;
      return true;
    }
  }
  return true;
}

// The exact route: all the digits of the value, then each count in turn.
void floatDigitsThroughBig(uint64_t bits, uint32_t first, double magnitude, char* r, uint32_t& length,
                           int32_t& point) {
  uint64_t f = bits & ((uint64_t{1} << 52) - 1);
  uint32_t E = static_cast<uint32_t>(bits >> 52) & 0x7FF;
  uint64_t m = E == 0 ? f : f | (uint64_t{1} << 52);
  int32_t e = E == 0 ? -1074 : static_cast<int32_t>(E) - 1075;
  while ((m & 1) == 0) {
    m >>= 1;
    ++e;
  }
  JSONBig big;
  setBig(big, m);
  if (e > 0) {
    big.shl(static_cast<uint32_t>(e));
    e = 0;
  } else if (e < 0) {
    big.mulPow5(static_cast<uint32_t>(-e));
  }
  Ref<String> d = big.toDecimal();
  int32_t p = static_cast<int32_t>(d->byteLength()) + e;
  const char* digits = d->cString();
  for (uint32_t n = first; n <= 9; ++n) {
    length = roundDigitString(digits, d->byteLength(), n, p, r, point);
    if (readsBackAsFloat(r, length, point, magnitude)) return;
  }
}

// The spelling of D x 10^exponent: a point always, an exponent only outside
// 1e-5 ... 1e17.
uint32_t spellDouble(char* out, uint64_t d, int32_t exponent) {
  const uint32_t length = FloatPrint::digitCount(d);
  const int32_t point = exponent + static_cast<int32_t>(length);
  const int32_t x = point - 1;
  if (x > 16 || x < -5) {
    FloatPrint::writeDigits(out + 1, d);
    out[0] = out[1];
    out[1] = '.';
    uint32_t n = length + 1;
    if (length == 1) out[n++] = '0';
    out[n++] = 'e';
    out[n++] = x < 0 ? '-' : '+';
    uint32_t mag = x < 0 ? static_cast<uint32_t>(-x) : static_cast<uint32_t>(x);
    if (mag >= 100) {
      out[n++] = static_cast<char>('0' + mag / 100);
      mag %= 100;
      out[n++] = static_cast<char>('0' + mag / 10);
      out[n++] = static_cast<char>('0' + mag % 10);
    } else if (mag >= 10) {
      out[n++] = static_cast<char>('0' + mag / 10);
      out[n++] = static_cast<char>('0' + mag % 10);
    } else {
      out[n++] = static_cast<char>('0' + mag);
    }
    return n;
  }
  if (point <= 0) {
    const uint32_t zeros = static_cast<uint32_t>(-point);
    out[0] = '0';
    out[1] = '.';
    std::memset(out + 2, '0', zeros);
    FloatPrint::writeDigits(out + 2 + zeros, d);
    return 2 + zeros + length;
  }
  const uint32_t whole = static_cast<uint32_t>(point);
  if (whole < length) {
    FloatPrint::writeDigits(out + 1, d);
    std::memmove(out, out + 1, whole);
    out[whole] = '.';
    return length + 1;
  }
  FloatPrint::writeDigits(out, d);
  std::memset(out + length, '0', whole - length);
  out[whole] = '.';
  out[whole + 1] = '0';
  return whole + 2;
}

}  // namespace

uint32_t _json_formatDouble(char* buffer, double value, bool floatFlag) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  uint32_t at = 0;
  if ((bits >> 63) != 0) buffer[at++] = '-';
  bits &= ~(uint64_t{1} << 63);
  if (bits == 0) {
    std::memcpy(buffer + at, "0.0", 3);
    return at + 3;
  }
  int32_t exponent = 0;
  uint64_t d = 0;
  if (!floatFlag) {
    d = FloatPrint::shortest(bits, exponent);
  } else {
    const double magnitude = std::bit_cast<double>(bits);
    const uint32_t E = static_cast<uint32_t>(bits >> 52);
    const uint32_t first = E <= 896 ? 1 : 6;
    char r[24];
    uint32_t length = 0;
    int32_t point = 0;
    const uint64_t f = bits & ((uint64_t{1} << 52) - 1);
    const uint64_t m = E == 0 ? f : f | (uint64_t{1} << 52);
    const int32_t e = E == 0 ? -1074 : static_cast<int32_t>(E) - 1075;
    if (!floatDigitsFast(m, e, first, magnitude, r, length, point))
      floatDigitsThroughBig(bits, first, magnitude, r, length, point);
    d = digitsValue(r, length);
    exponent = point - static_cast<int32_t>(length);
  }
  return at + spellDouble(buffer + at, d, exponent);
}

void _json_appendDouble(Ptr<String> out, double value, bool floatFlag) {
  if (!out) return;
  char buffer[kJsonDoubleMax];
  out->appendBytes(buffer, _json_formatDouble(buffer, value, floatFlag));
}

Ref<String> _json_roundDigits(Ptr<const String> digits, uint32_t n, int32_t point, int32_t& newPoint) {
  uint32_t length = digits ? digits->byteLength() : 0;
  if (n == 0) n = 1;
  std::unique_ptr<char[]> out(new char[(length > n ? length : n) + 2]);
  uint32_t kept = length == 0 ? 0 : roundDigitString(digits->cString(), length, n, point, out.get(), newPoint);
  if (length == 0) newPoint = point;
  return String::withBytes(out.get(), kept);
}

double _json_digitsToDouble(Ptr<const String> digits, int32_t point) {
  JSONBig big;
  uint32_t length = digits ? digits->byteLength() : 0;
  for (uint32_t i = 0; i < length; ++i) big.mulAdd(10, static_cast<uint32_t>(digits->byteAt(i) - '0'));
  return bigTimesPow10(big, int64_t{point} - length, length);
}

}  // namespace quorl
