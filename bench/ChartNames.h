// Names in the charts: case-insensitive sets of names for the chart view's
// grouping and lookups, the par loader's platforms and the pickers'
// choices; and the one rule every drawn name is held to, with the short
// forms that names too long for their place are shown in.
//
//   NameIndex        distinct names, case ignored, in first-seen order
//   TextMeasure      a drawn text's width; fitText, its beginning to a room
//   readsAs          the reading rule: which names a drawn form stands for
//   NameParts        short forms of a list of texts, each told from the others
//   LabelSet         labels made of parts (series, level, machine...): the
//                    call every view makes for the names it draws, and what
//                    it says when they cannot be told apart
//   partedForms, ShortForms   the older calls of two-part names and of an
//                    Array of Strings with its forms kept per room
//
// Names are equal when their bytes up to the first NUL agree with A-Z
// folded, exactly as String::equalsIgnoringCase compares them. A hash on the
// same folded bytes lets a rebuild of many thousand rows group them without
// comparing every row with every name.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bench/TextKeys.h"
#include "foundation/String.h"

namespace quorl {
class Array;
class UXViewDriver;
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
// or without a driver `perChar` pixels a character. With `after`, a text
// is measured standing after it, the two as one.
struct TextMeasure {
  int32_t size;
  int64_t perChar;
  std::string_view after{};
  int64_t widthOf(std::string_view text) const;
  bool operator==(const TextMeasure&) const = default;
};

// The mark of a cut in a drawn name: "…" (U+2026).
inline constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

// The text whole when it is at most `room` pixels wide, else its longest
// beginning that fits with the ellipsis after it, cut only between
// characters; "" when not even the ellipsis fits.
std::string fitText(std::string_view text, int64_t room, const TextMeasure& measure);

// The one reading rule of every drawn name. A reader takes a drawn form for
// a name when the form is the whole name; or, where the form has ellipses,
// when its first piece begins the name, its last piece ends it, and the
// pieces between occur in order between them; or, with no ellipsis and
// shorter than the name, when it begins the name. A list of drawn names
// reads when each form stands for its own name alone among the names of
// the list, wherever the room holds such a form. The forms made here are
// held to it (NameParts::forms).
bool readsAs(std::string_view form, std::string_view name);

// Texts as read with letter case ignored: folded (A-Z as a-z) and sorted by
// their bytes from the front and from the end. The texts a form could read
// as begin with its first piece and end with its last, a run of each order:
// `candidates` gives the shorter run.
struct FoldedTexts {
  std::vector<std::string> texts;     // folded, in the order given
  std::vector<uint32_t> front, back;  // the texts by their bytes from the front, from the end
  // Texts equal once folded stand in the front order as `ties` order them
  // (by their place when none are given).
  explicit FoldedTexts(std::span<const std::string_view> given, std::span<const std::string_view> ties = {});
  // f: a form already folded.
  std::span<const uint32_t> candidates(std::string_view f) const;
};

// Where each of a list of texts parts from the others, and the short forms
// that keep them told apart in a room. A text that fits its room stands
// whole unless it begins another text (then it would read as that one
// too); a longer one loses parts to ellipses ("\u2026") and keeps what
// tells it from the others: its beginning up to where it parts from every
// other text, or its end from where it does; where it parts from its
// nearest only in its middle, a short beginning and, between two ellipses,
// the words from the one where the two part. Each text takes the first of
// these that fits the room and reads as no other text of the list, so two
// different texts never get the same form wherever the room has one that
// tells them apart; no form is wider than its room nor cut inside a
// character, and a text is never shown whole where it does not fit.
//
// The partings are read off the texts' neighbours in two sorted orders
// once; whether a form reads as another text is looked up in those orders
// (and, for the pieces between ellipses, in an index of the texts' 4-byte
// pieces made on first need). The texts' bytes are read in place and must
// outlive the object.
class NameParts {
 public:
  // `distinct`: the caller knows no two texts are the same.
  explicit NameParts(const std::vector<std::string_view>& texts, bool distinct = false);
  ~NameParts();
  // With `wanted` (by text), the forms of the wanted texts alone; the
  // others are left empty.
  std::vector<std::string> forms(int64_t room, const TextMeasure& measure,
                                 const std::vector<uint8_t>* wanted = nullptr) const;

