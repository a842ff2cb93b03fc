// The whole application through the scripted driver: the window and its
// menu as built, menu items and buttons by their events, picks through the
// pickers' menus, opening through the file chooser, the runs table's rows
// and cells; and the entry point's command line and exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "HostsAsked.h"
#include "Rounds.h"
#include "ShownText.h"
#include "bench/HeatMap.h"
#include "ux/core/UXViewTree.h"
#include "ux/panels/UXFilePanel.h"

using namespace quorl;
using namespace quorl::apptest;

namespace {

class App : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
#ifdef _WIN32
    _putenv_s("QUORL_BENCH_SERVER", "");
#else
    unsetenv("QUORL_BENCH_SERVER");
#endif
  }
  // The attached control of class T whose title is `title`.
  template <class T> Ref<T> find(const char* title) {
    const Array& views = *controller->window->tree->views;
    for (uint32_t i = 0; i < views.count(); i++) {
      Ref<T> v = cast<T>(views.get(i));
      if (v && std::string(v->title) == title) return v;
    }
    ADD_FAILURE() << "no view titled " << title;
    return nullptr;
  }
  void openSample(const char* name) {
    driver->fileOpenAnswers.push_back(samplePath(name));
    menu(0);
  }
  // Opens these bytes, written to a file of that name, through the chooser.
  void openText(const char* name, const std::string& bytes) {
    driver->fileOpenAnswers.push_back(files.write(name, bytes));
    menu(0);
  }
  TempDir files;
};

// The window as the layout lays it out: every view under its parent in the
// order built, its frame in the parent, its autoresize mask and what it
// shows (captions, titles, pop-up items, picker tags and texts). A scroll
// view lists the views of its document; the table's parts are its own.
void outline(const Ref<UXView>& parent, int depth, std::string& out) {
  for (uint32_t i = 0; i < parent->subviews->count(); i++) {
    Ref<UXView> v = cast<UXView>(parent->subviews->get(i));
    const UXRect f = v->frame();
    out += std::string(size_t(2 * depth), ' ') + v->classNameC() + " " + std::to_string(f.x()) + "," +
           std::to_string(f.y()) + "," + std::to_string(f.w()) + "," + std::to_string(f.h()) + " " +
           std::to_string(v->autoresizeMask);
    if (Ref<UXPopUpButton> p = cast<UXPopUpButton>(v)) {
      for (uint32_t k = 0; k < p->itemCount(); k++) out += std::string(k ? "|" : " \"") + p->itemTitle(k);
      out += "\"";
    } else if (Ref<UXControl> c = cast<UXControl>(v)) {
      out += std::string(" \"") + c->title + "\"";
    } else if (Ref<PaneView> pane = cast<PaneView>(v)) {
      out += std::string(" \"") + pane->title + "\"";
    } else if (Ref<PickView> pick = cast<PickView>(v)) {
      out += " tag " + std::to_string(pick->tag) + " \"" + str(pick->shownText()) + "\"";
    }
    out += "\n";
    if (Ref<UXScrollView> scroll = cast<UXScrollView>(v)) outline(scroll->documentView, depth + 1, out);
    else if (!cast<UXTableView>(v)) outline(v, depth + 1, out);
  }
}

TEST_F(App, WindowMenuAndLayoutAsBuilt) {
  open();
  const UXHeadlessDriver::Window* w = driver->window(handle());
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->title, "quorl benchmark visualiser");
  const UXHeadlessDriver::MenuBar* bar = driver->menuBar(app->menuBar->handle);
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->titles, std::vector<std::string>{"File"});
  EXPECT_EQ(bar->items[0], (std::vector<std::string>{"Open a contribution...", "Download contributions", "-",
                                                     "Submit to the corpus"}));
  EXPECT_EQ(str(controller->lastStatus), "<null>");  // the builder says nothing

  std::string views;
  outline(controller->window->contentView, 0, views);
  EXPECT_EQ(views,
            "UXView 0,0,250,720 37\n"
            "  PaneView 8,8,234,60 5 \"Data\"\n"
            "    UXButton 10,24,104,24 0 \"Open JSON...\"\n"
            "    UXButton 120,24,104,24 0 \"Download\"\n"
            "  PaneView 8,76,234,466 5 \"Filters and view\"\n"
            "    UXLabel 10,24,200,16 0 \"CPU\"\n"
            "    PickView 10,40,214,24 0 tag 0 \"Any\"\n"
            "    UXLabel 10,70,200,16 0 \"GPU\"\n"
            "    PickView 10,86,214,24 0 tag 1 \"Any\"\n"
            "    UXLabel 10,116,200,16 0 \"Suite\"\n"
            "    PickView 10,132,214,24 0 tag 2 \"Any\"\n"
            "    UXLabel 10,162,200,16 0 \"Device\"\n"
            "    PickView 10,178,214,24 0 tag 4 \"Any\"\n"
            "    UXLabel 10,208,200,16 0 \"Optimisation\"\n"
            "    PickView 10,224,214,24 0 tag 3 \"Any\"\n"
            "    UXLabel 10,254,200,16 0 \"Arch\"\n"
            "    PickView 10,270,214,24 0 tag 6 \"Any\"\n"
            "    UXLabel 10,300,200,16 0 \"View\"\n"
            "    PickView 10,316,214,24 0 tag 5 \"Per benchmark\"\n"
            "    UXLabel 10,346,200,16 0 \"Heat map baseline\"\n"
            "    PickView 10,362,214,24 0 tag 7 \"Fastest\"\n"
            "    UXLabel 10,392,200,16 0 \"Metric\"\n"
            "    UXPopUpButton 10,408,214,24 0 \"Time (ms)|Speed-up over slowest\"\n"
            "    UXCheckbox 10,440,214,20 0 \"First run (one-off costs)\"\n"
            "  PaneView 8,630,234,82 9 \"Publish\"\n"
            "    UXCheckbox 10,24,214,20 0 \"I agree to publish this run\"\n"
            "    UXButton 10,50,214,24 0 \"Submit to the corpus\"\n"
            "UXScrollView 258,8,834,534 53\n"
            "  ChartView 0,0,834,400 0\n"
            "UXTableView 258,550,834,140 25\n"
            "UXLabel 262,696,826,18 25 \"Open your results JSON, or Download the published results and everyone's "
            "runs.\"\n");

  const char* titles[] = {"Benchmark", "Series", "Best", "Spread", "Machine", "Parameters"};
  const int widths[] = {130, 120, 90, 90, 180, 380};
  ASSERT_EQ(controller->table->columns->count(), 6u);
  for (int i = 0; i < 6; i++) {
    EXPECT_STREQ(controller->table->columnTitle(i), titles[i]);
    EXPECT_EQ(controller->table->columnWidth(i), widths[i]);
  }
  EXPECT_EQ(joined(controller->viewPick->choices), "Per benchmark|Summary|Heat map");
  EXPECT_EQ(controller->metricPopUp->selectedIndex, 0);
  EXPECT_EQ(controller->table->rowCount, 0);
  EXPECT_EQ(controller->cpuPick->windowHandle, handle());
}

