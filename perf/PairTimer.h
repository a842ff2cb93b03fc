// Two pieces of work timed back to back in every iteration, so that both see
// the same machine state (caches, clock speed, other load): the benchmarks'
// way of measuring ours against a peer or a floor in the same run.
#pragma once

#include <chrono>
#include <ctime>

namespace quorl::perf {

struct PairTimer {
  double firstSeconds = 0;
  double secondSeconds = 0;
  // The same on the thread's CPU clock, which leaves out the time the
  // thread waited for a CPU: on a machine shared with other work the wall
  // times of both pieces take whatever the scheduler gives them, and their
  // ratio follows.
  double firstCpuSeconds = 0;
  double secondCpuSeconds = 0;

  // Runs first, then second, and adds each one's time; answers first's
  // seconds of this round.
  template <class First, class Second> double run(First&& first, Second&& second) {
    using Clock = std::chrono::steady_clock;
    const double c0 = threadCpuSeconds();
    const auto t0 = Clock::now();
    first();
    const auto t1 = Clock::now();
    const double c1 = threadCpuSeconds();
    second();
    const auto t2 = Clock::now();
    const double c2 = threadCpuSeconds();
    const double seconds = std::chrono::duration<double>(t1 - t0).count();
    firstSeconds += seconds;
    secondSeconds += std::chrono::duration<double>(t2 - t1).count();
    firstCpuSeconds += c1 - c0;
    secondCpuSeconds += c2 - c1;
    return seconds;
  }

  static double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
  }
};

}  // namespace quorl::perf
