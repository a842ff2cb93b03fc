// The generators of the shared benchmark corpora (see CorpusShape.h).
#include "CorpusShape.h"

#include <cstdint>
#include <random>
#include <string>

namespace perfcorpus {

namespace {

const char* const kCpus[5] = {"AMD Ryzen 9 7950X 16-Core Processor", "Apple M2 Pro", "Intel(R) Core(TM) i7-12700H",
                              "Cortex-A76 (Raspberry Pi 5)", "AMD EPYC 9654 96-Core Processor"};

const ShapeInfo kCurrent = {"current", 200, 100000, 60, 12, 3, 2, 3, 5, 5, 2, 2};
const ShapeInfo kUserSize = {"user-size", 320, 100000, 84, 16, 4, 6, 4, 3, 40, 3, 5};

std::string makeCurrent(int machines) {
  std::mt19937_64 random(20240602);
  std::string out;
  out.reserve(size_t(machines) * (160u << 10));
  out += "{\"contributions\":[";
  for (int m = 0; m < machines; ++m) {
    if (m) out += ",";
    const char* arch = kArchs[m % 3];
    out += "{\"schema\":\"quorl-bench/1\",\"id\":\"machine-" + std::to_string(m) +
           "\",\"collected\":\"2024-06-02T14:31:07Z\",\"repeats\":5,\"machine\":{\"os\":\"Linux 6.8\",\"arch\":\"" +
           arch + "\",\"cpu\":\"" + kCpus[m % 5] + " #" + std::to_string(m) +
           "\",\"gpu\":\"NVIDIA GeForce RTX 4070\",\"gpu_driver\":\"550.78\",\"memory_mb\":65536},"
           "\"toolchains\":{\"quorl\":\"0.74.1\",\"cpp\":\"clang 17.0.6\"},\"runs\":[";
    for (int r = 0; r < kRunsPerMachine; ++r) {
      if (r) out += ",";
      const uint64_t pick = random();
      const int bench = static_cast<int>(pick % kBenchmarks);
      const char* target = kTargets[(pick >> 8) % 12];
      const char* device = kDevices[(pick >> 16) % 3];
      const char* opt = ((pick >> 24) & 1) ? "O3" : "O2";
      const int64_t base = 1000 + static_cast<int64_t>((pick >> 32) % 5000000);
      out += "{\"suite\":\"langs\",\"benchmark\":\"bench_" + std::to_string(bench) + "\",\"target\":\"" + target +
             "\",\"device\":\"" + device + "\",\"opt\":\"" + opt + "\",\"arch\":\"" + arch +
             "\",\"params\":{\"lang\":\"" + target + "\",\"opt\":\"" + opt + "\"},\"samples_us\":[";
      int64_t best = INT64_MAX;
      for (int s = 0; s < 5; ++s) {
        int64_t v = base + static_cast<int64_t>(random() % 2000);
        best = v < best ? v : best;
        out += (s ? "," : "") + std::to_string(v);
      }
      out += "],\"best_us\":" + std::to_string(best) + ",\"first_us\":" + std::to_string(best + 4000) +
             ",\"checksum\":\"0x5f3759df\"}";
    }
    out += "]}";
  }
  out += "]}";
  return out;
}

const char* const kUserTargets[16] = {"quorl", "cpp",    "gcc",    "swift", "objc",  "rust",  "go",     "zig",
                                      "java",  "csharp", "python", "node",  "julia", "ocaml", "kotlin", "haskell"};
const char* const kUserDevices[4] = {"serial", "cpu", "gpu", "vulkan"};
const char* const kUserOpts[6] = {"O0", "O1", "O2", "O3", "Os", "Ofast"};
const char* const kUserArchs[4] = {"x86_64", "arm64", "riscv64", "ppc64le"};
const char* const kOses[4] = {"Linux 6.8", "macOS 14.5 (23F79)", "Windows 11 23H2", "FreeBSD 14.0"};
// All contain "rtx", the graphics filter of the filter benchmark.
const char* const kGpus[4] = {"NVIDIA GeForce RTX 4070", "NVIDIA GeForce RTX 3060", "NVIDIA RTX A4000",
                              "NVIDIA GeForce RTX 4090 D"};
const char* const kVariants[3] = {"simd", "scalar", "blocked"};

std::string makeUserSize() {
  std::mt19937_64 random(20261208);
  const ShapeInfo& shape = kUserSize;
  std::string out;
  out.reserve(38u << 20);
  out += "{\"contributions\":[";
  std::string number;
  for (int m = 0; m < shape.machines; ++m) {
    if (m) out += ",";
    const char* arch = kUserArchs[m % 4];
    const int runs = shape.runs / shape.machines + (m < shape.runs % shape.machines ? 1 : 0);
    out += "{\"schema\":\"quorl-bench/1\",\"id\":\"machine-" + std::to_string(m) +
           "\",\"collected\":\"2024-06-02T14:31:07Z\",\"repeats\":" + std::to_string(3 + m % 38) +
           ",\"machine\":{\"os\":\"" + kOses[m % 4] + "\",\"arch\":\"" + arch + "\",\"cpu\":\"" + kCpus[m % 5] +
           " #" + std::to_string(m) + "\",\"gpu\":\"" + kGpus[(m / 4) % 4] +
           "\",\"gpu_driver\":\"550.78\",\"memory_mb\":" + std::to_string(8192 << (m % 5)) +
           "},\"toolchains\":{\"quorl\":\"0.74.1\",\"cpp\":\"clang 17.0.6\",\"rust\":\"1.78.0\"},\"runs\":[";
    for (int r = 0; r < runs; ++r) {
      if (r) out += ",";
      const uint64_t pick = random();
      const int bench = static_cast<int>(pick % shape.benchmarks);
      const char* target = kUserTargets[(pick >> 8) % 16];
      const char* device = kUserDevices[(pick >> 12) % 4];
      const char* opt = kUserOpts[(pick >> 16) % 6];
      const int samples = shape.minSamples + static_cast<int>((pick >> 24) % (shape.maxSamples - shape.minSamples + 1));
      const int params = shape.minParams + static_cast<int>((pick >> 30) % (shape.maxParams - shape.minParams + 1));
      // Times spread evenly over the powers of two from 100 us to 3.3 s.
      const int64_t octave = 100ll << ((pick >> 34) % 15);
      const int64_t base = octave + static_cast<int64_t>((pick >> 40) % static_cast<uint64_t>(octave));
      const int64_t spread = 1 + base / 50;
      out += "{\"suite\":\"langs\",\"benchmark\":\"bench_" + std::to_string(bench) + "\",\"target\":\"" + target +
             "\",\"device\":\"" + device + "\",\"opt\":\"" + opt + "\",\"arch\":\"" + arch +
             "\",\"params\":{\"lang\":\"" + target + "\",\"opt\":\"" + opt +
             "\",\"size\":" + std::to_string(1 << (10 + bench % 12));
      if (params >= 4) out += ",\"threads\":" + std::to_string(1 << (pick >> 60));
      if (params >= 5) out += std::string(",\"variant\":\"") + kVariants[(pick >> 56) % 3] + "\"";
      out += "},\"samples_us\":[";
      int64_t best = INT64_MAX;
      for (int s = 0; s < samples; ++s) {
        const int64_t v = base + static_cast<int64_t>(random() % static_cast<uint64_t>(spread));
        best = v < best ? v : best;
        if (s) out += ',';
        out += std::to_string(v);
      }
      out += "],\"best_us\":" + std::to_string(best) + ",\"first_us\":" + std::to_string(best + spread * 3) +
             ",\"checksum\":\"0x5f3759df\"}";
    }
    out += "]}";
  }
  out += "]}";
  return out;
}

}  // namespace

const ShapeInfo& shapeInfo(Shape shape) { return shape == Shape::UserSize ? kUserSize : kCurrent; }

const std::string& corpusText(Shape shape) {
  if (shape == Shape::UserSize) {
    static const std::string text = makeUserSize();
    return text;
  }
  static const std::string text = makeCurrent(kMachines);
  return text;
}

std::string currentText(int machines) { return makeCurrent(machines); }

}  // namespace perfcorpus
