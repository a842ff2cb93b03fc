// What the headless driver answers about a path before the file panel acts
// on it, over a real temporary folder: whether the name is taken (a link
// and a broken link are entries of their own), and who a folder is, so that
// a folder swapped for another under the same path is told apart.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

class FileQueriesTest : public ::testing::Test {
 protected:
  Ref<UXHeadlessDriver> d = make<UXHeadlessDriver>();
  fs::path dir;
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) /
          ("uxa_queries_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "b.txt") << "bee";
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string p(const std::string& name) const { return (dir / name).string(); }
};

TEST_F(FileQueriesTest, PresenceIsAskedOfTheFileSystem) {
  fs::create_directory_symlink(dir / "sub", dir / "to-sub");
  fs::create_symlink(dir / "nowhere", dir / "broken");
  struct Case { std::string name; UXFilePresence presence; } cases[] = {
      {"b.txt", UXFilePresence::file},
      {"sub", UXFilePresence::folder},
      {"to-sub", UXFilePresence::file},     // the link itself, not its folder
      {"broken", UXFilePresence::file},     // a name taken, though it leads nowhere
      {"missing", UXFilePresence::absent},
      {"missing/x", UXFilePresence::absent},
      {"b.txt/", UXFilePresence::notFolder},
      {"b.txt/x", UXFilePresence::notFolder},
      {"sub/../b.txt", UXFilePresence::file},
      {std::string(300, 'n'), UXFilePresence::absent},  // no entry has a name this long
  };
  for (const Case& c : cases) EXPECT_EQ(d->filePresence(p(c.name).c_str()), c.presence) << c.name;
  EXPECT_EQ(d->filePresence(nullptr), UXFilePresence::unknown);
  EXPECT_EQ(d->filePresence(""), UXFilePresence::unknown);
}

TEST_F(FileQueriesTest, AFolderKeepsItsIdentityUnderAnyPathAndLosesItWhenSwapped) {
  UXFileIdentity listed, same, swapped, other;
  ASSERT_TRUE(d->fileIdentity(p("sub").c_str(), listed));
  ASSERT_TRUE(d->fileIdentity((p("sub") + "/.").c_str(), same));
  EXPECT_EQ(listed, same);
  fs::create_directory(dir / "victim");
  fs::rename(dir / "sub", dir / "old");
  fs::create_directory_symlink(dir / "victim", dir / "sub");
  ASSERT_TRUE(d->fileIdentity(p("sub").c_str(), swapped));  // through the link: the victim
  ASSERT_TRUE(d->fileIdentity(p("victim").c_str(), other));
  EXPECT_FALSE(swapped == listed);
  EXPECT_EQ(swapped, other);
  UXFileIdentity untouched{7, 9};
  EXPECT_FALSE(d->fileIdentity(p("missing").c_str(), untouched));
  EXPECT_EQ(untouched, (UXFileIdentity{7, 9}));
}

}  // namespace
}  // namespace quorl
