// The system's own threads: mingw's pthreads may start a thread without its
// state, or hang, under Wine on a loaded machine.
#include <windows.h>

#include "TestMain.h"

namespace quorl::test {

namespace {
void (*gBody)() = nullptr;  // one detached thread a process: the watchdog's
DWORD WINAPI run(void*) {
  gBody();
  return 0;
}
}  // namespace

void startWatchdogThread(void (*body)()) {
  gBody = body;
  HANDLE thread = CreateThread(nullptr, 0, run, nullptr, 0, nullptr);
  if (thread) CloseHandle(thread);
}

void sleepMs(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

// TerminateProcess rather than ExitProcess: a hung thread may hold the
// loader's lock, which ExitProcess waits for.
void exitNow(int status) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  for (;;) Sleep(1000);
}

}  // namespace quorl::test
