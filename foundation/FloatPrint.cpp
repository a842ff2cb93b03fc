// Exact floating-point printing.
//
// Sections:
//   1. TextBuffer
//   2. FixedBig
//   3. Exact expansion (big-integer) and digit-string rounding
//   4. Rounded digits of a double: 128-bit fast paths, exact fallback
//   5. The fixed, exponent and general forms
//   6. Whole items
//   7. String-level forms
//   8. Shortest round-trip digits
//
// The fast paths compute floor(value x 10^s) exactly in 128 bits plus a
// sticky bit for whatever lies below, which is all that rounding half to even
// needs; values or precisions outside their reach take the exact expansion.
// Both give the same digits, so the choice is invisible.
#include "FloatPrint.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "String.h"

namespace quorl {

using u128 = unsigned __int128;

// ---------------------------------------------------------------------------
// 1. TextBuffer
void TextBuffer::grow(size_t need) {
  size_t c = capacity_ * 2;
  if (c < need) c = need;
  std::unique_ptr<char[]> bigger(new char[c]);
  std::memcpy(bigger.get(), data_, size_);
  heap_ = std::move(bigger);
  data_ = heap_.get();
  capacity_ = c;
}

void TextBuffer::append(const char* bytes, size_t n) {
  if (n == 0) return;
  if (capacity_ - size_ < n) grow(size_ + n);
  std::memcpy(data_ + size_, bytes, n);
  size_ += n;
}

void TextBuffer::append(const char* text) { append(text, std::strlen(text)); }

void TextBuffer::fill(char c, size_t n) {
  if (n == 0) return;
  if (capacity_ - size_ < n) grow(size_ + n);
  std::memset(data_ + size_, c, n);
  size_ += n;
}

namespace {

constexpr uint64_t kFractionMask = (uint64_t{1} << 52) - 1;

// value = m x 2^e, as the expansion reads a double's magnitude.
struct Binary {
  uint64_t m;
  int32_t e;
};

Binary decompose(uint64_t bits) {
  uint64_t f = bits & kFractionMask;
  uint32_t E = static_cast<uint32_t>(bits >> 52) & 0x7FF;
  if (E == 0) return {f, -1074};
  return {f | (uint64_t{1} << 52), static_cast<int32_t>(E) - 1075};
}

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

struct Pow10Table {
  u128 v[39];
  constexpr Pow10Table() : v() {
    v[0] = 1;
    for (int i = 1; i < 39; ++i) v[i] = v[i - 1] * 10;
  }
};
constexpr Pow10Table kPow10;

int bitLength128(u128 v) {
  uint64_t hi = static_cast<uint64_t>(v >> 64);
  if (hi != 0) return 128 - std::countl_zero(hi);
  return 64 - std::countl_zero(static_cast<uint64_t>(v));
}

// floor(b x log10(2)) for |b| <= 1700; b is the binary exponent of the
// leading bit, so 10^k <= value < 10^(k+2).
int32_t floorLog10Pow2(int32_t b) { return (b * 78913) >> 18; }

// Round-half-even of (t / 10) given its last digit and the sticky tail.
u128 roundLastDigit(u128 t, bool sticky) {
  if ((t >> 64) == 0) {  // 64-bit division is far cheaper than the 128-bit call
    uint64_t q = static_cast<uint64_t>(t) / 10;
    unsigned r = static_cast<unsigned>(static_cast<uint64_t>(t) - q * 10);
    if (r > 5 || (r == 5 && (sticky || (q & 1) != 0))) ++q;
    return q;
  }
  u128 q = t / 10;
  unsigned r = static_cast<unsigned>(t - q * 10);
  if (r > 5 || (r == 5 && (sticky || (q & 1) != 0))) ++q;
  return q;
}

}  // namespace

// ---------------------------------------------------------------------------
// 2. FixedBig
void FixedBig::set(uint64_t value) {
  limb_[0] = static_cast<uint32_t>(value);
  limb_[1] = static_cast<uint32_t>(value >> 32);
  count_ = limb_[1] != 0 ? 2 : limb_[0] != 0 ? 1 : 0;
  overflow_ = false;
}

uint32_t FixedBig::bitLength() const {
  return count_ == 0 ? 0 : 32 * (count_ - 1) + static_cast<uint32_t>(std::bit_width(limb_[count_ - 1]));
}

uint64_t FixedBig::low64() const {
  if (count_ == 0) return 0;
  return count_ == 1 ? limb_[0] : limb_[0] | (uint64_t{limb_[1]} << 32);
}

void FixedBig::mulSmall(uint32_t factor) {
  uint64_t carry = 0;
  for (uint32_t i = 0; i < count_; ++i) {
    uint64_t cur = uint64_t{limb_[i]} * factor + carry;
    limb_[i] = static_cast<uint32_t>(cur);
    carry = cur >> 32;
  }
  if (carry != 0) {
    if (count_ == kLimbs) {
      overflow_ = true;
      return;
    }
    limb_[count_++] = static_cast<uint32_t>(carry);
  }
  trim();
}

void FixedBig::mulU64(uint64_t factor) {
  u128 carry = 0;
  for (uint32_t i = 0; i < count_; ++i) {
    u128 cur = static_cast<u128>(limb_[i]) * factor + carry;
    limb_[i] = static_cast<uint32_t>(cur);
    carry = cur >> 32;
  }
  while (carry != 0) {
    if (count_ == kLimbs) {
      overflow_ = true;
      return;
    }
    limb_[count_++] = static_cast<uint32_t>(carry);
    carry >>= 32;
  }
  trim();
}

void FixedBig::mulPow5(uint32_t k) {
  for (; k >= 13; k -= 13) mulSmall(1220703125u);
  if (k > 0) mulSmall(static_cast<uint32_t>(kPow5[k]));
}

void FixedBig::setPow5(uint32_t k) {
  constexpr uint32_t kTable = 400;
  if (k > kTable) {
    set(1);
    mulPow5(k);
    return;
  }
  // 5^400 has 929 bits, well inside the capacity. Made on first use; the
  // initialisation of a function-local static is thread-safe.
  static const std::vector<FixedBig> table = [] {
    std::vector<FixedBig> t(kTable + 1);
    t[0].set(1);
    for (uint32_t i = 1; i <= kTable; ++i) {
      t[i] = t[i - 1];
      t[i].mulSmall(5);
    }
    return t;
  }();
  *this = table[k];
}

void FixedBig::shl(uint32_t n) {
  if (count_ == 0 || n == 0) return;
  if ((uint64_t{bitLength()} + n + 31) / 32 > kLimbs) {
    overflow_ = true;
    return;
  }
  uint32_t words = n / 32;
  uint32_t bits = n % 32;
  // Downwards, so each source limb is read before anything lands on it.
  for (uint32_t i = count_ + 1; i-- > 0;) {
    uint32_t high = i < count_ ? limb_[i] : 0;
    uint32_t low = i > 0 ? limb_[i - 1] : 0;
    uint32_t v = bits == 0 ? high : (high << bits) | (low >> (32 - bits));
    if (i + words < kLimbs) limb_[i + words] = v;
  }
  for (uint32_t i = 0; i < words; ++i) limb_[i] = 0;
  count_ = std::min(count_ + words + 1, kLimbs);
  trim();
}

unsigned __int128 FixedBig::shr128(uint32_t n) const {
  uint32_t w = n / 32;
  uint32_t b = n % 32;
  auto at = [&](uint32_t i) -> u128 { return i < count_ ? limb_[i] : 0; };
  u128 low = at(w) | (at(w + 1) << 32) | (at(w + 2) << 64) | (at(w + 3) << 96);
  if (b == 0) return low;
  return (low >> b) | (at(w + 4) << (128 - b));
}

bool FixedBig::anyBelow(uint32_t n) const {
  uint32_t w = n / 32;
  for (uint32_t j = 0; j < w && j < count_; ++j)
    if (limb_[j] != 0) return true;
  uint32_t b = n % 32;
  return b != 0 && w < count_ && (limb_[w] & ((uint32_t{1} << b) - 1)) != 0;
}

int FixedBig::cmp(const FixedBig& other) const {
  if (count_ != other.count_) return count_ > other.count_ ? 1 : -1;
  for (uint32_t i = count_; i-- > 0;)
    if (limb_[i] != other.limb_[i]) return limb_[i] > other.limb_[i] ? 1 : -1;
  return 0;
}

void FixedBig::sub(const FixedBig& other) {
  uint64_t borrow = 0;
  for (uint32_t i = 0; i < count_; ++i) {
    uint64_t take = (i < other.count_ ? other.limb_[i] : 0) + borrow;
    uint64_t have = limb_[i];
    limb_[i] = static_cast<uint32_t>(have - take);
    borrow = have < take ? 1 : 0;
  }
  trim();
}

bool FixedBig::divFloor64(const FixedBig& d, uint64_t& quotient) {
  if (d.count_ == 0 || overflow_ || d.overflow_) return false;
  uint32_t ld = d.bitLength();
  uint32_t ln = bitLength();
  if (ln < ld) {
    quotient = 0;
    return true;
  }
  if (ln > ld + 64) return false;
  if (ld <= 64) {
    u128 n = shr128(0);
    uint64_t dd = d.low64();
    u128 q = n / dd;
    if ((q >> 64) != 0) return false;
    quotient = static_cast<uint64_t>(q);
    u128 rem = n - q * dd;
    set(static_cast<uint64_t>(rem));
    return true;
  }
  // Divide the leading 128 bits by the divisor's leading 64 bits rounded up:
  // that never overshoots and falls short by a few units at most, which the
  // subtractions below make good.
  uint32_t shift = ld - 64;
  u128 dTop = static_cast<uint64_t>(d.shr128(shift));
  u128 estimate = shr128(shift) / (dTop + 1);
  if ((estimate >> 64) != 0) return false;
  FixedBig product = d;
  product.mulU64(static_cast<uint64_t>(estimate));
  if (product.overflowed()) return false;
  sub(product);
  while (cmp(d) >= 0) {
    sub(d);
    if (++estimate >> 64 != 0) return false;
  }
  quotient = static_cast<uint64_t>(estimate);
  return true;
}

// ---------------------------------------------------------------------------
// 3. Exact expansion and digit-string rounding
uint32_t FloatPrint::multiply(uint32_t* limbs, uint32_t count, uint32_t factor) {
  uint64_t carry = 0;
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t cur = static_cast<uint64_t>(limbs[i]) * factor + carry;
    limbs[i] = static_cast<uint32_t>(cur);
    carry = cur >> 32;
  }
  if (carry != 0) limbs[count++] = static_cast<uint32_t>(carry);
  return count;
}

