// One screen of the self-drawn value controls drawn through the recording
// surface of the tests, and through a surface that only counts calls (the
// controls' own share): a 1280-pixel toolbar of 14 icon buttons with
// separators and a flexible space, a segmented control of 5 segments, and
// 8 each of sliders, steppers and progress bars (nested models).
//
// Target: the whole screen in under 1 ms.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "DiscardingGraphics.h"
#include "RecordingGraphics.h"
#include "foundation/Array.h"
#include "ux/controls/UXIcon.h"
#include "ux/controls/UXProgressBar.h"
#include "ux/controls/UXSegmentedControl.h"
#include "ux/controls/UXSlider.h"
#include "ux/controls/UXStepper.h"
#include "ux/controls/UXToolbar.h"

using namespace quorl;

namespace {

struct Screen {
  struct Placed {
    Ref<UXView> view;
    UXRect rect;
  };
  std::vector<Placed> views;

  Screen() {
    auto toolbar = make<UXToolbar>();
    for (int32_t i = 0; i < 14; ++i) {
      if (i == 7) {
        auto flex = make<UXToolbarItem>();
        flex->itemKind = kUXToolbarFlexibleSpace;
        toolbar->items->add(flex);
      } else if (i % 4 == 3) {
        auto sep = make<UXToolbarItem>();
        sep->itemKind = kUXToolbarSeparator;
        sep->width = 1;
        toolbar->items->add(sep);
      }
      auto button = make<UXToolbarItem>();
      button->title = UXIcon::nameAt(i);
      button->iconName = UXIcon::nameAt(i);
      button->width = 64;
      button->tag = uint32_t(i);
      toolbar->items->add(button);
    }
    toolbar->clickedIndex = 2;
    views.push_back({toolbar, UXRect(0, 0, 1280, 44)});

    auto segmented = make<UXSegmentedControl>();
    static const char* kTitles[] = {"Bars", "Summary", "Heat map", "Table", "Log"};
    for (const char* t : kTitles) {
      auto s = make<UXSegment>();
      s->title = t;
      segmented->segments->add(s);
    }
    segmented->selectSegment(1);
    views.push_back({segmented, UXRect(0, 0, 400, 24)});

    for (int32_t i = 0; i < 8; ++i) {
      auto slider = make<UXSlider>();
      slider->value = i * 12;
      views.push_back({slider, UXRect(0, 0, 200, 21)});
      auto stepper = make<UXStepper>();
      views.push_back({stepper, UXRect(0, 0, 25, 25)});
      auto bar = make<UXProgressBar>();
      auto model = make<Progress>();
      model->total = 100, model->completed = 10 * i;
      auto sub = make<Progress>();
      sub->total = 4, sub->completed = i % 5;
      auto child = make<ProgressChild>();
      child->progress = sub, child->pending = 10;
      model->children->add(child);
      bar->progress = model;
      views.push_back({bar, UXRect(0, 0, 300, 16)});
    }
  }

  void draw(UXGraphics& g) {
    for (Placed& p : views) p.view->drawRect(g, p.rect);
  }
};

void BM_ValueControlsScreen_Recording(benchmark::State& state) {
  Screen screen;
  RecordingGraphics g;
  size_t lines = 0;
  for (auto _ : state) {
    g.clear();
    screen.draw(g);
    lines = g.lines.size();
    benchmark::DoNotOptimize(g.lines.data());
  }
  state.counters["calls"] = double(lines);
}
BENCHMARK(BM_ValueControlsScreen_Recording)->Unit(benchmark::kMicrosecond);

void BM_ValueControlsScreen_Counting(benchmark::State& state) {
  Screen screen;
  perf::DiscardingGraphics g;
  for (auto _ : state) {
    g.calls = 0;
    screen.draw(g);
    benchmark::DoNotOptimize(g.calls);
  }
  state.counters["calls"] = double(g.calls);
}
BENCHMARK(BM_ValueControlsScreen_Counting)->Unit(benchmark::kMicrosecond);

}  // namespace
