// The panel's actions through the Win32 driver (under Wine in CI), over a
// real temporary folder: Windows folds case and drops trailing dots and
// spaces from names, so whether a name is taken is the file system's to
// say; paths typed whole ("C:\x") are taken as they are; and a folder
// swapped after its listing is never acted in. Alerts are answered by the
// test instead of a message box; everything else is the driver's own.
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ux/core/UXApplication.h"
#include "ux/controls/UXTextField.h"
#include "ux/panels/UXFilePanel.h"
#include "ux/win32/UXWin32Driver.h"

namespace quorl::test {
namespace {

namespace fs = std::filesystem;

// The Win32 driver with its alerts recorded ("style|message|buttons") and
// answered from a queue, Cancel (the last choice) once it is empty.
class AnsweringWin32Driver : public UXWin32Driver {
 public:
  std::vector<std::string> alerts;
  std::deque<int32_t> answers;
  int32_t alertRun(int32_t style, const char* message, const char* buttons, int32_t) override {
    alerts.push_back(std::to_string(style) + "|" + message + "|" + buttons);
    if (!answers.empty()) {
      const int32_t answer = answers.front();
      answers.pop_front();
      return answer;
    }
    int32_t titles = 1;
    for (const char* p = buttons; *p; ++p) titles += *p == '|';
    return titles >= 3 ? 3 : titles;
  }
};

class Win32PanelActions : public ::testing::Test {
 protected:
  Ref<AnsweringWin32Driver> driver = make<AnsweringWin32Driver>();
  Ref<UXViewDriver> saved;
  Ref<UXFilePanel> panel;
  fs::path root;
  std::string rootText;  // '/'-separated, as the panel keeps folders

  void SetUp() override {
    saved = gDriver;
    gDriver = driver;
    std::random_device rd;
    root = fs::temp_directory_path() / ("quorl-w32panel-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(root / "sub");
    rootText = root.generic_string();
    write("a.txt", "alpha");
    write("b.txt", "bravo");
    write("sub/b.txt", "sub bravo");
    panel = make<UXFilePanel>();
    panel->dir = rootText;
    panel->nameField = make<UXTextField>();
    panel->nameField->buffer.assign(UXFilePanel::kNameCapacity, 0);
    panel->nameField->capacity = UXFilePanel::kNameCapacity;
    panel->reload();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root, ec);
    gDriver = saved;
  }
  void write(const std::string& name, const std::string& content) {
    std::ofstream(root / name, std::ios::binary) << content;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(root / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void pickA() {
    for (size_t i = 0; i < panel->visible.size(); ++i)
      if (panel->visible[i]->name == "a.txt") panel->select(int32_t(i));
  }
  std::string lastAlert() const { return driver->alerts.empty() ? "" : driver->alerts.back(); }
};

// Every spelling Windows takes for b.txt is b.txt: Copy and Save ask before
// replacing it, and answered Cancel leave it as it was.
TEST_F(Win32PanelActions, NamesTheSystemFoldsAreTaken) {
  struct Case { uint8_t save; const char* typed; } cases[] = {
      {0, "B.TXT"}, {0, "b.txt."}, {0, "b.txt "}, {0, "SUB/B.TXT"}, {0, "sub\\b.TXT"}, {1, "B.TXT"}, {1, "b.txt. "},
  };
  for (const Case& c : cases) {
    panel->saveMode = c.save;
    panel->reload();
    pickA();
    panel->nameField->setText(c.typed);
    const size_t before = driver->alerts.size();
    c.save ? panel->onOpen() : panel->onCopy();
    EXPECT_EQ(driver->alerts.size(), before + 1) << c.typed;
    EXPECT_EQ(lastAlert(), std::string("2|A file with this name already exists.|") + c.typed +
                               "|Replace it?|Replace|Cancel");
    EXPECT_EQ(panel->done, 0) << c.typed;
  }
  EXPECT_EQ(read("b.txt"), "bravo");
  EXPECT_EQ(read("sub/b.txt"), "sub bravo");
  // A folder in any spelling is a folder.
  panel->saveMode = 1;
  panel->nameField->setText("SUB\\");
  panel->onOpen();
  EXPECT_EQ(lastAlert(), "3|It is a folder.|SUB\\|OK");
  EXPECT_EQ(panel->done, 0);
}

// A path typed whole, with the system's separators, is taken as it is.
TEST_F(Win32PanelActions, WholePathsAreTakenAsTyped) {
  fs::create_directory(root / "elsewhere");
  const std::string away = (root / "elsewhere" / "x.txt").string();  // "C:\...\x.txt"
  ASSERT_EQ(away[1], ':');
  pickA();
  panel->nameField->setText(away.c_str());
  panel->onCopy();
  EXPECT_TRUE(driver->alerts.empty()) << lastAlert();
  EXPECT_EQ(read("elsewhere/x.txt"), "alpha");
  panel->saveMode = 1;
  panel->nameField->setText(away.c_str());
  driver->answers.push_back(1);  // it exists now: Replace
  panel->onOpen();
  EXPECT_EQ(lastAlert(), "2|A file with this name already exists.|" + away + "|Replace it?|Replace|Cancel");
  EXPECT_EQ(panel->resultPath, away);
}

// The folder shown, moved away and replaced by another after its listing:
// nothing in the other folder is deleted, replaced or renamed.
TEST_F(Win32PanelActions, ActsOnlyInTheFolderThatWasListed) {
  struct Case { void (UXFilePanel::*action)(); const char* typed; } cases[] = {
      {&UXFilePanel::onDelete, "a.txt"}, {&UXFilePanel::onCopy, "b.txt"}, {&UXFilePanel::onRename, "c.txt"}};
  for (const Case& c : cases) {
    std::error_code ec;
    for (const char* name : {"shown", "old", "victim"}) fs::remove_all(root / name, ec);
    for (const char* name : {"shown", "victim"}) {
      fs::create_directory(root / name);
      write(std::string(name) + "/a.txt", std::string(name) + " a");
      write(std::string(name) + "/b.txt", std::string(name) + " b");
    }
    panel->dir = rootText + "/shown";
    panel->reload();
    pickA();
    panel->nameField->setText(c.typed);
    fs::rename(root / "shown", root / "old");
    fs::rename(root / "victim", root / "shown");
    driver->answers = {1, 1};
    (panel.get()->*c.action)();
    EXPECT_EQ(lastAlert(),
              "3|The folder shown is no longer the one listed, so nothing was changed.|" + panel->dir + "|OK");
    EXPECT_EQ(read("shown/a.txt"), "victim a") << c.typed;
    EXPECT_EQ(read("shown/b.txt"), "victim b") << c.typed;
    EXPECT_FALSE(fs::exists(root / "shown" / "c.txt")) << c.typed;
    EXPECT_EQ(read("old/a.txt"), "shown a") << c.typed;
  }
}

}  // namespace
}  // namespace quorl::test
