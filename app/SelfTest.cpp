// Controller: the self test ("--selftest FILE") with its heat-map and
// network checks.
//
// Sections:
//   1. the embedded documents and report lines
//   2. runSelfTest
//   3. heatSelfTest
//   4. netSelfTest
//
// Every report line goes to standard output as it is made (and to the
// transcript); failures print one line starting "FAIL:" and count one.
#include <cmath>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "app/Controller.h"
#include "bench/HeatMap.h"
#include "bench/HeatMapDraw.h"
#include "foundation/Data.h"
#include "foundation/JSON.h"
#include "foundation/Platform.h"
#include "net/Net.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. The embedded documents and report lines

const char* const Controller::kRunPyDocument =
    R"({"version":"v0.74","platform":"arm64","repeats":5,"net":{"int_accum":{"O3":{"quorl":1.2,"cpp":1.3,)"
    R"("cpp_x86_64":0.9}}}})";
const char* const Controller::kParDocument =
    R"({"nbody":{"linux":{"checksum":"42","gpu":{"best_us":1051,"first_us":202245},)"
    R"("cpu":{"best_us":66500,"first_us":67000}}}})";
const char* const Controller::kCorpusDocument =
    R"({"contributions":[{"schema":"quorl-bench/1","machine":{"cpu":"Test"},"runs":[{"suite":"langs",)"
    R"("benchmark":"b","target":"quorl","device":"cpu","opt":"O3","samples_us":[1,2,3],"best_us":1}]}]})";

namespace {

// A text of the file in a report line: cut as every outside text is.
Ref<String> textOf(const Ref<String>& value) { return value ? Stdio::quote(value) : String::withCString("(null)"); }

bool same(const Ref<String>& value, const char* text) {
  return value && value->equalsIgnoringCase(String::withCString(text));
}

Ref<String> runLabel(const Run& run) {
  return String::withFormat("%s/%s/%s/%s", textOf(run.benchmark)->cString(), textOf(run.target)->cString(),
                            textOf(run.device)->cString(), textOf(run.opt)->cString());
}

int32_t runsIn(const Array& contributions) {
  uint32_t total = 0;
  for (uint32_t i = 0; i < contributions.count(); i++) {
    if (Ref<Contribution> c = cast<Contribution>(contributions.get(i))) total += c->runs->count();
  }
  return int32_t(total);
}

}  // namespace

// Report lines carry texts from the file and the server (machine names,
// series, a reply's body, a failure's reason): each comes through
// Stdio::quote and after the report's own words, and each line is one line
// whatever they held.
void Controller::report(const Ref<String>& line) {
  uint32_t n = line ? line->byteLength() : 0;
  if (n > 0 && line->byteAt(n - 1) == '\n') n--;
  Ref<String> shown = Stdio::lineOfQuoted(line ? line->substringBytes(0, n) : nullptr);
  shown->appendByte('\n');
  print(shown);
}

Ref<String> Controller::shownBody(const uint8_t* bytes, uint32_t length) {
  return Stdio::quote(bytes, length, kMaxBodyShown);
}

// ---------------------------------------------------------------------------
// 2. runSelfTest

void Controller::runSelfTest() {
  perform([&] { runChecks(); },
          [&] {
            report(String::withCString("FAIL: the self test ran out of memory\n"));
            exitCode = 1;
            selfTestCompleted = true;
          });
  // Nobody saw a report that did not reach its reader whole: whatever it
  // said, the run did not pass.
  if (outputLost) exitCode = kExitReportLost;
}

