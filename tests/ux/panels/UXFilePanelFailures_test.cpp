// What the panel says when the driver's file operation fails for a reason
// the disk gives only while the panel works: each reason has its own words,
// and a file that appears under a copy's new name is kept and reported.
#include <functional>
#include <set>
#include <string>
#include <utility>

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

TEST_F(PanelActions, CopyReportsWhatTheDiskDidMeanwhile) { copyReportsWhatTheDiskDidMeanwhile(); }

}  // namespace

// A file another program writes under a new name as the copy starts or
// before its sibling takes the name is kept, a copy the user chose to
// replace still replaces, a source or typed folder swapped while Replace is
// asked is refused, a link is never copied through; no sibling stays.
void PanelActions::copyReportsWhatTheDiskDidMeanwhile() {
  const std::string dangling = makeLink("missing", "dangling"), link = makeLink("a.txt", "link");
  const std::string exists = "A file with this name already exists.|", failed = "3|The file could not be copied.|",
                    moved = "3|The folder it goes to is no longer the one checked, so nothing was changed.|sub/x.txt|OK";
  const auto swapSource = [&] { write("key", "key"); fs::rename(at("key"), at("a.txt")); };
  const auto swapFolder = [&] {
    fs::rename(at("sub"), at("old"));
    fs::create_directory(at("sub"));
    write("sub/x.txt", "theirs");
  };
  // Another program acts before the driver call `when` (or "place"): by default it writes the name typed.
  const struct Case {
    const char* row; const char* typed; const char* when; std::function<void()> act;
    std::string alert; const char* after; bool save = false;
  } cases[] = {
      {"a.txt", "new.txt", "fileCopyDecided", nullptr, failed + "a.txt|" + exists + "OK", "theirs"},
      {"a.txt", "new.txt", "place", nullptr, failed + "a.txt|" + exists + "OK", "theirs"},
      {"a.txt", "b.txt", "place", nullptr, "2|" + exists + "b.txt|Replace it?|Replace|Cancel", "alpha"},
      {"a.txt", "b.txt", "alertRun", swapSource, failed + "a.txt|It is no longer the file that was listed.|OK", "bravo"},
      {"a.txt", "sub/x.txt", "alertRun", swapFolder, moved, "theirs"},
      {"a.txt", "sub/x.txt", "alertRun", swapFolder, moved, "theirs", true},
      {"dangling", "new.txt", "", nullptr, failed + "dangling|The link is broken: what it points to is not there.|OK", ""},
      {"link", "new.txt", "", nullptr, failed + "link|Only regular files are copied.|OK", ""},
  };
  for (const Case& c : cases) {
    if (!*c.when && !(c.row == std::string("link") ? link : dangling).empty()) continue;  // not made here
    fs::remove_all(at("old"));
    fs::remove(at("new.txt"));
    write("b.txt", "bravo");
    write("sub/x.txt", "sub x");
    panel->saveMode = c.save;
    panel->reload();
    ASSERT_TRUE(pick(*panel, c.row)) << c.row;
    type(c.typed);
    bool acted = false;
    const auto act = [&](const std::string& when) {
      if (when == c.when && !std::exchange(acted, true)) c.act ? c.act() : write(c.typed, "theirs");
    };
    meddling() = act;
    gUXBeforeSiblingPlace = [&](const std::string&) { act("place"); };
    answer(1);  // Replace, when asked
    c.save ? panel->onOpen() : panel->onCopy();
    meddling() = nullptr;
    gUXBeforeSiblingPlace = nullptr;
    EXPECT_EQ(lastAlert(), c.alert) << c.typed;
    EXPECT_EQ(read(c.typed), c.after) << c.typed;
    EXPECT_EQ(panel->done, 0) << c.typed;
    // a.txt, b.txt, .hidden, sub, the links shown and what the row made: no sibling.
    EXPECT_EQ(size_t(std::distance(fs::directory_iterator(root), fs::directory_iterator())),
              4 + dangling.empty() + link.empty() + has("new.txt") + has("old")) << c.typed;
  }
  if (!link.empty()) GTEST_SKIP() << "no link was tried: " << link;
  removeLink("link");
}

}  // namespace quorl::test
