// The open-addressing table shared by Map, Set and Bag.
//
// A table has `capacity` slots (a power of two, at least 16) and an order
// array whose first `count` entries are the live slots in insertion order.
// A slot's key is empty (null), a tombstone (the shared marker below, left
// where an entry was removed) or live. Each live slot also keeps its key's
// hash, so probing compares hashes before it asks `equals`, and growing
// never hashes a key again. A key must not change its hash while it is in a
// table.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "Object.h"

namespace quorl::hashslots {

// The tombstone: a reference that no object can equal, to an immortal
// marker whose count never reaches zero.
const Ref<Object>& tombstone();

inline uint32_t tableCapacityFor(uint32_t n) {
  uint32_t c = 16;
  while (c < n && c < 0x80000000u) c *= 2;
  return c;
}

// The slot of a key equal to the one searched (hash h, `equal(storedKey)`
// deciding), else the slot where it would go: the first tombstone on its
// probe path, or the empty slot that ends the path. kNotFound when the table
// is absent, or full with no tombstone.
template <class Slot, class Equal>
uint32_t probe(const Slot* slots, uint32_t capacity, uint32_t h, const Equal& equal) {
  if (capacity == 0) return kNotFound;
  const Object* marker = tombstone().get();
  uint32_t mask = capacity - 1;
  uint32_t firstTombstone = kNotFound;
  uint32_t s = h & mask;
  for (uint32_t i = 0; i < capacity; ++i, s = (s + 1) & mask) {
    const Slot& slot = slots[s];
    const Object* key = slot.key.get();
    if (!key) return firstTombstone != kNotFound ? firstTombstone : s;
    if (key == marker) {
      if (firstTombstone == kNotFound) firstTombstone = s;
    } else if (slot.hash == h && equal(slot.key)) {
      return s;
    }
  }
  return firstTombstone;
}

template <class Slot> bool isLive(const Slot& slot) {
  return slot.key && slot.key.get() != tombstone().get();
}

// Makes the first table, of 16 slots doubled until n fit; nothing when a
// table exists.
template <class Slot>
void createTable(PoolArray<Slot>& slots, PoolArray<uint32_t>& order, uint32_t& capacity,
                 uint32_t n) {
  if (capacity != 0) return;
  uint32_t c = tableCapacityFor(n);
  slots = PoolArray<Slot>::make(c);
  order = PoolArray<uint32_t>::make(c);
  capacity = c;
}

// Moves the live slots, in insertion order, to a new table of `newCapacity`
// slots, each to the first empty slot of its probe path. Tombstones vanish.
// A capacity that is not a power of two above count is refused: the probe
// mask and the empty slot that ends every probe path depend on it.
template <class Slot>
void rehash(PoolArray<Slot>& slots, PoolArray<uint32_t>& order, uint32_t count,
            uint32_t& capacity, uint32_t newCapacity) {
  if (newCapacity <= count || (newCapacity & (newCapacity - 1)) != 0) return;
  auto newSlots = PoolArray<Slot>::make(newCapacity);
  auto newOrder = PoolArray<uint32_t>::make(newCapacity);
  uint32_t mask = newCapacity - 1;
  for (uint32_t i = 0; i < count; ++i) {
    Slot& from = slots[order[i]];
    uint32_t s = from.hash & mask;
    while (newSlots[s].key) s = (s + 1) & mask;
    newSlots[s] = std::move(from);
    newOrder[i] = s;
  }
  slots = std::move(newSlots);
  order = std::move(newOrder);
  capacity = newCapacity;
}

}  // namespace quorl::hashslots
