// Small-object pool behind make<T>(): every object and its reference count
// come from size-classed free lists instead of the general heap.
//
// Parsed documents are millions of small objects (numbers, strings, maps)
// made and released together; size-classed free lists make each allocation
// a pointer pop and each release a push, and keep the blocks of one kind
// together. Blocks are 16-byte aligned, at most kPoolMax bytes; anything
// larger goes to operator new. Any thread may release any block: a block
// freed on another thread simply joins that thread's free list. Memory of
// the pool is never returned to the system, and blocks left on the lists of
// a thread that ends stay unused: keep threads that make many objects
// long-lived.
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
// kBufferMax bytes from the pool's size classes, larger ones from malloc. The caller passes the same size to
// release that it asked for; 0 bytes gives null.
inline constexpr size_t kBufferMax = 4096;
void* allocateBuffer(size_t bytes);
void releaseBuffer(void* buffer, size_t bytes);
// Moves the first min(oldBytes, newBytes) bytes into a buffer of newBytes.
// Null when memory runs out; the old buffer is then kept.
void* resizeBuffer(void* buffer, size_t oldBytes, size_t newBytes);
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
