#include <cstring>

#include "TextTestEnv.h"
#include "ux/text/UXPasteboard.h"

namespace quorl::test {
namespace {

TEST(UXPasteboard, OwnsCopiesOfWhatItIsGiven) {
  auto p = make<UXPasteboard>();
  EXPECT_EQ(p->stringForType(kUXPasteboardTypeText), nullptr);
  {
    std::string value = "first", type = "public.utf8-plain-text";
    p->setString(value.c_str(), type.c_str());
    value.assign("XXXXXXXXXXXXXXXXXXXXXXXXXXXXX");  // the caller's bytes change or go
    type.assign("other");
  }
  ASSERT_NE(p->stringForType(kUXPasteboardTypeText), nullptr);
  EXPECT_STREQ(p->stringForType(kUXPasteboardTypeText), "first");
  p->setString("second", kUXPasteboardTypeText);
  p->setString("", "Other");
  EXPECT_STREQ(p->stringForType(kUXPasteboardTypeText), "second");
  EXPECT_EQ(p->entries->count(), 2u);
  EXPECT_EQ(p->changeCount, 3);
  EXPECT_EQ(p->stringForType("other"), nullptr);  // case counts
  EXPECT_STREQ(p->stringForType("Other"), "");
  p->setString(nullptr, kUXPasteboardTypeText);
  EXPECT_EQ(p->changeCount, 3);
  EXPECT_EQ(p->description()->view(), "<UXPasteboard>(3)");
  EXPECT_TRUE(UXPasteboard::streq("", ""));
  EXPECT_FALSE(UXPasteboard::streq("a", "A"));
  EXPECT_EQ(UXPasteboard::general(), UXPasteboard::general());
}

}  // namespace
}  // namespace quorl::test
