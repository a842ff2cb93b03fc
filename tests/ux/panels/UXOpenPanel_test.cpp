// The open panel and modal sessions of the file panel, driven by scripted
// streams of events through the headless driver.
#include <string>
#include <vector>

#include "PanelTest.h"
#include "ScriptedDriver.h"
#include "foundation/Array.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXViewTree.h"
#include "ux/core/UXWindow.h"
#include "ux/controls/UXCheckbox.h"
#include "ux/controls/UXControl.h"
#include "ux/controls/UXTextField.h"
#include "ux/panels/UXFilePanelViews.h"
#include "ux/panels/UXOpenPanel.h"

namespace quorl::test {
namespace {

// Points inside the panel's controls, in its window.
struct Point { int16_t x, y; };
constexpr Point kOpen{389, 305}, kCancel{290, 305}, kDelete{384, 246}, kRename{384, 156}, kRecent{384, 93},
    kHidden{20, 303}, kNameField{150, 64}, kNameHeader{100, 88}, kSizeHeader{300, 88};
Point row(int i) { return Point{100, int16_t(98 + 18 * i + 9)}; }

class PanelSession : public PanelTest {
 protected:
  Ref<UXApplication> app;
  Ref<UXWindow> main;
  uint32_t panelWindow = 0;  // the handle the panel's window will get

