// The program's own speed: opening a 100,000-run corpus file into the main
// window (chart, table and choices in place, one paint over the headless
// driver's recording surface), and every pick after that.
//
//   App/open/quorl        Controller::loadFile of the corpus file, the window
//                         standing: the whole open as the user waits for it
//   App/reopen            the same file opened again once it is open: every
//                         result set is found loaded already
//   App/open/rapidjson    the floor: the same file read and parsed into a
//                         RapidJSON DOM, nothing else
//   App/open/steps        the open cut into its steps, each timed alone:
//                         counters read_ms, parse_ms, load_ms, merge_ms,
//                         choices_ms, chart_ms, table_ms, paint_ms, total_ms
//                         and each step's share of the total (pct_*)
//   App/pick/*            one pick on the loaded corpus: a CPU filter, the
//                         view mode, the heat-map baseline, the metric; each
//                         rebuilds the chart, reloads the table and paints
//   App/pick/steps        a view pick cut into those steps (chart_ms,
//                         rows_ms, table_ms, paint_ms and their shares)
//   App/chart/drawAt      the chart of the loaded corpus drawn where its
//                         scroll view stands (top left, middle, bottom
//                         right end: 0, 1, 2), in each mode (bars,
//                         summary, heat map: 0, 1, 2); the last argument
//                         the thousands of runs (the heat map at 100, 200,
//                         400 and 1000)
//   App/chart/scrollToEnd from the top left to the bottom right end of the
//                         scroll range, and the chart drawn there, in each mode
//   App/growth/SHAPE/MB   files of 1, 2 and 4 MB whose values are nearly all
//                         distinct (platforms, devices, opt values, machines
//                         with a benchmark each, every text): the open and
//                         the self test, each per MB, beside RapidJSON's
//                         parse of the same bytes
//
// Targets: the open under 1 s; every pick under 50 ms; a chart draw at any
// position under 20 ms, and a scroll to the end with its draw under 50 ms
// (their `ratio` is the budget over our time: 1 or more is within it). The corpus is
// CorpusShape's current shape (fixed seed, 200 machines, 100,000 runs).
// The growth shapes: a time per MB that stays the same from 1 to 4 MB, and
// no open or self test of them past a couple of seconds.
// Status lines go to standard output as in the program; the benchmarks send
// them to /dev/null while they run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <rapidjson/document.h>
#include <string>
#include <unistd.h>

#include "CorpusShape.h"
#include "DiscardingGraphics.h"
#include "Quiet.h"
#include "app/Controller.h"
#include "app/PickView.h"
#include "foundation/Files.h"
#include "foundation/JSON.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"
#include "ux/headless/UXHeadlessDriver.h"

using namespace quorl;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// The corpus as a file, written once.
const std::string& corpusFile() {
  static std::string path;
  if (path.empty()) {
    char templ[] = "/tmp/quorl-app-bench-XXXXXX";
    int fd = mkstemp(templ);
    const std::string& text = perfcorpus::corpusText(perfcorpus::Shape::Current);
    if (fd >= 0) {
      size_t done = 0;
      while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) break;
        done += size_t(n);
      }
      close(fd);
      path = templ;
      std::atexit([] { unlink(path.c_str()); });
    }
  }
  return path;
}

using perf::Quiet;

// A controller with its main window built over the headless driver.
struct Session {
  Ref<UXApplication> app;
  Ref<Controller> controller;
  Session() {
    if (!gDriver) gDriver = make<UXHeadlessDriver>();
    app = make<UXApplication>();
    controller = make<Controller>();
    app->delegate = controller;
    Quiet quiet;
    app->boot();
    controller->applicationDidStart(*app);
  }
  ~Session() {
    app->delegate.reset();
    controller.reset();
    app.reset();
  }
};

void BM_AppOpen(benchmark::State& state) {
  Ref<String> path = String::withCString(corpusFile().c_str());
  uint32_t rows = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      auto session = std::make_unique<Session>();
      Quiet quiet;
      state.ResumeTiming();
      session->controller->loadFile(path);
      state.PauseTiming();
      rows = session->controller->rows->count();
    }
    state.ResumeTiming();
  }
  if (rows != 100000) state.SkipWithError("the corpus did not open whole");
  state.counters["rows"] = rows;
}
BENCHMARK(BM_AppOpen)->Name("App/open/quorl")->Unit(benchmark::kMillisecond)->Iterations(5);

