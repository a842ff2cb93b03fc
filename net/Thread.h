// Threads, locks and the run loop of the background fetch, as thin objects
// over the standard library's threads, mutexes and condition variables.
//
//   Thread   one function on a new native thread, detached by its maker
//   Mutex    an exclusive, non-recursive lock
//   Guard    holds a Mutex until unlocked or released
//   Cond     a condition variable waited on with a Mutex
//   RunLoop  a queue of RunLoopItems that other threads post to and the
//            loop's own thread drains
//   Timer    a record of a timer; nothing schedules one
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "foundation/Array.h"
#include "foundation/Object.h"
#include "foundation/String.h"

namespace quorl {

class Thread : public Object {
 public:
  // The block's function runs on the new thread with the target, looked up
  // when the thread begins; a target already gone runs nothing.
  explicit Thread(Block<> block) : block_(std::move(block)) {}
  ~Thread() override { detach(); }
  const char* classNameC() const override { return "Thread"; }

  // Starts the native thread; false when the system would not start one,
  // which leaves the handle empty.
  bool start();
  // Lets the native thread run on by itself; a second call does nothing.
  void detach();
  bool hasHandle() const { return handle_ != nullptr; }

  // Makes the next `count` starts fail as a system out of threads would.
  static void _failStartsForTesting(uint32_t count);

  // The platform's threads (Thread.posix.cpp, Thread.win32.cpp): a handle of
  // a thread that runs `body`, null when none could be started; and its
  // release, after which the thread runs on by itself. On Windows these are
  // the system's own threads: the C++ library's threads over mingw's
  // pthreads start without their state or hang under Wine on a loaded
  // machine when made and detached many times.
  static void* _startNative(std::unique_ptr<std::function<void()>> body);
  static void _detachNative(void* handle);

 private:
  void* handle_ = nullptr;
  Block<> block_;
};

class Mutex : public Object {
 public:
  const char* classNameC() const override { return "Mutex"; }
  void lock() { native_.lock(); }
  void unlock() { native_.unlock(); }

 private:
  std::mutex native_;
};

class Guard : public Object {
 public:
  explicit Guard(Ref<Mutex> mutex) : mutex_(std::move(mutex)) {
    if (mutex_) mutex_->lock();
  }
  ~Guard() override { unlock(); }
  const char* classNameC() const override { return "Guard"; }

  // Releases the mutex the first time; later calls do nothing.
  void unlock() {
    if (!mutex_) return;
    mutex_->unlock();
    mutex_.reset();
  }
  bool holds() const { return mutex_ != nullptr; }

 private:
  Ref<Mutex> mutex_;
};

class Cond : public Object {
 public:
  const char* classNameC() const override { return "Cond"; }
  // The caller holds the mutex; it is released while waiting and held again
  // on return.
  void wait(Mutex& mutex) { native_.wait(mutex); }
  // False when the time ran out first.
  bool waitFor(Mutex& mutex, uint32_t milliseconds) {
    return native_.wait_for(mutex, std::chrono::milliseconds(milliseconds)) == std::cv_status::no_timeout;
  }
  void signal() { native_.notify_one(); }
  void broadcast() { native_.notify_all(); }

 private:
  std::condition_variable_any native_;
};

// One piece of work for a run loop. The block holds what it needs itself,
// so an item stays runnable whatever happens to its sender.
class _RunLoopItem : public Object {
 public:
  explicit _RunLoopItem(std::function<void()> block) : block(std::move(block)) {}
  const char* classNameC() const override { return "_RunLoopItem"; }

  std::function<void()> block;
  Ref<Object> other;  // left empty by every sender
};

class RunLoop : public Object {
 public:
  RunLoop() = default;
  const char* classNameC() const override { return "RunLoop"; }
  Ref<String> description() const override;

  // From any thread: appends the item and wakes one waiter.
  void post(Ref<_RunLoopItem> item);
  // On the loop's own thread: runs every item queued so far, outside the
  // lock and in order; answers how many ran.
  uint32_t runPending();
  // Waits until an item is queued or the time runs out, then runs what is
  // queued; answers how many ran.
  uint32_t runUntilItem(uint32_t milliseconds);
  uint32_t pendingCount() const;

  // Held for the loop's owner; nothing here reads them.
  Ref<Object> owner;
  Ref<Object> input;
  Ref<Object> context;
  uint8_t flag = 0;

 private:
  Ref<Mutex> mutex_ = make<Mutex>();
  Ref<Cond> cond_ = make<Cond>();
  Ref<Array> queue_ = make<Array>();
};

class Timer : public Object {
 public:
  const char* classNameC() const override { return "Timer"; }
  Ref<String> description() const override;

  Ref<Object> target;
  Ref<Object> userInfo;
  int32_t intervalMs = 0;
  int32_t nextFireMs = 0;
  uint32_t repeats = 0;
};

}  // namespace quorl