// Open through the menu and the button, both through the file chooser; a
// cancelled choice says nothing.
TEST_F(App, OpeningThroughTheFileChooser) {
  open();
  driver->logging = true;
  openSample("selftest.json");
  // The window painted once the chooser closed, then the wait cursor for the load.
  EXPECT_EQ(driver->only({"fileOpen", "windowPaintAll", "setBusy", "windowInvalidate"}),
            (std::vector<std::string>{"fileOpen \"Open a contribution\" \".\" ptr 1024", "windowPaintAll 1",
                                      "setBusy 1", "windowInvalidate 1", "windowInvalidate 1", "setBusy 0"}));
  driver->logging = false;
  EXPECT_EQ(take(), "Opened 19 runs: selftest.json\n");
  EXPECT_STREQ(controller->statusLabel->title, "Opened 19 runs: selftest.json");
  EXPECT_EQ(controller->rows->count(), 19u);
  EXPECT_EQ(controller->table->rowCount, 19);

  menu(0);  // no answer queued: the chooser is cancelled
  EXPECT_EQ(take(), "");

  driver->fileOpenAnswers.push_back(samplePath("contributions.json"));
  click(find<UXButton>("Open JSON..."));
  EXPECT_EQ(take(), "Opened 5 runs: contributions.json\n");
  EXPECT_EQ(controller->rows->count(), 24u);
  EXPECT_EQ(joined(controller->cpuPick->choices),
            "AMD Ryzen 9 7950X 16-Core Processor|Intel(R) Core(TM) i7-12700H");
}

// Without a native dialog the toolkit's own file panel comes up over the
// main window: a click on a row and one on "Open" choose the file.
TEST_F(App, OpeningThroughTheToolkitFilePanel) {
  open();
  driver->fileOpenAvailable = false;
  TempDir dir;
  dir.write("b.json", "{}");
  dir.write("a.json", R"({"schema":"quorl-bench/1","machine":{"cpu":"Mine"},"runs":[{},{}]})");
  gFileLastDir = dir.path;
  driver->postMenu(0, 0);
  // Rows of 18 px under the header: "..", then the files by name.
  const uint32_t panel = handle() + 1;
  driver->postMouseDown(panel, 100, int16_t(98 + 18 * 1 + 9));
  driver->postMouseDown(panel, 389, 305);  // "Open"
  pump();
  EXPECT_EQ(take(), "Opened 2 runs (2 runs with no best time): a.json\n");
  EXPECT_EQ(controller->rows->count(), 2u);
  EXPECT_NE(controller->ownContribution, nullptr);
  EXPECT_EQ(driver->window(panel), nullptr);  // the panel is gone

  driver->postMenu(0, 0);
  driver->postClose(panel);  // the panel closed: cancelled, nothing said
  pump();
  EXPECT_EQ(take(), "");
  gFileLastDir.clear();
}

