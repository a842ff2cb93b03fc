// The headless settings file over a real folder: a file that could not be
// read is never written over; the file is replaced through a new sibling
// that nothing placed beforehand can redirect, keeping the links to it and
// its permissions; and a change is made to the file as it is just then.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

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
  static std::set<std::string> names(const std::string& folder) {
    std::set<std::string> out;
    for (const auto& entry : fs::directory_iterator(folder)) out.insert(entry.path().filename().string());
    return out;
  }
  static std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

// Whatever stands at the settings file's name and could not be read keeps
// what it holds: every change fails, and nothing is left beside it. Root
// reads a file whatever its permissions: that row runs as nobody.
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
    const auto changes = [&] {
      auto driver = make<UXHeadlessDriver>();
      driver->setSettingsFile(file);
      char value[8];
      return std::to_string(driver->settingSet("ui", "new", "1")) + std::to_string(driver->settingRemove("ui", "keep")) +
             std::to_string(driver->settingGet("ui", "new", value, sizeof value));
    };
    std::string skip;
    const std::string got = kind == "not allowed" ? test::asUnprivileged(folder.path, changes, skip) : changes();
    if (!skip.empty()) GTEST_SKIP() << skip;
    EXPECT_EQ(got, "000") << kind << ": set, remove, get";
    EXPECT_EQ(fs::symlink_status(file).type(), type) << kind;
    if (type == fs::file_type::regular) {
      fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
      EXPECT_EQ(fs::file_size(file), size) << kind;
      EXPECT_EQ(contentOf(file).substr(0, kept.size()), kept) << kind;
    }
    EXPECT_EQ(names(folder.path), std::set<std::string>{"settings.ini"}) << kind;
  }
}

// Links planted under the names the writer tries for its sibling (two to a
// file, one to nothing) redirect nothing: each name is passed over and the
// links' targets stay as they were. A write that fails leaves no sibling.
TEST_F(SettingsFileTest, TheFileIsReplacedThroughANewSibling) {
  test::TempDir folder;
  const std::string file = folder.at("settings.ini"), victim = folder.write("victim.txt", "precious");
  std::vector<std::string> planted;
  gUXBeforeSiblingCreate = [&](const std::string& sibling) {
    if (planted.size() < 3) ::symlink(planted.size() < 2 ? victim.c_str() : folder.at("made.txt").c_str(), sibling.c_str());
    planted.push_back(sibling);
  };
  d->setSettingsFile(file);
  EXPECT_TRUE(d->settingSet("ui", "size", "12"));
  EXPECT_EQ(planted.size(), 4u);
  EXPECT_EQ(contentOf(victim), "precious");
  EXPECT_FALSE(fs::exists(folder.at("made.txt")));
  EXPECT_EQ(contentOf(file), "[ui]\nsize=12\n");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
  std::set<std::string> expected = {"settings.ini", "victim.txt"};
  for (size_t i = 0; i < 3 && i < planted.size(); ++i) {
    EXPECT_TRUE(fs::is_symlink(planted[i])) << i;
    expected.insert(fs::path(planted[i]).filename().string());
  }
  EXPECT_EQ(names(folder.path), expected);  // nothing made through the link to nothing

  // A folder put in the file's place since it was read: the new file cannot
  // take its place, and no sibling stays.
  gUXBeforeSiblingCreate = nullptr;
  fs::remove(file);
  fs::create_directory(file);
  EXPECT_FALSE(d->settingSet("ui", "size", "13"));
  EXPECT_TRUE(fs::is_directory(file));
  EXPECT_EQ(names(folder.path), expected);
}

// A settings file that is a link (to the user's own folder of settings)
// stays a link, and the file it leads to takes the change; a private file
// stays private.
TEST_F(SettingsFileTest, TheFileKeepsItsLinksAndPermissions) {
  struct Case { const char* what; std::vector<std::string> links; fs::perms perms; } cases[] = {
      {"a private file", {}, fs::perms::owner_read | fs::perms::owner_write},
      {"a link into another folder", {"../dotfiles/quorl.ini"}, fs::perms::owner_read | fs::perms::owner_write},
      {"a link to a link", {"next.ini", "../dotfiles/quorl.ini"}, fs::perms::owner_read | fs::perms::owner_write |
                                                                      fs::perms::group_read},
  };
  for (const Case& c : cases) {
    test::TempDir folder;
    fs::create_directory(folder.at("conf"));
    fs::create_directory(folder.at("dotfiles"));
    const std::string file = folder.at("conf/settings.ini");
    const std::string real = c.links.empty() ? file : folder.at("dotfiles/quorl.ini");
    std::ofstream(real, std::ios::binary) << "[ui]\nold=1\n";
    fs::permissions(real, c.perms);
    if (c.links.size() > 0) fs::create_symlink(c.links[0], file);
    if (c.links.size() > 1) fs::create_symlink(c.links[1], folder.at("conf/next.ini"));
    auto driver = make<UXHeadlessDriver>();
    driver->setSettingsFile(file);
    EXPECT_TRUE(driver->settingSet("ui", "size", "12")) << c.what;
    EXPECT_EQ(contentOf(real), "[ui]\nold=1\nsize=12\n") << c.what;
    EXPECT_EQ(fs::status(real).permissions(), c.perms) << c.what;
    std::vector<std::string> links;
    for (const std::string& link : {file, folder.at("conf/next.ini")})
      if (fs::is_symlink(link)) links.push_back(fs::read_symlink(link).string());
    EXPECT_EQ(links, c.links) << c.what;
    const std::set<std::string> confNames =
        c.links.size() > 1 ? std::set<std::string>{"next.ini", "settings.ini"} : std::set<std::string>{"settings.ini"};
    EXPECT_EQ(names(folder.at("conf")), confNames) << c.what;
    EXPECT_EQ(names(folder.at("dotfiles")).size(), c.links.empty() ? 0u : 1u) << c.what;  // no sibling stays
  }
}

// Two instances over one file: each change is made to the file as it is
// then, so neither writes its own older list over the other's changes.
TEST_F(SettingsFileTest, TwoInstancesKeepEachOthersChanges) {
  test::TempDir folder;
  const std::string file = folder.write("settings.ini", "[ui]\nsize=10\n");
  auto second = make<UXHeadlessDriver>();
  d->setSettingsFile(file);
  second->setSettingsFile(file);
  EXPECT_TRUE(second->settingSet("RecentFiles", "0", "/b.json"));
  EXPECT_TRUE(d->settingSet("ui", "size", "12"));
  EXPECT_EQ(contentOf(file), "[RecentFiles]\n0=/b.json\n[ui]\nsize=12\n");
  EXPECT_TRUE(d->settingRemove("RecentFiles", "0"));
  EXPECT_TRUE(second->settingSet("ui", "width", "800"));
  EXPECT_EQ(contentOf(file), "[ui]\nsize=12\nwidth=800\n");
  char value[8];
  EXPECT_EQ(second->settingGet("RecentFiles", "0", value, sizeof value), 0);
  EXPECT_FALSE(second->settingRemove("RecentFiles", "0"));  // gone already
}

}  // namespace
}  // namespace quorl
