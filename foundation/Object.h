// Root of the object model.
//
// Sections:
//   1. Ref / Weak: shared ownership and weak back links
//   2. Object: the universal operations
//   3. Protocols: Copying, Enumerable, Error, Logger
//   4. Block: a weak target plus a function
#pragma once

#include <cstdint>
#include <functional>
#include <type_traits>
#include <utility>

#include "foundation/Ref.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Ownership (Ref.h). Every object lives in a Ref; back links are Weak and
//    read null once the object is gone. Non-owning, possibly-null arguments
//    are passed as Ptr.

// A non-owning, possibly null argument: takes a plain pointer, a Ref or
// nullptr, so callers pass what they hold without `.get()`. Never stored.
template <class T> class Ptr {
 public:
  Ptr(std::nullptr_t = nullptr) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ptr(U* p) : p_(p) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ptr(const Ref<U>& r) : p_(r.get()) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ptr(const Ptr<U>& o) : p_(o.get()) {}

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  bool operator==(const Ptr& o) const { return p_ == o.p_; }

 private:
  T* p_ = nullptr;
};

class String;

inline constexpr uint32_t kNotFound = 0xFFFFFFFFu;

// ---------------------------------------------------------------------------
// 2. Object. Identity equality and an address hash unless a class overrides.
class Object : public Counted {
 public:
  Object() = default;
  Object(const Object&) = default;
  Object& operator=(const Object&) = default;
  ~Object() override = default;

  virtual Ref<String> description() const;
  virtual void encodeWithCoder(Object* /*coder*/) {}
  virtual bool equals(Ptr<const Object> other) const { return other.get() == this; }
  virtual uint32_t hash() const;
  virtual void initWithCoder(Object* /*coder*/) {}

  // The class's own name; nullptr for an anonymous class.
  virtual const char* classNameC() const { return "Object"; }
  static Ref<String> className(Ptr<const Object> object);

  // `compare` exists only on the value classes that order themselves
  // (String, Number, Data); callers ask `hasCompare` first.
  virtual bool hasCompare() const { return false; }
  virtual int8_t compare(Ptr<const Object> /*other*/) const { return 0; }

  // A Ref to this object, of its own class; null for an object that was not
  // made with make() (on the stack, static, or a member).
  template <class T = Object> Ref<T> self() {
    if (!refCount()) return nullptr;
    retainSelf();
    return Ref<T>::adopt(static_cast<T*>(this));
  }
  template <class T = Object> Ref<const T> self() const {
    return const_cast<Object*>(this)->self<T>();
  }

  // The hash of an address, as Object.hash computes it.
  static uint32_t hashAddress(const void* address);
};

template <class T> bool isA(Ptr<const Object> o) { return dynamic_cast<const T*>(o.get()) != nullptr; }

// cast: the object as a T, or null when it is not one. staticCast: the
// caller knows that it is one.
template <class T, class U> Ref<T> cast(const Ref<U>& o) {
  T* p = dynamic_cast<T*>(o.get());
  return p ? Ref<T>(Ref<U>(o), p) : Ref<T>();
}
template <class T, class U> Ref<T> staticCast(const Ref<U>& o) { return Ref<T>(Ref<U>(o), static_cast<T*>(o.get())); }
template <class T, class U> Ref<T> staticCast(Ref<U>&& o) { return Ref<T>::adopt(static_cast<T*>(o.leak())); }

// ---------------------------------------------------------------------------
// 3. Protocols. A class conforms by deriving from the interface; conformance
//    is tested with dynamic_cast (isA / cast).
class Copying {
 public:
  virtual ~Copying() = default;
  virtual Ref<Object> copyObject() const = 0;
};

class Enumerable {
 public:
  virtual ~Enumerable() = default;
  virtual uint32_t enumLength() const = 0;
  virtual Ref<Object> enumAt(uint32_t index) const = 0;
};

class Error {
 public:
  virtual ~Error() = default;
  virtual Ref<String> message() const = 0;
};

class Logger {
 public:
  virtual ~Logger() = default;
  virtual void error(Ptr<const String> message) = 0;
  virtual void warning(Ptr<const String> message) = 0;
  virtual void info(Ptr<const String> message) = 0;
  virtual void debug(Ptr<const String> message) = 0;
};

// ---------------------------------------------------------------------------
// 4. Block: called only while its target is alive and its function is set.
template <class... Args> struct Block {
  Weak<Object> target;
  std::function<void(const Ref<Object>& target, Args...)> function;

  explicit operator bool() const { return static_cast<bool>(function) && !target.expired(); }

  // Answers whether the function ran.
  bool call(Args... args) const {
    if (!function) return false;
    Ref<Object> alive = target.lock();
    if (!alive) return false;
    function(alive, std::forward<Args>(args)...);
    return true;
  }
};

}  // namespace quorl
