// What the test entry point needs of the platform.
#pragma once

#include <cstdint>

namespace quorl::test {

// Starts the thread that runs body for the rest of the process.
void startWatchdogThread(void (*body)());
// Pauses the calling thread.
void sleepMs(int milliseconds);
// The processor time the process has spent so far, all its threads, in ms.
int64_t processCpuMs();
// Ends the process at once with the status: no exit handlers, no waiting for
// other threads, which may be the ones that hang.
[[noreturn]] void exitNow(int status);
// Where a crash would end the process silently (Windows), makes it print the
// running test's name (from `running`, "" between tests) and the exception
// first, and keeps standard output unbuffered so nothing printed is lost.
void reportCrashes(const char* (*running)());

}  // namespace quorl::test
