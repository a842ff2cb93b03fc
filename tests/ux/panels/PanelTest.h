// The fixture the file panel suites share: the headless driver installed
// (no real waits), a fresh temporary folder, and the panel's globals reset.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

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

// A driver that lets a test act as another program as a copy starts and
// while an alert is open: `meddle` gets the call's name.
template <class Driver>
class Meddled : public Driver {
 public:
  std::function<void(const std::string& call)> meddle;
  bool fileCopyDecided(const char* from, const char* to, bool replace, const UXFileIdentity* source) override {
    if (meddle) meddle("fileCopyDecided");
    return Driver::fileCopyDecided(from, to, replace, source);
  }
  int32_t alertRun(int32_t style, const char* message, const char* buttons, int32_t extra) override {
    if (meddle) meddle("alertRun");
    return Driver::alertRun(style, message, buttons, extra);
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
  size_t alertCount() const { return driver->alerts().size(); }
  // The driver the case both drivers run acts through.
  virtual std::string lastAlert() const { return driver->alerts().empty() ? "" : driver->alerts().back(); }
  virtual void answer(int32_t button) { driver->queueAlertAnswer(button); }
  virtual std::function<void(const std::string&)>& meddling() { return driver->meddle; }
  // Makes `link` leading to `target`, both in the folder: "" once it is there, else why not.
  virtual std::string makeLink(const std::string& target, const std::string& link) {
    std::error_code ec;
    fs::create_symlink(target, at(link), ec);
    return ec ? ec.message() : "";
  }
  virtual void removeLink(const std::string&) {}

  // The copy case both drivers run (UXFilePanelFailures_test.cpp).
  void copyReportsWhatTheDiskDidMeanwhile();
};

}  // namespace quorl::test
