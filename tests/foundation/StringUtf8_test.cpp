// String UTF-8 operations: strict decoding, navigation, encoding,
// validation and sanitising.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/String.h"
#include "Rounds.h"
#include "ShownText.h"

namespace quorl {
namespace {

Ref<String> S(std::string_view text) { return String::withBytes(text.data(), static_cast<uint32_t>(text.size())); }
std::string str(const Ref<String>& s) { return std::string(s->view()); }

const std::string kFFFD = "\xEF\xBF\xBD";

TEST(StringUtf8Test, DecodeLength) {
  struct Case {
    std::string bytes;
    uint32_t length;
  } cases[] = {
      {"a", 1},
      {std::string("\0", 1), 1},
      {"\x7F", 1},
      {"\xC3\xA9", 2},              // é
      {"\xC3", 0},                  // cut off by the end
      {"\xC0\x80", 0},              // overlong (and an invalid lead byte)
      {"\xC1\xBF", 0},              // invalid lead byte
      {"\xC2\x80", 2},              // smallest two-byte value
      {"\xE0\x80\x80", 0},          // overlong three-byte
      {"\xE0\xA0\x80", 3},          // U+0800
      {"\xED\x9F\xBF", 3},          // U+D7FF
      {"\xED\xA0\x80", 0},          // surrogate
      {"\xED\xBF\xBF", 0},          // surrogate
      {"\xEE\x80\x80", 3},          // U+E000
      {"\xEF\xBF\xBF", 3},          // U+FFFF
      {"\xF0\x8F\xBF\xBF", 0},      // overlong four-byte
      {"\xF0\x9F\x98\x80", 4},      // U+1F600
      {"\xF4\x8F\xBF\xBF", 4},      // U+10FFFF
      {"\xF4\x90\x80\x80", 0},      // above U+10FFFF
      {"\xF5\x80\x80\x80", 0},      // invalid lead byte
      {"\xFF", 0},
      {"\x80", 0},                  // lone continuation byte
      {"\xE2\x82", 0},              // cut off
      {"\xE2\x28\xAC", 0},          // second byte not a continuation
      {"\xF0\x9F\x98", 0},          // cut off
  };
  for (const Case& c : cases) {
    Ref<String> s = S(c.bytes);
    EXPECT_EQ(s->_decodeLenAt(0), c.length) << testing::PrintToString(c.bytes);
    EXPECT_EQ(s->charByteLength(0), c.length ? c.length : 1u);
  }
  EXPECT_EQ(S("ab")->_decodeLenAt(2), 0u);
  EXPECT_EQ(S("ab")->_decodeLenAt(0xFFFFFFFFu), 0u);
  EXPECT_EQ(S("ab")->charByteLength(5), 1u);
  // Cut off in the middle of a longer text still decodes up to the end.
  EXPECT_EQ(S("x\xC3\xA9")->_decodeLenAt(1), 2u);
}

TEST(StringUtf8Test, DecodeOnARawBuffer) {
  const uint8_t euro[] = {0xE2, 0x82, 0xAC, 'z'};
  uint32_t code = 0;
  EXPECT_EQ(String::_decodeUtf8(euro, 4, &code), 3u);
  EXPECT_EQ(code, 0x20ACu);
  // Only `available` bytes count: fewer than the sequence needs is cut off,
  // and the code point is left alone.
  code = 7;
  EXPECT_EQ(String::_decodeUtf8(euro, 2, &code), 0u);
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(String::_decodeUtf8(euro + 3, 1, &code), 1u);
  EXPECT_EQ(code, uint32_t('z'));
  EXPECT_EQ(String::_decodeUtf8(euro, 0, nullptr), 0u);
  EXPECT_EQ(String::_decodeUtf8(nullptr, 4, nullptr), 0u);
}

TEST(StringUtf8Test, CharAtByte) {
  Ref<String> s = S("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFF");
  EXPECT_EQ(s->charAtByte(0), 'a');
  EXPECT_EQ(s->charAtByte(1), 0xE9u);
  EXPECT_EQ(s->charAtByte(2), 0xFFFDu);  // continuation byte
  EXPECT_EQ(s->charByteLength(2), 1u);
  EXPECT_EQ(s->charAtByte(3), 0x20ACu);
  EXPECT_EQ(s->charAtByte(6), 0x1F600u);
  EXPECT_EQ(s->charAtByte(10), 0xFFFDu);
  EXPECT_EQ(s->charAtByte(11), 0xFFFDu);  // past the end
  EXPECT_EQ(S("\xF4\x8F\xBF\xBF")->charAtByte(0), 0x10FFFFu);
  EXPECT_EQ(S(std::string("\0", 1))->charAtByte(0), 0u);
}

TEST(StringUtf8Test, Boundaries) {
  Ref<String> s = S("a\xE2\x82\xAC");
  EXPECT_TRUE(s->isCharBoundary(0));
  EXPECT_TRUE(s->isCharBoundary(1));
  EXPECT_FALSE(s->isCharBoundary(2));
  EXPECT_FALSE(s->isCharBoundary(3));
  EXPECT_TRUE(s->isCharBoundary(4));
  EXPECT_TRUE(s->isCharBoundary(100));
}

TEST(StringUtf8Test, PrefixCutsOnlyAtCharacterBoundaries) {
  struct Case { const char* text; size_t limit; size_t expected; };
  const Case cases[] = {
      {"abc", 5, 3},                      // fits whole
      {"abc", 2, 2},
      {"a\xE2\x82\xAC", 4, 4},           // the euro sign fits exactly
      {"a\xE2\x82\xAC", 3, 1},           // cut inside it: before it
      {"\xF0\x9F\x98\x80z", 3, 0},      // four-byte sequence, nothing fits
      {"\xF0\x9F\x98\x80z", 4, 4},
      {"a\x80\x80\x80\x80\x80", 5, 5},  // a stray run of continuation bytes is cut at the limit
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(String::utf8Prefix(c.text, std::strlen(c.text), c.limit), c.expected) << c.text << " limit " << c.limit;
  }
}

TEST(StringUtf8Test, CharCount) {
  EXPECT_EQ(S("a\xE2\x82\xAC")->charCount(), 2u);
  EXPECT_EQ(S("\xFF")->charCount(), 1u);
  EXPECT_EQ(S("")->charCount(), 0u);
  EXPECT_EQ(S("\x80\x80")->charCount(), 0u);  // only continuation bytes
  EXPECT_EQ(S("\xC0\x80x")->charCount(), 2u);
}

TEST(StringUtf8Test, NextAndPreviousCharacter) {
  Ref<String> s = S("a\xE2\x82\xAC" "b");
  EXPECT_EQ(s->nextCharByte(0), 1u);
  EXPECT_EQ(s->nextCharByte(1), 4u);
  EXPECT_EQ(s->nextCharByte(2), 3u);  // an invalid position steps one byte
  EXPECT_EQ(s->nextCharByte(4), 5u);
  EXPECT_EQ(s->nextCharByte(5), 5u);
  EXPECT_EQ(s->nextCharByte(99), 5u);
  EXPECT_EQ(S("a\xE2\x82\xAC")->prevCharByte(4), 1u);
  EXPECT_EQ(s->prevCharByte(5), 4u);
  EXPECT_EQ(s->prevCharByte(1), 0u);
  EXPECT_EQ(s->prevCharByte(0), 0u);
  EXPECT_EQ(s->prevCharByte(3), 1u);
  EXPECT_EQ(S("\x80\x80\x80")->prevCharByte(3), 0u);  // no boundary in 1 .. i-1
  // A cut-off sequence at the end: one byte at a time.
  Ref<String> cut = S("a\xE2\x82");
  EXPECT_EQ(cut->nextCharByte(1), 2u);
  EXPECT_EQ(cut->nextCharByte(2), 3u);
}

TEST(StringUtf8Test, CharacterIndexing) {
  Ref<String> s = S("a\xE2\x82\xAC" "b");
  EXPECT_EQ(s->byteIndexOfChar(0), 0u);
  EXPECT_EQ(s->byteIndexOfChar(1), 1u);
  EXPECT_EQ(s->byteIndexOfChar(2), 4u);
  EXPECT_EQ(s->byteIndexOfChar(3), 5u);
  EXPECT_EQ(s->byteIndexOfChar(100), 5u);
  EXPECT_EQ(S("")->byteIndexOfChar(3), 0u);
  EXPECT_EQ(s->charAt(0), 'a');
  EXPECT_EQ(s->charAt(1), 0x20ACu);
  EXPECT_EQ(s->charAt(2), 'b');
  EXPECT_EQ(s->charAt(3), 0xFFFDu);
  EXPECT_EQ(s->charAt(5), 0xFFFDu);
}

TEST(StringUtf8Test, SubstringChars) {
  Ref<String> s = S("a\xE2\x82\xAC" "b");
  EXPECT_EQ(str(s->substringChars(1, 100)), "\xE2\x82\xAC" "b");
  EXPECT_EQ(str(s->substringChars(0, 2)), "a\xE2\x82\xAC");
  EXPECT_EQ(str(s->substringChars(1, 1)), "\xE2\x82\xAC");
  EXPECT_EQ(str(s->substringChars(1, 0)), "");
  EXPECT_EQ(str(s->substringChars(3, 1)), "");
  EXPECT_EQ(str(s->substringChars(0, 0xFFFFFFFFu)), str(s));
}

TEST(StringUtf8Test, AppendChar) {
  struct Case {
    uint32_t codePoint;
    std::string bytes;
  } cases[] = {
      {0, std::string("\0", 1)}, {'A', "A"},          {0x7F, "\x7F"},          {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},       {0x800, "\xE0\xA0\x80"}, {0x20AC, "\xE2\x82\xAC"}, {0xD7FF, "\xED\x9F\xBF"},
      {0xD800, kFFFD},           {0xDFFF, kFFFD},     {0xE000, "\xEE\x80\x80"}, {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"}, {0x10FFFF, "\xF4\x8F\xBF\xBF"}, {0x110000, kFFFD}, {0xFFFFFFFFu, kFFFD},
  };
  for (const Case& c : cases) {
    String s;
    s.appendChar(c.codePoint);
    EXPECT_EQ(std::string(s.view()), c.bytes) << std::hex << c.codePoint;
    // What is appended decodes back (replacements decode as U+FFFD).
    const bool replaced = c.bytes == kFFFD;
    EXPECT_EQ(s.charAtByte(0), replaced ? 0xFFFDu : c.codePoint);
  }
}

TEST(StringUtf8Test, IsValidUtf8) {
  EXPECT_TRUE(S("")->isValidUtf8());
  EXPECT_TRUE(S("plain ascii")->isValidUtf8());
  EXPECT_TRUE(S("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80")->isValidUtf8());
  EXPECT_TRUE(S(std::string("a\0b", 3))->isValidUtf8());
  EXPECT_FALSE(S("a\xE2\x82")->isValidUtf8());
  EXPECT_FALSE(S("\xC0\x80")->isValidUtf8());
  EXPECT_FALSE(S("\xED\xA0\x80")->isValidUtf8());
  EXPECT_FALSE(S("ok\xFF")->isValidUtf8());
  EXPECT_FALSE(S("\x80")->isValidUtf8());
}

TEST(StringUtf8Test, SanitizedUtf8) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"a\xE2\x82", "a" + kFFFD},                     // cut off: one replacement
      {"\xC0\x80", kFFFD + kFFFD},                    // invalid lead, then a lone continuation
      {"\xE0\x80\x80", kFFFD},                        // overlong: lead and its two continuations
      {"\xED\xA0\x80z", kFFFD + "z"},                 // surrogate
      {"\xF4\x90\x80\x80", kFFFD},                    // above U+10FFFF
      {"\x80\x80", kFFFD + kFFFD},                    // each lone continuation
      {"\xFF" "a", kFFFD + "a"},
      {"\xE2\x28\xAC", kFFFD + "(" + kFFFD},          // stops at the first non-continuation
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
      {"ok \xC3\xA9", "ok \xC3\xA9"},
      {"\xF0\x80\x80\x80\x80", kFFFD + kFFFD},        // at most k continuations go with the lead
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    Ref<String> out = S(c.in)->sanitizedUtf8();
    EXPECT_EQ(str(out), c.out) << testing::PrintToString(c.in);
    EXPECT_TRUE(out->isValidUtf8());
  }
}

