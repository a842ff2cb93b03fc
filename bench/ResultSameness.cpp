// Whether two result sets are the same, and the hash that finds the
// candidates: both walk the fields of ResultFields (ResultModel.h) and
// nothing else, so that what is compared and what is hashed never part.
//
// Sections:
//   1. the keyed hash: SipHash-1-3 under a key drawn once per process
//   2. values: texts, numbers, null, arrays, maps, and the model's classes
//   3. Contribution.sameResults and Contribution.resultsHash
//   4. ResultSetIndex: the same for many, keyed by as little as tells them apart
#include <bit>
#include <chrono>
#include <cstring>
#include <random>
#include <typeinfo>

#include "bench/ResultKeys.h"
#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/Map.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace quorl {

namespace {

// ---------------------------------------------------------------------------
// 1. The keyed hash. A document may hold any texts and numbers; without the
//    key it cannot tell which of them share a hash, so the candidates a
//    result set is compared with stay few whatever it holds.
struct HashKey {
  uint64_t k0 = 0, k1 = 0;
};

HashKey drawKey() {
  std::random_device device;
  HashKey key;
  key.k0 = (uint64_t(device()) << 32) ^ device();
  key.k1 = (uint64_t(device()) << 32) ^ device();
  // Should the device be predictable, the start time and where the stack
  // lies still differ between runs.
  int local = 0;
  key.k0 ^= uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
  key.k1 ^= uint64_t(reinterpret_cast<uintptr_t>(&local));
  return key;
}

const HashKey& processKey() {
  static const HashKey key = drawKey();
  return key;
}

class KeyedHash {
 public:
  explicit KeyedHash(const HashKey& key)
      : v0_(key.k0 ^ 0x736f6d6570736575ull),
        v1_(key.k1 ^ 0x646f72616e646f6dull),
        v2_(key.k0 ^ 0x6c7967656e657261ull),
        v3_(key.k1 ^ 0x7465646279746573ull) {}

  void word(uint64_t m) {
    v3_ ^= m;
    round();
    v0_ ^= m;
    ++words_;
  }
  // The length first, so that where bytes end is part of what is hashed.
  void bytes(const char* p, size_t n) {
    word(n);
    for (; n >= 8; p += 8, n -= 8) {
      uint64_t m;
      std::memcpy(&m, p, 8);
      word(m);
    }
    if (n > 0) {
      uint64_t m = 0;
      std::memcpy(&m, p, n);
      word(m);
    }
  }
  uint64_t finish() {
    word(words_);
    v2_ ^= 0xff;
    round();
    round();
    round();
    return v0_ ^ v1_ ^ v2_ ^ v3_;
  }