void FloatPrint::exact(uint64_t bits, Digits& out) {
  Binary v = decompose(bits & ~(uint64_t{1} << 63));
  out.length = 0;
  out.point = 0;
  if (v.m == 0) return;

  uint32_t limbs[kMaxLimbs + 2];
  limbs[0] = static_cast<uint32_t>(v.m);
  limbs[1] = static_cast<uint32_t>(v.m >> 32);
  uint32_t count = limbs[1] != 0 ? 2 : 1;
  int32_t scale = 0;
  if (v.e >= 0) {
    for (int32_t left = v.e; left > 0;) {
      int32_t step = left < 31 ? left : 31;
      count = multiply(limbs, count, uint32_t{1} << step);
      left -= step;
    }
  } else {
    int32_t k = -v.e;
    scale = k;
    for (; k >= 13; k -= 13) count = multiply(limbs, count, 1220703125u);
    if (k > 0) count = multiply(limbs, count, static_cast<uint32_t>(kPow5[k]));
  }

  // Nine digits per pass, least significant first; the last group stops
  // with its last non-zero digit so no leading zeros appear.
  char reversed[kMaxDigits + 12];
  uint32_t n = 0;
  while (count > 0) {
    uint64_t rem = 0;
    for (uint32_t i = count; i-- > 0;) {
      uint64_t cur = (rem << 32) | limbs[i];
      limbs[i] = static_cast<uint32_t>(cur / 1000000000u);
      rem = cur % 1000000000u;
    }
    while (count > 0 && limbs[count - 1] == 0) --count;
    if (count > 0) {
      for (int j = 0; j < 9; ++j) {
        reversed[n++] = static_cast<char>('0' + rem % 10);
        rem /= 10;
      }
    } else {
      do {
        reversed[n++] = static_cast<char>('0' + rem % 10);
        rem /= 10;
      } while (rem != 0);
    }
  }
  for (uint32_t i = 0; i < n; ++i) out.text[i] = reversed[n - 1 - i];
  out.point = static_cast<int32_t>(n) - scale;
  while (n > 0 && out.text[n - 1] == '0') --n;
  out.length = n;
}

