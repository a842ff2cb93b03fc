// Exact floating-point printing: the f, F, e, E, g, G directives.
//
// Sections:
//   1. TextBuffer: a growable byte buffer with inline room for one item
//   2. FixedBig: a small stack big integer for the exact paths
//   3. FloatPrint: digit generation and the three forms
//      3a. exact decimal expansion and rounding of digit strings
//      3b. rounded digits of a double (fast 128-bit paths, exact fallback)
//      3c. bodies and whole items
//      3d. the String-level forms of the same operations
//      3e. shortest round-trip digits (no big integers)
//
// Every result is the correctly rounded decimal text of the double's exact
// value, ties to even. Digit strings are "0.D x 10^point": the decimal point
// stands after the first `point` digits (a point <= 0 means that many zeros
// follow the decimal point before D).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Object.h"

namespace quorl {

// 10^0 ... 10^19, every power of ten a u64 holds.
inline constexpr uint64_t kPow10u64[20] = {
    1ull,           10ull,           100ull,           1000ull,           10000ull,
    100000ull,      1000000ull,      10000000ull,      100000000ull,      1000000000ull,
    10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull, 100000000000000ull,
    1000000000000000ull, 10000000000000000ull, 100000000000000000ull, 1000000000000000000ull,
    10000000000000000000ull};

class String;

// ---------------------------------------------------------------------------
// 1. TextBuffer. Formatted items usually fit the inline bytes; a huge
//    precision (%.100000f) spills to the heap.
class TextBuffer {
 public:
  TextBuffer() = default;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  void append(char c) {
    if (size_ == capacity_) grow(size_ + 1);
    data_[size_++] = c;
  }
  void append(const char* bytes, size_t n);
  void append(const char* text);  // up to the NUL
  void fill(char c, size_t n);

  char* data() { return data_; }
  const char* data() const { return data_; }
  size_t size() const { return size_; }
  void truncate(size_t n) {
    if (n < size_) size_ = n;
  }
  void clear() { size_ = 0; }
  char operator[](size_t i) const { return data_[i]; }

 private:
  void grow(size_t need);

  char inline_[256];
  char* data_ = inline_;
  size_t size_ = 0;
  size_t capacity_ = sizeof inline_;
  std::unique_ptr<char[]> heap_;
};

// ---------------------------------------------------------------------------
// 2. FixedBig: an unsigned integer of at most 1280 bits on the stack, for
//    the exact paths of printing and of reading numbers. An operation whose
//    result would not fit sets `overflowed` and leaves the value meaningless;
//    callers then take a slower exact route.
class FixedBig {
 public:
  static constexpr uint32_t kLimbs = 40;

  FixedBig() = default;
  explicit FixedBig(uint64_t value) { set(value); }
  void set(uint64_t value);

  bool overflowed() const { return overflow_; }
  bool isZero() const { return count_ == 0; }
  uint32_t bitLength() const;
  uint64_t low64() const;

  void mulSmall(uint32_t factor);
  void mulU64(uint64_t factor);
  void mulPow5(uint32_t k);
  // value = 5^k, copied from a table made once for k <= 400.
  void setPow5(uint32_t k);
  void shl(uint32_t n);
  unsigned __int128 shr128(uint32_t n) const;  // (value >> n) mod 2^128
  bool anyBelow(uint32_t n) const;              // value mod 2^n != 0
  int cmp(const FixedBig& other) const;
  void sub(const FixedBig& other);  // requires value >= other
  // floor(value / d) into `quotient`, leaving the remainder in this; false
  // when the quotient does not fit 64 bits (or d is 0).
  bool divFloor64(const FixedBig& d, uint64_t& quotient);

 private:
  void trim() {
    while (count_ > 0 && limb_[count_ - 1] == 0) --count_;
  }

  uint32_t limb_[kLimbs];
  uint32_t count_ = 0;
  bool overflow_ = false;
};

// ---------------------------------------------------------------------------
// 3. FloatPrint. A class of class-level operations only.
class FloatPrint {
 public:
  FloatPrint() = delete;

  // The largest product of the expansion, a 53-bit significand times 5^1074,
  // has 2547 bits; the longest digit string (a subnormal) 767 digits.
  static constexpr uint32_t kMaxLimbs = 80;
  static constexpr uint32_t kMaxDigits = 780;

  // A digit string of at most kMaxDigits digits (the carry of a rounding
  // may add one) with its point position.
  struct Digits {
    char text[kMaxDigits + 2];
    uint32_t length = 0;
    int32_t point = 0;
  };

