// Sections:
//   1. Pages and heaps: the layout and who may touch what
//   2. The owning thread: taking and giving blocks
//   3. Other threads: remote frees and the mailbox
//   4. The public entry points (general heap in sanitized builds)
#include "foundation/Pool.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "foundation/PoolPages.h"

namespace quorl::pool {

static_assert(classSize(kClasses - 1) == kBufferMax && classOf(kBufferMax) == kClasses - 1);
static_assert(classSize(1) == 24 && classSize(14) == 128 && classSize(15) == 144 && classSize(22) == 256 &&
              classSize(23) == 320 && classSize(34) == 1024 && classSize(35) == 1280);
static_assert(classAlign(1) == 8 && classAlign(4) == 16 && classAlign(15) == 16);
static_assert(kPageBytes == kMapAlign);

#ifndef QUORL_SANITIZE
namespace {

// ---------------------------------------------------------------------------
// 1. Pages and heaps
//
// A page is kPageBytes aligned to kPageBytes, so a block's page is its
// address rounded down. The header's first cache line belongs to the owning
// thread alone; the second holds what other threads write, so their frees
// do not slow the owner's hot path.
//
// A page of a heap is in exactly one place: the current page of its class,
// the class's `avail` list (it has free blocks), the class's `full` list
// (none were free when it stopped being current), or the heap's cache of
// empty pages. Its `live` count is blocks handed out minus blocks back in
// its local free list, so blocks freed remotely stay live until taken back.

struct FreeBlock {
  FreeBlock* next;
};

struct Mailbox;

enum PageState : uint8_t { kCurrent = 1, kAvail, kFull, kCached };

// `remote` holds the blocks other threads freed, as a list; its low bit,
// set only by the owner on an empty list, asks the next remote freer to post
// the page to the owner's mailbox (see section 3).
constexpr uintptr_t kNotifyMe = 1;

struct alignas(64) Page {
  FreeBlock* free;
  char* bump;  // next block never handed out
  char* end;   // end of the last whole block
  uint64_t owner;
  uint32_t live;
  uint16_t size;
  uint8_t cls;
  uint8_t state;
  Page* prev;
  Page* next;

