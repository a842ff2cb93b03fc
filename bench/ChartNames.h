// Names in the charts: case-insensitive sets of names for the chart view's
// grouping and lookups, the par loader's platforms and the pickers'
// choices, and the short forms that names too long for their place are
// shown in.
//
// Names are equal when their bytes up to the first NUL agree with A-Z
// folded, exactly as String::equalsIgnoringCase compares them. A hash on the
// same folded bytes lets a rebuild of many thousand rows group them without
// comparing every row with every name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bench/TextKeys.h"
#include "foundation/String.h"

namespace quorl {
class Array;
}

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

// Short forms that keep texts told apart. A text of at most `chars`
// characters stands whole; a longer one loses a middle part to an ellipsis
// ("\u2026", counted as two characters) and keeps the ends that tell it from
// the others: its beginning up to where it parts from every other text, or
// its end from where it does. Where a text parts from another only in its
// middle, it keeps a short beginning and, between two ellipses, the words
// around where the two part. Two different texts never get the same form
// (a text that could not be shortened so stands whole), equal texts get the
// same one, and texts are cut only between characters.
std::vector<std::string> shortForms(const std::vector<std::string_view>& texts, uint32_t chars);

// A String's text as drawn (up to its first NUL), and the characters of a
// UTF-8 text.
inline std::string_view drawnText(const String& s) {
  return {s.cString(), textkeys::visibleLength(s.cString(), s.byteLength())};
}
uint32_t charCount(std::string_view text);

// A drawn text's width in pixels at one text size: the driver's measure,
// or without a driver `perChar` pixels a character.
struct TextMeasure {
  int32_t size;
  int64_t perChar;
  int64_t widthOf(std::string_view text) const;
};

// The text whole when it is at most `room` pixels wide, else its longest
// beginning that fits with the ellipsis after it, cut only between
// characters; "" when not even the ellipsis fits.
std::string fitText(std::string_view text, int64_t room, const TextMeasure& measure);

// The short forms of an Array of Strings (a missing one shows as nothing),
// made again only when the Strings or the room change: a picture of
// thousands of names is drawn at every scroll step.
class ShortForms {
 public:
  const std::vector<std::string>& of(const Array& texts, uint32_t chars);

 private:
  std::vector<Ref<String>> sources_;  // held, so that no other String takes an address
  std::vector<uint32_t> lengths_;
  uint32_t chars_ = 0;
  std::vector<std::string> forms_;
};

}  // namespace quorl::chart