void Controller::runChecks() {
  // 1. No file.
  if (!startPath) {
    report(String::withCString("FAIL: --selftest needs a file\n"));
    exitCode = 2;
    selfTestCompleted = true;
    return;
  }
  // 2. No data.
  Ref<Contribution> first = dataSet->at(0);
  if (!first) {
    report(String::withFormat("FAIL: could not parse %s\n", Stdio::quote(startPath)->cString()));
    exitCode = 1;
    selfTestCompleted = true;
    return;
  }
  int32_t failures = 0;
  auto fail = [&](const Ref<String>& line) {
    report(line);
    failures++;
  };

  // 3. The first contribution.
  report(String::withFormat("machine:  %s\n", textOf(first->machine->label())->cString()));
  report(String::withFormat("runs:     %d\n", int32_t(first->runs->count())));

  // 4. Its runs.
  for (uint32_t i = 0; i < first->runs->count(); i++) {
    Ref<Run> run = cast<Run>(first->runs->get(i));
    if (!run) continue;
    if (run->samples->count() == 0)
      fail(String::withFormat("FAIL: no samples for %s\n", runLabel(*run)->cString()));
    if (run->mean < 0.0) fail(String::withFormat("FAIL: negative mean for %s\n", runLabel(*run)->cString()));
  }

  // 5. The CPU-only filter, over every run with its owner.
  struct Owned {
    Contribution* owner;
    Run* run;
  };
  std::vector<Owned> all;
  {
    // The owner of a run is the first contribution that holds it.
    std::unordered_map<const Run*, Contribution*> owners;
    const Array& contributions = dataSet->contributions();
    for (uint32_t c = 0; c < contributions.count(); c++) {
      auto* contribution = dynamic_cast<Contribution*>(contributions.get(c).get());
      if (!contribution) continue;
      const Array& runs = *contribution->runs;
      for (uint32_t r = 0; r < runs.count(); r++) {
        auto* run = dynamic_cast<Run*>(runs.get(r).get());
        if (!run) continue;
        auto known = owners.try_emplace(run, contribution).first;
        all.push_back({known->second, run});
      }
    }
  }
  const int32_t total = int32_t(all.size());
  {
    Ref<Filter> cpuOnly = make<Filter>();
    cpuOnly->device = String::withCString("CPU only");
    int32_t kept = 0, gpuRuns = 0;
    for (const Owned& o : all) {
      if (cpuOnly->matches(o.owner, o.run)) kept++;
      if (o.run->isGpu()) gpuRuns++;
    }
    report(String::withFormat("cpu-only: %d of %d (%d GPU runs)\n", kept, total, gpuRuns));
    if (gpuRuns > 0 && kept >= total) fail(String::withCString("FAIL: the CPU-only filter kept the GPU runs\n"));
  }

  // 6. The choices.
  report(String::withFormat("filters: cpu %d, suite %d, opt %d, device %d\n", int32_t(distinct("cpu")->count()),
                            int32_t(distinct("suite")->count()), int32_t(distinct("opt")->count()),
                            int32_t(deviceChoices()->count())));

  // 7. The CPU filter.
  {
    Ref<Array> cpus = distinct("cpu");
    if (cpus->count() > 0) {
      Ref<Filter> byCpu = make<Filter>();
      byCpu->cpu = cast<String>(cpus->get(0));
      int32_t kept = 0;
      for (const Owned& o : all)
        if (byCpu->matches(o.owner, o.run)) kept++;
      report(String::withFormat("cpu filter '%s': %d of %d\n", textOf(byCpu->cpu)->cString(), kept, total));
      if (cpus->count() >= 2 && (kept == 0 || kept == total))
        fail(String::withCString("FAIL: cpu filter had no effect\n"));
    }
  }

  // 8. JSON round trip of an own-schema first contribution.
  if (same(first->schema, "quorl-bench/1")) {
    Ref<String> text;
    bool threw = false;
    try {
      text = JSON::stringify(first->root);
    } catch (const JSONError&) {
      threw = true;
    }
    if (threw || !text) {
      fail(String::withCString("FAIL: round-trip threw\n"));
    } else {
      Ref<Contribution> back = Contribution::fromText(text, String::withCString("roundtrip"));
      if (!back || back->runs->count() != first->runs->count())
        fail(String::withCString("FAIL: JSON round-trip lost runs\n"));
    }
  }

  // 9. The chart of the main window.
  {
    const int32_t chartRows = chart ? int32_t(chart->rows->count()) : 0;
    report(String::withFormat("chart:    %d rows\n", chartRows));
    if (chartRows < 1) fail(String::withCString("FAIL: chart drew no rows\n"));
  }

  // 10. The heat map.
  failures += heatSelfTest();

  // 11. The run.py document.
  {
    Ref<Array> list = Contribution::loadText(String::withCString(kRunPyDocument), String::withCString("test"));
    const int32_t runs = runsIn(*list);
    if (!(runs == 3 && list->count() == 2))
      fail(String::withFormat("FAIL: run.py results.json split wrong (%d contribs, %d runs)\n",
                              int32_t(list->count()), runs));
  }
  // 12. The par document.
  {
    Ref<Array> list = Contribution::loadText(String::withCString(kParDocument), String::withCString("test"));
    Ref<Contribution> only = list->count() == 1 ? cast<Contribution>(list->get(0)) : nullptr;
    if (!(only && only->runs->count() == 2))
      fail(String::withFormat("FAIL: par results.json did not load (got %d)\n", int32_t(list->count())));
  }
  // 13. The corpus document.
  {
    const int32_t before = int32_t(dataSet->contributions().count());
    mergeCorpus(String::withCString(kCorpusDocument));
    const int32_t added = int32_t(dataSet->contributions().count()) - before;
    if (added != 1) fail(String::withFormat("FAIL: corpus merge added %d\n", added));
  }
  // 14. The server.
  failures += netSelfTest();

  // 15, 16.
  if (failures == 0) report(String::withCString("PASS\n"));
  else report(String::withFormat("FAIL: %d check(s)\n", failures));
  exitCode = failures != 0 ? 1 : 0;
  selfTestCompleted = true;
}

