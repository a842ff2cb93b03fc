// The pop-up button: items and selection, the node it gives the driver, the
// click through the driver's pop-up menu, and its drawing.
#include "ControlTest.h"
#include "foundation/Array.h"
#include "ux/controls/UXPopUpButton.h"

namespace quorl::test {
namespace {

class UXPopUpButtonTest : public ControlTest {};

TEST(UXPopUpButtonModel, ItemsSelectionAndDescriptions) {
  auto popUp = make<UXPopUpButton>();
  EXPECT_EQ(popUp->kind(), 10);
  EXPECT_EQ(popUp->selectedIndex, -1);
  EXPECT_STREQ(popUp->selectedTitle(), "");
  EXPECT_EQ(describe(*popUp), "<UXPopUpButton>(-1)");
  popUp->selectItem(0);  // no items: nothing to select
  EXPECT_EQ(popUp->selectedIndex, -1);

  popUp->addItem("Time (ms)", -3);
  EXPECT_EQ(popUp->selectedIndex, 0);  // the first item added is selected
  EXPECT_EQ(describe(*popUp), "<UXPopUpButton>(0)");
  popUp->addItem("Speed-up over slowest", 70000);
  popUp->addItem(nullptr, 1);  // reads as ""
  EXPECT_EQ(popUp->selectedIndex, 0);
  EXPECT_EQ(popUp->itemCount(), 3u);
  EXPECT_STREQ(popUp->itemTitle(1), "Speed-up over slowest");
  EXPECT_STREQ(popUp->itemTitle(2), "");
  EXPECT_STREQ(popUp->itemTitle(3), "");
  EXPECT_EQ(popUp->itemTag(1), 70000);
  EXPECT_EQ(popUp->itemTag(9), 0);
  EXPECT_EQ(describe(*popUp->items->get(0)), "<UXPopUpItem>(-3)");
  EXPECT_EQ(describe(*popUp->items->get(1)), "<UXPopUpItem>(4464)");  // cut to 16 bits

  const int32_t tries[] = {-1, 3, 1, 99, -7};
  const int32_t want[] = {0, 0, 1, 1, 1};
  for (int i = 0; i < 5; i++) {
    popUp->selectItem(tries[i]);
    EXPECT_EQ(popUp->selectedIndex, want[i]) << tries[i];
  }
  EXPECT_STREQ(popUp->selectedTitle(), "Speed-up over slowest");
  popUp->selectedIndex = 5;  // set out of range by hand
  EXPECT_STREQ(popUp->selectedTitle(), "");
}

TEST_F(UXPopUpButtonTest, AttachGivesAKind10NodeWithThePeerAndNoSpec) {
  auto popUp = make<UXPopUpButton>();
  popUp->setTitle("never shown");
  popUp->attachTo(tree, UXRect(7, 8, 160, 22));
  EXPECT_EQ(driver->calls, (std::vector<std::string>{"structAppend ptr 10 7 8 160 22", "structSetPeer ptr 1 ptr"}));
  EXPECT_EQ(nodeOf(*popUp).spec, 0u);
  EXPECT_EQ(nodeOf(*popUp).peer.lock(), popUp);
}

// A click asks the menu at the lower left corner (window coordinates); only
// an answer among the items selects, redraws and runs the action.
TEST_F(UXPopUpButtonTest, ClickChoosesThroughTheDriversMenu) {
  struct Case {
    const char* name;
    bool enabled;
    int32_t answer;
    int32_t wantIndex;
    int wantCalls;
  };
  const Case cases[] = {
      {"disabled", false, 1, 0, 0},   {"dismissed", true, -1, 0, 0}, {"past the items", true, 2, 0, 0},
      {"far negative", true, -9, 0, 0}, {"second item", true, 1, 1, 1}, {"same item again", true, 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    auto popUp = place(make<UXPopUpButton>(), UXRect(30, 40, 160, 22));
    popUp->addItem("Time (ms)", 0);
    popUp->addItem("Speed-up over slowest", 1);
    auto probe = make<ActionProbe>();
    popUp->action = probe->block();
    if (!c.enabled) disable(*popUp);
    driver->runPopupAnswers = {c.answer};
    driver->clearCalls();
    clearMarks();
    UXEvent e;
    popUp->mouseDown(e);
    EXPECT_EQ(popUp->selectedIndex, c.wantIndex);
    EXPECT_EQ(probe->calls, c.wantCalls);
    EXPECT_EQ(gNeedsDisplay, c.wantCalls ? 1 : 0);
    if (c.enabled) {
      EXPECT_EQ(driver->last("runPopupMenu"), "runPopupMenu ptr 40 82");
    } else {
      EXPECT_EQ(driver->count("runPopupMenu"), 0u);
    }
    if (c.wantCalls) {
      EXPECT_EQ(tree->dirtyRect, UXRect(40, 60, 160, 22));
    }
  }
}

TEST_F(UXPopUpButtonTest, MenuBelowAControlNearTheSixteenBitEdgeStaysBelowIt) {
  auto popUp = place(make<UXPopUpButton>(), UXRect(0, 32730, 100, 30));  // absolute y 32750
  popUp->addItem("a", 0);
  UXEvent e;
  popUp->mouseDown(e);
  EXPECT_EQ(driver->last("runPopupMenu"), "runPopupMenu ptr 10 32780");
}

TEST_F(UXPopUpButtonTest, DrawsThemeArtAndTheSelectedTitle) {
  auto popUp = place(make<UXPopUpButton>(), UXRect(0, 0, 160, 22));
  RecordingGraphics g;
  popUp->drawRect(g, UXRect(0, 0, 160, 22));
  EXPECT_EQ(g.lines, (std::vector<std::string>{"drawTheme \"popup\" 0,0,160,22", "drawText \"\" 8 5 1 0"}));
  popUp->addItem("Time (ms)", 0);
  g.clear();
  popUp->drawRect(g, UXRect(0, 0, 160, 22));
  EXPECT_EQ(g.lines, (std::vector<std::string>{"drawTheme \"popup\" 0,0,160,22", "drawText \"Time (ms)\" 8 5 1 0"}));
  // Shorter than a line: the title rises above the frame (truncated toward 0).
  auto low = place(make<UXPopUpButton>(), UXRect(0, 30, 60, 5));
  g.clear();
  low->drawRect(g, UXRect(0, 0, 60, 5));
  EXPECT_EQ(g.of("drawText"), (std::vector<std::string>{"drawText \"\" 8 -3 1 0"}));
}

// A pick in the native list selects (when in range) and always runs the
// action, as the driver reports it.
TEST_F(UXPopUpButtonTest, NativePicksSelectThenRunTheAction) {
  auto popUp = place(make<UXPopUpButton>(), UXRect(0, 0, 160, 22));
  popUp->addItem("Time (ms)", 0);
  popUp->addItem("Speed-up over slowest", 1);
  auto probe = make<ActionProbe>();
  popUp->action = probe->block();
  popUp->applyNativePick(1);
  EXPECT_EQ(popUp->selectedIndex, 1);
  EXPECT_EQ(probe->calls, 1);
  popUp->applyNativePick(7);
  EXPECT_EQ(popUp->selectedIndex, 1);
  EXPECT_EQ(probe->calls, 2);
  EXPECT_EQ(probe->lastSender.lock(), popUp);
}

}  // namespace
}  // namespace quorl::test
