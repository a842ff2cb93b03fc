// Controller: the main window, its menu, and the builders of the left
// column.
//
// Sections:
//   1. adding a child view; the three builders
//   2. the menu
//   3. applicationDidStart: the window, row by row
//
// The layout is absolute (frames in the parent's coordinates); after it
// stands only the autoresize masks move frames.
#include "app/Controller.h"

#include <iterator>

#include "app/PickView.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

namespace {

// Control actions and menu actions: a weak target (the controller) and the
// handler, run as a user action (Controller::perform).
UXAction controlAction(const Ref<Controller>& target, void (Controller::*handler)(const Ref<UXView>&)) {
  UXAction action;
  action.target = target;
  action.function = [handler](const Ref<Object>& t, const Ref<UXView>& sender, const UXAction&) {
    Controller& c = *staticCast<Controller>(t);
    c.perform([&] { (c.*handler)(sender); });
  };
  return action;
}

UXMenuAction menuAction(const Ref<Controller>& target, void (Controller::*handler)(const Ref<UXMenuItem>&)) {
  UXMenuAction action;
  action.target = target;
  action.function = [handler](const Ref<Object>& t, const Ref<UXMenuItem>& item) {
    Controller& c = *staticCast<Controller>(t);
    c.perform([&] { (c.*handler)(item); });
  };
  return action;
}

}  // namespace

// ---------------------------------------------------------------------------
// 1. Adding a child view; the builders

void Controller::addChild(const Ref<UXView>& parent, const Ref<UXView>& child, UXRect frame) {
  if (!parent || !child) return;
  Ref<UXViewTree> tree = parent->tree.lock();
  if (!tree || !gDriver) return;
  child->attachTo(tree, frame);
  gDriver->structAddChild(tree->driverTree, int16_t(parent->node), int16_t(child->node));
  child->superview = parent;
  child->nextResponder = parent;
  parent->subviews->add(child);
  parent->setNeedsDisplayInRect(parent->absoluteFrame());
}

Ref<PaneView> Controller::pane(const Ref<UXView>& parent, const char* title, int16_t y, int16_t height,
                               uint32_t mask) {
  Ref<PaneView> view = make<PaneView>();
  view->title = title ? title : "";
  view->setAutoresizeMask(mask);
  addChild(parent, view, UXRect(8, y, 234, height));
  return view;
}

Ref<PickView> Controller::pick(const Ref<UXView>& parent, int16_t x, int16_t y, int16_t width, uint32_t tag) {
  Ref<PickView> view = make<PickView>();
  view->owner = self<Controller>();
  view->tag = tag;
  view->setAutoresizeMask(0);
  addChild(parent, view, UXRect(x, y, width, 24));
  return view;
}

void Controller::label(const Ref<UXView>& parent, const char* text, int16_t x, int16_t y) {
  Ref<UXLabel> view = make<UXLabel>();
  view->setText(text);
  view->setAutoresizeMask(0);
  addChild(parent, view, UXRect(x, y, 200, 16));
}

// ---------------------------------------------------------------------------
// 2. The menu

Ref<UXMenuBar> Controller::buildMenu() {
  Ref<Controller> me = self<Controller>();
  Ref<UXMenuBar> bar = make<UXMenuBar>();
  Ref<UXMenu> file = make<UXMenu>("File");
  bar->menus->add(file);
  file->addItem("Open a contribution...", menuAction(me, &Controller::onOpen));
  file->addItem("Download contributions", menuAction(me, &Controller::onDownload));
  Ref<UXMenuItem> separator = make<UXMenuItem>();
  separator->separator = 1;
  separator->enabled = 1;
  file->items->add(separator);
  file->addItem("Submit to the corpus", menuAction(me, &Controller::onSubmit));
  return bar;
}

// ---------------------------------------------------------------------------
// 3. The window