// A known run reads in every column as its row in the chart has it: the
// name, the series with the architecture, the best time, the spread of the
// samples, the machine and the parameter line. After more files the table
// answers exactly the chart's rows, in its order, and its row views show the
// data source's own texts.
TEST_F(App, TableRowsAndCells) {
  open();
  openText("known.json",
           R"({"schema":"quorl-bench/1","machine":{"cpu":"Zen 4","gpu":"RTX 4070"},"runs":[{"suite":"langs",)"
           R"("benchmark":"fib","target":"cpp","device":"cpu","opt":"O3","arch":"x86_64",)"
           R"("samples_us":[1000,1500,2600],"best_us":1234,"params":{"n":30,"mode":"fast"}}]})");
  UXTableView& table = *controller->table;
  ASSERT_EQ(table.rowCount, 1);
  const char* const known[6] = {
      "fib",                  // Benchmark
      "C++ (clang)  x86-64",  // Series: the series, two blanks, the architecture
      "1.2 ms",               // Best: 1234 us
      "+/- 668.3",            // Spread: the samples' standard deviation, sqrt(1340000 / 3)
      "Zen 4 + RTX 4070",     // Machine
      "langs \xC2\xB7 cpp O3 x86_64 \xC2\xB7 n=30 \xC2\xB7 mode=fast",  // Parameters
  };
  for (uint32_t col = 0; col < 6; col++) EXPECT_STREQ(table.nativeCellText(0, int32_t(col)), known[col]) << col;

  // A run with no best time is listed after the drawn rows of its benchmark
  // with "-" for its numbers, and the chart leaves it out; with "First run"
  // ticked it has its first time, in the chart and in the table.
  take();
  openText("first.json",
           R"({"schema":"quorl-bench/1","machine":{"cpu":"Box"},"runs":[{"benchmark":"fib","target":"cpp",)"
           R"("samples_us":[-5,1152921504606846976],"best_us":-1,"first_us":120},{"benchmark":"fib","best_us":300}]})");
  EXPECT_EQ(take(), "Opened 2 runs (3 impossible times left out; 1 run with no best time): first.json\n");
  const auto column = [&](int32_t col) {
    std::string out;
    for (int32_t r = 0; r < table.rowCount; r++) out += std::string(r ? "|" : "") + table.nativeCellText(r, col);
    return out;
  };
  EXPECT_EQ(column(2), "300 us|1.2 ms|-");
  EXPECT_EQ(column(3), "-|+/- 668.3|-");  // no samples, no spread
  EXPECT_EQ(controller->chart->rows->count(), 2u);
  click(controller->firstRunBox);
  EXPECT_EQ(column(2), "120 us|300 us|1.2 ms");
  EXPECT_EQ(controller->chart->rows->count(), 3u);
  click(controller->firstRunBox);

  openSample("selftest.json");
  const Array& chartRows = *controller->chart->listed;
  ASSERT_EQ(uint32_t(table.rowCount), chartRows.count());
  for (uint32_t r = 0; r < chartRows.count(); r++) {
    Ref<ChartRow> row = cast<ChartRow>(chartRows.get(r));
    EXPECT_EQ(controller->rows->get(r), row);
    EXPECT_STREQ(table.nativeCellText(int32_t(r), 0), row->bench->cString());
    EXPECT_STREQ(table.nativeCellText(int32_t(r), 1), row->label->cString());
  }
  Ref<UXTableRow> first = table.rowViewFor(0);
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(first->subviews->count(), 6u);
  for (uint32_t col = 0; col < 6; col++) {
    Ref<UXTableCell> cell = cast<UXTableCell>(first->subviews->get(col));
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text, controller->valueForCell(table, 0, col)) << col;  // the same bytes, not a copy
  }
}

// Picks set the filter, the mode and the baseline; the metric and the
// first-run box survive a reset, the filters do not.
TEST_F(App, PicksFiltersAndSettings) {
  open();
  openSample("contributions.json");
  take();
  choose(controller->cpuPick, 2);  // "Intel(R) Core(TM) i7-12700H"
  EXPECT_EQ(str(controller->filter->pickedCpu), "Intel(R) Core(TM) i7-12700H");
  EXPECT_EQ(controller->filter->cpu, nullptr);  // a pick is no typed part
  EXPECT_EQ(str(controller->cpuPick->shownText()), "Intel(R) Core(TM) i7-12700H");
  EXPECT_EQ(controller->rows->count(), 2u);
  EXPECT_EQ(controller->table->rowCount, 2);

  choose(controller->cpuPick, 0);  // "Any"
  EXPECT_EQ(controller->filter->pickedCpu, nullptr);
  EXPECT_EQ(controller->rows->count(), 5u);

  const struct {
    int32_t entry;
    int32_t mode;
    const char* shown;
  } modes[] = {{3, 2, "Heat map"}, {2, 1, "Summary"}, {0, 0, "Any"}, {1, 0, "Per benchmark"}};
  for (const auto& k : modes) {
    choose(controller->viewPick, k.entry);
    EXPECT_EQ(controller->chart->mode, k.mode) << k.shown;
    EXPECT_EQ(str(controller->viewPick->shownText()), k.shown);
  }

  choose(controller->baselinePick, 1);
  Ref<String> series = cast<String>(controller->baselinePick->choices->get(0));
  EXPECT_EQ(str(controller->chart->baseline), str(series));
  EXPECT_EQ(str(controller->chart->heatMap->baseline), str(series));

  driver->runPopupAnswers.push_back(1);
  click(controller->metricPopUp);
  EXPECT_EQ(controller->chart->metric, 1);
  click(controller->firstRunBox);
  EXPECT_TRUE(controller->chart->firstRun);
  choose(controller->suitePick, 1);
  ASSERT_NE(controller->filter->suite, nullptr);

  openSample("par-results.json");  // a reset
  EXPECT_EQ(controller->filter->suite, nullptr);
  EXPECT_EQ(controller->suitePick->selection, nullptr);
  EXPECT_EQ(controller->chart->baseline, nullptr);
  EXPECT_EQ(controller->chart->metric, 1);
  EXPECT_TRUE(controller->chart->firstRun);
  EXPECT_EQ(controller->chart->mode, 0);
  EXPECT_EQ(str(controller->viewPick->shownText()), "Per benchmark");
  EXPECT_EQ(take(), "Opened 13 runs: par-results.json\n");
}