uint32_t FloatPrint::roundDigits(char* digits, uint32_t length, int64_t n, int32_t& point) {
  if (n >= static_cast<int64_t>(length)) return length;
  if (n < 0) return 0;
  uint32_t keep = static_cast<uint32_t>(n);
  char d = digits[keep];
  bool up = false;
  if (d > '5') {
    up = true;
  } else if (d == '5') {
    bool above = false;  // anything non-zero after the 5 puts us past the tie
    for (uint32_t i = keep + 1; i < length && !above; ++i) above = digits[i] != '0';
    up = above || (keep > 0 && ((digits[keep - 1] - '0') & 1) != 0);
  }
  if (!up) return keep;
  for (uint32_t i = keep; i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return keep;
    }
    digits[i] = '0';
  }
  // The carry ran past the first digit: every kept digit is now '0'.
  digits[0] = '1';
  for (uint32_t i = 1; i <= keep; ++i) digits[i] = '0';
  ++point;
  return keep + 1;
}

// ---------------------------------------------------------------------------
// 4. Rounded digits of a double
bool FloatPrint::scaledFloor(uint64_t m, int32_t e, int32_t s, u128& floor, bool& sticky) {
  if (s > 27 || s < -27) return false;
  if (s >= 0) {
    u128 a = static_cast<u128>(m) * kPow5[s];
    int32_t t = e + s;
    if (t >= 0) {
      if (a != 0 && bitLength128(a) + t > 127) return false;
      floor = a << t;
      sticky = false;
    } else if (t <= -128) {
      floor = 0;
      sticky = a != 0;
    } else {
      floor = a >> -t;
      sticky = (a & ((static_cast<u128>(1) << -t) - 1)) != 0;
    }
    return true;
  }
  uint64_t d = kPow5[-s];
  int32_t t = e + s;  // value x 10^s = m x 2^t / 5^-s
  if (t >= 0) {
    if (m != 0 && std::bit_width(m) + t > 127) return false;
    u128 num = static_cast<u128>(m) << t;
    if ((num >> 64) == 0) {
      uint64_t n64 = static_cast<uint64_t>(num);
      floor = n64 / d;
      sticky = n64 % d != 0;
    } else {
      floor = num / d;
      sticky = num % d != 0;
    }
    return true;
  }
  int32_t shift = -t;
  if (std::bit_width(d) + shift > 127) {
    floor = 0;  // the divisor exceeds 2^127 while m < 2^53
    sticky = m != 0;
    return true;
  }
  u128 den = static_cast<u128>(d) << shift;
  floor = m / den;
  sticky = m % den != 0;
  return true;
}

