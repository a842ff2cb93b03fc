// The application controller: the one object that holds the state of the
// running visualiser and carries every operation of its window.
//
// Sections (and the file that holds each):
//   1. Fields and lifecycle                      Controller.cpp
//   2. Status line, opening, downloading,
//      submitting                                ControllerData.cpp
//   3. Filters, choices and rebuilding; the
//      runs table's data source                  ControllerViews.cpp
//   4. Main window and menu                      ControllerWindow.cpp
//   5. Self test with its heat-map and network
//      checks                                    SelfTest.cpp
//
// Every view field is null until applicationDidStart builds the window, and
// every operation tests the views it touches, so loading, merging and
// computing choices work on the model alone (tests, the self test's own
// chart). Everything runs on the one UI thread.
#pragma once

#include <cstdint>
#include <functional>

#include "bench/ChartView.h"
#include "bench/Filter.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/controls/UXCheckbox.h"
#include "ux/controls/UXControl.h"
#include "ux/controls/UXPopUpButton.h"
#include "ux/controls/UXScrollView.h"
#include "ux/controls/UXTableView.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXMenu.h"
#include "ux/core/UXWindow.h"

namespace quorl {

class HttpResponse;
class PaneView;
class PickView;

// Picker tags, fixed by the window builder.
enum : uint32_t {
  kPickCpu = 0,
  kPickGpu = 1,
  kPickSuite = 2,
  kPickOpt = 3,
  kPickDevice = 4,
  kPickView = 5,
  kPickArch = 6,
  kPickBaseline = 7,
};

class Controller : public Object, public UXApplicationDelegate, public UXTableDataSource, public UXScrollObserver {
 public:
  // -- 1. Fields, in declaration order ---------------------------------------
  Ref<DataSet> dataSet;
  Ref<Filter> filter;
  Ref<ChartView> chart;
  Ref<UXScrollView> chartScroll;
  Ref<UXTableView> table;
  Ref<PickView> cpuPick;
  Ref<PickView> gpuPick;
  Ref<PickView> suitePick;
  Ref<PickView> devicePick;
  Ref<PickView> optPick;
  Ref<PickView> archPick;
  Ref<PickView> viewPick;
  Ref<PickView> baselinePick;
  Ref<UXPopUpButton> metricPopUp;
  Ref<UXCheckbox> firstRunBox;
  Ref<UXCheckbox> publishBox;
  Ref<UXLabel> statusLabel;
  Ref<UXWindow> window;
  Ref<Array> rows;  // ChartRow, shared with the chart
  Ref<Contribution> ownContribution;
  Ref<String> lastStatus;
  int32_t exitCode = 0;
  bool updating = false;
  bool selfTest = false;
  Ref<String> startPath;

  // The contributions of the last download that no file the user opened
  // holds too: the next download replaces them, while what the user opened
  // stays.
  Ref<Array> downloaded;
  // Set once runSelfTest has written its exit code: a self-test run that
  // never got there must not end with status 0.
  bool selfTestCompleted = false;
  // Set when a status or report line could not be written whole to
  // standard output (a full disk, a closed stream): a self test whose report
  // nobody could read then ends with kExitReportLost.
  bool outputLost = false;
  // Where every status line and report line goes besides standard output
  // (tests read the run's whole output here); null keeps nothing.
  Ref<String> transcript;

  // Largest file loadFile reads (the size of the biggest reply the network
  // layer accepts).
  static constexpr int64_t kMaxFileBytes = int64_t(256) << 20;
  static_assert(kMaxFileBytes % (int64_t(1) << 20) == 0, "the refusal names the cap in whole MiB");
  // Largest reply to a submission that is read: a reply is a few dozen
  // bytes, and the run has been sent before it comes.
  static constexpr uint32_t kMaxReplyBytes = 64u << 10;
  // What an action that ran out of memory says when it has no words of its
  // own.
  static constexpr const char* kNoMemory = "Not enough memory for that: what was loaded stays as it was.";
  // The self test's exit status when its report could not be written whole
  // (0 passed, 1 a check failed, 2 no file).
  static constexpr int32_t kExitReportLost = 3;
  // Bytes of a server's reply body shown in a report line.
  static constexpr uint32_t kMaxBodyShown = 200;