// An outside text as one line that cannot pass for another, cut at a character boundary with an ellipsis.
TEST(StringUtf8Test, LineOfEscapesWhatCouldPassForAnotherText) {
  const std::string kCut = "\xE2\x80\xA6";
  struct Case {
    std::string in;
    uint32_t limit;
    std::string line;
  } cases[] = {
      {"plain caf\xC3\xA9 \xF0\x9F\x98\x80", kNotFound, "plain caf\xC3\xA9 \xF0\x9F\x98\x80"},
      // A real ESC, and the four letters that a server may send as text.
      {"\x1B[31m", kNotFound, "\\x1B[31m"},
      {"\\x1B[31m", kNotFound, "\\\\x1B[31m"},
      {"C:\\new\\t", kNotFound, "C:\\\\new\\\\t"},
      {"a\nb\rc\td", kNotFound, "a\\nb\\rc\\td"},
      {std::string("\0\x1F\x7F ~", 5), kNotFound, "\\x00\\x1F\\x7F ~"},
      {"\xC2\x80\xC2\x85\xC2\x9F\xC2\xA0", kNotFound, "\\xC2\\x80\\xC2\\x85\\xC2\\x9F\xC2\xA0"},  // C1; no-break space stays
      // The bidirectional controls; the characters next to them stay.
      {"\xD8\x9B\xD8\x9C\xD8\x9D", kNotFound, "\xD8\x9B\\xD8\\x9C\xD8\x9D"},                  // U+061C
      {"\xE2\x80\x90\xE2\x80\x8E\xE2\x80\x8F\xE2\x80\x90", kNotFound,
       "\xE2\x80\x90\\xE2\\x80\\x8E\\xE2\\x80\\x8F\xE2\x80\x90"},                             // U+200E, U+200F
      {"\xE2\x80\xA7\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAA", kNotFound,
       "\xE2\x80\xA7\\xE2\\x80\\xA8\\xE2\\x80\\xA9\\xE2\\x80\\xAA"},                           // U+2028 to U+202A
      {"\xE2\x80\xAE\xE2\x80\xAF", kNotFound, "\\xE2\\x80\\xAE\xE2\x80\xAF"},                 // U+202E
      {"\xE2\x81\x9F\xE2\x81\xA6\xE2\x81\xA9\xE2\x81\xB0", kNotFound,
       "\xE2\x81\x9F\\xE2\\x81\\xA6\\xE2\\x81\\xA9\xE2\x81\xB0"},                             // U+2066, U+2069
      // Format and invisible characters (each one is checked below); the spaces stay.
      {"a\xC2\xAD" "b\xE2\x80\x8B\xEF\xBB\xBF\xE2\x81\xA0 \xC2\xA0", kNotFound,
       "a\\xC2\\xADb\\xE2\\x80\\x8B\\xEF\\xBB\\xBF\\xE2\\x81\\xA0 \xC2\xA0"},  // U+00AD, U+200B, U+FEFF, U+2060
      // An ellipsis of the text is no cut.
      {"wait\xE2\x80\xA6", kNotFound, "wait\\\xE2\x80\xA6"}, {"wait\xE2\x80\xA6", 4, "wait" + kCut},
      {"\xFF\xE2\x82" "a\x80", kNotFound, "\\xFF\\xE2\\x82a\\x80"},                           // not UTF-8
      // The limit counts the text's bytes; a character across it goes whole.
      {"abcdef", 3, "abc" + kCut}, {"abc", 3, "abc"}, {"ab\xC3\xA9", 3, "ab" + kCut},
      {"\xF0\x9F\x98\x80!", 3, kCut}, {"a\nb", 2, "a\\n" + kCut}, {"", 0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(str(Stdio::lineOf(S(c.in), c.limit)), c.line) << testing::PrintToString(c.in);
  }
  EXPECT_EQ(str(Stdio::lineOf(nullptr)), "");
  // Quoted into a line of the program's words: shown the same way, its first 512 bytes by default.
  EXPECT_EQ(str(Stdio::quote(S("a\n\\" + std::string(600, 'q')))), "a\\n\\\\" + std::string(509, 'q') + kCut);
  EXPECT_EQ(str(Stdio::quote(S("ab\xC3\xA9"), 3)), "ab" + kCut);
  EXPECT_EQ(str(Stdio::quote(S(std::string(512, 'q')))), std::string(512, 'q'));
  EXPECT_EQ(str(Stdio::quote(nullptr)), "");
}

// The characters lineOf escapes, listed apart from the program's own table:
// "FIRST-LAST" or single code points, in hex.
struct Listed {
  uint32_t first, last;
};
std::vector<Listed> listed(const char* text) {
  std::vector<Listed> out;
  for (const char* p = text; *p;) {
    char* end = nullptr;
    const uint32_t first = uint32_t(std::strtoul(p, &end, 16));
    uint32_t last = first;
    if (*end == '-') last = uint32_t(std::strtoul(end + 1, &end, 16));
    out.push_back({first, last});
    p = end;
    while (*p == ' ') p++;
  }
  return out;
}
// Unicode's format characters (category Cf): those that reorder the text
// around them, the invisible ones, the Arabic, Syriac, Kaithi and Egyptian
// marks, the shorthand format controls, the musical ones and the tags.
const std::vector<Listed> kFormatListed = listed(
    "061C 200E 200F 202A-202E 2066-2069 00AD 180E 200B-200D 2060-2064 206A-206F FEFF FFF9-FFFB "
    "0600-0605 06DD 070F 0890-0891 08E2 110BD 110CD 13430-1343F 1BCA0-1BCA3 1D173-1D17A E0001 E0020-E007F");
// Shown as nothing all the same: Unicode's default ignorable code points
// outside Cf (variation selectors, Hangul fillers, the unassigned ones kept
// for the kind), and the noncharacters.
const std::vector<Listed> kInvisibleListed = listed(
    "034F 115F-1160 17B4-17B5 180B-180D 180F 2065 3164 FE00-FE0F FFA0 FFF0-FFF8 E0000 E0002-E001F E0080-E0FFF "
    "FDD0-FDEF FFFE-FFFF 1FFFE-1FFFF 2FFFE-2FFFF 3FFFE-3FFFF 4FFFE-4FFFF 5FFFE-5FFFF 6FFFE-6FFFF 7FFFE-7FFFF "
    "8FFFE-8FFFF 9FFFE-9FFFF AFFFE-AFFFF BFFFE-BFFFF CFFFE-CFFFF DFFFE-DFFFF EFFFE-EFFFF FFFFE-FFFFF "
    "10FFFE-10FFFF");
// Controls, the line and paragraph separators.
const std::vector<Listed> kControlsListed = listed("0000-001F 007F-009F 2028-2029");

bool isListed(const std::vector<Listed>& list, uint32_t c) {
  return std::any_of(list.begin(), list.end(), [c](const Listed& r) { return c >= r.first && c <= r.last; });
}
// A character that no shown line holds as itself.
bool neverShown(uint32_t c) {
  return isListed(kControlsListed, c) || isListed(kFormatListed, c) || isListed(kInvisibleListed, c);
}

// Exactly the listed characters are escaped, and the backslash and the
// ellipsis (shown after a backslash). Unicode 15.1 has 170 format characters.
TEST(StringUtf8Test, EveryFormatCharacterAndNothingElseIsEscaped) {
  uint32_t formats = 0;
  for (const Listed& r : kFormatListed) formats += r.last - r.first + 1;
  EXPECT_EQ(formats, 170u);
  for (uint32_t c = 0; c <= 0x10FFFF; c++) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const bool expected = neverShown(c) || c == '\\' || c == 0x2026;
    ASSERT_EQ(Stdio::_escapes(c), expected) << "U+" << std::hex << c;
  }
}

