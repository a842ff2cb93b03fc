#include <unistd.h>

#include <chrono>
#include <thread>

#include "TestMain.h"

namespace quorl::test {

void startWatchdogThread(void (*body)()) { std::thread(body).detach(); }

void sleepMs(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void exitNow(int status) { _exit(status); }

// A crash is reported by the system (and the sanitizers) already.
void reportCrashes(const char* (*)()) {}

}  // namespace quorl::test
