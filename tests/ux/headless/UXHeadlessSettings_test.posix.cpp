// The headless settings file over a real folder: a file that could not be
// read is never written over, and the file is replaced through a new
// sibling that nothing placed beforehand can redirect.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "TempDir.h"
#include "foundation/Ref.h"
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test {
 protected:
  Ref<UXHeadlessDriver> d = make<UXHeadlessDriver>();
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
TEST_F(SettingsFileTest, AFileThatCouldNotBeReadIsNeverWrittenOver) {
  const std::string kept = "[ui]\nkeep=1\n";
  for (const std::string kind : {"not allowed", "over 1 MiB", "a folder", "a named pipe"}) {
    if (kind == "not allowed" && ::geteuid() == 0) {
      std::printf("[  SKIPPED ] the 'not allowed' row: permission bits do not stop root from reading\n");
      continue;
    }
    test::TempDir folder;
    const std::string file = folder.at("settings.ini");
    if (kind == "a folder") fs::create_directory(file);
    else if (kind == "a named pipe") ::mkfifo(file.c_str(), 0600);
    else std::ofstream(file, std::ios::binary) << kept << std::string(kind == "over 1 MiB" ? (1u << 20) + 1 : 0, '#');
    if (kind == "not allowed") ::chmod(file.c_str(), 0);
    const fs::file_type type = fs::symlink_status(file).type();
    const uintmax_t size = type == fs::file_type::regular ? fs::file_size(file) : 0;
    auto driver = make<UXHeadlessDriver>();
    driver->setSettingsFile(file);
    EXPECT_FALSE(driver->settingSet("ui", "new", "1")) << kind;
    EXPECT_FALSE(driver->settingRemove("ui", "keep")) << kind;
    char value[8];
    EXPECT_EQ(driver->settingGet("ui", "new", value, sizeof value), 0) << kind;
    EXPECT_EQ(fs::symlink_status(file).type(), type) << kind;
    if (type == fs::file_type::regular) {
      fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
      EXPECT_EQ(fs::file_size(file), size) << kind;
      EXPECT_EQ(contentOf(file).substr(0, kept.size()), kept) << kind;
    }
    EXPECT_EQ(names(folder), std::set<std::string>{"settings.ini"}) << kind;
  }
}

// A link placed under the name the file was once written through does not
// redirect the write; a write that fails leaves no sibling behind.
TEST_F(SettingsFileTest, TheFileIsReplacedThroughANewSibling) {
  test::TempDir folder;
  const std::string file = folder.at("settings.ini"), victim = folder.at("victim.txt");
  std::ofstream(victim, std::ios::binary) << "precious";
  ASSERT_EQ(::symlink(victim.c_str(), (file + ".new").c_str()), 0);
  d->setSettingsFile(file);
  EXPECT_TRUE(d->settingSet("ui", "size", "12"));
  EXPECT_EQ(contentOf(victim), "precious");
  EXPECT_EQ(contentOf(file), "[ui]\nsize=12\n");
  EXPECT_EQ(names(folder), (std::set<std::string>{"settings.ini", "settings.ini.new", "victim.txt"}));

  // A folder put in the file's place since it was read: the new file cannot
  // take its place, and its sibling goes.
  fs::remove(file);
  fs::create_directory(file);
  EXPECT_FALSE(d->settingSet("ui", "size", "13"));
  EXPECT_TRUE(fs::is_directory(file));
  EXPECT_EQ(names(folder), (std::set<std::string>{"settings.ini", "settings.ini.new", "victim.txt"}));
}

}  // namespace
}  // namespace quorl
