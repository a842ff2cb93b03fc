// Data, Range and Null.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Data.h"
#include "foundation/Null.h"
#include "foundation/Range.h"
#include "foundation/String.h"

namespace quorl {
namespace {

Ref<Data> D(const std::string& bytes) { return Data::withBytes(bytes.data(), static_cast<uint32_t>(bytes.size())); }

std::string Desc(const Ref<Object>& o) { return std::string(o->description()->view()); }

// -- Data ------------------------------------------------------------------------

TEST(DataTest, Descriptions) {
  EXPECT_EQ(Desc(D("abc")), "<Data 3: 616263>");
  EXPECT_EQ(Desc(D("")), "<Data 0: >");
  EXPECT_EQ(Desc(make<Data>()), "<Data 0: >");
  EXPECT_EQ(D(std::string("\x00\x0f\xa0\xff", 4))->hexString()->view(), "000fa0ff");
  EXPECT_EQ(D("")->hexString()->view(), "");
  EXPECT_STREQ(D("")->classNameC(), "Data");
}

TEST(DataTest, HexDigits) {
  const char expected[] = "0123456789abcdef";
  for (uint8_t v = 0; v < 16; ++v) EXPECT_EQ(Data::_hexDigit(v), expected[v]);
}

TEST(DataTest, ConstructionAndCopies) {
  Ref<Data> d = D("hello");
  EXPECT_EQ(d->length(), 5u);
  EXPECT_EQ(d->capacity(), 5u);
  Ref<Data> c = d->copy();
  EXPECT_NE(c.get(), d.get());
  EXPECT_NE(c->bytes(), d->bytes());
  EXPECT_TRUE(c->equals(d));
  Ref<Data> none = Data::withData(nullptr);
  EXPECT_EQ(none->length(), 0u);
  EXPECT_EQ(none->capacity(), 0u);
  EXPECT_NE(none->bytes(), nullptr);
  Ref<Object> viaProtocol = static_cast<const Copying&>(*d).copyObject();
  EXPECT_TRUE(cast<Data>(viaProtocol)->equals(d));
}

TEST(DataTest, Growth) {
  Ref<Data> empty = make<Data>();
  std::string twenty(20, 'x');
  empty->appendBytes(twenty.data(), 20);
  EXPECT_EQ(empty->capacity(), 32u);
  EXPECT_EQ(empty->length(), 20u);

  Ref<Data> five = D("12345");
  five->appendBytes("6", 1);
  EXPECT_EQ(five->capacity(), 10u);
  five->appendBytes("7890X", 5);
  EXPECT_EQ(five->capacity(), 20u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(five->bytes()), five->length()), "1234567890X");

  Ref<Data> small = make<Data>();
  small->appendBytes("a", 1);
  EXPECT_EQ(small->capacity(), 16u);
  small->appendBytes("b", 0);  // nothing
  EXPECT_EQ(small->length(), 1u);

  Ref<Data> reserved = make<Data>();
  reserved->_reserve(100);
  EXPECT_EQ(reserved->capacity(), 128u);
  reserved->_reserve(50);
  EXPECT_EQ(reserved->capacity(), 128u);
}

TEST(DataTest, AppendingItsOwnBytes) {
  Ref<Data> d = D("abcde");
  d->appendBytes(d->bytes(), d->length());  // grows while reading from itself
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(d->bytes()), d->length()), "abcdeabcde");
  d->appendBytes(d->bytes() + 1, 2);  // room to spare now
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(d->bytes()), d->length()), "abcdeabcdebc");
}

TEST(DataTest, AppendPastFourGigabytesIsRefused) {
  Ref<Data> d = D("a");
  static const uint8_t unused = 0;
  d->appendBytes(&unused, 0xFFFFFFFFu);  // length would wrap to 0
  EXPECT_EQ(d->length(), 1u);
  EXPECT_EQ(d->capacity(), 1u);
}

