// Threads of the system: CreateThread, and CloseHandle to let one run on.
#include <windows.h>

#include "net/Thread.h"

namespace quorl {

namespace {

DWORD WINAPI runBody(void* parameter) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return 0;
}

}  // namespace

void* Thread::_startNative(std::unique_ptr<std::function<void()>> body) {
  HANDLE thread = CreateThread(nullptr, 0, runBody, body.get(), 0, nullptr);
  if (!thread) return nullptr;
  (void)body.release();  // the thread owns it now
  return thread;
}

void Thread::_detachNative(void* handle) { CloseHandle(static_cast<HANDLE>(handle)); }

}  // namespace quorl
