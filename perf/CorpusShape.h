// The shape of the generated corpora that the result benchmarks share:
// 100,000 runs over 200 machines, 60 benchmarks, 12 targets and 3 devices.
#pragma once

namespace perfcorpus {

constexpr int kMachines = 200;
constexpr int kRunsPerMachine = 500;
constexpr int kBenchmarks = 60;

inline const char* const kTargets[12] = {"quorl", "cpp", "gcc",  "swift",  "objc",   "rust",
                                         "go",    "zig", "java", "csharp", "python", "node"};
inline const char* const kDevices[3] = {"serial", "cpu", "gpu"};
inline const char* const kArchs[3] = {"x86_64", "arm64", "riscv64"};

}  // namespace perfcorpus
