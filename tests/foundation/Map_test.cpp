// Map: table growth, insertion order through removals, tombstones, keys by
// value and by identity, copies, and a slot-by-slot check against the table
// algorithm written out plainly.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Map.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace quorl {
namespace {

Ref<String> S(const char* text) { return String::withCString(text); }
Ref<String> S(const std::string& text) { return String::withBytes(text.data(), static_cast<uint32_t>(text.size())); }

std::string Desc(const Ref<Map>& m) { return std::string(m->description()->view()); }

std::vector<std::string> KeyTexts(const Ref<Map>& m) {
  std::vector<std::string> out;
  Ref<Array> keys = m->allKeys();
  for (const Ref<Object>& k : *keys) out.push_back(std::string(cast<String>(k)->view()));
  return out;
}

using V = std::vector<std::string>;

// A key with a chosen hash and equality by value, to place entries on a
// chosen probe path.
class Key : public Object {
 public:
  Key(int value, uint32_t hash) : value(value), hashValue(hash) {}
  bool equals(Ptr<const Object> other) const override {
    auto k = dynamic_cast<const Key*>(other.get());
    return k && k->value == value;
  }
  uint32_t hash() const override { return hashValue; }
  int value;
  uint32_t hashValue;
};

// -- Growth and description ----------------------------------------------------

TEST(MapTest, NewMapHasNoTable) {
  Ref<Map> m = make<Map>();
  EXPECT_EQ(m->capacity(), 0u);
  EXPECT_EQ(Desc(m), "<Map>(0, 0)");
  EXPECT_EQ(m->get(S("a")), nullptr);
  EXPECT_EQ(m->get("a"), nullptr);
  EXPECT_EQ(m->_findSlot(S("a")), kNotFound);
  m->remove(S("a"));
  m->removeAll();
  EXPECT_EQ(m->capacity(), 0u);
  EXPECT_STREQ(m->classNameC(), "Map");
}

TEST(MapTest, FirstSetMakesSixteenSlots) {
  Ref<Map> m = make<Map>();
  m->set(S("a"), S("1"));
  EXPECT_EQ(m->capacity(), 16u);
  EXPECT_EQ(Desc(m), "<Map>(1, 16)");
}

TEST(MapTest, TwelveFitAndTheThirteenthSetDoubles) {
  for (bool existing : {false, true}) {
    Ref<Map> m = make<Map>();
    for (int i = 0; i < 12; ++i) m->set(S(std::to_string(i)), nullptr);
    EXPECT_EQ(m->capacity(), 16u);
    // The test comes before the lookup: an existing key doubles it too.
    m->set(S(existing ? "3" : "new"), nullptr);
    EXPECT_EQ(m->capacity(), 32u);
    EXPECT_EQ(m->count(), existing ? 12u : 13u);
  }
}

TEST(MapTest, DescriptionPrintsModulo65536) {
  Ref<Map> m = make<Map>();
  for (int i = 0; i < 65537; ++i) m->set(Number::withI64(i), nullptr);
  EXPECT_EQ(m->capacity(), 131072u);
  EXPECT_EQ(Desc(m), "<Map>(1, 0)");
}

// -- Order ------------------------------------------------------------------------

TEST(MapTest, ReplacingKeepsThePlaceRemovingMovesToTheEnd) {
  Ref<Map> m = make<Map>();
  m->set(S("a"), S("1"));
  m->set(S("b"), S("2"));
  m->set(S("c"), S("3"));
  m->set(S("a"), S("9"));
  EXPECT_EQ(KeyTexts(m), (V{"a", "b", "c"}));
  EXPECT_EQ(cast<String>(m->get("a"))->view(), "9");
  m->remove(S("a"));
  m->set(S("a"), S("10"));
  EXPECT_EQ(KeyTexts(m), (V{"b", "c", "a"}));
}

TEST(MapTest, RemovingTheMiddleKey) {
  Ref<Map> m = make<Map>();
  m->set(S("a"), S("1"));
  m->set(S("b"), S("2"));
  m->set(S("c"), S("3"));
  m->remove(S("b"));
  EXPECT_EQ(KeyTexts(m), (V{"a", "c"}));
  EXPECT_EQ(m->count(), 2u);
  EXPECT_EQ(m->enumAt(2), nullptr);
  EXPECT_EQ(cast<String>(m->enumAt(1))->view(), "c");
  EXPECT_EQ(cast<String>(m->valueAt(1))->view(), "3");
  EXPECT_EQ(m->valueAt(2), nullptr);
  Ref<Array> values = m->allValues();
  ASSERT_EQ(values->count(), 2u);
  EXPECT_EQ(cast<String>(values->get(0))->view(), "1");
  m->remove(S("zz"));  // absent: nothing
  EXPECT_EQ(m->count(), 2u);
}

TEST(MapTest, OrderSurvivesRemovalsAndGrowth) {
  Ref<Map> m = make<Map>();
  std::vector<std::string> expected;
  for (int i = 0; i < 40; ++i) {
    m->set(S("k" + std::to_string(i)), Number::withI64(i));
    expected.push_back("k" + std::to_string(i));
  }
  for (int i = 0; i < 40; i += 3) {
    m->remove(S("k" + std::to_string(i)));
    std::erase(expected, "k" + std::to_string(i));
  }
  for (int i = 0; i < 60; i += 4) {  // some back again, some new
    std::string k = "k" + std::to_string(i);
    if (!m->containsKey(S(k))) expected.push_back(k);
    m->set(S(k), Number::withI64(-i));
  }
  EXPECT_EQ(KeyTexts(m), expected);
  EXPECT_EQ(m->count(), expected.size());
  for (uint32_t i = 0; i < m->count(); ++i)
    EXPECT_EQ(m->get(m->enumAt(i)).get(), m->valueAt(i).get());
}

// -- Tombstones -------------------------------------------------------------------

TEST(MapTest, TombstoneIsReusedAndWalkedPast) {
  Ref<Map> m = make<Map>();
  auto k1 = make<Key>(1, 5), k2 = make<Key>(2, 5), k3 = make<Key>(3, 5), k4 = make<Key>(4, 5);
  m->set(k1, S("1"));
  m->set(k2, S("2"));
  m->set(k3, S("3"));
  EXPECT_EQ(m->_findSlot(k1), 5u);
  EXPECT_EQ(m->_findSlot(k3), 7u);
  m->remove(k1);
  m->remove(k2);
  EXPECT_EQ(m->_readKey(5).get(), Map::_tombstone().get());
  EXPECT_EQ(m->_readVal(5), nullptr);
  // The lookup walks past both tombstones to the key behind them.
  EXPECT_EQ(cast<String>(m->get(k3))->view(), "3");
  EXPECT_EQ(m->_findSlot(k3), 7u);
  // A new key takes the first tombstone of its path.
  EXPECT_EQ(m->_findSlot(k4), 5u);
  m->set(k4, S("4"));
  EXPECT_EQ(m->_readKey(5).get(), k4.get());
  EXPECT_EQ(m->_findSlot(make<Key>(9, 5)), 6u);
  // A key on another path ends at its own empty slot.
  EXPECT_EQ(m->_findSlot(make<Key>(9, 0x20)), 0u);
  // Removing an absent key, or one whose path holds only tombstones, does
  // nothing.
  m->remove(k2);
  EXPECT_EQ(m->count(), 2u);
}

TEST(MapTest, RemoveAllKeepsTableAndTombstones) {
  Ref<Map> m = make<Map>();
  auto k1 = make<Key>(1, 3), k2 = make<Key>(2, 3);
  Ref<String> value = S("v");
  m->set(k1, value);
  m->set(k2, value);
  m->remove(k1);
  m->removeAll();
  EXPECT_EQ(m->count(), 0u);
  EXPECT_EQ(m->capacity(), 16u);
  EXPECT_EQ(m->_readKey(3).get(), Map::_tombstone().get());
  EXPECT_EQ(m->_readKey(4), nullptr);
  EXPECT_EQ(value.use_count(), 1);  // every value released
  EXPECT_EQ(k2.use_count(), 1);
  m->set(k2, value);
  EXPECT_EQ(m->capacity(), 16u);
  EXPECT_EQ(m->_findSlot(k2), 3u);  // into the old tombstone
}

TEST(MapTest, GrowthDropsTombstonesAndKeepsOrder) {
  Ref<Map> m = make<Map>();
  for (int i = 0; i < 12; ++i) m->set(make<Key>(i, 7), Number::withI64(i));
  for (int i = 0; i < 12; i += 2) m->remove(make<Key>(i, 7));
  m->_resize(32);
  EXPECT_EQ(m->capacity(), 32u);
  for (uint32_t s = 0; s < 32; ++s) EXPECT_NE(m->_readKey(s).get(), Map::_tombstone().get());
  // Insertion order decides the slots: 1, 3, 5... from slot 7 on.
  for (uint32_t i = 0; i < m->count(); ++i) {
    EXPECT_EQ(m->_orderAt(i), 7 + i);
    EXPECT_EQ(static_cast<const Key*>(m->enumAt(i).get())->value, static_cast<int>(2 * i + 1));
  }
}

// -- Keys ----------------------------------------------------------------------------

TEST(MapTest, NoneValues) {
  Ref<Map> m = make<Map>();
  m->set(S("k"), nullptr);
  EXPECT_TRUE(m->containsKey(S("k")));
  EXPECT_FALSE(m->contains(S("k")));
  EXPECT_EQ(m->getOrDefault(S("k"), S("fallback")), nullptr);
  EXPECT_EQ(cast<String>(m->getOrDefault(S("x"), S("fallback")))->view(), "fallback");
  Ref<Array> values = m->allValues();
  ASSERT_EQ(values->count(), 1u);
  EXPECT_EQ(values->get(0), nullptr);
}

TEST(MapTest, EqualStringsAreOneKeyAndTheLastKeyIsStored) {
  Ref<Map> m = make<Map>();
  Ref<String> first = S("name"), second = S("name");
  m->set(first, S("1"));
  m->set(second, S("2"));
  EXPECT_EQ(m->count(), 1u);
  EXPECT_EQ(m->enumAt(0).get(), second.get());
  EXPECT_EQ(first.use_count(), 1);
  EXPECT_EQ(cast<String>(m->get(S("name")))->view(), "2");
}

TEST(MapTest, SettingTheSameObjectsAgainKeepsThemAlive) {
  Ref<Map> m = make<Map>();
  m->set(S("k"), S("v"));
  Ref<Object> key = m->enumAt(0), value = m->valueAt(0);
  Object* k = key.get();
  Object* v = value.get();
  m->set(std::move(key), std::move(value));
  EXPECT_EQ(m->enumAt(0).get(), k);
  EXPECT_EQ(cast<String>(m->valueAt(0))->view(), "v");
  EXPECT_EQ(m->valueAt(0).get(), v);
}

TEST(MapTest, KeysByValueAndByIdentity) {
  Ref<Map> m = make<Map>();
  m->set(Number::withI64(1), S("int"));
  m->set(Number::withDouble(1.0), S("double"));  // equal to the integer 1
  EXPECT_EQ(m->count(), 1u);
  m->set(Data::withBytes("ab", 2), S("data"));
  EXPECT_EQ(cast<String>(m->get(Data::withBytes("ab", 2)))->view(), "data");
  Ref<Object> o1 = make<Object>(), o2 = make<Object>();
  m->set(o1, S("o1"));
  m->set(o2, S("o2"));
  EXPECT_EQ(m->count(), 4u);
  EXPECT_EQ(cast<String>(m->get(o1))->view(), "o1");
  EXPECT_EQ(m->get(make<Object>()), nullptr);
}

TEST(MapTest, StringLookupsWithoutAString) {
  Ref<Map> m = make<Map>();
  m->set("alpha", S("A"));
  m->set(S(std::string("n\0l", 3)), S("NUL"));
  m->set(S(""), S("empty"));
  EXPECT_EQ(cast<String>(m->get("alpha"))->view(), "A");
  EXPECT_EQ(cast<String>(m->get(S("alpha")))->view(), "A");
  EXPECT_EQ(cast<String>(m->get(std::string_view("n\0l", 3)))->view(), "NUL");
  EXPECT_EQ(m->get("n"), nullptr);
  EXPECT_EQ(cast<String>(m->get(""))->view(), "empty");
  EXPECT_EQ(m->get("alph"), nullptr);
  EXPECT_EQ(m->get(static_cast<const char*>(nullptr)), nullptr);
  // A Data with the same bytes has the same hash but is not a String key.
  Ref<Map> d = make<Map>();
  d->set(Data::withBytes("abc", 3), S("data"));
  ASSERT_EQ(Data::withBytes("abc", 3)->hash(), S("abc")->hash());
  EXPECT_EQ(d->get("abc"), nullptr);
  EXPECT_EQ(d->get(S("abc")), nullptr);
}

// -- Copy -----------------------------------------------------------------------------

TEST(MapTest, CopyIsShallowInOrderWithoutTombstones) {
  Ref<Map> m = make<Map>();
  for (int i = 0; i < 20; ++i) m->set(S("k" + std::to_string(i)), Number::withI64(1000 + i));
  for (int i = 0; i < 7; ++i) m->remove(S("k" + std::to_string(i * 2)));
  ASSERT_EQ(m->count(), 13u);
  EXPECT_EQ(m->capacity(), 32u);
  Ref<Map> c = m->copy();
  EXPECT_EQ(KeyTexts(c), KeyTexts(m));
  for (uint32_t i = 0; i < m->count(); ++i) {
    EXPECT_EQ(c->enumAt(i).get(), m->enumAt(i).get());
    EXPECT_EQ(c->valueAt(i).get(), m->valueAt(i).get());
  }
  // 16 for 13 entries, doubled by its own thirteenth set.
  EXPECT_EQ(c->capacity(), 32u);
  for (uint32_t s = 0; s < c->capacity(); ++s) EXPECT_NE(c->_readKey(s).get(), Map::_tombstone().get());

  for (int i = 7; i < 20; i += 13) m->remove(S("k" + std::to_string(i)));
  ASSERT_EQ(m->count(), 12u);
  EXPECT_EQ(m->copy()->capacity(), 16u);
  EXPECT_EQ(Desc(make<Map>()->copy()), "<Map>(0, 16)");
  Ref<Object> viaProtocol = static_cast<const Copying&>(*m).copyObject();
  EXPECT_EQ(cast<Map>(viaProtocol)->count(), 12u);
}

// -- The table algorithm, written out plainly -------------------------------------------

// Every step as the map has always done it: `equals` asked of every live key
// on the probe path, hashes computed afresh on every resize.
struct PlainMap {
  enum State : uint8_t { kEmpty, kTomb, kLive };
  std::vector<Ref<Object>> keys, values;
  std::vector<State> state;
  std::vector<uint32_t> order;
  uint32_t count = 0, capacity = 0;

