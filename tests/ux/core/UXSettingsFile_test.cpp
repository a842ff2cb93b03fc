// The settings file's text, its forms, its changes and its lock, as both drivers share them.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "foundation/WideText.h"
#include "ux/core/UXSettingsFile.h"
#include "Rounds.h"
#include "SettingsFileBytes.h"

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
      {"ui", "k", "\xC3", false},  // no UTF-8: the file would read as no text
      {"\xFF", "k", "x", false},   {"ui", "k\xE6\x97", "x", false}, {"\xC3\xA9", "\xE6\x97\xA5", "\xF0\x9F\x98\x80", true},
  };
  for (const Case& c : cases) EXPECT_EQ(uxSettingStorable(c.section, c.key, c.value), c.storable) << c.key;
  EXPECT_FALSE(uxSettingStorable("ui", "k", std::string("a\0b", 3)));
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

// The Windows build's very bytes read as its settings, and written back from them.
TEST(UXSettingsFile, TheWindowsBuildsFilesReadAndWriteBackByteForByte) {
  for (const test::SettingsFileBytes& row : test::settingsFileBytes()) {
    EXPECT_EQ(uxSettingsEncode(uxSettingsText(row.settings), kUXSettingsWindowsFormat), row.windows) << row.key;
    std::string text;
    UXSettingsFormat format;
    ASSERT_TRUE(uxSettingsDecode(row.windows, text, format)) << row.key;
    EXPECT_EQ(format, kUXSettingsWindowsFormat) << row.key;
    UXSettings read;
    uxSettingsParse(text, read);
    EXPECT_EQ(read, row.settings) << row.key;
  }
}

// Each form is told by its mark and first line end (empty bytes leave it); bytes that are no text are refused.
TEST(UXSettingsFile, AFilesFormIsToldAndBytesThatAreNoTextAreRefused) {
  using E = UXSettingsEncoding;
  const UXSettingsFormat unset{E::utf8Mark, false};
  const struct Case {
    std::string bytes;
    bool text;
    UXSettingsFormat format;  // `unset`: left as it was
    const char* read;
  } cases[] = {
      {"", true, unset, ""}, {"k=v\r\nb=2\n", true, {E::utf8, true}, "k=v\r\nb=2\n"}, {"k=v", true, {E::utf8, false}, "k=v"},
      {"\r\nk=v", true, {E::utf8, true}, "\r\nk=v"},
      {"\xEF\xBB\xBF[ui]\nk=\xC3\xA9", true, {E::utf8Mark, false}, "[ui]\nk=\xC3\xA9"}, {"\xFF\xFE", true, {E::utf16, true}, ""},
      {test::utf16FileBytes(u"k=\u00E9\n"), true, {E::utf16, false}, "k=\xC3\xA9\n"},
      {test::utf16FileBytes(u"k=v").substr(0, 7), false, unset, ""},                  // an odd length
      {test::utf16FileBytes(u"k=") + std::string("\x3D\xD8k\0", 4), false, unset, ""},  // a lone surrogate
      {test::utf16FileBytes(u"k=") + std::string(2, '\0'), false, unset, ""},         // a NUL character
      {std::string("k\0=\0v\0", 6), false, unset, ""},                               // UTF-16 without its mark
      {"k=\xE9t\xE9\n", false, unset, ""},                                          // Latin-1
  };
  for (const Case& c : cases) {
    std::string text = "stale";
    UXSettingsFormat format = unset;
    EXPECT_EQ(uxSettingsDecode(c.bytes, text, format), c.text) << c.bytes;
    EXPECT_EQ(text, c.read) << c.bytes;
    EXPECT_EQ(format, c.format) << c.bytes;
  }
}

// A random text of the characters that matter to a line of the file, from every script's widths.
std::string randomText(std::mt19937& random, int most) {
  static const std::vector<std::string> pieces = {"a", "Z", " ", "=", "[", "]", "\r", "\xC3\xA9", "\xE6\x97\xA5",
                                                  "\xF0\x9F\x98\x80", "\xEF\xBB\xBF"};
  std::string text;
  for (int n = int(random() % (most + 1)); n > 0; --n) text += pieces[random() % pieces.size()];
  return text;
}

// A settings file in memory: its bytes, or nothing at its path.
struct MemoryFile : UXSettingsFileCalls {
  std::optional<std::string> bytes;
  int replaced = 0;
  UXFileFailure resolve() override { return UXFileFailure::none; }
  UXSettingsFormat newFileFormat() const override { return kUXSettingsWindowsFormat; }
  UXFileFailure tryLock() override { return UXFileFailure::none; }
  UXFileFailure read(std::string& out) override { return bytes ? (out = *bytes, UXFileFailure::none) : UXFileFailure::gone; }
  UXFileFailure replace(const std::string& out) override { return bytes = out, ++replaced, UXFileFailure::none; }
};

// A file's mark (2 UTF-16, 1 UTF-8, 0 none), and its keys told without the code that reads them.
int markOf(const std::string& bytes) { return bytes.starts_with("\xFF\xFE") ? 2 : bytes.starts_with("\xEF\xBB\xBF"); }
UXSettings keysOf(const std::string& bytes) {
  std::string text = bytes.substr(markOf(bytes) == 1 ? 3 : 0);
  if (markOf(bytes) == 2) {
    EXPECT_TRUE(WideText::utf8FromBytes(bytes.data() + 2, bytes.size() - 2, false, text));
  }
  UXSettings keys;
  uxSettingsParse(text, keys);
  return keys;
}

