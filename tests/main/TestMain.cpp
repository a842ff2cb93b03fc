// The entry point of every test executable: GoogleTest with a watchdog.
//
// A test that hangs (a deadlock, a loop that never ends) would otherwise
// stall the whole executable until CTest's time-out, which names no test.
// The watchdog polls the running test's start from its own thread; a test
// that runs past its limit is named on standard output and the process ends
// at once with status 1, so CI shows one failed test with its name.
//
// The limit is counted in the processor time the process spent on the test
// (all its threads), which a loaded machine does not stretch: a loop that
// never ends spends it. A test that spends none (a deadlock, a wait for
// something that never comes) is ended once its time on the clock reaches
// kIdleFactor times the limit, far above what a machine loaded several times
// over makes of a test that stays within its limit.
//
// The limit is 60 s a test, or QUORL_TEST_LIMIT_S seconds when that is set
// (0 turns the watchdog off, for a debugger). Under Wine the watchdog costs
// nothing per test: no process is started.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "TestMain.h"

namespace quorl::test {
namespace {

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

constexpr int64_t kIdleFactor = 5;

class Watchdog final : public ::testing::EmptyTestEventListener {
 public:
  void setLimit(int64_t limitMs) { limitMs_ = limitMs; }

  void OnTestStart(const ::testing::TestInfo& info) override {
    std::snprintf(name_, sizeof name_, "%s.%s", info.test_suite_name(), info.name());
    startedCpu_.store(processCpuMs(), std::memory_order_relaxed);
    started_.store(nowMs(), std::memory_order_release);
  }
  void OnTestEnd(const ::testing::TestInfo& info) override {
    started_.store(0, std::memory_order_release);
    // The brief output names failures only: a skip is named too, so that the
    // summary of a run can say which tests did not run.
    if (GTEST_FLAG_GET(brief) && info.result()->Skipped())
      std::printf("[  SKIPPED ] %s.%s\n", info.test_suite_name(), info.name());
  }

  const char* running() const { return started_.load(std::memory_order_acquire) != 0 ? name_ : ""; }

  // Runs on the watchdog's thread until the process ends.
  [[noreturn]] void watch() {
    for (;;) {
      sleepMs(200);
      const int64_t started = started_.load(std::memory_order_acquire);
      if (started == 0) continue;
      const int64_t cpuMs = processCpuMs() - startedCpu_.load(std::memory_order_relaxed);
      const int64_t wallMs = nowMs() - started;
      if (cpuMs <= limitMs_ && wallMs <= limitMs_ * kIdleFactor) continue;
      // The test may have ended meanwhile: only the one still running is named.
      if (started_.load(std::memory_order_acquire) != started) continue;
      std::fflush(stdout);
      std::printf("\n[  TIMEOUT ] %s ran past its limit of %lld s (%lld s of processor time, %lld s in all)\n"
                  "[  FAILED  ] %s\n",
                  name_, static_cast<long long>(limitMs_ / 1000), static_cast<long long>(cpuMs / 1000),
                  static_cast<long long>(wallMs / 1000), name_);
      std::fflush(stdout);
      exitNow(1);
    }
  }

 private:
  int64_t limitMs_ = 0;  // set before the thread starts
  std::atomic<int64_t> started_{0};
  std::atomic<int64_t> startedCpu_{0};  // the process's processor time when the test started
  char name_[512] = {};  // written before started_ is published, read after
};

int64_t limitFromEnvironment() {
  const char* text = std::getenv("QUORL_TEST_LIMIT_S");
  if (!text || !*text) return 60 * 1000;
  char* end = nullptr;
  const long seconds = std::strtol(text, &end, 10);
  return (*end == 0 && seconds >= 0) ? int64_t{seconds} * 1000 : 60 * 1000;
}

}  // namespace
}  // namespace quorl::test

int main(int argc, char** argv) {
  using namespace quorl::test;
  // Tells tools/wine-run that Wine did start this program, so that a run
  // that fails silently is never taken for one Wine failed to start.
  if (const char* mark = std::getenv("QUORL_STARTED_MARK"); mark && *mark)
    if (std::FILE* f = std::fopen(mark, "w")) std::fclose(f);
  ::testing::InitGoogleTest(&argc, argv);
  const int64_t limit = limitFromEnvironment();
  // Static, and taken back from GoogleTest's list before it would delete
  // it: the watchdog's thread reads it until the process ends.
  static Watchdog watchdog;
  auto& listeners = ::testing::UnitTest::GetInstance()->listeners();
  // The listener always keeps the running test's name, for a crash report;
  // the thread that ends a test past its limit runs only with a limit.
  listeners.Append(&watchdog);
  reportCrashes([] { return watchdog.running(); });
  if (limit > 0) {
    watchdog.setLimit(limit);
    startWatchdogThread([] { watchdog.watch(); });
  }
  const int status = RUN_ALL_TESTS();
  listeners.Release(&watchdog);
  return status;
}
