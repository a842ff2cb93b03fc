// Shared ownership with a count inside the object.
//
// Sections:
//   1. Counted: the count every object carries, and where objects come from
//   2. Ref: a counted reference, one pointer wide
//   3. Weak: a link that reads null once its object is gone
//
// Every object carries one 32-bit count of its strong references; make<T>()
// starts it at one. An object on the stack, static, or a member has a count
// of zero and is never counted: self() answers null for it and no Ref may
// be made of it. The top bit of the count says that the object has ever been
// weakly referenced: only such objects have a weak link (found in a table
// kept aside), so an object pays nothing for weak references it never gets.
// Counts are atomic: objects may be shared between threads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <utility>

#include "foundation/Pool.h"

namespace quorl {

class Counted;
template <class T> class Ref;
template <class T> class Weak;
template <class T, class... Args> Ref<T> make(Args&&... args);

namespace refs {
struct WeakLink;
// The weak link of a counted object, made on first use; the caller holds one
// weak count on it. Defined in Ref.cpp.
WeakLink* linkFor(const Counted* object);
void retainLink(WeakLink* link);
void releaseLink(WeakLink* link);
// Adds a strong count to the link's object if it is still alive.
bool tryRetain(WeakLink* link);
bool linkExpired(WeakLink* link);
}  // namespace refs

// ---------------------------------------------------------------------------
// 1. Counted. The base of Object; objects come from the small-object pool.
class Counted {
 public:
  Counted() noexcept {}
  // A copy is a new object with no references to it yet.
  Counted(const Counted&) noexcept {}
  Counted& operator=(const Counted&) noexcept { return *this; }
  virtual ~Counted() = default;

  static void* operator new(size_t bytes);
  static void operator delete(void* block, size_t bytes) noexcept;

  // The number of strong references (0 for an object that is not counted).
  uint32_t refCount() const { return refs_.load(std::memory_order_relaxed) & kCountMask; }

  // Makes an object that lives for the whole run (a static marker) safe to
  // hold in Refs: its count never reaches zero.
  void makeImmortal() { refs_.store(kImmortal, std::memory_order_relaxed); }

 private:
  template <class> friend class Ref;
  template <class> friend class Weak;
  template <class T, class... Args> friend Ref<T> make(Args&&... args);
  friend refs::WeakLink* refs::linkFor(const Counted*);
  friend bool refs::tryRetain(refs::WeakLink*);
  friend bool refs::linkExpired(refs::WeakLink*);

  static constexpr uint32_t kWeakBit = 0x80000000u;
  static constexpr uint32_t kCountMask = 0x7FFFFFFFu;
  static constexpr uint32_t kImmortal = 0x40000000u;

  void retain() const { refs_.fetch_add(1, std::memory_order_relaxed); }
  void release() const {
    const uint32_t before = refs_.fetch_sub(1, std::memory_order_acq_rel);
    if ((before & kCountMask) == 1) destroy(before & kWeakBit);
  }
  void destroy(uint32_t hadWeak) const;  // Ref.cpp

 protected:
  // For self(): the caller knows the object is counted and alive.
  void retainSelf() const { retain(); }

 private:

