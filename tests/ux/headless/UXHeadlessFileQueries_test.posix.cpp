// Whether a name is taken, as the headless driver answers it over a real
// temporary folder: a link and a broken link are entries of their own, a
// file on the way of a folder path is told apart. (Folder identities are
// tested through the panel: PanelTest.ActsOnlyInTheFolderThatWasListed.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

TEST(FileQueries, PresenceIsAskedOfTheFileSystem) {
  auto d = make<UXHeadlessDriver>();
  test::TempDir folder;
  const fs::path dir = folder.path;
  fs::create_directories(dir / "sub");
  std::ofstream(dir / "b.txt") << "bee";
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
  for (const Case& c : cases) EXPECT_EQ(d->filePresence(folder.at(c.name).c_str()), c.presence) << c.name;
  EXPECT_EQ(d->filePresence(nullptr), UXFilePresence::unknown);
  EXPECT_EQ(d->filePresence(""), UXFilePresence::unknown);
}

}  // namespace
}  // namespace quorl
