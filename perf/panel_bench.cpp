// The file panel over a folder of 20,000 files: listing it through the
// headless driver, ordering the rows by name (then by size) and filtering
// them with a mask. Each iteration also times the floor, the least any
// listing costs: std::filesystem::directory_iterator over the same folder,
// each entry's size, and std::sort of the names.
//
// Counters: `rows` shown after the mask; `ours_ms`, `floor_ms` and `ratio`
// (floor / ours: our speed over the floor's). The target: ours under 20 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ux/core/UXApplication.h"
#include "ux/controls/UXTextField.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/panels/UXFilePanel.h"

using namespace quorl;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// A folder of n files named entry-NNNNN with mixed extensions and sizes,
// made once per run and removed at exit.
struct Folder {
  fs::path path;
  explicit Folder(uint32_t n) {
    path = fs::temp_directory_path() / ("quorl-panel-bench-" + std::to_string(n));
    fs::remove_all(path);
    fs::create_directories(path);
    static const char* kExtensions[] = {".json", ".txt", ".dat", ".JSON"};
    for (uint32_t i = 0; i < n; ++i) {
      std::ofstream out(path / ("entry-" + std::to_string((i * 7919u) % n) + kExtensions[i % 4]));
      out << std::string(i % 97, 'x');
    }
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

void BM_PanelListSortFilter(benchmark::State& state) {
  const uint32_t n = uint32_t(state.range(0));
  static Folder folder(n);
  Ref<UXViewDriver> previous = gDriver;
  gDriver = make<UXHeadlessDriver>();
  auto panel = make<UXFilePanel>();
  panel->dir = folder.path.generic_string();
  panel->maskField = make<UXTextField>();
  panel->maskField->setText("*.json");
  double ours = 0, floor = 0;
  uint64_t iterations = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    panel->sortKey = 0;
    panel->reload();  // list, order by name, mask
    panel->sortBy(1);  // order by size, mask
    const double one = msSince(t0);
    ours += one;

    t0 = Clock::now();
    std::vector<std::string> names;
    uint64_t bytes = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.path)) {
      names.push_back(entry.path().filename().string());
      std::error_code ec;
      bytes += entry.file_size(ec);
    }
    std::sort(names.begin(), names.end());
    benchmark::DoNotOptimize(bytes);
    floor += msSince(t0);
    ++iterations;
    state.SetIterationTime(one / 1000.0);
  }
  state.counters["rows"] = double(panel->visible.size());
  state.counters["ours_ms"] = ours / double(iterations);
  state.counters["floor_ms"] = floor / double(iterations);
  state.counters["ratio"] = ours > 0 ? floor / ours : 0;  // our speed over the floor's
  gDriver = previous;
}
BENCHMARK(BM_PanelListSortFilter)->Name("FilePanel/listSortFilter")->Arg(20000)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same work without the listing: the rows are ordered by name and by
// size and masked; the floor is std::stable_sort of the names alone.
void BM_PanelSortFilter(benchmark::State& state) {
  const uint32_t n = uint32_t(state.range(0));
  static Folder folder(n);
  Ref<UXViewDriver> previous = gDriver;
  gDriver = make<UXHeadlessDriver>();
  auto panel = make<UXFilePanel>();
  panel->dir = folder.path.generic_string();
  panel->maskField = make<UXTextField>();
  panel->maskField->setText("*.json");
  panel->reload();
  std::vector<std::string> names;
  for (const Ref<UXFileRow>& row : panel->files) names.push_back(row->name);
  double ours = 0, floor = 0;
  uint64_t iterations = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    panel->sortBy(0);
    panel->sortBy(1);
    const double one = msSince(t0);
    ours += one;
    t0 = Clock::now();
    std::vector<std::string> copy = names;
    std::stable_sort(copy.begin(), copy.end());
    benchmark::DoNotOptimize(copy.data());
    floor += msSince(t0);
    ++iterations;
    state.SetIterationTime(one / 1000.0);
  }
  state.counters["ours_ms"] = ours / double(iterations);
  state.counters["floor_ms"] = floor / double(iterations);
  state.counters["ratio"] = ours > 0 ? floor / ours : 0;  // our speed over the floor's
  gDriver = previous;
}
BENCHMARK(BM_PanelSortFilter)->Name("FilePanel/sortFilter")->Arg(20000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
