// One screen of the main window's controls drawn through the recording
// surface (RecordingGraphics of the tests: every call kept as a text line),
// against the floor: the same number of raw fillRect/drawText calls into a
// surface that discards them.
//
// The screen: the controls of the main window's left column and its status
// line at their absolute frames (two buttons, nine captions, the metric
// pop-up, two check boxes, the submit button, the status label), plus a
// radio group of three, attached to a view tree of the headless driver.
// Buttons and labels draw nothing themselves (the driver shows them), but
// they are asked all the same, as a redraw pass asks every node.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "DiscardingGraphics.h"
#include "RecordingGraphics.h"
#include "foundation/Array.h"
#include "ux/controls/UXCheckbox.h"
#include "ux/controls/UXControl.h"
#include "ux/controls/UXPopUpButton.h"
#include "ux/controls/UXTextField.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXViewTree.h"
#include "ux/headless/UXHeadlessDriver.h"

using namespace quorl;

namespace {

struct Screen {
  Ref<UXViewTree> tree;
  std::vector<Ref<UXView>> views;
  std::vector<UXRect> bounds;

  template <class T> Ref<T> add(const Ref<T>& view, UXRect frame) {
    view->attachTo(tree, frame);
    gDriver->structAddChild(tree->driverTree, 0, int16_t(view->node));
    views.push_back(view);
    bounds.push_back(UXRect(0, 0, frame.w(), frame.h()));
    return view;
  }

  Screen() {
    if (!gDriver) gDriver = make<UXHeadlessDriver>();
    tree = make<UXViewTree>();
    make<UXView>()->attachTo(tree, UXRect(0, 0, 1100, 720));
    auto button = [&](const char* title, UXRect frame) {
      auto b = make<UXButton>();
      b->setTitle(title);
      add(b, frame);
    };
    button("Open JSON...", UXRect(18, 32, 104, 24));
    button("Download", UXRect(128, 32, 104, 24));
    static const char* const kCaptions[] = {"CPU",  "GPU",  "Suite",      "Device", "Optimisation",
                                            "Arch", "View", "Heat map baseline", "Metric"};
    for (int i = 0; i < 9; i++) {
      auto label = make<UXLabel>();
      label->setText(kCaptions[i]);
      add(label, UXRect(18, 100 + 46 * i, 200, 16));
    }
    auto metric = make<UXPopUpButton>();
    metric->addItem("Time (ms)", 0);
    metric->addItem("Speed-up over slowest", 1);
    add(metric, UXRect(18, 484, 214, 24));
    auto firstRun = make<UXCheckbox>();
    firstRun->setTitle("First run (one-off costs)");
    add(firstRun, UXRect(18, 516, 214, 20));
    auto publish = make<UXCheckbox>();
    publish->setTitle("I agree to publish this run");
    publish->state = 1;
    add(publish, UXRect(18, 654, 214, 20));
    button("Submit to the corpus", UXRect(18, 680, 214, 24));
    auto group = make<UXRadioGroup>();
    for (int i = 0; i < 3; i++) {
      auto radio = make<UXRadioButton>();
      radio->setTitle("Option");
      radio->group = group;
      group->buttons->add(radio);
      add(radio, UXRect(300, 100 + 24 * i, 150, 21));
    }
    group->select(staticCast<UXRadioButton>(views.back()));
    add(make<UXTextField>(), UXRect(300, 180, 200, 24));
    auto status = make<UXLabel>();
    status->setText("Open your results JSON, or Download the published results and everyone's runs.");
    add(status, UXRect(262, 696, 826, 18));
  }

  void draw(UXGraphics& g) const {
    for (size_t i = 0; i < views.size(); i++) views[i]->drawRect(g, bounds[i]);
  }
};

Screen& screen() {
  static Screen* shared = new Screen();  // lives to the end of the process
  return *shared;
}

void BM_ControlsScreenRecording(benchmark::State& state) {
  Screen& s = screen();
  RecordingGraphics g;
  for (auto _ : state) {
    g.clear();
    s.draw(g);
    benchmark::DoNotOptimize(g.lines.data());
  }
  state.counters["calls"] = static_cast<double>(g.lines.size());
  state.counters["controls"] = static_cast<double>(s.views.size());
}
BENCHMARK(BM_ControlsScreenRecording)->Unit(benchmark::kMicrosecond);

// The same screen into the discarding surface: the controls' own work
// (frames and enabled flags read from the driver, layout arithmetic).
void BM_ControlsScreenDiscarding(benchmark::State& state) {
  Screen& s = screen();
  perf::DiscardingGraphics g;
  for (auto _ : state) {
    s.draw(g);
    benchmark::ClobberMemory();
  }
  state.counters["calls"] = benchmark::Counter(static_cast<double>(g.calls), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ControlsScreenDiscarding)->Unit(benchmark::kMicrosecond);

// The floor: as many raw calls as one screen makes, half fills, half texts.
void BM_ControlsScreenFloor(benchmark::State& state) {
  RecordingGraphics probe;
  screen().draw(probe);
  const size_t n = probe.lines.size();
  perf::DiscardingGraphics discarding;
  // Called through the contract, as the controls call their surface: the
  // compiler must not see which surface it is.
  UXGraphics* g = &discarding;
  benchmark::DoNotOptimize(g);
  for (auto _ : state) {
    for (size_t i = 0; i < n; i++) {
      if (i & 1) g->drawText("Title", 24, 4, 1, 0);
      else g->fillRect(UXRect(0, 0, 21, 21), 8);
    }
    benchmark::ClobberMemory();
  }
  state.counters["calls"] = static_cast<double>(n);
}
BENCHMARK(BM_ControlsScreenFloor)->Unit(benchmark::kMicrosecond);

}  // namespace
