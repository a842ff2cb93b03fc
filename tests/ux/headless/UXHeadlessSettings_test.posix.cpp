// The headless settings file over a real folder: a file that could not be
// read is never written over, and the file is replaced through a new
// sibling that nothing placed beforehand can redirect.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "TempDir.h"
#include "Unprivileged.posix.h"
#include "foundation/Ref.h"
#include "ux/core/UXSiblingCopy.h"
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test {
 protected:
  Ref<UXHeadlessDriver> d = make<UXHeadlessDriver>();
  void TearDown() override { gUXBeforeSiblingCreate = nullptr; }
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
  const std::string kept = "[ui]\nkeep=1\n";
  for (const std::string kind : {"not allowed", "over 1 MiB", "a folder", "a named pipe", "a link to nothing"}) {
    test::TempDir folder;
    const std::string file = folder.at("settings.ini");
    if (kind == "a folder") fs::create_directory(file);
    else if (kind == "a named pipe") ::mkfifo(file.c_str(), 0600);
    else if (kind == "a link to nothing") fs::create_symlink("nowhere.ini", file);
    else std::ofstream(file, std::ios::binary) << kept << std::string(kind == "over 1 MiB" ? (1u << 20) + 1 : 0, '#');
    if (kind == "not allowed") ::chmod(file.c_str(), 0);
    const fs::file_type type = fs::symlink_status(file).type();
    const uintmax_t size = type == fs::file_type::regular ? fs::file_size(file) : 0;
    std::string skip, got = test::asUnprivileged(folder.path, [&] {
      d->setSettingsFile(file);
      char value[8];
      const bool set = d->settingSet("ui", "new", "1"), removed = d->settingRemove("ui", "keep");
      return std::to_string(set) + std::to_string(removed) + std::to_string(d->settingGet("ui", "new", value, 8));
    }, skip);
    if (!skip.empty()) GTEST_SKIP() << skip;
    EXPECT_EQ(got, "000") << kind << ": set, remove, get";
    EXPECT_EQ(fs::symlink_status(file).type(), type) << kind;
    if (type == fs::file_type::regular) {
      fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
      EXPECT_EQ(fs::file_size(file), size) << kind;
      EXPECT_EQ(contentOf(file).substr(0, kept.size()), kept) << kind;
    }
    EXPECT_EQ(names(folder), std::set<std::string>{"settings.ini"}) << kind;
  }
}

// A link planted under the name the writer tries first for its sibling
// redirects nothing: the name is passed over.
TEST_F(SettingsFileTest, TheFileIsReplacedThroughANewSibling) {
  test::TempDir folder;
  const std::string file = folder.at("settings.ini"), victim = folder.at("victim.txt");
  std::ofstream(victim, std::ios::binary) << "precious";
  std::set<std::string> expected = {"settings.ini", "victim.txt"};
  gUXBeforeSiblingCreate = [&](const std::string& sibling) {
    if (expected.size() == 2 && ::symlink(victim.c_str(), sibling.c_str()) == 0) expected.insert(fs::path(sibling).filename());
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
  EXPECT_EQ(names(dotfiles), std::set<std::string>{"quorl.ini"});  // no sibling stays
}

// Two instances adding 300 keys each at the same time: every change is made
// and none is lost, for each holds the file from its read to its
// replacement. Each child answers through its exit status how many of its
// changes answered false.
TEST_F(SettingsFileTest, TwoInstancesChangingAtOnceLoseNothing) {
  test::TempDir folder;
  const std::string file = folder.at("settings.ini");
  constexpr int kEach = 300;
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
    driver->setSettingsFile(file);
    int refused = 0;
    for (int k = 0; k < kEach; ++k)
      refused += !driver->settingSet("race", (std::to_string(i) + "." + std::to_string(k)).c_str(), "1");
    ::_exit(std::min(refused, 100));
  }
  ::close(start[0]);
  ::close(start[1]);
  for (const pid_t child : children) {
    int status = -1;
    ASSERT_TRUE(child > 0 && ::waitpid(child, &status, 0) == child);
    EXPECT_EQ(test::childEnd(status), "") << "(its status is how many changes were refused)";
  }
  char value[4];
  int kept = 0;
  d->setSettingsFile(file);
  for (int i = 0; i < 2; ++i)
    for (int k = 0; k < kEach; ++k)
      kept += d->settingGet("race", (std::to_string(i) + "." + std::to_string(k)).c_str(), value, sizeof value);
  EXPECT_EQ(kept, 2 * kEach);
  EXPECT_EQ(names(folder), std::set<std::string>{"settings.ini"});
}

}  // namespace
}  // namespace quorl