int32_t Controller::applicationDidStart(UXApplication& application) {
  Ref<Controller> me = self<Controller>();
  Ref<UXView> content = make<UXView>();
  window = make<UXWindow>();
  if (Ref<UXApplication> app = application.self<UXApplication>()) app->addWindow(window);
  window->open("quorl benchmark visualiser", UXRect(40, 40, 1100, 720), content);

  application.menuBar = buildMenu();
  application.menuBar->install(window->handle);
  // Below this the Publish pane would slide over the filters.
  if (gDriver) gDriver->windowSetMinSize(window->handle, kMinClientWidth, kMinClientHeight);

  // Rows 1 to 27: the left column.
  Ref<UXView> column = make<UXView>();
  column->setAutoresizeMask(37);
  addChild(content, column, UXRect(0, 0, 250, 720));

  Ref<PaneView> data = pane(column, "Data", 8, 60, 5);
  auto button = [&](const Ref<UXView>& parent, const char* title, UXRect frame,
                    void (Controller::*handler)(const Ref<UXView>&)) {
    Ref<UXButton> b = make<UXButton>();
    b->setTitle(title);
    b->action = controlAction(me, handler);
    b->setAutoresizeMask(0);
    addChild(parent, b, frame);
  };
  button(data, "Open JSON...", UXRect(10, 24, 104, 24), &Controller::onOpenControl);
  button(data, "Download", UXRect(120, 24, 104, 24), &Controller::onDownloadControl);

  Ref<PaneView> filters = pane(column, "Filters and view", 76, 466, 5);
  // A caption and its picker every 46 px, from the top of the pane.
  struct Picker {
    const char* caption;
    Ref<PickView> Controller::*field;
    uint32_t tag;
  };
  static const Picker kPickers[] = {
      {"CPU", &Controller::cpuPick, kPickCpu},          {"GPU", &Controller::gpuPick, kPickGpu},
      {"Suite", &Controller::suitePick, kPickSuite},    {"Device", &Controller::devicePick, kPickDevice},
      {"Optimisation", &Controller::optPick, kPickOpt}, {"Arch", &Controller::archPick, kPickArch},
      {"View", &Controller::viewPick, kPickView},
  };
  for (size_t i = 0; i < std::size(kPickers); i++) {
    const int16_t y = int16_t(24 + 46 * i);
    label(filters, kPickers[i].caption, 10, y);
    this->*kPickers[i].field = pick(filters, 10, int16_t(y + 16), 214, kPickers[i].tag);
  }
  {
    Ref<Array> modes = make<Array>();
    modes->add(String::withCString("Per benchmark"));
    modes->add(String::withCString("Summary"));
    modes->add(String::withCString("Heat map"));
    viewPick->setChoices(modes);
    viewPick->setSelection(String::withCString("Per benchmark"));
  }
  label(filters, "Heat map baseline", 10, 346);
  baselinePick = pick(filters, 10, 362, 214, kPickBaseline);
  baselinePick->noneLabel = String::withCString("Fastest");
  label(filters, "Metric", 10, 392);

  metricPopUp = make<UXPopUpButton>();
  metricPopUp->addItem("Time (ms)", 0);
  metricPopUp->addItem("Speed-up over slowest", 1);
  metricPopUp->action = controlAction(me, &Controller::onMetric);
  metricPopUp->setAutoresizeMask(0);
  addChild(filters, metricPopUp, UXRect(10, 408, 214, 24));

  firstRunBox = make<UXCheckbox>();
  firstRunBox->setTitle("First run (one-off costs)");
  firstRunBox->action = controlAction(me, &Controller::onFirstRun);
  firstRunBox->setAutoresizeMask(0);
  addChild(filters, firstRunBox, UXRect(10, 440, 214, 20));

  Ref<PaneView> publish = pane(column, "Publish", 630, 82, 9);
  publishBox = make<UXCheckbox>();
  publishBox->setTitle("I agree to publish this run");
  publishBox->setAutoresizeMask(0);
  addChild(publish, publishBox, UXRect(10, 24, 214, 20));
  button(publish, "Submit to the corpus", UXRect(10, 50, 214, 24), &Controller::onSubmitControl);

  // Rows 28 and 29: the chart in its scroll view.
  chart = make<ChartView>();
  chart->dataSet = dataSet;
  chart->filter = filter;
  chart->rebuild();
  chartScroll = make<UXScrollView>();
  chartScroll->setAutoresizeMask(53);
  addChild(content, chartScroll, UXRect(258, 8, 834, 534));
  chart->setAutoresizeMask(0);
  addChild(chartScroll->documentView, chart, UXRect(0, 0, 834, 400));
  chartScroll->setDocumentHeight(400);
  // From here the chart follows its scroll view; the first rebuild places it.
  chartScroll->observer = me;
  followChartScroll();

  // Row 30: the runs table.
  table = make<UXTableView>();
  static const struct {
    const char* title;
    uint16_t width;
  } kColumns[6] = {{"Benchmark", 130}, {"Series", 120}, {"Best", 90},
                   {"Spread", 90},     {"Machine", 180}, {"Parameters", 380}};
  for (const auto& c : kColumns) {
    Ref<UXTableColumn> column = make<UXTableColumn>();
    column->title = c.title;
    column->width = c.width;
    table->columns->add(column);
  }
  table->dataSource = me;
  table->setAutoresizeMask(25);
  addChild(content, table, UXRect(258, 550, 834, 140));

  // Row 31: the status line.
  statusLabel = make<UXLabel>();
  statusLabel->setText("Open your results JSON, or Download the published results and everyone's runs.");
  statusLabel->setAutoresizeMask(25);
  addChild(content, statusLabel, UXRect(262, 696, 826, 18));

  for (const Ref<PickView>* p : {&cpuPick, &gpuPick, &suitePick, &devicePick, &optPick, &archPick, &viewPick,
                                 &baselinePick})
    (*p)->windowHandle = window->handle;

  if (gDriver) {
    gDriver->structFinalise(window->tree->driverTree);
    window->realize();
    gDriver->windowInvalidate(window->handle);
  }

  if (startPath) loadFile(startPath);
  if (!selfTest) return 0;
  runSelfTest();
  application.stop();
  return exitCode;
}

}  // namespace quorl