  // -- 3a. Exact expansion and digit-string rounding --------------------------
  // D and p of a finite double's magnitude (the sign bit is ignored); D has
  // no leading and no trailing zeros and is empty for zero.
  static void exact(uint64_t bits, Digits& out);
  // limbs = limbs x factor; answers the new limb count (a carry adds a limb).
  static uint32_t multiply(uint32_t* limbs, uint32_t count, uint32_t factor);
  // Keeps the first n digits of `digits` (in place), rounding half to even on
  // the exact tail; n < 0 empties them. Answers the new length; `point` grows
  // by one when the carry runs past the first digit.
  static uint32_t roundDigits(char* digits, uint32_t length, int64_t n, int32_t& point);
  static char digitAt(const char* digits, uint32_t length, int64_t i) {
    return i < 0 || i >= static_cast<int64_t>(length) ? '0' : digits[i];
  }

  // -- 3b. Rounded digits of a finite double's magnitude ----------------------
  // All digits down to the place 10^-precision (digits may end in zeros; the
  // result is empty when the value rounds to zero).
  static void roundFixed(double value, int32_t precision, Digits& out, bool allowFast = true);
  // The first n >= 1 significant digits; empty for zero.
  static void roundSignificant(double value, int32_t n, Digits& out, bool allowFast = true);
  // floor(m x 2^e x 10^s) and whether anything was dropped, exactly, when
  // the result fits 127 bits and |s| <= 27; false otherwise.
  static bool scaledFloor(uint64_t m, int32_t e, int32_t s, unsigned __int128& floor, bool& sticky);
  // The same for any s, when the result fits 64 bits (through FixedBig).
  static bool scaledFloor64(uint64_t m, int32_t e, int32_t s, uint64_t& floor, bool& sticky);
  // Decimal digits of v (no leading zeros, "" for 0); answers the count.
  static uint32_t u128Digits(unsigned __int128 v, char* out);

  // -- 3c. Bodies and whole items ---------------------------------------------
  // Bodies of a finite non-negative value, the text after the sign.
  static void fixed(TextBuffer& out, double value, int32_t precision, bool alt);
  static void exponent(TextBuffer& out, double value, int32_t precision, bool alt, bool upper);
  static void general(TextBuffer& out, double value, int32_t precision, bool alt, bool upper);
  // Forms over an already rounded digit string (R, point).
  static void emitFixed(TextBuffer& out, const char* digits, uint32_t length, int32_t point, int32_t precision,
                        bool alt);
  static void emitExp(TextBuffer& out, const char* digits, uint32_t length, int32_t point, int32_t precision,
                      bool alt, bool upper);
  // Trailing fraction zeros (and a bare point) of the text from `start` on,
  // before any exponent, are removed.
  static void trimZeros(TextBuffer& text, size_t start);

  // The sign prefix and the body of one directive (conversion f F e E g G;
  // precision < 0 means 6). Answers whether the value is finite.
  static bool parts(TextBuffer& prefix, TextBuffer& body, double value, uint8_t conversion, int32_t precision,
                    bool plus, bool space, bool alt);
  // One whole directive, padded to width (left: spaces after; zero, for
  // finite values: zeros between the sign and the digits; else spaces first).
  static void item(TextBuffer& out, double value, uint8_t conversion, int32_t precision, int32_t width,
                   bool left, bool plus, bool space, bool alt, bool zero);

  // -- 3d. String-level forms ---------------------------------------------------
  static Ref<String> _fmtExact(uint64_t bits, int32_t& point);
  static uint32_t _fmtMul(uint32_t* limbs, uint32_t count, uint32_t factor) {
    return multiply(limbs, count, factor);
  }
  static Ref<String> _fmtRound(Ptr<const String> digits, int32_t n, int32_t& point);
  static uint8_t _fmtDigitAt(Ptr<const String> digits, int32_t i);
  static Ref<String> _fmtFixed(Ptr<const String> digits, int32_t point, int32_t precision, bool alt);
  static Ref<String> _fmtExp(Ptr<const String> digits, int32_t point, int32_t precision, bool alt, bool upper);
  static Ref<String> _fmtTrimZeros(const Ref<String>& text);

  // -- 3e. Shortest round-trip digits -------------------------------------------
  // For the magnitude of a finite non-zero double (the sign bit is ignored):
  // digits D, without trailing zeros, and an exponent x such that D x 10^x
  // is the shortest decimal that reads back as the double and, of those, the
  // closest to it (a tie goes to the even D). The exception is an exact power
  // of two above the smallest normal, whose lower neighbour is nearer than
  // its upper one: it gets the first of its correctly rounded 15, 16 and 17
  // digits that reads back, as the JSON writer has always spelled it.
  static uint64_t shortest(uint64_t bits, int32_t& exponent);
  // The decimal digits of v (1 to 20 of them, "0" for 0) at `out`, two at a
  // time; answers how many.
  static uint32_t writeDigits(char* out, uint64_t v);
  static uint32_t digitCount(uint64_t v);
  // The 126-bit scale of 10^p (-292 <= p <= 324) that the shortest digits
  // multiply by: floor(10^p x 2^(125 - floor(log2 10^p))) + 1.
  static void pow10Scale(int32_t p, uint64_t& high, uint64_t& low);
};

}  // namespace quorl
