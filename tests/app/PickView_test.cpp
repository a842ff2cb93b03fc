// The pick view and the pane view: what they draw, what a pick hands on,
// and their descriptions.
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "RecordingGraphics.h"
#include "ux/core/UXMenu.h"
#include "ux/core/UXViewTree.h"

using namespace quorl;
using namespace quorl::apptest;

namespace {

class Views : public ::testing::Test {
 protected:
  Ref<ScriptedDriver> driver = make<ScriptedDriver>();
  Ref<UXViewTree> tree;
  void SetUp() override {
    driver->logging = false;
    gDriver = driver;
    tree = make<UXViewTree>();
    make<UXView>()->attachTo(tree, UXRect(0, 0, 400, 300));
  }
  void TearDown() override {
    tree.reset();
    gDriver.reset();
  }
  // Lines of the text and of the last polygon (the arrow).
  static std::vector<std::string> textAndArrow(const RecordingGraphics& g) {
    std::vector<std::string> out = g.of("drawTextRGBA");
    std::vector<std::string> polygons = g.of("fillPolygonRGBA");
    if (!polygons.empty()) out.push_back(polygons.back());
    return out;
  }
};

TEST_F(Views, PickerDrawsItsChoiceAndArrow) {
  Ref<PickView> pick = make<PickView>();
  pick->attachTo(tree, UXRect(10, 40, 214, 24));
  RecordingGraphics g;
  pick->drawRect(g, UXRect(0, 0, 1, 1));
  EXPECT_EQ(textAndArrow(g), (std::vector<std::string>{"drawTextRGBA \"Any\" 8 5 30 30 34 255 12",
                                                       "fillPolygonRGBA [200,10 208,10 204,15] 3 90 94 102 255"}));
  // Border and face: two rounded rectangles before the text.
  EXPECT_GE(g.count("fillPolygonRGBA"), 3u);
  EXPECT_NE(g.lines.front().find("178 182 190 255"), std::string::npos) << g.lines.front();

  pick->setSelection(S("Zen 4"));
  g.clear();
  pick->drawRect(g, UXRect(0, 0, 1, 1));
  EXPECT_EQ(g.of("drawTextRGBA"), std::vector<std::string>{"drawTextRGBA \"Zen 4\" 8 5 30 30 34 255 12"});

  // Odd sizes: the text's y truncates toward zero, the arrow follows h / 2.
  Ref<PickView> small = make<PickView>();
  small->attachTo(tree, UXRect(0, 0, 30, 9));
  g.clear();
  small->drawRect(g, UXRect(0, 0, 1, 1));
  EXPECT_EQ(textAndArrow(g), (std::vector<std::string>{"drawTextRGBA \"Any\" 8 -2 30 30 34 255 12",
                                                       "fillPolygonRGBA [16,2 24,2 20,7] 3 90 94 102 255"}));
}

TEST_F(Views, PaneDrawsFrameFaceAndTitle) {
  Ref<PaneView> pane = make<PaneView>();
  pane->title = "Data";
  pane->attachTo(tree, UXRect(8, 8, 234, 60));
  RecordingGraphics g;
  pane->drawRect(g, UXRect(0, 0, 1, 1));
  EXPECT_EQ(g.of("drawTextRGBA"), std::vector<std::string>{"drawTextRGBA \"Data\" 10 6 90 94 104 255 11"});
  ASSERT_GE(g.lines.size(), 3u);
  EXPECT_NE(g.lines.front().find("206 209 217 255"), std::string::npos) << g.lines.front();
}

TEST_F(Views, Descriptions) {
  Ref<PickView> pick = make<PickView>();
  EXPECT_EQ(str(pick->description()), "<PickView>(0, 0)");
  pick->tag = 5;
  pick->windowHandle = 1;
  EXPECT_EQ(str(pick->description()), "<PickView>(5, 1)");
  pick->tag = 0xFFFF;
  EXPECT_EQ(str(pick->description()), "<PickView>(-1, 1)");
}

// A pick reaches the owner's applyPick with the tag; the none-label, in any
// case, and an item without a title give null; no handle or no owner means
// no menu at all.
TEST_F(Views, PicksReachTheOwner) {
  Ref<Controller> owner = make<Controller>();
  Ref<PickView> pick = make<PickView>();
  pick->attachTo(tree, UXRect(10, 40, 214, 24));
  pick->owner = owner;
  pick->tag = kPickView;
  pick->setChoices([] {
    Ref<Array> a = make<Array>();
    a->add(S("Summary"));
    a->add(S("ANY"));
    return a;
  }());

  driver->popUpAnswers = {1};
  pick->openMenu();  // windowHandle 0: nothing
  EXPECT_EQ(driver->popUpAnswers.size(), 1u);
  pick->windowHandle = 1;

  const struct {
    int32_t answer;
    const char* selection;
  } cases[] = {{1, "Summary"}, {1, "Summary"}, {2, "<null>"}, {0, "<null>"}, {-1, "<null>"}};
  pick->setSelection(S("before"));
  for (const auto& k : cases) {
    if (k.answer < 0) pick->setSelection(nullptr);
    driver->popUpAnswers = {k.answer};
    pick->openMenu();
    EXPECT_EQ(str(pick->selection), k.selection) << k.answer;
  }
  Ref<UXMenuItem> untitled = make<UXMenuItem>();
  pick->setSelection(S("x"));
  pick->onPick(untitled);
  EXPECT_EQ(pick->selection, nullptr);

  owner.reset();  // the owner is held weakly: gone now, and no menu shows
  EXPECT_TRUE(pick->owner.expired());
  driver->popUpAnswers = {1};
  pick->openMenu();
  EXPECT_EQ(driver->popUpAnswers.size(), 1u);
}

}  // namespace
