// Set and the declared hash-slot collections (Bag, BinaryHeap, Cache).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Map.h"
#include "foundation/Number.h"
#include "foundation/Set.h"
#include "foundation/String.h"

namespace quorl {
namespace {

Ref<String> S(const std::string& text) { return String::withBytes(text.data(), static_cast<uint32_t>(text.size())); }

std::string Desc(const Ref<Object>& o) { return std::string(o->description()->view()); }

TEST(SetTest, NewSetAndFirstAdd) {
  Ref<Set> s = make<Set>();
  EXPECT_EQ(Desc(s), "<Set>(0, 0)");
  EXPECT_EQ(s->enumAt(0), nullptr);
  EXPECT_FALSE(s->contains(S("a")));
  s->add(S("a"));
  EXPECT_EQ(Desc(s), "<Set>(1, 16)");
  EXPECT_TRUE(s->contains(S("a")));
  EXPECT_STREQ(s->classNameC(), "Set");
  ASSERT_TRUE(isA<Enumerable>(s));
  ASSERT_TRUE(isA<Copying>(s));
}

TEST(SetTest, EqualMemberKeepsTheFirst) {
  Ref<Set> s = make<Set>();
  Ref<String> first = S("x"), second = S("x");
  s->add(first);
  s->add(second);
  EXPECT_EQ(s->count(), 1u);
  EXPECT_EQ(s->enumAt(0).get(), first.get());
  EXPECT_EQ(second.use_count(), 1);  // not stored
  s->add(Number::withI64(2));
  s->add(Number::withDouble(2.0));
  EXPECT_EQ(s->count(), 2u);
}

TEST(SetTest, WithArraySkipsNullsAndDuplicates) {
  Ref<String> a = S("a"), b = S("b");
  Ref<Array> array = make<Array>();
  array->add(a);
  array->add(nullptr);
  array->add(b);
  array->add(a);
  Ref<Set> s = Set::withArray(array);
  ASSERT_EQ(s->count(), 2u);
  EXPECT_EQ(s->enumAt(0).get(), a.get());
  EXPECT_EQ(s->enumAt(1).get(), b.get());
  EXPECT_EQ(s->enumAt(2), nullptr);
  EXPECT_EQ(s->enumLength(), 2u);
  EXPECT_EQ(Desc(Set::withArray(nullptr)), "<Set>(0, 0)");
  EXPECT_EQ(Desc(Set::withArray(make<Array>())), "<Set>(0, 0)");
}

TEST(SetTest, GrowthAtTheThirteenthMember) {
  for (bool existing : {false, true}) {
    Ref<Set> s = make<Set>();
    for (int i = 0; i < 12; ++i) s->add(S(std::to_string(i)));
    EXPECT_EQ(s->capacity(), 16u);
    s->add(S(existing ? "0" : "12"));
    EXPECT_EQ(s->capacity(), 32u);
    EXPECT_EQ(s->count(), existing ? 12u : 13u);
  }
}

TEST(SetTest, OrderOfFirstAddSurvivesGrowth) {
  Ref<Set> s = make<Set>();
  std::vector<Ref<Object>> added;
  for (int i = 0; i < 500; ++i) {
    Ref<Object> n = Number::withI64((i * 7919) % 300);
    if (!s->contains(n)) added.push_back(n);
    s->add(n);
  }
  ASSERT_EQ(s->count(), added.size());
  EXPECT_EQ(s->capacity(), 512u);
  Ref<Array> all = s->allObjects();
  EXPECT_EQ(all->capacity(), s->count());
  for (uint32_t i = 0; i < s->count(); ++i) {
    EXPECT_EQ(all->get(i).get(), added[i].get());
    EXPECT_EQ(s->_findSlot(added[i]), s->_findSlot(all->get(i)));
  }
}

TEST(SetTest, CopyHasTheSameObjectsInOrder) {
  Ref<Set> s = make<Set>();
  for (int i = 0; i < 20; ++i) s->add(S("m" + std::to_string(i)));
  Ref<Set> c = s->copy();
  EXPECT_NE(c.get(), s.get());
  EXPECT_TRUE(c->allObjects()->isEqualToArray(s->allObjects()));
  for (uint32_t i = 0; i < s->count(); ++i) EXPECT_EQ(c->enumAt(i).get(), s->enumAt(i).get());
  EXPECT_FALSE(c->equals(s));  // identity
  EXPECT_EQ(cast<Set>(static_cast<const Copying&>(*s).copyObject())->count(), 20u);
}

TEST(BagTest, EmptyBag) {
  Ref<Bag> b = make<Bag>();
  EXPECT_EQ(Desc(b), "<Bag>(0, 0, 0)");
  EXPECT_EQ(b->memberAt(0), nullptr);
  EXPECT_EQ(b->memberAt(0xFFFFFFFFu), nullptr);
  EXPECT_EQ(b->enumAt(0x80000000u), nullptr);
  EXPECT_EQ(b->enumLength(), 0u);
  EXPECT_STREQ(b->classNameC(), "Bag");
  EXPECT_TRUE(isA<Enumerable>(b));
}

TEST(BinaryHeapTest, Description) {
  EXPECT_EQ(Desc(make<BinaryHeap>()), "<BinaryHeap>(0, 0)");
  EXPECT_STREQ(make<BinaryHeap>()->classNameC(), "BinaryHeap");
}

TEST(CacheTest, DescriptionPrintsTheLimitSigned) {
  Ref<Cache> c = make<Cache>();
  EXPECT_EQ(Desc(c), "<Cache>(0)");
  c->limit = -1;
  EXPECT_EQ(Desc(c), "<Cache>(-1)");
  c->limit = 70000;
  EXPECT_EQ(Desc(c), "<Cache>(4464)");
  EXPECT_STREQ(make<_CacheEntry>()->classNameC(), "_CacheEntry");
}

// A list linked the way a cache links it: strong forward, weak backward.
Ref<Cache> CacheWithList(uint32_t n, std::vector<Ref<_CacheEntry>>* keep = nullptr) {
  Ref<Cache> c = make<Cache>();
  c->table = make<Map>();
  for (uint32_t i = 0; i < n; ++i) {
    Ref<_CacheEntry> e = make<_CacheEntry>();
    e->key = Number::withI64(i);
    e->value = Number::withI64(i * 2);
    if (c->tail) {
      e->previous = c->tail;
      c->tail->next = e;
    } else {
      c->head = e;
    }
    c->tail = e;
    if (keep && i % 1000 == 0) keep->push_back(e);
  }
  return c;
}

TEST(CacheTest, ReleasingALongListDoesNotRecurse) {
  std::vector<Ref<_CacheEntry>> kept;
  Ref<Cache> c = CacheWithList(1000000, &kept);
  Weak<Map> table = c->table;
  c.reset();
  EXPECT_TRUE(table.expired());
  for (const Ref<_CacheEntry>& e : kept) {
    EXPECT_EQ(e->next, nullptr);
    EXPECT_TRUE(e->previous.expired());
    EXPECT_NE(e->key, nullptr);  // payloads stay with the entry
  }
}

TEST(CacheTest, UnlinksAShortList) {
  std::vector<Ref<_CacheEntry>> kept;
  Ref<Cache> c = CacheWithList(1, &kept);
  Ref<Cache> d = CacheWithList(3);
  Weak<_CacheEntry> middle = d->head->next;
  c.reset();
  d.reset();
  EXPECT_EQ(kept[0]->next, nullptr);
  EXPECT_TRUE(middle.expired());
}

}  // namespace
}  // namespace quorl