// ---------------------------------------------------------------------------
// 3. heatSelfTest

int32_t Controller::heatSelfTest() {
  const double kStart = double(1e30f);
  const double kUnit = double(1e-9f);
  const double kExpected = double(126100.0f / 117900.0f);
  const double kTolerance = double(1e-6f);

  Ref<Filter> langs = make<Filter>();
  langs->suite = String::withCString("langs");
  langs->opt = String::withCString("O3");
  langs->arch = String::withCString("x86_64");
  Ref<ChartView> view = make<ChartView>();
  view->dataSet = dataSet;
  view->filter = langs;
  view->rebuild();

  int32_t failures = 0;
  auto fail = [&](const Ref<String>& line) {
    report(line);
    failures++;
  };
  Ref<HeatMap> heat = view->heatMap;
  const uint32_t rowCount = heat->benchmarks()->count();
  const uint32_t columnCount = heat->columnSeries()->count();
  report(String::withFormat("heat map: %d benchmarks x %d series\n", int32_t(rowCount), int32_t(columnCount)));
  if (rowCount < 1 || columnCount < 2) {
    report(String::withCString("FAIL: heat map too small\n"));
    return 1;
  }

  // The map's own lookups scan every row for each cell, and most cells of a
  // large map hold no row: the drawing's index answers in one step and
  // names the cells that hold one, so that the checks grow with the rows.
  // An index stands for one build of the map.
  auto lookup = std::make_unique<HeatMapLookup>(*heat);
  std::vector<double> minimum(rowCount, kStart);
  uint64_t measured = 0;
  for (uint32_t c = 0; c < columnCount; c++) {
    for (const uint32_t r : lookup->filledLines(c)) {
      double ratio = 0;
      bool grey = false;
      if (!lookup->ratio(r, c, ratio, grey)) continue;
      measured++;
      if (ratio < minimum[r]) minimum[r] = ratio;
    }
  }
  for (uint32_t r = 0; r < rowCount; r++) {
    // A line none of whose runs has a time has no fastest run, and every
    // cell of it is "-".
    if (!lookup->fastest(r)) continue;
    if (std::fabs(minimum[r] - 1.0) > kUnit)
      fail(String::withFormat("FAIL: the fastest of row %d is %.3fx, not 1x\n", int32_t(r), minimum[r]));
  }
  if (measured == uint64_t(rowCount) * columnCount)
    fail(String::withCString("FAIL: no unmeasured cell (sample has one)\n"));

  view->baseline = String::withCString("quorl");
  view->rebuild();
  heat = view->heatMap;
  const uint32_t columns2 = heat->columnSeries()->count();
  lookup = std::make_unique<HeatMapLookup>(*heat);
  for (uint32_t c = 0; c < columns2; c++) {
    Ref<String> series = cast<String>(heat->columnSeries()->get(c));
    const std::span<const uint32_t> lines = lookup->filledLines(c);
    for (const uint32_t r : lines) {
      double ratio = 0;
      bool grey = false;
      if (!lookup->ratio(r, c, ratio, grey)) continue;
      if (same(series, "quorl")) {
        if (std::fabs(ratio - 1.0) > kUnit) fail(String::withFormat("FAIL: quorl over quorl is %.3fx\n", ratio));
      } else if (same(series, "C++ (clang)") && same(cast<String>(heat->benchmarks()->get(r)), "int_accum")) {
        report(String::withFormat("heat map: int_accum clang over quorl %.4fx\n", ratio));
        if (std::fabs(ratio - kExpected) > kTolerance) fail(String::withCString("FAIL: wrong ratio\n"));
      }
    }
    double mean = 0;
    const bool hasMean = HeatMap::geomeanOf(
        heat->benchmarks(), lines, [&](uint32_t i, double& r, bool& grey) { return lookup->ratio(i, c, r, grey); },
        mean);
    if (hasMean && same(series, "C++ (clang)") && std::fabs(mean - kExpected) > kTolerance)
      fail(String::withFormat("FAIL: the geometric mean kept matrix_mul_f32 (%.3fx)\n", mean));
    if (hasMean) {
      Ref<String> setting = cast<String>(heat->columnSettings()->get(c));
      report(String::withFormat("  %-12s %-10s geomean %.3fx\n", textOf(series)->cString(), textOf(setting)->cString(),
                                mean));
    }
  }
  return failures;
}

