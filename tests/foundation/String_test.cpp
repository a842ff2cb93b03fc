// String: construction, growth, comparison, hashing, editing, search,
// substrings, derived texts and the standard description text.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/Array.h"
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
const std::string kWithNul("ab\0cd", 5);

class SubString : public String {
 public:
  using String::String;
  const char* classNameC() const override { return "SubString"; }
};

// --- Construction and accessors ---------------------------------------------

TEST(StringTest, ConstructionCapacities) {
  EXPECT_EQ(String::withCString("abc")->capacity(), 3u);
  EXPECT_EQ(String::withCString("")->capacity(), 0u);
  Ref<String> s = S(kWithNul);
  EXPECT_EQ(s->byteLength(), 5u);
  EXPECT_EQ(s->capacity(), 5u);
  EXPECT_EQ(str(s), kWithNul);
  EXPECT_EQ(s->cString()[5], 0);
}

TEST(StringTest, NulTerminatedViewsStopAtTheFirstZeroByte) {
  Ref<String> s = S(kWithNul);
  EXPECT_EQ(str(String::withString(s)), "ab");
  EXPECT_EQ(str(s->description()), "ab");
  EXPECT_EQ(str(s->copy()), "ab");
  EXPECT_EQ(str(s->uppercased()), "AB");
  EXPECT_EQ(str(s->lowercased()), "ab");
  EXPECT_EQ(str(s->appending(S("x"))), "abx");
  EXPECT_EQ(str(String::withString(nullptr)), "");
  EXPECT_NE(s->copy().get(), s.get());
}