bool FloatPrint::scaledFloor64(uint64_t m, int32_t e, int32_t s, uint64_t& floor, bool& sticky) {
  if (m == 0) {
    floor = 0;
    sticky = false;
    return true;
  }
  if (s > 400 || s < -400) return false;
  int32_t t = e + s;
  if (s >= 0) {
    FixedBig a;
    a.setPow5(static_cast<uint32_t>(s));
    a.mulU64(m);
    if (a.overflowed()) return false;
    if (t >= 0) {
      if (a.bitLength() + static_cast<uint32_t>(t) > 64) return false;
      floor = a.low64() << t;
      sticky = false;
      return true;
    }
    u128 r = a.shr128(static_cast<uint32_t>(-t));
    if ((r >> 64) != 0) return false;
    floor = static_cast<uint64_t>(r);
    sticky = a.anyBelow(static_cast<uint32_t>(-t));
    return true;
  }
  FixedBig num(m);
  FixedBig den;
  den.setPow5(static_cast<uint32_t>(-s));
  if (t >= 0)
    num.shl(static_cast<uint32_t>(t));
  else
    den.shl(static_cast<uint32_t>(-t));
  if (num.overflowed() || den.overflowed() || !num.divFloor64(den, floor)) return false;
  sticky = !num.isZero();
  return true;
}

uint32_t FloatPrint::u128Digits(u128 v, char* out) {
  char tmp[40];
  uint32_t n = 0;
  while ((v >> 64) != 0) {
    constexpr uint64_t k19 = 10000000000000000000ull;
    u128 q = v / k19;
    uint64_t r = static_cast<uint64_t>(v - q * k19);
    for (int j = 0; j < 19; ++j) {
      tmp[n++] = static_cast<char>('0' + r % 10);
      r /= 10;
    }
    v = q;
  }
  for (uint64_t x = static_cast<uint64_t>(v); x != 0; x /= 10) tmp[n++] = static_cast<char>('0' + x % 10);
  for (uint32_t i = 0; i < n; ++i) out[i] = tmp[n - 1 - i];
  return n;
}

void FloatPrint::roundFixed(double value, int32_t precision, Digits& out, bool allowFast) {
  uint64_t bits = std::bit_cast<uint64_t>(value) & ~(uint64_t{1} << 63);
  Binary v = decompose(bits);
  out.length = 0;
  out.point = 0;
  if (v.m == 0) return;
  u128 t;
  bool sticky;
  if (allowFast && precision <= 26 && scaledFloor(v.m, v.e, precision + 1, t, sticky)) {
    u128 n = roundLastDigit(t, sticky);
    out.length = u128Digits(n, out.text);
    out.point = out.length == 0 ? 0 : static_cast<int32_t>(out.length) - precision;
    return;
  }
  exact(bits, out);
  out.length = roundDigits(out.text, out.length, static_cast<int64_t>(out.point) + precision, out.point);
}

void FloatPrint::roundSignificant(double value, int32_t n, Digits& out, bool allowFast) {
  uint64_t bits = std::bit_cast<uint64_t>(value) & ~(uint64_t{1} << 63);
  Binary v = decompose(bits);
  out.length = 0;
  out.point = 0;
  if (v.m == 0) return;
  if (allowFast && n >= 1 && n <= 36) {
    int32_t k = floorLog10Pow2(std::bit_width(v.m) - 1 + v.e);
    u128 t;
    bool sticky;
    bool ok = scaledFloor(v.m, v.e, n - k, t, sticky);
    if (!ok && n <= 17) {
      uint64_t t64;
      ok = scaledFloor64(v.m, v.e, n - k, t64, sticky);
      t = t64;
    }
    if (ok) {
      // t holds n + 1 digits, or n + 2 when the estimate of k was one low.
      if (t >= kPow10.v[n + 1]) {
        sticky = sticky || t % 10 != 0;
        t /= 10;
        ++k;
      }
      u128 q = roundLastDigit(t, sticky);
      if (q == kPow10.v[n]) {
        q = kPow10.v[n - 1];
        ++k;
      }
      out.length = u128Digits(q, out.text);
      out.point = k + 1;
      return;
    }
  }
  exact(bits, out);
  out.length = roundDigits(out.text, out.length, n, out.point);
}

// ---------------------------------------------------------------------------
// 5. The forms
void FloatPrint::emitFixed(TextBuffer& out, const char* digits, uint32_t length, int32_t point, int32_t precision,
                           bool alt) {
  if (point >= 1) {
    uint32_t whole = static_cast<uint32_t>(point);
    uint32_t have = std::min(whole, length);
    out.append(digits, have);
    out.fill('0', whole - have);
  } else {
    out.append('0');
  }
  if (precision >= 1 || alt) out.append('.');
  if (precision <= 0) return;
  // Fraction places are digit indices point .. point + precision - 1.
  int64_t from = point;
  int64_t to = static_cast<int64_t>(point) + precision;
  if (from < 0) {
    int64_t zeros = std::min<int64_t>(to, 0) - from;
    out.fill('0', static_cast<size_t>(zeros));
    from = 0;
  }
  if (from < to) {
    int64_t end = std::min<int64_t>(to, length);
    if (from < end) {
      out.append(digits + from, static_cast<size_t>(end - from));
      from = end;
    }
    out.fill('0', static_cast<size_t>(to - from));
  }
}

