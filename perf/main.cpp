// The one main of quorl_perf: runs every benchmark the other files register.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
