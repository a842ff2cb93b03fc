// Data: a growable byte buffer with value equality, hashing and ordering.
#pragma once

#include <cstdint>
#include <memory>

#include "Object.h"

namespace quorl {

class String;

class Data : public Object, public Copying {
 public:
  // An empty buffer: no bytes, capacity 0.
  Data();
  Data(const void* bytes, uint32_t n);  // a copy of n bytes; capacity n
  Data(const Data&) = delete;
  Data& operator=(const Data&) = delete;
  ~Data() override = default;

  static Ref<Data> withBytes(const void* bytes, uint32_t n);
  static Ref<Data> withData(Ptr<const Data> other);  // null gives an empty Data
  Ref<Data> copy() const { return withData(this); }
  Ref<Object> copyObject() const override { return copy(); }

  uint32_t length() const { return length_; }
  uint32_t capacity() const { return capacity_; }
  const uint8_t* bytes() const { return bytes_.get(); }
  uint8_t* mutableBytes() { return bytes_.get(); }

  // Makes room for n bytes in all: from the capacity (16 when 0), doubling;
  // exactly n when doubling would pass 32 bits.
  void _reserve(uint32_t n);
  // Appends n bytes. An append that would take the length past 32 bits is
  // refused whole: the buffer cannot hold it.
  void appendBytes(const void* bytes, uint32_t n);

  Ref<String> hexString() const;             // lower case, high nibble first
  static uint8_t _hexDigit(uint8_t value);   // value 0-15

  Ref<String> description() const override;  // <Data length: hex>
  bool equals(Ptr<const Object> other) const override;
  bool equals(const Data& other) const;
  uint32_t hash() const override;            // FNV-1a over the bytes
  bool hasCompare() const override { return true; }
  int8_t compare(Ptr<const Object> other) const override;  // 0 for a non-Data
  int8_t compare(const Data& other) const;
  const char* classNameC() const override { return "Data"; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  uint32_t length_ = 0;
  uint32_t capacity_ = 0;
};

}  // namespace quorl