// The same file opened again in the window that holds it: every result set
// is loaded already, and the open finds each one's like and adds nothing.
void BM_AppOpenAgain(benchmark::State& state) {
  Ref<String> path = String::withCString(corpusFile().c_str());
  Session session;
  Controller& c = *session.controller;
  Quiet quiet;
  c.loadFile(path);
  const uint32_t contributions = c.dataSet->contributions().count();
  bool found = true;
  for (auto _ : state) {
    c.loadFile(path);
    found = found && c.dataSet->contributions().count() == contributions && c.lastStatus &&
            c.lastStatus->view().find("(0 new runs; 100000 already loaded)") != std::string_view::npos;
  }
  if (!found) state.SkipWithError("the corpus opened again was not found loaded");
}
BENCHMARK(BM_AppOpenAgain)->Name("App/reopen")->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_AppOpenRapidJSON(benchmark::State& state) {
  Ref<String> path = String::withCString(corpusFile().c_str());
  for (auto _ : state) {
    Ref<String> text = Files::readText(path);
    rapidjson::Document document;
    document.Parse(text->cString(), text->byteLength());
    benchmark::DoNotOptimize(document.IsObject());
  }
}
BENCHMARK(BM_AppOpenRapidJSON)->Name("App/open/rapidjson")->Unit(benchmark::kMillisecond)->Iterations(5);

// The open cut into its steps: what loadFile and rebuild do, in their order.
void BM_AppOpenSteps(benchmark::State& state) {
  Ref<String> path = String::withCString(corpusFile().c_str());
  const char* names[] = {"read", "parse", "load", "merge", "choices", "chart", "table", "paint"};
  double sums[8] = {};
  for (auto _ : state) {
    state.PauseTiming();
    auto session = std::make_unique<Session>();
    Controller& c = *session->controller;
    Quiet quiet;
    state.ResumeTiming();
    double t[8];
    auto at = Clock::now();
    Ref<String> text = Files::readText(path);
    t[0] = msSince(at);
    at = Clock::now();
    Ref<Object> document = JSON::parse(text);
    t[1] = msSince(at);
    at = Clock::now();
    Ref<Array> list = Contribution::loadObject(document, path);
    t[2] = msSince(at);
    at = Clock::now();
    c.dataSet->merge(list);
    t[3] = msSince(at);
    at = Clock::now();
    c.updating = true;
    c.cpuPick->setChoices(c.distinct("cpu"));
    c.gpuPick->setChoices(c.distinct("gpu"));
    c.suitePick->setChoices(c.distinct("suite"));
    c.devicePick->setChoices(c.deviceChoices());
    c.optPick->setChoices(c.distinct("opt"));
    c.archPick->setChoices(c.distinct("arch"));
    c.baselinePick->setChoices(c.distinct("series"));
    c.updating = false;
    t[4] = msSince(at);
    at = Clock::now();
    c.chart->rebuild();
    c.rows->setTo(c.chart->rows);
    const int32_t height = c.chart->height() > 32767 ? 32767 : c.chart->height();
    c.chartScroll->setDocumentHeight(height);
    gDriver->structSetFrame(c.window->tree->driverTree, int16_t(c.chart->node), 0, 0,
                            c.chartScroll->documentView->frame().w(), height);
    t[5] = msSince(at);
    at = Clock::now();
    c.table->reloadData();
    t[6] = msSince(at);
    at = Clock::now();
    c.window->tree->clearDirty();
    gDriver->realizeTree(c.window->handle, gDriver->structObjects(c.window->tree->driverTree));
    gDriver->windowInvalidate(c.window->handle);
    t[7] = msSince(at);
    for (int i = 0; i < 8; i++) sums[i] += t[i];
    state.PauseTiming();
    session.reset();
    state.ResumeTiming();
  }
  double total = 0;
  for (double s : sums) total += s;
  const double n = double(state.iterations());
  for (int i = 0; i < 8; i++) {
    state.counters[std::string(names[i]) + "_ms"] = sums[i] / n;
    state.counters[std::string("pct_") + names[i]] = total > 0 ? 100.0 * sums[i] / total : 0;
  }
  state.counters["total_ms"] = total / n;
}
BENCHMARK(BM_AppOpenSteps)->Name("App/open/steps")->Unit(benchmark::kMillisecond)->Iterations(5);

// Files whose values are nearly all distinct, as a hostile or careless
// writer could make them: every lookup of a value among the values seen so
// far shows here, where a scan makes the time per MB grow with the file.
const char* const kGrowthNames[] = {"par-platforms", "par-devices", "opt-values", "heat-diagonal",
                                    "distinct-texts"};

