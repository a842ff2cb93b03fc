// Small-object pool behind make<T>(): every object and the buffers of
// strings, arrays and hash tables come from size-classed pages instead of
// the general heap.
//
// Parsed documents are millions of small objects made and released
// together. Each thread has its own heap of 64 KiB pages, each page holding
// blocks of one size class, so an allocation is a pointer pop and a release
// a push, and blocks of one kind lie together. A page whose blocks are all
// released leaves its class at once and waits, empty, in its thread's
// cache: a document torn down and another built in its place reuse the
// pages instead of mapping and first-touching them again. Cached pages the
// thread has not needed for a second, beyond kPageCache of them, go back to
// the system the next time the thread takes or drops a page, and trim()
// gives them all back at once: call it after closing a large document.
//
// Any thread may release any block. A block released on a thread other
// than the one that allocated it goes onto its page's list of remote frees,
// which the owning thread takes back the next time it looks for room in
// that class. Pages belonging to a thread that has ended are never used
// again: blocks released into them later stay unused, and the pages stay
// mapped, its cached empty pages too. Keep threads that make many objects
// long-lived, and have a thread that tears down a large document call
// trim() before it ends.
//
// Blocks of a class are aligned to min(16, the largest power of two that
// divides the class size): a 24-byte block is 8-aligned, a 48-byte one
// 16-aligned. Sanitized builds (QUORL_SANITIZE) take everything from the
// general heap, where the sanitizers can watch it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace quorl {

namespace pool {
inline constexpr size_t kPoolMax = 256;   // largest object PoolAllocator pools
inline constexpr size_t kPoolAlign = 16;  // largest block alignment
inline constexpr size_t kBufferMax = 4096;
inline constexpr size_t kPageBytes = 64 * 1024;
inline constexpr size_t kPageCache = 4;  // empty pages a thread keeps while idle

// Size classes: 8-byte steps to 128 bytes (0..14), 16-byte steps to 256
// (15..22), 64-byte steps to 1024 (23..34), 256-byte steps to 4096 (35..46).
// Small objects differ by a word; hash tables and arrays come in sizes such
// as 640 or 1536 bytes, which powers of two would waste.
inline constexpr size_t kClasses = 47;
constexpr size_t classOf(size_t bytes) {  // bytes in 0..kBufferMax
  if (bytes <= 16) return 0;
  if (bytes <= 128) return (bytes - 9) / 8;
  if (bytes <= 256) return 15 + (bytes - 129) / 16;
  if (bytes <= 1024) return 23 + (bytes - 257) / 64;
  return 35 + (bytes - 1025) / 256;
}
constexpr size_t classSize(size_t cls) {
  if (cls < 15) return 16 + cls * 8;
  if (cls < 23) return 128 + (cls - 14) * 16;
  if (cls < 35) return 256 + (cls - 22) * 64;
  return 1024 + (cls - 34) * 256;
}
constexpr size_t classAlign(size_t cls) {
  size_t size = classSize(cls);
  size_t low = size & (~size + 1);
  return low < kPoolAlign ? low : kPoolAlign;
}
// Whether allocate(bytes) suits an object of that size and alignment
// (class operator new can static_assert it).
constexpr bool holds(size_t bytes, size_t align) { return bytes <= kBufferMax && align <= classAlign(classOf(bytes)); }

// Objects: bytes up to kBufferMax come from the pool (0 counts as 1), larger
// ones from malloc. Throws std::bad_alloc when memory runs out. Release
// with the size that was asked for; releasing null does nothing.
void* allocate(size_t bytes);
void release(void* block, size_t bytes);

// Raw buffers (string bytes, array slots, hash tables) of any size: up to
// kBufferMax bytes from the pool's size classes, larger ones from malloc.
// The caller passes the same size to release that it asked for; 0 bytes
// gives null, and so does running out of memory.
void* allocateBuffer(size_t bytes);
void releaseBuffer(void* buffer, size_t bytes);
// Moves the first min(oldBytes, newBytes) bytes into a buffer of newBytes.
// Null when memory runs out; the old buffer is then kept.
void* resizeBuffer(void* buffer, size_t oldBytes, size_t newBytes);

// What the pool holds, for tests and benchmarks. Zero in sanitized builds.
struct Stats {
  size_t mappedBytes;       // every thread's pages, mapped from the system
  size_t threadLiveBlocks;  // blocks of this thread's pages not yet back in
                            // them (remote frees it has not taken back count)
  size_t threadPages;       // this thread's pages in use, cache excluded
  size_t threadCachedPages; // this thread's empty pages kept for reuse
};
Stats stats();

// Gives the calling thread's cached empty pages back to the system, with
// those that other threads have emptied of its blocks since it last looked.
void trim();
// Holds the pool's clock at its present reading (true), so that it moves
// only by _advanceClockForTesting, or lets it follow real time again.
void _holdClockForTesting(bool hold);
// Moves the held clock forward, as if the thread had idled that long.
void _advanceClockForTesting(int64_t milliseconds);
// Makes the calling thread's nth allocation or buffer growth from now on
// fail once, as running out of memory does (allocate throws, the buffer
// calls answer null); 0 asks for none. Answers whether the failure asked for
// before had not come yet. The program never asks.
bool _failAllocationForTesting(uint64_t nth);
}  // namespace pool