  mutable std::atomic<uint32_t> refs_{0};
};

// ---------------------------------------------------------------------------
// 2. Ref. Null or a counted object; copying adds a count, destruction drops
//    it, and the last one destroys the object.
template <class T> class Ref {
 public:
  template <class> friend class Weak;
  using element_type = T;

  constexpr Ref() noexcept = default;
  constexpr Ref(std::nullptr_t) noexcept {}
  Ref(const Ref& o) noexcept : p_(o.p_) { retain(); }
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(const Ref<U>& o) noexcept : p_(o.get()) {
    retain();
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(Ref<U>&& o) noexcept : p_(o.leak()) {}
  ~Ref() { drop(); }

  Ref& operator=(const Ref& o) noexcept {
    T* old = p_;
    p_ = o.p_;
    retain();
    if (old) counted(old)->release();
    return *this;
  }
  Ref& operator=(Ref&& o) noexcept {
    if (this != &o) {
      T* old = p_;
      p_ = o.p_;
      o.p_ = nullptr;
      if (old) counted(old)->release();
    }
    return *this;
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref& operator=(Ref<U>&& o) noexcept {
    T* old = p_;
    p_ = o.leak();
    if (old) counted(old)->release();
    return *this;
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref& operator=(const Ref<U>& o) noexcept {
    return *this = Ref(o);
  }
  Ref& operator=(std::nullptr_t) noexcept {
    reset();
    return *this;
  }

  T* get() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  long use_count() const noexcept { return p_ ? long(counted(p_)->refCount()) : 0; }

  void reset() noexcept {
    T* old = p_;
    p_ = nullptr;
    if (old) counted(old)->release();
  }
  void swap(Ref& o) noexcept { std::swap(p_, o.p_); }

  // Takes over one count that the caller already holds for `p`.
  static Ref adopt(T* p) noexcept {
    Ref r;
    r.p_ = p;
    return r;
  }
  // The same object seen as a T: takes over the count of `from`.
  template <class U> Ref(Ref<U>&& from, T* same) noexcept : p_(same) { from.leak(); }
  // Hands the count over to the caller, leaving this null.
  T* leak() noexcept { return std::exchange(p_, nullptr); }

 private:
  // A protocol held by Ref (a delegate interface) reaches the count of the
  // object that implements it through its dynamic type.
  static const Counted* counted(const T* p) noexcept {
    if constexpr (std::is_base_of_v<Counted, std::remove_cv_t<T>>)
      return static_cast<const Counted*>(p);
    else
      return dynamic_cast<const Counted*>(p);
  }
  void retain() const noexcept {
    if (p_) counted(p_)->retain();
  }
  void drop() noexcept {
    if (p_) counted(p_)->release();
  }

  T* p_ = nullptr;
};

template <class T, class U> bool operator==(const Ref<T>& a, const Ref<U>& b) noexcept { return a.get() == b.get(); }
template <class T> bool operator==(const Ref<T>& a, std::nullptr_t) noexcept { return !a; }

// Objects come only from here: counted from birth, from the pool.
template <class T, class... Args> Ref<T> make(Args&&... args) {
  T* p = new T(std::forward<Args>(args)...);
  static_cast<const Counted*>(p)->refs_.store(1, std::memory_order_relaxed);
  return Ref<T>::adopt(p);
}

// ---------------------------------------------------------------------------
// 3. Weak. Two words: the object's weak link and the object's address as a
//    T; the address is used only after the link confirmed the object alive.
template <class T> class Weak {
 public:
  constexpr Weak() noexcept = default;
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Weak(const Ref<U>& r) : p_(r.get()) {
    if (p_) link_ = refs::linkFor(Ref<T>::counted(p_));
  }
  Weak(const Weak& o) noexcept : link_(o.link_), p_(o.p_) {
    if (link_) refs::retainLink(link_);
  }
  Weak(Weak&& o) noexcept : link_(std::exchange(o.link_, nullptr)), p_(std::exchange(o.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Weak(const Weak<U>& o) noexcept : link_(o.link_), p_(o.p_) {
    if (link_) refs::retainLink(link_);
  }
  ~Weak() {
    if (link_) refs::releaseLink(link_);
  }

  Weak& operator=(const Weak& o) noexcept {
    Weak copy(o);
    swap(copy);
    return *this;
  }
  Weak& operator=(Weak&& o) noexcept {
    Weak moved(std::move(o));
    swap(moved);
    return *this;
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Weak& operator=(const Ref<U>& r) {
    Weak made(r);
    swap(made);
    return *this;
  }

  // The object, or null once it is gone (or while it is being destroyed).
  Ref<T> lock() const {
    if (!link_ || !refs::tryRetain(link_)) return nullptr;
    return Ref<T>::adopt(p_);
  }
  bool expired() const { return !link_ || refs::linkExpired(link_); }
  void reset() noexcept {
    Weak empty;
    swap(empty);
  }
  void swap(Weak& o) noexcept {
    std::swap(link_, o.link_);
    std::swap(p_, o.p_);
  }

 private:
  template <class> friend class Weak;
  refs::WeakLink* link_ = nullptr;
  T* p_ = nullptr;
};

}  // namespace quorl

template <class T> struct std::hash<quorl::Ref<T>> {
  size_t operator()(const quorl::Ref<T>& r) const noexcept { return std::hash<T*>()(r.get()); }
};
