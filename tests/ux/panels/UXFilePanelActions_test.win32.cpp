// The panel's actions through the Win32 driver (under Wine in CI), over a
// real temporary folder: Windows folds case and drops trailing dots and
// spaces from names, so whether a name is taken is the file system's to
// say; paths typed whole ("C:\x") are taken as they are; and a folder
// swapped after its listing is never acted in. Alerts are answered by the
// test instead of a message box; everything else is the driver's own.
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
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
  std::string lastAlert() const override { return w32->alerts.empty() ? "" : w32->alerts.back(); }
  void answer(int32_t button) override { w32->answers.push_back(button); }
  std::function<void(const std::string&)>& meddling() override { return w32->meddle; }
  // Wine makes no link itself, and its removal of the host's removes what it leads to: the host's ln and rm.
  std::string makeLink(const std::string& target, const std::string& link) override {
    return has(target) ? makeHostLink(target, root.string(), link) : "Wine shows no link that leads nowhere";
  }
  void removeLink(const std::string& link) override { removeHostLink(root.string(), link); }
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

  // A file at a drive's root is in the root, never in the drive's current
  // folder ("C:"), which here changes while the question is open.
  const std::string atRoot = "C:\\quorl-root-" + std::to_string(GetCurrentProcessId()) + ".txt";
  wchar_t before[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\windows"));
  write(atRoot, "at the root");
  meddling() = [](const std::string& call) {
    if (call == "alertRun") SetCurrentDirectoryW(L"C:\\windows\\system32");
  };
  panel->done = 0;
  type(atRoot);
  w32->answers.push_back(1);  // Replace
  panel->onOpen();
  meddling() = nullptr;
  SetCurrentDirectoryW(before);
  DeleteFileW(w32Wide(atRoot).c_str());
  EXPECT_EQ(lastAlert(), "2|A file with this name already exists.|" + atRoot + "|Replace it?|Replace|Cancel");
  EXPECT_EQ(panel->done, 1);
  EXPECT_EQ(panel->resultPath, atRoot);
}

// The folder shown, moved away and replaced by another after its listing:
// nothing in the other folder is deleted, replaced or renamed.
TEST_F(Win32PanelActions, ActsOnlyInTheFolderThatWasListed) {
  struct Case { void (UXFilePanel::*action)(); const char* typed; } cases[] = {
      {&UXFilePanel::onDelete, "a.txt"}, {&UXFilePanel::onCopy, "b.txt"}, {&UXFilePanel::onRename, "c.txt"}};
  for (const Case& c : cases) {
    std::error_code ec;
    for (const std::string name : {"shown", "old", "victim"}) fs::remove_all(at(name), ec);
    for (const std::string name : {"shown", "victim"}) {
      fs::create_directory(at(name));
      for (const char* file : {"a.txt", "b.txt"}) write(name + "/" + file, name + " " + file[0]);
    }
    panel->dir = rootText + "/shown";
    panel->reload();
    ASSERT_TRUE(pick(*panel, "a.txt"));
    type(c.typed);
    fs::rename(at("shown"), at("old"));
    fs::rename(at("victim"), at("shown"));
    w32->answers = {1, 1};
    (panel.get()->*c.action)();
    EXPECT_EQ(lastAlert(),
              "3|The folder shown is no longer the one listed, so nothing was changed.|" + panel->dir + "|OK");
    EXPECT_EQ(read("shown/a.txt") + read("shown/b.txt"), "victim avictim b") << c.typed;
    EXPECT_FALSE(has("shown/c.txt")) << c.typed;
    EXPECT_EQ(read("old/a.txt"), "shown a") << c.typed;
  }
}

TEST_F(Win32PanelActions, CopyReportsWhatTheDiskDidMeanwhile) { copyReportsWhatTheDiskDidMeanwhile(); }

// A name Windows keeps for a device, typed or a row's (a file the host
// made), is refused for that reason; a pipe typed as a copy's target is
// asked about, then refused as what it is.
TEST_F(Win32PanelActions, DeviceNamesAndPipesAreRefusedForWhatTheyAre) {
  const std::string folder = root.string(), device = "It is a device name Windows reserves.",
                    notRegular = "Only regular files are copied.";
  if (!onHost(L"touch", folder, "aux.json", true) || !onHost(L"mkfifo", folder, "pipe", true))
    GTEST_SKIP() << "the host could not make the entries here (not under Wine?)";
  struct Case { void (UXFilePanel::*action)(); const char* row; const char* typed; std::string alert; } cases[] = {
      {&UXFilePanel::onCopy, "a.txt", "NUL", "3|" + device + "|NUL|OK"},
      {&UXFilePanel::onRename, "a.txt", "CON", "3|" + device + "|CON|OK"},
      {&UXFilePanel::onCopy, "aux.json", "c.txt", "3|The file could not be copied.|aux.json|" + device + "|OK"},
      {&UXFilePanel::onMove, "aux.json", "sub/c.txt", "3|The file could not be moved.|aux.json|" + device + "|OK"},
      {&UXFilePanel::onDelete, "aux.json", "", "3|The file could not be deleted.|aux.json|" + device + "|OK"},
      {&UXFilePanel::onCopy, "a.txt", "pipe", "3|The file could not be copied.|a.txt|" + notRegular + "|OK"},
  };
  for (const Case& c : cases) {
    panel->reload();
    ASSERT_TRUE(pick(*panel, c.row)) << c.row;
    type(c.typed);
    w32->answers = {1};  // Replace, Delete
    (panel.get()->*c.action)();
    EXPECT_EQ(lastAlert(), c.alert) << c.typed;
  }
  // Out of std::filesystem's reach:
  EXPECT_TRUE(onHost(L"rm", folder, "aux.json", false) && onHost(L"rm", folder, "pipe", false));
}

}  // namespace
}  // namespace quorl::test
