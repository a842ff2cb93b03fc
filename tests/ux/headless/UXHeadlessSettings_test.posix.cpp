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

#include "foundation/Ref.h"
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test {
 protected:
  fs::path dir;
  Ref<UXHeadlessDriver> d = make<UXHeadlessDriver>();
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) /
          ("uxs_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir / "settings.ini", fs::perms::owner_all, ec);
    fs::remove_all(dir);
  }
  std::string path(const char* name) const { return (dir / name).string(); }
  std::set<std::string> names() const {
    std::set<std::string> out;
    for (const auto& entry : fs::directory_iterator(dir)) out.insert(entry.path().filename().string());
    return out;
  }
  static std::string contentOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

// Whatever stands at the settings file's name and could not be read keeps
// what it holds: every change fails, and nothing is left beside it.
TEST_F(SettingsFileTest, AFileThatCouldNotBeReadIsNeverWrittenOver) {
  const std::string kept = "[ui]\nkeep=1\n";
  const struct {
    const char* name;
    void (*make)(const std::string& file, const std::string& kept);
    bool needsUnprivileged;
  } cases[] = {
      {"not allowed",
       [](const std::string& file, const std::string& text) {
         std::ofstream(file, std::ios::binary) << text;
         ::chmod(file.c_str(), 0);
       },
       true},
      {"over 1 MiB",
       [](const std::string& file, const std::string& text) {
         std::ofstream(file, std::ios::binary) << text << std::string((1u << 20) + 1, '#');
       },
       false},
      {"a folder", [](const std::string& file, const std::string&) { fs::create_directory(file); }, false},
      {"a named pipe", [](const std::string& file, const std::string&) { ::mkfifo(file.c_str(), 0600); }, false},
  };
  for (const auto& k : cases) {
    if (k.needsUnprivileged && ::geteuid() == 0) {
      std::printf("[  SKIPPED ] the '%s' row: permission bits do not stop root from reading\n", k.name);
      continue;
    }
    SetUp();
    const std::string file = path("settings.ini");
    k.make(file, kept);
    const fs::file_type type = fs::symlink_status(file).type();
    const uintmax_t size = type == fs::file_type::regular ? fs::file_size(file) : 0;
    auto driver = make<UXHeadlessDriver>();
    driver->setSettingsFile(file);
    EXPECT_FALSE(driver->settingSet("ui", "new", "1")) << k.name;
    EXPECT_FALSE(driver->settingRemove("ui", "keep")) << k.name;
    char value[8];
    EXPECT_EQ(driver->settingGet("ui", "new", value, sizeof value), 0) << k.name;
    EXPECT_EQ(fs::symlink_status(file).type(), type) << k.name;
    if (type == fs::file_type::regular) {
      fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
      EXPECT_EQ(fs::file_size(file), size) << k.name;
      EXPECT_EQ(contentOf(file).substr(0, kept.size()), kept) << k.name;
    }
    EXPECT_EQ(names(), std::set<std::string>{"settings.ini"}) << k.name;
    TearDown();
  }
}

// A link placed under the name the file was once written through does not
// redirect the write; a write that fails leaves no sibling behind.
TEST_F(SettingsFileTest, TheFileIsReplacedThroughANewSibling) {
  const std::string file = path("settings.ini"), victim = path("victim.txt");
  std::ofstream(victim, std::ios::binary) << "precious";
  ASSERT_EQ(::symlink(victim.c_str(), (file + ".new").c_str()), 0);
  d->setSettingsFile(file);
  EXPECT_TRUE(d->settingSet("ui", "size", "12"));
  EXPECT_EQ(contentOf(victim), "precious");
  EXPECT_EQ(contentOf(file), "[ui]\nsize=12\n");
  EXPECT_EQ(names(), (std::set<std::string>{"settings.ini", "settings.ini.new", "victim.txt"}));

  // A folder put in the file's place since it was read: the new file cannot
  // take its place, and its sibling goes.
  fs::remove(file);
  fs::create_directory(file);
  EXPECT_FALSE(d->settingSet("ui", "size", "13"));
  EXPECT_TRUE(fs::is_directory(file));
  EXPECT_EQ(names(), (std::set<std::string>{"settings.ini", "settings.ini.new", "victim.txt"}));
}

}  // namespace
}  // namespace quorl
