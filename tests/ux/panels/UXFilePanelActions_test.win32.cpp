// The panel's actions through the Win32 driver (under Wine in CI), over a
// real temporary folder: Windows folds case and drops trailing dots and
// spaces from names, so whether a name is taken is the file system's to
// say; paths typed whole ("C:\x") are taken as they are; and a folder
// swapped after its listing is never acted in. Alerts are answered by the
// test instead of a message box; everything else is the driver's own.
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "PanelTest.h"
#include "WineHost.h"
#include "ux/win32/UXWin32Driver.h"

namespace quorl::test {
namespace {

// The Win32 driver with its alerts recorded ("style|message|buttons") and
// answered from a queue, Cancel (the last choice) once it is empty.
class AnsweringWin32Driver : public UXWin32Driver {
 public:
  std::vector<std::string> alerts;
  std::deque<int32_t> answers;
  int32_t alertRun(int32_t style, const char* message, const char* buttons, int32_t) override {
    alerts.push_back(std::to_string(style) + "|" + message + "|" + buttons);
    if (answers.empty()) return std::min(3, 1 + int(std::count(buttons, buttons + std::strlen(buttons), '|')));
    const int32_t answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

// The actions' fixture (a.txt, b.txt, sub) plus sub/b.txt, over the Win32 driver.
class Win32PanelActions : public PanelActions {
 protected:
  Ref<Meddled<AnsweringWin32Driver>> w32 = make<Meddled<AnsweringWin32Driver>>();
  void SetUp() override {
    PanelActions::SetUp();
    write("sub/b.txt", "sub bravo");
    gDriver = w32;
    panel->reload();
  }
  std::function<void(const std::string&)>& meddling() override { return w32->meddle; }
  std::vector<std::string> alertsShown() const override { return w32->alerts; }
  void answer(int32_t button) override { w32->answers.push_back(button); }
};

// Every spelling Windows takes for b.txt is b.txt, and for sub a folder:
// Copy and Save ask before replacing, and answered Cancel change nothing.
TEST_F(Win32PanelActions, NamesTheSystemFoldsAreTaken) {
  struct Case { uint8_t save; std::string typed; bool folder; } cases[] = {
      {0, "B.TXT", false},     {0, "b.txt.", false},   {0, "b.txt ", false}, {0, "SUB/B.TXT", false},
      {0, "sub\\b.TXT", false}, {1, "B.TXT", false},   {1, "b.txt. ", false}, {1, "SUB\\", true},
  };
  for (const Case& c : cases) {
    panel->saveMode = c.save;
    panel->reload();
    ASSERT_TRUE(pick(*panel, "a.txt"));
    type(c.typed);
    const size_t before = w32->alerts.size();
    c.save ? panel->onOpen() : panel->onCopy();
    EXPECT_EQ(w32->alerts.size(), before + 1) << c.typed;
    EXPECT_EQ(lastAlert(), c.folder ? "3|It is a folder.|" + c.typed + "|OK"
                                    : "2|A file with this name already exists.|" + c.typed +
                                          "|Replace it?|Replace|Cancel");
    EXPECT_EQ(panel->done, 0) << c.typed;
  }
  EXPECT_EQ(read("b.txt"), "bravo");
  EXPECT_EQ(read("sub/b.txt"), "sub bravo");
}

// A path typed whole, with the system's separators, is taken as it is.
TEST_F(Win32PanelActions, WholePathsAreTakenAsTyped) {
  fs::create_directory(at("elsewhere"));
  const std::string away = (at("elsewhere") / "x.txt").string();  // "C:\...\x.txt"
  ASSERT_EQ(away[1], ':');
  ASSERT_TRUE(pick(*panel, "a.txt"));
  type(away);
  panel->onCopy();
  EXPECT_TRUE(w32->alerts.empty()) << lastAlert();
  EXPECT_EQ(read("elsewhere/x.txt"), "alpha");
  panel->saveMode = 1;
  type(away);
  w32->answers.push_back(1);  // it exists now: Replace
  panel->onOpen();
  EXPECT_EQ(lastAlert(), "2|A file with this name already exists.|" + away + "|Replace it?|Replace|Cancel");
  EXPECT_EQ(panel->resultPath, away);
  // A path on a drive's current folder, and one from the drive's root, are
  // whole paths too: neither is put below the folder shown.
  for (const std::string typed : {"c:x.txt", "\\x"}) {
    panel->resultPath.clear();
    type(typed);
    panel->onOpen();
    EXPECT_EQ(panel->resultPath, typed);
  }
}

// The folder shown, moved away and replaced by another after its listing,
// before the action or while its question is open: nothing in the other
// folder is deleted, replaced or renamed.
TEST_F(Win32PanelActions, ActsOnlyInTheFolderThatWasListed) {
  struct Case { void (UXFilePanel::*action)(); const char* typed; bool asks; } cases[] = {
      {&UXFilePanel::onDelete, "a.txt", true}, {&UXFilePanel::onCopy, "b.txt", true},
      {&UXFilePanel::onRename, "c.txt", false}};
  for (const std::string when : {"before", "asked"})
    for (const Case& c : cases) {
      if (when == "asked" && !c.asks) continue;
      makeShownAndVictim();
      panel->dir = rootText + "/shown";
      panel->reload();
      ASSERT_TRUE(pick(*panel, "a.txt"));
      type(c.typed);
      const auto swapFolders = [&] {
        fs::rename(at("shown"), at("old"));
        fs::rename(at("victim"), at("shown"));
      };
      bool swapped = false;
      if (when == "before") swapFolders();
      else w32->meddle = [&](const std::string& call) {
        if (call == "alertRun" && !std::exchange(swapped, true)) swapFolders();
      };
      w32->answers = {1, 1};
      (panel.get()->*c.action)();
      w32->meddle = nullptr;
      const std::string why = when + " " + c.typed;
      EXPECT_EQ(lastAlert(),
                "3|The folder shown is no longer the one listed, so nothing was changed.|" + panel->dir + "|OK")
          << why;
      EXPECT_EQ(read("shown/a.txt") + read("shown/b.txt"), "victim avictim b") << why;
      EXPECT_FALSE(has("shown/c.txt")) << why;
      EXPECT_EQ(read("old/a.txt"), "shown a") << why;
    }
}

TEST_F(Win32PanelActions, CopyToAFreeNameKeepsWhatAppearsMeanwhile) { copyToAFreeNameKeepsWhatAppearsMeanwhile(); }
TEST_F(Win32PanelActions, CopyTakesOnlyTheListedSource) { copyTakesOnlyTheListedSource(); }
TEST_F(Win32PanelActions, ATypedFolderStaysTheOneAsked) { typedFolderStaysTheOneAsked(); }

// A name Windows keeps for a device is refused for that reason, typed or a
// row's (a file the host made), and nothing changes; a named pipe typed as
// a copy's target is an entry, and after Replace the copy says why it
// refuses it.
TEST_F(Win32PanelActions, DeviceNamesAndPipesAreRefusedForWhatTheyAre) {
  const std::string folder = root.string();
  if (!onHost(L"touch", folder, "aux.json", true) || !onHost(L"mkfifo", folder, "pipe", true))
    GTEST_SKIP() << "the host could not make the entries here (not under Wine?)";
  const std::string device = "It is a device name Windows reserves.";
  struct Case { void (UXFilePanel::*action)(); uint8_t save; const char* row; const char* typed; std::string alert; };
  const Case cases[] = {
      {&UXFilePanel::onCopy, 0, "a.txt", "NUL", "3|" + device + "|NUL|OK"},
      {&UXFilePanel::onCopy, 0, "a.txt", "com1.txt", "3|" + device + "|com1.txt|OK"},
      {&UXFilePanel::onRename, 0, "a.txt", "CON", "3|" + device + "|CON|OK"},
      {&UXFilePanel::onOpen, 1, "a.txt", "aux.json", "3|" + device + "|aux.json|OK"},
      {&UXFilePanel::onCopy, 0, "aux.json", "c.txt", "3|The file could not be copied.|aux.json|" + device + "|OK"},
      {&UXFilePanel::onMove, 0, "aux.json", "sub/c.txt", "3|The file could not be moved.|aux.json|" + device + "|OK"},
      {&UXFilePanel::onDelete, 0, "aux.json", "", "3|The file could not be deleted.|aux.json|" + device + "|OK"},
      {&UXFilePanel::onCopy, 0, "a.txt", "pipe", "3|The file could not be copied.|a.txt|Only regular files are copied.|OK"},
  };
  for (const Case& c : cases) {
    panel->saveMode = c.save;
    panel->reload();
    ASSERT_TRUE(pick(*panel, c.row)) << c.row;
    type(c.typed);
    w32->answers = {1};  // Replace, Delete
    (panel.get()->*c.action)();
    EXPECT_EQ(lastAlert(), c.alert) << c.typed;
    EXPECT_EQ(panel->done, 0) << c.typed;
  }
  EXPECT_EQ(read("a.txt"), "alpha");
  EXPECT_TRUE(listsEntry(folder, "aux.json"));
  EXPECT_FALSE(has("c.txt") || has("sub/c.txt"));
  // std::filesystem reaches neither to remove them.
  EXPECT_TRUE(onHost(L"rm", folder, "aux.json", false));
  EXPECT_TRUE(onHost(L"rm", folder, "pipe", false));
}

}  // namespace
}  // namespace quorl::test
