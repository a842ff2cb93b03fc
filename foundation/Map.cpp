// Map over the shared open-addressing table of HashSlots.h, whose tombstone
// marker lives here.
//
// Sections, numbered as in Map.h, in this order:
//   the tombstone
//   4. the table: lookup, creation from compact entries, growth, slot writes;
//      the compact entries
//   1. entries: set, get, remove
//   2. size and enumeration
//   3. copy and description
#include "Map.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "Array.h"
#include "HashSlots.h"
#include "Pool.h"
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

Map::~Map() {
  if (slots_)
    store_.order.~PoolArray();
  else
    _releaseCompact();
}

// -- 4. The table ---------------------------------------------------------------

uint32_t Map::_find(const Object* key, uint32_t h) const {
  // The searched key is the receiver of `equals`, the stored key its argument.
  return hashslots::probe(slots_.get(), capacity_, h,
                          [key](const Ref<Object>& stored) { return key->equals(stored); });
}

uint32_t Map::_findSlot(Ptr<const Object> key) const {
  if (capacity_ == 0 || !key) return kNotFound;
  _table();
  return _find(key.get(), key->hash());
}

namespace {

bool holdsBytes(const Object* stored, std::string_view key) {
  const String* s = dynamic_cast<const String*>(stored);
  return s && s->byteLength() == key.size() &&
         (key.empty() || std::memcmp(s->_bytesAt(0), key.data(), key.size()) == 0);
}

}  // namespace

uint32_t Map::_findString(std::string_view key) const {
  if (capacity_ == 0) return kNotFound;
  return hashslots::probe(slots_.get(), capacity_, String::_fnv1a(key.data(), uint32_t(key.size())),
                          [key](const Ref<Object>& stored) { return holdsBytes(stored.get(), key); });
}

void Map::_makeTable() const {
  // Each entry, in order, to the first empty slot of its probe path: where
  // `set` put it, as no two keys are equal and nothing was ever removed.
  auto slots = PoolArray<Slot>::make(16);
  auto order = PoolArray<uint32_t>::make(16);
  Keys* keys = store_.compact.keys;
  Ref<Object>* values = store_.compact.values;
  for (uint32_t i = 0; i < count_; ++i) {
    const uint32_t h = keys->hashes()[i];
    uint32_t s = h & 15;
    while (slots[s].key) s = (s + 1) & 15;
    slots[s].key = keys->at(i);  // shared keys stay with their other maps
    slots[s].value = std::move(values[i]);
    slots[s].hash = h;
    order[i] = s;
  }
  _releaseCompact();
  ::new (&store_.order) PoolArray<uint32_t>(std::move(order));
  slots_ = std::move(slots);
}

void Map::_becomeTable() {
  if (slots_) return;
  if (capacity_) {
    _makeTable();
    return;
  }
  _releaseCompact();
  ::new (&store_.order) PoolArray<uint32_t>();
}

void Map::_growTo(uint32_t n) {
  if (!slots_) {
    if (capacity_) {
      _makeTable();  // a table already, as far as anyone can tell
      return;
    }
    _becomeTable();
  }
  hashslots::createTable(slots_, store_.order, capacity_, n);
}

void Map::_resize(uint32_t newCapacity) {
  if (!slots_) {
    // A fresh map refusing the capacity stays compact: no table to keep.
    if (capacity_ == 0 && (newCapacity <= count_ || (newCapacity & (newCapacity - 1)) != 0)) return;
    _becomeTable();
  }
  hashslots::rehash(slots_, store_.order, count_, capacity_, newCapacity);
}

void Map::_writeKey(uint32_t slot, Ref<Object> key) {
  Slot& s = _table()[slot];
  s.hash = key && key.get() != _tombstone().get() ? key->hash() : 0;
  s.key = std::move(key);
}

// -- Compact entries ----------------------------------------------------------------

namespace {

Map::Keys* makeKeys(uint32_t room) {
  void* block = pool::allocateBuffer(Map::Keys::bytesFor(room));
  if (!block) throw std::bad_alloc();
  auto* keys = ::new (block) Map::Keys();
  keys->room = room;
  return keys;
}

}  // namespace

