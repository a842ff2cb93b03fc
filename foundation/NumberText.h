// JSON number conversion: decimal text to the nearest double, doubles to the
// shortest text that reads back, and integer texts to int64.
//
// Sections:
//   1. JSONBig: the small unsigned big integer behind the exact paths
//   2. Reading: _json_parseDouble, _json_parseInt64
//   3. Writing: _json_appendDouble, _json_formatDouble
//   4. The exact steps both sides rest on
//
// Reading rounds to nearest, ties to even, however many digits the text has
// (digits past the 800th only matter as a sticky non-zero tail). Writing
// gives the first of the correctly rounded 15, 16 and 17 significant digits
// that reads back (1 to 17 for subnormals): for every double but the exact
// powers of two, whose lower neighbour is the nearer, those are the shortest
// round-trip digits closest to the value (FloatPrint::shortest computes them
// in 128-bit arithmetic). The text has a point always, "0.0" for zero and
// an exponent only outside 1e-5 ... 1e17.
#pragma once

#include <cstdint>
#include <memory>

#include "Object.h"

namespace quorl {

class String;

// ---------------------------------------------------------------------------
// 1. JSONBig: unsigned integer of 32-bit limbs, least significant first. The
//    top limb in use is never 0; limbs past the count are 0.
class JSONBig : public Object {
 public:
  JSONBig() = default;

  Ref<String> description() const override;  // <_JSONBig>(count, capacity)
  const char* classNameC() const override { return "_JSONBig"; }

  uint32_t count() const { return count_; }
  uint32_t capacity() const { return capacity_; }

  void _ensure(uint32_t n);
  Ref<JSONBig> dup() const;
  void mulAdd(uint32_t m, uint32_t a);  // value = value x m + a
  void mulPow5(uint32_t k);
  void shl(uint32_t n);
  void shr1();
  uint32_t bitLength() const;
  int32_t cmp(const JSONBig& other) const;
  void sub(const JSONBig& other);  // requires value >= other
  uint32_t divSmall(uint32_t d);   // d != 0; answers the remainder
  uint32_t _limb(uint32_t i) const { return i < count_ ? limbs_[i] : 0; }
  uint64_t bitsFrom(uint32_t i) const;  // (value >> i) mod 2^64
  bool anyBelow(uint32_t i) const;      // value mod 2^i != 0
  Ref<String> toDecimal();              // leaves the value 0

 private:
  void trim();

  std::unique_ptr<uint32_t[]> limbs_;
  uint32_t count_ = 0;
  uint32_t capacity_ = 0;
};

// ---------------------------------------------------------------------------
// 2. Reading. `bytes` is a number the JSON reader accepted: optional '-',
//    digits, optional '.' and digits, optional 'e'/'E', sign and digits;
//    reading stops at the first byte that does not fit that shape.
double _json_parseDouble(const char* bytes, uint32_t length);

// An integer text (optional '-' and digits only) as the reader boxes it:
// below 2^63 as itself, negative down to -2^63, and [2^63, 2^64) as the same
// 64 bits (18446744073709551615 is -1). False when the text is not such an
// integer or needs a double (past 2^64 - 1, or a negative past -2^63).
bool _json_parseInt64(const char* bytes, uint32_t length, int64_t& value);

// ---------------------------------------------------------------------------
// 3. Writing, for finite values only. The float flag keeps 6 to 9 digits, as
//    many as a single-precision value needs; the JSON writer passes false.
void _json_appendDouble(Ptr<String> out, double value, bool floatFlag);
// The same text into `buffer` (at least kJsonDoubleMax bytes, no NUL);
// answers its length.
inline constexpr uint32_t kJsonDoubleMax = 32;
uint32_t _json_formatDouble(char* buffer, double value, bool floatFlag);

// ---------------------------------------------------------------------------
// 4. Exact steps.
uint32_t _json_bitlen64(uint64_t x);
// The double nearest to m x 2^e, where sticky says a non-zero remainder lies
// below m's last bit (the value is a little more than m x 2^e).
double _json_round(uint64_t m, int32_t e, bool sticky);
double _json_bigToDouble(JSONBig& big, int32_t e);                  // big x 2^e
double _json_toDouble(JSONBig& big, int32_t e, uint32_t digitCount);  // big x 10^e; consumes big
// R rounded to n >= 1 digits (ties to even), trailing zeros removed.
Ref<String> _json_roundDigits(Ptr<const String> digits, uint32_t n, int32_t point, int32_t& newPoint);
double _json_digitsToDouble(Ptr<const String> digits, int32_t point);  // 0.R x 10^point

}  // namespace quorl
