// Text styles, stretches, measurement in pieces and line wrapping.
#include "TextTestEnv.h"
#include "ux/text/UXTextLayout.h"

namespace quorl::test {
namespace {

std::vector<std::pair<int32_t, int32_t>> wrap(const Ref<AttributedString>& a, int16_t width) {
  std::vector<std::pair<int32_t, int32_t>> out;
  Ref<Array> lines = UXTextLayout::wrapAttr(a, width, 12);
  for (uint32_t i = 0; i < lines->count(); i++) {
    auto r = staticCast<Range>(lines->get(i));
    out.push_back({r->start, r->length});
  }
  return out;
}

TEST(UXTextStyle, ReadsNumbersOnly) {
  auto d = UXTextStyle::of(nullptr);
  EXPECT_EQ(d->description()->view(), "<UXTextStyle>(0, 0, 0, 0, 1, -1, 0, 0)");
  auto m = make<Map>();
  m->set("bold", String::withCString("yes"));  // ignored: not a Number
  m->set("italic", Number::withDouble(0.5));
  m->set("size", Number::withI64(70000));
  m->set("color", Number::withI64(0x1FF0000LL + (1LL << 32)));
  m->set("other", Number::withI64(1));
  auto s = UXTextStyle::of(m);
  EXPECT_EQ(s->bold, 0);
  EXPECT_EQ(s->italic, 1);
  EXPECT_EQ(s->size, 4464);
  EXPECT_EQ(s->color, 0x1FF0000);
  EXPECT_TRUE(s->sameAs(s));
  EXPECT_FALSE(s->sameAs(nullptr));
  auto pen = UXTextStyle::of(attrs({{"pen", 2}}));
  EXPECT_FALSE(pen->sameAs(d));
}

TEST(UXTextLayout, StretchesAndWidths) {
  DriverScope none(0);
  auto a = astr("aaaabbbb");
  Range r1{0, 2}, r2{2, 2}, r3{4, 4};
  a->setAttributes(attrs({{"bold", 1}, {"x", 1}}), &r1);
  a->setAttributes(attrs({{"bold", 1}, {"x", 2}}), &r2);  // differs only in an ignored key
  a->setAttributes(attrs({{"size", 20}}), &r3);
  EXPECT_EQ(a->runCount(), 3u);
  EXPECT_EQ(UXTextLayout::styleEnd(a, 0, 8), 4u);
  EXPECT_EQ(UXTextLayout::styleEnd(a, 7, 8), 8u);
  EXPECT_EQ(UXTextLayout::styleEnd(a, 5, 5), 6u);
  EXPECT_EQ(UXTextLayout::styleEnd(a, 2, 100), 4u);  // a limit past the end ends
  EXPECT_EQ(UXTextLayout::spanWidthAttr(a, 3, 3, 12), 0u);
  EXPECT_EQ(UXTextLayout::spanWidthAttr(a, 0, 8, 12), 64u);
  // A long stretch is measured whole, in pieces.
  auto longText = AttributedString::withString(String::withCString(std::string(2000, 'x').c_str()));
  EXPECT_EQ(UXTextLayout::spanWidthAttr(longText, 0, 2000, 12), 16000u);
}

TEST(UXTextLayout, PiecesGoToTheDriverWholeCharacters) {
  DriverScope scope(12);  // 12 px a byte at size 12
  scope.driver->logging = true;
  // 1022 ASCII bytes then 3-byte characters: the first piece may not end
  // inside one.
  std::string s(1022, 'a');
  for (int i = 0; i < 400; i++) s += "\xE2\x82\xAC";
  auto a = AttributedString::withString(String::withCString(s.c_str()));
  EXPECT_EQ(UXTextLayout::spanWidthAttr(a, 0, a->byteLength(), 12), uint32_t(s.size() * 12));
  const auto calls = scope.driver->only({"textWidthStyled"});
  ASSERT_GE(calls.size(), 2u);
  // The pieces add up to the whole; the first stops before the character
  // that would have crossed byte 1023.
  std::string joined;
  for (const std::string& c : calls) {
    const size_t q1 = c.find('"'), q2 = c.find('"', q1 + 1);
    joined += c.substr(q1 + 1, q2 - q1 - 1);
  }
  EXPECT_EQ(joined, s);
  EXPECT_EQ(calls[0].find("\"", calls[0].find('"') + 1) - calls[0].find('"') - 1, 1022u);
}

struct WrapCase {
  const char* text;
  int16_t width;
  std::vector<std::pair<int32_t, int32_t>> lines;
};

TEST(UXTextLayout, WrapsByWords) {
  DriverScope none(0);  // 8 px a byte
  const WrapCase cases[] = {
      {"", 100, {}},
      {"\n", 100, {{0, 0}}},
      {"a\n\nb", 100, {{0, 1}, {2, 0}, {3, 1}}},
      {"abc def ghi", 60, {{0, 7}, {8, 3}}},
      {"abc def ghi", 40, {{0, 3}, {4, 3}, {8, 3}}},
      {"abcdefg hi", 20, {{0, 2}, {2, 2}, {4, 2}, {6, 1}, {8, 2}}},
      {"ab c", 0, {{0, 1}, {1, 1}, {3, 1}}},
      {"   \nab", 100, {{3, 0}, {4, 2}}},
      {"a\tb\rc d", 100, {{0, 7}}},
      {"ab\n", 100, {{0, 2}}},
      {"  ab  cd  ", 100, {{2, 6}}},
  };
  for (const WrapCase& c : cases) EXPECT_EQ(wrap(astr(c.text), c.width), c.lines) << c.text << " @" << c.width;
}

TEST(UXTextLayout, CutsLongWordsAtCharacterBoundaries) {
  DriverScope none(0);
  // Three 2-byte characters at width 0: one character a line, never half.
  EXPECT_EQ(wrap(astr("\xC3\xA9\xC3\xA9\xC3\xA9"), 0),
            (std::vector<std::pair<int32_t, int32_t>>{{0, 2}, {2, 2}, {4, 2}}));
  // At 24 px (three bytes) a line holds one 2-byte character and no more.
  EXPECT_EQ(wrap(astr("\xC3\xA9\xC3\xA9x"), 24), (std::vector<std::pair<int32_t, int32_t>>{{0, 2}, {2, 3}}));
  // A long single-style line wraps by its whole width, not its first 1023
  // bytes: 200 words of 9 bytes at 8 px fit 600 px by 8 words a line.
  std::string s;
  for (int i = 0; i < 200; i++) s += "abcdefgh ";
  const auto lines = wrap(astr(s.c_str()), 600);
  EXPECT_EQ(lines.size(), 25u);
  EXPECT_EQ(lines[1], (std::pair<int32_t, int32_t>{72, 71}));
}

}  // namespace
}  // namespace quorl::test