// Each filter picker, picked through its menu, sets its own criterion and
// no other and narrows the runs; the view mode, the metric and the
// first-run box keep it; opening a file clears every criterion with the
// pickers, so no filter survives that the pickers do not show.
TEST_F(App, EveryFilterPickerNarrowsTheRunsUntilAFileIsOpened) {
  open();
  openText("three.json",
           R"([{"schema":"quorl-bench/1","machine":{"cpu":"Alpha 7","gpu":"Alpha GPU"},"runs":[)"
           R"({"suite":"langs","benchmark":"fib","target":"quorl","device":"serial","opt":"O2","arch":"x86_64",)"
           R"("samples_us":[10]},{"suite":"par","benchmark":"mandel","device":"gpu","opt":"O3","arch":"arm64",)"
           R"("samples_us":[20]}]},{"schema":"quorl-bench/1","machine":{"cpu":"Beta 9","gpu":"Beta GPU"},"runs":[)"
           R"({"suite":"langs","benchmark":"fib","target":"cpp","device":"cpu","opt":"O3","arch":"riscv64",)"
           R"("samples_us":[30]}]}])");
  ASSERT_EQ(take(), "Opened 3 runs: three.json\n");
  Filter& filter = *controller->filter;
  // The six criteria in the filter's order: cpu, gpu, suite, device, opt, arch.
  auto criteria = [&] {
    std::string out;
    for (const Ref<String>* c :
         {&filter.pickedCpu, &filter.pickedGpu, &filter.suite, &filter.device, &filter.opt, &filter.arch})
      out += (out.empty() ? "" : ",") + (*c ? str(*c) : std::string("-"));
    return out;
  };
  const struct {
    Ref<PickView> Controller::*picker;
    const char* choices;  // after the none-label "Any", entry 0
    int32_t entry;
    const char* criteria;
    uint32_t rows;
  } cases[] = {
      {&Controller::cpuPick, "Alpha 7|Beta 9", 2, "Beta 9,-,-,-,-,-", 1},
      {&Controller::gpuPick, "Alpha GPU|Beta GPU", 1, "-,Alpha GPU,-,-,-,-", 2},
      {&Controller::suitePick, "langs|par", 2, "-,-,par,-,-,-", 1},
      {&Controller::devicePick, "one thread|GPU|all threads|CPU only|GPU only", 4, "-,-,-,CPU only,-,-", 2},
      {&Controller::optPick, "O2|O3", 2, "-,-,-,-,O3,-", 2},
      {&Controller::archPick, "x86_64|arm64|riscv64", 3, "-,-,-,-,-,riscv64", 1},
  };
  for (const auto& k : cases) {
    const Ref<PickView>& picker = (*controller).*k.picker;
    SCOPED_TRACE(k.criteria);
    EXPECT_EQ(joined(picker->choices), k.choices);
    choose(picker, k.entry);
    EXPECT_EQ(criteria(), k.criteria);
    EXPECT_EQ(controller->rows->count(), k.rows);

    // The view's settings keep the criterion; only opening a file drops it.
    choose(controller->viewPick, controller->chart->mode == 0 ? 2 : 1);
    driver->runPopupAnswers.push_back(1 - controller->metricPopUp->selectedIndex);
    click(controller->metricPopUp);
    click(controller->firstRunBox);
    EXPECT_EQ(criteria(), k.criteria);
    EXPECT_EQ(controller->rows->count(), k.rows);

    openText("empty.json", R"({"schema":"quorl-bench/1","machine":{},"runs":[]})");
    EXPECT_EQ(take(), "Opened 0 runs: empty.json\n");
    EXPECT_EQ(criteria(), "-,-,-,-,-,-");
    EXPECT_EQ(str(picker->shownText()), "Any");
    EXPECT_EQ(joined(picker->choices), k.choices);
    EXPECT_EQ(controller->rows->count(), 3u);
  }

  // A picked machine is that machine alone, not every one whose name begins with its own.
  std::string text;
  for (const std::string m : {R"(Apple M2 Pro #1","gpu":"Radeon)", R"(apple m2 pro #103","gpu":"Radeon 2)",
                              R"(Apple M2","gpu":"Radeon)"})
    text += R"(,{"schema":"quorl-bench/1","machine":{"cpu":")" + m +
            R"("},"runs":[{"suite":"langs","benchmark":"fib","samples_us":[1]}]})";
  openText("machines.json", "[" + text.substr(1) + "]");
  ASSERT_EQ(joined(controller->cpuPick->choices), "Alpha 7|Beta 9|Apple M2 Pro #1|apple m2 pro #103|Apple M2");
  ASSERT_EQ(joined(controller->gpuPick->choices), "Alpha GPU|Beta GPU|Radeon|Radeon 2");
  for (int32_t entry : {3, 5}) {
    choose(controller->cpuPick, entry);
    EXPECT_EQ(controller->rows->count(), 1u) << entry;
  }
  choose(controller->cpuPick, 0);
  choose(controller->gpuPick, 3);
  EXPECT_EQ(controller->rows->count(), 2u);
}

// A dismissed menu changes nothing; a choice equal to the none-label in
// another case reads as no choice.
TEST_F(App, PickerMenuEdges) {
  open();
  TempDir dir;
  driver->fileOpenAnswers.push_back(
      dir.write("any.json", R"({"schema":"quorl-bench/1","machine":{"cpu":"ANY"},"runs":[{"suite":"s"}]})"));
  menu(0);
  choose(controller->cpuPick, -1);
  EXPECT_EQ(controller->cpuPick->selection, nullptr);
  choose(controller->cpuPick, 1);  // "ANY"
  EXPECT_EQ(controller->cpuPick->selection, nullptr);
  EXPECT_EQ(controller->filter->pickedCpu, nullptr);
  EXPECT_EQ(controller->rows->count(), 1u);
}