  void growTo(uint32_t n) {
    if (capacity) return;
    capacity = 16;
    while (capacity < n) capacity *= 2;
    keys.assign(capacity, nullptr);
    values.assign(capacity, nullptr);
    state.assign(capacity, kEmpty);
    order.assign(capacity, 0);
  }
  uint32_t find(const Ref<Object>& key) const {
    if (!capacity) return kNotFound;
    uint32_t h = key->hash(), tomb = kNotFound;
    for (uint32_t i = 0; i < capacity; ++i) {
      uint32_t s = ((h & (capacity - 1)) + i) & (capacity - 1);
      if (state[s] == kEmpty) return tomb != kNotFound ? tomb : s;
      if (state[s] == kTomb) {
        if (tomb == kNotFound) tomb = s;
      } else if (key->equals(keys[s])) {
        return s;
      }
    }
    return tomb;
  }
  void resize(uint32_t n) {
    std::vector<Ref<Object>> k(n), v(n);
    std::vector<State> st(n, kEmpty);
    std::vector<uint32_t> o(n, 0);
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t from = order[i], h = keys[from]->hash();
      for (uint32_t j = 0;; ++j) {
        uint32_t s = ((h & (n - 1)) + j) & (n - 1);
        if (st[s] != kEmpty) continue;
        k[s] = keys[from];
        v[s] = values[from];
        st[s] = kLive;
        o[i] = s;
        break;
      }
    }
    keys = k, values = v, state = st, order = o, capacity = n;
  }
  void set(const Ref<Object>& key, const Ref<Object>& value) {
    if (!capacity) growTo(16);
    if ((count + 1) * 4 > capacity * 3) resize(capacity * 2);
    uint32_t s = find(key);
    if (s == kNotFound) return;
    bool live = state[s] == kLive;
    keys[s] = key, values[s] = value, state[s] = kLive;
    if (!live) order[count++] = s;
  }
  void remove(const Ref<Object>& key) {
    if (!count) return;
    uint32_t s = find(key);
    if (s == kNotFound || state[s] != kLive) return;
    keys[s] = nullptr, values[s] = nullptr, state[s] = kTomb;
    uint32_t i = 0;
    while (order[i] != s) ++i;
    for (; i + 1 < count; ++i) order[i] = order[i + 1];
    --count;
  }
  void removeAll() {
    for (uint32_t s = 0; s < capacity; ++s)
      if (state[s] == kLive) keys[s] = nullptr, values[s] = nullptr, state[s] = kEmpty;
    count = 0;
  }
};

