// Attributed strings: construction, the edge cases of each mutation, the
// guarded preconditions, and randomized edits against a per-byte model.
#include <climits>
#include <random>

#include "TextTestEnv.h"

namespace quorl::test {
namespace {

int64_t kOf(const Ref<Map>& m) {
  Ref<Number> n = cast<Number>(m->get("k"));
  return n ? n->integerValue() : -1;
}

TEST(AttributedString, ConstructionAndQueries) {
  auto empty = AttributedString::withString(nullptr);
  EXPECT_EQ(empty->runCount(), 0u);
  EXPECT_EQ(empty->attributesAt(0)->count(), 0u);
  EXPECT_TRUE(empty->runRangeAt(0)->equals(Range::with(0, 0)));
  EXPECT_EQ(AttributedString::withAttributes(String::withCString(""), attrs({{"k", 1}}))->runCount(), 0u);

  auto a = AttributedString::withAttributes(String::withCString("abc"), attrs({{"k", 1}}));
  EXPECT_EQ(runsOf(*a), (std::vector<std::string>{"0+3"}));
  EXPECT_EQ(kOf(a->attributesAt(2)), 1);
  EXPECT_TRUE(a->runRangeAt(7)->equals(Range::with(7, 0)));
  // Maps handed out are copies.
  a->attributesAt(0)->set("k", Number::withI64(9));
  EXPECT_EQ(kOf(a->runAttributes(0)), 1);
  // Out-of-bounds run indices are answered, not read past the end.
  EXPECT_TRUE(a->runRange(1)->equals(Range::with(3, 0)));
  EXPECT_TRUE(a->runRange(0xFFFFFFFFu)->equals(Range::with(3, 0)));
  EXPECT_EQ(a->runAttributes(5)->count(), 0u);
  EXPECT_EQ(a->runAt(1), nullptr);
  EXPECT_EQ(a->runAt(0)->description()->view(), "<_AttrRun>(0, 3)");
}

TEST(AttributedString, AttributesSplitAndMerge) {
  auto a = astr("abcd");
  Range mid{1, 2}, head{0, 1}, tail{3, 1};
  a->addAttributes(attrs({{"bold", 1}}), &mid);
  EXPECT_EQ(runsOf(*a), (std::vector<std::string>{"0+1", "1+2", "3+1"}));
  a->addAttributes(attrs({{"bold", 1}}), &head);
  a->addAttributes(attrs({{"bold", 1}}), &tail);
  EXPECT_EQ(runsOf(*a), (std::vector<std::string>{"0+4"}));
  a->setAttributes(nullptr, &mid);
  EXPECT_EQ(runsOf(*a), (std::vector<std::string>{"0+1", "1+2", "3+1"}));

  // Clipping: outside changes nothing, a negative start starts at 0, past
  // the end stops at the end; wrapping ends are rejected, not overflowed.
  auto b = astr("abcd");
  const uint64_t v = b->version();
  for (Range r : {Range{4, 3}, Range{-5, 2}, Range{INT_MAX, 10}, Range{INT_MIN, INT_MIN}, Range{2, -1}})
    b->addAttributes(attrs({{"k", 1}}), &r);
  EXPECT_EQ(b->version(), v);
  EXPECT_EQ(runsOf(*b), (std::vector<std::string>{"0+4"}));
  Range neg{-2, 3}, past{3, 100};
  b->addAttributes(attrs({{"k", 1}}), &neg);
  b->addAttributes(attrs({{"k", 2}}), &past);
  EXPECT_EQ(runsOf(*b), (std::vector<std::string>{"0+1", "1+2", "3+1"}));
}

TEST(AttributedString, ReplaceTakesTheSurroundingAttributes) {
  auto a = astr("abcd");
  Range r01{0, 1}, r12{1, 1};
  a->setAttributes(attrs({{"k", 1}}), &r01);
  a->setAttributes(attrs({{"k", 2}}), &r12);
  Range at0{0, 0}, at2{2, 0}, first{0, 2};
  a->replace(&at0, String::withCString("X"));  // takes byte 0's
  EXPECT_EQ(kOf(a->attributesAt(0)), 1);
  a->replace(&at2, String::withCString("Y"));  // takes byte 1's
  EXPECT_EQ(kOf(a->attributesAt(2)), 1);
  a->replace(nullptr, String::withCString("Z"));  // append: the last byte's
  EXPECT_EQ(kOf(a->attributesAt(a->byteLength() - 1)), -1);
  EXPECT_EQ(a->text->view(), "XaYbcdZ");
  a->replace(&first, String::withCString("Q"));  // the first replaced byte's
  EXPECT_EQ(kOf(a->attributesAt(0)), 1);
  EXPECT_EQ(a->text->view(), "QYbcdZ");
  Range wrap{INT_MAX, INT_MAX};
  a->replace(&wrap, String::withCString("!"));  // start clamps to the end
  EXPECT_EQ(a->text->view(), "QYbcdZ!");
  EXPECT_TRUE(invariantsHold(*a));

  auto e = astr("");
  e->replace(nullptr, String::withCString("new"));
  EXPECT_EQ(runsOf(*e), (std::vector<std::string>{"0+3"}));

  // An insertion of other attributes splits a run around it; a copy of the
  // string itself may be inserted.
  auto s = astr("abcd");
  auto ins = AttributedString::withAttributes(String::withCString("XY"), attrs({{"k", 5}}));
  Range mid{2, 0};
  s->replaceWithAttributed(&mid, ins);
  EXPECT_EQ(runsOf(*s), (std::vector<std::string>{"0+2", "2+2", "4+2"}));
  s->replaceWithAttributed(&mid, s);
  EXPECT_EQ(s->text->view(), "ababXYcdXYcd");
  EXPECT_TRUE(invariantsHold(*s));
  s->replaceWithAttributed(nullptr, ins);  // a null range changes nothing
  EXPECT_EQ(s->byteLength(), 12);
}

TEST(AttributedString, SubstringEqualityAndHash) {
  auto a = astr("abcd");
  Range r02{0, 2}, r13{1, 2};
  a->setAttributes(attrs({{"k", 1}}), &r02);
  auto sub = a->substring(&r13);
  EXPECT_EQ(runsOf(*sub), (std::vector<std::string>{"0+1", "1+1"}));
  EXPECT_EQ(a->substring(nullptr)->runCount(), 0u);
  Range none{2, 0};
  EXPECT_EQ(a->substring(&none)->byteLength(), 0);

  auto b = astr("abcd");
  b->setAttributes(attrs({{"k", 1}}), &r02);
  EXPECT_TRUE(a->equals(b));
  EXPECT_EQ(a->hash(), b->hash());
  EXPECT_EQ(a->description()->view(), "abcd");
  auto m1 = make<Map>(), m2 = make<Map>();
  m1->set("v", make<Map>());
  m2->set("v", make<Map>());
  EXPECT_FALSE(AttributedString::same(m1.get(), m2.get()));  // different Map values
  EXPECT_TRUE(AttributedString::same(attrs({{"a", 1}, {"b", 2}}).get(), attrs({{"b", 2}, {"a", 1}}).get()));
  EXPECT_FALSE(a->equals(String::withCString("abcd")));
}

// Every byte's attribute as a number ("k", -1 for an empty map) beside the
// text: what each mutation should leave.
struct Model {
  std::string bytes;
  std::vector<int64_t> k;