  alignas(64) std::atomic<uintptr_t> remote;
  Mailbox* mailbox;    // the owner's; outlives the owner
  Page* notifiedNext;  // link in the mailbox, written by the notifier
};
constexpr size_t kHeaderBytes = 128;
static_assert(sizeof(Page) <= kHeaderBytes);

// Pages whose owner should look at their remote frees. Mailboxes are never
// freed, so a remote freer may post to one whose thread has ended.
struct alignas(64) Mailbox {
  std::atomic<Page*> head;
};

struct ClassPages {
  Page* current;
  Page* avail;
  Page* full;
};

// Plain data, zero at thread start, so thread_local needs no constructor or
// destructor on any platform; nothing is handed over when a thread ends.
// Heaps are told apart by id, never by address: a new thread's heap may sit
// where an ended thread's was.
struct Heap {
  uint64_t id;  // 0 until the first page
  Mailbox* mailbox;
  Page* cache;  // empty pages, linked through `next`
  size_t cached;
  size_t idle;         // fewest pages in the cache since the last trim
  int64_t lastTrimMs;  // when the cache was last trimmed
  ClassPages classes[kClasses];
};

thread_local Heap tHeap;
std::atomic<uint64_t> gLastHeapId{0};
std::atomic<size_t> gMappedBytes{0};

// Size classes of 1..1024 bytes by 8-byte granule; class boundaries are
// multiples of 8 up to there.
constexpr auto kClassOfGranule = [] {
  struct Table {
    uint8_t cls[129];
  } t{};
  for (size_t g = 0; g <= 128; g++) t.cls[g] = static_cast<uint8_t>(classOf(g * 8));
  return t;
}();

inline size_t fastClassOf(size_t bytes) {
  if (bytes <= 1024) return kClassOfGranule.cls[(bytes + 7) >> 3];
  return 35 + (bytes - 1025) / 256;
}

inline Page* pageOf(const void* block) {
  return reinterpret_cast<Page*>(reinterpret_cast<uintptr_t>(block) & ~(kPageBytes - 1));
}

void pushList(Page*& head, Page* p) {
  p->prev = nullptr;
  p->next = head;
  if (head) head->prev = p;
  head = p;
}

void unlinkList(Page*& head, Page* p) {
  if (p->prev)
    p->prev->next = p->next;
  else
    head = p->next;
  if (p->next) p->next->prev = p->prev;
  p->prev = p->next = nullptr;
}

bool initHeap(Heap& h) {
  static std::mutex lock;
  static char* spare = nullptr;
  static size_t spareLeft = 0;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (spareLeft < sizeof(Mailbox)) {
      spare = static_cast<char*>(mapPages(kMapAlign));
      if (!spare) return false;
      spareLeft = kMapAlign;
    }
    h.mailbox = ::new (spare) Mailbox{};
    spare += sizeof(Mailbox), spareLeft -= sizeof(Mailbox);
  }
  h.id = gLastHeapId.fetch_add(1, std::memory_order_relaxed) + 1;
  return true;
}

// The pool's clock follows the steady clock, unless a test holds it: then
// it reads gHeldMs, which only the test moves, so no real time reaches it.
std::atomic<bool> gClockHeld{false};
std::atomic<int64_t> gHeldMs{0};

int64_t steadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t nowMs() {
  return gClockHeld.load(std::memory_order_relaxed) ? gHeldMs.load(std::memory_order_relaxed) : steadyMs();
}

void unmapPage(Page* p) {
  gMappedBytes.fetch_sub(kPageBytes, std::memory_order_relaxed);
  unmapPages(p, kPageBytes);
}

// Empty pages wait in the cache, so that a document torn down and another
// built in its place (or the same work repeated) reuses pages instead of
// mapping and first-touching them again. What the cache did not need for a
// whole trim interval, beyond kPageCache pages, goes back to the system at
// the next page the heap takes or drops; trim() gives it all back at once.
constexpr int64_t kTrimIntervalMs = 1000;

void giveBack(Heap& h, size_t keep) {
  while (h.cached > keep) {
    Page* p = h.cache;
    h.cache = p->next;
    h.cached--;
    unmapPage(p);
  }
  if (h.idle > h.cached) h.idle = h.cached;
}

void maybeTrim(Heap& h) {
  int64_t now = nowMs();
  if (now - h.lastTrimMs < kTrimIntervalMs) return;
  size_t unused = h.idle < h.cached ? h.idle : h.cached;
  if (unused > kPageCache) giveBack(h, h.cached - (unused - kPageCache));
  h.idle = h.cached;
  h.lastTrimMs = now;
}

Page* newPage(Heap& h, size_t cls) {
  Page* p;
  if (h.cached) {
    p = h.cache;
    h.cache = p->next;
    if (--h.cached < h.idle) h.idle = h.cached;
    maybeTrim(h);
  } else {
    p = static_cast<Page*>(mapPages(kPageBytes));
    if (!p) return nullptr;
    gMappedBytes.fetch_add(kPageBytes, std::memory_order_relaxed);
    ::new (p) Page{};
    p->owner = h.id;
    p->mailbox = h.mailbox;
  }
  size_t size = classSize(cls);
  char* first = reinterpret_cast<char*>(p) + kHeaderBytes;
  p->free = nullptr;
  p->bump = first;
  p->end = first + (kPageBytes - kHeaderBytes) / size * size;
  p->live = 0;
  p->size = static_cast<uint16_t>(size);
  p->cls = static_cast<uint8_t>(cls);
  p->state = kCurrent;
  p->prev = p->next = nullptr;
  p->remote.store(0, std::memory_order_relaxed);
  return p;
}

// The page is empty and in no list.
void dropPage(Heap& h, Page* p) {
  p->state = kCached;
  p->next = h.cache;
  h.cache = p;
  h.cached++;
  maybeTrim(h);
}

// Moves the page's remote frees to its local free list; false when there
// were none.
bool takeRemote(Page* p) {
  if ((p->remote.load(std::memory_order_relaxed) & ~kNotifyMe) == 0) return false;
  auto* list = reinterpret_cast<FreeBlock*>(p->remote.exchange(0, std::memory_order_acquire));
  uint32_t n = 1;
  FreeBlock* last = list;
  for (; last->next; last = last->next) n++;
  last->next = p->free;
  p->free = list;
  p->live -= n;
  return true;
}

// Pages posted by remote freers go back to their classes' avail lists, or
// to the system when nothing in them is live any more.
void drainMailbox(Heap& h) {
  if (!h.mailbox->head.load(std::memory_order_relaxed)) return;
  Page* p = h.mailbox->head.exchange(nullptr, std::memory_order_acquire);
  while (p) {
    Page* next = p->notifiedNext;
    ClassPages& cp = h.classes[p->cls];
    takeRemote(p);
    unlinkList(cp.full, p);
    if (p->live == 0) {
      dropPage(h, p);
    } else {
      p->state = kAvail;
      pushList(cp.avail, p);
    }
    p = next;
  }
}

// ---------------------------------------------------------------------------
// 2. The owning thread

inline void* popFrom(Page* p) {
  if (FreeBlock* b = p->free) {
    p->free = b->next;
    p->live++;
    return b;
  }
  char* c = p->bump;
  if (c < p->end) {
    p->bump = c + p->size;
    p->live++;
    return c;
  }
  return nullptr;
}

[[gnu::noinline]] void* takeSlow(Heap& h, size_t cls) {
  if (!h.id && !initHeap(h)) return nullptr;
  ClassPages& cp = h.classes[cls];
  if (Page* p = cp.current) {
    // The current page ran out: take back its remote frees, or retire it to
    // the full list, asking its next remote freer to tell us.
    for (;;) {
      if (takeRemote(p)) return popFrom(p);
      uintptr_t empty = 0;
      if (p->remote.compare_exchange_strong(empty, kNotifyMe, std::memory_order_relaxed)) break;
    }
    p->state = kFull;
    pushList(cp.full, p);
    cp.current = nullptr;
  }
  drainMailbox(h);
  if (Page* p = cp.avail) {
    unlinkList(cp.avail, p);
    p->state = kCurrent;
    cp.current = p;
    takeRemote(p);
    return popFrom(p);  // an avail page has a free block
  }
  Page* p = newPage(h, cls);
  if (!p) return nullptr;
  cp.current = p;
  return popFrom(p);
}

inline void* take(size_t cls) {
  Heap& h = tHeap;
  if (Page* p = h.classes[cls].current) {
    if (void* b = popFrom(p)) return b;
  }
  return takeSlow(h, cls);
}

// After a local release that emptied the page or hit a full one.
[[gnu::noinline]] void giveSlow(Heap& h, Page* p) {
  ClassPages& cp = h.classes[p->cls];
  if (p->state == kFull) {
    // Unless a remote freer has already posted it to the mailbox (the
    // mailbox then brings it back), the page has room again.
    uintptr_t notify = kNotifyMe;
    if (!p->remote.compare_exchange_strong(notify, 0, std::memory_order_relaxed)) return;
    unlinkList(cp.full, p);
    p->state = kAvail;
    pushList(cp.avail, p);
  }
  if (p->live == 0 && p->state == kAvail) {
    unlinkList(cp.avail, p);
    dropPage(h, p);
  }
}

// ---------------------------------------------------------------------------
// 3. Other threads
//
// A remote free pushes the block onto the page's `remote` list, lock-free.
// The owner takes the list back when its current page of the class runs
// out. A full page is in no place the owner looks, so when it retires one
// it sets kNotifyMe on the empty list; the one freer whose push clears the
// bit posts the page to the owner's mailbox, which the owner drains when it
// next needs a page. Until it is drained the page has a live block, so the
// owner never gives it back while a freer still holds it. Pages of an ended
// thread are posted to a mailbox nobody drains: they are never reused.

[[gnu::noinline]] void giveRemote(Page* p, FreeBlock* b) {
  uintptr_t old = p->remote.load(std::memory_order_relaxed);
  do {
    b->next = reinterpret_cast<FreeBlock*>(old & ~kNotifyMe);
  } while (!p->remote.compare_exchange_weak(old, reinterpret_cast<uintptr_t>(b), std::memory_order_release,
                                            std::memory_order_relaxed));
  if (!(old & kNotifyMe)) return;
  Mailbox* m = p->mailbox;
  Page* head = m->head.load(std::memory_order_relaxed);
  do {
    p->notifiedNext = head;
  } while (!m->head.compare_exchange_weak(head, p, std::memory_order_release, std::memory_order_relaxed));
}

inline void give(void* block) {
  Page* p = pageOf(block);
  auto* b = static_cast<FreeBlock*>(block);
  Heap& h = tHeap;
  if (p->owner == h.id) {  // a heap without id owns no page
    b->next = p->free;
    p->free = b;
    if (--p->live == 0 || p->state == kFull) giveSlow(h, p);
    return;
  }
  giveRemote(p, b);
}

}  // namespace
#endif