void ExpectSameTable(const Map& m, const PlainMap& p, int step) {
  ASSERT_EQ(m.capacity(), p.capacity) << "step " << step;
  ASSERT_EQ(m.count(), p.count) << "step " << step;
  for (uint32_t s = 0; s < p.capacity; ++s) {
    const Object* key = m._readKey(s).get();
    switch (p.state[s]) {
      case PlainMap::kEmpty: ASSERT_EQ(key, nullptr) << "slot " << s << " step " << step; break;
      case PlainMap::kTomb: ASSERT_EQ(key, Map::_tombstone().get()) << "slot " << s << " step " << step; break;
      case PlainMap::kLive:
        ASSERT_EQ(key, p.keys[s].get()) << "slot " << s << " step " << step;
        ASSERT_EQ(m._readVal(s).get(), p.values[s].get()) << "slot " << s << " step " << step;
    }
  }
  for (uint32_t i = 0; i < p.count; ++i) ASSERT_EQ(m._orderAt(i), p.order[i]) << "step " << step;
}

TEST(MapTest, EverySlotMatchesThePlainAlgorithm) {
  std::mt19937 rng(42);
  for (int round = 0; round < 6; ++round) {
    Ref<Map> m = make<Map>();
    PlainMap p;
    // Few hash values so paths collide and wrap around the table's end.
    uint32_t hashes = round < 3 ? 7 : 100000;
    for (int step = 0; step < 3000; ++step) {
      int v = static_cast<int>(rng() % 120);
      // Equal keys are distinct objects, so replaced keys show.
      Ref<Object> key = make<Key>(v, (static_cast<uint32_t>(v) * 2654435761u) % hashes | 0xF0u);
      uint32_t op = rng() % 100;
      if (op < 55) {
        Ref<Object> value = make<Object>();
        m->set(key, value);
        p.set(key, value);
      } else if (op < 98) {
        m->remove(key);
        p.remove(key);
      } else {
        m->removeAll();
        p.removeAll();
      }
      ExpectSameTable(*m, p, step);
      if (HasFatalFailure()) return;
    }
    Ref<Map> c = m->copy();
    PlainMap pc;
    pc.growTo(p.count);
    for (uint32_t i = 0; i < p.count; ++i) pc.set(p.keys[p.order[i]], p.values[p.order[i]]);
    ExpectSameTable(*c, pc, -1);
  }
}

}  // namespace
}  // namespace quorl