  Controller();
  ~Controller() override;

  // <Controller>(exit code, updating, self test)
  Ref<String> description() const override;
  const char* classNameC() const override { return "Controller"; }

  // -- 2. Status line, opening, downloading, submitting -----------------------
  // The status line and standard output: one line of the program's words,
  // the texts from outside in it last, each through Stdio::quote
  // (Stdio::lineOfQuoted).
  void say(const Ref<String>& message);
  void say(const char* message) { say(String::withCString(message)); }
  // Where every status and report line goes: standard output and the
  // transcript; a line that did not go out whole sets outputLost.
  void print(const Ref<String>& line);
  void loadFile(const Ref<String>& path);
  void mergeCorpus(const Ref<String>& text);
  // What a document's bytes hold, read as every document from a file or the
  // network is: UTF-8 after an optional byte-order mark, or UTF-16 after
  // its mark; parsed, loaded and given its views' share within what reading
  // its size may take (JSON::Budget). `failure` says why a text could not
  // be read at all; else `contributions` holds what it gave (none for text
  // that is no result document) and `document` its parsed value, `spent`
  // what reading took from the budget. `text` must not be null. Text that
  // is not JSON gives no contributions, and `jsonAt` says where reading
  // stopped (the byte of the file for UTF-8 text, its mark counted; of its
  // UTF-8 form for UTF-16) and `jsonEndsEarly` whether the text ended there.
  struct Reading {
    Ref<Array> contributions;
    Ref<Object> document;
    const char* failure = nullptr;
    uint32_t jsonAt = kNotFound;
    bool jsonEndsEarly = false;
    uint64_t spent = 0;
    // Where the text stopped being JSON, in words; null when it is JSON.
    Ref<String> jsonFault() const;
  };
  static Reading readDocument(Ref<String> text, const Ref<String>& source);
  void onOpen(const Ref<UXMenuItem>& item);
  void onOpenControl(const Ref<UXView>& sender);
  void onDownload(const Ref<UXMenuItem>& item);
  void onDownloadControl(const Ref<UXView>& sender);
  void onSubmit(const Ref<UXMenuItem>& item);
  void onSubmitControl(const Ref<UXView>& sender);
  // Runs one user action: an open, a download, a submission, a pick, every
  // menu item and button, the self test. Memory that runs out anywhere in
  // it never ends the program: the data loaded before (the contributions,
  // the last download, the own contribution) is put back as it was, the
  // views are made of it again, and `failed` tells what could not be done
  // (when not given, kNoMemory is said). Actions nest; the innermost one
  // that ran out tells it.
  void perform(const std::function<void()>& action, const std::function<void()>& failed = nullptr);
  // The "count" of a reply to a submission as the server wrote it, when it
  // is a whole number from 0 to 2^64 - 1 (a JSON integer; 1e20 or 7.0 are
  // doubles, not counts as written); else null, and no count is told.
  static Ref<String> replyCount(Ptr<const Map> reply);
  // The address of `path` on the server Net::server names; null when that
  // cannot be taken (the reason in Net::lastError), and nothing is sent.
  static Ref<String> serverAddress(const char* path);

  // -- 3. Filters, choices, rebuilding; the table ----------------------------
  void rebuild(bool reset);
  void applyPick(uint32_t tag, const Ref<String>& selection);
  void syncFilter();
  void onMetric(const Ref<UXView>& sender);
  void onFirstRun(const Ref<UXView>& sender);
  Ref<Array> distinct(const Ref<String>& key) const;
  Ref<Array> distinct(const char* key) const { return distinct(String::withCString(key)); }
  Ref<Array> deviceChoices() const;
  Ref<Contribution> ownerOf(Ptr<const Run> run) const;
  // Every run with its owner, in the order of DataSet.runs.
  template <class Visit> void forEachRun(const Visit& visit) const {
    const Array& contributions = dataSet->contributions();
    for (uint32_t c = 0; c < contributions.count(); c++) {
      Ref<Contribution> owner = cast<Contribution>(contributions.get(c));
      if (!owner) continue;
      const Array& runs = *owner->runs;
      for (uint32_t r = 0; r < runs.count(); r++)
        if (Ref<Run> run = cast<Run>(runs.get(r))) visit(owner, run);
    }
  }
  // The user's own contribution as JSON text to submit; null when it cannot
  // be written.
  Ref<String> ownContributionText() const;
  static Ref<String> friendlyDevice(const Ref<String>& device);