void FloatPrint::emitExp(TextBuffer& out, const char* digits, uint32_t length, int32_t point, int32_t precision,
                         bool alt, bool upper) {
  int32_t x = length != 0 ? point - 1 : 0;
  out.append(digitAt(digits, length, 0));
  if (precision >= 1 || alt) out.append('.');
  if (precision > 0) {
    uint32_t have = length > 1 ? std::min<uint32_t>(length - 1, static_cast<uint32_t>(precision)) : 0;
    out.append(digits + 1, have);
    out.fill('0', static_cast<size_t>(precision) - have);
  }
  out.append(upper ? 'E' : 'e');
  out.append(x < 0 ? '-' : '+');
  uint32_t mag = x < 0 ? 0u - static_cast<uint32_t>(x) : static_cast<uint32_t>(x);
  if (mag < 10) out.append('0');
  char tmp[12];
  int n = 0;
  do {
    tmp[n++] = static_cast<char>('0' + mag % 10);
    mag /= 10;
  } while (mag != 0);
  while (n > 0) out.append(tmp[--n]);
}

void FloatPrint::fixed(TextBuffer& out, double value, int32_t precision, bool alt) {
  Digits d;
  roundFixed(value, precision, d);
  emitFixed(out, d.text, d.length, d.point, precision, alt);
}

void FloatPrint::exponent(TextBuffer& out, double value, int32_t precision, bool alt, bool upper) {
  Digits d;
  // n = precision + 1 significant digits; past the expansion they are zeros
  // anyway, so a precision beyond it needs no more than every digit.
  int32_t n = precision >= static_cast<int32_t>(kMaxDigits) ? static_cast<int32_t>(kMaxDigits) : precision + 1;
  roundSignificant(value, n, d);
  emitExp(out, d.text, d.length, d.point, precision, alt, upper);
}

void FloatPrint::general(TextBuffer& out, double value, int32_t precision, bool alt, bool upper) {
  int32_t p = precision == 0 ? 1 : precision;
  int32_t x = 0;
  if (value != 0.0) {
    Digits d;
    roundSignificant(value, p >= static_cast<int32_t>(kMaxDigits) ? static_cast<int32_t>(kMaxDigits) : p, d);
    x = d.point - 1;
  }
  size_t start = out.size();
  if (x >= -4 && x < p)
    fixed(out, value, static_cast<int32_t>(static_cast<int64_t>(p) - 1 - x), alt);
  else
    exponent(out, value, p - 1, alt, upper);
  if (!alt) trimZeros(out, start);
}

void FloatPrint::trimZeros(TextBuffer& text, size_t start) {
  size_t size = text.size();
  char* t = text.data();
  size_t expAt = size;
  size_t dot = size;
  for (size_t i = size; i-- > start;) {
    if (expAt == size && (t[i] == 'e' || t[i] == 'E')) expAt = i;
    if (t[i] == '.') {
      dot = i;
      break;
    }
  }
  if (dot == size) return;
  size_t end = expAt;
  while (end > dot + 1 && t[end - 1] == '0') --end;
  if (end == dot + 1) end = dot;
  if (end == expAt) return;
  std::memmove(t + end, t + expAt, size - expAt);
  text.truncate(end + (size - expAt));
}

// ---------------------------------------------------------------------------
// 6. Whole items
namespace {

// Writes the sign prefix and the body; answers the prefix length and whether
// the value was finite.
bool writeItem(TextBuffer& out, double value, uint8_t conversion, int32_t precision, bool plus, bool space,
               bool alt, size_t& prefixLength) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  size_t base = out.size();
  if ((bits >> 63) != 0)
    out.append('-');
  else if (plus)
    out.append('+');
  else if (space)
    out.append(' ');
  prefixLength = out.size() - base;
  bool upper = conversion == 'F' || conversion == 'E' || conversion == 'G';
  if (((bits >> 52) & 0x7FF) == 0x7FF) {
    bool nan = (bits & kFractionMask) != 0;
    out.append(nan ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf"), 3);
    return false;
  }
  if (precision < 0) precision = 6;
  double magnitude = std::bit_cast<double>(bits & ~(uint64_t{1} << 63));
  switch (conversion) {
    case 'f':
    case 'F':
      FloatPrint::fixed(out, magnitude, precision, alt);
      break;
    case 'e':
    case 'E':
      FloatPrint::exponent(out, magnitude, precision, alt, upper);
      break;
    default:
      FloatPrint::general(out, magnitude, precision, alt, upper);
      break;
  }
  return true;
}

}  // namespace

bool FloatPrint::parts(TextBuffer& prefix, TextBuffer& body, double value, uint8_t conversion, int32_t precision,
                       bool plus, bool space, bool alt) {
  TextBuffer all;
  size_t prefixLength = 0;
  bool finite = writeItem(all, value, conversion, precision, plus, space, alt, prefixLength);
  prefix.append(all.data(), prefixLength);
  body.append(all.data() + prefixLength, all.size() - prefixLength);
  return finite;
}

void FloatPrint::item(TextBuffer& out, double value, uint8_t conversion, int32_t precision, int32_t width,
                      bool left, bool plus, bool space, bool alt, bool zero) {
  size_t base = out.size();
  size_t prefixLength = 0;
  bool finite = writeItem(out, value, conversion, precision, plus, space, alt, prefixLength);
  size_t total = out.size() - base;
  if (width <= 0 || static_cast<size_t>(width) <= total) return;
  size_t pad = static_cast<size_t>(width) - total;
  if (left) {
    out.fill(' ', pad);
    return;
  }
  size_t at = base + (zero && finite ? prefixLength : 0);
  out.fill(zero && finite ? '0' : ' ', pad);
  char* t = out.data();
  size_t moved = total - (at - base);
  std::memmove(t + at + pad, t + at, moved);
  std::memset(t + at, zero && finite ? '0' : ' ', pad);
}

