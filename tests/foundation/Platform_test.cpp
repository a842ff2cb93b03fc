// Platform: environment values and the UTF-8 / UTF-16 conversions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlatformTestEnv.h"
#include "foundation/Platform.h"
#include "foundation/String.h"

namespace quorl {
namespace {

Ref<String> str(const std::string& bytes) { return String::withBytes(bytes.data(), static_cast<uint32_t>(bytes.size())); }

std::string env(const std::string& name) {
  Ref<String> value = Platform::env(str(name));
  EXPECT_TRUE(value) << "never null";
  return value ? std::string(value->view()) : "<null>";
}

TEST(PlatformTest, EnvValues) {
  setTestEnv("QUORL_TEST_PLAIN", "abc");
  EXPECT_EQ(env("QUORL_TEST_PLAIN"), "abc");
  unsetTestEnv("QUORL_TEST_PLAIN");
  EXPECT_EQ(env("QUORL_TEST_PLAIN"), "");
  EXPECT_EQ(env("QUORL_TEST_NEVER_SET_ANYWHERE"), "");
  EXPECT_TRUE(Platform::env(nullptr));
  EXPECT_EQ(std::string(Platform::env(nullptr)->view()), "");
}

TEST(PlatformTest, EnvValuesOf4096BytesOrMoreAreEmpty) {
  setTestEnv("QUORL_TEST_LONG", std::string(4095, 'x').c_str());
  EXPECT_EQ(env("QUORL_TEST_LONG"), std::string(4095, 'x'));
  setTestEnv("QUORL_TEST_LONG", std::string(4096, 'x').c_str());
  EXPECT_EQ(env("QUORL_TEST_LONG"), "");
  // The limit counts UTF-8 bytes: 2048 two-byte characters are 4096 bytes.
  std::string accents;
  for (int i = 0; i < 2047; ++i) accents += "\xC3\xA9";
  setTestEnv("QUORL_TEST_LONG", accents.c_str());
  EXPECT_EQ(env("QUORL_TEST_LONG"), accents);
  setTestEnv("QUORL_TEST_LONG", (accents + "\xC3\xA9").c_str());
  EXPECT_EQ(env("QUORL_TEST_LONG"), "");
  unsetTestEnv("QUORL_TEST_LONG");
}

TEST(PlatformTest, EnvValuesAreUtf8AndCopied) {
  const std::string text = "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
  setTestEnv("QUORL_TEST_UTF8", text.c_str());
  Ref<String> before = Platform::env(str("QUORL_TEST_UTF8"));
  EXPECT_EQ(std::string(before->view()), text);
  setTestEnv("QUORL_TEST_UTF8", "changed");
  EXPECT_EQ(std::string(before->view()), text) << "an earlier result never changes";
  EXPECT_EQ(env("QUORL_TEST_UTF8"), "changed");
  // The name is read up to its first 0 byte.
  EXPECT_EQ(env(std::string("QUORL_TEST_UTF8\0ignored", 23)), "changed");
  unsetTestEnv("QUORL_TEST_UTF8");
}

TEST(PlatformTest, Utf8ToUtf16) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  };
  const std::vector<Case> cases = {
      {"", u""},
      {"a/b\\c.json", u"a/b\\c.json"},
      {"\xC3\xA9", u"\u00e9"},
      {"\xE2\x82\xAC", u"\u20ac"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xC3\x28", u"\uFFFD("},           // cut-off sequence
      {"\xC0\x80", u"\uFFFD\uFFFD"},      // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // a surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xE2\x82", u"\uFFFD\uFFFD"},      // ends early
  };
  for (const Case& c : cases) EXPECT_EQ(Platform::_utf16(c.utf8.c_str()), c.utf16) << c.utf8;
  EXPECT_EQ(Platform::_utf16(nullptr), u"");
}

TEST(PlatformTest, Utf16ToUtf8) {
  struct Case {
    std::u16string utf16;
    std::string utf8;
  };
  const std::vector<Case> cases = {
      {u"", ""},
      {u"plain", "plain"},
      {u"\u00e9\u65e5", "\xC3\xA9\xE6\x97\xA5"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {std::u16string(1, u'\xD83D'), "\xEF\xBF\xBD"},                   // high surrogate alone
      {std::u16string(1, u'\xDE00') + u"x", "\xEF\xBF\xBDx"},           // low surrogate alone
      {std::u16string({u'\xD83D', u'a', u'\xDE00'}), "\xEF\xBF\xBD" "a\xEF\xBF\xBD"},
      {std::u16string(1, u'\0') + u"z", std::string(1, '\0') + "z"},
  };
  for (const Case& c : cases) {
    Ref<String> s = Platform::_utf8(c.utf16.data(), c.utf16.size());
    EXPECT_EQ(std::string(s->view()), c.utf8);
  }
  EXPECT_EQ(Platform::_utf8(nullptr, 3)->byteLength(), 0u);
}

}  // namespace
}  // namespace quorl
