// Results subsystem speed: loading a large corpus, filtering its runs and
// building the heat map, against RapidJSON and nlohmann-json parsing the
// same text in the same run.
//
// The corpus (fixed seed): 200 machines with 500 runs each, 100,000 runs over
// 60 benchmarks, 12 targets and 3 devices, five samples per run.
// Targets: load >= 100 MB/s end to end; filter + heat map of 100,000 runs
// under 50 ms.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <random>
#include <rapidjson/document.h>
#include <string>
#include <vector>

#include "CorpusShape.h"
#include "bench/Filter.h"
#include "bench/HeatMap.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/JSON.h"
#include "foundation/String.h"

using namespace quorl;

namespace {

using namespace perfcorpus;
const char* const kCpus[5] = {"AMD Ryzen 9 7950X 16-Core Processor", "Apple M2 Pro", "Intel(R) Core(TM) i7-12700H",
                              "Cortex-A76 (Raspberry Pi 5)", "AMD EPYC 9654 96-Core Processor"};

const std::string& corpusText() {
  static const std::string text = [] {
    std::mt19937_64 random(20240602);
    std::string out;
    out.reserve(40u << 20);
    out += "{\"contributions\":[";
    for (int m = 0; m < kMachines; ++m) {
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
  }();
  return text;
}

const Ref<String>& corpusString() {
  static const Ref<String> text = String::withBytes(corpusText().data(), static_cast<uint32_t>(corpusText().size()));
  return text;
}

void BM_LoadCorpus(benchmark::State& state) {
  const Ref<String>& text = corpusString();
  auto source = String::withCString("corpus");
  uint32_t runs = 0;
  for (auto _ : state) {
    auto list = Contribution::loadText(text, source);
    runs = 0;
    for (uint32_t i = 0; i < list->count(); ++i) runs += cast<Contribution>(list->get(i))->runs->count();
    benchmark::DoNotOptimize(list);
  }
  if (runs != kMachines * kRunsPerMachine) state.SkipWithError("the corpus did not load whole");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text->byteLength());
  state.counters["runs"] = runs;
}
BENCHMARK(BM_LoadCorpus)->Unit(benchmark::kMillisecond);

// The parse alone, to tell the reader's share of the load from the model's.
void BM_JSONParseOnly(benchmark::State& state) {
  const Ref<String>& text = corpusString();
  for (auto _ : state) benchmark::DoNotOptimize(JSON::parse(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text->byteLength());
}
BENCHMARK(BM_JSONParseOnly)->Unit(benchmark::kMillisecond);

void BM_RapidJSONParse(benchmark::State& state) {
  const std::string& text = corpusText();
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse(text.data(), text.size());
    benchmark::DoNotOptimize(document.HasParseError());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
}
BENCHMARK(BM_RapidJSONParse)->Unit(benchmark::kMillisecond);

void BM_NlohmannParse(benchmark::State& state) {
  const std::string& text = corpusText();
  for (auto _ : state) {
    auto document = nlohmann::json::parse(text);
    benchmark::DoNotOptimize(document.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
}
BENCHMARK(BM_NlohmannParse)->Unit(benchmark::kMillisecond);

// Filter every run and build the heat map from the rows of the runs that
// pass. The rows (one per run, as the chart view makes them) are made once;
// the build rewrites their settings, so those are put back between rounds.
void BM_FilterAndHeatMap(benchmark::State& state) {
  auto list = Contribution::loadText(corpusString(), String::withCString("corpus"));
  struct Item {
    Ref<Contribution> contribution;
    Ref<quorl::Run> run;
    Ref<ChartRow> row;
    Ref<String> setting;
  };
  std::vector<Item> items;
  for (uint32_t c = 0; c < list->count(); ++c) {
    auto contribution = cast<Contribution>(list->get(c));
    auto label = contribution->machine->label();
    for (uint32_t r = 0; r < contribution->runs->count(); ++r) {
      auto run = cast<quorl::Run>(contribution->runs->get(r));
      auto row = make<ChartRow>();
      row->bench = run->benchmark;
      row->series = run->target;
      row->setting = String::withFormat("%s %s", run->arch->cString(), run->opt->cString());
      row->value = row->shown = run->value(false);
      row->mean = run->mean;
      row->stddev = run->stddev;
      row->machineText = label;
      row->contribution = contribution;
      items.push_back({contribution, run, row, row->setting});
    }
  }
  // Arg 0: criteria that every run passes, so the heat map gets all 100,000
  // rows; arg 1: "CPU only", which drops the GPU third.
  Filter filter;
  filter.suite = String::withCString("LANGS");
  filter.cpu = String::withCString("");
  filter.gpu = String::withCString("rtx");
  if (state.range(0) == 1) filter.device = String::withCString("CPU only");
  // Arg 2 times the filter alone, arg 3 the heat map alone.
  const bool filtering = state.range(0) != 3, building = state.range(0) != 2;
  auto all = make<Array>();
  for (const Item& item : items) all->add(item.row);
  HeatMap map;
  uint32_t kept = 0, columns = 0;
  for (auto _ : state) {
    auto rows = all;
    if (filtering) {
      rows = make<Array>();
      for (const Item& item : items) {
        if (filter.matches(item.contribution, item.run)) rows->add(item.row);
      }
    }
    if (building) map.build(rows, nullptr, 800);
    kept = rows->count();
    columns = map.colSeries->count();
    state.PauseTiming();
    for (const Item& item : items) item.row->setting = item.setting;
    state.ResumeTiming();
  }
  state.counters["rows"] = kept;
  state.counters["columns"] = columns;
  state.counters["lines"] = map.benches->count();
}
BENCHMARK(BM_FilterAndHeatMap)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