// The text of a shape, at least `bytes` long.
std::string growthText(int64_t shape, size_t bytes) {
  std::string text;
  text.reserve(bytes + 512);
  const auto number = [](uint64_t i) { return std::to_string(i); };
  // `head`, then items made by `item(i)` joined by commas, then `tail`.
  const auto items = [&](const char* head, const char* tail, auto&& item) {
    text = head;
    for (uint64_t i = 0; text.size() < bytes; ++i) {
      if (i) text += ',';
      item(i);
    }
    text += tail;
  };
  switch (shape) {
    case 0:  // par: each benchmark on a platform of its own
      items("{", "}", [&](uint64_t i) {
        text += "\"bench-" + number(i) + "\":{\"platform-" + number(i) +
                "\":{\"checksum\":\"5d41402abc4b2a76b9719d911017c592\",\"cpu\":{\"best_us\":" + number(i + 1) + "}}}";
      });
      break;
    case 1:  // par: one platform with many devices
      items("{\"nbody\":{\"linux\":{\"checksum\":\"42\",", "}}}", [&](uint64_t i) {
        text += "\"device-" + number(i) + "\":{\"best_us\":" + number(i + 1) + ",\"first_us\":" + number(i + 2) + "}";
      });
      break;
    case 2:  // one contribution whose runs each have an opt of their own
      items(R"({"schema":"quorl-bench/1","machine":{"cpu":"Zen 4"},"runs":[)", "]}", [&](uint64_t i) {
        text += R"({"suite":"langs","benchmark":"bench-)" + number(i % 50) +
                R"(","target":"quorl","device":"cpu","opt":"O-)" + number(i) + R"(","arch":"x86_64","samples_us":[)" +
                number(i + 1) + "]}";
      });
      break;
    case 3:  // machines that share one benchmark and each measure one of their own
      items(R"({"contributions":[)", "]}", [&](uint64_t i) {
        const std::string run = R"({"suite":"langs","target":"quorl","opt":"O3","arch":"x86_64","benchmark":")";
        text += R"({"schema":"quorl-bench/1","machine":{"cpu":"cpu-)" + number(i) + R"("},"runs":[)" + run +
                R"(int_accum","samples_us":[)" + number(i + 1) + "]}," + run + "bench-" + number(i) +
                R"(","samples_us":[)" + number(i + 2) + "]}]}";
      });
      break;
    default:  // machines of four runs, every text of its own
      items(R"({"contributions":[)", "]}", [&](uint64_t i) {
        text += R"({"schema":"quorl-bench/1","machine":{"cpu":"cpu-)" + number(i) + R"(","gpu":"gpu-)" + number(i) +
                R"("},"runs":[)";
        for (uint64_t k = 4 * i; k < 4 * i + 4; ++k) {
          const std::string n = number(k);
          text += R"({"suite":"s-)" + n + R"(","benchmark":"b-)" + n + R"(","target":"t-)" + n + R"(","device":"d-)" +
                  n + R"(","opt":"o-)" + n + R"(","arch":"a-)" + n + R"(","samples_us":[)" + number(k + 1) + "]}";
          text += k + 1 < 4 * i + 4 ? "," : "]}";
        }
      });
      break;
  }
  return text;
}

// Args: the shape (kGrowthNames), the size in MB. Each iteration opens the
// file in a fresh window (loadFile, which rebuilds the pickers, the chart
// and the table), runs the self test on it, and parses it with RapidJSON.
void BM_AppGrowth(benchmark::State& state) {
  const int64_t shape = state.range(0);
  const double megabytes = double(state.range(1));
  const std::string text = growthText(shape, size_t(megabytes * 1e6));
  char templ[] = "/tmp/quorl-app-growth-XXXXXX";
  const int fd = mkstemp(templ);
  if (fd < 0 || write(fd, text.data(), text.size()) != ssize_t(text.size())) {
    if (fd >= 0) close(fd);
    state.SkipWithError("could not write the file");
    return;
  }
  close(fd);
  const Ref<String> path = String::withCString(templ);
  double open = 0, selfTest = 0, parse = 0;
  bool opened = false;
  uint32_t rows = 0;
  for (auto _ : state) {
    auto session = std::make_unique<Session>();
    Controller& c = *session->controller;
    {
      Quiet quiet;
      auto at = Clock::now();
      c.loadFile(path);
      const double openMs = msSince(at);
      opened = c.lastStatus && c.lastStatus->hasPrefix(String::withCString("Opened"));
      rows = c.rows->count();
      c.startPath = path;
      at = Clock::now();
      c.runSelfTest();
      open += openMs;
      selfTest += msSince(at);
      state.SetIterationTime(openMs / 1e3);
    }
    session.reset();
    const auto at = Clock::now();
    rapidjson::Document document;
    document.Parse(text.data(), text.size());
    benchmark::DoNotOptimize(document.IsObject());
    parse += msSince(at);
  }
  unlink(templ);
  const double n = double(state.iterations()), mb = double(text.size()) / 1e6;
  state.SetLabel(kGrowthNames[shape]);
  state.counters["file_MB"] = mb;
  state.counters["opened"] = opened;
  state.counters["rows"] = rows;
  state.counters["open_ms_per_MB"] = open / n / mb;
  state.counters["selftest_ms_per_MB"] = selfTest / n / mb;
  state.counters["rapidjson_ms_per_MB"] = parse / n / mb;
  state.counters["ratio"] = open > 0 ? parse / open : 0;  // our speed over RapidJSON's parse alone
}
BENCHMARK(BM_AppGrowth)
    ->Name("App/growth")
    ->ArgsProduct({{0, 1, 2, 3, 4}, {1, 2, 4}})
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// One loaded session shared by the pick benchmarks.
Session& loaded() {
  static Session* session = [] {
    auto* s = new Session();  // lives to the end of the process
    Quiet quiet;
    s->controller->loadFile(String::withCString(corpusFile().c_str()));
    return s;
  }();
  return *session;
}

