// Map: the insertion-ordered hash map from object keys to object values.
//
// Sections:
//   1. entries: set, get, remove
//   2. size and enumeration in insertion order
//   3. copy and description
//   4. the table itself (HashSlots.h): open addressing, linear probing
//
// Keys are hashed and compared with their own `hash` and `equals`: Strings
// and Numbers by value, other objects by identity. A key is never null. The
// table is made by the first `set` (16 slots), doubles before an insertion
// would fill more than three quarters of it, and never shrinks; a removed
// entry leaves a tombstone that a later `set` on its probe path reuses.
//
// Most maps are small (a parsed object has a dozen members), so a map that
// holds at most kCompactMost entries and has never lost one keeps them
// compact instead: its values in insertion order, and its keys with their
// hashes in a block of their own, searched from the front. Maps with the same
// keys in the same order may share that block (the JSON reader shares it
// between the objects of a document that have the same members, as the run
// objects of a corpus do); a map copies it before changing a shared one. It behaves exactly as its
// 16-slot table would (`capacity` says 16), and becomes that table, built as
// the same sets would have built it, at its thirteenth entry, at the first
// removal, or when its slots are asked for (section 4).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "Object.h"

namespace quorl {

class Array;
class String;

class Map : public Object, public Copying, public Enumerable {
 public:
  Map() = default;  // no table until the first set
  Map(const Map&) = delete;
  Map& operator=(const Map&) = delete;
  ~Map() override;

  // -- 1. Entries -------------------------------------------------------------
  // Inserts, or replaces both the stored key and the value of an equal key,
  // which keeps its place in the order. A null key is ignored.
  void set(Ref<Object> key, Ref<Object> value);
  // A String key made from the bytes up to the NUL.
  void set(const char* key, Ref<Object> value);
  Ref<Object> get(Ptr<const Object> key) const;  // null when absent
  // As `get` with a String key holding these bytes, without making one.
  Ref<Object> get(std::string_view key) const;
  Ref<Object> get(const char* key) const { return key ? get(std::string_view(key)) : nullptr; }
  Ref<Object> getOrDefault(Ptr<const Object> key, Ref<Object> fallback) const;
  bool containsKey(Ptr<const Object> key) const;  // an equal key is live
  bool contains(Ptr<const Object> key) const;     // its value is not null
  void remove(Ptr<const Object> key);
  void removeAll();  // keeps the table and its tombstones

  // -- 2. Size and enumeration in insertion order ---------------------------
  uint32_t count() const { return count_; }
  uint32_t enumLength() const override { return count_; }
  bool isEmpty() const { return count_ == 0; }
  uint32_t capacity() const { return capacity_; }
  Ref<Object> enumAt(uint32_t i) const override;  // the i-th key; null past the end
  Ref<Object> valueAt(uint32_t i) const;          // the i-th value; null past the end
  Ref<Array> allKeys() const;
  Ref<Array> allValues() const;

  // -- 3. Copy and description --------------------------------------------------
  // A shallow copy: the same key and value objects, the same order, no
  // tombstones.
  Ref<Map> copy() const;
  Ref<Object> copyObject() const override { return copy(); }
  Ref<String> description() const override;  // <Map>(count, capacity)
  const char* classNameC() const override { return "Map"; }

  // -- 4. The table, for the foundation's own code ------------------------------
  // Everything here that names a slot first turns compact entries into the
  // table (not thread-safe, even through const: the table is made then).
  //
  // The slot of an equal key, else the slot where it would go; kNotFound
  // without a table.
  uint32_t _findSlot(Ptr<const Object> key) const;
  void _growTo(uint32_t n);                // only without a table
  void _resize(uint32_t newCapacity);      // a power of two above count
  // Slot access without bounds tests. A tombstone reads as
  // `_tombstone()`, an empty slot as null.
  const Ref<Object>& _readKey(uint32_t slot) const { return _table()[slot].key; }
  const Ref<Object>& _readVal(uint32_t slot) const { return _table()[slot].value; }
  void _writeKey(uint32_t slot, Ref<Object> key);
  void _writeVal(uint32_t slot, Ref<Object> value) { _table()[slot].value = std::move(value); }
  static const Ref<Object>& _tombstone();
  // The slot holding the i-th entry in insertion order (i < count).
  uint32_t _orderAt(uint32_t i) const {
    _table();
    return store_.order[i];
  }

  // Entries in insertion order, compact or not, without bounds tests
  // (i < count); these never make the table.
  const Ref<Object>& _keyAt(uint32_t i) const {
    return slots_ ? slots_[store_.order[i]].key : store_.compact.keys->at(i);
  }
  const Ref<Object>& _valueAt(uint32_t i) const {
    return slots_ ? slots_[store_.order[i]].value : store_.compact.values[i];
  }
  // The memory holding the entries (for prefetching): the compact buffer,
  // else the table's slots. Null and 0 when there is neither.
  const void* _entryBytes(size_t& bytes) const;
  // A new map with room for n entries (as `make<Map>()` above
  // kCompactMost), for readers that know the size before the first set.
  static Ref<Map> _withRoom(uint32_t n);
  bool _isCompact() const { return !slots_; }
  static constexpr uint32_t kCompactMost = 12;  // what 16 slots hold

  // The keys block of a compact map, for a reader that makes many maps with
  // the same members: `_shareKeys` answers it with one more holder (null
  // when the map is not compact or empty), `_keysAre` tells whether it holds
  // exactly these n keys (the even entries of `pairs`, the same objects),
  // and `_withKeys` makes a map of those keys and the n values (the odd
  // entries, moved out). The holder gives its count back with `_dropKeys`.
  struct alignas(8) Keys {
    std::atomic<uint32_t> holders{1};
    uint32_t room = 0;   // keys that fit
    uint32_t count = 0;  // keys made, the first ones
    Ref<Object>& at(uint32_t i) { return reinterpret_cast<Ref<Object>*>(this + 1)[i]; }
    uint32_t* hashes() { return reinterpret_cast<uint32_t*>(&at(room)); }
    static size_t bytesFor(uint32_t room) { return sizeof(Keys) + size_t(room) * (sizeof(Ref<Object>) + sizeof(uint32_t)); }
  };
  Keys* _shareKeys() const;
  static void _dropKeys(Keys* keys);
  static bool _keysAre(const Keys* keys, const Ref<Object>* pairs, uint32_t n);
  static Ref<Map> _withKeys(Keys* keys, Ref<Object>* pairs, uint32_t n);

 private:
  struct Slot {
    Ref<Object> key;
    Ref<Object> value;
    uint32_t hash = 0;
  };
  // The values, `room` of them with the first `count_` made, and the keys.
  struct Compact {
    Keys* keys = nullptr;
    Ref<Object>* values = nullptr;
    uint32_t room = 0;
  };
  // Which member is live follows `slots_`: the order with a table, the
  // compact entries without one.
  union Store {
    Store() : compact() {}
    ~Store() {}
    Compact compact;
    PoolArray<uint32_t> order;
  };

  uint32_t _findString(std::string_view key) const;
  uint32_t _find(const Object* key, uint32_t h) const;
  void _ownKeys(uint32_t room);  // keys of this map alone, room for `room`
  uint32_t _compactFind(const Object* key, uint32_t h) const;
  uint32_t _compactFindString(std::string_view key) const;
  const Ref<Object>* _valueOf(const Object* key) const;  // null when absent
  void _reserve(uint32_t room);
  void _append(Ref<Object> key, Ref<Object> value, uint32_t h);
  void _releaseCompact() const;
  // The table, made first from compact entries (a fresh map stays without).
  Slot* _table() const {
    if (!slots_ && capacity_) _makeTable();
    return slots_.get();
  }
  void _makeTable() const;
  void _becomeTable();  // compact to table mode, with or without entries

  mutable PoolArray<Slot> slots_;
  mutable Store store_;
  uint32_t count_ = 0;
  uint32_t capacity_ = 0;
};

}  // namespace quorl
