// Map: table growth, insertion order through removals, tombstones, keys by
// value and by identity, copies, and a slot-by-slot check against the table
// algorithm written out plainly.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/Map.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "Rounds.h"

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

// -- Compact entries against the table -----------------------------------------------

// Everything a caller can see of a map, written out as text: keys and
// values by their place among the objects made so far, lookups of the last
// dozen of them.
std::string Observed(const Map& m, const std::vector<Ref<Object>>& made) {
  std::string out = std::string(m.description()->view()) + " count " + std::to_string(m.count()) + " capacity " +
                    std::to_string(m.capacity()) + " empty " + std::to_string(m.isEmpty()) + " length " +
                    std::to_string(m.enumLength());
  auto id = [&](const Object* o) {
    if (!o) return std::string("null");
    for (size_t i = 0; i < made.size(); ++i)
      if (made[i].get() == o) return std::to_string(i);
    return std::string("?");
  };
  for (uint32_t i = 0; i <= m.count(); ++i) out += " [" + id(m.enumAt(i).get()) + "=" + id(m.valueAt(i).get()) + "]";
  Ref<Array> keys = m.allKeys(), values = m.allValues();
  for (uint32_t i = 0; i < keys->count(); ++i) out += " k" + id(keys->get(i).get()) + " v" + id(values->get(i).get());
  Ref<Object> fallback = String::withCString("fallback");
  for (size_t i = made.size() > 12 ? made.size() - 12 : 0; i < made.size(); ++i) {
    const Ref<Object>& p = made[i];
    out += " |" + id(m.get(p).get()) + "," + std::to_string(m.containsKey(p)) + std::to_string(m.contains(p)) + "," +
           (m.getOrDefault(p, fallback) == fallback ? std::string("fallback") : id(m.getOrDefault(p, fallback).get()));
    if (const String* s = dynamic_cast<const String*>(p.get())) out += "," + id(m.get(s->view()).get());
  }
  return out;
}

struct TwinCase {
  const char* name;
  // The key for a random draw v in [0, keys): distinct objects every time,
  // so a replaced key shows.
  Ref<Object> (*key)(uint32_t v);
  uint32_t keys;
  uint32_t removePercent;
  uint32_t steps;
};

Ref<Object> TextKey(uint32_t v) { return String::withCString(("key" + std::to_string(v)).c_str()); }
Ref<Object> CollidingKey(uint32_t v) { return make<Key>(static_cast<int>(v), 0x40u | (v % 3)); }
Ref<Object> WrappingKey(uint32_t v) { return make<Key>(static_cast<int>(v), 14u + (v % 4)); }
Ref<Object> NumberKey(uint32_t v) {
  // 1 and 1.0 are one key; NaN equals nothing, not even itself.
  switch (v % 4) {
    case 0: return Number::withI64(v / 4);
    case 1: return Number::withDouble(static_cast<double>(v / 4));
    case 2: return Number::withDouble(std::nan(""));
    default: return String::withCString(std::to_string(v).c_str());
  }
}

