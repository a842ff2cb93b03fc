// The application object: driver installation, run's exit statuses, the main
// loop's waits and UX_AUTOQUIT deadline, closing windows and the key window.
#include <gtest/gtest.h>

#include "UXTestDriver.h"
#include "UXTestEnv.h"
#include "foundation/String.h"
#include "ux/core/UXMenu.h"

namespace quorl::test {
namespace {

class UXApplicationTest : public UXCoreTest {
 protected:
  void SetUp() override {
    UXCoreTest::SetUp();
    setEnv("UX_AUTOQUIT", nullptr);
    app = make<UXApplication>();
    delegate = make<TestDelegate>();
  }
  void TearDown() override {
    setEnv("UX_AUTOQUIT", nullptr);
    app.reset();
    UXCoreTest::TearDown();
  }

  Ref<UXWindow> addOpenWindow() {
    Ref<UXWindow> window = openWindow();
    app->addWindow(window);
    return window;
  }

  void postQuit() {
    UXEvent quit;
    quit.type = kUXEventClose;
    driver->postEvent(quit);
  }

  bool ranAway() const { return driver->timeouts.size() >= TestDriver::kRunawayTurns; }

  Ref<UXApplication> app;
  Ref<TestDelegate> delegate;
};

// --- Installation and state ------------------------------------------------------

TEST_F(UXApplicationTest, InitKeepsAnInstalledDriverAndInstallsOneOtherwise) {
  EXPECT_EQ(gDriver, driver);
  EXPECT_EQ(driver->appAttachedCalls, 0);
  EXPECT_STREQ(app->description()->cString(), "<UXApplication>(0, 0, 0, 0, 0)");
  gDriver.reset();
  auto other = make<UXApplication>();
  ASSERT_NE(gDriver, nullptr);
  EXPECT_NE(gDriver, driver);
  other->setDriver(driver);
  EXPECT_EQ(gDriver, driver);
  EXPECT_EQ(driver->appAttachedCalls, 1);
  other->setDriver(nullptr);
  EXPECT_EQ(gDriver, nullptr);
  EXPECT_FALSE(other->boot());
  other->stop();  // no driver: only the flag
  other->setHeadless(1);
  EXPECT_EQ(other->run(), 1);
}

TEST_F(UXApplicationTest, PlatformFactoryMakesAFreshDriverEachCall) {
  Ref<UXViewDriver> a = uxMakePlatformDriver();
  Ref<UXViewDriver> b = uxMakePlatformDriver();
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a, b);
  int32_t w = 0, h = 0;
  EXPECT_TRUE(a->boot(w, h));
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
}

TEST_F(UXApplicationTest, BootReportsTheDefaultSizeAndHeadlessReachesTheDriver) {
  EXPECT_TRUE(app->boot());
  EXPECT_EQ(app->defaultWidth, 1024);
  EXPECT_EQ(app->defaultHeight, 768);
  app->tickInterval = -2;
  EXPECT_STREQ(app->description()->cString(), "<UXApplication>(0, 1024, 768, -2, 0)");
  app->setHeadless(1);
  EXPECT_TRUE(driver->headless());
}

TEST_F(UXApplicationTest, AddWindowLinksBackAndTheFirstBecomesKey) {
  auto first = addOpenWindow();
  auto second = addOpenWindow();
  EXPECT_EQ(app->keyWindow.lock(), first);
  EXPECT_EQ(first->application.lock(), app);
  EXPECT_EQ(app->windowWithHandle(second->handle), second);
  EXPECT_EQ(app->windowWithHandle(40), nullptr);
}

// --- run: exit statuses -------------------------------------------------------

TEST_F(UXApplicationTest, RunStatuses) {
  driver->bootAnswer = false;
  EXPECT_EQ(app->run(), 1);
  driver->bootAnswer = true;
  EXPECT_EQ(app->run(), 2);  // no delegate
  EXPECT_EQ(gApp, nullptr);

  app->delegate = delegate;
  delegate->status = 3;
  EXPECT_EQ(app->run(), 3);
  EXPECT_TRUE(driver->timeouts.empty());  // no event was awaited
  EXPECT_EQ(gApp, app);
  EXPECT_EQ(app->running, 1);
}

TEST_F(UXApplicationTest, DriverOwnedLoopRunsThereAndAnswersZero) {
  app->delegate = delegate;
  driver->ownsRunLoop = true;
  EXPECT_EQ(app->run(), 0);
  EXPECT_EQ(driver->runLoopCalls, 1);
  EXPECT_EQ(delegate->starts, 0);
}

TEST_F(UXApplicationTest, QuitEventEndsTheLoopWithZero) {
  app->delegate = delegate;
  postQuit();
  EXPECT_EQ(app->run(), 0);
  EXPECT_EQ(driver->timeouts, std::vector<int32_t>{0});  // no tick, no deadline: no limit
  EXPECT_EQ(app->running, 0);
  EXPECT_EQ(driver->requestStops, 1);
}

TEST_F(UXApplicationTest, StopInsideStartSkipsTheLoop) {
  app->delegate = delegate;
  delegate->onStart = [](UXApplication& a) { a.stop(); };
  EXPECT_EQ(app->run(), 0);
  EXPECT_TRUE(driver->timeouts.empty());
}

// --- Deadline and waits -------------------------------------------------------

TEST_F(UXApplicationTest, AutoquitDeadlineBoundsEveryWaitAndEndsTheLoop) {
  setEnv("UX_AUTOQUIT", "500");
  app->delegate = delegate;
  EXPECT_EQ(app->run(), 0);
  ASSERT_FALSE(driver->timeouts.empty());
  EXPECT_FALSE(ranAway());
  EXPECT_EQ(driver->timeouts[0], 500);
  for (int32_t t : driver->timeouts) {
    EXPECT_GE(t, 1);
    EXPECT_LE(t, 500);
  }
  EXPECT_GE(driver->clock, 1500u);
  EXPECT_EQ(app->running, 0);
}

TEST_F(UXApplicationTest, DeadlineThatWrapsToZeroIsStillADeadline) {
  driver->clock = 0xFFFFFFFFu - 99;  // now + 100 wraps to exactly 0
  setEnv("UX_AUTOQUIT", "100");
  app->delegate = delegate;
  EXPECT_EQ(app->run(), 0);
  ASSERT_FALSE(driver->timeouts.empty());
  EXPECT_EQ(driver->timeouts[0], 100);
  EXPECT_FALSE(ranAway());
}

// A deadline past what the loop's clock can count is the longest one,
// never the short one its number would wrap to (2^32 + 1000 is not 1 s, nor
// is 2^64 + 1000).
TEST_F(UXApplicationTest, AutoquitPastTheRangeIsTheLongestDeadline) {
  for (const char* value :
       {"4294968296", "3000000000", "2147483647", "99999999999999999999999", "18446744073709552616"}) {
    driver->timeouts.clear();
    setEnv("UX_AUTOQUIT", value);
    app->delegate = delegate;
    EXPECT_EQ(app->run(), 0) << value;
    ASSERT_FALSE(driver->timeouts.empty()) << value;
    EXPECT_EQ(driver->timeouts[0], INT32_MAX) << value;
    EXPECT_FALSE(ranAway()) << value;
  }
}

TEST_F(UXApplicationTest, MalformedAutoquitIsIgnored) {
  for (const char* value : {"abc", "-5", "0", "", "-4294967295"}) {
    driver->timeouts.clear();
    setEnv("UX_AUTOQUIT", value);
    app->delegate = delegate;
    postQuit();
    EXPECT_EQ(app->run(), 0) << value;
    EXPECT_EQ(driver->timeouts, std::vector<int32_t>{0}) << value;
  }
}

struct WaitCase {
  int32_t interval;
  uint8_t paused;
  int32_t want;
};

TEST_F(UXApplicationTest, FirstWaitIsTheSmallerOfTickIntervalAndRemainingTime) {
  const WaitCase cases[] = {{40, 0, 25}, {0, 0, 25}, {10, 0, 10}, {25, 0, 25}, {10, 1, 25}};
  for (const WaitCase& c : cases) {
    driver->timeouts.clear();
    setEnv("UX_AUTOQUIT", "25");
    auto a = make<UXApplication>();
    a->delegate = delegate;
    int ticks = 0;
    a->tick = [&ticks] { ticks++; };
    a->tickInterval = c.interval;
    a->tickPaused = c.paused;
    EXPECT_EQ(a->run(), 0);
    ASSERT_FALSE(driver->timeouts.empty());
    EXPECT_EQ(driver->timeouts[0], c.want) << "interval " << c.interval;
    if (c.paused) EXPECT_EQ(ticks, 0);
    else EXPECT_EQ(size_t(ticks), driver->timeouts.size());
  }
}

TEST_F(UXApplicationTest, TickRunsOncePerTurnAndBoundsTheWait) {
  app->delegate = delegate;
  app->tickInterval = 40;
  int ticks = 0;
  app->tick = [&] {
    if (++ticks == 3) app->stop();
  };
  EXPECT_EQ(app->run(), 0);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(driver->timeouts, (std::vector<int32_t>{40, 40, 40}));
}

// --- Closing windows ---------------------------------------------------------

TEST_F(UXApplicationTest, ClosingTheKeyWindowPromotesTheFirstRemaining) {
  auto a = addOpenWindow();
  auto b = addOpenWindow();
  auto c = addOpenWindow();
  app->keyWindow = b;
  app->closeWindow(b);
  EXPECT_EQ(app->keyWindow.lock(), a);
  EXPECT_EQ(b->handle, 0u);
  EXPECT_EQ(app->windows->count(), 2u);
  app->closeWindow(c);  // not key: the key window stays
  EXPECT_EQ(app->keyWindow.lock(), a);
  app->running = 1;
  app->closeWindow(a);  // the last one stops the application
  EXPECT_EQ(app->keyWindow.lock(), nullptr);
  EXPECT_EQ(app->running, 0);
}

TEST_F(UXApplicationTest, ClosingAnUnlistedWindowClosesItAndMatchesByIdentity) {
  auto listed = make<UXWindow>();  // added but never opened: handle 0
  app->addWindow(listed);
  auto stray = openWindow();
  auto closedEarlier = make<UXWindow>();  // also handle 0, not listed
  app->running = 1;
  app->closeWindow(closedEarlier);
  EXPECT_EQ(app->windows->count(), 1u);  // the other handle-0 window stays
  app->closeWindow(stray);
  EXPECT_EQ(stray->handle, 0u);
  EXPECT_EQ(app->running, 1);
  app->closeWindow(listed);
  EXPECT_EQ(app->running, 0);
}

TEST_F(UXApplicationTest, PendingClosesRunInOrderAndOnce) {
  auto a = addOpenWindow();
  auto b = addOpenWindow();
  auto c = addOpenWindow();
  const uint32_t handleA = a->handle;
  app->pendingCloses->add(b);
  app->pendingCloses->add(a);
  app->pendingCloses->add(b);
  app->pendingCloses->add(nullptr);
  app->drainPendingCloses();
  EXPECT_TRUE(app->pendingCloses->isEmpty());
  EXPECT_EQ(app->windows->count(), 1u);
  EXPECT_EQ(app->keyWindow.lock(), c);
  EXPECT_EQ(driver->window(handleA), nullptr);
}

TEST_F(UXApplicationTest, LoopEndsWhenTheLastWindowCloses) {
  app->delegate = delegate;
  Ref<UXWindow> window;
  // The close request comes with the first turn.
  delegate->onStart = [&](UXApplication&) {
    window = addOpenWindow();
    UXEvent close;
    close.type = kUXEventClose;
    close.window = window->handle;
    driver->postEvent(close);
  };
  EXPECT_EQ(app->run(), 0);
  EXPECT_EQ(driver->timeouts.size(), 1u);
  EXPECT_EQ(window->handle, 0u);
  EXPECT_TRUE(app->windows->isEmpty());
}

TEST_F(UXApplicationTest, LoopRedrawsDirtyViewsAndDrainsCloses) {
  app->delegate = delegate;
  Ref<UXWindow> main, extra;
  Ref<ProbeView> child;
  delegate->onStart = [&](UXApplication&) {
    main = addOpenWindow();
    child = addView(main->tree, content, UXRect(5, 5, 10, 10));
    extra = addOpenWindow();
    child->setNeedsDisplayInRect(child->absoluteFrame());
    app->pendingCloses->add(extra);
  };
  int turns = 0;
  app->tick = [&] {
    if (++turns == 2) app->stop();
  };
  EXPECT_EQ(app->run(), 0);
  EXPECT_EQ(child->draws, 1);
  EXPECT_EQ(gNeedsDisplay, 0);
  EXPECT_EQ(extra->handle, 0u);
  EXPECT_EQ(app->windows->count(), 1u);
}

// --- Redisplay and drops ------------------------------------------------------

TEST_F(UXApplicationTest, DisplayIfNeededClearsTheFlagBeforeDrawing) {
  auto window = addOpenWindow();
  auto view = addView(window->tree, content, UXRect(0, 0, 10, 10));
  view->marksWhileDrawing = true;
  view->setNeedsDisplayInRect(view->absoluteFrame());
  gNeedsDisplay = 0;
  app->displayIfNeeded();  // flag clear: nothing
  EXPECT_EQ(view->draws, 0);
  gNeedsDisplay = 1;
  app->displayIfNeeded();
  EXPECT_EQ(view->draws, 1);
  EXPECT_EQ(gNeedsDisplay, 1);  // marked again while drawing: next turn
  app->displayIfNeeded();
  EXPECT_EQ(view->draws, 2);
}

TEST_F(UXApplicationTest, DropAndHoverBlocksThenRedisplay) {
  auto owner = make<Object>();
  std::vector<std::string> calls;
  auto block = [&](const char* tag) {
    UXDropBlock b;
    b.target = owner;
    b.function = [&calls, tag](const Ref<Object>&, const char* text, int32_t window, int32_t x, int32_t y) {
      calls.push_back(std::string(tag) + ":" + text + ":" + std::to_string(window) + ":" + std::to_string(x) + ":" +
                      std::to_string(y));
    };
    return b;
  };
  app->onFileDrop = block("file");
  app->onItemHover = block("hover");
  app->onItemDrop = block("item");
  gNeedsDisplay = 1;
  app->deliverFileDrop("a.json", 3, 10, 20);
  EXPECT_EQ(gNeedsDisplay, 0);
  app->deliverItemHover("row", 3, -1, -1);
  app->deliverItemDrop("row", 2, 5, 6);
  EXPECT_EQ(calls, (std::vector<std::string>{"file:a.json:3:10:20", "hover:row:3:-1:-1", "item:row:2:5:6"}));
  owner.reset();
  app->deliverFileDrop("b.json", 3, 0, 0);
  EXPECT_EQ(calls.size(), 3u);
}

// A busy step holds the thread, so nothing else creates the controls added
// since the window last realised its tree: the step creates them, paints
// the window, and is busy until it ends.
TEST_F(UXApplicationTest, ABusyStepCreatesNewControlsAndPaintsEverything) {
  struct ButtonProbe : ProbeView {
    uint8_t kind() const override { return kUXNodeButton; }
  };
  auto window = addOpenWindow();
  addView<ButtonProbe>(window->tree, content, UXRect(5, 5, 50, 20));
  window->realize();
  auto added = addView<ButtonProbe>(window->tree, content, UXRect(5, 40, 50, 20));
  UXNode* node = window->tree->driverTree->at(int16_t(added->node));
  ASSERT_NE(node, nullptr);
  ASSERT_EQ(node->native, 0u);
  const int drawn = content->draws;
  {
    UXBusyStep step(window);
    EXPECT_EQ(node->native, uint64_t(kUXNativeIdBase + added->node));
    EXPECT_EQ(node->nativeShown, 1);
    EXPECT_GT(content->draws, drawn);
    EXPECT_EQ(driver->busyDepth(), 1);
  }
  EXPECT_EQ(driver->busyDepth(), 0);
}

}  // namespace
}  // namespace quorl::test