  // The chart's size, origin and band in sight follow its scroll view: the
  // whole chart is the document, however tall or wide.
  void placeChart();
  void scrollViewDidChangeVisible(UXScrollView& scrollView) override;

  uint32_t numberOfRows(UXTableView& table) override;
  const char* valueForCell(UXTableView& table, uint32_t row, uint32_t column) override;

  // -- 4. Main window and menu ----------------------------------------------
  int32_t applicationDidStart(UXApplication& application) override;
  Ref<UXMenuBar> buildMenu();
  // The smallest client size at which every control of the window shows.
  static constexpr int32_t kMinClientWidth = 800;
  static constexpr int32_t kMinClientHeight = 640;
  Ref<PaneView> pane(const Ref<UXView>& parent, const char* title, int16_t y, int16_t height, uint32_t mask);
  Ref<PickView> pick(const Ref<UXView>& parent, int16_t x, int16_t y, int16_t width, uint32_t tag);
  void label(const Ref<UXView>& parent, const char* text, int16_t x, int16_t y);
  // The five steps that put a child under its parent.
  void addChild(const Ref<UXView>& parent, const Ref<UXView>& child, UXRect frame);

  // -- 5. Self test ------------------------------------------------------------
  void runSelfTest();
  int32_t heatSelfTest();
  int32_t netSelfTest();
  // One report line (no status line): standard output and the transcript.
  void report(const Ref<String>& line);
  // A server's reply body as a report field: its first kMaxBodyShown bytes,
  // as Stdio::quote shows them.
  static Ref<String> shownBody(const uint8_t* bytes, uint32_t length);

  // The embedded documents of the self test.
  static const char* const kRunPyDocument;
  static const char* const kParDocument;
  static const char* const kCorpusDocument;

 private:
  // Realises the window's tree and paints it before returning.
  void repaintNow();
  // What adding a list of contributions did: the runs and contributions
  // added, the runs of those left out as already loaded, what the loaders
  // left out: impossible times, and runs that kept no time; and the runs
  // the list holds that have no best time (Run::value), which the chart
  // does not draw.
  struct Added {
    int32_t runs = 0;
    int32_t alreadyLoaded = 0;
    int32_t impossibleTimes = 0;
    int32_t runsWithoutTime = 0;
    int32_t runsWithoutBest = 0;
    Ref<Array> contributions;
  };
  // Adds the contributions of a file, or of a download (which replaces the
  // one before), each result set held once (DataSet.merge); what a file
  // brings that the download holds stays when the download goes.
  Added appendAll(Ptr<const Array> added, bool download);
  // "N runs", or "N new runs" when some were already loaded; and what was
  // left out, "M already loaded; K impossible times left out; J runs with
  // no possible time left out; L runs with no best time", each word in the
  // number of its count (empty when nothing was).
  static Ref<String> runsText(const Added& added);
  static Ref<String> leftOutText(const Added& added);
  // The steps of Submit after its guard; `sent` is set once the request
  // may have gone out.
  void submit(bool& sent);
  // Consent belongs to the contribution it was given for: clears the box.
  void withdrawConsent();
  // The self test's checks, within its guard.
  void runChecks();
  void refill(const Ref<PickView>& picker, Ref<Array> choices);
  // The chart's frame, origin and band in sight from its scroll view's.
  void followChartScroll();
  bool placingChart_ = false;    // placeChart is under way
  int32_t placedViewportW_ = -1;  // the chart viewport's width the chart last followed
};

// The program: reads the command line, runs the application and answers
// the process exit status. main() calls it; tests call it with a scripted
// driver installed beforehand, and `prepare` sees the controller before the
// application runs.
int quorlMain(int argc, const char* const* argv,
              const std::function<void(const Ref<Controller>&)>& prepare = nullptr);

}  // namespace quorl
