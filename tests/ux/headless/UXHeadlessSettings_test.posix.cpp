// The headless settings file over a real folder: a file that could not be
// read is never written over, and the file is replaced through a new
// sibling that nothing placed beforehand can redirect.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "FileSizeLimit.h"
#include "Rounds.h"
#include "SettingsFileBytes.h"
#include "TempDir.h"
#include "Unprivileged.posix.h"
#include "foundation/Ref.h"
#include "ux/core/UXSettingsFile.h"
#include "ux/core/UXSiblingCopy.h"
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test {
 protected:
  Ref<UXHeadlessDriver> d = make<UXHeadlessDriver>();
  void TearDown() override {
    gUXBeforeSiblingCreate = nullptr;
    gUXSettingsLockWaitMs = kUXSettingsLockWaitMs;
  }
  static std::set<std::string> names(const test::TempDir& folder) {
    std::set<std::string> out;
    for (const auto& entry : fs::directory_iterator(folder.path)) out.insert(entry.path().filename().string());
    return out;
  }
  static std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

// Whatever stands at the settings file's name and could not be read keeps
// what it holds: every change fails, and nothing is left beside it.
// (As nobody: root reads a file whatever its permissions.)
TEST_F(SettingsFileTest, AFileThatCouldNotBeReadIsNeverWrittenOver) {
  const struct Kind {
    std::string kind, kept;
    UXFileFailure why;
  } kinds[] = {
      {"not allowed", "[ui]\nkeep=1\n", UXFileFailure::permission},
      {"over 1 MiB", "[ui]\nkeep=1\n" + std::string((1u << 20) + 1, '#'), UXFileFailure::tooLarge},
      {"a folder", "", UXFileFailure::isFolder},
      {"a named pipe", "", UXFileFailure::notRegular},
      {"a link to nothing", "", UXFileFailure::brokenLink},
      {"a link round to itself", "", UXFileFailure::linkLoop},
      {"UTF-16 of an odd length", test::utf16FileBytes(u"[ui]\r\nkeep=1\r\n") + "x", UXFileFailure::notText},
      {"UTF-16 with a lone surrogate", test::utf16FileBytes(u"[ui]\r\nkeep=\xD800\r\n"), UXFileFailure::notText},
      {"Latin-1", "[ui]\nkeep=\xE9t\xE9\n", UXFileFailure::notText},
  };
  for (const auto& [kind, kept, reason] : kinds) {
    test::TempDir folder;
    const std::string file = folder.at("settings.ini");
    if (kind == "a folder") fs::create_directory(file);
    else if (kind == "a named pipe") ::mkfifo(file.c_str(), 0600);
    else if (kind == "a link to nothing") fs::create_symlink("nowhere.ini", file);
    else if (kind == "a link round to itself") fs::create_symlink("settings.ini", file);
    else std::ofstream(file, std::ios::binary) << kept;
    if (kind == "not allowed") ::chmod(file.c_str(), 0);
    const fs::file_type type = fs::symlink_status(file).type();
    const uintmax_t size = type == fs::file_type::regular ? fs::file_size(file) : 0;
    std::string skip, got = test::asUnprivileged(folder.path, [&] {
      d->setSettingsFile(file);
      char value[8];
      const bool set = d->settingSet("ui", "new", "1"), removed = d->settingRemove("ui", "keep");
      const int why = int(d->fileFailure());
      return std::to_string(set) + std::to_string(removed) + std::to_string(d->settingGet("ui", "new", value, 8)) +
             " " + std::to_string(why);
    }, skip);
    if (!skip.empty()) GTEST_SKIP() << skip;
    EXPECT_EQ(got, "000 " + std::to_string(int(reason))) << kind << ": set, remove, get, why";
    EXPECT_EQ(fs::symlink_status(file).type(), type) << kind;
    if (type == fs::file_type::regular) {
      fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
      EXPECT_EQ(fs::file_size(file), size) << kind;
      EXPECT_EQ(contentOf(file), kept) << kind;
    }
    EXPECT_EQ(names(folder), std::set<std::string>{"settings.ini"}) << kind;
  }
}

// A change waits for another instance's lock only so long, else answers false with why and leaves the file;
// a reader's lock on the file itself holds nothing up; a change the disk cannot hold is not made. The child
// says through a pipe that it holds its lock, and lets go when the parent closes the other (or after `letGoMs`).
TEST_F(SettingsFileTest, AChangeIsMadeWholeOrAnswersFalseWithItsReason) {
  const std::string kept = "[ui]\nsize=10\n" + std::string(7000, '#') + "=\n";
  const struct Case {
    const char* what;
    const char* held;     // the file the child locks, or nothing
    uint32_t waitMs;      // the change's wait for the lock
    uint32_t letGoMs;     // the child lets go after this long (0: when told)
    uint64_t room;        // the largest file the process may write (0: no limit)
    std::string value;    // set as "ui" "size"
    UXFileFailure why;    // none: the change is made
  } cases[] = {
      {"the lock held throughout", "settings.ini.lock", 0, 0, 0, "12", UXFileFailure::busy},
      {"the lock held past a short wait", "settings.ini.lock", 50, 0, 0, "12", UXFileFailure::busy},
      {"the lock let go during the wait", "settings.ini.lock", 60000, 200, 0, "12", UXFileFailure::none},
      {"the settings file itself locked by a reader", "settings.ini", 0, 0, 0, "12", UXFileFailure::none},
      {"a full disk", nullptr, 0, 0, 8192, std::string(2000, '9'), UXFileFailure::tooLarge},
      {"room enough", nullptr, 0, 0, 16384, std::string(2000, '9'), UXFileFailure::none},
  };
  for (const Case& c : cases) {
    test::TempDir folder;
    const std::string file = folder.write("settings.ini", kept);
    d->setSettingsFile(file);
    ASSERT_TRUE(d->settingSet("ui", "ready", "1")) << c.what;  // the lock file is made
    const std::string before = contentOf(file);
    int held[2], release[2];
    ASSERT_TRUE(::pipe(held) == 0 && ::pipe(release) == 0);
    const pid_t child = c.held ? ::fork() : -1;
    if (child == 0) {
      ::close(release[1]);
      const int fd = ::open(folder.at(c.held).c_str(), O_RDONLY);
      const bool locked = fd >= 0 && ::flock(fd, LOCK_EX) == 0;
      (void)!::write(held[1], locked ? "1" : "0", 1);
      char go;
      if (c.letGoMs) ::usleep(c.letGoMs * 1000);
      else (void)!::read(release[0], &go, 1);
      ::_exit(0);
    }
    char locked = '1';
    if (c.held) {
      ASSERT_EQ(::read(held[0], &locked, 1), 1);
    }
    EXPECT_EQ(locked, '1') << c.what << ": the child could not take its lock";
    gUXSettingsLockWaitMs = c.waitMs;
    bool made;
    {
      test::FileSizeLimit limit(c.room);
      if (c.room && !limit.held()) GTEST_SKIP() << "no file size limit here";
      made = d->settingSet("ui", "size", c.value.c_str());
    }
    const UXFileFailure why = d->fileFailure();
    for (int fd : {held[0], held[1], release[0], release[1]}) ::close(fd);
    int status = 0;
    if (child > 0) ::waitpid(child, &status, 0);
    EXPECT_EQ(made, c.why == UXFileFailure::none) << c.what;
    EXPECT_EQ(int(why), int(c.why)) << c.what;
    char value[4096];
    if (c.why == UXFileFailure::none) {
      EXPECT_EQ(d->settingGet("ui", "size", value, sizeof value), 1) << c.what;
      EXPECT_EQ(value, c.value) << c.what;
    } else {
      EXPECT_EQ(contentOf(file), before) << c.what;
    }
    EXPECT_EQ(names(folder), (std::set<std::string>{"settings.ini", "settings.ini.lock"})) << c.what;
  }
}

// The lock file is the user's alone: one open to all is made private, another user's is refused.
TEST_F(SettingsFileTest, TheLockIsTheUsersAlone) {
  test::TempDir folder;
  const std::string file = folder.at("settings.ini"), lock = folder.at("settings.ini.lock");
  d->setSettingsFile(file);
  ASSERT_TRUE(d->settingSet("ui", "size", "12"));
  struct stat info;
  ASSERT_EQ(::stat(lock.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  ::chmod(lock.c_str(), 0644);
  ASSERT_TRUE(d->settingSet("ui", "size", "13"));
  ASSERT_EQ(::stat(lock.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  if (::geteuid() != 0) GTEST_SKIP() << "another user's lock file needs root to make";
  ASSERT_EQ(::chown(lock.c_str(), 65534, 65534), 0);
  EXPECT_FALSE(d->settingSet("ui", "size", "14"));
  EXPECT_EQ(d->fileFailure(), UXFileFailure::permission);
  EXPECT_EQ(contentOf(file), "[ui]\nsize=13\n");
}

// A link planted under the name the writer tries first for its sibling
// redirects nothing: the name is passed over.
TEST_F(SettingsFileTest, TheFileIsReplacedThroughANewSibling) {
  test::TempDir folder;
  const std::string file = folder.at("settings.ini"), victim = folder.at("victim.txt");
  std::ofstream(victim, std::ios::binary) << "precious";
  std::set<std::string> expected = {"settings.ini", "settings.ini.lock", "victim.txt"};
  gUXBeforeSiblingCreate = [&](const std::string& sibling) {
    if (expected.size() == 3 && ::symlink(victim.c_str(), sibling.c_str()) == 0) expected.insert(fs::path(sibling).filename());
  };
  d->setSettingsFile(file);
  EXPECT_TRUE(d->settingSet("ui", "size", "12"));
  EXPECT_EQ(contentOf(victim), "precious");
  EXPECT_EQ(contentOf(file), "[ui]\nsize=12\n");
  EXPECT_EQ(names(folder), expected);

  // A folder put in the file's place since it was read: the new file cannot
  // take its place, and nothing is left beside it.
  fs::remove(file);
  fs::create_directory(file);
  EXPECT_FALSE(d->settingSet("ui", "size", "13"));
  EXPECT_TRUE(fs::is_directory(file));
  EXPECT_EQ(names(folder), expected);
}

// Two instances over one file behind two links: each change is made to the
// file as it is then, keeping the other's changes, the links and its bits.
TEST_F(SettingsFileTest, EachChangeIsMadeToTheFileAsItIsThen) {
  test::TempDir conf, dotfiles;
  const std::string real = dotfiles.write("quorl.ini", "[ui]\nsize=10\n"), file = conf.at("settings.ini");
  const std::string far = "../" + fs::path(dotfiles.path).filename().string() + "/quorl.ini";
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("next.ini", file);
  fs::create_symlink(far, conf.at("next.ini"));
  auto second = make<UXHeadlessDriver>();
  d->setSettingsFile(file);
  second->setSettingsFile(file);
  EXPECT_TRUE(second->settingSet("RecentFiles", "0", "/b.json") && d->settingSet("ui", "size", "12"));
  EXPECT_EQ(contentOf(real), "[RecentFiles]\n0=/b.json\n[ui]\nsize=12\n");
  EXPECT_TRUE(d->settingRemove("RecentFiles", "0"));
  char value[8];
  EXPECT_EQ(second->settingGet("RecentFiles", "0", value, sizeof value), 0);  // read again: gone
  EXPECT_TRUE(second->settingSet("ui", "width", "800"));
  EXPECT_EQ(contentOf(real), "[ui]\nsize=12\nwidth=800\n");
  EXPECT_EQ(fs::read_symlink(file).string() + " " + fs::read_symlink(conf.at("next.ini")).string(), "next.ini " + far);
  EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  // No sibling stays; the lock is the file's, beside it, and none is beside a link.
  EXPECT_EQ(names(dotfiles), (std::set<std::string>{"quorl.ini", "quorl.ini.lock"}));
  EXPECT_EQ(names(conf), (std::set<std::string>{"next.ini", "settings.ini"}));
}

// Two instances adding 300 keys each (30 sanitized) at the same time, through one path or
// one through links and the other through the file's own path: every change
// is made and none is lost, for each holds the one lock of the file from its
// read to its replacement. Each child answers through its exit status how
// many of its changes answered false. Each waits for the other's lock far
// longer than a loaded machine keeps it (a change that gave up would be
// told apart from one lost, but is not what this test is about).
TEST_F(SettingsFileTest, TwoInstancesChangingAtOnceLoseNothing) {
  gUXSettingsLockWaitMs = 600000;
  for (const bool throughLinks : {false, true}) {
    test::TempDir conf, dotfiles;
    const std::string real = dotfiles.write("quorl.ini", ""), link = conf.at("settings.ini");
    fs::create_symlink("next.ini", link);
    fs::create_symlink("../" + fs::path(dotfiles.path).filename().string() + "/quorl.ini", conf.at("next.ini"));
    const std::string paths[2] = {throughLinks ? link : real, real};
    constexpr int kEach = test::rounds(300);
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    pid_t children[2] = {-1, -1};
    for (int i = 0; i < 2; ++i) {
      children[i] = ::fork();
      if (children[i] != 0) continue;
      ::close(start[1]);
      char go;
      (void)::read(start[0], &go, 1);  // both start together, once the parent lets go
      Ref<UXHeadlessDriver> driver = make<UXHeadlessDriver>();
      driver->setSettingsFile(paths[i]);
      int refused = 0;
      for (int k = 0; k < kEach; ++k)
        refused += !driver->settingSet("race", (std::to_string(i) + "." + std::to_string(k)).c_str(), "1");
      ::_exit(std::min(refused, 100));
    }
    ::close(start[0]);
    ::close(start[1]);
    int refused = 0;
    for (const pid_t child : children) {
      int status = -1;
      ASSERT_TRUE(child > 0 && ::waitpid(child, &status, 0) == child);
      EXPECT_EQ(test::childEnd(status), "") << "(its status is how many changes were refused)";
      refused += WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    }
    char value[4];
    int kept = 0;
    d->setSettingsFile(real);
    for (int i = 0; i < 2; ++i)
      for (int k = 0; k < kEach; ++k)
        kept += d->settingGet("race", (std::to_string(i) + "." + std::to_string(k)).c_str(), value, sizeof value);
    EXPECT_EQ(kept, 2 * kEach - refused) << "through links: " << throughLinks << ": a change answered true is gone";
    EXPECT_EQ(names(dotfiles), (std::set<std::string>{"quorl.ini", "quorl.ini.lock"}));
    EXPECT_EQ(names(conf), (std::set<std::string>{"next.ini", "settings.ini"}));
  }
}

// Chains of links, each in one of three folders, to a file in one of them, relative or absolute: a change
// through the chain's first link takes the lock beside the file (a lock held there holds it up) and changes
// that file, every link stays as it was, and nothing is made anywhere else. A chain that has come to lead
// round or to nothing since the file was read is refused with why, making nothing.
TEST_F(SettingsFileTest, EveryPathToAFileSharesItsLockAndTheLinksStay) {
  std::mt19937 random(3);
  for (int round = 0; round < test::rounds(100); ++round) {
    test::TempDir folders[3];
    const int realFolder = int(random() % 3), links = int(random() % 5), end = int(random() % 6);
    const bool loops = links > 0 && end == 0, dangles = links > 0 && end == 1;  // else the chain leads to the file
    const std::string real = folders[realFolder].write("real.ini", "[ui]\nkeep=1\n");
    std::vector<std::string> chain, targets;  // the links, first to last, and what each holds
    for (int i = 0; i < links; ++i) chain.push_back(folders[random() % 3].at("l" + std::to_string(i) + ".ini"));
    for (int i = 0; i < links; ++i) {
      const std::string next = i + 1 < links ? chain[i + 1] : real;
      targets.push_back(random() % 2 ? next : fs::relative(next, fs::path(chain[i]).parent_path()).string());
      fs::create_symlink(targets[i], chain[i]);
    }
    d->setSettingsFile(links ? chain[0] : real);
    if (dangles) fs::remove(real);
    if (loops) fs::remove(chain.back()), fs::create_symlink(chain[0], chain.back());
    std::set<std::string> before[3];
    for (int f = 0; f < 3; ++f) before[f] = names(folders[f]);
    const std::string what = std::to_string(round) + ": " + std::to_string(links) + " links" +
                             (loops ? ", round" : dangles ? ", to nothing" : "");
    const bool made = d->settingSet("ui", "round", std::to_string(round).c_str());
    EXPECT_EQ(made, !loops && !dangles) << what;
    EXPECT_EQ(d->fileFailure(), loops ? UXFileFailure::linkLoop : dangles ? UXFileFailure::brokenLink
                                                                          : UXFileFailure::none) << what;
    if (made) before[realFolder].insert("real.ini.lock");
    for (int f = 0; f < 3; ++f) EXPECT_EQ(names(folders[f]), before[f]) << what;
    if (!made) continue;
    EXPECT_EQ(contentOf(real), "[ui]\nkeep=1\nround=" + std::to_string(round) + "\n") << what;
    for (int i = 0; i < links; ++i) EXPECT_EQ(fs::read_symlink(chain[i]).string(), targets[i]) << what;
    const int held = ::open((real + ".lock").c_str(), O_RDONLY);  // holds up a change through any path
    ASSERT_TRUE(held >= 0 && ::flock(held, LOCK_EX) == 0) << what;
    gUXSettingsLockWaitMs = 0;
    EXPECT_FALSE(d->settingSet("ui", "held", "1")) << what;
    EXPECT_EQ(d->fileFailure(), UXFileFailure::busy) << what;
    gUXSettingsLockWaitMs = kUXSettingsLockWaitMs;
    ::close(held);
  }
}

// The native build reads the very files the Windows build writes, and changes them in their own form, byte for
// byte as the Windows build would; a file it makes is UTF-8.
TEST_F(SettingsFileTest, TheWindowsBuildsFilesAreReadAndChangedInTheirOwnForm) {
  const std::vector<test::SettingsFileBytes>& rows = test::settingsFileBytes();
  for (size_t i = 0; i + 1 < rows.size(); ++i) {
    test::TempDir folder;
    const std::string file = folder.write("settings.ini", rows[i].windows);
    d->setSettingsFile(file);
    char value[64];
    for (const auto& [composite, expected] : rows[i].settings) {
      const size_t cut = composite.find('\n');
      const int32_t got = d->settingGet(composite.substr(0, cut).c_str(), composite.substr(cut + 1).c_str(), value, 64);
      EXPECT_EQ(std::to_string(got) + value, "1" + expected) << composite;
    }
    EXPECT_TRUE(d->settingSet(rows[i + 1].section, rows[i + 1].key, rows[i + 1].value)) << i;
    EXPECT_EQ(contentOf(file), rows[i + 1].windows) << i;
  }
  test::TempDir folder;
  d->setSettingsFile(folder.at("settings.ini"));
  EXPECT_TRUE(d->settingSet("ui", "k", "\xC3\xA9"));
  EXPECT_EQ(contentOf(folder.at("settings.ini")), "[ui]\nk=\xC3\xA9\n");
}

}  // namespace
}  // namespace quorl