  // One form, and whether it tells its text apart: it reads as its own
  // text and as no other of the list.
  struct Form {
    std::string text;
    bool told = false;
  };
  // The form of text i (an index into the texts given) at a room; `width`
  // its own width in the measure, where the caller knows it.
  Form formOf(uint32_t i, int64_t room, const TextMeasure& measure, int64_t width = -1) const;
  // The same where whether a form tells the text apart is judged by the
  // caller (`tells`: it reads as no other text that matters, a part of the
  // list where the others do not stand beside it).
  using Judge = std::function<bool(std::string_view)>;
  Form formOf(uint32_t i, int64_t room, const TextMeasure& measure, int64_t width, const Judge& tells) const;
  // The narrowest form that tells text i apart at any room: the whole text;
  // its first word and its end as far as it parts from the others; its
  // beginning so far; its end so far; each cut form keeping `fewest`
  // characters where the text has more. Not told when none tells it apart.
  Form shortest(uint32_t i, const TextMeasure& measure, uint32_t fewest = 0) const;
  // Whether form f reads as a text of the list other than text i (any
  // text when i is out of range).
  bool readsAsOther(std::string_view f, uint32_t i) const;
  // The distinct texts.
  uint32_t distinctCount() const { return static_cast<uint32_t>(distinct_.size()); }
  // The texts that begin with `head`, each an index into the texts given
  // (the first of equal ones).
  std::vector<uint32_t> beginningWith(std::string_view head) const;

 private:
  struct Index;
  const Index& backed() const;  // the index with its order from the end made
  bool misreads(std::string_view f, uint32_t d) const;
  // The places in the order from the front of the texts that begin with head.
  std::pair<uint32_t, uint32_t> frontRun(std::string_view head) const;
  Form formOfDistinct(uint32_t d, int64_t room, const TextMeasure& measure, int64_t width = -1,
                      const Judge* judge = nullptr) const;

  std::vector<std::string_view> distinct_;
  std::vector<uint32_t> id_;  // the distinct text of each text
  std::vector<uint32_t> firstOf_;  // by distinct text: its first index among the texts
  // By distinct text: the most bytes it shares with any other from the
  // front, and from the end.
  std::vector<uint32_t> front_;
  mutable std::vector<uint32_t> back_;  // made with the order from the end
  std::unique_ptr<Index> index_;  // the sorted orders and what is looked up in them
};

// Labels of parts: the one rule of every drawn name.
//
// An item of a view (a bar row, a heat-map column, a summary panel) is
// named by parts of kinds the view fixes, in the order a reader needs them:
// a bar label has the series, its architecture, the level and the machine.
// Its whole text is its parts joined, each part after another standing
// after its kind's joint ("  " before the architecture); an empty part
// stands nowhere, joint and all. Items of the same whole text are one item.
//
// Where the whole text does not fit the room, or reads as another item (as
// a text that begins another does), parts are cut, each by the reading rule
// among the texts of its own kind in the set (NameParts), never the label
// by its end:
//   - a kind whose texts are the same in every item tells nothing: its part
//     goes first, to an ellipsis ("Quorl…AndLTO…O3" where every row is
//     "x86-64");
//   - then the parts that tell items apart are cut from the last kind
//     towards the first, the series and level staying whole longest: the
//     part being cut keeps at least what tells it from its kind, the parts
//     after it the same and what room is left shared between them.
// Every form is checked on the whole texts: it fits the room, reads as its
// own item by readsAs and as no other item, so two different items never
// draw the same text. Where an item is not held to that at a room, forms()
// says so (Told): `wider` where a wider room would tell the items apart
// (the view then grows its room: the label column, a heading row), `alike`
// where no room would (the view then says so in its status).
//
// Part texts are copied; the set keeps the forms of the last room asked.
class LabelSet {
 public:
  enum class Told : uint8_t { apart, wider, alike };
  // A cut part keeps at least this many characters where it can: fewer
  // are hard to read, however well they tell the part apart.
  static constexpr uint32_t kFewestKept = 8;