// ---------------------------------------------------------------------------
// 7. String-level forms: the same rules over digit strings held in Strings.
namespace {

std::vector<char> digitsOf(Ptr<const String> s) {
  std::vector<char> v;
  if (s) {
    v.resize(s->byteLength() + 1);
    s->getBytes(v.data(), s->byteLength());
    v.resize(s->byteLength());
  }
  return v;
}

Ref<String> stringOf(const TextBuffer& b) {
  return String::withBytes(b.data(), static_cast<uint32_t>(b.size()));
}

}  // namespace

Ref<String> FloatPrint::_fmtExact(uint64_t bits, int32_t& point) {
  Digits d;
  exact(bits, d);
  point = d.point;
  return String::withBytes(d.text, d.length);
}

Ref<String> FloatPrint::_fmtRound(Ptr<const String> digits, int32_t n, int32_t& point) {
  std::vector<char> v = digitsOf(digits);
  uint32_t len = roundDigits(v.data(), static_cast<uint32_t>(v.size()), n, point);
  return String::withBytes(v.data(), len);
}

uint8_t FloatPrint::_fmtDigitAt(Ptr<const String> digits, int32_t i) {
  if (!digits || i < 0 || static_cast<uint32_t>(i) >= digits->byteLength()) return '0';
  return digits->byteAt(static_cast<uint32_t>(i));
}

Ref<String> FloatPrint::_fmtFixed(Ptr<const String> digits, int32_t point, int32_t precision, bool alt) {
  std::vector<char> v = digitsOf(digits);
  int32_t p = point;
  uint32_t len = roundDigits(v.data(), static_cast<uint32_t>(v.size()), static_cast<int64_t>(p) + precision, p);
  TextBuffer out;
  emitFixed(out, v.data(), len, p, precision, alt);
  return stringOf(out);
}

Ref<String> FloatPrint::_fmtExp(Ptr<const String> digits, int32_t point, int32_t precision, bool alt, bool upper) {
  std::vector<char> v = digitsOf(digits);
  int32_t p = point;
  uint32_t len = roundDigits(v.data(), static_cast<uint32_t>(v.size()), static_cast<int64_t>(precision) + 1, p);
  TextBuffer out;
  emitExp(out, v.data(), len, p, precision, alt, upper);
  return stringOf(out);
}

Ref<String> FloatPrint::_fmtTrimZeros(const Ref<String>& text) {
  if (!text) return text;
  TextBuffer b;
  b.append(text->cString(), text->byteLength());
  trimZeros(b, 0);
  if (b.size() == text->byteLength()) return text;
  return stringOf(b);
}


// ---------------------------------------------------------------------------
// 8. Shortest round-trip digits
//
// The double is v = c x 2^q. It reads back from any decimal inside its
// rounding interval, which runs halfway to each neighbour: v -+ 2^(q-1)
// (both ends included when c is even). Everything is scaled by 4 x 10^-k with
// k = floor(log10 2^q), so that the interval is between 1 and 10 units of
// the last digit wide: it holds at most one multiple of ten, which when
// present is the shortest candidate, and otherwise its candidates all have
// as many digits as floor(v x 10^-k) and the nearest of them is that floor
// or the next integer. In units of a quarter, the three scaled points are
//   vb = 4 c 2^q 10^-k,   vbl = (4c - 2) 2^q 10^-k,   vbr = (4c + 2) 2^q 10^-k,
// each computed from g x cp / 2^128, where g is 10^-k to 126 bits rounded
// up and cp the left-shifted numerator (see scaledOdd). The result has the
// floor of the exact quotient and is odd exactly when the quotient is not an
// integer, so every comparison with an even integer below is exact. A power
// of two keeps the JSON writer's older spelling and takes its own route
// (powerOfTwoDigits) over the same scales.
//
// The scales are built at compile time from exact powers of ten, so no table
// is written down anywhere and no big integer runs at run time.
namespace {

struct Scale {
  uint64_t high;  // bits 64..125 of g
  uint64_t low;
};

constexpr int32_t kScaleMin = -292;  // 10^p for p = -k, k = floor(log10 2^q)
constexpr int32_t kScaleMax = 324;

// floor(p x log2 10), checked below against the exact powers for |p| <= 325.
constexpr int32_t floorLog2Pow10(int32_t p) { return (p * 1741647) >> 19; }

// An unsigned integer of 32-bit limbs for building the table.
struct TableBig {
  uint32_t limb[42] = {};
  int32_t count = 0;

