// Standard output sent to /dev/null while a Quiet lives: the program's
// status lines are kept out of the benchmarks' report.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace quorl::perf {

struct Quiet {
  int saved = -1;
  Quiet() {
    std::fflush(stdout);
    saved = dup(1);
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      close(null);
    }
  }
  ~Quiet() {
    std::fflush(stdout);
    if (saved >= 0) {
      dup2(saved, 1);
      close(saved);
    }
  }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;
};

}  // namespace quorl::perf
