// Threads of the C++ library.
#include <system_error>
#include <thread>

#include "net/Thread.h"

namespace quorl {

void* Thread::_startNative(std::unique_ptr<std::function<void()>> body) {
  try {
    return new std::thread([run = std::move(body)] { (*run)(); });
  } catch (const std::system_error&) {
    return nullptr;
  }
}

void Thread::_detachNative(void* handle) {
  std::unique_ptr<std::thread> thread(static_cast<std::thread*>(handle));
  if (thread->joinable()) thread->detach();
}

}  // namespace quorl
