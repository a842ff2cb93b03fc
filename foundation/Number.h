// Number: the boxed 64-bit integer, double or boolean.
//
// A Number has an integer and a double view of its value. It stores the
// value of its kind and derives the other view from it (both conversions are
// exact functions of the stored value), which keeps a Number at 24 bytes: a
// parsed corpus holds millions. A Number never changes once made and may be
// shared freely: withI64 hands out shared instances for -128 ... 1023
// and withBool for true and false. Never compare Numbers by address.
//
// An integer read from a text in [2^63, 2^64) keeps the same 64 bits as its
// integer view (18446744073709551615 reads as -1, as every reader expects),
// and remembers that it was read above the signed range, so that whatever
// prints it (description, the JSON writer) gives the number that was read,
// and equals, compare and hash take it at that number: it is never -1.
//
// written() is what the JSON writer writes of a Number; whatever asks
// whether two parsed values would be written back the same asks it.
//
// View conversions:
//   integer -> double: nearest double, ties to even (beyond 2^53 low bits go);
//   double -> integer: truncation toward zero; NaN, and everything whose
//   truncation does not fit 64 signed bits, gives 0, except exactly -2^63.
#pragma once

#include <bit>
#include <cstdint>

#include "Object.h"

namespace quorl {

class String;

class Number : public Object {
 public:
  enum Kind : uint8_t { kInteger = 0, kDouble = 1 };

  // The integer 0. Use the factories below; they share small values.
  Number() = default;

  static Ref<Number> withI64(int64_t value);
  // An integer of the value's 64 bits; from 2^63 up one that is printed
  // unsigned (below that, withI64 of it).
  static Ref<Number> withU64(uint64_t value);
  static Ref<Number> withDouble(double value);
  static Ref<Number> withBool(bool value);

  // What the JSON writer writes of a Number, as a form and 64 bits: two
  // Numbers are written back as one text exactly when these are equal. So
  // true, 1 and 1.0 are three, 0.0 and -0.0 two, 18446744073709551615 and
  // -1 two. (NaN and the infinities have no text; their bits tell them.)
  struct Written {
    enum Form : uint8_t { kBoolean, kInteger, kUnsigned, kDouble };
    Form form = kInteger;
    uint64_t bits = 0;  // 0 or 1 for a boolean, else the value's 64 bits
    bool operator==(const Written&) const = default;
  };
  Written written() const {
    if (isBool_) return {Written::kBoolean, value_.integer != 0};
    if (kind_ == kDouble) return {Written::kDouble, std::bit_cast<uint64_t>(value_.dbl)};
    return {unsigned_ ? Written::kUnsigned : Written::kInteger, static_cast<uint64_t>(value_.integer)};
  }
  // The written form of a signed integer, as a packed array holds it.
  static Written writtenInteger(int64_t value) { return {Written::kInteger, static_cast<uint64_t>(value)}; }

  // Conversions of the views, as the Number uses them.
  static double doubleOf(int64_t value) { return static_cast<double>(value); }
  static int64_t integerOf(double value);

  Kind kind() const { return kind_; }
  bool isDouble() const { return kind_ == kDouble; }
  bool isInteger() const { return kind_ == kInteger; }
  bool isBool() const { return isBool_; }
  // An integer made by withU64 from 2^63 up: its integer view is the value
  // less 2^64, its text the value itself.
  bool isUnsigned() const { return unsigned_; }
  int64_t integerValue() const { return kind_ == kInteger ? value_.integer : integerOf(value_.dbl); }
  double doubleValue() const { return kind_ == kInteger ? doubleOf(value_.integer) : value_.dbl; }

  // Integer kind: the integer is not 0; double kind: the double is not +-0
  // (NaN counts as true).
  bool asBool() const;

  // "true"/"false" for a boolean, decimal for an integer (unsigned for one
  // read above the signed range), "%f" for a double.
  Ref<String> description() const override;
  const char* classNameC() const override { return "Number"; }

  // Same kind: integers exactly, doubles as doubles (NaN equals nothing,
  // 0.0 equals -0.0); mixed kinds: both double views. The boolean flag plays
  // no part: true equals 1 and 1.0. An integer read above the signed range
  // counts as the number read (2^64 - 1 is not -1; it equals the double
  // 2^64), here, in compare and in hash.
  bool equals(Ptr<const Object> other) const override;
  bool equals(const Number& other) const;

  bool hasCompare() const override { return true; }
  // 0 for null and for any object that is not a Number.
  int8_t compare(Ptr<const Object> other) const override;
  int8_t compare(const Number& other) const;

  // Equal Numbers hash equal, also an integer beyond 2^53 and the double it
  // rounds to: the hash is taken from the integer view of the double view.
  uint32_t hash() const override;

 private:
  static Ref<Number> makeInteger(int64_t value, bool isBool);
  // The double of the number as read: the double view, or for an integer
  // read above the signed range its unsigned value.
  double readDouble() const {
    return unsigned_ ? static_cast<double>(static_cast<uint64_t>(value_.integer)) : doubleValue();
  }

  Kind kind_ = kInteger;
  bool isBool_ = false;
  bool unsigned_ = false;
  union {
    int64_t integer = 0;
    double dbl;
  } value_;
};

}  // namespace quorl
