// CharacterSet: a set of byte values (not Unicode characters: a multi-byte
// UTF-8 character is several separate members). Used by the String
// operations that trim, split or search by a set of bytes.
#pragma once

#include <cstdint>

#include "Object.h"

namespace quorl {

// Equality, hash and description are Object's: two sets are equal only when
// they are the same object.
class CharacterSet : public Object {
 public:
  CharacterSet() = default;  // empty

  bool contains(uint8_t b) const { return (bits_[b >> 3] >> (b & 7)) & 1u; }
  // The one way members get in: addRange and addCString go through it, one
  // value at a time, so a subclass that changes it sees every value.
  virtual void add(uint8_t b) { bits_[b >> 3] = static_cast<uint8_t>(bits_[b >> 3] | (1u << (b & 7))); }
  void remove(uint8_t b) { bits_[b >> 3] = static_cast<uint8_t>(bits_[b >> 3] & ~(1u << (b & 7))); }
  void addRange(uint8_t first, uint8_t last);  // inclusive; nothing when first > last
  void addCString(const char* text);           // up to the NUL; nothing for null
  Ref<CharacterSet> inverted() const;
  void formUnion(Ptr<const CharacterSet> other);
  void formIntersection(Ptr<const CharacterSet> other);
  bool isEmpty() const;

  const char* classNameC() const override { return "CharacterSet"; }

 private:
  uint8_t bits_[32] = {};  // b is a member when bit (b & 7) of byte (b >> 3) is set
};

}  // namespace quorl