// ---------------------------------------------------------------------------
// 4. netSelfTest

int32_t Controller::netSelfTest() {
  // A value too long to read is set all the same: no skip, and no default.
  Ref<String> variable = String::withCString("QUORL_BENCH_SERVER");
  if (Platform::env(variable)->isEmpty() && !Platform::envTooLong(variable)) {
    report(String::withCString("net:      skipped (set QUORL_BENCH_SERVER to test the corpus)\n"));
    return 0;
  }
  int32_t failures = 0;
  auto fail = [&](const Ref<String>& line) {
    report(line);
    failures++;
  };
  // No address (the server cannot be taken): Net's last error says why.
  auto download = [] {
    Ref<String> url = serverAddress("/benchmarks/corpus.php");
    return url ? Net::get(url) : nullptr;
  };

  Ref<String> corpus = download();
  if (!corpus) {
    report(String::withFormat("FAIL: corpus download: %s\n", Stdio::quote(Net::lastError())->cString()));
    return 1;
  }
  // Read as a download is, within its budget.
  Reading reading = readDocument(std::move(corpus), String::withCString("corpus"));
  if (reading.failure) {
    report(String::withFormat("FAIL: corpus download: %s\n", reading.failure));
    return 1;
  }
  const Ref<Array> list = std::move(reading.contributions);
  reading = Reading{};
  int32_t published = 0;
  for (uint32_t i = 0; i < list->count(); i++) {
    Ref<Contribution> c = cast<Contribution>(list->get(i));
    if (c && same(c->source, "published")) published++;
  }
  const int32_t before = int32_t(list->count());
  report(String::withFormat("net:      corpus has %d contribution(s), %d published\n", before, published));
  if (published == 0) fail(String::withCString("FAIL: the corpus carries no published results\n"));

  if (!ownContribution) {
    report(String::withCString("FAIL: nothing of our own to submit\n"));
    return failures + 1;
  }
  Ref<String> body = ownContributionText();
  if (!body) {
    report(String::withCString("FAIL: the contribution could not be serialised\n"));
    return failures + 1;
  }
  for (int32_t i = 1; i <= 2; i++) {
    Ref<String> url = serverAddress("/benchmarks/submit.php");
    Ref<HttpResponse> response = url ? Net::post(url, body, kMaxReplyBytes) : nullptr;
    if (!response) {
      report(String::withFormat("FAIL: submit: %s\n", Stdio::quote(Net::lastError())->cString()));
      return failures + 1;
    }
    // Appended, not formatted: a 0 byte of the body is shown, not an end.
    Ref<String> line = String::withFormat("net:      submit %d -> %d ", i, int32_t(response->status));
    if (response->body) line->append(shownBody(response->body->bytes(), response->body->length()));
    report(line);
    const int32_t expected = i == 1 ? 200 : 429;
    if (int32_t(response->status) != expected)
      fail(String::withFormat("FAIL: submit %d answered %d, not %d\n", i, int32_t(response->status), expected));
  }
  Ref<String> again = download();
  Ref<Array> afterList = again ? readDocument(std::move(again), String::withCString("corpus")).contributions : nullptr;
  const int32_t after = afterList ? int32_t(afterList->count()) : 0;
  report(String::withFormat("net:      corpus now has %d contribution(s)\n", after));
  if (after != before + 1) fail(String::withCString("FAIL: the submission is not in the corpus\n"));
  return failures;
}

}  // namespace quorl
