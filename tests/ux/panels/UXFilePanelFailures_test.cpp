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

// A file another program writes under the copy's name meanwhile is never
// replaced by a copy meant for a new name, and no sibling stays; a copy the
// user chose to replace still replaces. A link is never copied through.
TEST_F(PanelActions, CopyReportsWhatTheDiskDidMeanwhile) {
  // "" for each link made, else why the system here cannot show one.
  const std::string dangling = makeLink(at("missing"), at("dangling")), link = makeLink(at("a.txt"), at("link"));
  const std::string exists = "A file with this name already exists.|";
  const struct Case {
    const char* row; const char* typed; bool rival; std::string alert; const char* after;
    const std::string* unmade;  // the row's link, when it has one
  } cases[] = {
      {"a.txt", "new.txt", true, "3|The file could not be copied.|a.txt|" + exists + "OK", "theirs", nullptr},
      {"a.txt", "b.txt", true, "2|" + exists + "b.txt|Replace it?|Replace|Cancel", "alpha", nullptr},
      {"dangling", "new.txt", false,
       "3|The file could not be copied.|dangling|The link is broken: what it points to is not there.|OK", "",
       &dangling},
      {"link", "new.txt", false, "3|The file could not be copied.|link|Only regular files are copied.|OK", "", &link},
  };
  std::string untried;
  for (const Case& c : cases) {
    if (c.unmade && !c.unmade->empty()) {
      untried += std::string(" ") + c.row + " (" + *c.unmade + ")";
      continue;
    }
    fs::remove(at("new.txt"));
    panel->reload();
    ASSERT_TRUE(pick(*panel, c.row)) << c.row;
    type(c.typed);
    if (c.rival) gUXBeforeSiblingPlace = [&](const std::string&) { write(c.typed, "theirs"); };
    driver->queueAlertAnswer(1);  // Replace, when asked
    panel->onCopy();
    gUXBeforeSiblingPlace = nullptr;
    EXPECT_EQ(lastAlert(), c.alert) << c.typed;
    EXPECT_EQ(read(c.typed), c.after) << c.typed;
    // a.txt, b.txt, .hidden, sub, the links shown and new.txt if made: no sibling.
    EXPECT_EQ(size_t(std::distance(fs::directory_iterator(root), fs::directory_iterator())),
              4 + dangling.empty() + link.empty() + has("new.txt")) << c.typed;
  }
  if (link.empty()) removeLink(at("link"));  // the link, not a.txt
  if (!untried.empty()) GTEST_SKIP() << "rows not tried:" << untried;
}

}  // namespace
}  // namespace quorl::test