// Any bytes: one valid UTF-8 line without controls whose escapes read back to them; cut, to a prefix of them.
TEST(StringUtf8Test, LineOfIsOneSafeLineThatReadsBack) {
  std::mt19937 rng(45);
  const std::vector<std::string> pieces = {
      "\\", "x", "1B", "n", "\x1B", "\n", "\r", "\t", std::string(1, '\0'), "\x7F", "\xC2\x85", "\xC2\x9B",
      "\xD8\x9C", "\xE2\x80\x8E", "\xE2\x80\x8F", "\xE2\x80\xA8", "\xE2\x80\xAE", "\xE2\x81\xA6", "\xE2\x81\xA9",
      "\xC3\xA9", "\xF0\x9F\x98\x80", "\xE2\x82", "\xFF", "\x80", "\xE2\x80\xA6", "\xED\xA0\x80", "\xED\xBF\xBF"};
  std::vector<Listed> ranges = kFormatListed;
  ranges.insert(ranges.end(), kInvisibleListed.begin(), kInvisibleListed.end());
  const int rounds = test::rounds(20000);
  for (int round = 0; round < rounds; round++) {
    std::string in;
    for (uint32_t n = rng() % 24; n-- > 0;) {
      const uint32_t pick = rng() % 4;
      if (pick == 0) {
        in += std::string(1, char(rng()));
      } else if (pick == 1) {  // a character of the listed ranges, or one just outside
        const Listed& r = ranges[rng() % ranges.size()];
        const uint32_t c = r.first + rng() % (r.last - r.first + 3) - 1;
        Ref<String> one = make<String>();
        one->appendChar(std::min<uint32_t>(c, 0x10FFFF));
        in += str(one);
      } else {
        in += pieces[rng() % pieces.size()];
      }
    }
    const std::string line = str(Stdio::lineOf(S(in)));
    ASSERT_TRUE(S(line)->isValidUtf8()) << testing::PrintToString(in);
    const auto* bytes = reinterpret_cast<const uint8_t*>(line.data());
    for (uint32_t i = 0, c = 0, n; i < line.size(); i += n) {
      n = String::_decodeUtf8(bytes + i, uint32_t(line.size() - i), &c);
      ASSERT_FALSE(neverShown(c)) << testing::PrintToString(in) << " shows U+" << std::hex << c;
    }
    std::string back;
    ASSERT_TRUE(test::readShown(line, back)) << testing::PrintToString(in);
    ASSERT_EQ(back, in);

    const uint32_t limit = rng() % 48;
    const std::string cut = str(Stdio::lineOf(S(in), limit));
    const size_t keep = String::utf8Prefix(in.data(), in.size(), limit);
    const std::string mark = keep < in.size() ? "\xE2\x80\xA6" : "";
    ASSERT_EQ(cut.substr(0, cut.size() - mark.size()) + mark, cut);
    ASSERT_TRUE(test::readShown(cut.substr(0, cut.size() - mark.size()), back));
    ASSERT_EQ(back, in.substr(0, keep)) << testing::PrintToString(in) << " cut at " << limit;
  }
}

