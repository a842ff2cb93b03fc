// The generated corpora that the result benchmarks share, each made from a
// fixed seed so that every run of the benchmarks measures the same bytes.
//
// Two shapes, both 100,000 runs in "quorl-bench/1" contributions inside one
// {"contributions":[...]} object:
//   Shape::Current  - 200 machines of 500 runs, 60 benchmarks, 12 targets,
//                     3 devices, 2 optimisation levels, 3 architectures,
//                     5 samples a run, parameters of 2 keys (about 29 MB);
//   Shape::UserSize - 320 machines (312 or 313 runs each), 84 benchmarks,
//                     16 targets, 4 devices, 6 optimisation levels,
//                     4 architectures, 3 to 40 samples a run, parameters of
//                     3 to 5 keys (about 36 MB compact).
#pragma once

#include <cstddef>
#include <string>

namespace perfcorpus {

// The current shape's constants, used by the benchmarks that build their
// data set directly rather than from the text.
constexpr int kMachines = 200;
constexpr int kRunsPerMachine = 500;
constexpr int kBenchmarks = 60;

inline const char* const kTargets[12] = {"quorl", "cpp", "gcc",  "swift",  "objc",   "rust",
                                         "go",    "zig", "java", "csharp", "python", "node"};
inline const char* const kDevices[3] = {"serial", "cpu", "gpu"};
inline const char* const kArchs[3] = {"x86_64", "arm64", "riscv64"};

enum class Shape { Current = 0, UserSize = 1 };

struct ShapeInfo {
  const char* name;  // "current" or "user-size", for benchmark labels
  int machines;
  int runs;  // in total
  int benchmarks;
  int targets;
  int devices;
  int opts;
  int archs;
  int minSamples, maxSamples;  // per run
  int minParams, maxParams;    // keys per run
};

const ShapeInfo& shapeInfo(Shape shape);

// The corpus text of a shape, made on first use and kept to the end of the
// process.
const std::string& corpusText(Shape shape);

// The current shape with another number of machines of kRunsPerMachine runs
// each, made anew at each call: its first kMachines machines are those of
// corpusText(Shape::Current).
std::string currentText(int machines);

// The benchmark argument that names a shape (0 current, 1 user-size).
inline Shape shapeOf(long long arg) { return arg == 1 ? Shape::UserSize : Shape::Current; }

}  // namespace perfcorpus
