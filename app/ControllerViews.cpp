// Controller: the pickers' choices, the picks, rebuilding the chart and the
// runs table, and the table's data source.
//
// Sections:
//   1. rebuilding
//   2. picks, the metric and the first-run box
//   3. choices: distinct values, devices, owners
//   4. the runs table's data source
#include "app/Controller.h"

#include <unordered_map>
#include <unordered_set>

#include "app/PickView.h"
#include "bench/ChartNames.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

namespace {

bool sameText(const Ref<String>& value, const char* text) {
  return value && value->equalsIgnoringCase(String::withCString(text));
}

const char* textOf(const Ref<String>& value) { return value ? value->cString() : ""; }

}  // namespace

// ---------------------------------------------------------------------------
// 1. Rebuilding

void Controller::refill(const Ref<PickView>& picker, Ref<Array> choices) {
  if (picker) picker->setChoices(std::move(choices));
}

// The chart is rebuilt once per call, at step 3: every setting a pick or a
// reset changes (mode, baseline, metric, first run, the filter's criteria) is
// in place by then, and rebuilding it earlier as well would only double the
// work of a pick.
void Controller::rebuild(bool reset) {
  if (!chart) return;
  if (reset) {
    updating = true;
    filter->cpu.reset();
    filter->gpu.reset();
    filter->pickedCpu.reset();
    filter->pickedGpu.reset();
    filter->suite.reset();
    filter->device.reset();
    filter->opt.reset();
    filter->arch.reset();
    chart->baseline.reset();
    refill(cpuPick, distinct("cpu"));
    refill(gpuPick, distinct("gpu"));
    refill(suitePick, distinct("suite"));
    refill(devicePick, deviceChoices());
    refill(optPick, distinct("opt"));
    refill(archPick, distinct("arch"));
    refill(baselinePick, distinct("series"));
    updating = false;
  }
  chart->filter = filter;
  chart->rebuild();
  rows->setTo(chart->listed);

  placeChart();
  if (table) table->reloadData();
  chart->setNeedsDisplayInRect(chart->absoluteFrame());
  repaintNow();
}

// The chart view is the scroll view's document: the document is as tall as
// the chart and at least as wide as its mode needs (a wider viewport widens
// the chart, which the summary's height follows). A chart larger than a
// frame lies in the document view from its origin, and is told what of it
// is in sight so that it draws only that.
void Controller::placeChart() {
  if (placingChart_ || !chart || !chartScroll || !chartScroll->documentView) return;
  placingChart_ = true;
  // Width first, then the height that follows from it; a scroll bar that
  // comes or goes changes the width again, so a few rounds settle it.
  for (int round = 0; round < 3; ++round) {
    const int32_t width = chart->minimumWidth();
    if (width != chartScroll->documentWidth) chartScroll->setDocumentWidth(width);
    followChartScroll();
    const int32_t height = chart->height();
    if (height == chartScroll->documentHeight) break;
    chartScroll->setDocumentHeight(height);
  }
  followChartScroll();
  placingChart_ = false;
  chart->setNeedsDisplayInRect(chart->absoluteFrame());
}

void Controller::followChartScroll() {
  const UXScrollView& scroll = *chartScroll;
  const UXRect doc = scroll.documentView->frame();
  const UXRect f = chart->frame();
  Ref<UXViewTree> t = chart->tree.lock();
  if (t && gDriver && (f.x() != 0 || f.y() != 0 || f.w() != doc.w() || f.h() != doc.h()))
    gDriver->structSetFrame(t->driverTree, int16_t(chart->node), 0, 0, doc.w(), doc.h());
  chart->originX = scroll.documentOriginX;
  chart->originY = scroll.documentOrigin;
  chart->shownX = scroll.offsetX;
  chart->shownY = scroll.offset;
  chart->shownW = scroll.viewportWidthPx();
  chart->shownH = scroll.viewportPx();
  placedViewportW_ = scroll.viewportWidthPx();
}

void Controller::scrollViewDidChangeVisible(UXScrollView& scrollView) {
  if (&scrollView != chartScroll.get() || placingChart_ || !chart || !scrollView.documentView) return;
  perform(
      [&] {
        // A new viewport width (the window was resized) lays the chart out anew.
        if (scrollView.viewportWidthPx() != placedViewportW_) placeChart();
        else followChartScroll();
      });
}

// ---------------------------------------------------------------------------
// 2. Picks, the metric and the first-run box

void Controller::applyPick(uint32_t tag, const Ref<String>& selection) {
  perform(
      [&] {
        if (tag == kPickView) {
          if (chart) {
            chart->mode = sameText(selection, "Heat map") ? 2 : sameText(selection, "Summary") ? 1 : 0;
          }
          rebuild(false);
        } else if (tag == kPickBaseline) {
          if (chart) {
            chart->baseline = selection;
          }
          rebuild(false);
        } else {
          syncFilter();
        }
      });
}

void Controller::syncFilter() {
  if (updating) return;
  auto of = [](const Ref<PickView>& picker) { return picker ? picker->selection : Ref<String>(); };
  filter->pickedCpu = of(cpuPick);
  filter->pickedGpu = of(gpuPick);
  filter->suite = of(suitePick);
  filter->device = of(devicePick);
  filter->opt = of(optPick);
  filter->arch = of(archPick);
  rebuild(false);
}

