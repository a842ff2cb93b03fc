// CharacterSet, and the String operations that take or make one.
#include "CharacterSet.h"

#include <cstring>

#include "String.h"

namespace quorl {

void CharacterSet::addRange(uint8_t first, uint8_t last) {
  if (first > last) return;
  // Counting in a wider type lets a range that ends at 255 stop there.
  for (uint32_t b = first; b <= last; b++) add(static_cast<uint8_t>(b));
}

void CharacterSet::addCString(const char* text) {
  if (!text) return;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; p++) add(*p);
}

Ref<CharacterSet> CharacterSet::inverted() const {
  Ref<CharacterSet> out = make<CharacterSet>();
  for (int k = 0; k < 32; k++) out->bits_[k] = static_cast<uint8_t>(~bits_[k]);
  return out;
}

// The 32 bytes combine as four 64-bit words.
void CharacterSet::formUnion(Ptr<const CharacterSet> other) {
  if (!other) return;
  uint64_t a[4], b[4];
  std::memcpy(a, bits_, 32);
  std::memcpy(b, other->bits_, 32);
  for (int k = 0; k < 4; k++) a[k] |= b[k];
  std::memcpy(bits_, a, 32);
}

void CharacterSet::formIntersection(Ptr<const CharacterSet> other) {
  if (!other) return;
  uint64_t a[4], b[4];
  std::memcpy(a, bits_, 32);
  std::memcpy(b, other->bits_, 32);
  for (int k = 0; k < 4; k++) a[k] &= b[k];
  std::memcpy(bits_, a, 32);
}

bool CharacterSet::isEmpty() const {
  uint64_t a[4];
  std::memcpy(a, bits_, 32);
  return (a[0] | a[1] | a[2] | a[3]) == 0;
}

// ---------------------------------------------------------------------------
// String operations on sets.

uint32_t String::byteIndexOfSet(Ptr<const CharacterSet> set) const {
  if (!set) return kNotFound;
  const uint8_t* b = bytes_.get();
  for (uint32_t i = 0; i < length_; i++)
    if (set->contains(b[i])) return i;
  return kNotFound;
}

uint32_t String::lastByteIndexOfSet(Ptr<const CharacterSet> set) const {
  if (!set) return kNotFound;
  const uint8_t* b = bytes_.get();
  for (uint32_t i = length_; i-- > 0;)
    if (set->contains(b[i])) return i;
  return kNotFound;
}

Ref<String> String::trimmed(Ptr<const CharacterSet> set) const {
  if (!set) return withString(this);
  const uint8_t* b = bytes_.get();
  uint32_t start = 0, end = length_;
  while (start < end && set->contains(b[start])) start++;
  while (end > start && set->contains(b[end - 1])) end--;
  return substringBytes(start, end - start);
}

Ref<CharacterSet> String::asCharacterSet() const {
  Ref<CharacterSet> set = make<CharacterSet>();
  set->addCString(cString());  // stops at the first 0 byte
  return set;
}

}  // namespace quorl
