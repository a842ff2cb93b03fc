// The index set: merging of ranges, its text form, equality and hashing.
#include <gtest/gtest.h>

#include <vector>

#include "foundation/Range.h"
#include "foundation/String.h"
#include "ux/controls/IndexSet.h"

namespace quorl {
namespace {

struct AddCase {
  std::vector<std::pair<int32_t, int32_t>> adds;  // (start, length), in order
  const char* text;
  uint32_t ranges;
};

TEST(IndexSet, AddsMergeIntoTheOneRepresentation) {
  const AddCase cases[] = {
      {{{5, 1}}, "(5)", 1},
      {{{1, 1}, {3, 1}, {4, 1}, {5, 1}}, "(1, 3-5)", 2},
      {{{1, 1}, {3, 1}, {4, 1}, {5, 1}, {2, 1}}, "(1-5)", 1},
      {{{1, 1}, {3, 3}, {20, 1}, {2, 10}}, "(1-11, 20)", 2},
      {{{1, 1}, {3, 3}, {20, 1}, {2, 10}, {12, 1}, {19, 1}}, "(1-12, 19-20)", 2},
      {{{5, 1}, {7, 1}}, "(5, 7)", 2},
      {{{3, 0}, {4, -2}}, "()", 0},
      {{{-3, 5}}, "(0-1)", 1},
      {{{-3, 2}}, "()", 0},
      {{{4, 3}, {4, 3}, {5, 1}}, "(4-6)", 1},
      {{{10, 1}, {0, 1}, {5, 1}, {1, 9}}, "(0-10)", 1},  // one add bridges three ranges
      {{{INT32_MAX - 1, 1}, {INT32_MAX - 2, 1}}, "(2147483645-2147483646)", 1},
  };
  for (const AddCase& c : cases) {
    auto set = make<IndexSet>();
    for (auto [start, length] : c.adds) set->_add(start, length);
    EXPECT_STREQ(set->description()->cString(), c.text);
    EXPECT_EQ(set->rangeCount(), c.ranges) << c.text;
  }
}

TEST(IndexSet, SearchFindsTheFirstRangeEndingAfterAnIndex) {
  auto set = make<IndexSet>();
  EXPECT_EQ(set->_firstEndingAfter(3), 0u);
  set->_add(2, 2);   // 2-3
  set->_add(10, 1);  // 10
  EXPECT_EQ(set->_firstEndingAfter(1), 0u);
  EXPECT_EQ(set->_firstEndingAfter(3), 0u);  // 2-3 ends at 4, past 3
  EXPECT_EQ(set->_firstEndingAfter(4), 1u);
  EXPECT_EQ(set->_firstEndingAfter(10), 1u);
  EXPECT_EQ(set->_firstEndingAfter(11), 2u);
  EXPECT_EQ(set->_at(1)->start, 10);
  EXPECT_TRUE(set->contains(3));
  EXPECT_FALSE(set->contains(4));
  EXPECT_EQ(set->count(), 3u);
}

TEST(IndexSet, EqualityAndHashFollowTheContent) {
  auto a = make<IndexSet>(), b = make<IndexSet>();
  for (int32_t r : {1, 4, 5, 9}) a->_add(r, 1);
  for (int32_t r : {9, 5, 1, 4}) b->_add(r, 1);
  EXPECT_TRUE(a->equals(b));
  EXPECT_EQ(a->hash(), b->hash());
  b->_add(2, 1);
  EXPECT_FALSE(a->equals(b));
  EXPECT_FALSE(a->equals(nullptr));
  EXPECT_FALSE(a->equals(make<Range>(1, 1)));
  auto empty = make<IndexSet>();
  EXPECT_EQ(empty->hash(), 0u);
  EXPECT_STREQ(empty->description()->cString(), "()");
  // One range: 1 * 31 + the range's hash.
  auto one = make<IndexSet>();
  one->_add(3, 2);
  EXPECT_EQ(one->hash(), 31u + make<Range>(3, 2)->hash());
}

}  // namespace
}  // namespace quorl