// Bytes that are not UTF-8 in a document's texts travel as they are: the
// file opens, its choices can be picked and drawn; only writing the document
// back out (for Submit) refuses them, with its own status line.
TEST_F(App, InvalidUtf8InFields) {
  open();
  TempDir dir;
  driver->fileOpenAnswers.push_back(dir.write(
      "bad.json", "{\"schema\":\"quorl-bench/1\",\"machine\":{\"cpu\":\"Bad\xff\xfe CPU\"},\"runs\":[{\"suite\":"
                  "\"langs\",\"benchmark\":\"b\xc3\",\"target\":\"quorl\",\"samples_us\":[1,2]}]}"));
  menu(0);
  EXPECT_EQ(take(), "Opened 1 runs: bad.json\n");
  choose(controller->cpuPick, 1);
  EXPECT_EQ(str(controller->filter->pickedCpu), "Bad\xff\xfe CPU");
  EXPECT_EQ(controller->rows->count(), 1u);
  EXPECT_STREQ(controller->table->nativeCellText(0, 0), "b\xc3");
  click(controller->publishBox);
  menu(3);
  EXPECT_EQ(take(), "The contribution could not be serialised.\n");
}

TEST_F(App, SubmitChecksConsentFirst) {
  open();
  take();
  menu(3);
  click(find<UXButton>("Submit to the corpus"));
  const std::string tick = "Tick \"I agree to publish this run\" before submitting.\n";
  EXPECT_EQ(take(), tick + tick);
  click(controller->publishBox);
  EXPECT_EQ(controller->publishBox->state, 1);
  menu(3);
  openSample("corpus.json");  // strangers' results: nothing of our own
  take();
  menu(3);
  EXPECT_EQ(take(), "Nothing to submit: open your own quorl-bench JSON first (diy.py writes it).\n");
  EXPECT_EQ(controller->ownContribution, nullptr);

  // Consent is for one contribution: a new own one needs a new tick; other kinds leave it.
  openSample("contribution.json");
  EXPECT_EQ(controller->publishBox->state, 0);
  click(controller->publishBox);
  openSample("run-py-results.json");
  EXPECT_EQ(controller->publishBox->state, 1);
  openSample("selftest.json");
  EXPECT_EQ(controller->publishBox->state, 0);
}

// A server address whose port or brackets are malformed is refused in its own words by Download and Submit:
// nothing is looked up, let alone sent, and the tick stays for the submission that was not made.
TEST_F(App, AMalformedServerAddressSendsNothing) {
  const auto setServer = [](const char* value) {
#ifdef _WIN32
    _putenv_s("QUORL_BENCH_SERVER", value);
#else
    setenv("QUORL_BENCH_SERVER", value, 1);
#endif
  };
  test::HostsAsked asked;
  open();
  openSample("selftest.json");
  take();
  click(controller->publishBox);
  const std::pair<const char*, const char*> cases[] = {
      {"http://127.0.0.1:80x", "invalid port in URL"}, {"http://127.0.0.1:-1", "invalid port in URL"},
      {"http://127.0.0.1:0/", "invalid port in URL"},  {"https://127.0.0.1:80x", "invalid port in URL"},
      {"http://[::1]x:8080", "invalid URL"},           {"http://[::1]]:8080", "invalid URL"},
      {"http://127.0.0.1:65536", "invalid port in URL"},
  };
  for (const auto& [server, why] : cases) {
    setServer(server);
    menu(3);
    EXPECT_EQ(take(), std::string("Submitting...\nSubmit failed: ") + why + "\n") << server;
    EXPECT_EQ(controller->publishBox->state, 1) << server;
    menu(1);
    EXPECT_EQ(take(), std::string("Fetching the corpus...\nCould not read the corpus: ") + why + "\n") << server;
  }
  EXPECT_EQ(asked.hosts, std::vector<std::string>{});
  setServer("http://127.0.0.1:1");  // nothing listens there, but it is asked for
  menu(1);
  EXPECT_EQ(asked.hosts, std::vector<std::string>{"127.0.0.1"});
  setServer("");
}

// Repainting at once: every status line reaches the window before the next
// step, which is what shows "Fetching the corpus..." during the download.
TEST_F(App, StatusLinesRepaintAtOnce) {
  open();
  const uint32_t before = driver->window(handle())->paints;
  controller->say("Fetching the corpus...");
  EXPECT_EQ(driver->window(handle())->paints, before + 1);
  bool shown = false;
  for (const std::string& line : driver->window(handle())->paintLog)
    shown = shown || line.find("Fetching the corpus...") != std::string::npos;
  EXPECT_TRUE(shown);
  // A longer message shows its first 4,096 bytes and an ellipsis, on the label and standard output.
  const std::string cut = std::string(Stdio::kLineLimit, 'm') + "\xE2\x80\xA6";
  controller->say(String::withCString(std::string(Stdio::kLineLimit + 1, 'm').c_str()));
  EXPECT_EQ(str(controller->lastStatus), cut);
  EXPECT_EQ(str(out), "Fetching the corpus...\n" + cut + "\n");
  shown = false;
  for (const std::string& line : driver->window(handle())->paintLog)
    shown = shown || (line.find(cut) != std::string::npos && line.find(cut + "m") == std::string::npos);
  EXPECT_TRUE(shown);
}