// A session with the current shape at `thousands` thousand runs (500 a
// machine): the shared one at 100, else one of its own, kept until another
// size is asked for, its file removed once open.
Session& loadedWith(int64_t thousands) {
  if (thousands == perfcorpus::kMachines * perfcorpus::kRunsPerMachine / 1000) return loaded();
  static std::unique_ptr<Session> session;
  static int64_t made = 0;
  if (!session || made != thousands) {
    session.reset();
    session = std::make_unique<Session>();
    made = thousands;
    char templ[] = "/tmp/quorl-app-bench-XXXXXX";
    const int fd = mkstemp(templ);
    const std::string text = perfcorpus::currentText(int(thousands * 1000 / perfcorpus::kRunsPerMachine));
    size_t done = 0;
    while (fd >= 0 && done < text.size()) {
      const ssize_t n = write(fd, text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += size_t(n);
    }
    if (fd >= 0) close(fd);
    Quiet quiet;
    session->controller->loadFile(String::withCString(templ));
    unlink(templ);
  }
  return *session;
}

// Alternates the pick between two values so that every iteration changes
// something (tags of the view mode and the baseline).
void pickBench(benchmark::State& state, uint32_t tag, Ref<String> a, Ref<String> b) {
  Controller& c = *loaded().controller;
  Quiet quiet;
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    c.applyPick(tag, flip ? a : b);
  }
  state.counters["rows"] = c.rows->count();
}

void BM_PickCpu(benchmark::State& state) {
  Controller& c = *loaded().controller;
  Ref<String> first = cast<String>(c.cpuPick->choices->get(0));
  Quiet quiet;
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    // As the picker does: its selection first, then the controller.
    c.cpuPick->selection = flip ? first : nullptr;
    c.applyPick(kPickCpu, c.cpuPick->selection);
  }
  state.counters["rows"] = c.rows->count();
  c.cpuPick->selection = nullptr;
  c.syncFilter();
}
BENCHMARK(BM_PickCpu)->Name("App/pick/cpu")->Unit(benchmark::kMillisecond);

void BM_PickView(benchmark::State& state) {
  pickBench(state, kPickView, String::withCString("Heat map"), String::withCString("Per benchmark"));
}
BENCHMARK(BM_PickView)->Name("App/pick/view")->Unit(benchmark::kMillisecond);

void BM_PickBaseline(benchmark::State& state) {
  Controller& c = *loaded().controller;
  c.applyPick(kPickView, String::withCString("Heat map"));
  pickBench(state, kPickBaseline, String::withCString("quorl"), nullptr);
  c.applyPick(kPickView, nullptr);
}
BENCHMARK(BM_PickBaseline)->Name("App/pick/baseline")->Unit(benchmark::kMillisecond);

void BM_PickMetric(benchmark::State& state) {
  Controller& c = *loaded().controller;
  Quiet quiet;
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    c.metricPopUp->selectItem(flip ? 1 : 0);
    c.onMetric(c.metricPopUp);
  }
}
BENCHMARK(BM_PickMetric)->Name("App/pick/metric")->Unit(benchmark::kMillisecond);

