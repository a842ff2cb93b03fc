// Map over the shared open-addressing table of HashSlots.h, whose tombstone
// marker lives here.
//
// Sections, numbered as in Map.h, in this order:
//   the tombstone
//   4. the table: lookup, creation, growth, slot writes
//   1. entries: set, get, remove
//   2. size and enumeration
//   3. copy and description
#include "Map.h"

#include <cstring>
#include <utility>

#include "Array.h"
#include "HashSlots.h"
#include "String.h"

namespace quorl {

namespace hashslots {

const Ref<Object>& tombstone() {
  // Never destroyed, so tables torn down by static destructors still see it.
  struct Forever {
    Forever() : marker() {
      marker.makeImmortal();
      ::new (&ref) Ref<Object>(Ref<Object>::adopt(&marker));
    }
    ~Forever() {}
    union {
      Object marker;
    };
    union {
      Ref<Object> ref;
    };
  };
  static Forever shared;
  return shared.ref;
}

}  // namespace hashslots

const Ref<Object>& Map::_tombstone() { return hashslots::tombstone(); }

// -- 4. The table ---------------------------------------------------------------

uint32_t Map::_find(const Object* key, uint32_t h) const {
  // The searched key is the receiver of `equals`, the stored key its argument.
  return hashslots::probe(slots_.get(), capacity_, h,
                          [key](const Ref<Object>& stored) { return key->equals(stored); });
}

uint32_t Map::_findSlot(Ptr<const Object> key) const {
  if (capacity_ == 0 || !key) return kNotFound;
  return _find(key.get(), key->hash());
}

uint32_t Map::_findString(std::string_view key) const {
  if (capacity_ == 0) return kNotFound;
  return hashslots::probe(slots_.get(), capacity_, String::_fnv1a(key.data(), uint32_t(key.size())), [key](const Ref<Object>& stored) {
    const String* s = dynamic_cast<const String*>(stored.get());
    return s && s->byteLength() == key.size() &&
           (key.empty() || std::memcmp(s->_bytesAt(0), key.data(), key.size()) == 0);
  });
}

void Map::_growTo(uint32_t n) { hashslots::createTable(slots_, order_, capacity_, n); }

void Map::_resize(uint32_t newCapacity) { hashslots::rehash(slots_, order_, count_, capacity_, newCapacity); }

void Map::_writeKey(uint32_t slot, Ref<Object> key) {
  Slot& s = slots_[slot];
  s.hash = key && key.get() != _tombstone().get() ? key->hash() : 0;
  s.key = std::move(key);
}

// -- 1. Entries -------------------------------------------------------------------

void Map::set(Ref<Object> key, Ref<Object> value) {
  if (!key) return;
  if (capacity_ == 0) _growTo(16);
  // Before the lookup, so a full table doubles even when the key is present.
  if ((count_ + 1) * 4 > capacity_ * 3) _resize(capacity_ * 2);
  uint32_t h = key->hash();
  uint32_t s = _find(key.get(), h);
  if (s == kNotFound) return;
  Slot& slot = slots_[s];
  if (hashslots::isLive(slot)) {
    // The new key and value are in place before the old ones are released,
    // so setting an entry to the objects it already holds keeps them alive.
    Ref<Object> oldKey = std::exchange(slot.key, std::move(key));
    Ref<Object> oldValue = std::exchange(slot.value, std::move(value));
    slot.hash = h;
    return;
  }
  slot.key = std::move(key);
  slot.value = std::move(value);
  slot.hash = h;
  order_[count_++] = s;
}

void Map::set(const char* key, Ref<Object> value) {
  if (key) set(String::withCString(key), std::move(value));
}

Ref<Object> Map::get(Ptr<const Object> key) const {
  uint32_t s = _findSlot(key);
  if (s == kNotFound || !hashslots::isLive(slots_[s])) return nullptr;
  return slots_[s].value;
}

Ref<Object> Map::get(std::string_view key) const {
  uint32_t s = _findString(key);
  if (s == kNotFound || !hashslots::isLive(slots_[s])) return nullptr;
  return slots_[s].value;
}

Ref<Object> Map::getOrDefault(Ptr<const Object> key, Ref<Object> fallback) const {
  uint32_t s = _findSlot(key);
  if (s == kNotFound || !hashslots::isLive(slots_[s])) return fallback;
  return slots_[s].value;
}

bool Map::containsKey(Ptr<const Object> key) const {
  uint32_t s = _findSlot(key);
  return s != kNotFound && hashslots::isLive(slots_[s]);
}

bool Map::contains(Ptr<const Object> key) const { return get(key) != nullptr; }

void Map::remove(Ptr<const Object> key) {
  if (count_ == 0) return;
  uint32_t s = _findSlot(key);
  if (s == kNotFound || !hashslots::isLive(slots_[s])) return;
  Slot& slot = slots_[s];
  // Released only once the table is consistent again.
  Ref<Object> oldKey = std::exchange(slot.key, _tombstone());
  Ref<Object> oldValue = std::move(slot.value);
  slot.value.reset();
  slot.hash = 0;
  uint32_t* order = order_.get();
  uint32_t i = 0;
  while (i < count_ && order[i] != s) ++i;
  if (i < count_) std::memmove(order + i, order + i + 1, (count_ - i - 1) * sizeof(uint32_t));
  --count_;
}

void Map::removeAll() {
  if (capacity_ == 0) return;
  uint32_t n = count_;
  count_ = 0;
  for (uint32_t i = 0; i < n; ++i) {
    Slot& slot = slots_[order_[i]];
    Ref<Object> oldKey = std::move(slot.key);
    Ref<Object> oldValue = std::move(slot.value);
    slot.key.reset();
    slot.value.reset();
    slot.hash = 0;
  }
}

// -- 2. Size and enumeration ------------------------------------------------------

Ref<Object> Map::enumAt(uint32_t i) const { return i < count_ ? slots_[order_[i]].key : nullptr; }

Ref<Object> Map::valueAt(uint32_t i) const { return i < count_ ? slots_[order_[i]].value : nullptr; }

Ref<Array> Map::allKeys() const {
  Ref<Array> a = Array::withCapacity(count_);
  for (uint32_t i = 0; i < count_; ++i) a->add(slots_[order_[i]].key);
  return a;
}

Ref<Array> Map::allValues() const {
  Ref<Array> a = Array::withCapacity(count_);
  for (uint32_t i = 0; i < count_; ++i) a->add(slots_[order_[i]].value);
  return a;
}

// -- 3. Copy and description --------------------------------------------------------

Ref<Map> Map::copy() const {
  Ref<Map> m = make<Map>();
  m->_growTo(count_);
  // Key by key through `set` and `get`, as the copy has always been made:
  // the copy's capacity follows from its own insertions.
  Ref<Array> keys = allKeys();
  for (const Ref<Object>& key : *keys) m->set(key, get(key));
  return m;
}

Ref<String> Map::description() const {
  const uint16_t values[2] = {static_cast<uint16_t>(count_), static_cast<uint16_t>(capacity_)};
  return String::_classDescribe("Map", values, 2, 0);
}

}  // namespace quorl
