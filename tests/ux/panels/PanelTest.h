// The fixture the file panel suites share: the headless driver installed
// (no real waits), a fresh temporary folder, and the panel's globals reset.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "TestLinks.h"
#include "ux/core/UXApplication.h"
#include "ux/controls/UXTextField.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/panels/UXFilePanel.h"

namespace quorl::test {

namespace fs = std::filesystem;

inline std::string names(const UXFileRows& rows) {
  std::string out;
  for (const Ref<UXFileRow>& r : rows) out += (out.empty() ? "" : ",") + r->name;
  return out;
}

// A driver whose file queries, copies and alerts let a test act as another
// program at that moment: `meddle` is called with the call's name after
// each listing, presence and identity query, and before each panel copy
// and each alert (while the question is open, before it is answered).
template <class Driver>
class Meddled : public Driver {
 public:
  std::function<void(const std::string& call)> meddle;

  int32_t listDir(const char* folder, char* buffer, uint32_t capacity) override {
    const int32_t count = Driver::listDir(folder, buffer, capacity);
    at("listDir");
    return count;
  }
  UXFilePresence filePresence(const char* path) override {
    const UXFilePresence found = Driver::filePresence(path);
    at("filePresence");
    return found;
  }
  bool fileIdentity(const char* path, UXFileIdentity& identity) override {
    const bool known = Driver::fileIdentity(path, identity);
    at("fileIdentity");
    return known;
  }
  bool fileCopyDecided(const char* from, const char* to, bool replace, const UXFileIdentity* source) override {
    at("fileCopyDecided");
    return Driver::fileCopyDecided(from, to, replace, source);
  }
  int32_t alertRun(int32_t style, const char* message, const char* buttons, int32_t extra) override {
    at("alertRun");
    return Driver::alertRun(style, message, buttons, extra);
  }

 private:
  void at(const char* call) {
    if (meddle) meddle(call);
  }
};

class PanelTest : public ::testing::Test {
 protected:
  Ref<Meddled<UXHeadlessDriver>> driver;
  fs::path root;  // the temporary folder, removed afterwards
  std::string rootText;

  void SetUp() override {
    driver = make<Meddled<UXHeadlessDriver>>();
    driver->setMaxWaitMs(0);
    gDriver = driver;
    gNeedsDisplay = 0;
    gFileLastDir.clear();
    UXFileRecents::reset();
    std::random_device rd;
    root = fs::temp_directory_path() / ("quorl-panel-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(root);
    rootText = root.generic_string();
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto& entry : fs::recursive_directory_iterator(root, ec))
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
    UXFileRecents::reset();
    gFileLastDir.clear();
    gNeedsDisplay = 0;
    gDriver.reset();
  }

