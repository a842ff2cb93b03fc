// Event routing: the tap, mouse lookup and the key window, keys through the
// menu bar, menu commands, close requests, relayout and resize.
#include <gtest/gtest.h>

#include "UXTestDriver.h"
#include "foundation/Map.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "ux/core/UXMenu.h"

namespace quorl::test {
namespace {

class UXDispatchTest : public UXCoreTest {
 protected:
  void SetUp() override {
    UXCoreTest::SetUp();
    app = make<UXApplication>();
    first = openWindow(200, 100);
    firstContent = content;
    second = openWindow(200, 100);
    secondContent = content;
    app->addWindow(first);
    app->addWindow(second);
    app->running = 1;
  }
  void TearDown() override {
    app.reset();
    UXCoreTest::TearDown();
  }
  void dispatch(const Ref<UXEvent>& event) { app->dispatchEvent(*event); }

  Ref<UXApplication> app;
  Ref<UXWindow> first, second;
  Ref<ProbeView> firstContent, secondContent;
};

TEST_F(UXDispatchTest, TapSeesEveryEventFirstAndNoEventDoesNothingElse) {
  std::vector<uint8_t> seen;
  auto owner = make<Object>();
  gEventTap.target = owner;
  gEventTap.function = [&](const Ref<Object>& target, UXEvent& event) {
    EXPECT_EQ(target, owner);
    seen.push_back(event.type);
    EXPECT_EQ(secondContent->mouseDowns, 0);  // before routing
  };
  dispatch(makeEvent(kUXEventNone));
  dispatch(makeEvent(kUXEventScrollChanged));
  dispatch(makeEvent(kUXEventMouseDown, 5, 5, second->handle));
  EXPECT_EQ(seen, (std::vector<uint8_t>{0, 12, 1}));
  EXPECT_EQ(app->keyWindow.lock(), second);
  EXPECT_EQ(app->running, 1);
  EXPECT_EQ(firstContent->mouseDowns + firstContent->wheels, 0);
}

TEST_F(UXDispatchTest, TapWithoutFunctionCountsAsSetButCallsNothing) {
  auto owner = make<Object>();
  gEventTap.target = owner;
  EXPECT_TRUE(gEventTap.isSet());
  dispatch(makeEvent(kUXEventNone));  // no crash
  gEventTap = UXEventTap();
  EXPECT_FALSE(gEventTap.isSet());
}

TEST_F(UXDispatchTest, PressesMoveTheKeyWindowMovesAndWheelsDoNot) {
  EXPECT_EQ(app->keyWindow.lock(), first);
  dispatch(makeEvent(kUXEventMouseMoved, 5, 5, second->handle));
  dispatch(makeEvent(kUXEventWheel, 5, 5, second->handle));
  EXPECT_EQ(app->keyWindow.lock(), first);
  EXPECT_EQ(secondContent->wheels, 1);
  dispatch(makeEvent(kUXEventRightMouseDown, 5, 5, second->handle));
  EXPECT_EQ(app->keyWindow.lock(), second);
  EXPECT_EQ(secondContent->rightDowns, 1);
  dispatch(makeEvent(kUXEventMouseDown, 5, 5, first->handle));
  EXPECT_EQ(app->keyWindow.lock(), first);
  EXPECT_EQ(firstContent->mouseDowns, 1);
}

TEST_F(UXDispatchTest, WindowZeroIsFoundByPointOrDropped) {
  // The headless driver places both windows at (10, 10): the newest is on top.
  dispatch(makeEvent(kUXEventMouseDown, 15, 15, 0));
  EXPECT_EQ(app->keyWindow.lock(), second);
  EXPECT_EQ(secondContent->mouseDowns, 1);
  app->keyWindow = first;
  dispatch(makeEvent(kUXEventMouseDown, 5000, 5000, 0));  // over no window
  EXPECT_EQ(app->keyWindow.lock(), first);
  dispatch(makeEvent(kUXEventMouseDown, 5, 5, 60));  // a handle not listed
  EXPECT_EQ(app->keyWindow.lock(), first);
  dispatch(makeEvent(kUXEventWheel, 15, 15, 0));  // wheels never look up by point
  EXPECT_EQ(secondContent->wheels + firstContent->wheels, 0);
}

TEST_F(UXDispatchTest, KeysTryShortcutsThenTheKeyWindow) {
  auto owner = make<Object>();
  int quits = 0;
  app->menuBar = make<UXMenuBar>();
  auto menu = make<UXMenu>("File");
  app->menuBar->menus->add(menu);
  UXMenuAction action;
  action.target = owner;
  action.function = [&](const Ref<Object>&, const Ref<UXMenuItem>&) { quits++; };
  menu->addItem("Quit", action)->key = 'Q';
  auto field = addView(first->tree, firstContent, UXRect(0, 0, 10, 10));
  field->accepts = true;
  first->makeFirstResponder(field);

  dispatch(keyEvent(17, kUXModCtrl));
  EXPECT_EQ(quits, 1);
  EXPECT_TRUE(field->keys.empty());
  dispatch(keyEvent('q'));
  EXPECT_EQ(field->keys, std::vector<uint16_t>{'q'});

  app->keyWindow.reset();
  dispatch(keyEvent('r'));  // no key window, no shortcut: nothing
  EXPECT_EQ(field->keys.size(), 1u);
}

TEST_F(UXDispatchTest, MenuCommandsGoToTheMenuBar) {
  dispatch(makeEvent(kUXEventMenuCommand));  // no menu bar: nothing
  auto owner = make<Object>();
  std::vector<std::string> chosen;
  app->menuBar = make<UXMenuBar>();
  auto menu = make<UXMenu>("File");
  app->menuBar->menus->add(menu);
  UXMenuAction action;
  action.target = owner;
  action.function = [&](const Ref<Object>&, const Ref<UXMenuItem>& item) { chosen.push_back(item->title); };
  menu->addItem("Open", action);
  menu->addItem("Save", action);
  app->menuBar->install(first->handle);
  auto command = makeEvent(kUXEventMenuCommand);
  command->a = 2;
  command->b = 1;
  dispatch(command);
  command->a = 1;
  dispatch(command);
  EXPECT_EQ(chosen, std::vector<std::string>{"Save"});
}

TEST_F(UXDispatchTest, CloseRequestsCloseListedWindowsAndOtherwiseQuit) {
  const uint32_t handle = first->handle;
  dispatch(makeEvent(kUXEventClose, 0, 0, handle));
  EXPECT_EQ(first->handle, 0u);
  EXPECT_EQ(app->keyWindow.lock(), second);
  EXPECT_EQ(app->running, 1);
  dispatch(makeEvent(kUXEventClose, 0, 0, handle));  // no longer listed: a quit
  EXPECT_EQ(app->running, 0);
  EXPECT_EQ(second->handle, 2u);  // still open
  app->running = 1;
  dispatch(makeEvent(kUXEventClose, 0, 0, 0));
  EXPECT_EQ(app->running, 0);
}

TEST_F(UXDispatchTest, HandleZeroNeverNamesAnUnopenedWindow) {
  // Added but never opened: its handle is 0 like "no window".
  auto unopened = make<UXWindow>();
  auto unopenedContent = make<ProbeView>();
  unopened->contentView = unopenedContent;
  app->windows->insert(0, unopened);
  app->keyWindow = first;
  dispatch(makeEvent(kUXEventMouseDown, 5000, 5000, 0));  // over no window
  EXPECT_EQ(app->keyWindow.lock(), first);
  EXPECT_EQ(unopenedContent->mouseDowns, 0);
  dispatch(makeEvent(kUXEventClose, 0, 0, 0));  // the platform's quit
  EXPECT_EQ(app->running, 0);
  EXPECT_EQ(app->windows->count(), 3u);
}

TEST_F(UXDispatchTest, RelayoutDropsTheDirtyMarkAndRepaintsEverything) {
  auto view = addView(first->tree, firstContent, UXRect(150, 50, 10, 10));
  view->setNeedsDisplayInRect(UXRect(0, 0, 5, 5));
  const uint32_t paints = driver->window(first->handle)->paints;
  for (uint8_t type : {kUXEventRelayout, kUXEventRedraw}) {
    dispatch(makeEvent(type, 0, 0, first->handle));
    EXPECT_EQ(first->tree->dirty, 0);
  }
  EXPECT_EQ(driver->window(first->handle)->paints, paints + 2);
  EXPECT_EQ(view->draws, 2);  // whole window, not only the old mark
  dispatch(makeEvent(kUXEventRelayout, 0, 0, 33));  // unknown window: nothing
  EXPECT_EQ(driver->window(first->handle)->paints, paints + 2);
}

TEST_F(UXDispatchTest, ResizePostsTheNotificationCallsTheDelegateAndRelayouts) {
  auto owner = make<Object>();
  std::vector<Ref<Notification>> notes;
  auto obs = make<NotificationObserver>();
  obs->owner = owner;
  obs->block.target = owner;
  obs->block.function = [&](const Ref<Object>&, const Ref<Notification>& n) { notes.push_back(n); };
  obs->name = String::withCString("UXWindowDidResize");
  obs->anyObject = 1;
  NotificationCenter::shared()->observers->add(obs);

  auto delegate = make<TestDelegate>();
  app->delegate = delegate;  // without the resize callback
  const uint32_t paints = driver->window(first->handle)->paints;
  dispatch(makeEvent(kUXEventResize, 0, 0, first->handle));
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0]->object, first);
  Ref<Map> info = notes[0]->userInfo;
  ASSERT_NE(info, nullptr);
  ASSERT_EQ(info->count(), 2u);
  EXPECT_STREQ(cast<String>(info->enumAt(0))->cString(), "width");
  EXPECT_STREQ(cast<String>(info->enumAt(1))->cString(), "height");
  EXPECT_EQ(cast<Number>(info->get("width"))->integerValue(), 200);
  EXPECT_EQ(cast<Number>(info->get("height"))->integerValue(), 100);
  EXPECT_TRUE(delegate->resizes.empty());
  EXPECT_EQ(driver->window(first->handle)->paints, paints + 1);

  delegate->hasResize = true;
  dispatch(makeEvent(kUXEventResize, 0, 0, second->handle));
  ASSERT_EQ(delegate->resizes.size(), 1u);
  EXPECT_EQ(delegate->resizes[0], std::make_pair(200, 100));
  EXPECT_EQ(delegate->resizedWindow, second);
  dispatch(makeEvent(kUXEventResize, 0, 0, 50));  // unknown: nothing posted
  EXPECT_EQ(notes.size(), 2u);
}

// A tap counts as set by its function or its target, but runs only with
// both: one whose target was released, or that never had one, is skipped.
TEST_F(UXDispatchTest, TapRunsOnlyWithItsFunctionAndALiveTarget) {
  int calls = 0;
  gEventTap.function = [&](const Ref<Object>& target, UXEvent&) {
    EXPECT_TRUE(target);
    calls++;
  };
  EXPECT_TRUE(gEventTap.isSet());
  dispatch(makeEvent(kUXEventNone));  // no target at all
  {
    auto owner = make<Object>();
    gEventTap.target = owner;
    dispatch(makeEvent(kUXEventNone));
  }
  EXPECT_TRUE(gEventTap.isSet());
  dispatch(makeEvent(kUXEventNone));  // target released
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace quorl::test
