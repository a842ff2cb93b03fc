// Platform: environment values.
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

}  // namespace
}  // namespace quorl