// Two quoted texts read the same only when equal or cut at the same place (a
// whole text never reads as a cut one); a quote reads back to its kept bytes.
TEST(StringUtf8Test, QuotesOfDifferentTextsReadApart) {
  std::mt19937 rng(46);
  const std::vector<std::string> pieces = {"a", "b", "\\", "\xE2\x80\xA6", "\\\xE2\x80\xA6", "\n", "\\n", "x",
                                           "\xE2\x80\x8B", "\xC3\xA9", "\xE2", "\xFF", " "};
  const auto text = [&] {
    std::string t;
    for (uint32_t n = rng() % 12; n-- > 0;) t += pieces[rng() % pieces.size()];
    return t;
  };
  const int rounds = test::rounds(20000);
  for (int round = 0; round < rounds; round++) {
    const uint32_t limit = rng() % 16;
    const std::string a = text();
    std::string b;
    switch (rng() % 4) {  // texts near a: a's kept bytes with an ellipsis, or with more after them
      case 0: b = a.substr(0, String::utf8Prefix(a.data(), a.size(), limit)) + "\xE2\x80\xA6"; break;
      case 1: b = a + text(); break;
      case 2: b = a.substr(0, rng() % (a.size() + 1)) + text(); break;
      default: b = text();
    }
    const std::string qa = str(Stdio::quote(S(a), limit)), qb = str(Stdio::quote(S(b), limit));
    const size_t keepA = String::utf8Prefix(a.data(), a.size(), limit);
    const size_t keepB = String::utf8Prefix(b.data(), b.size(), limit);
    const bool cutA = keepA < a.size(), cutB = keepB < b.size();
    const bool alike = cutA == cutB && a.substr(0, keepA) == b.substr(0, keepB) && (cutA || a == b);
    ASSERT_EQ(qa == qb, alike) << testing::PrintToString(a) << " " << testing::PrintToString(b) << " " << limit;
    std::string back;
    int cuts = 0;
    ASSERT_TRUE(test::readShown(qa, back, &cuts)) << testing::PrintToString(qa);
    ASSERT_EQ(back, a.substr(0, keepA));
    ASSERT_EQ(cuts, cutA ? 1 : 0) << testing::PrintToString(a) << " " << limit;
    ASSERT_TRUE(!cutA || (qa.size() >= 3 && qa.compare(qa.size() - 3, 3, "\xE2\x80\xA6") == 0));
  }
}