  constexpr int32_t bitLength() const {
    if (count == 0) return 0;
    uint32_t top = limb[count - 1];
    int32_t bits = 0;
    while (top != 0) {
      ++bits;
      top >>= 1;
    }
    return 32 * (count - 1) + bits;
  }
  constexpr void times10() {
    uint64_t carry = 0;
    for (int32_t i = 0; i < count; ++i) {
      uint64_t cur = uint64_t{limb[i]} * 10 + carry;
      limb[i] = static_cast<uint32_t>(cur);
      carry = cur >> 32;
    }
    if (carry != 0) limb[count++] = static_cast<uint32_t>(carry);
  }
  constexpr void over10() {
    uint64_t rest = 0;
    for (int32_t i = count; i-- > 0;) {
      uint64_t cur = (rest << 32) | limb[i];
      limb[i] = static_cast<uint32_t>(cur / 10);
      rest = cur % 10;
    }
    while (count > 0 && limb[count - 1] == 0) --count;
  }
  // floor(value / 2^shift) mod 2^128.
  constexpr u128 shiftedDown(int32_t shift) const {
    u128 r = 0;
    for (int32_t bit = 127; bit >= 0; --bit) {
      int32_t at = bit + shift;
      if (at / 32 < count && ((limb[at / 32] >> (at % 32)) & 1) != 0) r |= static_cast<u128>(1) << bit;
    }
    return r;
  }
};

struct ScaleTable {
  Scale v[kScaleMax - kScaleMin + 1];

  static constexpr Scale split(u128 g) {
    if ((g >> 125) != 1) throw "a scale outside [2^125, 2^126)";
    return {static_cast<uint64_t>(g >> 64), static_cast<uint64_t>(g)};
  }