// A map that keeps its entries compact and a twin made to hold the table
// from its first entry: every step leaves them alike to a caller; the
// compact one stays compact until it must not; and when its table is
// finally asked for, it is slot for slot the table that the same sets made.
TEST(MapTest, CompactEntriesBehaveAsTheTable) {
  const TwinCase cases[] = {
      {"texts", TextKey, 20, 4, 40},
      {"texts past twelve", TextKey, 40, 0, 30},
      {"colliding hashes", CollidingKey, 16, 6, 30},
      {"paths wrapping past the last slot", WrappingKey, 14, 5, 30},
      {"numbers and NaN", NumberKey, 40, 5, 30},
  };
  std::mt19937 rng(7);
  for (const TwinCase& c : cases) {
    for (int round = 0; round < test::rounds(40); ++round) {
      Ref<Map> m = make<Map>(), twin = make<Map>();
      PlainMap plain;
      std::vector<Ref<Object>> probes;
      bool lostOne = false, outgrew = false;
      const int steps = static_cast<int>(c.steps);
      const int tableAt = round % 3 == 0 ? static_cast<int>(rng() % c.steps) : steps;
      for (int step = 0; step < steps; ++step) {
        SCOPED_TRACE(std::string(c.name) + " round " + std::to_string(round) + " step " + std::to_string(step));
        Ref<Object> key = c.key(rng() % c.keys);
        // Now and then the same object again: NaN then is two keys.
        if (!probes.empty() && rng() % 8 == 0) key = probes[rng() % probes.size()];
        probes.push_back(key);
        const uint32_t op = rng() % 100;
        if (op < c.removePercent) {
          if (m->containsKey(key)) lostOne = true;
          m->remove(key), twin->remove(key), plain.remove(key);
        } else if (op == 99) {
          if (m->count()) lostOne = true;
          m->removeAll(), twin->removeAll(), plain.removeAll();
        } else {
          if (m->count() == Map::kCompactMost) outgrew = true;
          Ref<Object> value = make<Object>();
          probes.push_back(value);
          m->set(key, value), twin->set(key, value), plain.set(key, value);
        }
        twin->_findSlot(key);  // the twin keeps a table throughout
        ASSERT_TRUE(twin->capacity() == 0 || !twin->_isCompact());
        if (step == tableAt) {
          m->_findSlot(key);
          ExpectSameTable(*m, plain, step);
          lostOne = true;
        }
        ASSERT_EQ(m->_isCompact(), !lostOne && !outgrew);
        ASSERT_EQ(Observed(*m, probes), Observed(*twin, probes));
        Ref<Map> copy = m->copy(), twinCopy = twin->copy();
        ASSERT_EQ(Observed(*copy, probes), Observed(*twinCopy, probes));
        ASSERT_EQ(copy->_isCompact(), m->count() <= Map::kCompactMost);
        if (copy->_isCompact() && copy->count()) {
          // Its table: the same entries set in order into 16 slots.
          PlainMap fresh;
          fresh.growTo(16);
          for (uint32_t i = 0; i < plain.count; ++i) fresh.set(plain.keys[plain.order[i]], plain.values[plain.order[i]]);
          copy->_findSlot(key);
          ExpectSameTable(*copy, fresh, step);
          if (HasFatalFailure()) return;
        }
      }
      m->_findSlot(probes.front());
      ExpectSameTable(*m, plain, steps);
      ExpectSameTable(*twin, plain, steps);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(MapTest, RoomAndTheSlotAccessorsOfACompactMap) {
  // Made with room: nothing set yet is a map without a table.
  Ref<Map> m = Map::_withRoom(3);
  EXPECT_EQ(Desc(m), "<Map>(0, 0)");
  EXPECT_EQ(m->_findSlot(S("a")), kNotFound);
  for (const char* k : {"a", "b", "c", "d", "e"}) m->set(S(k), S(k));  // past the room
  EXPECT_EQ(Desc(m), "<Map>(5, 16)");
  EXPECT_TRUE(m->_isCompact());
  EXPECT_EQ(KeyTexts(m), (V{"a", "b", "c", "d", "e"}));
  size_t bytes = 0;
  EXPECT_EQ(m->_entryBytes(bytes), &m->_valueAt(0));  // the values; the keys lie apart
  EXPECT_EQ(bytes, 5 * sizeof(Ref<Object>));
  // Writing a slot makes the table first, and the entry follows the write.
  const uint32_t slot = m->_findSlot(S("c"));
  EXPECT_FALSE(m->_isCompact());
  m->_writeVal(slot, S("C"));
  EXPECT_EQ(cast<String>(m->get("c"))->view(), "C");
  EXPECT_EQ(m->_entryBytes(bytes), &m->_readKey(0));
  EXPECT_GE(bytes, 16 * 2 * sizeof(Ref<Object>));

  // Growing or resizing a compact map works on its table, as it always has.
  Ref<Map> g = make<Map>();
  g->set(S("x"), nullptr);
  g->_growTo(100);  // has a table: nothing
  EXPECT_EQ(g->capacity(), 16u);
  g->_resize(64);
  EXPECT_EQ(Desc(g), "<Map>(1, 64)");
  EXPECT_TRUE(g->containsKey(S("x")));
  Ref<Map> fresh = Map::_withRoom(4);
  fresh->_resize(24);  // refused: not a power of two
  EXPECT_EQ(fresh->capacity(), 0u);
  EXPECT_TRUE(fresh->_isCompact());
  fresh->_growTo(40);
  EXPECT_EQ(fresh->capacity(), 64u);
  fresh->set(S("y"), nullptr);
  EXPECT_EQ(fresh->capacity(), 64u);
}

}  // namespace
}  // namespace quorl
