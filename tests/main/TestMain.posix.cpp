#include <time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "TestMain.h"

namespace quorl::test {

void startWatchdogThread(void (*body)()) { std::thread(body).detach(); }

void sleepMs(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

int64_t processCpuMs() {
  timespec t{};
  if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t) != 0) return 0;
  return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void exitNow(int status) { _exit(status); }

// A crash is reported by the system (and the sanitizers) already.
void reportCrashes(const char* (*)()) {}

}  // namespace quorl::test
