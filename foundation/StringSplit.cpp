// String: the splitting operations, whose results are Arrays.
#include "Array.h"
#include "CharacterSet.h"
#include "String.h"

namespace quorl {

Ref<Array> String::splitOnByte(uint8_t separator) const {
  Ref<Array> out = make<Array>();
  const uint8_t* b = bytes_.get();
  uint32_t start = 0;
  for (uint32_t i = 0; i < length_; i++) {
    if (b[i] != separator) continue;
    out->add(substringBytes(start, i - start));
    start = i + 1;
  }
  out->add(substringBytes(start, length_ - start));  // the last field, possibly empty
  return out;
}

Ref<Array> String::splitOnSet(Ptr<const CharacterSet> set) const {
  Ref<Array> out = make<Array>();
  if (!set) {
    out->add(withString(this));
    return out;
  }
  const uint8_t* b = bytes_.get();
  uint32_t start = 0;
  for (uint32_t i = 0; i < length_; i++) {
    if (!set->contains(b[i])) continue;
    out->add(substringBytes(start, i - start));
    start = i + 1;
  }
  out->add(substringBytes(start, length_ - start));
  return out;
}

}  // namespace quorl
