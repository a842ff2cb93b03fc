// Where a copy's sibling is made: in the target's own folder, so that
// taking the target's name is one step of one file system.
#include <gtest/gtest.h>

#include <string>

#include "ux/core/UXSiblingCopy.h"

namespace quorl {
namespace {

TEST(UXSiblingFolder, IsTheTargetsFolderWithItsSeparator) {
  const struct Case { const char* target; bool windows; const char* folder; } cases[] = {
      {"/home/a/b.txt", false, "/home/a/"},
      {"/b.txt", false, "/"},
      {"b.txt", false, ""},                      // the working folder
      {"a\\b.txt", false, ""},                   // a name's byte on POSIX
      {"C:\\a\\b.txt", true, "C:\\a\\"},
      {"C:/a\\b.txt", true, "C:/a\\"},
      {"C:\\b.txt", true, "C:\\"},               // the drive's root
      {"C:b.txt", true, "C:"},                   // the drive's current folder
      {"b.txt", true, ""},
      {"\\\\?\\C:\\a\\b.txt", true, "\\\\?\\C:\\a\\"},
      {"\\\\server\\share\\b.txt", true, "\\\\server\\share\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(uxSiblingFolder(c.target, c.windows), c.folder) << c.target;
}

}  // namespace
}  // namespace quorl