// The bytes of a growable buffer (a String's text), owned, from the pool.
class PoolBytes {
 public:
  PoolBytes() = default;
  PoolBytes(PoolBytes&& o) noexcept : p_(o.p_), size_(o.size_) { o.p_ = nullptr, o.size_ = 0; }
  PoolBytes& operator=(PoolBytes&& o) noexcept {
    if (this != &o) {
      reset();
      p_ = o.p_, size_ = o.size_;
      o.p_ = nullptr, o.size_ = 0;
    }
    return *this;
  }
  ~PoolBytes() { reset(); }

  unsigned char* get() const { return p_; }
  size_t size() const { return size_; }
  explicit operator bool() const { return p_ != nullptr; }

  void reset() {
    pool::releaseBuffer(p_, size_);
    p_ = nullptr, size_ = 0;
  }
  // Room for exactly `bytes`, keeping the first min(old, new) of them.
  void resize(size_t bytes) {
    void* q = pool::resizeBuffer(p_, size_, bytes);
    if (!q && bytes) throw std::bad_alloc();
    p_ = static_cast<unsigned char*>(q), size_ = bytes;
  }

 private:
  unsigned char* p_ = nullptr;
  size_t size_ = 0;
};

// A fixed number of value-initialised T from the pool, owned; used like
// std::unique_ptr<T[]> for the slots of arrays and hash tables.
template <class T> class PoolArray {
 public:
  PoolArray() = default;
  PoolArray(std::nullptr_t) {}
  PoolArray(PoolArray&& o) noexcept : p_(o.p_), n_(o.n_) { o.p_ = nullptr, o.n_ = 0; }
  PoolArray& operator=(PoolArray&& o) noexcept {
    if (this != &o) {
      reset();
      p_ = o.p_, n_ = o.n_;
      o.p_ = nullptr, o.n_ = 0;
    }
    return *this;
  }
  ~PoolArray() { reset(); }

  static PoolArray make(size_t n) {
    PoolArray a;
    if (n == 0) return a;
    void* raw = pool::allocateBuffer(n * sizeof(T));
    if (!raw) throw std::bad_alloc();
    a.p_ = static_cast<T*>(raw);
    for (size_t i = 0; i < n; i++) ::new (static_cast<void*>(a.p_ + i)) T();
    a.n_ = n;
    return a;
  }

  T* get() const { return p_; }
  T& operator[](size_t i) const { return p_[i]; }
  explicit operator bool() const { return p_ != nullptr; }

  void reset() {
    if (!p_) return;
    for (size_t i = n_; i-- > 0;) p_[i].~T();
    pool::releaseBuffer(p_, n_ * sizeof(T));
    p_ = nullptr, n_ = 0;
  }

 private:
  T* p_ = nullptr;
  size_t n_ = 0;
};

template <class T> struct PoolAllocator {
  using value_type = T;

  PoolAllocator() = default;
  template <class U> PoolAllocator(const PoolAllocator<U>&) {}

  static constexpr bool pooled(size_t n) {
    return n == 1 && sizeof(T) <= pool::kPoolMax && pool::holds(sizeof(T), alignof(T));
  }
  T* allocate(size_t n) {
    if (pooled(n)) return static_cast<T*>(pool::allocate(sizeof(T)));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, size_t n) {
    if (pooled(n))
      pool::release(p, sizeof(T));
    else
      std::allocator<T>().deallocate(p, n);
  }

  template <class U> bool operator==(const PoolAllocator<U>&) const { return true; }
  template <class U> bool operator!=(const PoolAllocator<U>&) const { return false; }
};

}  // namespace quorl