  // joints[k]: what stands before a part of kind k after another part
  // (joints[0] is never drawn). Their count is the number of kinds.
  explicit LabelSet(std::vector<std::string> joints);
  ~LabelSet();
  LabelSet(LabelSet&&) noexcept;
  LabelSet& operator=(LabelSet&&) noexcept;

  // Adds an item of parts by kind ("" where it has none; kinds past the
  // span are empty) and answers its index: the index of the item of the
  // same whole text when there is one.
  uint32_t add(std::span<const std::string_view> parts);
  uint32_t count() const;
  std::string_view whole(uint32_t item) const;
  std::string_view part(uint32_t item, uint32_t kind) const;

  // Makes the forms of the items asked for at a room (those made at this
  // room and measure are kept) and answers for them: `apart` when each
  // fits the room, reads as its item and as no other.
  Told forms(std::span<const uint32_t> asked, int64_t room, const TextMeasure& measure);
  // An item's form as last made; nothing when not made at the last room.
  const std::optional<std::string>& form(uint32_t item) const;
  // Whether the item's form as last made tells it apart.
  bool told(uint32_t item) const;
  // A room that holds a form telling every item apart, or -1 when some
  // item has no such form at any room: the widest of the items' narrowest
  // forms (each telling part at its shortest, the others left out).
  int64_t tellingRoom(const TextMeasure& measure);

 private:
  struct Data;
  std::unique_ptr<Data> d_;
};

inline std::vector<std::string> shortForms(const std::vector<std::string_view>& texts, int64_t room,
                                           const TextMeasure& measure) {
  return NameParts(texts).forms(room, measure);
}

// A name of two parts: the first, its bytes up to `keptEnd`, stands whole
// wherever it fits the room; what is added after it, from byte `restAt` on
// (the bytes between join the two), is cut first, to what tells it from
// the additions to the same first part. restAt at the end: nothing added.
struct PartedName {
  std::string_view text;
  uint32_t keptEnd = 0, restAt = 0;
};
std::vector<std::string> partedForms(const std::vector<PartedName>& names, int64_t room, const TextMeasure& measure,
                                     const std::vector<uint8_t>* wanted = nullptr);

// The short forms of an Array of Strings (a missing one shows as nothing),
// each reading as its own text alone with letter case ignored too (where
// the byte rule of NameParts tells "AMD…" from "Amd…", a reader does not).
// The partings are made again only when the Strings change, and the forms
// of the last few rooms are kept, each with the measure and the driver that
// measured it: a picture of thousands of names is drawn at every scroll
// step, and at every step of a window being resized.
class ShortForms {
 public:
  ShortForms();
  ~ShortForms();
  const std::vector<std::string>& of(const Array& texts, int64_t room, const TextMeasure& measure);
  // The same of names in two parts: partsOf gives a String's keptEnd and
  // restAt (PartedName), the same for a String at every call.
  using PartsOf = std::function<std::pair<uint32_t, uint32_t>(const String&)>;
  const std::vector<std::string>& of(const Array& texts, int64_t room, const TextMeasure& measure,
                                     const PartsOf& partsOf);

  static constexpr size_t kRoomsKept = 4;
  size_t roomsKept() const { return kept_.size(); }

 private:
  struct Key {
    int64_t room;
    TextMeasure measure;
    const UXViewDriver* driver;
    bool operator==(const Key&) const = default;
  };
  struct Kept {
    Key key;
    std::vector<std::string> forms;
  };
  std::vector<Ref<String>> sources_;  // held, so that no other String takes an address
  std::vector<uint32_t> lengths_;
  std::unique_ptr<NameParts> parts_;
  std::vector<PartedName> parted_;  // with partsOf: each String's parts
  bool isParted_ = false;
  struct Folded;
  std::unique_ptr<Folded> folded_;  // without partsOf: the texts as read with letter case ignored
  std::vector<std::string> formsAt(int64_t room, const TextMeasure& measure) const;
  std::vector<Kept> kept_;  // the most recent first
};

}  // namespace quorl::chart