// Files named from anywhere: the status line drawn and printed puts the
// program's words first and the file's name last, as this system names
// files (a '\\' separates on Windows only); the name reads back to its very
// bytes, cut only past 512 of them, and nothing in the line is a control,
// a format character or anything else that shows as nothing.
TEST_F(App, AFileNameInTheStatusLineReadsAsItsOwnName) {
  open();
  std::mt19937 rng(48);
  const std::vector<std::string> pieces = {
      "a", "r.json", " ", "\\", "/", "\n", "\x1B[2J", "\xE2\x80\xA6", "\\\xE2\x80\xA6", "\xE2\x80\xAE",
      "\xE2\x80\x8B", "\xEF\xBB\xBF", "\xF3\xA0\x80\x81", "\xE3\x85\xA4", "\xD8\x80", "\xC3\xA9",
      "\xE6\x97\xA5", "\xFF", "\xED\xA0\x80", "\\x41", ": x"};
#ifdef _WIN32
  const std::string separators = "/\\";
#else
  const std::string separators = "/";
#endif
  for (int round = 0; round < test::rounds(300); round++) {
    std::string name;
    for (uint32_t n = 1 + rng() % 8; n-- > 0;) name += pieces[rng() % pieces.size()];
    if (rng() % 8 == 0) name += std::string(600, 'n');
    const std::string path = files.path + "/missing/" + name;
    controller->loadFile(String::withBytes(path.data(), uint32_t(path.size())));
    const std::string said = take();
    // The name as this system takes it from the path: its last part.
    std::string last = path;
    while (separators.find(last.back()) != std::string::npos) last.pop_back();
    last = last.substr(last.find_last_of(separators) + 1);

    ASSERT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    const std::string line = said.substr(0, said.size() - 1);
    EXPECT_STREQ(controller->statusLabel->title, line.c_str());
    const auto& painted = driver->window(handle())->paintLog;
    EXPECT_TRUE(std::any_of(painted.begin(), painted.end(), [&](const std::string& d) { return d.ends_with('"' + line + '"'); }))
        << line;
    const size_t words = line.find("): ");
    ASSERT_TRUE(line.starts_with("Could not read (") && words != std::string::npos) << line;
    std::string back;
    int cuts = 0;
    ASSERT_TRUE(test::readShown(line.substr(words + 3), back, &cuts)) << line;
    const size_t kept = String::utf8Prefix(last.data(), last.size(), Stdio::kQuoteLimit);
    EXPECT_EQ(back, last.substr(0, kept)) << line;
    EXPECT_EQ(cuts, kept < last.size() ? 1 : 0) << line;
    const auto* bytes = reinterpret_cast<const uint8_t*>(line.data());
    for (uint32_t i = 0, c = 0, n = 1; i < line.size(); i += n) {
      n = String::_decodeUtf8(bytes + i, uint32_t(line.size() - i), &c);
      ASSERT_GT(n, 0u) << line;
      ASSERT_TRUE(c == '\\' || c == 0x2026 || !Stdio::_escapes(c)) << line;
    }
  }
}

// The chart's frame and the scroll view's document follow each rebuild. A
// chart taller than a frame is the whole document all the same: scrolled to
// its end, it lies from the scroll view's origin and paints its last
// benchmark and its caption at the foot of the viewport.
TEST_F(App, ChartFrameAndDocumentHeight) {
  driver->nativeScrolling = false;  // the headless surface paints scrolled documents on this path only
  open();
  EXPECT_EQ(controller->chartScroll->documentHeight, 400);  // as the layout builds it
  openSample("selftest.json");
  const int32_t height = controller->chart->height();
  EXPECT_EQ(controller->chart->frame().h(), height);
  EXPECT_EQ(controller->chart->frame().w(), controller->chartScroll->documentView->frame().w());
  EXPECT_EQ(controller->chartScroll->documentHeight, height);

  std::string runs;
  for (int i = 0; i < 3000; i++) {
    runs += (i ? "," : "") + std::string(R"({"suite":"core","benchmark":"b)") + std::to_string(i) +
            R"(","device":"cpu","samples_us":[1]})";
  }
  openText("tall.json", R"({"schema":"quorl-bench/1","machine":{"cpu":"T"},"runs":[)" + runs + "]}");
  const int32_t tall = controller->chart->height();
  ASSERT_GT(tall, 32767);
  EXPECT_EQ(controller->chartScroll->documentHeight, tall);
  EXPECT_EQ(controller->chart->frame().h(), 32767);
  EXPECT_EQ(controller->table->rowCount, 19 + 3000);

  controller->chartScroll->scrollTo(tall);
  pump();
  driver->windowInvalidate(handle());
  const int32_t origin = controller->chartScroll->documentOrigin;
  EXPECT_EQ(controller->chart->frame().h(), tall - origin);
  // Window y of the text, -1 when it was not painted.
  const auto yOf = [&](const std::string& text) {
    for (const std::string& line : driver->window(handle())->paintLog) {
      if (line.find(text) == std::string::npos) continue;
      int x = 0, y = -1;
      std::sscanf(line.c_str(), "text %d %d", &x, &y);  // text X Y COLOUR SIZE ... "TEXT"
      return y;
    }
    return -1;
  };
  const UXRect viewport = controller->chartScroll->clipView->absoluteFrame();
  const int32_t foot = viewport.y() + viewport.h();
  EXPECT_EQ(yOf("\"bar = value"), foot - 36);
  EXPECT_EQ(yOf("\"b2999\""), foot - 40 - 16 - 74 + 9);
}

