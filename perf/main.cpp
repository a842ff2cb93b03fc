// The one main of quorl_perf: runs every benchmark the other files register,
// or, started as a child by a fresh-process benchmark, that child's load.
#include <benchmark/benchmark.h>

int perfChildMain(int argc, char** argv);  // memory_bench.cpp
int netChildMain(int argc, char** argv);   // net_bench.cpp

int main(int argc, char** argv) {
  if (int code = perfChildMain(argc, argv); code >= 0) return code;
  if (int code = netChildMain(argc, argv); code >= 0) return code;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