  constexpr ScaleTable() : v() {
    // Non-negative p: g = floor(10^p x 2^(126 - bits)) + 1 where 10^p has
    // `bits` bits. Past 2^126 the shift drops bits; below it, it is exact.
    int32_t bitsOf[kScaleMax + 2] = {};
    TableBig power;
    power.limb[0] = 1;
    power.count = 1;
    for (int32_t p = 0; p <= kScaleMax + 1; ++p) {
      if (p > 0) power.times10();
      const int32_t bits = power.bitLength();
      bitsOf[p] = bits;
      if (floorLog2Pow10(p) != bits - 1) throw "floorLog2Pow10 is off";
      if (p > 0 && floorLog2Pow10(-p) != -bits) throw "floorLog2Pow10 is off";
      if (p > kScaleMax) break;
      u128 g = bits <= 126 ? power.shiftedDown(0) << (126 - bits) : power.shiftedDown(bits - 126);
      v[p - kScaleMin] = split(g + 1);
    }
    // Negative p = -m: floor(log2 10^-m) = -bits(10^m), so
    // g = floor(2^(125 + bits) / 10^m) + 1, read off floor(2^1280 / 10^m)
    // (a floor of a floor is the floor of the whole quotient).
    TableBig quotient;
    quotient.limb[40] = 1;
    quotient.count = 41;
    for (int32_t m = 1; m <= -kScaleMin; ++m) {
      quotient.over10();
      v[-m - kScaleMin] = split(quotient.shiftedDown(1280 - 125 - bitsOf[m]) + 1);
    }
  }
};

constexpr ScaleTable kScales;

// floor(q x log10 2), checked against floorLog2Pow10 over every exponent the
// conversions use: k is right when 10^k <= 2^q < 10^(k+1).
constexpr int32_t floorLog10Pow2Checked(int32_t q) { return (q * 78913) >> 18; }
constexpr bool log10Pow2Holds() {
  for (int32_t q = -1074; q <= 1075; ++q) {
    int32_t k = floorLog10Pow2Checked(q);
    bool atLeast = k == 0 ? q >= 0 : floorLog2Pow10(k) < q;  // 10^k <= 2^q (10^k is no power of two for k != 0)
    bool below = q <= floorLog2Pow10(k + 1);                  // 2^q < 10^(k+1)
    if (k + 1 == 0) below = q < 0;
    if (!atLeast || !below) return false;
  }
  return true;
}
static_assert(log10Pow2Holds());


struct DigitPairs {
  char text[200];
  constexpr DigitPairs() : text() {
    for (int i = 0; i < 100; ++i) {
      text[2 * i] = static_cast<char>('0' + i / 10);
      text[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
  }
};
constexpr DigitPairs kPairs;

inline void put2(char* p, uint32_t v) { std::memcpy(p, kPairs.text + 2 * v, 2); }

inline void put8(char* p, uint32_t v) {
  uint32_t a = v / 10000, b = v % 10000;
  put2(p, a / 100);
  put2(p + 2, a % 100);
  put2(p + 4, b / 100);
  put2(p + 6, b % 100);
}

// The scaled point for numerator cp < 2^62: floor(g x cp / 2^128), odd
// when bits 64..127 of the product are not all zero. g exceeds the exact
// scale by less than one, so the product exceeds the exact one by less than
// cp < 2^64: an exact integer keeps those bits zero and comes out unchanged,
// while any other quotient lies far enough from an integer (at least 2^-64
// of a unit: a known property of 126-bit scales over every double's c and q,
// cross-checked by the tests at every exponent) that the excess neither
// reaches the next integer nor hides the fraction.
inline uint64_t scaledOdd(const Scale& g, uint64_t cp) {
  const u128 low = static_cast<u128>(g.low) * cp;
  const u128 middle = static_cast<u128>(g.high) * cp + static_cast<uint64_t>(low >> 64);
  return static_cast<uint64_t>(middle >> 64) | static_cast<uint64_t>(static_cast<uint64_t>(middle) != 0);
}

// d x 10^exponent with d's trailing zeros moved into the exponent; d != 0.
inline uint64_t dropTrailingZeros(uint64_t d, int32_t& exponent) {
  for (;;) {
    uint64_t q = d / 100000000;
    if (q * 100000000 != d) break;
    d = q;
    exponent += 8;
  }
  uint64_t q = d / 10000;
  if (q * 10000 == d) {
    d = q;
    exponent += 4;
  }
  q = d / 100;
  if (q * 100 == d) {
    d = q;
    exponent += 2;
  }
  q = d / 10;
  if (q * 10 == d) {
    d = q;
    exponent += 1;
  }
  return d;
}

// v = 2^(q+52) with a lower neighbour half as far as the upper one: the
// first of the correctly rounded 15, 16 and 17 digits that lies inside the
// interval [v - 2^(q-2), v + 2^(q-1)] (ends included, the significand being
// even). Scaled so that floor(v x 10^-k) has exactly 17 digits, every
// rounding and every test is a comparison of a quarter-unit value with an
// even integer.
uint64_t powerOfTwoDigits(int32_t q, int32_t& exponent) {
  const int32_t k = floorLog10Pow2Checked(q + 52) - 16;
  const int32_t h = q + floorLog2Pow10(-k) + 3;
  const Scale& g = kScales.v[-k - kScaleMin];
  const uint64_t cb = uint64_t{1} << 54;
  const uint64_t vb = scaledOdd(g, cb << h);
  const uint64_t vbl = scaledOdd(g, (cb - 1) << h);
  const uint64_t vbr = scaledOdd(g, (cb + 2) << h);
  const uint64_t s = vb >> 2;
  for (int32_t drop = 2; drop >= 1; --drop) {
    const uint64_t unit = kPow10u64[drop];
    const uint64_t t = s / unit;
    const uint64_t middle = 4 * unit * t + 2 * unit;  // 4 x (t + 1/2) units
    const uint64_t r = t + (vb > middle || (vb == middle && (t & 1) != 0));
    const uint64_t candidate = 4 * unit * r;
    if (vbl <= candidate && candidate <= vbr) {
      exponent = k + drop;
      return dropTrailingZeros(r, exponent);
    }
  }
  const uint64_t middle = 4 * s + 2;
  exponent = k;
  return dropTrailingZeros(s + (vb > middle || (vb == middle && (s & 1) != 0)), exponent);
}

}  // namespace

uint64_t FloatPrint::shortest(uint64_t bits, int32_t& exponent) {
  const uint64_t fraction = bits & kFractionMask;
  const uint32_t biased = static_cast<uint32_t>(bits >> 52) & 0x7FF;
  uint64_t c = fraction;
  int32_t q = -1074;
  if (biased != 0) {
    if (fraction == 0 && biased > 1) return powerOfTwoDigits(static_cast<int32_t>(biased) - 1075, exponent);
    c |= uint64_t{1} << 52;
    q = static_cast<int32_t>(biased) - 1075;
  }
  const int32_t k = floorLog10Pow2Checked(q);
  const int32_t h = q + floorLog2Pow10(-k) + 3;  // 3 to 6: cb << h stays below 2^61
  const Scale& g = kScales.v[-k - kScaleMin];
  const uint64_t out = c & 1;  // an odd significand leaves the ends out
  const uint64_t cb = c << 2;
  const uint64_t vb = scaledOdd(g, cb << h);
  const uint64_t vbl = scaledOdd(g, (cb - 2) << h);
  const uint64_t vbr = scaledOdd(g, (cb + 2) << h);
  const uint64_t s = vb >> 2;
  // The multiple of ten at or below s, or the one above it.
  const uint64_t sp = s / 10;
  const bool lowerTenIn = vbl + out <= 40 * sp;
  const bool upperTenIn = 40 * sp + 40 + out <= vbr;
  if (lowerTenIn != upperTenIn) {
    exponent = k + 1;
    return dropTrailingZeros(sp + upperTenIn, exponent);
  }
  // No multiple of ten: s or s + 1, whichever lies inside, else the nearer
  // (a tie to the even one). Neither ends in a zero here.
  exponent = k;
  const bool lowerIn = vbl + out <= 4 * s;
  const bool upperIn = 4 * s + 4 + out <= vbr;
  if (lowerIn != upperIn) return s + upperIn;
  const uint64_t middle = 4 * s + 2;
  return s + (vb > middle || (vb == middle && (s & 1) != 0));
}

uint32_t FloatPrint::digitCount(uint64_t v) {
  const uint32_t t = (static_cast<uint32_t>(std::bit_width(v | 1)) * 1233) >> 12;
  return t + 1 - ((v | 1) < kPow10u64[t]);
}

uint32_t FloatPrint::writeDigits(char* out, uint64_t v) {
  const uint32_t n = digitCount(v);
  char* p = out + n;
  while (v >= 100000000) {
    const uint64_t q = v / 100000000;
    p -= 8;
    put8(p, static_cast<uint32_t>(v - q * 100000000));
    v = q;
  }
  uint32_t w = static_cast<uint32_t>(v);
  while (w >= 100) {
    const uint32_t q = w / 100;
    p -= 2;
    put2(p, w - q * 100);
    w = q;
  }
  if (w >= 10)
    put2(p - 2, w);
  else
    p[-1] = static_cast<char>('0' + w);
  return n;
}

void FloatPrint::pow10Scale(int32_t p, uint64_t& high, uint64_t& low) {
  const Scale& g = kScales.v[p - kScaleMin];
  high = g.high;
  low = g.low;
}

}  // namespace quorl
