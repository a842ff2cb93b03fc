#include "net/Thread.h"

#include <system_error>

namespace quorl {

namespace {
std::atomic<uint32_t> gFailStarts{0};
}

void Thread::_failStartsForTesting(uint32_t count) { gFailStarts.store(count); }

bool Thread::start() {
  if (handle_) return false;
  uint32_t failing = gFailStarts.load();
  while (failing > 0) {
    if (gFailStarts.compare_exchange_weak(failing, failing - 1)) return false;
  }
  Block<> block = block_;
  handle_ = _startNative(std::make_unique<std::function<void()>>([block] { block.call(); }));
  return handle_ != nullptr;
}

void Thread::detach() {
  if (!handle_) return;
  _detachNative(std::exchange(handle_, nullptr));
}

Ref<String> RunLoop::description() const {
  uint16_t values[1] = {flag};
  return String::_classDescribe("RunLoop", values, 1, 0);
}

void RunLoop::post(Ref<_RunLoopItem> item) {
  mutex_->lock();
  queue_->add(std::move(item));
  cond_->signal();
  mutex_->unlock();
}

uint32_t RunLoop::pendingCount() const {
  mutex_->lock();
  uint32_t n = queue_->count();
  mutex_->unlock();
  return n;
}

uint32_t RunLoop::runPending() {
  mutex_->lock();
  Ref<Array> items = queue_;
  queue_ = make<Array>();
  mutex_->unlock();
  uint32_t ran = 0;
  for (const Ref<Object>& object : *items) {
    auto item = cast<_RunLoopItem>(object);
    if (item && item->block) item->block();
    ran++;
  }
  return ran;
}

uint32_t RunLoop::runUntilItem(uint32_t milliseconds) {
  mutex_->lock();
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (queue_->count() == 0) {
    auto now = std::chrono::steady_clock::now();
    if (now >= until) break;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
    cond_->waitFor(*mutex_, static_cast<uint32_t>(left + 1));
  }
  mutex_->unlock();
  return runPending();
}

Ref<String> Timer::description() const {
  uint16_t values[3] = {static_cast<uint16_t>(intervalMs), static_cast<uint16_t>(nextFireMs),
                        static_cast<uint16_t>(repeats)};
  return String::_classDescribe("Timer", values, 3, 0x3);
}

}  // namespace quorl