 private:
  void round() {
    v0_ += v1_;
    v1_ = std::rotl(v1_, 13);
    v1_ ^= v0_;
    v0_ = std::rotl(v0_, 32);
    v2_ += v3_;
    v3_ = std::rotl(v3_, 16);
    v3_ ^= v2_;
    v0_ += v3_;
    v3_ = std::rotl(v3_, 21);
    v3_ ^= v0_;
    v2_ += v1_;
    v1_ = std::rotl(v1_, 17);
    v1_ ^= v2_;
    v2_ = std::rotl(v2_, 32);
  }
  uint64_t v0_, v1_, v2_, v3_;
  uint64_t words_ = 0;
};

// ---------------------------------------------------------------------------
// 2. Values. Every kind starts its hash with its own tag, so that values of
//    two kinds never agree by their contents alone.
enum Tag : uint64_t { kAbsent, kNull, kText, kNumber, kList, kTable, kMachine, kRun, kContribution, kOther };

// The kind of a value, by its exact class first (parsed documents hold
// exactly the foundation's classes; a failed dynamic_cast per kind tried
// would cost more than the rest of the comparison), else by what it is.
Tag kindOf(const Object* value) {
  if (!value) return kAbsent;
  const std::type_info* type = &typeid(*value);
  if (type == &typeid(Number)) return kNumber;
  if (type == &typeid(String)) return kText;
  if (type == &typeid(Map)) return kTable;
  if (type == &typeid(Array)) return kList;
  if (type == &typeid(Run)) return kRun;
  if (type == &typeid(Null)) return kNull;
  if (dynamic_cast<const Number*>(value)) return kNumber;
  if (dynamic_cast<const String*>(value)) return kText;
  if (dynamic_cast<const Map*>(value)) return kTable;
  if (dynamic_cast<const Array*>(value)) return kList;
  if (dynamic_cast<const Run*>(value)) return kRun;
  if (dynamic_cast<const Machine*>(value)) return kMachine;
  if (dynamic_cast<const Contribution*>(value)) return kContribution;
  return dynamic_cast<const Null*>(value) ? kNull : kOther;
}

using Documents = ResultSetIndex::Documents;

bool sameValue(const Object* a, const Object* b);
void hashValue(KeyedHash& h, const Object* value);
template <class C> bool sameFields(const C& a, const C& b, Documents* documents = nullptr);
template <class C> void hashFields(KeyedHash& h, const C& object, Documents* documents = nullptr);

// A number is what the JSON writer writes of it (Number::written): 1, 1.0
// and true are three values, and so are 0.0 and -0.0, 18446744073709551615
// and -1, as they are different texts when the document is sent again.
bool sameNumber(const Object* a, const Object* b) {
  return static_cast<const Number*>(a)->written() == static_cast<const Number*>(b)->written();
}
void hashNumber(KeyedHash& h, const Number::Written& n) {
  h.word(kNumber);
  h.word(n.form);
  h.word(n.bits);
}

// Texts byte for byte; a missing text equals only a missing one.
bool sameText(const String* a, const String* b) {
  if (a == b) return true;
  if (!a || !b || a->byteLength() != b->byteLength()) return false;
  return std::memcmp(a->cString(), b->cString(), a->byteLength()) == 0;
}
void hashText(KeyedHash& h, const String* s) {
  if (!s) return h.word(kAbsent);
  h.word(kText);
  h.bytes(s->view().data(), s->view().size());
}

// An element of an array: a packed integer, or the object in the slot. A
// packed array is read as it is, without making its Numbers.
bool sameElement(const Array& a, const Array::PackedIntegers& x, const Array& b, const Array::PackedIntegers& y,
                 uint32_t i) {
  if (x && y) return x[i] == y[i];
  if (!x && !y) return sameValue(a.get(i).get(), b.get(i).get());
  const int64_t packed = x ? x[i] : y[i];
  const Object* other = (x ? b : a).get(i).get();
  return kindOf(other) == kNumber && static_cast<const Number*>(other)->written() == Number::writtenInteger(packed);
}

bool sameList(const Array* a, const Array* b) {
  if (a == b) return true;
  if (!a || !b) return false;
  const uint32_t n = a->count();
  if (n != b->count()) return false;
  const Array::PackedIntegers x = a->_integers(), y = b->_integers();
  // The elements of two documents lie wherever they were made: those a few
  // places ahead are fetched while these are compared.
  constexpr uint32_t kAhead = 4;
  for (uint32_t i = 0; i < n; ++i) {
    if (!x && !y && i + kAhead < n) {
      __builtin_prefetch(a->get(i + kAhead).get());
      __builtin_prefetch(b->get(i + kAhead).get());
    }
    if (!sameElement(*a, x, *b, y, i)) return false;
  }
  return true;
}

void hashList(KeyedHash& h, const Array* list) {
  if (!list) return h.word(kAbsent);
  const uint32_t n = list->count();
  h.word(kList);
  h.word(n);
  if (const Array::PackedIntegers values = list->_integers()) {
    for (uint32_t i = 0; i < n; ++i) hashNumber(h, Number::writtenInteger(values[i]));
    return;
  }
  for (uint32_t i = 0; i < n; ++i) hashValue(h, list->get(i).get());
}

// Maps are the same members in any order: a document written again by
// another program may order them otherwise. Members in the same order, as
// copies of one document have them, are compared without a lookup.
bool sameTable(const Map* a, const Map* b) {
  if (a == b) return true;
  if (!a || !b) return false;
  const uint32_t n = a->count();
  if (n != b->count()) return false;
  uint32_t i = 0;
  for (; i < n && sameValue(a->_keyAt(i).get(), b->_keyAt(i).get()); ++i)
    if (!sameValue(a->_valueAt(i).get(), b->_valueAt(i).get())) return false;
  for (; i < n; ++i) {
    const Ref<Object>& key = a->_keyAt(i);
    Ref<Object> other = b->get(key.get());
    if (!other && !b->containsKey(key.get())) return false;
    if (!sameValue(a->_valueAt(i).get(), other.get())) return false;
  }
  return true;
}

// The members' hashes are added, which does not depend on their order.
void hashTable(KeyedHash& h, const Map* map) {
  if (!map) return h.word(kAbsent);
  const uint32_t n = map->count();
  uint64_t members = 0;
  for (uint32_t i = 0; i < n; ++i) {
    KeyedHash member(processKey());
    hashValue(member, map->_keyAt(i).get());
    hashValue(member, map->_valueAt(i).get());
    members += member.finish();
  }
  h.word(kTable);
  h.word(n);
  h.word(members);
}

bool sameValue(const Object* a, const Object* b) {
  if (a == b) return true;
  if (!a || !b) return false;
  // Two values of one of the classes parsed documents hold: settled at
  // once, without telling their kinds apart one by one.
  const std::type_info* type = &typeid(*a);
  if (type == &typeid(*b)) {
    if (type == &typeid(String)) return sameText(static_cast<const String*>(a), static_cast<const String*>(b));
    if (type == &typeid(Number)) return sameNumber(a, b);
    if (type == &typeid(Map)) return sameTable(static_cast<const Map*>(a), static_cast<const Map*>(b));
    if (type == &typeid(Array)) return sameList(static_cast<const Array*>(a), static_cast<const Array*>(b));
  }
  const Tag kind = kindOf(a);
  if (kind == kAbsent || kind != kindOf(b)) return false;
  switch (kind) {
    case kNumber: return sameNumber(a, b);
    case kText: return sameText(static_cast<const String*>(a), static_cast<const String*>(b));
    case kList: return sameList(static_cast<const Array*>(a), static_cast<const Array*>(b));
    case kTable: return sameTable(static_cast<const Map*>(a), static_cast<const Map*>(b));
    case kRun: return sameFields(*static_cast<const Run*>(a), *static_cast<const Run*>(b));
    case kMachine: return sameFields(*static_cast<const Machine*>(a), *static_cast<const Machine*>(b));
    case kContribution: return sameFields(*static_cast<const Contribution*>(a), *static_cast<const Contribution*>(b));
    case kNull: return true;  // one shared object, or a subclass of it
    default: return a->equals(b);
  }
}

void hashValue(KeyedHash& h, const Object* value) {
  const Tag kind = kindOf(value);
  switch (kind) {
    case kNumber: return hashNumber(h, static_cast<const Number*>(value)->written());
    case kText: return hashText(h, static_cast<const String*>(value));
    case kList: return hashList(h, static_cast<const Array*>(value));
    case kTable: return hashTable(h, static_cast<const Map*>(value));
    case kRun:
      h.word(kRun);
      return hashFields(h, *static_cast<const Run*>(value));
    case kMachine:
      h.word(kMachine);
      return hashFields(h, *static_cast<const Machine*>(value));
    case kContribution:
      h.word(kContribution);
      return hashFields(h, *static_cast<const Contribution*>(value));
    default: return h.word(kind);
  }
}

// Fields by their declared class: texts, maps and lists go straight to
// their own comparison.
bool sameField(const Ref<String>& a, const Ref<String>& b) { return sameText(a.get(), b.get()); }
bool sameField(const Ref<Map>& a, const Ref<Map>& b) { return sameTable(a.get(), b.get()); }
bool sameField(const Ref<Array>& a, const Ref<Array>& b) { return sameList(a.get(), b.get()); }
bool sameField(const Ref<Machine>& a, const Ref<Machine>& b) {
  return a == b || (a && b && sameFields(*a, *b));
}
bool sameField(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }
template <class I, class = std::enable_if_t<std::is_integral_v<I>>> bool sameField(I a, I b) { return a == b; }

void hashField(KeyedHash& h, const Ref<String>& value) { hashText(h, value.get()); }
void hashField(KeyedHash& h, const Ref<Map>& value) { hashTable(h, value.get()); }
void hashField(KeyedHash& h, const Ref<Array>& value) { hashList(h, value.get()); }
void hashField(KeyedHash& h, const Ref<Machine>& value) {
  if (!value) return h.word(kAbsent);
  h.word(kMachine);
  hashFields(h, *value);
}
void hashField(KeyedHash& h, double value) { h.word(std::bit_cast<uint64_t>(value)); }
template <class I, class = std::enable_if_t<std::is_integral_v<I>>> void hashField(KeyedHash& h, I value) {
  h.word(uint64_t(int64_t(value)));
}

// The document a contribution was read from: hashed once for all the
// contributions that share it when `documents` keeps what is known.
uint64_t documentHash(const Object* document, Documents* documents) {
  if (documents) {
    auto known = documents->hashes.find(document);
    if (known != documents->hashes.end()) return known->second;
  }
  KeyedHash h(processKey());
  hashValue(h, document);
  const uint64_t hash = h.finish();
  if (documents) documents->hashes.emplace(document, hash);
  return hash;
}

// Two documents compared once, however many contributions share them. A
// document is not hashed to be compared: where both hashes are known
// already, they settle a difference at once.
bool sameDocument(const Object* a, const Object* b, Documents* documents) {
  if (a == b || !documents) return sameValue(a, b);
  const auto ha = documents->hashes.find(a), hb = documents->hashes.find(b);
  if (ha != documents->hashes.end() && hb != documents->hashes.end() && ha->second != hb->second) return false;
  const auto pair = a < b ? std::make_pair(a, b) : std::make_pair(b, a);
  auto known = documents->same.find(pair);
  if (known != documents->same.end()) return known->second;
  const bool same = sameValue(a, b);
  documents->same.emplace(pair, same);
  return same;
}

// What a hash of a contribution covers: its outline (every field but its
// runs, of which the count, and but its document), every field but the
// document, or all of them.
enum class Part { outline, fields, all };

template <class C, class F> bool sameMember(const C& a, const C& b, F C::*field, Documents*) {
  return sameField(a.*field, b.*field);
}
bool sameMember(const Contribution& a, const Contribution& b, Ref<Map> Contribution::*field, Documents* documents) {
  if (field == &Contribution::root) return sameDocument(a.root.get(), b.root.get(), documents);
  return sameField(a.*field, b.*field);
}
template <class C, class F> void hashMember(KeyedHash& h, const C& object, F C::*field, Documents*, Part) {
  hashField(h, object.*field);
}
void hashMember(KeyedHash& h, const Contribution& c, Ref<Map> Contribution::*field, Documents* documents, Part part) {
  if (field != &Contribution::root) return hashField(h, c.*field);
  if (part == Part::all) h.word(documentHash(c.root.get(), documents));
}
void hashMember(KeyedHash& h, const Contribution& c, Ref<Array> Contribution::*field, Documents*, Part part) {
  if (part != Part::outline) return hashField(h, c.*field);
  h.word(kList);
  h.word((c.*field)->count());
}

template <class C> bool sameFields(const C& a, const C& b, Documents* documents) {
  return std::apply([&](auto... field) { return (sameMember(a, b, field, documents) && ...); },
                    ResultFields<C>::compared);
}
template <class C> void hashFields(KeyedHash& h, const C& object, Documents* documents) {
  std::apply([&](auto... field) { (hashMember(h, object, field, documents, Part::all), ...); },
             ResultFields<C>::compared);
}

uint64_t contributionHash(const Contribution& c, Documents* documents, Part part) {
  KeyedHash h(processKey());
  h.word(kContribution);
  std::apply([&](auto... field) { (hashMember(h, c, field, documents, part), ...); },
             ResultFields<Contribution>::compared);
  return h.finish();
}

}  // namespace