// Words and quoted texts are shown as they are, what came in unquoted escaped;
// a long line is cut between two characters or escapes, never inside one.
TEST(StringUtf8Test, LineOfQuotedKeepsQuotesAndEscapesTheRest) {
  const std::string kCut = "\xE2\x80\xA6";
  const std::string quoted = str(Stdio::quote(S("a\\b\n\xE2\x80\xAE\xE2\x80\xA6\xFF")));
  ASSERT_EQ(quoted, "a\\\\b\\n\\xE2\\x80\\xAE\\\xE2\x80\xA6\\xFF");
  const struct {
    std::string line;
    uint32_t limit;
    std::string shown;
  } cases[] = {
      {"Opened 2 runs: " + quoted, kNotFound, "Opened 2 runs: " + quoted},
      {"Cut: abc" + kCut, kNotFound, "Cut: abc" + kCut},
      // Unquoted: controls, format characters and stray bytes escaped, a stray backslash too.
      {"two\nlines\x1B[2J", kNotFound, "two\\nlines\\x1B[2J"},
      {"x\xE2\x80\x8By\xFE", kNotFound, "x\\xE2\\x80\\x8By\\xFE"},
      {"C:\\Users \\q \\x1b \\x4", kNotFound, "C:\\\\Users \\\\q \\\\x1b \\\\x4"},
      // Cut within the limit, before an escape or character that would cross it.
      {"ab\\xE2\\x80\\xAE", 5, "ab" + kCut}, {"ab\\xE2\\x80\\xAE", 6, "ab\\xE2" + kCut},
      {"ab\\\xE2\x80\xA6", 5, "ab" + kCut}, {"ab\\\xE2\x80\xA6", 6, "ab\\\xE2\x80\xA6"}, {"ab\\\\", 3, "ab" + kCut},
      {"", 0, ""},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(str(Stdio::lineOfQuoted(S(k.line), k.limit)), k.shown) << testing::PrintToString(k.line);
  }
  EXPECT_EQ(str(Stdio::lineOfQuoted(nullptr)), "");
}

