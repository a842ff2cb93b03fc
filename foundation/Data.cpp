// Data: storage and growth, hex text, and value equality, hash and order.
#include "Data.h"

#include <algorithm>
#include <cstring>

#include "String.h"

namespace quorl {

// Every Data holds a buffer, even of 0 bytes, so `_reserve` grows an empty
// one from 16 like any other.
Data::Data() : bytes_(std::make_unique_for_overwrite<uint8_t[]>(0)) {}

Data::Data(const void* bytes, uint32_t n)
    : bytes_(std::make_unique_for_overwrite<uint8_t[]>(n)), length_(n), capacity_(n) {
  if (n > 0) std::memcpy(bytes_.get(), bytes, n);
}

Ref<Data> Data::withBytes(const void* bytes, uint32_t n) { return make<Data>(bytes, n); }

Ref<Data> Data::withData(Ptr<const Data> other) {
  if (!other) return make<Data>();
  return make<Data>(other->bytes_.get(), other->length_);
}

void Data::_reserve(uint32_t n) {
  if (bytes_ && n <= capacity_) return;
  uint64_t c = capacity_ == 0 ? 16 : capacity_;
  while (c < n) c *= 2;
  uint32_t next = c > 0xFFFFFFFFu ? n : static_cast<uint32_t>(c);
  auto bytes = std::make_unique_for_overwrite<uint8_t[]>(next);
  if (length_ > 0) std::memcpy(bytes.get(), bytes_.get(), length_);
  bytes_ = std::move(bytes);
  capacity_ = next;
}

void Data::appendBytes(const void* bytes, uint32_t n) {
  if (n == 0 || n > 0xFFFFFFFFu - length_) return;
  // The source may lie inside this buffer, which growing would free.
  std::unique_ptr<uint8_t[]> keep;
  const uint8_t* from = static_cast<const uint8_t*>(bytes);
  if (length_ + n > capacity_ && from >= bytes_.get() && from < bytes_.get() + capacity_) {
    keep = std::make_unique_for_overwrite<uint8_t[]>(n);
    std::memcpy(keep.get(), from, n);
    from = keep.get();
  }
  _reserve(length_ + n);
  std::memmove(bytes_.get() + length_, from, n);
  length_ += n;
}

uint8_t Data::_hexDigit(uint8_t value) { return value < 10 ? '0' + value : 'a' + (value - 10); }

Ref<String> Data::hexString() const {
  Ref<String> s = make<String>();
  if (length_ == 0) return s;
  s->reserve(length_ > 0x7FFFFFFFu ? 0xFFFFFFFFu : length_ * 2);
  for (uint32_t i = 0; i < length_; ++i) {
    s->appendByte(_hexDigit(bytes_[i] >> 4));
    s->appendByte(_hexDigit(bytes_[i] & 0x0F));
  }
  return s;
}

Ref<String> Data::description() const {
  Ref<String> s = String::withCString("<Data ");
  Ref<String> digits = String::withU32(length_);
  s->append(digits);
  s->appendCString(": ");
  Ref<String> hex = hexString();
  s->append(hex);
  s->appendByte('>');
  return s;
}

bool Data::equals(const Data& other) const {
  return length_ == other.length_ && (length_ == 0 || std::memcmp(bytes_.get(), other.bytes_.get(), length_) == 0);
}

bool Data::equals(Ptr<const Object> other) const {
  const Data* data = dynamic_cast<const Data*>(other.get());
  return data && equals(*data);
}

uint32_t Data::hash() const { return String::_fnv1a(bytes_.get(), length_); }

int8_t Data::compare(const Data& other) const {
  uint32_t n = std::min(length_, other.length_);
  if (n > 0) {
    int c = std::memcmp(bytes_.get(), other.bytes_.get(), n);  // unsigned bytes
    if (c != 0) return c < 0 ? -1 : 1;
  }
  if (length_ == other.length_) return 0;
  return length_ < other.length_ ? -1 : 1;
}

int8_t Data::compare(Ptr<const Object> other) const {
  const Data* data = dynamic_cast<const Data*>(other.get());
  return data ? compare(*data) : 0;
}

}  // namespace quorl
