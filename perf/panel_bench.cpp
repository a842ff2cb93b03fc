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
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PairTimer.h"
#include "ux/core/UXApplication.h"
#include "ux/controls/UXTextField.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/panels/UXFilePanel.h"

using namespace quorl;
namespace fs = std::filesystem;

namespace {

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

// The folder of n files, made on first use and shared by every benchmark.
const Folder& folderOf(uint32_t n) {
  static std::map<uint32_t, std::unique_ptr<Folder>> folders;
  std::unique_ptr<Folder>& folder = folders[n];
  if (!folder) folder = std::make_unique<Folder>(n);
  return *folder;
}

// A file panel over the folder with the mask "*.json", on a headless
// driver that stands in for the benchmark's length.
struct PanelRun {
  Ref<UXViewDriver> previous = gDriver;
  Ref<UXFilePanel> panel;
  explicit PanelRun(const Folder& folder) {
    gDriver = make<UXHeadlessDriver>();
    panel = make<UXFilePanel>();
    panel->dir = folder.path.generic_string();
    panel->maskField = make<UXTextField>();
    panel->maskField->setText("*.json");
  }
  ~PanelRun() { gDriver = previous; }
};

void reportTimes(benchmark::State& state, const perf::PairTimer& timer) {
  const double ours = timer.firstSeconds, floor = timer.secondSeconds;
  state.counters["ours_ms"] = ours * 1e3 / double(state.iterations());
  state.counters["floor_ms"] = floor * 1e3 / double(state.iterations());
  state.counters["ratio"] = ours > 0 ? floor / ours : 0;  // our speed over the floor's
}

void BM_PanelListSortFilter(benchmark::State& state) {
  const uint32_t n = uint32_t(state.range(0));
  const Folder& folder = folderOf(n);
  PanelRun run(folder);
  const Ref<UXFilePanel>& panel = run.panel;
  perf::PairTimer timer;
  for (auto _ : state) {
    const double ours = timer.run(
        [&] {
          panel->sortKey = 0;
          panel->reload();   // list, order by name, mask
          panel->sortBy(1);  // order by size, mask
        },
        [&] {
          std::vector<std::string> names;
          uint64_t bytes = 0;
          for (const fs::directory_entry& entry : fs::directory_iterator(folder.path)) {
            names.push_back(entry.path().filename().string());
            std::error_code ec;
            bytes += entry.file_size(ec);
          }
          std::sort(names.begin(), names.end());
          benchmark::DoNotOptimize(bytes);
        });
    state.SetIterationTime(ours);
  }
  state.counters["rows"] = double(panel->visible.size());
  reportTimes(state, timer);
}
BENCHMARK(BM_PanelListSortFilter)->Name("FilePanel/listSortFilter")->Arg(20000)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same work without the listing: the rows are ordered by name and by
// size and masked; the floor is std::stable_sort of the names alone.
void BM_PanelSortFilter(benchmark::State& state) {
  const uint32_t n = uint32_t(state.range(0));
  const Folder& folder = folderOf(n);
  PanelRun run(folder);
  const Ref<UXFilePanel>& panel = run.panel;
  panel->reload();
  std::vector<std::string> names;
  for (const Ref<UXFileRow>& row : panel->files) names.push_back(row->name);
  perf::PairTimer timer;
  for (auto _ : state) {
    const double ours = timer.run(
        [&] {
          panel->sortBy(0);
          panel->sortBy(1);
        },
        [&] {
          std::vector<std::string> copy = names;
          std::stable_sort(copy.begin(), copy.end());
          benchmark::DoNotOptimize(copy.data());
        });
    state.SetIterationTime(ours);
  }
  reportTimes(state, timer);
}
BENCHMARK(BM_PanelSortFilter)->Name("FilePanel/sortFilter")->Arg(20000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
