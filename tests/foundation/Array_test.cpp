// Array: growth, editing at the bounds, searching, new arrays, blocks and
// the quicksort (its exact order, and its depth on hostile input).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace quorl {
namespace {

Ref<String> S(const char* text) { return String::withCString(text); }

std::string Desc(const Ref<Array>& a) { return std::string(a->description()->view()); }

// The texts of an array of Strings (null entries as "-").
std::vector<std::string> Texts(const Ref<Array>& a) {
  std::vector<std::string> out;
  for (const Ref<Object>& o : *a) {
    auto s = cast<String>(o);
    out.push_back(s ? std::string(s->view()) : "-");
  }
  return out;
}

Ref<Array> Strings(std::initializer_list<const char*> texts) {
  Ref<Array> a = make<Array>();
  for (const char* t : texts) a->add(t ? Ref<Object>(S(t)) : nullptr);
  return a;
}

using V = std::vector<std::string>;

// -- Growth and description ---------------------------------------------------

TEST(ArrayTest, GrowthFromZeroIsEightThenDoubling) {
  Ref<Array> a = Array::withCapacity(0);
  EXPECT_EQ(a->capacity(), 0u);
  a->add(nullptr);
  EXPECT_EQ(a->capacity(), 8u);
  for (int i = 0; i < 7; ++i) a->add(nullptr);
  EXPECT_EQ(a->capacity(), 8u);
  a->add(nullptr);
  EXPECT_EQ(a->count(), 9u);
  EXPECT_EQ(a->capacity(), 16u);
}

TEST(ArrayTest, GrowthFromGivenCapacityDoubles) {
  Ref<Array> a = Array::withCapacity(5);
  for (int i = 0; i < 5; ++i) a->add(S("x"));
  EXPECT_EQ(a->capacity(), 5u);
  a->add(S("y"));
  EXPECT_EQ(a->capacity(), 10u);
  EXPECT_EQ(Texts(a), (V{"x", "x", "x", "x", "x", "y"}));
}

TEST(ArrayTest, Descriptions) {
  EXPECT_EQ(Desc(make<Array>()), "<Array>(0, 0)");
  Ref<Array> a = Strings({"a", "b", "c"});
  EXPECT_EQ(Desc(a), "<Array>(3, 8)");
  EXPECT_EQ(Desc(Array::withCapacity(300)), "<Array>(0, 300)");
  EXPECT_STREQ(a->classNameC(), "Array");
}

TEST(ArrayTest, DescriptionPrintsModulo65536) {
  Ref<Array> a = make<Array>();
  for (int i = 0; i < 65537; ++i) a->add(nullptr);
  EXPECT_EQ(a->capacity(), 131072u);
  EXPECT_EQ(Desc(a), "<Array>(1, 0)");
}

// -- Reading --------------------------------------------------------------------

TEST(ArrayTest, FirstLastAndNulls) {
  Ref<Array> a = make<Array>();
  EXPECT_EQ(a->first(), nullptr);
  EXPECT_EQ(a->last(), nullptr);
  a->add(nullptr);
  a->add(S("z"));
  EXPECT_EQ(a->first(), nullptr);
  EXPECT_EQ(cast<String>(a->last())->view(), "z");
  EXPECT_EQ(a->length(), 2u);
  EXPECT_FALSE(a->isEmpty());
}

TEST(ArrayTest, HoldsReferencesNotCopies) {
  Ref<String> s = S("shared");
  Ref<Array> a = make<Array>();
  a->add(s);
  EXPECT_EQ(a->get(0).get(), s.get());
  EXPECT_EQ(s.use_count(), 2);
  a->removeAll();
  EXPECT_EQ(s.use_count(), 1);
}

// -- Changing at the bounds -----------------------------------------------------

TEST(ArrayTest, InsertAtTheBounds) {
  Ref<Array> a = Strings({"a", "b"});
  a->insert(2, S("c"));
  EXPECT_EQ(Texts(a), (V{"a", "b", "c"}));
  a->insert(4, S("x"));
  EXPECT_EQ(Texts(a), (V{"a", "b", "c"}));
  a->insert(0, S("0"));
  a->insert(2, S("m"));
  EXPECT_EQ(Texts(a), (V{"0", "a", "m", "b", "c"}));
}

TEST(ArrayTest, SetAndReplaceIgnorePastTheEnd) {
  Ref<Array> a = Strings({"a", "b"});
  Ref<String> old = cast<String>(a->get(1));
  a->set(1, S("B"));
  a->replaceAt(0, S("A"));
  a->set(2, S("x"));
  a->replaceAt(7, S("y"));
  EXPECT_EQ(Texts(a), (V{"A", "B"}));
  EXPECT_EQ(old.use_count(), 1);  // the overwritten entry was released
}

TEST(ArrayTest, Removals) {
  Ref<Array> a = Strings({"a", "b", "c", "d", "e"});
  a->removeAt(5);
  a->removeAt(1);
  EXPECT_EQ(Texts(a), (V{"a", "c", "d", "e"}));
  a->removeFirst();
  a->removeLast();
  EXPECT_EQ(Texts(a), (V{"c", "d"}));
  a->removeAll();
  EXPECT_EQ(a->count(), 0u);
  EXPECT_EQ(a->capacity(), 8u);
  a->removeLast();  // nothing on an empty array
  a->removeFirst();
  EXPECT_EQ(a->count(), 0u);
}

TEST(ArrayTest, RemoveTakesOnlyTheFirstIdenticalEntry) {
  Ref<String> x = S("x");
  Ref<Array> a = make<Array>();
  a->add(S("x"));
  a->add(x);
  a->add(S("y"));
  a->add(x);
  EXPECT_TRUE(a->remove(x));
  ASSERT_EQ(a->count(), 3u);
  EXPECT_NE(a->get(0).get(), x.get());
  EXPECT_EQ(a->get(2).get(), x.get());
  EXPECT_FALSE(a->remove(S("y")));  // equal but not identical
  EXPECT_TRUE(a->removeEqual(S("y")));
  EXPECT_EQ(a->count(), 2u);
  // removeEqual takes the first equal entry: the String made inline above.
  EXPECT_TRUE(a->removeEqual(S("x")));
  EXPECT_EQ(a->get(0).get(), x.get());
  EXPECT_FALSE(a->removeEqual(nullptr));
}

TEST(ArrayTest, RemoveRangeClamps) {
  Ref<Array> a = Strings({"a", "b", "c", "d", "e"});
  a->removeRange(1, 100);
  EXPECT_EQ(Texts(a), (V{"a"}));
  a->removeRange(1, 1);
  a->removeRange(5, 1);
  EXPECT_EQ(Texts(a), (V{"a"}));
  Ref<Array> b = Strings({"a", "b", "c", "d", "e"});
  b->removeRange(1, 2);
  EXPECT_EQ(Texts(b), (V{"a", "d", "e"}));
  b->removeRange(0, 0);
  EXPECT_EQ(b->count(), 3u);
}

TEST(ArrayTest, InsertAllAndAddAll) {
  Ref<Array> a = Strings({"a", "d"});
  a->insertAll(1, Strings({"b", "c"}));
  EXPECT_EQ(Texts(a), (V{"a", "b", "c", "d"}));
  a->insertAll(99, Strings({"e"}));  // clamped to the end
  EXPECT_EQ(Texts(a), (V{"a", "b", "c", "d", "e"}));
  a->insertAll(0, nullptr);
  a->insertAll(0, make<Array>());
  EXPECT_EQ(a->count(), 5u);
  a->addAll(nullptr);
  a->addAll(Strings({"f", "g", "h", "i"}));
  EXPECT_EQ(a->count(), 9u);
  EXPECT_EQ(a->capacity(), 16u);  // as nine single adds
}

TEST(ArrayTest, OperationsWithItself) {
  Ref<Array> a = Strings({"a", "b", "c"});
  a->addAll(a);
  EXPECT_EQ(Texts(a), (V{"a", "b", "c", "a", "b", "c"}));
  Ref<Array> b = Strings({"a", "b"});
  b->insertAll(1, b);
  EXPECT_EQ(Texts(b), (V{"a", "a", "b", "b"}));
  Ref<Array> c = Strings({"a", "b", "c"});
  c->replaceRange(1, 1, c);
  EXPECT_EQ(Texts(c), (V{"a", "a", "b", "c", "c"}));
  c->setTo(c);
  EXPECT_EQ(c->count(), 5u);
}

TEST(ArrayTest, ReplaceRange) {
  Ref<Array> a = Strings({"a", "b", "c"});
  a->replaceRange(99, 0, Strings({"x", "y"}));
  EXPECT_EQ(Texts(a), (V{"a", "b", "c", "x", "y"}));
  a->replaceRange(1, 3, Strings({"Q"}));
  EXPECT_EQ(Texts(a), (V{"a", "Q", "y"}));
  a->replaceRange(0, 2, nullptr);  // only removes
  EXPECT_EQ(Texts(a), (V{"y"}));
}

TEST(ArrayTest, SetToReplacesEverything) {
  Ref<Array> a = Strings({"a", "b", "c"});
  a->setTo(Strings({"z"}));
  EXPECT_EQ(Texts(a), (V{"z"}));
  a->setTo(nullptr);
  EXPECT_EQ(a->count(), 0u);
}

TEST(ArrayTest, SwapAndReverse) {
  Ref<Array> a = Strings({"a", "b", "c", "d"});
  a->swapAt(0, 3);
  a->swapAt(1, 4);
  a->swapAt(2, 2);
  EXPECT_EQ(Texts(a), (V{"d", "b", "c", "a"}));
  a->reverse();
  EXPECT_EQ(Texts(a), (V{"a", "c", "b", "d"}));
  Ref<Array> odd = Strings({"1", "2", "3"});
  odd->reverse();
  EXPECT_EQ(Texts(odd), (V{"3", "2", "1"}));
}

// -- Searching ---------------------------------------------------------------------

TEST(ArrayTest, IdentityVersusEquality) {
  Ref<Array> a = Strings({"a", nullptr, "b"});
  Ref<String> b2 = S("b");
  EXPECT_EQ(a->indexOf(b2), kNotFound);
  EXPECT_EQ(a->indexOfEqual(b2), 2u);
  EXPECT_EQ(a->indexOf(a->get(2)), 2u);
  EXPECT_EQ(a->indexOf(nullptr), 1u);
  EXPECT_EQ(a->indexOfEqual(nullptr), kNotFound);
  EXPECT_TRUE(a->containsEqual(b2));
  EXPECT_FALSE(a->contains(b2));
  EXPECT_TRUE(a->contains(nullptr));
}

TEST(ArrayTest, IsEqualToArray) {
  Ref<Array> a = Strings({"a", nullptr, "c"});
  EXPECT_TRUE(a->isEqualToArray(a));
  EXPECT_TRUE(a->isEqualToArray(Strings({"a", nullptr, "c"})));
  EXPECT_FALSE(a->isEqualToArray(Strings({"a", "b", "c"})));
  EXPECT_FALSE(a->isEqualToArray(Strings({"a", nullptr})));
  EXPECT_FALSE(a->isEqualToArray(nullptr));
  EXPECT_TRUE(make<Array>()->isEqualToArray(make<Array>()));
  // Identity rules for the arrays themselves.
  EXPECT_FALSE(a->equals(Strings({"a", nullptr, "c"})));
  EXPECT_EQ(a->hash(), Object::hashAddress(a.get()));
}

// -- New arrays ------------------------------------------------------------------

TEST(ArrayTest, CopyCapacityFollowsSingleAdds) {
  EXPECT_EQ(make<Array>()->copy()->capacity(), 0u);
  Ref<Array> three = Array::withCapacity(3);
  for (int i = 0; i < 3; ++i) three->add(S("x"));
  Ref<Array> c = three->copy();
  EXPECT_EQ(c->capacity(), 8u);
  EXPECT_EQ(c->get(1).get(), three->get(1).get());
  Ref<Array> nine = make<Array>();
  for (int i = 0; i < 9; ++i) nine->add(nullptr);
  EXPECT_EQ(nine->copy()->capacity(), 16u);
}

TEST(ArrayTest, AddingSubarrayReversed) {
  Ref<Array> a = Strings({"a", "b", "c", "d", "e"});
  Ref<Array> b = a->adding(S("f"));
  EXPECT_EQ(b->capacity(), 6u);
  EXPECT_EQ(Texts(b), (V{"a", "b", "c", "d", "e", "f"}));
  EXPECT_EQ(a->count(), 5u);
  EXPECT_EQ(Texts(a->subarray(1, 2)), (V{"b", "c"}));
  EXPECT_EQ(Texts(a->subarray(3, 99)), (V{"d", "e"}));
  EXPECT_EQ(a->subarray(5, 1)->count(), 0u);
  Ref<Array> r = a->reversed();
  EXPECT_EQ(r->capacity(), 5u);
  EXPECT_EQ(Texts(r), (V{"e", "d", "c", "b", "a"}));
  EXPECT_EQ(r->get(0).get(), a->get(4).get());
}

TEST(ArrayTest, SortedCopies) {
  Ref<Array> a = Strings({"c", "a", "b"});
  Ref<Array> s = a->sorted();
  EXPECT_EQ(Texts(s), (V{"a", "b", "c"}));
  EXPECT_EQ(s->capacity(), 3u);
  EXPECT_EQ(Texts(a), (V{"c", "a", "b"}));
  // A first entry that is null makes `sort` refuse: the copy stays unsorted.
  Ref<Array> n = Strings({nullptr, "b", "a"});
  EXPECT_EQ(Texts(n->sorted()), (V{"-", "b", "a"}));
}

// A block owner kept alive for the length of a test.
struct Blocks {
  Ref<Object> owner = make<Object>();