  fs::path at(const std::string& name) const { return root / fs::path(std::u8string(name.begin(), name.end())); }
  void write(const std::string& name, const std::string& content) {
    std::ofstream(at(name), std::ios::binary) << content;
  }
  // Two folders, "shown" and "victim", each holding a.txt and b.txt that
  // say whose they are, and no "old": where a test swaps the shown folder.
  void makeShownAndVictim() {
    std::error_code ec;
    for (const std::string name : {"shown", "old", "victim"}) fs::remove_all(at(name), ec);
    for (const std::string name : {"shown", "victim"}) {
      fs::create_directory(at(name));
      for (const char* file : {"a.txt", "b.txt"}) write(name + "/" + file, name + " " + file[0]);
    }
  }
  // Whether the file system takes the name (Windows refuses bytes that are
  // not UTF-8 and line feeds).
  bool tryWrite(const std::string& name, const std::string& content) {
    try {
      write(name, content);
      return has(name);
    } catch (const std::exception&) {
      return false;
    }
  }
  std::string read(const std::string& name) const {
    std::ifstream in(at(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool has(const std::string& name) const { return fs::exists(at(name)); }
  // A panel listing the temporary folder, without a window.
  Ref<UXFilePanel> listed() {
    auto panel = make<UXFilePanel>();
    panel->dir = rootText;
    panel->reload();
    return panel;
  }
  // Selects the shown row of that name; false when it is not shown.
  static bool pick(UXFilePanel& panel, const std::string& name) {
    for (size_t i = 0; i < panel.visible.size(); ++i)
      if (panel.visible[i]->name == name) {
        panel.select(int32_t(i));
        return true;
      }
    return false;
  }
};

// A panel listing a.txt, b.txt, .hidden and the folder sub, with the
// Selection field the actions read their target from.
class PanelActions : public PanelTest {
 protected:
  Ref<UXFilePanel> panel;
  void SetUp() override {
    PanelTest::SetUp();
    write("a.txt", "alpha");
    write("b.txt", "bravo");
    write(".hidden", "secret");
    fs::create_directory(at("sub"));
    panel = listed();
    panel->nameField = make<UXTextField>();
    panel->nameField->buffer.assign(UXFilePanel::kNameCapacity, 0);
    panel->nameField->capacity = UXFilePanel::kNameCapacity;
  }
  void type(const std::string& text) { panel->nameField->setText(text.c_str()); }
  // What the cases both drivers run act through; the Win32 suite points
  // them at its own driver.
  virtual std::function<void(const std::string&)>& meddling() { return driver->meddle; }
  virtual std::vector<std::string> alertsShown() const { return driver->alerts(); }
  virtual void answer(int32_t button) { driver->queueAlertAnswer(button); }
  size_t alertCount() const { return alertsShown().size(); }
  std::string lastAlert() const { return alertsShown().empty() ? "" : alertsShown().back(); }

  // -- Cases both drivers run -------------------------------------------------

  // A copy to a free name never replaces a file another program writes
  // under that name at any moment between the panel's checks and the copy
  // (after each of the panel's queries, and as the copy starts): the panel
  // asks about it (answered Cancel) or the driver refuses to take the name.
  void copyToAFreeNameKeepsWhatAppearsMeanwhile() {
    const auto copyToNew = [&](std::function<void(const std::string&)> meddle) {
      fs::remove(at("new.txt"));
      panel->reload();
      ASSERT_TRUE(pick(*panel, "a.txt"));
      type("new.txt");
      meddling() = std::move(meddle);
      panel->onCopy();
      meddling() = nullptr;
    };
    size_t queries = 0;  // the panel's calls before the copy, on a copy left alone
    bool copying = false;
    copyToNew([&](const std::string& call) { queries += !(copying = copying || call == "fileCopyDecided"); });
    ASSERT_EQ(read("new.txt"), "alpha");
    ASSERT_GE(queries, 4u);
    const std::string asked = "2|A file with this name already exists.|new.txt|Replace it?|Replace|Cancel",
                      refused = "3|The file could not be copied.|a.txt|A file with this name already exists.|OK";
    for (size_t point = 0; point <= queries; ++point) {
      const size_t before = alertCount();
      size_t calls = 0;
      copyToNew([&](const std::string&) {
        if (calls++ == point) write("new.txt", "theirs");
      });
      EXPECT_EQ(read("new.txt"), "theirs") << point;
      EXPECT_EQ(alertCount(), before + 1) << point;
      EXPECT_TRUE(lastAlert() == asked || lastAlert() == refused) << point << ": " << lastAlert();
      // a.txt, b.txt, .hidden, sub and new.txt: no sibling stays.
      EXPECT_EQ(size_t(std::distance(fs::directory_iterator(root), fs::directory_iterator())), 5u) << point;
    }
  }

  // Copy a.txt onto b.txt, Replace answered while a.txt is swapped for
  // another file (the user's private key): a link to it, a hard link, or
  // the key itself moved into its place. Nothing is copied, and the report
  // says why.
  void copyTakesOnlyTheListedSource() {
    std::error_code ec;
    // Each makes the swap, answering "" or why the file system cannot.
    const struct Swap { std::string how; std::function<std::string()> make; } swaps[] = {
        {"link", [&] { return makeLink(at("key"), at("a.txt")); }},
        {"hard link", [&] { fs::create_hard_link(at("key"), at("a.txt"), ec); return ec ? ec.message() : ""; }},
        {"moved", [&] { fs::rename(at("key"), at("a.txt"), ec); return ec ? ec.message() : ""; }},
    };
    std::string unmade;
    for (const Swap& swap : swaps) {
      write("a.txt", "alpha");
      write("b.txt", "bravo");
      write("key", "private key");
      panel->reload();
      ASSERT_TRUE(pick(*panel, "a.txt"));
      type("b.txt");
      bool swapped = false;
      std::string why;
      meddling() = [&](const std::string& call) {
        if (call != "alertRun" || std::exchange(swapped, true)) return;
        fs::remove(at("a.txt"));
        why = swap.make();
      };
      answer(1);  // Replace
      panel->onCopy();
      meddling() = nullptr;
      if (!why.empty()) {
        unmade += " " + swap.how + " (" + why + ")";
        ec.clear();
        continue;
      }
      EXPECT_EQ(lastAlert(), "3|The file could not be copied.|a.txt|It is no longer the file that was listed.|OK")
          << swap.how;
      EXPECT_EQ(read("b.txt"), "bravo") << swap.how;
      swap.how == "link" ? removeLink(at("a.txt")) : fs::remove(at("a.txt"));
      fs::remove(at("key"));
    }
    if (!unmade.empty()) GTEST_SKIP() << "the file system could not make:" << unmade;
  }

  // Copy and Save under a name in a typed folder (relative or whole), the
  // question answered Replace while that folder is swapped for another
  // (renamed into its place, or a link to it): nothing is written in
  // either folder, and the report says why.
  void typedFolderStaysTheOneAsked() {
    std::string unmade;  // why no link could be made here
    for (const std::string how : {"rename", "link"})
      for (const uint8_t save : {0, 1})
        for (const std::string& typed : {std::string("../other/x.txt"), rootText + "/other/x.txt"}) {
          std::error_code ec;
          for (const char* name : {"shown", "other", "old", "victim"}) fs::remove_all(at(name), ec);
          for (const char* name : {"shown", "other", "victim"}) fs::create_directory(at(name));
          write("shown/a.txt", "alpha");
          write("other/x.txt", "other x");
          write("victim/x.txt", "victim x");
          panel->dir = rootText + "/shown";
          panel->saveMode = save;
          panel->done = 0;
          panel->reload();
          ASSERT_TRUE(pick(*panel, "a.txt"));
          type(typed);
          bool swapped = false;
          meddling() = [&](const std::string& call) {
            if (call != "alertRun" || std::exchange(swapped, true)) return;
            fs::rename(at("other"), at("old"));
            if (how == "rename") fs::rename(at("victim"), at("other"));
            else unmade = makeLink(at("victim"), at("other"));
          };
          answer(1);  // Replace
          save ? panel->onOpen() : panel->onCopy();
          meddling() = nullptr;
          const std::string why = how + (save ? " save " : " copy ") + typed;
          if (!unmade.empty()) continue;
          EXPECT_EQ(lastAlert(),
                    "3|The folder it goes to is no longer the one checked, so nothing was changed.|" + typed + "|OK")
              << why;
          EXPECT_EQ(panel->done, 0) << why;
          EXPECT_EQ(read("old/x.txt"), "other x") << why;
          EXPECT_EQ(read(how == "link" ? "victim/x.txt" : "other/x.txt"), "victim x") << why;
          if (how == "link") removeLink(at("other"));  // before its target goes
        }
    if (!unmade.empty()) GTEST_SKIP() << "no link to a folder was tried: " << unmade;
  }
};

}  // namespace quorl::test
