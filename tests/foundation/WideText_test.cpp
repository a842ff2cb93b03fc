// UTF-8 <-> UTF-16 at the wide-character calls, run natively and under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/WideText.h"

namespace quorl {
namespace {

// Every pair goes one way; the pairs without U+FFFD go both ways, and the
// wchar_t forms give the same units.
TEST(WideTextTest, Utf8AndUtf16Table) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  const std::vector<Case> cases = {
      {"", u""},
      {"a/b\\c.json", u"a/b\\c.json"},
      {"caf\xC3\xA9", u"caf\u00E9"},
      {"\xE2\x82\xAC\xE6\x97\xA5", u"\u20AC\u65E5"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},                    // a surrogate pair
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},  // an inner NUL is kept
      {"a\xC3", u"a\uFFFD"},                              // cut short at the end
      {"\xC3(", u"\uFFFD("},                              // a missing continuation resynchronises
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
      {"\x80x", u"\uFFFDx"},                              // a continuation byte alone
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WideText::utf16(c.utf8.data(), c.utf8.size()), c.utf16) << c.utf8;
    const std::wstring wide = WideText::wide(c.utf8.data(), c.utf8.size());
    EXPECT_EQ(std::u16string(wide.begin(), wide.end()), c.utf16) << c.utf8;
    if (c.utf16.find(u'\uFFFD') == std::u16string::npos) {
      EXPECT_EQ(WideText::utf8(c.utf16.data(), c.utf16.size()), c.utf8);
      EXPECT_EQ(WideText::utf8(wide.data(), wide.size()), c.utf8);
    }
  }
}

TEST(WideTextTest, UnpairedSurrogatesBecomeTheReplacementCharacter) {
  struct Case {
    std::u16string utf16;
    std::string utf8;
  };
  const std::vector<Case> cases = {
      {std::u16string(1, u'\xD83D'), "\xEF\xBF\xBD"},          // a high half alone
      {std::u16string({u'\xD83D', u'a', u'\xDE00'}), "\xEF\xBF\xBD" "a\xEF\xBF\xBD"},
      {std::u16string({u'\xDE00', u'\xD83D'}), "\xEF\xBF\xBD\xEF\xBF\xBD"},  // the halves reversed
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WideText::utf8(c.utf16.data(), c.utf16.size()), c.utf8);
    const std::wstring wide(c.utf16.begin(), c.utf16.end());
    EXPECT_EQ(WideText::utf8(wide.data(), wide.size()), c.utf8);
  }
}

// UTF-16 bytes of a file, in either byte order: what they hold as UTF-8, or
// refused when no text could be spelt by them.
TEST(WideTextTest, Utf16BytesInEitherOrder) {
  const auto bytesOf = [](const std::u16string& units, bool bigEndian) {
    std::string bytes;
    for (char16_t u : units) {
      const char high = char(u >> 8), low = char(u & 0xFF);
      bytes += bigEndian ? high : low;
      bytes += bigEndian ? low : high;
    }
    return bytes;
  };
  struct Case {
    const char* name;
    std::string bytes;  // little-endian unless bigEndian
    bool bigEndian;
    bool valid;
    std::string utf8;
  };
  const std::u16string text = u"{\"cpu\":\"Caf\u00E9 \u65E5 \U0001F600\"}";
  const std::string utf8 = "{\"cpu\":\"Caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80\"}";
  const std::vector<Case> cases = {
      {"little-endian", bytesOf(text, false), false, true, utf8},
      {"big-endian", bytesOf(text, true), true, true, utf8},
      {"empty", "", false, true, ""},
      {"an inner NUL", bytesOf(std::u16string(u"a\0b", 3), true), true, true, std::string("a\0b", 3)},
      {"odd length", bytesOf(u"{}", false) + "x", false, false, ""},
      {"a high half alone", bytesOf(std::u16string({u'a', u'\xD83D', u'b'}), false), false, false, ""},
      {"a high half at the end", bytesOf(std::u16string({u'a', u'\xD83D'}), true), true, false, ""},
      {"a low half alone", bytesOf(std::u16string({u'\xDE00', u'a'}), false), false, false, ""},
      {"the halves reversed", bytesOf(std::u16string({u'\xDE00', u'\xD83D'}), true), true, false, ""},
      {"two low halves", bytesOf(std::u16string({u'a', u'\xDE00', u'\xDE00', u'b'}), false), false, false, ""},
      {"a high half after a pair, at the very end", bytesOf(std::u16string({u'\xD83D', u'\xDE00', u'\xD83D'}), false),
       false, false, ""},
  };
  for (const Case& c : cases) {
    std::string out = "left over";
    EXPECT_EQ(WideText::utf8FromBytes(c.bytes.data(), c.bytes.size(), c.bigEndian, out), c.valid) << c.name;
    EXPECT_EQ(out, c.utf8) << c.name;
  }
}

// The forms without a length stop at the first NUL; null is the empty text.
TEST(WideTextTest, NulTerminatedFormsAndNull) {
  EXPECT_EQ(WideText::utf16("x\xC3\xA9"), u"x\u00E9");
  EXPECT_EQ(WideText::wide("x\xC3\xA9"), std::wstring(L"x\u00E9"));
  EXPECT_EQ(WideText::utf8(u"\u00E9\0z"), "\xC3\xA9");
  EXPECT_EQ(WideText::utf8(L"\u00E9\0z"), "\xC3\xA9");
  EXPECT_EQ(WideText::utf16(nullptr), u"");
  EXPECT_EQ(WideText::utf16(nullptr, 3), u"");
  EXPECT_EQ(WideText::wide(nullptr), L"");
  EXPECT_EQ(WideText::utf8(static_cast<const char16_t*>(nullptr)), "");
  EXPECT_EQ(WideText::utf8(static_cast<const char16_t*>(nullptr), 3), "");
  EXPECT_EQ(WideText::utf8(static_cast<const wchar_t*>(nullptr)), "");
}

}  // namespace
}  // namespace quorl
