// The panel's actions where POSIX has more to offer a hostile user: named
// pipes, and permissions, which root passes by, so those cases run as an
// unprivileged user in a forked child.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "PanelTest.h"
#include "ux/controls/UXTextField.h"

namespace quorl::test {
namespace {

constexpr uid_t kNobody = 65534;

class PanelPosix : public PanelTest {
 protected:
  Ref<UXFilePanel> panel;
  void SetUp() override {
    PanelTest::SetUp();
    write("a.txt", "alpha");
    panel = listed();
    panel->nameField = make<UXTextField>();
    panel->nameField->buffer.assign(UXFilePanel::kNameCapacity, 0);
    panel->nameField->capacity = UXFilePanel::kNameCapacity;
  }
  void type(const std::string& text) { panel->nameField->setText(text.c_str()); }
  std::string lastAlert() const { return driver->alerts().empty() ? "" : driver->alerts().back(); }
  std::string kindOf(const std::string& name) const {
    struct stat info;
    if (::lstat(at(name).c_str(), &info) != 0) return "none";
    return S_ISFIFO(info.st_mode) ? "pipe" : S_ISDIR(info.st_mode) ? "folder" : "file";
  }

  // Runs `body` as the user nobody in a forked child when this process is
  // root (as itself otherwise), and answers what the body answered. The
  // temporary folder is handed to that user first. Empty `skip` when it ran.
  std::string asUnprivileged(const std::function<std::string()>& body, std::string& skip) {
    if (::geteuid() != 0) return body();
    for (const auto& entry : fs::recursive_directory_iterator(root))
      if (::lchown(entry.path().c_str(), kNobody, kNobody) != 0) skip = "cannot hand the folder to nobody";
    if (::chown(root.c_str(), kNobody, kNobody) != 0) skip = "cannot hand the folder to nobody";
    if (!skip.empty()) return "";
    int out[2];
    if (::pipe(out) != 0) {
      skip = "no pipe";
      return "";
    }
    const pid_t child = ::fork();
    if (child < 0) {
      skip = "cannot fork";
      return "";
    }
    if (child == 0) {
      ::close(out[0]);
      std::string result;
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 || ::geteuid() == 0)
        result = "\x01cannot drop to an unprivileged user";
      else
        result = body();
      for (size_t done = 0; done < result.size();) {
        const ssize_t n = ::write(out[1], result.data() + done, result.size() - done);
        if (n <= 0) break;
        done += size_t(n);
      }
      ::_exit(0);
    }
    ::close(out[1]);
    std::string result;
    char chunk[4096];
    for (ssize_t n; (n = ::read(out[0], chunk, sizeof chunk)) > 0;) result.append(chunk, size_t(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!result.empty() && result[0] == '\x01') {
      skip = result.substr(1);
      return "";
    }
    return result;
  }
};

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
  EXPECT_EQ(kindOf("pipe"), "pipe");
  EXPECT_EQ(kindOf("copy.txt"), "none");
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
  struct Case { const char* what; std::function<std::string(UXFilePanel&)> act; const char* expected; } cases[] = {
      {"copy onto a name in a folder that cannot be listed",
       [this](UXFilePanel& p) {
         pick(p, "a.txt");
         type("locked/keep.txt");
         driver->queueAlertAnswer(1);
         p.onCopy();
         return std::string();
       },
       "3|The folder cannot be read, so the name cannot be checked.|locked/keep.txt|OK"},
      {"save under a name in a folder that cannot be listed",
       [this](UXFilePanel& p) {
         p.dir = rootText + "/locked";
         p.saveMode = 1;
         p.reload();
         type("keep.txt");
         driver->queueAlertAnswer(1);
         p.onOpen();
         return " label " + p.dirText().substr(rootText.size()) + " done " + std::to_string(p.done);
       },
       "3|The folder cannot be read, so the name cannot be checked.|keep.txt|OK"
       " label /locked (cannot be read) done 0"},
      {"move into a read-only folder",
       [this](UXFilePanel& p) {
         pick(p, "a.txt");
         type("ro/a.txt");
         p.onMove();
         return std::string();
       },
       "3|The file could not be moved.|a.txt|Permission denied.|OK"},
      {"delete in a read-only folder",
       [this](UXFilePanel& p) {
         p.dir = rootText + "/ro";
         p.reload();
         pick(p, "f.txt");
         driver->queueAlertAnswer(1);
         p.onDelete();
         return std::string();
       },
       "2|Delete this file?|f.txt|Delete|Cancel3|The file could not be deleted.|f.txt|Permission denied.|OK"},
  };
  fs::permissions(at("locked"), fs::perms::owner_write | fs::perms::owner_exec);
  fs::permissions(at("ro"), fs::perms::owner_read | fs::perms::owner_exec);
  for (const Case& c : cases) {
    std::string skip;
    const std::string got = asUnprivileged(
        [&] {
          panel->dir = rootText;
          panel->saveMode = 0;
          panel->reload();
          const size_t before = driver->alerts().size();
          const std::string more = c.act(*panel);
          std::string alerts;
          for (size_t i = before; i < driver->alerts().size(); ++i) alerts += driver->alerts()[i];
          return alerts + more;
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

}  // namespace
}  // namespace quorl::test
