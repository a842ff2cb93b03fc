// What the test entry point needs of the platform.
#pragma once

namespace quorl::test {

// Starts the thread that runs body for the rest of the process.
void startWatchdogThread(void (*body)());
// Pauses the calling thread.
void sleepMs(int milliseconds);
// Ends the process at once with the status: no exit handlers, no waiting for
// other threads, which may be the ones that hang.
[[noreturn]] void exitNow(int status);

}  // namespace quorl::test