  void SetUp() override {
    PanelTest::SetUp();
    for (int i = 0; i < 25; ++i) write("f" + std::string(i < 10 ? "0" : "") + std::to_string(i), "x");
    fs::create_directory(at("sub"));
    app = make<UXApplication>();
    main = make<UXWindow>();
    main->open("Main", UXRect(0, 0, 800, 600), make<UXView>());
    app->addWindow(main);
    app->running = 1;
    gApp = app;
    panelWindow = main->handle + 1;
  }
  void TearDown() override {
    main.reset();
    gApp.reset();
    app.reset();
    PanelTest::TearDown();
  }
  void post(uint8_t type, uint32_t window, Point p = {0, 0}, int32_t a = 0) {
    UXEvent e;
    e.type = type;
    e.window = window;
    e.x = p.x;
    e.y = p.y;
    e.a = a;
    driver->postEvent(e);
  }
  void click(Point p, uint32_t window = 0) { post(kUXEventMouseDown, window ? window : panelWindow, p); }
  void key(uint16_t k) {
    UXEvent e;
    e.type = kUXEventKey;
    e.key = k;
    driver->postEvent(e);
  }
  std::string run() {
    UXCString path = UXOpenPanel::run("Open a contribution", rootText.c_str());
    EXPECT_EQ(driver->pendingEvents(), 0u);  // the session ended where it should
    return path ? std::string(path.get()) : std::string("(none)");
  }
};

TEST_F(PanelSession, WheelClicksAndKeysChooseAFile) {
  post(kUXEventWheel, panelWindow, {}, -1);  // towards the user: three rows down
  post(kUXEventWheel, panelWindow, {}, 0);   // less than a notch: nothing
  click(row(0));                              // visible[3]: f01
  click(kNameField);
  key(8);
  key('9');
  click(kOpen);
  EXPECT_EQ(run(), rootText + "/f09");
  EXPECT_EQ(names(UXFileRecents::list()), rootText + "/f09");
  EXPECT_EQ(gFileLastDir, rootText);
  EXPECT_EQ(driver->liveWindowCount(), 1u);
}

TEST_F(PanelSession, WheelScrollsAgainstItsSenseByThreeRows) {
  // 27 rows: "..", sub, f00 ... f24; the first shown row is chosen.
  struct Case { std::vector<int32_t> notches; const char* chosen; } cases[] = {
      {{-1}, "f01"},          {{-100}, "f01"},     {{-2, -1}, "f04"}, {{-1, -1, 2}, "f01"},
      {{-1, 0, 0}, "f01"},    {{-2, -2, 1}, "f01"}, {std::vector<int32_t>(10, -1), "f15"},
  };
  for (const Case& c : cases) {
    for (int32_t n : c.notches) post(kUXEventWheel, panelWindow, {}, n);
    click(row(0));
    click(kOpen);
    EXPECT_EQ(run(), rootText + "/" + c.chosen) << c.notches.size();
  }
  post(kUXEventWheel, panelWindow, {}, 3);  // away from the user at the top: stays
  click(row(0));                            // ".." goes up
  click(kCancel);
  EXPECT_EQ(run(), "(none)");
  EXPECT_EQ(gFileLastDir, UXFilePanel::parentOf(rootText));
}

// Input for other windows never reaches the panel: a click in the main
// window at the Delete button's place deletes nothing, its close neither
// cancels the panel nor gets lost, and the quit request cancels the panel
// and still reaches the application.
TEST_F(PanelSession, TakesOnlyItsOwnWindowsInput) {
  post(kUXEventClose, panelWindow);  // the panel's own: a cancel only
  EXPECT_EQ(run(), "(none)");
  EXPECT_EQ(app->running, 1);

  post(kUXEventClose, 0);  // the quit request
  EXPECT_EQ(run(), "(none)");
  EXPECT_EQ(app->running, 0);

  app->running = 1;
  click(row(2));                         // f00 selected
  click(kDelete, main->handle);          // not the panel's
  click(kRename, main->handle);
  post(kUXEventWheel, main->handle, {}, -5);
  post(kUXEventClose, main->handle);     // the main window's close: kept
  click(kOpen);
  UXCString path = UXOpenPanel::run("Open a contribution", rootText.c_str());
  ASSERT_TRUE(path);
  EXPECT_EQ(std::string(path.get()), rootText + "/f00");
  EXPECT_TRUE(driver->alerts().empty());
  EXPECT_TRUE(has("f00"));
  EXPECT_EQ(main->handle, 0u);           // closed by the application afterwards
  EXPECT_EQ(app->running, 0);            // it was the last window
}

TEST_F(PanelSession, ManageButtonsConfirmAndRecentModeDisablesThem) {
  click(row(2));                 // f00
  click(kDelete);                // answered Cancel
  click(kRecent);                // the recent list: Manage and Show hidden off
  click(kDelete);
  click(kHidden);
  click(kRecent);                // back to the folder
  click(kCancel);
  EXPECT_EQ(run(), "(none)");
  ASSERT_EQ(driver->alerts().size(), 1u);
  EXPECT_EQ(driver->alerts()[0], "2|Delete this file?|f00|Delete|Cancel");
  EXPECT_TRUE(has("f00"));

  UXFilePanel::addRecent("/chosen/before.json");
  driver->queueAlertAnswer(1);
  click(row(2));
  click(kDelete);                // confirmed
  click(kRecent);
  click(row(0));                 // a recent path ends the panel at once
  EXPECT_EQ(run(), "/chosen/before.json");
  EXPECT_FALSE(has("f00"));
}

TEST_F(PanelSession, StartsAboveTheStartFolderAndWhereItWasLeft) {
  fs::current_path(root);
  post(kUXEventClose, panelWindow);
  UXCString none = UXOpenPanel::run("Open", ".");
  EXPECT_FALSE(none);
  EXPECT_EQ(gFileLastDir, UXFilePanel::absoluteDir("."));  // ".." can be offered from "."
  click(row(1));   // sub
  click(kCancel);
  EXPECT_EQ(run(), "(none)");
  EXPECT_EQ(gFileLastDir, UXFilePanel::absoluteDir("sub"));
  click(row(0));   // ".." from sub: the caller's folder is not used
  click(kCancel);
  EXPECT_EQ(run(), "(none)");
  EXPECT_EQ(gFileLastDir, UXFilePanel::absoluteDir("."));
  fs::current_path(fs::temp_directory_path());
}

TEST_F(PanelSession, BuildsTheWindowForOpenAndSave) {
  struct Case { uint8_t saveMode; const char* caption; const char* last; uint16_t recentHidden; } cases[] = {
      {0, "Selection:", "Open", 0}, {1, "Save as:", "Save", 1}};
  for (const Case& c : cases) {
    auto panel = make<UXFilePanel>();
    panel->saveMode = c.saveMode;
    panel->saveName = "result.json";
    post(kUXEventClose, panelWindow);
    panel->run("Choose", rootText.c_str());
    Ref<UXView> back = panel->window->contentView;
    ASSERT_EQ(back->subviews->count(), 18u);
    auto title = [&](uint32_t i) { return std::string(cast<UXControl>(back->subviews->get(i))->title); };
    EXPECT_EQ(title(5), c.caption);
    EXPECT_EQ(title(17), c.last);
    EXPECT_EQ(std::string(panel->nameField->text()), c.saveMode ? "result.json" : "");
    EXPECT_EQ(panel->nameField->capacity, UXFilePanel::kNameCapacity);  // a 255-byte name fits whole
    EXPECT_EQ(driver->structIsHidden(panel->window->tree->driverTree, int16_t(panel->recentButton->node)),
              c.recentHidden);
    EXPECT_EQ(back->frame(), UXRect(0, 0, 444, 330));
    EXPECT_EQ(panel->list->frame(), UXRect(10, 98, 316, 180));
  }
}

TEST(OpenPanel, UsesTheNativeDialogWhenThereIsOne) {
  auto scripted = make<ScriptedDriver>();
  gDriver = scripted;
  scripted->fileOpenAnswers.push_back("/picked/file.json");
  UXCString path = UXOpenPanel::run("Open a contribution", ".");
  ASSERT_TRUE(path);
  EXPECT_STREQ(path.get(), "/picked/file.json");
  EXPECT_FALSE(UXOpenPanel::run("Open a contribution", "."));  // cancelled
  for (const std::string& call : scripted->calls) EXPECT_EQ(call.find("windowCreate"), std::string::npos);
  gDriver.reset();
}

}  // namespace
}  // namespace quorl::test