  Ref<Map> mapOf(int64_t v) const { return v < 0 ? make<Map>() : attrs({{"k", v}}); }
  int64_t around(int32_t s, int32_t e) const {
    if (bytes.empty()) return -1;
    if (e > s) return k[size_t(s)];
    return k[size_t(s >= 1 ? s - 1 : 0)];
  }
};

TEST(AttributedString, RandomEditsKeepTheInvariantsAndTheModel) {
  std::mt19937 rng(12345);
  auto a = astr("");
  Model m;
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int step = 0; step < 4000; step++) {
    const int32_t len = int32_t(m.bytes.size());
    int32_t start = pick(-3, len + 3), length = pick(-2, 8);
    Range r{start, length};
    const int32_t s = std::clamp(start, 0, len);
    const int32_t e = std::max(std::min(start + length, len), s);
    const int64_t v = pick(-1, 2);
    switch (pick(0, 3)) {
      case 0: {  // replace by plain text
        std::string ins(size_t(pick(0, 4)), char('a' + pick(0, 25)));
        const int64_t got = m.around(s, e);
        a->replace(&r, String::withCString(ins.c_str()));
        m.bytes.replace(size_t(s), size_t(e - s), ins);
        m.k.erase(m.k.begin() + s, m.k.begin() + e);
        m.k.insert(m.k.begin() + s, ins.size(), got);
        break;
      }
      case 1: {  // replace by attributed text of two runs
        auto other = AttributedString::withAttributes(String::withCString("xy"), m.mapOf(v));
        Range second{1, 1};
        other->setAttributes(m.mapOf(pick(-1, 2)), &second);
        const int64_t k0 = kOf(other->attributesAt(0)), k1 = kOf(other->attributesAt(1));
        a->replaceWithAttributed(&r, other);
        m.bytes.replace(size_t(s), size_t(e - s), "xy");
        m.k.erase(m.k.begin() + s, m.k.begin() + e);
        m.k.insert(m.k.begin() + s, {k0, k1});
        break;
      }
      case 2:  // add
        if (v >= 0) {
          a->addAttributes(m.mapOf(v), &r);
          for (int32_t i = std::max(start, 0); i < std::min(start + length, len); i++) m.k[size_t(i)] = v;
        }
        break;
      default:  // set, a null map for -1
        a->setAttributes(v < 0 ? nullptr : m.mapOf(v), &r);
        for (int32_t i = std::max(start, 0); i < std::min(start + length, len); i++) m.k[size_t(i)] = v;
        break;
    }
    ASSERT_TRUE(invariantsHold(*a)) << "step " << step;
    ASSERT_EQ(a->text->view(), m.bytes) << "step " << step;
    for (int32_t i = 0; i < a->byteLength(); i++) ASSERT_EQ(kOf(a->attributesAt(i)), m.k[size_t(i)]) << step;
    if (step % 50 == 0 && len > 2) {
      Range sub{1, len - 2};
      auto piece = a->substring(&sub);
      ASSERT_EQ(piece->text->view(), m.bytes.substr(1, size_t(len - 2)));
      ASSERT_TRUE(invariantsHold(*piece));
    }
  }
}

}  // namespace
}  // namespace quorl::test
