// Case-insensitive sets of names for the chart view's grouping and lookups,
// the par loader's platforms and the pickers' choices.
//
// Names are equal when their bytes up to the first NUL agree with A-Z
// folded, exactly as String::equalsIgnoringCase compares them. A hash on the
// same folded bytes lets a rebuild of many thousand rows group them without
// comparing every row with every name.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "bench/TextKeys.h"
#include "foundation/String.h"

namespace quorl::chart {

// Distinct names in first-seen order, with their first spelling. The index
// reads the names' bytes in place: it holds every name it keeps, and the
// names must not be changed while it lives.
class NameIndex {
 public:
  // The index of the name, adding it when no equal name is known yet.
  uint32_t indexOf(const Ref<String>& name) {
    const Key key = keyOf(name.get());
    auto [it, added] = index_.try_emplace(key, static_cast<uint32_t>(names_.size()));
    if (added) names_.push_back(name);
    return it->second;
  }
  // kNotFound when no equal name is known (or name is null).
  uint32_t find(const String* name) const {
    if (!name) return kNotFound;
    auto it = index_.find(keyOf(name));
    return it == index_.end() ? kNotFound : it->second;
  }
  const std::vector<Ref<String>>& names() const { return names_; }
  uint32_t count() const { return static_cast<uint32_t>(names_.size()); }

 private:
  struct Key {
    const char* p;
    uint32_t n;
  };
  struct Hash {
    size_t operator()(const Key& k) const { return textkeys::hashFolded(textkeys::kHashSeed, k.p, k.n); }
  };
  struct Equal {
    bool operator()(const Key& a, const Key& b) const { return textkeys::equalFolded(a.p, a.n, b.p, b.n); }
  };
  static Key keyOf(const String* s) {
    if (!s) return {"", 0};
    const char* p = s->cString();
    return {p, textkeys::visibleLength(p, s->byteLength())};
  }

  std::unordered_map<Key, uint32_t, Hash, Equal> index_;
  std::vector<Ref<String>> names_;
};

}  // namespace quorl::chart