TEST(StringTest, DecimalConstructors) {
  EXPECT_EQ(str(String::withU32(0)), "0");
  EXPECT_EQ(str(String::withU32(UINT32_MAX)), "4294967295");
  EXPECT_EQ(str(String::withU64(UINT64_MAX)), "18446744073709551615");
  EXPECT_EQ(str(String::withI32(-1)), "-1");
  EXPECT_EQ(str(String::withI32(INT32_MIN)), "-2147483648");
  EXPECT_EQ(str(String::withI64(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(str(String::withI64(INT64_MAX)), "9223372036854775807");
  // Built by appending, so the growth rule applies: 16, then 32.
  EXPECT_EQ(String::withU32(7)->capacity(), 16u);
  EXPECT_EQ(String::withU64(UINT64_MAX)->capacity(), 32u);
}

TEST(StringTest, GrowthRule) {
  struct Case {
    const char* start;
    uint32_t reserve, capacity;
  } cases[] = {
      {"", 0, 0}, {"", 1, 16}, {"abc", 3, 3}, {"abc", 4, 6}, {"abc", 13, 24}, {"abc", 49, 96},
  };
  for (const Case& c : cases) {
    Ref<String> s = String::withCString(c.start);
    s->reserve(c.reserve);
    EXPECT_EQ(s->capacity(), c.capacity) << c.start << " reserve " << c.reserve;
    EXPECT_EQ(str(s), c.start);
  }
  String inlineString;  // no buffer: capacity 0, and cString does not change that
  EXPECT_STREQ(inlineString.cString(), "");
  EXPECT_EQ(inlineString.capacity(), 0u);
  std::vector<uint32_t> seen;
  for (int i = 0; i < 40; i++) {
    inlineString.appendByte('x');
    if (seen.empty() || seen.back() != inlineString.capacity()) seen.push_back(inlineString.capacity());
  }
  EXPECT_EQ(seen, (std::vector<uint32_t>{16, 32, 64}));
  inlineString.clear();  // keeps the buffer
  EXPECT_EQ(inlineString.capacity(), 64u);
  EXPECT_STREQ(inlineString.cString(), "");
}

TEST(StringTest, ByteAccess) {
  Ref<String> s = S(kWithNul);
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(s->getBytes(buffer, 3), 3u);
  EXPECT_EQ(std::string(buffer, 4), std::string("ab\0#", 4));  // no terminating NUL written
  EXPECT_EQ(s->getBytes(buffer, 8), 5u);
  EXPECT_EQ(s->getBytes(nullptr, 8), 0u);
  auto copy = s->copyCString();
  EXPECT_EQ(std::string(copy.get(), 6), std::string("ab\0cd\0", 6));
  EXPECT_EQ(s->byteAt(3), 'c');
  *s->_bytesAt(0) = 'X';
  EXPECT_EQ(s->byteAt(0), 'X');
  EXPECT_EQ(String::_cstringLen("abc"), 3u);
}

// --- Comparison and hashing -------------------------------------------------

TEST(StringTest, CompareIsBytewiseUnsigned) {
  struct Case {
    std::string a, b;
    int8_t result;
  } cases[] = {
      {"ab", "abc", -1}, {"b", "abc", 1}, {"\xC3", "z", 1}, {"abc", "abc", 0},
      {"", "", 0},       {"", "a", -1},   {std::string("a\0", 2), "a", 1},
  };
  for (const Case& c : cases) {
    Ref<Object> other = S(c.b);
    EXPECT_EQ(S(c.a)->compare(S(c.b)), c.result) << c.a << " vs " << c.b;
    EXPECT_EQ(S(c.a)->compare(other), c.result);
  }
  EXPECT_EQ(S("a")->compare(make<Object>()), 0);
  EXPECT_EQ(S("a")->compare(Ref<Object>()), 0);
}

TEST(StringTest, EqualsComparesAllBytes) {
  EXPECT_TRUE(S(kWithNul)->equals(S(kWithNul)));
  EXPECT_FALSE(S(kWithNul)->equals(S("ab")));
  EXPECT_TRUE(S("")->equals(make<String>()));
  EXPECT_FALSE(S("x")->equals(nullptr));
  EXPECT_FALSE(S("x")->equals(make<Object>()));
  // The Object form is an is-a test: a subclass with the same bytes is equal.
  Ref<Object> sub = make<SubString>("x");
  EXPECT_TRUE(S("x")->equals(sub));
  EXPECT_TRUE(sub->equals(S("x")));
}

TEST(StringTest, HashIsFnv1a) {
  EXPECT_EQ(S("")->hash(), 0x811c9dc5u);
  EXPECT_EQ(make<String>()->hash(), 0x811c9dc5u);
  EXPECT_EQ(S("a")->hash(), 0xe40c292cu);
  EXPECT_EQ(S("foobar")->hash(), 0xbf9cf968u);
  EXPECT_EQ(S(kWithNul)->hash(), 0x5170ba79u);
}

TEST(StringTest, CaseInsensitiveCompareFoldsAsciiOnly) {
  EXPECT_EQ(S("ABC")->caseInsensitiveCompare(S("abd")), -1);
  EXPECT_EQ(S("abc")->caseInsensitiveCompare(S("ABC")), 0);
  // The fold is to small letters, so 'A' sorts after '_' (0x5F).
  EXPECT_EQ(S("A")->caseInsensitiveCompare(S("_")), 1);
  EXPECT_EQ(S("x")->caseInsensitiveCompare(nullptr), 0);
  EXPECT_FALSE(S("\xC3\x84" "B")->equalsIgnoringCase(S("\xC3\xA4" "b")));
  EXPECT_TRUE(S(kWithNul)->equalsIgnoringCase(S("AB")));
}

// A missing argument matches: callers comparing an optional field must test
// for null themselves.
TEST(StringTest, EqualsIgnoringCaseOfNullIsTrue) {
  EXPECT_TRUE(S("anything")->equalsIgnoringCase(nullptr));
}

// --- Editing ------------------------------------------------------------------

TEST(StringTest, AppendKeepsZeroBytes) {
  Ref<String> s = S("ab");
  s->append(S(kWithNul));
  s->append(nullptr);
  s->appendCString("xy");
  s->appendBytes("zz", 0);
  s->appendBytes("q\0", 2);
  EXPECT_EQ(str(s), "ab" + kWithNul + "xy" + std::string("q\0", 2));
}

TEST(StringTest, AppendingFromItself) {
  Ref<String> s = String::withCString("abcdefghijklmnopq");
  s->append(s);  // grows while reading its own buffer
  EXPECT_EQ(str(s), "abcdefghijklmnopqabcdefghijklmnopq");
  Ref<String> t = String::withCString("xyz");
  t->appendBytes(t->_bytesAt(1), 2);
  EXPECT_EQ(str(t), "xyzyz");
}

TEST(StringTest, SpliceClampsPositionsAndCounts) {
  struct Case {
    const char* start;
    uint32_t at, count;
    const char* with;  // nullptr: delete
    const char* result;
  } cases[] = {
      {"abcdef", 3, 100, nullptr, "abc"},   {"abcdef", 99, 1, nullptr, "abcdef"},
      {"abcdef", 0, 6, nullptr, ""},        {"abcdef", 1, 2, "XYZW", "aXYZWdef"},
      {"abcdef", 1, 4, "X", "aXf"},         {"abcdef", 100, 100, "!", "abcdef!"},
      {"abcdef", 2, 0xFFFFFFFFu, "Z", "abZ"},
  };
  for (const Case& c : cases) {
    Ref<String> s = String::withCString(c.start);
    if (c.with)
      s->replaceByteRange(c.at, c.count, String::withCString(c.with));
    else
      s->deleteByteRange(c.at, c.count);
    EXPECT_EQ(str(s), c.result) << c.start << " at " << c.at << " count " << c.count;
    EXPECT_EQ(s->cString()[s->byteLength()], 0);
  }
}

TEST(StringTest, InsertAndReplaceRanges) {
  Ref<String> s = S("ab");
  s->insertByte(99, 'x');
  EXPECT_EQ(str(s), "abx");
  s->insertByte(0, 0);
  EXPECT_EQ(str(s), std::string("\0abx", 4));
  Ref<String> t = S("ace");
  t->insertCStringAtByte(1, "b");
  t->insertAtByte(3, S("d"));
  t->insertAtByte(0, nullptr);
  EXPECT_EQ(str(t), "abcde");
  t->insertAtByte(2, t);  // a copy is inserted
  EXPECT_EQ(str(t), "ababcdecde");
  Ref<String> u = S("abcd");
  u->replaceByteRange(1, 2, u);
  EXPECT_EQ(str(u), "aabcdd");
  u->replaceByteRange(0, 1, nullptr);
  EXPECT_EQ(str(u), "abcdd");
}

TEST(StringTest, SetTo) {
  Ref<String> s = S("hello");
  s->setTo(s);
  EXPECT_EQ(str(s), "hello");
  s->setTo(S(kWithNul));
  EXPECT_EQ(str(s), kWithNul);
  s->setTo(nullptr);
  EXPECT_EQ(str(s), "");
  // Setting from its own text must not erase it first.
  s->setCString("hello");
  s->setCString(s->cString() + 2);
  EXPECT_EQ(str(s), "llo");
}

TEST(StringTest, ReplaceOccurrences) {
  struct Case {
    std::string text;
    const char* target;
    const char* replacement;  // nullptr: delete
    uint32_t count;
    std::string result;
  } cases[] = {
      {"aaaa", "aa", "a", 2, "aa"},        {"aa", "a", "aa", 2, "aaaa"},
      {"aaa", "aa", "b", 1, "ba"},         {"abcabc", "b", nullptr, 2, "acac"},
      {"a,b,c", ",", ", ", 2, "a, b, c"},  {"xyz", "q", "r", 0, "xyz"},
      {"ab", "abc", "r", 0, "ab"},         {"ab", "", "r", 0, "ab"},
      {"foofoo", "foo", "", 2, ""},
  };
  for (const Case& c : cases) {
    Ref<String> s = S(c.text);
    Ref<String> r = c.replacement ? String::withCString(c.replacement) : nullptr;
    EXPECT_EQ(s->replaceOccurrences(String::withCString(c.target), r), c.count) << c.text;
    EXPECT_EQ(str(s), c.result) << c.text;
  }
  EXPECT_EQ(S("abc")->replaceOccurrences(nullptr, S("x")), 0u);
  Ref<String> z = S(std::string("x\0y\0z", 5));
  EXPECT_EQ(z->replaceOccurrences(S(std::string(1, '\0')), S("--")), 2u);
  EXPECT_EQ(str(z), "x--y--z");
}

TEST(StringTest, ReplaceOccurrencesWithItself) {
  Ref<String> t = S("ab");
  EXPECT_EQ(t->replaceOccurrences(S("b"), t), 1u);
  EXPECT_EQ(str(t), "aab");
  // The copy of itself is a withString copy: it ends at the first 0 byte.
  Ref<String> z = S(std::string("a\0b", 3));
  EXPECT_EQ(z->replaceOccurrences(z, S("x")), 1u);
  EXPECT_EQ(str(z), std::string("x\0b", 3));
  Ref<String> w = S(std::string("a\0b", 3));
  EXPECT_EQ(w->replaceOccurrences(S("b"), w), 1u);
  EXPECT_EQ(str(w), std::string("a\0a", 3));
  // A copy that ends at once is an empty target: nothing to replace (and no
  // endless matching of the empty text).
  Ref<String> e = S(std::string("\0a", 2));
  EXPECT_EQ(e->replaceOccurrences(e, nullptr), 0u);
  EXPECT_EQ(str(e), std::string("\0a", 2));
}

TEST(StringTest, ReplaceOccurrencesGrowsLikeOneSpliceEach) {
  Ref<String> s = String::withCString("aa");
  EXPECT_EQ(s->replaceOccurrences(S("a"), S("aaa")), 2u);
  EXPECT_EQ(str(s), "aaaaaa");
  EXPECT_EQ(s->capacity(), 8u);  // reserves 4, then 6: 2, 4, 8
  Ref<String> t = String::withCString("abababab");
  t->replaceOccurrences(S("ab"), S("c"));
  EXPECT_EQ(t->capacity(), 8u);  // shrinking keeps the buffer
}

// --- Search -------------------------------------------------------------------

TEST(StringTest, ByteIndexOf) {
  struct Case {
    const char* text;
    const char* needle;
    uint32_t from, result;
  } cases[] = {
      {"hello", "l", 3, 3},         {"hello", "l", 4, kNotFound},      {"hello", "lo", 0, 3},
      {"hello", "", 5, 5},          {"hell", "", 5, kNotFound},        {"hello", "", 2, 2},
      {"hello", "x", 0, kNotFound}, {"hello", "hello!", 0, kNotFound}, {"", "", 0, 0},
      {"abab", "ab", 1, 2},
  };
  for (const Case& c : cases)
    EXPECT_EQ(S(c.text)->byteIndexOf(String::withCString(c.needle), c.from), c.result)
        << c.text << " / " << c.needle << " from " << c.from;
  EXPECT_EQ(S("abc")->byteIndexOf(nullptr), kNotFound);
  EXPECT_EQ(S(kWithNul)->byteIndexOf(S("cd")), 3u);
}

TEST(StringTest, ContainsPrefixSuffixMatches) {
  Ref<String> s = S("hello");
  EXPECT_TRUE(s->contains(S("")));
  EXPECT_FALSE(s->contains(nullptr));
  EXPECT_TRUE(s->hasPrefix(S("")));
  EXPECT_FALSE(s->hasPrefix(S("hello!")));
  EXPECT_FALSE(s->hasPrefix(nullptr));
  EXPECT_FALSE(s->hasPrefix(S("el")));
  EXPECT_TRUE(s->hasSuffix(S("hello")));
  EXPECT_FALSE(s->hasSuffix(S("ll")));
  EXPECT_FALSE(s->hasSuffix(nullptr));
  EXPECT_TRUE(s->_matchesAt(3, S("lo")));
  EXPECT_FALSE(s->_matchesAt(4, S("lo")));
  EXPECT_FALSE(s->_matchesAt(0xFFFFFFFFu, S("l")));  // no wrap-around
}

TEST(StringTest, IndexOfByte) {
  Ref<String> s = S(std::string("a\0ba\0", 5));
  EXPECT_EQ(s->indexOfByte(0), 1u);
  EXPECT_EQ(s->lastIndexOfByte(0), 4u);
  EXPECT_EQ(s->lastIndexOfByte('a'), 3u);
  EXPECT_EQ(s->indexOfByte('z'), kNotFound);
  EXPECT_EQ(s->lastIndexOfByte('z'), kNotFound);
  EXPECT_EQ(make<String>()->indexOfByte(0), kNotFound);
}

// --- Substrings and derived texts --------------------------------------------

TEST(StringTest, Substrings) {
  Ref<String> s = S("abcd");
  EXPECT_EQ(str(s->substringBytes(2, 100)), "cd");
  EXPECT_EQ(str(s->substringBytes(4, 1)), "");
  EXPECT_EQ(str(s->substringBytes(1, 0xFFFFFFFFu)), "bcd");
  EXPECT_EQ(str(s->substringFromByte(4)), "");
  EXPECT_EQ(str(s->substringToByte(100)), "abcd");
  EXPECT_EQ(str(S(kWithNul)->substringFromByte(1)), kWithNul.substr(1));
}

TEST(StringTest, CaseMappingTouchesOnlyAsciiLetters) {
  EXPECT_EQ(str(S("aZ09@[`{\xC3\xA4")->uppercased()), "AZ09@[`{\xC3\xA4");
  EXPECT_EQ(str(S("Az09@[`{\xC3\x84")->lowercased()), "az09@[`{\xC3\x84");
}

TEST(StringTest, Trimmed) {
  struct Case {
    std::string text, result;
  } cases[] = {
      {" \t\r\n", ""},  {"\va\v", "\va\v"}, {"  a b \n", "a b"}, {"\fx", "\fx"},
      {"", ""},         {std::string(" \0 ", 3), std::string("\0", 1)},
  };
  for (const Case& c : cases) EXPECT_EQ(str(S(c.text)->trimmed()), c.result);
}

TEST(StringTest, SplitOnByte) {
  struct Case {
    std::string text;
    std::vector<std::string> fields;
  } cases[] = {
      {"", {""}}, {"a,,b", {"a", "", "b"}}, {"a,", {"a", ""}}, {",,", {"", "", ""}}, {"abc", {"abc"}},
  };
  for (const Case& c : cases) EXPECT_EQ(strs(S(c.text)->splitOnByte(',')), c.fields) << c.text;
  EXPECT_EQ(strs(S(kWithNul + ",x")->splitOnByte(',')), (std::vector<std::string>{kWithNul, "x"}));
}

TEST(StringTest, Replacing) {
  struct Case {
    std::string text;
    const char* target;
    const char* replacement;
    std::string result;
  } cases[] = {
      {"aaaa", "aa", "a", "aa"},
      {"a.b.c", ".", "::", "a::b::c"},
      {"abab", "ab", nullptr, ""},
      {"", "a", "b", ""},
      {kWithNul, "b", "B", std::string("aB\0cd", 5)},
  };
  for (const Case& c : cases) {
    Ref<String> r = c.replacement ? String::withCString(c.replacement) : nullptr;
    EXPECT_EQ(str(S(c.text)->replacing(String::withCString(c.target), r)), c.result) << c.text;
  }
  // No target: a withString copy, which stops at a 0 byte.
  EXPECT_EQ(str(S(kWithNul)->replacing(nullptr, S("x"))), "ab");
}

// --- Standard description text ------------------------------------------------

TEST(StringTest, ClassDescribe) {
  const uint16_t zeros[2] = {0, 0};
  EXPECT_EQ(str(String::_classDescribe("Map", zeros, 2, 0)), "<Map>(0, 0)");
  const uint16_t range[2] = {65535, 3};
  EXPECT_EQ(str(String::_classDescribe("Range", range, 2, 3)), "<Range>(-1, 3)");
  EXPECT_EQ(str(String::_classDescribe("Thing", nullptr, 0, 0)), "<Thing>()");
  const uint16_t mixed[2] = {0x8000, 0x8000};
  EXPECT_EQ(str(String::_classDescribe("M", mixed, 2, 0x02)), "<M>(32768, -32768)");
  uint16_t ones[10];
  for (uint16_t& v : ones) v = 0xFFFF;
  EXPECT_EQ(str(String::_classDescribe("A", ones, 10, 0xFF)),
            "<A>(-1, -1, -1, -1, -1, -1, -1, -1, 65535, 65535)");
}

TEST(StringTest, ClassDescribeCutsAtTheScratchBuffer) {
  const std::string name(300, 'n');
  EXPECT_EQ(str(String::_classDescribe(name.c_str(), nullptr, 0, 0)), "<" + std::string(254, 'n'));
  uint16_t values[255] = {};
  EXPECT_EQ(String::_classDescribe("V", values, 255, 0)->byteLength(), 255u);
  char buffer[256];
  EXPECT_EQ(String::_appendCStr(buffer, 254, "abc"), 255);
  EXPECT_EQ(String::_appendI16(buffer, 0, -32768), 6);
  EXPECT_EQ(std::string(buffer, 6), "-32768");
}

TEST(StringTest, FormatArgSlots) {
  EXPECT_EQ(FormatArg(-1).bits, 0xFFFFFFFFFFFFFFFFull);
  EXPECT_EQ(FormatArg(4294967295u).bits, 0xFFFFFFFFull);
  EXPECT_EQ(FormatArg(1.5f).asDouble(), 1.5);
  Ref<String> s = S("x");
  const Object* asObject = s.get();  // %@ and %p read the Object address
  EXPECT_EQ(FormatArg(s).asObject(), asObject);
  EXPECT_EQ(FormatArg(Ptr<const String>(s)).asObject(), asObject);
}

}  // namespace
}  // namespace quorl
