// Set and the other hash-slot collections.
//
// Sections:
//   1. Set: the insertion-ordered hash set, on Map's table scheme
//   2. Bag, BinaryHeap, Cache, _CacheEntry: declared collections of which
//      only the data, the descriptions, Bag's enumeration and the release
//      exist; nothing in the program fills one.
#pragma once

#include <cstdint>
#include <memory>

#include "Object.h"

namespace quorl {

class Array;
class Map;
class String;

// ---------------------------------------------------------------------------
// 1. Set. Members are hashed and compared with their own `hash` and
//    `equals`; adding an object equal to a member changes nothing (the first
//    one stays). There is no removal, so tombstones never arise, though the
//    lookup steps over them as Map's does.
class Set : public Object, public Copying, public Enumerable {
 public:
  Set() = default;  // no table until the first add
  Set(const Set&) = delete;
  Set& operator=(const Set&) = delete;
  ~Set() override = default;

  // The elements of the array in order, null elements skipped; an empty Set
  // for a null array.
  static Ref<Set> withArray(Ptr<const Array> array);

  void add(Ref<Object> object);  // a null object is ignored
  bool contains(Ptr<const Object> object) const;

  uint32_t count() const { return count_; }
  uint32_t enumLength() const override { return count_; }
  uint32_t capacity() const { return capacity_; }
  Ref<Object> enumAt(uint32_t i) const override;  // null past the end
  Ref<Array> allObjects() const;                   // in insertion order

  Ref<Set> copy() const;  // the same members, in the same order
  Ref<Object> copyObject() const override { return copy(); }
  Ref<String> description() const override;  // <Set>(count, capacity)
  const char* classNameC() const override { return "Set"; }

  // The table, as Map's.
  uint32_t _findSlot(Ptr<const Object> object) const;
  void _growTo(uint32_t n);
  void _resize(uint32_t newCapacity);
  const Ref<Object>& _readSlot(uint32_t slot) const { return slots_[slot].key; }

 private:
  struct Slot {
    Ref<Object> key;  // the member
    uint32_t hash = 0;
  };

  uint32_t _find(const Object* object, uint32_t h) const;

  PoolArray<Slot> slots_;
  PoolArray<uint32_t> order_;
  uint32_t count_ = 0;
  uint32_t capacity_ = 0;
};

// ---------------------------------------------------------------------------
// 2. The declared collections.

// Distinct members with a count each, in insertion order.
class Bag : public Object, public Enumerable {
 public:
  // The member in the slot order[i], when i read as signed lies in
  // [0, count); otherwise null.
  Ref<Object> memberAt(uint32_t i) const;
  uint32_t enumLength() const override { return count_; }
  Ref<Object> enumAt(uint32_t i) const override { return memberAt(i); }
  Ref<String> description() const override;  // <Bag>(count, capacity, counter)
  const char* classNameC() const override { return "Bag"; }

 private:
  PoolArray<Ref<Object>> slots_;
  PoolArray<uint32_t> counts_;
  PoolArray<uint32_t> order_;
  uint32_t count_ = 0;
  uint32_t capacity_ = 0;
  int32_t counter_ = 0;
};

class BinaryHeap : public Object {
 public:
  Ref<String> description() const override;  // <BinaryHeap>(count, capacity)
  const char* classNameC() const override { return "BinaryHeap"; }

 private:
  PoolArray<Ref<Object>> items_;
  Ref<Object> ordering_;
  uint32_t count_ = 0;
  uint32_t capacity_ = 0;
};

// One entry of a Cache's list: strong forward, weak backward.
class _CacheEntry : public Object {
 public:
  const char* classNameC() const override { return "_CacheEntry"; }

  Ref<Object> key;
  Ref<Object> value;
  Weak<_CacheEntry> previous;
  Ref<_CacheEntry> next;
};

class Cache : public Object {
 public:
  Cache() = default;
  Cache(const Cache&) = delete;
  Cache& operator=(const Cache&) = delete;
  // Unlinks the list from its tail one entry at a time, so a long list is
  // released without a recursion per entry.
  ~Cache() override;

  Ref<String> description() const override;  // <Cache>(limit), signed
  const char* classNameC() const override { return "Cache"; }

  Ref<Map> table;
  Ref<_CacheEntry> head;
  Ref<_CacheEntry> tail;
  int32_t limit = 0;
};

}  // namespace quorl