// ---------------------------------------------------------------------------
// 3. Contribution

bool Contribution::sameResults(const Contribution& other) const { return sameFields(*this, other); }

uint64_t Contribution::resultsHash() const { return contributionHash(*this, nullptr, Part::all); }

// ---------------------------------------------------------------------------
// 4. ResultSetIndex. Three keys, each costing more than the one before: the
//    outline (a few texts and numbers), every field, every field and the
//    document. A contribution is held by the first key that no other held
//    one shares, and is compared in full with the one it meets there, with
//    no more hashing: opening a file again compares each result set with
//    its like alone. When another comes with the same key, both move to the
//    next (each keyed there once), so that result sets alike in their
//    outline, or in every field but their documents, still fall apart. A
//    held contribution meets at most one newcomer that is not its like at
//    each key, which keeps the comparisons, and the time, linear.

uint64_t ResultSetIndex::key(const Contribution& c, uint32_t level) {
  if (last_ != &c) {
    last_ = &c;
    lastKnown_ = 0;
  }
  if (!(lastKnown_ & (1u << level))) {
    uint64_t key;
    if (level == kOutline) {
      key = contributionHash(c, &documents_, Part::outline);
    } else if (level == kFields) {
      key = contributionHash(c, &documents_, Part::fields);
    } else {
      KeyedHash h(processKey());
      h.word(this->key(c, kFields));
      h.word(documentHash(c.root.get(), &documents_));
      key = h.finish();
    }
    lastKeys_[level] = key;
    lastKnown_ |= 1u << level;
  }
  return lastKeys_[level];
}