void Controller::onMetric(const Ref<UXView>&) {
  if (updating) return;
  if (chart && metricPopUp) {
    chart->metric = metricPopUp->selectedIndex;
  }
  rebuild(false);
}

void Controller::onFirstRun(const Ref<UXView>&) {
  if (updating) return;
  if (chart && firstRunBox) {
    chart->firstRun = firstRunBox->state != 0;
  }
  rebuild(false);
}

// ---------------------------------------------------------------------------
// 3. Choices

Ref<Array> Controller::distinct(const Ref<String>& key) const {
  Ref<Array> list = make<Array>();
  enum { kNone, kCpu, kGpu, kSuite, kOpt, kArch, kSeries } which = kNone;
  if (sameText(key, "cpu")) which = kCpu;
  else if (sameText(key, "gpu")) which = kGpu;
  else if (sameText(key, "suite")) which = kSuite;
  else if (sameText(key, "opt")) which = kOpt;
  else if (sameText(key, "arch")) which = kArch;
  else if (sameText(key, "series")) which = kSeries;
  if (which == kNone) return list;

  // The reader shares one String object among equal short texts, so most
  // values are met again by address; the others are looked up by their
  // folded text, which is how equalsIgnoringCase compares them.
  std::unordered_set<const String*> seen;
  chart::NameIndex known;
  auto offer = [&](const Ref<String>& value) {
    if (!value || value->isEmpty()) return;
    if (!seen.insert(value.get()).second) return;
    if (known.indexOf(value) == list->count()) list->add(value);
  };
  // A run's series depends on its suite, target and device alone, and those
  // texts are shared objects too: name each combination once.
  struct Triple {
    const String *suite, *target, *device;
    bool operator==(const Triple& o) const { return suite == o.suite && target == o.target && device == o.device; }
  };
  struct TripleHash {
    size_t operator()(const Triple& t) const {
      return std::hash<const void*>()(t.suite) ^ (std::hash<const void*>()(t.target) * 31) ^
             (std::hash<const void*>()(t.device) * 131);
    }
  };
  std::unordered_map<Triple, Ref<String>, TripleHash> seriesOf;
  auto series = [&](const Ref<Run>& run) -> Ref<String> {
    auto [at, added] = seriesOf.try_emplace(Triple{run->suite.get(), run->target.get(), run->device.get()});
    if (added) at->second = ChartView::seriesName(run);
    return at->second;
  };
  forEachRun([&](const Ref<Contribution>& owner, const Ref<Run>& run) {
    switch (which) {
      case kCpu: offer(owner->machine->cpu); break;
      case kGpu: offer(owner->machine->gpu); break;
      case kSuite: offer(run->suite); break;
      case kOpt: offer(run->opt); break;
      case kArch: offer(run->arch); break;
      case kSeries: offer(series(run)); break;
      default: break;
    }
  });
  return list;
}

Ref<Array> Controller::deviceChoices() const {
  Ref<Array> list = make<Array>();
  bool anyCpu = false, anyGpu = false;
  std::unordered_set<const String*> seen;
  chart::NameIndex known;
  forEachRun([&](const Ref<Contribution>&, const Ref<Run>& run) {
    if (run->isGpu()) anyGpu = true;
    else anyCpu = true;
    if (!run->device || !seen.insert(run->device.get()).second) return;
    Ref<String> name = friendlyDevice(run->device);
    if (!name || name->isEmpty()) return;
    if (known.indexOf(name) == list->count()) list->add(name);
  });
  if (anyCpu) list->add(String::withCString("CPU only"));
  if (anyGpu) list->add(String::withCString("GPU only"));
  return list;
}

Ref<Contribution> Controller::ownerOf(Ptr<const Run> run) const {
  const Array& contributions = dataSet->contributions();
  for (uint32_t c = 0; c < contributions.count(); c++) {
    Ref<Contribution> owner = cast<Contribution>(contributions.get(c));
    if (owner && owner->runs->indexOf(run.get()) != kNotFound) return owner;
  }
  return dataSet->at(0);
}

Ref<String> Controller::friendlyDevice(const Ref<String>& device) {
  if (!device) return nullptr;
  static const char* const kNames[4][2] = {
      {"serial", "one thread"}, {"cpu", "all threads"}, {"gpu", "GPU"}, {"vulkan", "Vulkan"}};
  for (const auto& entry : kNames)
    if (sameText(device, entry[0])) return String::withCString(entry[1]);
  return device;
}

// ---------------------------------------------------------------------------
// 4. The runs table's data source

uint32_t Controller::numberOfRows(UXTableView&) { return rows->count(); }

const char* Controller::valueForCell(UXTableView&, uint32_t row, uint32_t column) {
  // A row of -1 arrives as 0xFFFFFFFF and is past the end like any other.
  if (row >= rows->count()) return "";
  Ref<ChartRow> r = cast<ChartRow>(rows->get(row));
  if (!r) return "";
  switch (column) {
    case 0: return textOf(r->bench);
    case 1: return textOf(r->label);
    case 2: return textOf(r->bestText);
    case 3: return textOf(r->spreadText);
    case 4: return textOf(r->machineText);
    default: return textOf(r->paramText);
  }
}

}  // namespace quorl
