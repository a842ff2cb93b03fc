// Where a copy's sibling is made: in the target's own folder, so that
// taking the target's name is one step of one file system.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

// A copy into memory: what was written, and whether it was put in place.
struct MemoryCopy : UXSiblingCopy {
  UXFileFailure create(const std::string&) override { return UXFileFailure::none; }
  UXFileFailure read(char*, uint32_t, uint32_t& got) override { return got = 0, UXFileFailure::none; }
  UXFileFailure write(const char* bytes, uint32_t n) override { return written.append(bytes, n), UXFileFailure::none; }
  UXFileFailure finish() override { return UXFileFailure::none; }
  UXFileFailure place(const std::string&, bool) override { return placed = true, UXFileFailure::none; }
  void remove(const std::string&) override { removed = true; }
  std::string written;
  bool placed = false, removed = false;
};

// The write seam sees each write with the bytes before it; a failure it answers stops the copy before placing.
TEST(UXSiblingCopy, AWriteTheDiskCannotTakeStopsTheCopy) {
  const std::string text(150000, 'x');
  std::vector<std::pair<uint64_t, uint32_t>> asked;
  for (const uint64_t room : {uint64_t(1) << 20, uint64_t(100000)}) {
    asked.clear();
    gUXSiblingWriteFault = [&](uint64_t written, uint32_t count) {
      asked.emplace_back(written, count);
      return written + count > room ? UXFileFailure::noSpace : UXFileFailure::none;
    };
    UXSiblingWrite<MemoryCopy> copy(text);
    const UXFileFailure why = uxCopyThroughSibling(copy, "", true);
    gUXSiblingWriteFault = nullptr;
    const bool whole = room > text.size();
    EXPECT_EQ(why, whole ? UXFileFailure::none : UXFileFailure::noSpace);
    EXPECT_EQ(copy.written.size(), whole ? text.size() : 65536u);
    EXPECT_EQ(copy.placed, whole);
    EXPECT_EQ(copy.removed, !whole);
    const std::vector<std::pair<uint64_t, uint32_t>> expected =
        whole ? std::vector<std::pair<uint64_t, uint32_t>>{{0, 65536}, {65536, 65536}, {131072, 18928}}
              : std::vector<std::pair<uint64_t, uint32_t>>{{0, 65536}, {65536, 65536}};
    EXPECT_EQ(asked, expected);
  }
}

}  // namespace
}  // namespace quorl
