// Small-object pool behind make<T>(): every object and its reference count
// come from size-classed free lists instead of the general heap.
//
// Parsed documents are millions of small objects (numbers, strings, maps)
// made and released together; size-classed free lists make each allocation
// a pointer pop and each release a push, and keep the blocks of one kind
// together. Blocks are 16-byte aligned, at most kPoolMax bytes; anything
// larger goes to operator new. Any thread may release any block: a block
// freed on another thread simply joins that thread's free list. Memory of
// the pool is never returned to the system.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace quorl {

namespace pool {
inline constexpr size_t kPoolMax = 256;
inline constexpr size_t kPoolAlign = 16;
void* allocate(size_t bytes);  // bytes in 1..kPoolMax
void release(void* block, size_t bytes);

// Raw buffers (string bytes, array slots, hash tables) of any size: up to
// kBufferMax bytes from the pool's classes (16-byte steps to 256, then powers
// of two), larger ones from malloc. The caller passes the same size to
// release that it asked for; 0 bytes gives null.
inline constexpr size_t kBufferMax = 4096;
void* allocateBuffer(size_t bytes);
void releaseBuffer(void* buffer, size_t bytes);
// Moves the first min(oldBytes, newBytes) bytes into a buffer of newBytes.
// Null when memory runs out; the old buffer is then kept.
void* resizeBuffer(void* buffer, size_t oldBytes, size_t newBytes);
}  // namespace pool

template <class T> struct PoolAllocator {
  using value_type = T;

  PoolAllocator() = default;
  template <class U> PoolAllocator(const PoolAllocator<U>&) {}

  static constexpr bool pooled(size_t n) {
    return alignof(T) <= pool::kPoolAlign && n == 1 && sizeof(T) <= pool::kPoolMax;
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
