// Set on the shared table of HashSlots.h, and the declared collections whose
// only behaviour is their description, Bag's enumeration and their release.
#include "Set.h"

#include "Array.h"
#include "HashSlots.h"
#include "Map.h"
#include "String.h"

namespace quorl {

// -- 1. Set ---------------------------------------------------------------------

Ref<Set> Set::withArray(Ptr<const Array> array) {
  Ref<Set> set = make<Set>();
  if (!array) return set;
  for (const Ref<Object>& element : *array)
    if (element) set->add(element);
  return set;
}

uint32_t Set::_find(const Object* object, uint32_t h) const {
  // The searched object is the receiver of `equals`, the member its argument.
  return hashslots::probe(slots_.get(), capacity_, h,
                          [object](const Ref<Object>& stored) { return object->equals(stored); });
}

uint32_t Set::_findSlot(Ptr<const Object> object) const {
  if (capacity_ == 0 || !object) return kNotFound;
  return _find(object.get(), object->hash());
}

void Set::_growTo(uint32_t n) { hashslots::createTable(slots_, order_, capacity_, n); }

void Set::_resize(uint32_t newCapacity) { hashslots::rehash(slots_, order_, count_, capacity_, newCapacity); }

void Set::add(Ref<Object> object) {
  if (!object) return;
  if (capacity_ == 0) _growTo(16);
  // Before the lookup, so a full table doubles even for a present member.
  if ((count_ + 1) * 4 > capacity_ * 3) _resize(capacity_ * 2);
  const uint32_t h = object->hash();
  const uint32_t s = _find(object.get(), h);
  if (s == kNotFound || hashslots::isLive(slots_[s])) return;
  slots_[s].key = std::move(object);
  slots_[s].hash = h;
  order_[count_++] = s;
}

bool Set::contains(Ptr<const Object> object) const {
  uint32_t s = _findSlot(object);
  return s != kNotFound && hashslots::isLive(slots_[s]);
}

Ref<Object> Set::enumAt(uint32_t i) const { return i < count_ ? slots_[order_[i]].key : nullptr; }

Ref<Array> Set::allObjects() const {
  Ref<Array> a = Array::withCapacity(count_);
  for (uint32_t i = 0; i < count_; ++i) a->add(slots_[order_[i]].key);
  return a;
}

Ref<Set> Set::copy() const { return withArray(allObjects()); }

Ref<String> Set::description() const {
  const uint16_t values[2] = {static_cast<uint16_t>(count_), static_cast<uint16_t>(capacity_)};
  return String::_classDescribe("Set", values, 2, 0);
}

// -- 2. The declared collections -------------------------------------------------

Ref<Object> Bag::memberAt(uint32_t i) const {
  if (static_cast<int32_t>(i) < 0 || i >= count_) return nullptr;
  return slots_[order_[i]];
}

Ref<String> Bag::description() const {
  const uint16_t values[3] = {static_cast<uint16_t>(count_), static_cast<uint16_t>(capacity_),
                              static_cast<uint16_t>(counter_)};
  return String::_classDescribe("Bag", values, 3, 0x04);
}

Ref<String> BinaryHeap::description() const {
  const uint16_t values[2] = {static_cast<uint16_t>(count_), static_cast<uint16_t>(capacity_)};
  return String::_classDescribe("BinaryHeap", values, 2, 0);
}

Cache::~Cache() {
  while (Ref<_CacheEntry> e = tail) {
    Ref<_CacheEntry> previous = e->previous.lock();
    if (previous)
      previous->next = e->next;
    else
      head = e->next;
    if (e->next)
      e->next->previous = e->previous;
    else
      tail = previous;
    e->previous.reset();
    e->next.reset();
  }
}

Ref<String> Cache::description() const {
  const uint16_t values[1] = {static_cast<uint16_t>(limit)};
  return String::_classDescribe("Cache", values, 1, 0x01);
}

}  // namespace quorl
