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
#include <memory>
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
  bool operator==(const TextMeasure&) const = default;
};

// The text whole when it is at most `room` pixels wide, else its longest
// beginning that fits with the ellipsis after it, cut only between
// characters; "" when not even the ellipsis fits.
std::string fitText(std::string_view text, int64_t room, const TextMeasure& measure);

// Where each of a list of texts parts from the others, and the short forms
// that keep them told apart in a room. A text that fits its room stands
// whole; a longer one loses parts to ellipses ("\u2026") and keeps what
// tells it from the others: its beginning up to where it parts from every
// other text, or its end from where it does; where it parts from its
// nearest only in its middle, a short beginning and, between two ellipses,
// the words from the one where the two part. Equal texts get the same
// form, two different texts different forms wherever the room has one that
// tells them apart, and no form is wider than its room nor cut inside a
// character; a text is never shown whole where it does not fit.
//
// The partings are read off the texts' neighbours in two sorted orders
// once; the forms at a room take time linear in the texts beyond that.
// The texts' bytes are read in place and must outlive the object.
class NameParts {
 public:
  explicit NameParts(const std::vector<std::string_view>& texts);
  ~NameParts();
  std::vector<std::string> forms(int64_t room, const TextMeasure& measure) const;

 private:
  std::vector<std::string_view> distinct_;
  std::vector<uint32_t> id_;  // the distinct text of each text
  // By distinct text: the most bytes it shares with any other from the
  // front, and from the end.
  std::vector<uint32_t> front_, back_;
};

inline std::vector<std::string> shortForms(const std::vector<std::string_view>& texts, int64_t room,
                                           const TextMeasure& measure) {
  return NameParts(texts).forms(room, measure);
}

// The short forms of an Array of Strings (a missing one shows as nothing).
// The partings are made again only when the Strings change, and the forms
// of the last few rooms are kept: a picture of thousands of names is drawn
// at every scroll step, and at every step of a window being resized.
class ShortForms {
 public:
  ShortForms();
  ~ShortForms();
  const std::vector<std::string>& of(const Array& texts, int64_t room, const TextMeasure& measure);

 private:
  static constexpr size_t kRoomsKept = 4;
  struct Kept {
    int64_t room;
    TextMeasure measure;
    std::vector<std::string> forms;
  };
  std::vector<Ref<String>> sources_;  // held, so that no other String takes an address
  std::vector<uint32_t> lengths_;
  std::unique_ptr<NameParts> parts_;
  std::vector<Kept> kept_;  // the most recent first
};

}  // namespace quorl::chart
