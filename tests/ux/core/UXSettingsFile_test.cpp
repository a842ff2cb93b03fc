// The settings file's text, its changes and its lock, as both drivers share them.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ux/core/UXSettingsFile.h"
#include "Rounds.h"

namespace quorl {
namespace {

TEST(UXSettingsFile, OneLineHoldsTheSettingAsItIs) {
  const struct Case {
    const char *section, *key, *value;
    bool storable;
  } cases[] = {
      {"ui", "size", "12", true},
      {"ui", "path", "/a=b/[c].json", true},  // "=" and brackets in a value
      {"r[1", "k", "", true},                 // an empty value
      {"ui", "", "x", false},                 // no key
      {"ui", "[k", "x]", false},              // "[k=x]" would read as a section
      {"ui", "k=v", "x", false}, {"u]i", "k", "x", false}, {"ui", "k", "two\nlines", false},
      {"ui", "k", "cr\r", false}, {"ui", "k\n", "x", false}, {"u\ni", "k", "x", false},
  };
  for (const Case& c : cases) EXPECT_EQ(uxSettingStorable(c.section, c.key, c.value), c.storable) << c.key;
  EXPECT_EQ(uxSettingsSection(nullptr), "Shared");
  EXPECT_EQ(uxSettingsSection(""), "Shared");
}

// A text by hand: keys before any section are "Shared", "[]" is a section, other lines are passed over.
TEST(UXSettingsFile, AnyTextReadsAsItsSectionsAndKeys) {
  const struct Case {
    const char* text;
    UXSettings settings;
  } cases[] = {
      {"k=v", {{"Shared\nk", "v"}}},
      {"[ui]\r\na=1\r\n[]\r\nb=2\r\n", {{"ui\na", "1"}, {"\nb", "2"}}},
      {"[ui]\nno key here\n[x]y\nc==d\n\n", {{"ui\nc", "=d"}}},
      {"[ui]\na=1\n[ui]\na=2", {{"ui\na", "2"}}},
  };
  for (const Case& c : cases) {
    UXSettings read;
    uxSettingsParse(c.text, read);
    EXPECT_EQ(read, c.settings) << c.text;
  }
}

// Random settings read back from their text; random changes answer whether any of them changed anything.
TEST(UXSettingsFile, TextsReadBackAndChangesSayWhetherTheyChangedAnything) {
  constexpr int kRounds = test::rounds(3000);
  std::mt19937 random(45);
  const auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
  const std::vector<std::string> sections = {"ui", "Shared", "RecentFiles", "[x", "s p"}, keys = {"0", "1", "a b", "k]", "k["},
                                  values = {"", "1", "/a=b", " sp ", "\xC3\xA9", "x]"};
  for (int round = 0; round < kRounds; ++round) {
    UXSettings settings;
    for (int n = int(random() % 6); n > 0; --n) settings[uxSettingsKey(pick(sections), pick(keys))] = pick(values);
    UXSettings read;
    uxSettingsParse(uxSettingsText(settings), read);
    ASSERT_EQ(read, settings) << uxSettingsText(settings);
    std::string crlf;  // with CRLF line ends: the same
    for (const char c : uxSettingsText(settings)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    read.clear();
    uxSettingsParse(crlf, read);
    ASSERT_EQ(read, settings);

    const std::string section = pick(sections);
    std::vector<UXSettingChange> changes;
    for (int n = 1 + int(random() % 4); n > 0; --n) changes.push_back({pick(keys), pick(values), random() % 3 == 0});
    UXSettings expected = settings;
    bool anyChanged = false;
    for (const UXSettingChange& change : changes) {
      const UXSettings before = expected;
      if (change.remove) expected.erase(uxSettingsKey(section, change.key));
      else expected[uxSettingsKey(section, change.key)] = change.value;
      anyChanged = anyChanged || expected != before;
    }
    EXPECT_EQ(uxSettingsApply(settings, section, changes), anyChanged) << round;
    ASSERT_EQ(settings, expected) << round;
  }
}

// Calls whose lock another instance holds for `busy` tries.
struct HeldLock : UXSettingsFileCalls {
  explicit HeldLock(int n) : busy(n) {}
  UXFileFailure tryLock() override { return ++tries <= busy ? UXFileFailure::busy : UXFileFailure::none; }
  UXFileFailure read(std::string& text) override { return text = "[ui]\nsize=10\n", UXFileFailure::none; }
  UXFileFailure replace(const std::string& text) override { return written = text, UXFileFailure::none; }
  int busy, tries = 0;
  std::string written;
};

// With no wait the lock is tried once; one let go within the wait is taken and the change made.
TEST(UXSettingsFile, ALockIsWaitedForOnlySoLong) {
  const auto set = [](UXSettings& s) { return uxSettingsApply(s, "ui", {{"size", "12"}}); };
  UXSettings settings;
  gUXSettingsLockWaitMs = 0;
  HeldLock held(1);
  EXPECT_EQ(uxSettingsChangeFile(held, set, settings), UXFileFailure::busy);
  EXPECT_EQ(held.tries, 1);
  EXPECT_EQ(held.written, "");
  EXPECT_TRUE(settings.empty());
  // A lock never let go is tried again after a pause, not spun on.
  gUXSettingsLockWaitMs = 50;
  HeldLock never(1 << 30);
  EXPECT_EQ(uxSettingsChangeFile(never, set, settings), UXFileFailure::busy);
  EXPECT_LE(never.tries, 7);
  gUXSettingsLockWaitMs = 60000;
  HeldLock letGo(3);
  EXPECT_EQ(uxSettingsChangeFile(letGo, set, settings), UXFileFailure::none);
  gUXSettingsLockWaitMs = kUXSettingsLockWaitMs;
  EXPECT_EQ(letGo.tries, 4);
  EXPECT_EQ(letGo.written, "[ui]\nsize=12\n");
  EXPECT_EQ(settings, (UXSettings{{"ui\nsize", "12"}}));
}

}  // namespace
}  // namespace quorl