// ---------------------------------------------------------------------------
// 4. Entry points

namespace {

// A test's failing allocation: the arming thread's allocations still to go
// before one fails; 0 for none. The flag keeps every other allocation to
// one load.
std::atomic<bool> gFailArmed{false};
thread_local uint64_t tFailIn = 0;

inline bool failsForTesting() {
  if (!gFailArmed.load(std::memory_order_relaxed) || tFailIn == 0) return false;
  return --tFailIn == 0;
}

}  // namespace

bool _failAllocationForTesting(uint64_t nth) {
  const bool pending = tFailIn != 0;
  tFailIn = nth;
  gFailArmed.store(nth != 0, std::memory_order_relaxed);
  return pending;
}

#ifdef QUORL_SANITIZE
void* allocate(size_t bytes) {
  void* p = failsForTesting() ? nullptr : std::malloc(bytes ? bytes : 1);
  if (!p) throw std::bad_alloc();
  return p;
}
void release(void* block, size_t) { std::free(block); }
void* allocateBuffer(size_t bytes) { return bytes && !failsForTesting() ? std::malloc(bytes) : nullptr; }
void releaseBuffer(void* buffer, size_t) { std::free(buffer); }
void* resizeBuffer(void* buffer, size_t, size_t newBytes) {
  return failsForTesting() ? nullptr : std::realloc(buffer, newBytes ? newBytes : 1);
}
Stats stats() { return {}; }
void trim() {}
void _holdClockForTesting(bool) {}
void _advanceClockForTesting(int64_t) {}
#else
void* allocate(size_t bytes) {
  if (failsForTesting()) throw std::bad_alloc();
  void* p = bytes <= kBufferMax ? take(fastClassOf(bytes)) : std::malloc(bytes);
  if (!p) throw std::bad_alloc();
  return p;
}

