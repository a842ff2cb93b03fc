// Tests that run on for the test of the watchdog (tests/tools/watchdog_test.sh),
// linked with the entry point of every test executable. Each runs only when
// asked for by name (--gtest_also_run_disabled_tests), under a short limit.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

namespace {

// The limit the script runs these under, in ms.
int64_t limitMs() {
  const char* text = std::getenv("QUORL_TEST_LIMIT_S");
  return text ? std::atoll(text) * 1000 : 60000;
}

// Loops that never end spend processor time: ended at the limit. Four
// threads spend it four times as fast, so that even a machine loaded many
// times over gives them their limit long before the clock reaches the idle one.
void spin() {
  volatile uint64_t n = 0;
  for (;;) n = n + 1;
}

TEST(Watchdog, DISABLED_Spins) {
  for (int i = 0; i < 3; ++i) std::thread(spin).detach();
  spin();
}

// A wait that never ends spends none: ended once the clock reaches the idle limit.
TEST(Watchdog, DISABLED_WaitsForever) {
  for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// Twice the limit on the clock, spending no processor time: the time a
// loaded machine adds to a test is not held against it.
TEST(Watchdog, DISABLED_WaitsTwiceItsLimit) {
  std::this_thread::sleep_for(std::chrono::milliseconds(2 * limitMs()));
  SUCCEED();
}

}  // namespace
