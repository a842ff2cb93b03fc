// Two pieces of work timed back to back in every iteration, so that both see
// the same machine state (caches, clock speed, other load): the benchmarks'
// way of measuring ours against a peer or a floor in the same run.
#pragma once

#include <chrono>

namespace quorl::perf {

struct PairTimer {
  double firstSeconds = 0;
  double secondSeconds = 0;

  // Runs first, then second, and adds each one's time; answers first's
  // seconds of this round.
  template <class First, class Second> double run(First&& first, Second&& second) {
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    first();
    const auto t1 = Clock::now();
    second();
    const auto t2 = Clock::now();
    const double seconds = std::chrono::duration<double>(t1 - t0).count();
    firstSeconds += seconds;
    secondSeconds += std::chrono::duration<double>(t2 - t1).count();
    return seconds;
  }
};

}  // namespace quorl::perf