TEST(DataTest, Compare) {
  struct Case {
    std::string a, b;
    int8_t result;
  } cases[] = {
      {"ab", std::string("ab\0", 3), -1},
      {std::string("ab\0", 3), "ab", 1},
      {"a\xff", "b", -1},  // the first byte decides
      {"\x80", "\x7f", 1},  // bytes are unsigned
      {"abc", "abc", 0},
      {"", "", 0},
      {"", "a", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(D(c.a)->compare(D(c.b)), c.result) << c.a << " / " << c.b;
  EXPECT_EQ(D("a")->compare(String::withCString("a")), 0);
  EXPECT_EQ(D("a")->compare(nullptr), 0);
  EXPECT_TRUE(D("a")->hasCompare());
}

TEST(DataTest, EqualsAndHash) {
  EXPECT_EQ(D("abc")->hash(), 0x1a47e90bu);
  EXPECT_EQ(D("")->hash(), 0x811c9dc5u);
  EXPECT_EQ(D("abc")->hash(), String::withCString("abc")->hash());
  EXPECT_TRUE(D("abc")->equals(D("abc")));
  EXPECT_FALSE(D("abc")->equals(D("abd")));
  EXPECT_FALSE(D("abc")->equals(D("ab")));
  EXPECT_FALSE(D("abc")->equals(String::withCString("abc")));
  EXPECT_FALSE(D("")->equals(nullptr));
  EXPECT_TRUE(D("")->equals(make<Data>()));
}

// -- Range --------------------------------------------------------------------------

class TextRun : public Range {
 public:
  TextRun(int32_t start, int32_t length, int32_t style) : Range(start, length), style(style) {}
  int32_t style;
};

TEST(RangeTest, ValueEquality) {
  Ref<Range> a = Range::with(3, 4), b = Range::with(3, 4);
  EXPECT_TRUE(a->equals(b));
  EXPECT_EQ(a->hash(), b->hash());
  EXPECT_FALSE(a->equals(Range::with(4, 3)));
  EXPECT_FALSE(a->equals(nullptr));
  EXPECT_FALSE(a->equals(D("")));
  // Fields a subclass adds play no part, on either side.
  Ref<TextRun> run = make<TextRun>(3, 4, 99);
  EXPECT_TRUE(a->equals(run));
  EXPECT_TRUE(run->equals(a));
  EXPECT_TRUE(run->equals(make<TextRun>(3, 4, 1)));
}

TEST(RangeTest, Hash) {
  struct Case {
    int32_t start, length;
    uint32_t hash;
  } cases[] = {
      {0, 0, 0},
      {0, 1, 1},
      {1, 0, 0x9e3779b1u ^ (0x9e3779b1u >> 15)},
      {-1, 0, 0x61c8864fu ^ (0x61c8864fu >> 15)},
      {2, 5, (0x3c6ef362u ^ 5u) ^ ((0x3c6ef362u ^ 5u) >> 15)},
      {INT32_MIN, -1, (0x80000000u ^ 0xFFFFFFFFu) ^ ((0x80000000u ^ 0xFFFFFFFFu) >> 15)},
  };
  for (const Case& c : cases) EXPECT_EQ(Range::with(c.start, c.length)->hash(), c.hash) << c.start << "," << c.length;
}

TEST(RangeTest, DescriptionAndInit) {
  EXPECT_EQ(Desc(Range::with(-1, 3)), "<Range>(-1, 3)");
  EXPECT_EQ(Desc(Range::with(65535, -32768)), "<Range>(-1, -32768)");
  EXPECT_EQ(Desc(Range::with(40000, 7)), "<Range>(-25536, 7)");
  Ref<Range> r = Range::with(5, 6);
  r->init();
  EXPECT_EQ(Desc(r), "<Range>(0, 0)");
  EXPECT_EQ(Desc(make<Range>()), "<Range>(0, 0)");
  EXPECT_STREQ(r->classNameC(), "Range");
}

// -- Null --------------------------------------------------------------------------------

TEST(NullTest, OneSharedInstance) {
  const Ref<Null>& a = Null::null();
  const Ref<Null>& b = Null::null();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a.get(), b.get());
  EXPECT_TRUE(Null::isNull(a));
  EXPECT_FALSE(Null::isNull(nullptr));
  EXPECT_FALSE(Null::isNull(make<Object>()));
  EXPECT_EQ(Desc(a), "null");
  EXPECT_STREQ(a->classNameC(), "Null");
  // Identity rules.
  EXPECT_TRUE(a->equals(b));
  EXPECT_FALSE(a->equals(make<Object>()));
  EXPECT_EQ(a->hash(), Object::hashAddress(a.get()));
  EXPECT_EQ(Object::className(a)->view(), "Null");
}

}  // namespace
}  // namespace quorl