// Below the minimum client size nothing overlaps: a drag to 600 x 400 stops
// there, with the Publish pane below the filters and the status line in the
// window. A wider window widens the chart at once, without a rebuild.
TEST_F(App, MinimumSizeKeepsThePanesApartAndTheChartFollowsTheWidth) {
  open();
  openSample("selftest.json");
  driver->resizeWindow(handle(), 600, 400);
  pump();
  int32_t w = 0, h = 0;
  driver->windowContentGeometry(handle(), w, h);
  EXPECT_EQ(w, Controller::kMinClientWidth);
  EXPECT_EQ(h, Controller::kMinClientHeight);
  const Ref<UXView> filters = controller->firstRunBox->superview.lock();
  const Ref<UXView> publish = controller->publishBox->superview.lock();
  ASSERT_TRUE(filters && publish);
  EXPECT_GT(publish->absoluteFrame().y(), filters->absoluteFrame().y() + filters->absoluteFrame().h());
  EXPECT_LE(controller->statusLabel->absoluteFrame().y() + controller->statusLabel->absoluteFrame().h(), h);

  const int32_t rebuilt = controller->chart->rows->count();
  driver->resizeWindow(handle(), 1400, 800);
  pump();
  EXPECT_EQ(int32_t(controller->chart->rows->count()), rebuilt);
  EXPECT_EQ(controller->chart->frame().w(), controller->chartScroll->clipView->frame().w());
  EXPECT_EQ(controller->chartScroll->frame().w(), 1400 - 266);
}

// The chart and pickers paint into the window.
TEST_F(App, ChartAndPickersPaint) {
  open();
  openSample("selftest.json");
  const auto& log = driver->window(handle())->paintLog;
  auto has = [&](const std::string& text) {
    for (const std::string& line : log)
      if (line.find(text) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(has("\"Any\""));
  EXPECT_TRUE(has("\"Fastest\""));
  EXPECT_TRUE(has("\"int_accum\""));
  EXPECT_TRUE(has("\"Filters and view\""));
}

// ---------------------------------------------------------------------------
// The entry point

struct Outcome {
  int status = -1;
  std::string output;
  bool released = false;
};

Outcome runMain(std::vector<std::string> args, bool boots = true, bool quitFirst = true) {
  Ref<ScriptedDriver> driver = make<ScriptedDriver>();
  driver->logging = false;
  driver->bootAnswer = boots;
  if (quitFirst) driver->postClose(0);
  gDriver = driver;
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  Ref<String> out = make<String>();
  Weak<Controller> weak;
  Outcome o;
  o.status = quorlMain(int(argv.size()), argv.data(), [&](const Ref<Controller>& c) {
    c->transcript = out;
    weak = c;
  });
  o.output = str(out);
  o.released = weak.expired();
  gApp.reset();
  gDriver.reset();
  return o;
}

class Main : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    _putenv_s("QUORL_BENCH_SERVER", "");
#else
    unsetenv("QUORL_BENCH_SERVER");
#endif
  }
};

