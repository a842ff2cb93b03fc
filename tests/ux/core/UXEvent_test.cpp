// The event record: a zeroed record and its description.
#include <gtest/gtest.h>

#include "foundation/String.h"
#include "ux/core/UXEvent.h"

namespace quorl {
namespace {

TEST(UXEventTest, NewRecordIsAllZero) {
  UXEvent e;
  EXPECT_EQ(e.type, 0);
  EXPECT_EQ(e.x, 0);
  EXPECT_EQ(e.y, 0);
  EXPECT_EQ(e.reserved, 0);
  EXPECT_EQ(e.key, 0);
  EXPECT_EQ(e.mods, 0);
  EXPECT_EQ(e.window, 0u);
  EXPECT_EQ(e.a, 0);
  EXPECT_EQ(e.b, 0);
  EXPECT_EQ(e.object, nullptr);
}

TEST(UXEventTest, DescriptionCutsTo16BitsWithFourSignedFields) {
  auto e = make<UXEvent>();
  e->type = 11;
  e->x = -3;
  e->y = 40;
  e->key = 65;
  e->mods = 5;
  e->window = 0x10007;  // cut: 7
  e->a = -1;
  e->b = -120;  // unsigned: 65416
  EXPECT_EQ(e->description()->view(), "<UXEvent>(11, -3, 40, 0, 65, 5, 7, -1, 65416)");
  EXPECT_STREQ(e->classNameC(), "UXEvent");
}

TEST(UXEventTest, ReleasingTheRecordReleasesItsObject) {
  Weak<String> weak;
  {
    auto e = make<UXEvent>();
    auto text = make<String>("field");
    weak = text;
    e->object = text;
  }
  EXPECT_TRUE(weak.expired());
}

}  // namespace
}  // namespace quorl