// Words and random quoted texts: shown as made when the line fits, else its
// longest prefix within the limit that ends between two characters or
// escapes, marked as cut; it reads back to the words and the texts' kept bytes.
TEST(StringUtf8Test, LinesOfQuotedTextsAreCutBetweenEscapes) {
  std::mt19937 rng(47);
  const std::vector<std::string> pieces = {"a", "\\", "\xE2\x80\xA6", "\n", "\x1B", "\xE2\x80\xAE", "\xC3\xA9",
                                           "\xF0\x9F\x98\x80", "\xFF", "\xF3\xA0\x80\x81"};
  const int rounds = test::rounds(5000);
  for (int round = 0; round < rounds; round++) {
    std::string line = "Words " + std::to_string(round), expected = line;
    for (uint32_t parts = 1 + rng() % 3; parts-- > 0;) {
      std::string text;
      for (uint32_t n = rng() % 20; n-- > 0;) text += pieces[rng() % pieces.size()];
      const uint32_t quoteLimit = rng() % 40;
      line += ": " + str(Stdio::quote(S(text), quoteLimit));
      expected += ": " + text.substr(0, String::utf8Prefix(text.data(), text.size(), quoteLimit));
    }
    std::string back, all;
    int cuts = 0;
    ASSERT_TRUE(test::readShown(line, all, &cuts));
    ASSERT_EQ(all, expected);
    const uint32_t limit = rng() % 2 ? kNotFound : rng() % 160;
    const std::string shown = str(Stdio::lineOfQuoted(S(line), limit));
    if (line.size() <= limit) {
      ASSERT_EQ(shown, line);
      continue;
    }
    ASSERT_GE(shown.size(), 3u);
    ASSERT_EQ(shown.substr(shown.size() - 3), "\xE2\x80\xA6");
    const std::string kept = shown.substr(0, shown.size() - 3);
    ASSERT_EQ(line.compare(0, kept.size(), kept), 0) << line << " | " << shown;
    ASSERT_LE(kept.size(), limit);
    ASSERT_GT(kept.size() + 4, limit) << line << " | " << shown;  // no unit is longer than 4 bytes
    ASSERT_TRUE(test::readShown(kept, back, &cuts)) << shown;  // no escape is split
  }
}

}  // namespace
}  // namespace quorl