  ArrayPredicate pred(std::function<bool(const Ref<Object>&)> f) {
    return {owner, [f](const Ref<Object>&, const Ref<Object>& e) { return f(e); }};
  }
  ArrayComparison cmp(std::function<int8_t(const Ref<Object>&, const Ref<Object>&)> f) {
    return {owner, [f](const Ref<Object>&, const Ref<Object>& a, const Ref<Object>& b) { return f(a, b); }};
  }
};

bool StartsWithA(const Ref<Object>& e) {
  auto s = cast<String>(e);
  return s && s->byteLength() > 0 && s->byteAt(0) == 'a';
}

TEST(ArrayTest, FilteredAndMapped) {
  Blocks blocks;
  Ref<Array> a = Strings({"ab", "b", nullptr, "ac"});
  Ref<Array> f = a->filtered(blocks.pred(StartsWithA));
  EXPECT_EQ(Texts(f), (V{"ab", "ac"}));
  EXPECT_EQ(f->capacity(), 8u);
  EXPECT_EQ(f->get(1).get(), a->get(3).get());

  ArrayMapper upper{blocks.owner, [](const Ref<Object>&, const Ref<Object>& e) -> Ref<Object> {
                      auto s = cast<String>(e);
                      return s ? s->uppercased() : nullptr;
                    }};
  Ref<Array> m = a->mapped(upper);
  EXPECT_EQ(Texts(m), (V{"AB", "B", "AC"}));  // the null result is left out
  EXPECT_EQ(m->capacity(), 4u);

  Ref<Array> none = a->filtered(ArrayPredicate{});
  EXPECT_EQ(none->count(), 0u);
  EXPECT_EQ(a->mapped(ArrayMapper{})->count(), 0u);
}

TEST(ArrayTest, BlockWithDeadTargetIsAbsent) {
  Ref<Array> a = Strings({"a", "b"});
  int calls = 0;
  ArrayPredicate p;
  {
    Ref<Object> owner = make<Object>();
    p = {owner, [&](const Ref<Object>&, const Ref<Object>&) { return ++calls, true; }};
    EXPECT_EQ(a->countWhere(p), 2u);
  }
  EXPECT_EQ(a->countWhere(p), 0u);
  EXPECT_FALSE(a->anySatisfy(p));
  EXPECT_FALSE(a->allSatisfy(p));
  EXPECT_EQ(a->indexWhere(p), kNotFound);
  EXPECT_EQ(a->firstWhere(p), nullptr);
  EXPECT_EQ(a->filtered(p)->count(), 0u);
  EXPECT_EQ(calls, 2);
}

TEST(ArrayTest, BlockQueries) {
  Blocks blocks;
  Ref<Array> a = Strings({"b", "ab", "c", "ad"});
  EXPECT_EQ(a->indexWhere(blocks.pred(StartsWithA)), 1u);
  EXPECT_EQ(a->firstWhere(blocks.pred(StartsWithA)).get(), a->get(1).get());
  EXPECT_EQ(a->countWhere(blocks.pred(StartsWithA)), 2u);
  EXPECT_TRUE(a->anySatisfy(blocks.pred(StartsWithA)));
  EXPECT_FALSE(a->allSatisfy(blocks.pred(StartsWithA)));
  EXPECT_EQ(a->firstWhere(blocks.pred([](const Ref<Object>&) { return false; })), nullptr);

  Ref<Array> empty = make<Array>();
  EXPECT_TRUE(empty->allSatisfy(blocks.pred(StartsWithA)));
  EXPECT_FALSE(empty->anySatisfy(blocks.pred(StartsWithA)));
  EXPECT_FALSE(empty->allSatisfy(ArrayPredicate{}));
  EXPECT_FALSE(empty->anySatisfy(ArrayPredicate{}));

  std::vector<std::string> seen;
  ArrayVisitor visit{blocks.owner, [&](const Ref<Object>&, const Ref<Object>& e) {
                       seen.push_back(std::string(cast<String>(e)->view()));
                     }};
  a->forEach(visit);
  EXPECT_EQ(seen, (V{"b", "ab", "c", "ad"}));
  a->forEach(ArrayVisitor{});
  EXPECT_EQ(seen.size(), 4u);
}

TEST(ArrayTest, ForEachSurvivesABlockThatEmptiesTheArray) {
  Blocks blocks;
  Ref<Array> a = Strings({"a", "b", "c"});
  int calls = 0;
  ArrayVisitor visit{blocks.owner, [&](const Ref<Object>&, const Ref<Object>& e) {
                       ++calls;
                       a->removeAll();
                       EXPECT_EQ(cast<String>(e)->view(), "a");  // still alive
                     }};
  a->forEach(visit);
  EXPECT_EQ(calls, 1);
}

int8_t ByText(const Ref<Object>& a, const Ref<Object>& b) {
  return cast<String>(a)->compare(cast<String>(b));
}

TEST(ArrayTest, IsSortedUsing) {
  Blocks blocks;
  EXPECT_TRUE(Strings({"a", "a", "b"})->isSortedUsing(blocks.cmp(ByText)));
  EXPECT_FALSE(Strings({"a", "c", "b"})->isSortedUsing(blocks.cmp(ByText)));
  EXPECT_TRUE(Strings({"z"})->isSortedUsing(blocks.cmp(ByText)));
  EXPECT_TRUE(make<Array>()->isSortedUsing(blocks.cmp(ByText)));
  EXPECT_FALSE(make<Array>()->isSortedUsing(ArrayComparison{}));
}

// -- Natural sort --------------------------------------------------------------------

TEST(ArrayTest, SortByCompare) {
  Ref<Array> a = Strings({"b", "a", "c"});
  EXPECT_TRUE(a->sort());
  EXPECT_EQ(Texts(a), (V{"a", "b", "c"}));

  Ref<Array> nullFirst = Strings({nullptr, "a"});
  EXPECT_FALSE(nullFirst->sort());
  EXPECT_EQ(Texts(nullFirst), (V{"-", "a"}));

  Ref<Array> nullLast = Strings({"a", nullptr});
  EXPECT_TRUE(nullLast->sort());
  EXPECT_EQ(Texts(nullLast), (V{"-", "a"}));

  Ref<Array> arrays = make<Array>();
  arrays->add(Strings({"x"}));
  arrays->add(Strings({"y"}));
  Ref<Object> first = arrays->get(0);
  EXPECT_FALSE(arrays->sort());
  EXPECT_EQ(arrays->get(0).get(), first.get());

  EXPECT_TRUE(make<Array>()->sort());
  EXPECT_TRUE(Strings({nullptr})->sort());  // fewer than two entries
}

TEST(ArrayTest, SortNumbersAndData) {
  Ref<Array> n = make<Array>();
  for (int64_t v : {5, -3, 12, 0, -3}) n->add(Number::withI64(v));
  EXPECT_TRUE(n->sort());
  std::vector<int64_t> got;
  for (const Ref<Object>& o : *n) got.push_back(cast<Number>(o)->integerValue());
  EXPECT_EQ(got, (std::vector<int64_t>{-3, -3, 0, 5, 12}));

  Ref<Array> d = make<Array>();
  d->add(Data::withBytes("\x80", 1));
  d->add(Data::withBytes("\x7f", 1));
  d->add(Data::withBytes("ab\0", 3));
  d->add(Data::withBytes("ab", 2));
  EXPECT_TRUE(d->sort());
  EXPECT_EQ(cast<Data>(d->get(0))->hexString()->view(), "6162");
  EXPECT_EQ(cast<Data>(d->get(1))->hexString()->view(), "616200");
  EXPECT_EQ(cast<Data>(d->get(2))->hexString()->view(), "7f");
  EXPECT_EQ(cast<Data>(d->get(3))->hexString()->view(), "80");
}

// The algorithm as it has always been written: plain recursion, left side
// first. It is the reference for the order the sort produces.
template <class Compare>
void ReferenceSort(std::vector<Ref<Object>>& a, int64_t lo, int64_t hi, const Compare& compare,
                   uint32_t depth = 1, uint32_t* maxDepth = nullptr) {
  if (maxDepth) *maxDepth = std::max(*maxDepth, depth);
  if (lo >= hi) return;
  int64_t i = lo;
  for (int64_t j = lo; j < hi; ++j) {
    if (compare(a[j], a[hi]) <= 0) {
      std::swap(a[i], a[j]);
      ++i;
    }
  }
  std::swap(a[i], a[hi]);
  if (i > lo) ReferenceSort(a, lo, i - 1, compare, depth + 1, maxDepth);
  ReferenceSort(a, i + 1, hi, compare, depth + 1, maxDepth);
}

int NaturalCompare(const Ref<Object>& a, const Ref<Object>& b) {
  if (!a) return b ? -1 : 0;
  if (!b) return 1;
  if (!a->hasCompare()) return 0;
  return a->compare(b);
}

std::vector<Ref<Object>> Entries(const Ref<Array>& a) { return {a->begin(), a->end()}; }

// Distinct objects with few distinct keys, so equal entries are many and
// their final order shows every step of the partition. Some inputs carry
// sorted and reversed runs, which the sort treats specially.
std::vector<int> Keys(std::mt19937& rng, uint32_t n, int shape) {
  std::vector<int> keys(n);
  std::uniform_int_distribution<int> small(0, 9);
  for (int& k : keys) k = small(rng);
  if (shape == 1) std::sort(keys.begin(), keys.begin() + n / 2);
  if (shape == 2) std::sort(keys.rbegin(), keys.rbegin() + n / 3);
  if (shape == 3) std::sort(keys.begin(), keys.end());
  return keys;
}

TEST(ArraySortTest, StringOrderMatchesTheReferenceExactly) {
  std::mt19937 rng(7);
  for (int round = 0; round < 60; ++round) {
    uint32_t n = 1 + rng() % 300;
    Ref<Array> a = make<Array>();
    for (int k : Keys(rng, n, round % 4)) {
      char text[2] = {static_cast<char>('a' + k), 0};
      a->add(rng() % 17 == 0 ? nullptr : Ref<Object>(S(text)));
    }
    if (!a->get(0)) a->set(0, S("q"));
    std::vector<Ref<Object>> expected = Entries(a);
    ReferenceSort(expected, 0, static_cast<int64_t>(n) - 1, NaturalCompare);
    ASSERT_TRUE(a->sort());
    ASSERT_EQ(Entries(a), expected) << "round " << round;
  }
}

TEST(ArraySortTest, MixedClassesMatchTheReferenceExactly) {
  // Strings and Numbers compare 0 with each other: no consistent order, so
  // only the plain algorithm's steps decide.
  std::mt19937 rng(11);
  for (int round = 0; round < 40; ++round) {
    uint32_t n = 2 + rng() % 200;
    Ref<Array> a = make<Array>();
    for (int k : Keys(rng, n, round % 4)) {
      if (rng() % 2)
        a->add(Number::withDouble(k == 0 ? std::nan("") : k));
      else
        a->add(S(std::to_string(k).c_str()));
    }
    std::vector<Ref<Object>> expected = Entries(a);
    ReferenceSort(expected, 0, static_cast<int64_t>(n) - 1, NaturalCompare);
    ASSERT_TRUE(a->sort());
    ASSERT_EQ(Entries(a), expected) << "round " << round;
  }
}

TEST(ArraySortTest, BlockOrderMatchesTheReferenceExactly) {
  Blocks blocks;
  std::mt19937 rng(3);
  // Keys in Strings, compared on their first byte only: ties everywhere.
  auto byFirst = [](const Ref<Object>& a, const Ref<Object>& b) -> int8_t {
    uint8_t x = cast<String>(a)->byteAt(0), y = cast<String>(b)->byteAt(0);
    return x < y ? -1 : x > y ? 1 : 0;
  };
  for (int round = 0; round < 60; ++round) {
    uint32_t n = 1 + rng() % 400;
    Ref<Array> a = make<Array>();
    for (int k : Keys(rng, n, round % 4)) {
      char text[3] = {static_cast<char>('a' + k), static_cast<char>('a' + rng() % 26), 0};
      a->add(S(text));
    }
    std::vector<Ref<Object>> expected = Entries(a);
    ReferenceSort(expected, 0, static_cast<int64_t>(n) - 1, byFirst);
    Ref<Array> copy = a->sortedUsing(blocks.cmp(byFirst));
    a->sortUsing(blocks.cmp(byFirst));
    ASSERT_EQ(Entries(a), expected) << "round " << round;
    ASSERT_EQ(Entries(copy), expected) << "round " << round;
  }
}

TEST(ArraySortTest, AbsentComparisonLeavesTheArray) {
  Ref<Array> a = Strings({"b", "a"});
  a->sortUsing(ArrayComparison{});
  EXPECT_EQ(Texts(a), (V{"b", "a"}));
  EXPECT_EQ(Texts(a->sortedUsing(ArrayComparison{})), (V{"b", "a"}));
}

TEST(ArraySortTest, MillionSortedEntries) {
  const uint32_t n = 1000000;
  Ref<Array> a = Array::withCapacity(n);
  for (uint32_t i = 0; i < n; ++i) a->add(Number::withI64(1000 + i));
  std::vector<Ref<Object>> before = Entries(a);
  ASSERT_TRUE(a->sort());
  EXPECT_EQ(Entries(a), before);

  Blocks blocks;
  auto byValue = [](const Ref<Object>& x, const Ref<Object>& y) -> int8_t {
    return cast<Number>(x)->compare(*cast<Number>(y));
  };
  a->sortUsing(blocks.cmp(byValue), ArrayOrdering::consistent);
  EXPECT_EQ(Entries(a), before);

  // All equal: the same, one object a million times.
  Ref<Array> same = Array::withCapacity(n);
  Ref<String> s = S("same");
  for (uint32_t i = 0; i < n; ++i) same->add(s);
  ASSERT_TRUE(same->sort());
  EXPECT_EQ(same->count(), n);
}

// Comparisons that are no consistent order, on input that each of them
// finds in order pair by pair at first: the sort must make the algorithm's
// own comparisons in its own order and end where the algorithm ends. A
// consistent ordering promised by the caller gives the algorithm's order too.
TEST(ArraySortTest, InconsistentComparisonsGetTheAlgorithmsOrder) {
  using Comparison = std::function<int8_t(const Ref<Object>&, const Ref<Object>&)>;
  auto key = [](const Ref<Object>& o) { return cast<String>(o)->byteAt(0) - '0'; };
  // Each entry is a key digit and a letter that tells equal keys apart.
  auto entries = [](const std::string& digits) {
    Ref<Array> a = make<Array>();
    for (size_t i = 0; i < digits.size(); ++i) {
      char text[3] = {digits[i], static_cast<char>('a' + i % 26), 0};
      a->add(S(text));
    }
    return a;
  };
  // 0 < 1 < 2 < 0: every neighbour of 0120120... is in order, no order holds.
  auto cyclic = [key](uint32_t*) -> Comparison {
    return [key](const Ref<Object>& a, const Ref<Object>& b) -> int8_t {
      int x = key(a), y = key(b);
      return x == y ? 0 : (y - x + 3) % 3 == 1 ? -1 : 1;
    };
  };
  // Answers "before" to its first `honest` questions, then by its count of
  // calls alone: right only if every call comes in the algorithm's order.
  auto counting = [](uint32_t* calls) -> Comparison {
    return [calls](const Ref<Object>&, const Ref<Object>&) -> int8_t {
      uint32_t n = (*calls)++;
      return n < 39 ? -1 : static_cast<int8_t>((n * 2654435761u >> 13) % 3) - 1;
    };
  };
  auto byKey = [key](uint32_t*) -> Comparison {
    return [key](const Ref<Object>& a, const Ref<Object>& b) -> int8_t { return key(a) - key(b); };
  };
  struct Case {
    const char* name;
    std::string digits;
    std::function<Comparison(uint32_t*)> make;
    ArrayOrdering ordering;
    bool changes;  // the algorithm does not leave the input as it is
  };
  const Case cases[] = {
      {"cyclic", "0120120120120120120120120", cyclic, ArrayOrdering::unknown, true},
      {"counting", "3141592653589793238462643", counting, ArrayOrdering::unknown, true},
      {"counting, sorted", "0000111122223333444455556", counting, ArrayOrdering::unknown, true},
      {"by key, promised", "3141592653589793238462643", byKey, ArrayOrdering::consistent, true},
      {"by key, sorted, promised", "0000111122223333444455556", byKey, ArrayOrdering::consistent, false},
  };
  Blocks blocks;
  for (const Case& c : cases) {
    Ref<Array> a = entries(c.digits);
    std::vector<Ref<Object>> reference = Entries(a);
    uint32_t calls = 0;
    ReferenceSort(reference, 0, static_cast<int64_t>(reference.size()) - 1, c.make(&calls));
    V expected;
    for (const Ref<Object>& o : reference) expected.push_back(std::string(cast<String>(o)->view()));
    EXPECT_EQ(expected != Texts(a), c.changes) << c.name;

    calls = 0;
    a->sortUsing(blocks.cmp(c.make(&calls)), c.ordering);
    EXPECT_EQ(Texts(a), expected) << c.name;
    calls = 0;
    EXPECT_EQ(Texts(entries(c.digits)->sortedUsing(blocks.cmp(c.make(&calls)), c.ordering)), expected) << c.name;
  }
}

// A value that measures how deep the stack is whenever it is compared; its
// class is none of the value classes, so the natural sort runs the plain
// partition steps on it without any shortcut.
class Probe : public Object {
 public:
  explicit Probe(int v) : value(v) {}
  bool hasCompare() const override { return true; }
  int8_t compare(Ptr<const Object> other) const override {
    Note();
    int w = static_cast<const Probe*>(other.get())->value;
    return value < w ? -1 : value > w ? 1 : 0;
  }
  static void Note() {
    auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    lowest = std::min(lowest, here);
  }
  int value;
  static inline uintptr_t lowest = UINTPTR_MAX;
};

// Stack bytes used below the caller's frame while `sort` runs.
[[gnu::noinline]] uintptr_t StackUsedBySort(const Ref<Array>& a) {
  auto base = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  Probe::lowest = UINTPTR_MAX;
  a->sort();
  return base - Probe::lowest;
}

// n, n-2, ... then ... n-3, n-1: each partition's pivot is the second
// largest entry of its range, so the left side keeps all but two entries
// and the right side keeps one; the plain algorithm recurses into the left
// side n/2 times before it can return.
std::vector<int> OrganPipe(int n) {
  std::vector<int> front, back;
  for (int k = n; k >= 1; k -= 2) {
    front.push_back(k);
    if (k > 1) back.insert(back.begin(), k - 1);
  }
  front.insert(front.end(), back.begin(), back.end());
  return front;
}

TEST(ArraySortTest, RecursionStaysShallowOnHostileInput) {
  EXPECT_EQ(OrganPipe(6), (std::vector<int>{6, 4, 2, 1, 3, 5}));
  const int n = 6000;
  // Descending, ascending but for a smallest last entry, and organ pipes.
  for (int shape = 0; shape < 3; ++shape) {
    std::vector<int> values = OrganPipe(n);
    if (shape < 2)
      for (int i = 0; i < n; ++i) values[i] = shape == 0 ? n - i : (i == n - 1 ? -1 : i);
    Ref<Array> a = Array::withCapacity(n);
    for (int v : values) a->add(make<Probe>(v));
    std::vector<Ref<Object>> expected = Entries(a);
    uint32_t referenceDepth = 0;
    ReferenceSort(expected, 0, n - 1, NaturalCompare, 1, &referenceDepth);
    EXPECT_GE(referenceDepth, static_cast<uint32_t>(n) / 2);

    uintptr_t used = StackUsedBySort(a);
    EXPECT_EQ(Entries(a), expected);
    for (int i = 0; i < n; ++i)
      ASSERT_EQ(static_cast<const Probe*>(a->get(i).get())->value, shape == 1 ? i - 1 : i + 1) << "shape " << shape;
    // A frame per level would be hundreds of kilobytes.
    EXPECT_LT(used, 32u * 1024u) << "shape " << shape;
  }
}

}  // namespace
}  // namespace quorl