// The self test's report, byte for byte, and its exit status.
TEST_F(Main, SelfTestReportsAndStatuses) {
  TempDir dir;
  // The same runs named from outside with control bytes: every report line
  // stays one line, and the terminal gets none of them.
  const auto runs = [&](const char* file, const std::string& cpu, const std::string& a) {
    return dir.write(file, R"({"schema":"quorl-bench/1","machine":{"cpu":")" + cpu +
                               R"("},"runs":[{"suite":"langs","benchmark":")" + a +
                               R"(","target":"quorl","device":"cpu","opt":"O3","arch":"x86_64","samples_us":[]},)"
                               R"({"suite":"par","benchmark":"p","target":"quorl","device":"gpu","opt":"O3",)"
                               R"("samples_us":[-5,-7],"best_us":3}]})");
  };
  const std::string mix = runs("mix.json", "Box", "a");
  const std::string hostile = runs("hostile.json", R"(Box\u001b]0;x\u0007\nPASS)", R"(a\r)");
  const std::string invisible = runs("invisible.json", R"(Box\u202e\u2026)", R"(a\u200b\ufeff)");
  // Names of 600 bytes: each shown by its first 512, the words after it kept.
  const std::string longer = runs("long.json", std::string(600, 'M'), std::string(600, 'b'));
  // A benchmark whose one run has no time: its heat-map line has no fastest run to be 1x.
  const std::string untimed = dir.write(
      "untimed.json",
      R"({"schema":"quorl-bench/1","machine":{"cpu":"Box"},"runs":[{"suite":"langs","benchmark":"a",)"
      R"("target":"quorl","device":"cpu","opt":"O3","arch":"x86_64","samples_us":[100]},{"suite":"langs",)"
      R"("benchmark":"a","target":"gcc","device":"cpu","opt":"O3","arch":"x86_64","samples_us":[120]},)"
      R"({"suite":"langs","benchmark":"b","target":"quorl","device":"cpu","opt":"O3","arch":"x86_64","samples_us":["x"]}]})");
  const std::string bad = dir.write("bad.json", "{\"a\":");
  const std::string none = dir.write("none.json", "[]");
  const std::string sample = samplePath("selftest.json");
  const std::string tail =
      "Downloaded 1 runs in 1 result sets.\n"
      "net:      skipped (set QUORL_BENCH_SERVER to test the corpus)\n";
  const auto report = [&](const std::string& file, const std::string& cpu, const std::string& a) {
    return "Opened 2 runs (2 impossible times left out; 1 run with no best time): " + file + "\nmachine:  " + cpu +
           "\nruns:     2\nFAIL: no samples for " + a + "/quorl/cpu/O3\nFAIL: no samples for p/quorl/gpu/O3\n"
           "cpu-only: 1 of 2 (1 GPU runs)\nfilters: cpu 1, suite 2, opt 1, device 4\ncpu filter '" + cpu +
           "': 2 of 2\nchart:    1 rows\nheat map: 1 benchmarks x 1 series\nFAIL: heat map too small\n" + tail +
           "FAIL: 3 check(s)\n";
  };
  const struct {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string output;
  } cases[] = {
      {"passing sample",
       {"quorl", "--selftest", sample},
       0,
       "Opened 19 runs: selftest.json\n"
       "machine:  AMD Ryzen 9 7950X 16-Core Processor + NVIDIA GeForce RTX 4070\n"
       "runs:     19\n"
       "cpu-only: 17 of 19 (2 GPU runs)\n"
       "filters: cpu 1, suite 2, opt 2, device 6\n"
       "cpu filter 'AMD Ryzen 9 7950X 16-Core Processor': 19 of 19\n"
       "chart:    19 rows\n"
       "heat map: 4 benchmarks x 4 series\n"
       "  quorl        x86-64 O3  geomean 1.000x\n"
       "heat map: int_accum clang over quorl 1.0696x\n"
       "  C++ (clang)  x86-64 O3  geomean 1.070x\n"
       "  C++ (GCC)    x86-64 O3  geomean 1.009x\n"
       "  Swift        x86-64 O3  geomean 1.129x\n" +
           tail + "PASS\n"},
      {"failing mix", {"quorl", "--SelfTest", mix}, 1, report("mix.json", "Box", "a")},
      {"control bytes from the file", {"quorl", "--selftest", hostile}, 1,
       report("hostile.json", "Box\\x1B]0;x\\x07\\nPASS", "a\\r")},
      {"format characters and an ellipsis from the file", {"quorl", "--selftest", invisible}, 1,
       report("invisible.json", "Box\\xE2\\x80\\xAE\\\xE2\x80\xA6", "a\\xE2\\x80\\x8B\\xEF\\xBB\\xBF")},
      {"long names from the file", {"quorl", "--selftest", longer}, 1,
       report("long.json", std::string(512, 'M') + "\xE2\x80\xA6", std::string(512, 'b') + "\xE2\x80\xA6")},
      {"a line without a time",
       {"quorl", "--selftest", untimed},
       0,
       "Opened 3 runs (1 run with no best time): untimed.json\nmachine:  Box\nruns:     3\n"
       "cpu-only: 3 of 3 (0 GPU runs)\nfilters: cpu 1, suite 1, opt 1, device 2\ncpu filter 'Box': 3 of 3\n"
       "chart:    2 rows\nheat map: 2 benchmarks x 2 series\n"
       "  quorl        x86-64 O3  geomean 1.000x\n  C++ (GCC)    x86-64 O3  geomean 1.200x\n" +
           tail + "PASS\n"},
      // The path given is shown as every outside text is: its ellipsis is no cut.
      {"no such file",
       {"quorl", "--selftest", dir.path + "/gone\xE2\x80\xA6.json"},
       1,
       "Could not read (no such file): gone\\\xE2\x80\xA6.json\n"
       "FAIL: could not parse " +
           dir.path + "/gone\\\xE2\x80\xA6.json\n"},
      {"no data",
       {"quorl", "--selftest", none},
       1,
       "Could not read (not a contribution, a run.py results.json or a par results.json): none.json\n"
       "FAIL: could not parse " +
           none + "\n"},
      {"bad JSON",
       {"quorl", "--selftest", bad},
       1,
       "Could not read (the JSON ends early at byte 5): bad.json\n"
       "FAIL: could not parse " +
           bad + "\n"},
      {"no file", {"quorl", "--SELFTEST"}, 2, "FAIL: --selftest needs a file\n"},
  };
  for (const auto& k : cases) {
    Outcome o = runMain(k.args, true, false);
    EXPECT_EQ(o.status, k.status) << k.name;
    EXPECT_EQ(o.output, k.output) << k.name;
    EXPECT_TRUE(o.released) << k.name << ": the controller outlived the run";
  }
}

// Normal runs: the first argument opens, "--selftest" counts only first, and
// an application that cannot run does not end with status 0.
TEST_F(Main, CommandLineAndExitStatus) {
  const std::string a = samplePath("contribution.json"), b = samplePath("selftest.json");
  const struct {
    const char* name;
    std::vector<std::string> args;
    bool boots;
    int status;
    std::string output;
  } cases[] = {
      {"no argument", {"quorl"}, true, 0, ""},
      {"a file", {"quorl", a}, true, 0, "Opened 11 runs: contribution.json\n"},
      {"two files", {"quorl", a, b}, true, 0, "Opened 11 runs: contribution.json\n"},
      {"file then switch", {"quorl", a, "--selftest"}, true, 0, "Opened 11 runs: contribution.json\n"},
      {"driver does not boot", {"quorl", a}, false, 1, ""},
      {"self test, driver does not boot", {"quorl", "--selftest", b}, false, 1, ""},
  };
  for (const auto& k : cases) {
    Outcome o = runMain(k.args, k.boots);
    EXPECT_EQ(o.status, k.status) << k.name;
    EXPECT_EQ(o.output, k.output) << k.name;
    EXPECT_TRUE(o.released) << k.name << ": the controller outlived the run";
  }
}

// The pickers link back weakly: the controller goes with its window.
TEST(AppLifecycle, ControllerIsReleasedWithItsWindow) {
  Ref<ScriptedDriver> driver = make<ScriptedDriver>();
  driver->logging = false;
  gDriver = driver;
  Weak<Controller> weak;
  Weak<PickView> picker;
  {
    Ref<UXApplication> app = make<UXApplication>();
    Ref<Controller> c = make<Controller>();
    app->delegate = c;
    ASSERT_TRUE(app->boot());
    c->applicationDidStart(*app);
    weak = c;
    picker = c->cpuPick;
    EXPECT_EQ(c->cpuPick->owner.lock(), c);
    app->delegate.reset();
  }
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(picker.expired());
  gDriver.reset();
}

}  // namespace
