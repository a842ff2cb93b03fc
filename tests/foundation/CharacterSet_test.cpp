// CharacterSet and the String operations that take or make one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Array.h"
#include "foundation/CharacterSet.h"
#include "foundation/String.h"

namespace quorl {
namespace {

Ref<String> S(std::string_view text) { return String::withBytes(text.data(), static_cast<uint32_t>(text.size())); }
std::string str(const Ref<String>& s) { return std::string(s->view()); }
std::vector<std::string> strs(const Ref<Array>& a) {
  std::vector<std::string> out;
  for (uint32_t i = 0; i < a->count(); i++) out.push_back(str(cast<String>(a->get(i))));
  return out;
}
uint32_t members(const CharacterSet& set) {
  uint32_t n = 0;
  for (uint32_t b = 0; b < 256; b++) n += set.contains(static_cast<uint8_t>(b));
  return n;
}
Ref<CharacterSet> setOf(const char* text) {
  Ref<CharacterSet> set = make<CharacterSet>();
  set->addCString(text);
  return set;
}

// Counts what reaches `add`, to show addRange and addCString go through it.
class CountingSet : public CharacterSet {
 public:
  void add(uint8_t b) override {
    adds++;
    CharacterSet::add(b);
  }
  int adds = 0;
};

TEST(CharacterSetTest, NewSetIsEmpty) {
  CharacterSet set;
  EXPECT_TRUE(set.isEmpty());
  EXPECT_EQ(members(set), 0u);
}

TEST(CharacterSetTest, AddRemoveContains) {
  CharacterSet set;
  for (int b : {0, 7, 8, 127, 128, 255}) {
    set.add(b);
    EXPECT_TRUE(set.contains(b)) << int(b);
  }
  EXPECT_EQ(members(set), 6u);
  EXPECT_FALSE(set.contains(1));
  set.remove(8);
  EXPECT_FALSE(set.contains(8));
  EXPECT_TRUE(set.contains(7));
  set.remove(9);  // not a member: nothing changes
  EXPECT_EQ(members(set), 5u);
  EXPECT_FALSE(set.isEmpty());
}

TEST(CharacterSetTest, AddRange) {
  struct Case {
    uint8_t first, last;
    uint32_t count;
  } cases[] = {{250, 255, 6}, {5, 4, 0}, {7, 7, 1}, {0, 255, 256}, {'a', 'z', 26}};
  for (const Case& c : cases) {
    CountingSet set;
    set.addRange(c.first, c.last);
    EXPECT_EQ(members(set), c.count) << int(c.first) << ".." << int(c.last);
    EXPECT_EQ(set.adds, static_cast<int>(c.count));
  }
}

TEST(CharacterSetTest, AddCString) {
  CountingSet set;
  set.addCString("a b");
  EXPECT_EQ(set.adds, 3);
  EXPECT_TRUE(set.contains('a'));
  EXPECT_TRUE(set.contains(' '));
  EXPECT_TRUE(set.contains('b'));
  EXPECT_EQ(members(set), 3u);
  set.addCString(nullptr);
  set.addCString("\xE2\x82\xAC");  // a character is three byte members
  EXPECT_EQ(members(set), 6u);
}

TEST(CharacterSetTest, Inverted) {
  CharacterSet empty;
  EXPECT_EQ(members(*empty.inverted()), 256u);
  CharacterSet full;
  full.addRange(0, 255);
  EXPECT_TRUE(full.inverted()->isEmpty());
  Ref<CharacterSet> digits = make<CharacterSet>();
  digits->addRange('0', '9');
  Ref<CharacterSet> other = digits->inverted();
  EXPECT_EQ(members(*other), 246u);
  EXPECT_FALSE(other->contains('5'));
  EXPECT_TRUE(other->contains('a'));
  EXPECT_EQ(members(*digits), 10u);  // the original is unchanged
}

TEST(CharacterSetTest, UnionAndIntersection) {
  Ref<CharacterSet> a = setOf("abc\xFF");
  Ref<CharacterSet> b = setOf("bcd\x01");
  Ref<CharacterSet> u = setOf("abc\xFF");
  u->formUnion(b);
  EXPECT_EQ(members(*u), 6u);
  for (int x : {int('a'), int('b'), int('c'), int('d'), 0x01, 0xFF}) EXPECT_TRUE(u->contains(x));
  a->formIntersection(b);
  EXPECT_EQ(members(*a), 2u);
  EXPECT_TRUE(a->contains('b'));
  EXPECT_TRUE(a->contains('c'));
  a->formUnion(nullptr);
  a->formIntersection(nullptr);
  EXPECT_EQ(members(*a), 2u);
}

TEST(CharacterSetTest, EqualityIsIdentity) {
  Ref<CharacterSet> a = setOf("xy"), b = setOf("xy");
  EXPECT_FALSE(a->equals(b));
  EXPECT_TRUE(a->equals(a));
  EXPECT_EQ(a->description()->view(), "<Object>");
  EXPECT_EQ(Object::className(a)->view(), "CharacterSet");
}

TEST(CharacterSetTest, StringSearchBySet) {
  Ref<CharacterSet> vowels = setOf("aeiou");
  Ref<String> s = S("rhythm and blues");
  EXPECT_EQ(s->byteIndexOfSet(vowels), 7u);
  EXPECT_EQ(s->lastByteIndexOfSet(vowels), 14u);
  EXPECT_TRUE(s->containsByteFromSet(vowels));
  EXPECT_FALSE(S("rhythm")->containsByteFromSet(vowels));
  EXPECT_EQ(S("rhythm")->lastByteIndexOfSet(vowels), kNotFound);
  EXPECT_EQ(s->byteIndexOfSet(nullptr), kNotFound);
  EXPECT_EQ(s->lastByteIndexOfSet(nullptr), kNotFound);
  EXPECT_FALSE(s->containsByteFromSet(nullptr));
}

TEST(CharacterSetTest, StringTrimmedBySet) {
  Ref<CharacterSet> junk = setOf("-_ ");
  EXPECT_EQ(str(S("--_a-b_ -")->trimmed(junk)), "a-b");
  EXPECT_EQ(str(S("-_-")->trimmed(junk)), "");
  EXPECT_EQ(str(S("ab")->trimmed(make<CharacterSet>())), "ab");
  EXPECT_EQ(str(S(std::string("ab\0cd", 5))->trimmed(nullptr)), "ab");  // withString copy
  EXPECT_EQ(str(S(std::string("\0x\0", 3))->trimmed(setOf("y"))), std::string("\0x\0", 3));
}

TEST(CharacterSetTest, StringSplitOnSet) {
  Ref<CharacterSet> seps = setOf(",;");
  EXPECT_EQ(strs(S("a,b;;c")->splitOnSet(seps)), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(strs(S("")->splitOnSet(seps)), (std::vector<std::string>{""}));
  EXPECT_EQ(strs(S("a,")->splitOnSet(seps)), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(strs(S("a b")->splitOnSet(make<CharacterSet>())), (std::vector<std::string>{"a b"}));
  EXPECT_EQ(strs(S(std::string("a\0b", 3))->splitOnSet(nullptr)), (std::vector<std::string>{"a"}));
}

TEST(CharacterSetTest, StringAsCharacterSet) {
  Ref<CharacterSet> set = S(std::string("ab\0cd", 5))->asCharacterSet();
  EXPECT_EQ(members(*set), 2u);
  EXPECT_TRUE(set->contains('a'));
  EXPECT_FALSE(set->contains('c'));
  EXPECT_FALSE(set->contains(0));
  EXPECT_TRUE(S("")->asCharacterSet()->isEmpty());
}

}  // namespace
}  // namespace quorl