// Random files in every form (none: one is made in the Windows form), some no text; random changes. One that
// answers none leaves exactly the file's keys and the change, in the file's form; one of a file that is no
// text answers notText and leaves its bytes.
TEST(UXSettingsFile, AChangeMadeKeepsEveryKeyAndTheFilesForm) {
  constexpr int kRounds = test::rounds(3000);
  std::mt19937 random(11);
  const std::vector<std::string> ends = {"\n", "\r\n", "\r\r\n", "\r"};
  int refused = 0;
  for (int round = 0; round < kRounds; ++round) {
    std::string text;  // sections, keys, other lines, empty lines
    for (int n = int(random() % 9); n > 0; --n) {
      const int kind = int(random() % 4);
      text += (kind == 0 ? "[" + randomText(random, 3) + "]" : kind == 1 ? randomText(random, 3) + "=" : "") +
              (kind ? randomText(random, 4) : "") + ends[random() % ends.size()];
    }
    const int form = int(random() % 4);  // none, UTF-8, UTF-8 with its mark, UTF-16
    MemoryFile file;
    if (form) file.bytes = form == 3 ? test::utf16FileBytes(WideText::utf16(text.data(), text.size()).c_str())
                                     : (form == 2 ? "\xEF\xBB\xBF" : "") + text;
    const bool broken = form && random() % 5 == 0;  // an odd length, a byte that is no UTF-8
    if (broken) *file.bytes += form == 3 ? "x" : "\xC3";
    const std::string before = file.bytes.value_or("");
    UXSettings expected = broken ? UXSettings{} : keysOf(before);
    const std::string section = randomText(random, 3);
    std::vector<UXSettingChange> changes;
    for (int n = 1 + int(random() % 3); n > 0; --n) {
      const bool remove = random() % 3 == 0 && !expected.empty();
      std::string key = randomText(random, 3), value = randomText(random, 4);
      if (remove && random() % 2) key = expected.begin()->first.substr(expected.begin()->first.find('\n') + 1);
      if (uxSettingStorable(section, key, value)) changes.push_back({key, value, remove});
    }
    uxSettingsApply(expected, section, changes);
    UXSettings settings;
    const UXFileFailure why =
        uxSettingsChangeFile(file, [&](UXSettings& s) { return uxSettingsApply(s, section, changes); }, settings);
    ASSERT_EQ(why, broken ? UXFileFailure::notText : UXFileFailure::none) << round << ": " << before;
    refused += broken;
    if (broken) {
      EXPECT_EQ(file.bytes.value_or("") + std::to_string(file.replaced), before + "0") << round;
      continue;
    }
    EXPECT_EQ(keysOf(file.bytes.value_or("")), expected) << round << ": " << before;
    EXPECT_EQ(settings, expected) << round;
    if (file.replaced) {
      EXPECT_EQ(markOf(*file.bytes), before.empty() ? 2 : markOf(before)) << round;
    }
  }
  EXPECT_GT(refused, kRounds / 40);
}

// A change whose file would be past what a read takes is not made: its keys would be lost to every read.
TEST(UXSettingsFile, AChangeIsNotMadeWhenItsFileWouldBeTooLargeToRead) {
  MemoryFile file;
  file.bytes = "[big]\nv=" + std::string(kUXSettingsFileCap - 100, 'v') + "\n";
  const std::string before = *file.bytes;
  UXSettings settings;
  const auto set = [](const std::string& value) {
    return [value](UXSettings& s) { return uxSettingsApply(s, "ui", {{"k", value}}); };
  };
  EXPECT_EQ(uxSettingsChangeFile(file, set(std::string(100, 'x')), settings), UXFileFailure::tooLarge);
  EXPECT_EQ(*file.bytes, before);
  // "[big]\n" "v=" "\n" "[ui]\n" "k=" "\n" and 83: a file of just what a read takes.
  EXPECT_EQ(uxSettingsChangeFile(file, set(std::string(83, 'x')), settings), UXFileFailure::none);
  EXPECT_EQ(file.bytes->size(), kUXSettingsFileCap);
}

// Calls whose lock another instance holds for `busy` tries, and whose file another program holds open for
// `open` tries of its replacement.
struct HeldLock : UXSettingsFileCalls {
  explicit HeldLock(int n, int o = 0) : busy(n), open(o) {}
  UXFileFailure resolve() override { return UXFileFailure::none; }
  UXSettingsFormat newFileFormat() const override { return kUXSettingsPlainFormat; }
  UXFileFailure tryLock() override { return ++tries <= busy ? UXFileFailure::busy : UXFileFailure::none; }
  UXFileFailure read(std::string& text) override { return text = "[ui]\nsize=10\n", UXFileFailure::none; }
  UXFileFailure replace(const std::string& text) override {
    return ++replaces <= open ? UXFileFailure::busy : (written = text, UXFileFailure::none);
  }
  int busy, open, tries = 0, replaces = 0;
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
  // A file held open is waited for as the lock is, within the same wait.
  HeldLock openThroughout(0, 1 << 30);
  EXPECT_EQ(uxSettingsChangeFile(openThroughout, set, settings), UXFileFailure::busy);
  EXPECT_LE(openThroughout.replaces, 7);
  EXPECT_EQ(openThroughout.written, "");
  gUXSettingsLockWaitMs = 60000;
  HeldLock letGo(3, 2);
  EXPECT_EQ(uxSettingsChangeFile(letGo, set, settings), UXFileFailure::none);
  gUXSettingsLockWaitMs = kUXSettingsLockWaitMs;
  EXPECT_EQ(letGo.tries, 4);
  EXPECT_EQ(letGo.replaces, 3);
  EXPECT_EQ(letGo.written, "[ui]\nsize=12\n");
  EXPECT_EQ(settings, (UXSettings{{"ui\nsize", "12"}}));
}

}  // namespace
}  // namespace quorl
