// C-string functions, including input longer than a 16-bit length.
#include <gtest/gtest.h>

#include <string>

#include "ux/core/UXStr.h"

namespace quorl {
namespace {

TEST(UXStrTest, LenCountsBytesWithoutWrapping) {
  EXPECT_EQ(UXStr::len(nullptr), 0u);
  EXPECT_EQ(UXStr::len(""), 0u);
  EXPECT_EQ(UXStr::len("abc\0def"), 3u);
  // 65536 + 5 bytes used to read as 5.
  std::string big(65541, 'x');
  EXPECT_EQ(UXStr::len(big.c_str()), 65541u);
}

TEST(UXStrTest, CatJoinsWithSeparatorOnlyAfterANonEmptyFirst) {
  struct Case { const char* a; uint8_t sep; const char* b; const char* out; } cases[] = {
      {"", '/', "x", "x"},         {"dir", '/', "file", "dir/file"}, {"ab", 0, "cd", "abcd"},
      {"ab", '|', "", "ab|"},      {nullptr, '/', "x", "x"},         {"a", '/', nullptr, "a/"},
      {nullptr, 0, nullptr, ""},
  };
  for (const Case& c : cases) {
    UXCString s = UXStr::cat(c.a, c.sep, c.b);
    ASSERT_NE(s, nullptr);
    EXPECT_STREQ(s.get(), c.out);
  }
}

TEST(UXStrTest, CatCutsAJoinPastTheLimitInsteadOfOverflowing) {
  std::string a(40000, 'a'), b(40000, 'b');
  UXCString s = UXStr::cat(a.c_str(), '/', b.c_str());
  ASSERT_EQ(UXStr::len(s.get()), UXStr::kCatLimit);
  EXPECT_EQ(s[39999], 'a');
  EXPECT_EQ(s[40000], '/');
  EXPECT_EQ(s[40001], 'b');
  EXPECT_EQ(s[UXStr::kCatLimit - 1], 'b');
  // Exactly at the limit nothing is cut.
  std::string exact(UXStr::kCatLimit - 1, 'e');
  EXPECT_EQ(UXStr::len(UXStr::cat(exact.c_str(), '/', "").get()), UXStr::kCatLimit);
  // A first string alone past the limit leaves no room for anything else.
  std::string huge(70000, 'h');
  UXCString h = UXStr::cat(huge.c_str(), '/', "tail");
  EXPECT_EQ(UXStr::len(h.get()), UXStr::kCatLimit);
  EXPECT_EQ(h[UXStr::kCatLimit - 1], 'h');
}

TEST(UXStrTest, CatNeverCutsInsideAUtf8Character) {
  // "é" is two bytes; place it across the limit.
  std::string a(UXStr::kCatLimit - 1, 'a');
  UXCString s = UXStr::cat(a.c_str(), 0, "\xC3\xA9z");
  EXPECT_EQ(UXStr::len(s.get()), UXStr::kCatLimit - 1);
  // A three-byte character that fits entirely is kept.
  std::string a3(UXStr::kCatLimit - 3, 'a');
  UXCString t = UXStr::cat(a3.c_str(), 0, "\xE2\x82\xAC" "z");
  EXPECT_EQ(UXStr::len(t.get()), UXStr::kCatLimit);
  EXPECT_EQ(uint8_t(t[UXStr::kCatLimit - 1]), 0xAC);
}

TEST(UXStrTest, ToIntTable) {
  struct Case { const char* s; int32_t v; } cases[] = {
      {nullptr, 0},     {"", 0},          {"  -42abc", -42}, {"+7", 7},       {"x12", 0},
      {"\t 15", 15},    {"-", 0},         {"--5", 0},        {" - 5", 0},     {"007", 7},
      {"2147483647", 2147483647},         {"2147483648", INT32_MIN},          {"4294967297", 1},
      {"-2147483648", INT32_MIN},         {"12 34", 12},
  };
  for (const Case& c : cases) EXPECT_EQ(UXStr::toInt(c.s), c.v) << (c.s ? c.s : "null");
}

}  // namespace
}  // namespace quorl
