// What the panel says when the driver's file operation fails for a reason
// the disk gives only while the panel works: each reason has its own words,
// and a file that appears under a copy's new name is kept and reported.
#include <set>
#include <string>

#include "PanelTest.h"
#include "ux/core/UXSiblingCopy.h"

namespace quorl::test {
namespace {

// Each reason a driver can give has words of its own: a reason without them
// would leave the user with "could not be copied" alone.
TEST(PanelFailureTexts, EachReasonHasItsOwnWords) {
  std::set<std::string> seen;
  for (uint8_t v = uint8_t(UXFileFailure::none) + 1; v < uint8_t(UXFileFailure::unknown); ++v) {
    const std::string text = UXFilePanel::failureText(UXFileFailure(v));
    EXPECT_FALSE(text.empty()) << int(v);
    EXPECT_TRUE(seen.insert(text).second) << int(v) << " says what another reason says: " << text;
  }
  EXPECT_STREQ(UXFilePanel::failureText(UXFileFailure::unknown), "");
}

TEST_F(PanelActions, CopyReportsWhatTheDiskDidMeanwhile) {
  std::error_code ec;
  fs::create_symlink(at("missing"), at("dangling"), ec);
  const bool linked = !ec;
  const struct Case { const char* row; bool rival; const char* alert; } cases[] = {
      {"a.txt", true, "3|The file could not be copied.|a.txt|A file with this name already exists.|OK"},
      {"dangling", false,
       "3|The file could not be copied.|dangling|The link is broken: what it points to is not there.|OK"},
  };
  for (const Case& c : cases) {
    if (!linked && !c.rival) continue;
    fs::remove(at("new.txt"));
    panel->reload();
    ASSERT_TRUE(pick(*panel, c.row)) << c.row;
    type("new.txt");
    if (c.rival) gUXBeforeSiblingPlace = [&](const std::string&) { write("new.txt", "theirs"); };
    panel->onCopy();
    gUXBeforeSiblingPlace = nullptr;
    EXPECT_EQ(lastAlert(), c.alert) << c.row;
    EXPECT_EQ(read("new.txt"), c.rival ? "theirs" : "") << c.row;
  }
  if (!linked) GTEST_SKIP() << "no links here: the broken link was not tried";
}

}  // namespace
}  // namespace quorl::test