void release(void* block, size_t bytes) {
  if (!block) return;
  if (bytes > kBufferMax)
    std::free(block);
  else
    give(block);
}

void* allocateBuffer(size_t bytes) {
  if (bytes == 0 || failsForTesting()) return nullptr;
  if (bytes > kBufferMax) return std::malloc(bytes);
  return take(fastClassOf(bytes));
}

void releaseBuffer(void* buffer, size_t bytes) { release(buffer, bytes); }

void* resizeBuffer(void* buffer, size_t oldBytes, size_t newBytes) {
  if (!buffer || oldBytes == 0) return allocateBuffer(newBytes);
  if (oldBytes > kBufferMax && newBytes > kBufferMax)
    return failsForTesting() ? nullptr : std::realloc(buffer, newBytes);
  // Within one class the block already has room.
  if (oldBytes <= kBufferMax && newBytes <= kBufferMax && newBytes != 0 && fastClassOf(oldBytes) == fastClassOf(newBytes))
    return buffer;
  void* fresh = allocateBuffer(newBytes);
  if (!fresh && newBytes != 0) return nullptr;
  if (fresh) std::memcpy(fresh, buffer, oldBytes < newBytes ? oldBytes : newBytes);
  releaseBuffer(buffer, oldBytes);
  return fresh;
}

void _holdClockForTesting(bool hold) {
  if (hold) gHeldMs.store(steadyMs(), std::memory_order_relaxed);
  gClockHeld.store(hold, std::memory_order_relaxed);
}

void _advanceClockForTesting(int64_t ms) { gHeldMs.fetch_add(ms, std::memory_order_relaxed); }

void trim() {
  Heap& h = tHeap;
  // A trim starts the idle interval again from here, on a thread that has
  // made no heap yet too: else the first interval after it would count from
  // the epoch and end at once, with nothing idle measured.
  h.lastTrimMs = nowMs();
  h.idle = h.cached;
  if (!h.id) return;
  drainMailbox(h);
  // Blocks other threads freed into pages that still have room come back
  // too, so that pages they emptied are given back with the rest.
  for (ClassPages& cp : h.classes) {
    if (cp.current) takeRemote(cp.current);
    for (Page* p = cp.avail; p;) {
      Page* next = p->next;
      if (takeRemote(p) && p->live == 0) {
        unlinkList(cp.avail, p);
        dropPage(h, p);
      }
      p = next;
    }
  }
  giveBack(h, 0);
}

Stats stats() {
  Stats s{};
  s.mappedBytes = gMappedBytes.load(std::memory_order_relaxed);
  const Heap& h = tHeap;
  s.threadCachedPages = h.cached;
  auto count = [&s](const Page* p) {
    s.threadPages++;
    s.threadLiveBlocks += p->live;
  };
  for (const ClassPages& cp : h.classes) {
    if (cp.current) count(cp.current);
    for (const Page* p = cp.avail; p; p = p->next) count(p);
    for (const Page* p = cp.full; p; p = p->next) count(p);
  }
  return s;
}
#endif

}  // namespace quorl::pool