bool ResultSetIndex::same(const Held& held, const Contribution& c) {
  ++comparisons_;
  return sameFields(*held.contribution, c, &documents_);
}

uint32_t ResultSetIndex::find(const Contribution& c) {
  for (uint32_t level = kOutline; level < kWhole; ++level) {
    const auto at = keyed_[level].find(key(c, level));
    if (at == keyed_[level].end()) return kNotFound;
    if (!at->second.movedOn) return same(at->second.held, c) ? at->second.held.tag : kNotFound;
  }
  for (auto [at, end] = whole_.equal_range(key(c, kWhole)); at != end; ++at)
    if (same(at->second, c)) return at->second.tag;
  return kNotFound;
}

void ResultSetIndex::add(const Contribution& c, uint32_t tag) {
  const Held held{&c, tag};
  for (uint32_t level = kOutline; level < kWhole; ++level) {
    auto [at, placed] = keyed_[level].try_emplace(key(c, level), Slot{held, false});
    if (placed) return;
    if (!at->second.movedOn) {
      // The one held by this key moves on to the next, and so does c.
      at->second.movedOn = true;
      const Held first = at->second.held;
      place(first, level + 1);
    }
  }
  whole_.emplace(key(c, kWhole), held);
}

// Holds a contribution that was held by the key above `level` at `level`.
void ResultSetIndex::place(const Held& held, uint32_t level) {
  const Contribution& c = *held.contribution;
  if (level == kWhole) {
    whole_.emplace(key(c, kWhole), held);
    return;
  }
  auto [at, placed] = keyed_[level].try_emplace(key(c, level), Slot{held, false});
  // Another held there already can only have come the same way, moved on
  // with it: both go further.
  if (!placed && !at->second.movedOn) {
    at->second.movedOn = true;
    place(at->second.held, level + 1);
  }
  if (!placed) place(held, level + 1);
}

}  // namespace quorl
