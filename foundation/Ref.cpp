// Counted objects: their memory and their weak links.
//
// A weak link outlives its object while Weaks hold it; the object holds one
// count on it for as long as it lives. Links are found through a table keyed
// by object address, consulted only when a Weak is made of an object for the
// first time and when an object that has a link dies. One lock guards the
// table and every link's object pointer, so a Weak on one thread cannot
// revive an object that another thread is destroying.
#include "foundation/Ref.h"

#include <mutex>
#include <new>
#include <unordered_map>

namespace quorl {

namespace refs {

struct WeakLink {
  std::atomic<uint32_t> weak{1};   // the object's own count, plus one a Weak
  const Counted* object = nullptr; // null once the object is gone; under weakLock()
};

namespace {

// Made on first use and never destroyed (objects may die during static
// destruction); a function-local object, as not every library's mutex can be
// constant-initialised.
std::mutex& weakLock() {
  static auto* lock = new std::mutex();
  return *lock;
}

std::unordered_map<const Counted*, WeakLink*>& links() {
  // Never destroyed: objects may die during static destruction.
  static auto* table = new std::unordered_map<const Counted*, WeakLink*>();
  return *table;
}

}  // namespace

}  // namespace refs

void* Counted::operator new(size_t bytes) {
#ifndef QUORL_SANITIZE
  if (bytes <= pool::kPoolMax) return pool::allocate(bytes);
#endif
  return ::operator new(bytes);
}

void Counted::operator delete(void* block, size_t bytes) noexcept {
#ifndef QUORL_SANITIZE
  if (bytes <= pool::kPoolMax) return pool::release(block, bytes);
#endif
  ::operator delete(block);
}

void Counted::destroy(uint32_t hadWeak) const {
  if (hadWeak) {
    refs::WeakLink* link = nullptr;
    {
      std::lock_guard<std::mutex> hold(refs::weakLock());
      auto found = refs::links().find(this);
      if (found != refs::links().end()) {
        link = found->second;
        link->object = nullptr;
        refs::links().erase(found);
      }
    }
    if (link) refs::releaseLink(link);
  }
  delete this;
}

namespace refs {

WeakLink* linkFor(const Counted* object) {
  std::lock_guard<std::mutex> hold(weakLock());
  WeakLink*& link = links()[object];
  if (!link) {
    link = new WeakLink();
    link->object = object;
    object->refs_.fetch_or(Counted::kWeakBit, std::memory_order_relaxed);
  }
  link->weak.fetch_add(1, std::memory_order_relaxed);
  return link;
}

void retainLink(WeakLink* link) { link->weak.fetch_add(1, std::memory_order_relaxed); }

void releaseLink(WeakLink* link) {
  if (link->weak.fetch_sub(1, std::memory_order_acq_rel) == 1) delete link;
}

bool tryRetain(WeakLink* link) {
  std::lock_guard<std::mutex> hold(weakLock());
  const Counted* object = link->object;
  if (!object) return false;
  // Only while some strong reference remains: a count that reached zero is
  // an object on its way out.
  uint32_t refs = object->refs_.load(std::memory_order_relaxed);
  while (refs & Counted::kCountMask) {
    if (object->refs_.compare_exchange_weak(refs, refs + 1, std::memory_order_acquire, std::memory_order_relaxed))
      return true;
  }
  return false;
}

bool linkExpired(WeakLink* link) {
  std::lock_guard<std::mutex> hold(weakLock());
  return !link->object || (link->object->refs_.load(std::memory_order_relaxed) & Counted::kCountMask) == 0;
}

}  // namespace refs

}  // namespace quorl
