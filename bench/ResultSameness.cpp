// Whether two result sets are the same, and the hash that finds the
// candidates: both walk the fields of ResultFields (ResultModel.h) and
// nothing else, so that what is compared and what is hashed never part.
//
// Sections:
//   1. the keyed hash: SipHash-1-3 under a key drawn once per process
//   2. values: texts, numbers, null, arrays, maps, and the model's classes
//   3. Contribution.sameResults and Contribution.resultsHash
//   4. ResultSetIndex: the same for many, each document hashed at most once
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
enum Tag : uint64_t { kAbsent, kNull, kText, kInteger, kDouble, kBoolean, kList, kTable, kMachine, kRun, kContribution, kOther };

// The kind of a value, by its exact class first (parsed documents hold
// exactly the foundation's classes; a failed dynamic_cast per kind tried
// would cost more than the rest of the comparison), else by what it is.
Tag kindOf(const Object* value) {
  if (!value) return kAbsent;
  const std::type_info* type = &typeid(*value);
  if (type == &typeid(Number)) return kInteger;  // or kDouble, or kBoolean: numberTag tells
  if (type == &typeid(String)) return kText;
  if (type == &typeid(Map)) return kTable;
  if (type == &typeid(Array)) return kList;
  if (type == &typeid(Run)) return kRun;
  if (type == &typeid(Null)) return kNull;
  if (dynamic_cast<const Number*>(value)) return kInteger;
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

// A number is its kind and its value, exactly: 1, 1.0 and true are three
// values, as they are three texts in the document.
Tag numberTag(const Number& n) { return n.isBool() ? kBoolean : n.isDouble() ? kDouble : kInteger; }
uint64_t numberBits(const Number& n) {
  return n.isDouble() ? std::bit_cast<uint64_t>(n.doubleValue()) : uint64_t(n.integerValue());
}

// Texts byte for byte; a missing text equals only a missing one.
bool sameText(const String* a, const String* b) { return a == b || (a && b && a->view() == b->view()); }
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
  if (kindOf(other) != kInteger) return false;
  auto* number = static_cast<const Number*>(other);
  return numberTag(*number) == kInteger && number->integerValue() == packed;
}

bool sameList(const Array* a, const Array* b) {
  if (a == b) return true;
  if (!a || !b) return false;
  const uint32_t n = a->count();
  if (n != b->count()) return false;
  const Array::PackedIntegers x = a->_integers(), y = b->_integers();
  for (uint32_t i = 0; i < n; ++i)
    if (!sameElement(*a, x, *b, y, i)) return false;
  return true;
}

void hashList(KeyedHash& h, const Array* list) {
  if (!list) return h.word(kAbsent);
  const uint32_t n = list->count();
  h.word(kList);
  h.word(n);
  if (const Array::PackedIntegers values = list->_integers()) {
    for (uint32_t i = 0; i < n; ++i) {
      h.word(kInteger);
      h.word(uint64_t(values[i]));
    }
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
  const Tag kind = kindOf(a);
  if (kind == kAbsent || kind != kindOf(b)) return false;
  switch (kind) {
    case kInteger: {
      auto &x = *static_cast<const Number*>(a), &y = *static_cast<const Number*>(b);
      return numberTag(x) == numberTag(y) && numberBits(x) == numberBits(y);
    }
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
    case kInteger: {
      auto& n = *static_cast<const Number*>(value);
      h.word(numberTag(n));
      return h.word(numberBits(n));
    }
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

// The document a contribution was read from: hashed and compared as a
// whole, once for all the contributions that share it when `documents`
// keeps what is known.
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

bool sameDocument(const Object* a, const Object* b, Documents* documents) {
  if (a == b || !documents) return sameValue(a, b);
  if (documentHash(a, documents) != documentHash(b, documents)) return false;
  const auto pair = a < b ? std::make_pair(a, b) : std::make_pair(b, a);
  auto known = documents->same.find(pair);
  if (known != documents->same.end()) return known->second;
  const bool same = sameValue(a, b);
  documents->same.emplace(pair, same);
  return same;
}

// Every field but the document, or all of them.
enum class Part { fields, all };

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
  if (part != Part::fields) h.word(documentHash(c.root.get(), documents));
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
// 4. ResultSetIndex. The first result set of each hash of its fields is
//    held by that hash alone, its document not hashed: most are never
//    compared with anything. When another comes with the same fields, both
//    are held by the hash of their fields and documents together (each
//    document hashed once), so that result sets alike in every field but
//    their documents still fall apart.

uint64_t ResultSetIndex::fieldsHash(const Contribution& c) {
  if (last_ != &c) {
    last_ = &c;
    lastHash_ = contributionHash(c, &documents_, Part::fields);
  }
  return lastHash_;
}

// The hash of the fields and of the document together.
uint64_t ResultSetIndex::wholeHash(const Contribution& c, uint64_t fields) {
  KeyedHash h(processKey());
  h.word(fields);
  h.word(documentHash(c.root.get(), &documents_));
  return h.finish();
}

void ResultSetIndex::promote(Held& held, uint64_t fields) {
  if (held.promoted) return;
  held.promoted = true;
  byWhole_.emplace(wholeHash(*held.contribution, fields), held);
}

uint32_t ResultSetIndex::find(const Contribution& c) {
  const uint64_t fields = fieldsHash(c);
  auto first = byFields_.find(fields);
  if (first == byFields_.end()) return kNotFound;
  promote(first->second, fields);
  for (auto [at, end] = byWhole_.equal_range(wholeHash(c, fields)); at != end; ++at) {
    ++comparisons_;
    if (sameFields(*at->second.contribution, c, &documents_)) return at->second.tag;
  }
  return kNotFound;
}

void ResultSetIndex::add(const Contribution& c, uint32_t tag) {
  const uint64_t fields = fieldsHash(c);
  const Held held{&c, tag, false};
  auto [first, placed] = byFields_.emplace(fields, held);
  if (placed) return;
  promote(first->second, fields);
  Held again = held;
  promote(again, fields);
}

}  // namespace quorl