// A pick cut into its steps (the view mode alternating between the bar
// charts and the heat map, as App/pick/view): the chart's rebuild, the rows
// handed to the table with the chart's frame, the table's reload, the paint.
void BM_PickSteps(benchmark::State& state) {
  Controller& c = *loaded().controller;
  Quiet quiet;
  const char* names[] = {"chart", "rows", "table", "paint"};
  double sums[4] = {};
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    c.chart->mode = flip ? 2 : 0;
    double t[4];
    auto at = Clock::now();
    c.chart->rebuild();
    t[0] = msSince(at);
    at = Clock::now();
    c.rows->setTo(c.chart->rows);
    const int32_t height = c.chart->height() > 32767 ? 32767 : c.chart->height();
    c.chartScroll->setDocumentHeight(height);
    gDriver->structSetFrame(c.window->tree->driverTree, int16_t(c.chart->node), 0, 0,
                            c.chartScroll->documentView->frame().w(), height);
    t[1] = msSince(at);
    at = Clock::now();
    c.table->reloadData();
    t[2] = msSince(at);
    at = Clock::now();
    c.window->tree->clearDirty();
    gDriver->realizeTree(c.window->handle, gDriver->structObjects(c.window->tree->driverTree));
    gDriver->windowInvalidate(c.window->handle);
    t[3] = msSince(at);
    for (int i = 0; i < 4; i++) sums[i] += t[i];
  }
  double total = 0;
  for (double v : sums) total += v;
  const double n = double(state.iterations());
  for (int i = 0; i < 4; i++) {
    state.counters[std::string(names[i]) + "_ms"] = sums[i] / n;
    state.counters[std::string("pct_") + names[i]] = total > 0 ? 100.0 * sums[i] / total : 0;
  }
  c.chart->mode = 0;
  c.rebuild(false);
}
BENCHMARK(BM_PickSteps)->Name("App/pick/steps")->Unit(benchmark::kMillisecond);

// The chart of the loaded corpus in a mode, its scroll view at a position
// (0 the top left, 1 the middle, 2 the bottom right end, sideways too where
// the chart is wider than the view): where the chart lies, what of it is in
// sight, as the scroll view's observer left it. The corpus has `thousands`
// thousand runs.
Controller& chartAt(int64_t mode, int64_t position, int64_t thousands = 100) {
  Controller& c = *loadedWith(thousands).controller;
  static const char* const kModes[3] = {"Per benchmark", "Summary", "Heat map"};
  if (c.chart->mode != mode) {
    Quiet quiet;
    c.applyPick(kPickView, String::withCString(kModes[mode]));
  }
  UXScrollView& scroll = *c.chartScroll;
  scroll.scrollTo(int64_t(scroll.maxScroll()) * position / 2);
  scroll.scrollToX(int64_t(scroll.maxScrollX()) * position / 2);
  return c;
}

void BM_ChartDrawAt(benchmark::State& state) {
  Controller& c = chartAt(state.range(0), state.range(1), state.range(2));
  perf::DiscardingGraphics g;
  const UXRect f = c.chart->frame();
  for (auto _ : state) c.chart->drawRect(g, UXRect(0, 0, f.w(), f.h()));
  state.counters["ratio"] = benchmark::Counter(20e-3, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["calls"] = benchmark::Counter(double(g.calls), benchmark::Counter::kAvgIterations);
  state.counters["height"] = c.chart->height();
  state.counters["width"] = c.chartScroll->documentWidth;
  state.counters["rows"] = c.rows->count();
}
// Args: the mode, the position, thousands of runs (the heat map at 200,000,
// 400,000 and 1,000,000 too: a draw costs what is in sight, whatever the
// rows).
BENCHMARK(BM_ChartDrawAt)
    ->Name("App/chart/drawAt")
    ->ArgsProduct({{0, 1, 2}, {0, 1, 2}, {100}})
    ->ArgsProduct({{2}, {0, 1, 2}, {200, 400}})
    ->ArgsProduct({{2}, {0, 1, 2}, {1000}})
    ->Unit(benchmark::kMillisecond);

void BM_ChartScrollToEnd(benchmark::State& state) {
  Controller& c = chartAt(state.range(0), 0);
  perf::DiscardingGraphics g;
  UXScrollView& scroll = *c.chartScroll;
  for (auto _ : state) {
    scroll.scrollTo(scroll.maxScroll());
    scroll.scrollToX(scroll.maxScrollX());
    const UXRect f = c.chart->frame();
    c.chart->drawRect(g, UXRect(0, 0, f.w(), f.h()));
    state.PauseTiming();
    scroll.scrollTo(0);
    scroll.scrollToX(0);
    state.ResumeTiming();
  }
  state.counters["ratio"] = benchmark::Counter(50e-3, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["max_scroll"] = scroll.maxScroll();
}
BENCHMARK(BM_ChartScrollToEnd)->Name("App/chart/scrollToEnd")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace
