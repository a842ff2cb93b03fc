// The system's own threads: mingw's pthreads may start a thread without its
// state, or hang, under Wine on a loaded machine.
#include <windows.h>

#include <cstdio>

#include "TestMain.h"

namespace quorl::test {

namespace {
void (*gBody)() = nullptr;  // one detached thread a process: the watchdog's
const char* (*gRunning)() = nullptr;
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

int64_t processCpuMs() {
  FILETIME created, ended, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
  const auto ms = [](const FILETIME& t) {  // 100-ns units
    return int64_t((uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000);
  };
  return ms(kernel) + ms(user);
}

// TerminateProcess rather than ExitProcess: a hung thread may hold the
// loader's lock, which ExitProcess waits for.
void exitNow(int status) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  for (;;) Sleep(1000);
}

namespace {
// Under Wine an unhandled exception ends the process with its code and,
// with Wine's messages off, nothing on the output: say which test and what.
LONG WINAPI crashed(EXCEPTION_POINTERS* e) {
  const char* name = gRunning ? gRunning() : "";
  if (!*name) name = "(between tests)";
  const DWORD code = e && e->ExceptionRecord ? e->ExceptionRecord->ExceptionCode : 0;
  char line[1200];
  const int n = std::snprintf(line, sizeof line, "\n[  CRASH   ] %s: exception 0x%08lX at %p\n[  FAILED  ] %s\n", name,
                              static_cast<unsigned long>(code),
                              e && e->ExceptionRecord ? e->ExceptionRecord->ExceptionAddress : nullptr, name);
  DWORD written = 0;
  if (n > 0) WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, DWORD(n < int(sizeof line) ? n : sizeof line - 1), &written, nullptr);
  TerminateProcess(GetCurrentProcess(), code ? UINT(code) : 1u);
  return EXCEPTION_EXECUTE_HANDLER;
}
}  // namespace

void reportCrashes(const char* (*running)()) {
  gRunning = running;
  std::setvbuf(stdout, nullptr, _IONBF, 0);  // the msvcrt buffers a pipe whole
  SetUnhandledExceptionFilter(crashed);
}

}  // namespace quorl::test