void Map::_dropKeys(Keys* keys) {
  if (!keys || keys->holders.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  for (uint32_t i = 0; i < keys->count; ++i) keys->at(i).~Ref();
  const uint32_t room = keys->room;
  keys->~Keys();
  pool::releaseBuffer(keys, Keys::bytesFor(room));
}

Map::Keys* Map::_shareKeys() const {
  Keys* keys = slots_ || count_ == 0 ? nullptr : store_.compact.keys;
  if (keys) keys->holders.fetch_add(1, std::memory_order_relaxed);
  return keys;
}

bool Map::_keysAre(const Keys* keys, const Ref<Object>* pairs, uint32_t n) {
  if (!keys || keys->count != n) return false;
  auto* held = const_cast<Keys*>(keys);
  for (uint32_t i = 0; i < n; ++i)
    if (held->at(i).get() != pairs[2 * i].get()) return false;
  return true;
}

Ref<Map> Map::_withKeys(Keys* keys, Ref<Object>* pairs, uint32_t n) {
  Ref<Map> m = make<Map>();
  Compact& c = m->store_.compact;
  c.values = static_cast<Ref<Object>*>(pool::allocateBuffer(size_t(n) * sizeof(Ref<Object>)));
  if (!c.values) throw std::bad_alloc();
  c.room = n;
  for (uint32_t i = 0; i < n; ++i) ::new (c.values + i) Ref<Object>(std::move(pairs[2 * i + 1]));
  keys->holders.fetch_add(1, std::memory_order_relaxed);
  c.keys = keys;
  m->count_ = n;
  m->capacity_ = 16;
  return m;
}

void Map::_ownKeys(uint32_t room) {
  Compact& c = store_.compact;
  Keys* old = c.keys;
  if (old && old->room >= room && old->holders.load(std::memory_order_acquire) == 1) return;
  Keys* keys = makeKeys(std::max(room, old ? old->room : 0));
  for (uint32_t i = 0; i < count_; ++i) {
    ::new (&keys->at(i)) Ref<Object>(old->at(i));
    keys->hashes()[i] = old->hashes()[i];
  }
  keys->count = count_;
  c.keys = keys;
  _dropKeys(old);
}

uint32_t Map::_compactFind(const Object* key, uint32_t h) const {
  if (count_ == 0) return kNotFound;
  Keys* keys = store_.compact.keys;
  const uint32_t* hashes = keys->hashes();
  for (uint32_t i = 0; i < count_; ++i)
    if (hashes[i] == h && key->equals(keys->at(i))) return i;
  return kNotFound;
}

uint32_t Map::_compactFindString(std::string_view key) const {
  if (count_ == 0) return kNotFound;
  Keys* keys = store_.compact.keys;
  const uint32_t* hashes = keys->hashes();
  const uint32_t h = String::_fnv1a(key.data(), uint32_t(key.size()));
  for (uint32_t i = 0; i < count_; ++i)
    if (hashes[i] == h && holdsBytes(keys->at(i).get(), key)) return i;
  return kNotFound;
}

void Map::_reserve(uint32_t room) {
  Compact& c = store_.compact;
  if (room <= c.room) return;
  auto* values = static_cast<Ref<Object>*>(pool::allocateBuffer(size_t(room) * sizeof(Ref<Object>)));
  if (!values) throw std::bad_alloc();
  for (uint32_t i = 0; i < count_; ++i) {
    ::new (values + i) Ref<Object>(std::move(c.values[i]));
    c.values[i].~Ref();
  }
  if (c.values) pool::releaseBuffer(c.values, size_t(c.room) * sizeof(Ref<Object>));
  c.values = values;
  c.room = room;
}

void Map::_append(Ref<Object> key, Ref<Object> value, uint32_t h) {
  Compact& c = store_.compact;
  if (count_ == c.room) _reserve(c.room ? std::min(2 * c.room, kCompactMost) : 4);
  _ownKeys(c.room);
  ::new (&c.keys->at(count_)) Ref<Object>(std::move(key));
  c.keys->hashes()[count_] = h;
  c.keys->count = count_ + 1;
  ::new (c.values + count_) Ref<Object>(std::move(value));
  ++count_;
  capacity_ = 16;
}

void Map::_releaseCompact() const {
  Compact& c = store_.compact;
  // Emptied before the entries go, whose destructors may reach this map.
  Ref<Object>* values = std::exchange(c.values, nullptr);
  const uint32_t room = std::exchange(c.room, 0);
  Keys* keys = std::exchange(c.keys, nullptr);
  if (values) {
    for (uint32_t i = 0; i < count_; ++i) values[i].~Ref();
    pool::releaseBuffer(values, size_t(room) * sizeof(Ref<Object>));
  }
  _dropKeys(keys);
}

const void* Map::_entryBytes(size_t& bytes) const {
  if (slots_) {
    bytes = size_t(capacity_) * sizeof(Slot);
    return slots_.get();
  }
  bytes = size_t(count_) * sizeof(Ref<Object>);
  return bytes ? store_.compact.values : nullptr;
}

Ref<Map> Map::_withRoom(uint32_t n) {
  Ref<Map> m = make<Map>();
  if (n <= kCompactMost) m->_reserve(n);
  return m;
}

// -- 1. Entries -------------------------------------------------------------------

void Map::set(Ref<Object> key, Ref<Object> value) {
  if (!key) return;
  if (!slots_) {
    if (count_ < kCompactMost) {
      const uint32_t h = key->hash();
      const uint32_t i = _compactFind(key.get(), h);
      if (i == kNotFound) {
        _append(std::move(key), std::move(value), h);
        return;
      }
      // As in a slot below: the new objects are in before the old ones go.
      Ref<Object> oldKey;
      if (store_.compact.keys->at(i).get() != key.get()) {
        _ownKeys(store_.compact.keys->room);
        oldKey = std::exchange(store_.compact.keys->at(i), std::move(key));
      }
      Ref<Object> oldValue = std::exchange(store_.compact.values[i], std::move(value));
      return;
    }
    _makeTable();  // the thirteenth set, which doubles the table below
  }
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
  store_.order[count_++] = s;
}

void Map::set(const char* key, Ref<Object> value) {
  if (key) set(String::withCString(key), std::move(value));
}

const Ref<Object>* Map::_valueOf(const Object* key) const {
  if (!key || capacity_ == 0) return nullptr;
  if (!slots_) {
    const uint32_t i = _compactFind(key, key->hash());
    return i == kNotFound ? nullptr : &store_.compact.values[i];
  }
  const uint32_t s = _find(key, key->hash());
  return s == kNotFound || !hashslots::isLive(slots_[s]) ? nullptr : &slots_[s].value;
}

Ref<Object> Map::get(Ptr<const Object> key) const {
  const Ref<Object>* value = _valueOf(key.get());
  return value ? *value : nullptr;
}

Ref<Object> Map::get(std::string_view key) const {
  if (!slots_) {
    if (capacity_ == 0) return nullptr;
    const uint32_t i = _compactFindString(key);
    return i == kNotFound ? nullptr : store_.compact.values[i];
  }
  uint32_t s = _findString(key);
  if (s == kNotFound || !hashslots::isLive(slots_[s])) return nullptr;
  return slots_[s].value;
}

Ref<Object> Map::getOrDefault(Ptr<const Object> key, Ref<Object> fallback) const {
  const Ref<Object>* value = _valueOf(key.get());
  return value ? *value : fallback;
}

bool Map::containsKey(Ptr<const Object> key) const { return _valueOf(key.get()) != nullptr; }

bool Map::contains(Ptr<const Object> key) const { return get(key) != nullptr; }

void Map::remove(Ptr<const Object> key) {
  if (count_ == 0) return;
  if (!slots_) {
    // A removal leaves a tombstone, which only the table can hold.
    if (!key || _compactFind(key.get(), key->hash()) == kNotFound) return;
    _makeTable();
  }
  uint32_t s = _findSlot(key);
  if (s == kNotFound || !hashslots::isLive(slots_[s])) return;
  Slot& slot = slots_[s];
  // Released only once the table is consistent again.
  Ref<Object> oldKey = std::exchange(slot.key, _tombstone());
  Ref<Object> oldValue = std::move(slot.value);
  slot.value.reset();
  slot.hash = 0;
  uint32_t* order = store_.order.get();
  uint32_t i = 0;
  while (i < count_ && order[i] != s) ++i;
  if (i < count_) std::memmove(order + i, order + i + 1, (count_ - i - 1) * sizeof(uint32_t));
  --count_;
}

void Map::removeAll() {
  if (capacity_ == 0 || count_ == 0) return;  // nothing to release, nothing changes
  _table();
  uint32_t n = count_;
  count_ = 0;
  for (uint32_t i = 0; i < n; ++i) {
    Slot& slot = slots_[store_.order[i]];
    Ref<Object> oldKey = std::move(slot.key);
    Ref<Object> oldValue = std::move(slot.value);
    slot.key.reset();
    slot.value.reset();
    slot.hash = 0;
  }
}

// -- 2. Size and enumeration ------------------------------------------------------

Ref<Object> Map::enumAt(uint32_t i) const { return i < count_ ? _keyAt(i) : nullptr; }

Ref<Object> Map::valueAt(uint32_t i) const { return i < count_ ? _valueAt(i) : nullptr; }

Ref<Array> Map::allKeys() const {
  Ref<Array> a = Array::withCapacity(count_);
  for (uint32_t i = 0; i < count_; ++i) a->add(_keyAt(i));
  return a;
}

Ref<Array> Map::allValues() const {
  Ref<Array> a = Array::withCapacity(count_);
  for (uint32_t i = 0; i < count_; ++i) a->add(_valueAt(i));
  return a;
}

// -- 3. Copy and description --------------------------------------------------------

Ref<Map> Map::copy() const {
  Ref<Map> m = make<Map>();
  if (count_ <= kCompactMost) {
    // What the sets below would give: 16 slots, no tombstones, kept compact;
    // a compact map's copy shares its keys.
    if (slots_ || count_ == 0) {
      m->_reserve(count_);
      for (uint32_t i = 0; i < count_; ++i) {
        const Ref<Object>& key = _keyAt(i);
        m->_append(key, _valueAt(i), key->hash());
      }
    } else {
      m->_reserve(count_);
      for (uint32_t i = 0; i < count_; ++i) ::new (m->store_.compact.values + i) Ref<Object>(store_.compact.values[i]);
      m->store_.compact.keys = _shareKeys();
      m->count_ = count_;
    }
    m->capacity_ = 16;
    return m;
  }
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
