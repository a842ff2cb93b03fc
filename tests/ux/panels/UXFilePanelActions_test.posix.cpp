// The panel's actions where POSIX has more to offer a hostile user: named
// pipes, and permissions, which root passes by, so those cases run as an
// unprivileged user in a forked child.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "PanelTest.h"
#include "Unprivileged.posix.h"

namespace quorl::test {
namespace {

class PanelPosix : public PanelActions {};

// A pipe never blocks the panel: neither copied from nor written onto, even
// after Replace, and each refusal says why.
TEST_F(PanelPosix, CopyRefusesPipesWithoutWaiting) {
  ASSERT_EQ(::mkfifo(at("pipe").c_str(), 0600), 0);
  panel->reload();
  struct Case { const char* row; const char* typed; const char* alert; } cases[] = {
      {"pipe", "copy.txt", "3|The file could not be copied.|pipe|Only regular files are copied.|OK"},
      {"a.txt", "pipe", "3|The file could not be copied.|a.txt|Only regular files are copied.|OK"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(pick(*panel, c.row)) << c.row;
    type(c.typed);
    driver->queueAlertAnswer(1);  // Replace, where it asks
    panel->onCopy();
    EXPECT_EQ(lastAlert(), c.alert) << c.row;
  }
  EXPECT_TRUE(fs::is_fifo(at("pipe")));
  EXPECT_FALSE(has("copy.txt"));
  EXPECT_EQ(read("a.txt"), "alpha");
}

// Where permissions matter, as a user they bind: a folder that cannot be
// listed is shown as such and no name in it counts as free, and a refused
// change is reported with its reason.
TEST_F(PanelPosix, PermissionsAreHonouredAndReported) {
  fs::create_directory(at("locked"));
  write("locked/keep.txt", "keep");
  fs::create_directory(at("ro"));
  write("ro/f.txt", "eff");
  // Each runs in the folder below the temporary one, picks the row, types
  // the name and acts; Replace or Delete answers where it asks.
  struct Case {
    const char* what; const char* folder; uint8_t saveMode; const char* row; const char* typed;
    void (UXFilePanel::*action)(); const char* expected;
  } cases[] = {
      {"copy onto a name in a folder that cannot be listed", "", 0, "a.txt", "locked/keep.txt", &UXFilePanel::onCopy,
       "3|The folder cannot be read, so the name cannot be checked.|locked/keep.txt|OK label  done 0"},
      {"save under a name in a folder that cannot be listed", "/locked", 1, nullptr, "keep.txt", &UXFilePanel::onOpen,
       "3|The folder cannot be read, so the name cannot be checked.|keep.txt|OK label /locked (cannot be read) done 0"},
      {"move into a read-only folder", "", 0, "a.txt", "ro/a.txt", &UXFilePanel::onMove,
       "3|The file could not be moved.|a.txt|Permission denied.|OK label  done 0"},
      {"delete in a read-only folder", "/ro", 0, "f.txt", "f.txt", &UXFilePanel::onDelete,
       "2|Delete this file?|f.txt|Delete|Cancel3|The file could not be deleted.|f.txt|Permission denied.|OK label /ro done 0"},
  };
  fs::permissions(at("locked"), fs::perms::owner_write | fs::perms::owner_exec);
  fs::permissions(at("ro"), fs::perms::owner_read | fs::perms::owner_exec);
  for (const Case& c : cases) {
    std::string skip;
    const std::string got = asUnprivileged(
        rootText,
        [&] {
          panel->dir = rootText + c.folder;
          panel->saveMode = c.saveMode;
          panel->reload();
          if (c.row) pick(*panel, c.row);
          type(c.typed);
          driver->queueAlertAnswer(1);
          const size_t before = alertCount();
          (panel.get()->*c.action)();
          std::string alerts;
          for (size_t i = before; i < alertCount(); ++i) alerts += driver->alerts()[i];
          return alerts + " label " + panel->dirText().substr(rootText.size()) + " done " + std::to_string(panel->done);
        },
        skip);
    if (!skip.empty()) GTEST_SKIP() << skip;
    EXPECT_EQ(got, c.expected) << c.what;
  }
  fs::permissions(at("locked"), fs::perms::owner_all);
  fs::permissions(at("ro"), fs::perms::owner_all);
  EXPECT_EQ(read("locked/keep.txt"), "keep");
  EXPECT_EQ(read("ro/f.txt"), "eff");
  EXPECT_EQ(read("a.txt"), "alpha");
}

// A name holding '|' stays one line of every question, report and failure:
// the bar would otherwise start a new line, or a button.
TEST_F(PanelPosix, NamesWithABarStayOneLine) {
  write("a|b.txt", "barred");
  const std::string shown = "a\xE2\x88\xA3" "b.txt", exists = "A file with this name already exists.|" + shown;
  struct Case { void (UXFilePanel::*action)(); const char* row; std::string typed; std::string alert; } cases[] = {
      {&UXFilePanel::onDelete, "a|b.txt", "", "2|Delete this file?|" + shown + "|Delete|Cancel"},
      {&UXFilePanel::onCopy, "a.txt", "a|b.txt", "2|" + exists + "|Replace it?|Replace|Cancel"},
      {&UXFilePanel::onRename, "a.txt", "a|b.txt", "3|" + exists + "|OK"},
      {&UXFilePanel::onCopy, "a|b.txt", "a|b.txt", "3|Type a new name: this is the file's own name.|" + shown + "|OK"},
      {&UXFilePanel::onCopy, "a|b.txt", std::string(300, 'x'),
       "3|The file could not be copied.|" + shown + "|The name is too long.|OK"},
  };
  for (const Case& c : cases) {
    panel->reload();
    ASSERT_TRUE(pick(*panel, c.row)) << c.alert;
    type(c.typed);
    (panel.get()->*c.action)();  // questions answered Cancel
    EXPECT_EQ(lastAlert(), c.alert);
  }
  EXPECT_EQ(read("a|b.txt"), "barred");
}

// The system's own "absent" proves a name free, whatever a listing left
// out (a name with a line feed; more entries than the list holds). Only
// where the system will not answer (a folder read but not searched) do Copy
// and Save refuse a new name, saying why; a name found on disk is asked about.
TEST_F(PanelPosix, OnlyTheSystemsAnswerProvesANameFree) {
  if (!tryWrite("line\nbreak", "kept")) GTEST_SKIP() << "the file system takes no line feed in a name";
  fs::create_directory(at("many"));
  // A list that holds 300 rows (the limit of 65,535 is the listing's own
  // test's): a folder with more entries at little cost.
  struct Rows {
    ~Rows() { UXFilePanel::_maxRowsForTests() = UXFilePanel::kMaxRows; }
  } restore;
  UXFilePanel::_maxRowsForTests() = 300;
  write("many/base", "alpha");
  for (uint32_t i = 0; i < UXFilePanel::_maxRowsForTests(); ++i)
    ASSERT_EQ(::link(at("many/base").c_str(), at("many/" + std::to_string(i)).c_str()), 0) << i;
  const std::string unlisted = "3|Not every entry of the folder could be listed, so the name cannot be checked.|",
                    tooMany = "3|The folder has too many entries to check the name.|",
                    replace = "2|A file with this name already exists.|line\nbreak|Replace it?|Replace|Cancel";
  fs::create_directory(at("plain"));
  write("plain/a.txt", "alpha");
  const std::string unchecked = "3|The folder cannot be read, so the name cannot be checked.|";
  struct Case { const char* dir; mode_t mode; uint8_t save; const char* typed; std::string alert; uint8_t done = 0; };
  const Case cases[] = {
      // A whole listing without the name, from a folder the system will not
      // search: still no proof.
      {"/plain", 0600, 0, "free.txt", unchecked + "free.txt|OK"}, {"/plain", 0600, 1, "new.json", unchecked + "new.json|OK"},
      {"", 0700, 0, "line\nbreak", replace},        {"", 0700, 1, "line\nbreak", replace},
      {"", 0700, 0, "new.txt", ""},                   {"", 0700, 1, "new.json", "", 1},
      {"/many", 0700, 0, "new.txt", ""},
      {"", 0600, 0, "free.txt", unlisted + "free.txt|OK"}, {"", 0600, 1, "new.json", unlisted + "new.json|OK"},
      {"/many", 0600, 0, "free.txt", tooMany + "free.txt|OK"}, {"/many", 0600, 1, "new.json", tooMany + "new.json|OK"},
  };
  std::string skip;
  const std::string failed = asUnprivileged(rootText, [&] {  // root searches any folder
    for (const Case& c : cases) {
      panel->dir = rootText + c.dir;
      ::chmod(panel->dir.c_str(), c.mode);
      panel->saveMode = c.save;
      panel->done = 0;
      panel->reload();
      EXPECT_EQ(panel->dirText(), panel->dir + (std::strcmp(c.dir, "/plain") ? " (not every entry is shown)" : ""));
      if (*c.dir) panel->select(1);
      else pick(*panel, "a.txt");
      type(c.typed);
      const size_t before = alertCount();
      c.save ? panel->onOpen() : panel->onCopy();  // questions answered Cancel
      EXPECT_EQ(alertCount() > before ? lastAlert() : "", c.alert) << c.typed;
      EXPECT_EQ(panel->done, c.done) << c.typed;
      ::chmod(panel->dir.c_str(), 0700);
    }
    return std::string();  // a failed check fails the child
  }, skip);
  if (!skip.empty()) GTEST_SKIP() << skip;
  EXPECT_EQ(failed, "");
  EXPECT_EQ(read("line\nbreak"), "kept");
  EXPECT_EQ(read("new.txt") + read("many/new.txt"), "alphaalpha");
  EXPECT_FALSE(has("free.txt") || has("many/free.txt") || has("plain/free.txt"));
}

}  // namespace
}  // namespace quorl::test
