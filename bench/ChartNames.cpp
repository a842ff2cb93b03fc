// Short forms of names (ChartNames.h).
//
// Where a text parts from the others is read off two sorted orders of the
// distinct texts: by their bytes from the front, the longest beginning a
// text shares with any other is the longer of those it shares with its two
// neighbours; by their bytes from the back, the same for endings. A text's
// form is tried from a short list of recipes (its ends, then windows on
// its middle, then its ends however long they must be), each at the most
// characters that fit the room; texts whose forms meet, or read as
// another text (readsAs), take their next recipe until none do.
#include "bench/ChartNames.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "foundation/Array.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXViewDriver.h"

namespace quorl::chart {

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";
constexpr uint32_t kFar = 0xFFFFFFFFu;

bool continuation(char c) { return (static_cast<uint8_t>(c) & 0xC0) == 0x80; }

// Where each character of t starts, and one past the end.
std::vector<uint32_t> charStarts(std::string_view t) {
  std::vector<uint32_t> starts;
  for (uint32_t i = 0; i < t.size(); ++i)
    if (!continuation(t[i])) starts.push_back(i);
  starts.push_back(static_cast<uint32_t>(t.size()));
  return starts;
}

// The bytes of a and b that agree from the front (or, backwards, from the end).
uint32_t shared(std::string_view a, std::string_view b, bool backwards) {
  const size_t n = std::min(a.size(), b.size());
  size_t k = 0;
  if (backwards)
    while (k < n && a[a.size() - 1 - k] == b[b.size() - 1 - k]) ++k;
  else
    while (k < n && a[k] == b[k]) ++k;
  return static_cast<uint32_t>(k);
}

// The distinct texts in order of their bytes from the front (or, backwards,
// from the end).
std::vector<uint32_t> sortedOrder(const std::vector<std::string_view>& texts, bool backwards) {
  std::vector<uint32_t> order(texts.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    const std::string_view x = texts[a], y = texts[b];
    return backwards ? std::lexicographical_compare(x.rbegin(), x.rend(), y.rbegin(), y.rend()) : x < y;
  });
  return order;
}

// The most bytes each distinct text shares with any other from the front
// (or from the end): the more it shares with either neighbour in the
// texts' order by their bytes read that way.
std::vector<uint32_t> mostShared(const std::vector<std::string_view>& texts, const std::vector<uint32_t>& order,
                                 bool backwards) {
  std::vector<uint32_t> most(texts.size(), 0);
  for (size_t k = 0; k + 1 < order.size(); ++k) {
    const uint32_t m = shared(texts[order[k]], texts[order[k + 1]], backwards);
    most[order[k]] = std::max(most[order[k]], m);
    most[order[k + 1]] = std::max(most[order[k + 1]], m);
  }
  return most;
}

// Word marks: a space or an ASCII mark ('_', '-', '.', '/'...).
bool separator(char c) {
  const auto u = static_cast<uint8_t>(c);
  return u < 0x80 && !((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'));
}

bool lower(char c) { return c >= 'a' && c <= 'z'; }
bool upper(char c) { return c >= 'A' && c <= 'Z'; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// What a cut form keeps of its text: the first `head` characters, an
// ellipsis, the characters from `from` up to `to`, and an ellipsis unless
// `to` is the text's end.
struct Window {
  uint32_t head, from, to;
};

// One text to be cut: its characters, what of its ends tells it apart,
// and its recipes. A recipe is a kind of window and, for a window on the
// middle, the character it starts at.
class Cut {
 public:
  enum Kind : uint8_t { kHead, kTail, kBoth, kMiddle };
  struct Recipe {
    Kind kind;
    uint32_t at;
  };

  Cut(std::string_view t, uint32_t frontShared, uint32_t backShared, int64_t room, const TextMeasure& measure)
      : t_(t), starts_(charStarts(t)), n_(static_cast<uint32_t>(starts_.size() - 1)), room_(room),
        measure_(measure) {
    headNeed_ = charsThrough(frontShared);
    if (backShared < t.size())
      tailNeed_ = n_ - charsThrough(static_cast<uint32_t>(t.size()) - 1 - backShared) + 1;
    // The characters to start from: as many as the whole text's mean width
    // lets the room hold, less what stands before the text.
    const TextMeasure alone{measure.size, measure.perChar};
    const int64_t whole = std::max<int64_t>(alone.widthOf(t), 1);
    const int64_t left = room - (measure.after.empty() ? 0 : alone.widthOf(measure.after));
    if (n_ > 2) budget_ = static_cast<uint32_t>(std::clamp<int64_t>(static_cast<int64_t>(n_) * left / whole, 2, n_ - 1));
    recipes();
  }

  // The form of recipe r and on, the first that fits; nothing past the last.
  std::optional<std::string> formFrom(size_t& r) const {
    for (; r < recipes_.size(); ++r)
      if (std::optional<std::string> f = fitted(recipes_[r])) return f;
    return std::nullopt;
  }

 private:
  // The characters from the front that hold byte `byte`; kFar when t has no such byte.
  uint32_t charsThrough(uint32_t byte) const {
    if (byte >= starts_.back()) return kFar;
    return static_cast<uint32_t>(std::upper_bound(starts_.begin(), starts_.end(), byte) - starts_.begin());
  }

  // Where the text parts from its nearest read from the front: the first
  // character no other text has there. From the end: the character where
  // its own ending starts. kFar where the text begins (or ends) another.
  uint32_t frontParting() const { return headNeed_ == kFar ? kFar : headNeed_ - 1; }
  uint32_t backParting() const { return tailNeed_ == kFar ? kFar : n_ - tailNeed_; }

  // A word starts after a mark, at a capital after a small letter, and
  // where letters and digits meet.
  bool wordStart(uint32_t c) const {
    if (c == 0) return true;
    const char a = t_[starts_[c - 1]], b = t_[starts_[c]];
    const bool letterA = lower(a) || upper(a), letterB = lower(b) || upper(b);
    return separator(a) || (lower(a) && upper(b)) || (letterA && digit(b)) || (digit(a) && letterB);
  }
  uint32_t wordBefore(uint32_t c) const {
    while (c > 0 && !wordStart(c)) --c;
    return c;
  }

  // An end alone is tried first when it tells the text apart in no more
  // than two thirds of the characters kept.
  static uint32_t twoThirds(uint32_t keep) { return keep - keep / 3; }

  // Ends first when one tells the text apart in two thirds of what is
  // kept, the shorter of them; then both ends, each through where the text
  // parts from its nearest read from the other end; then windows on the
  // middle from the word where it parts from its nearest, and from the
  // words before it (from the parting character itself in a name of one
  // word); then its ends however much of them it takes, its beginning
  // last.
  void recipes() {
    const uint32_t good = twoThirds(budget_ - 1);
    if (tailNeed_ <= good && (tailNeed_ <= headNeed_ || headNeed_ > good)) recipes_.push_back({kTail, 0});
    else if (headNeed_ <= good) recipes_.push_back({kHead, 0});
    if (tailNeed_ != kFar) recipes_.push_back({kBoth, 0});
    if (headNeed_ != kFar && headNeed_ > 1) {
      const uint32_t parts = frontParting();
      uint32_t from = wordBefore(parts);
      if (from == 0) recipes_.push_back({kMiddle, parts});
      for (uint32_t words = 0; words < 3 && from > 0; ++words) {
        recipes_.push_back({kMiddle, from});
        from = wordBefore(from - 1);
      }
    }
    if (tailNeed_ != kFar) recipes_.push_back({kTail, 0});
    recipes_.push_back({kHead, 0});
  }

  // -- The windows, each of `keep` characters at most

  // The end that tells the text apart, and the beginning with the rest.
  Window tailFirst(uint32_t keep) const {
    const uint32_t tail = std::min(std::max(tailNeed_ == kFar ? 0 : tailNeed_, keep / 2), keep);
    return {keep - tail, n_ - tail, n_};
  }
  // The beginning that tells the text apart, and the end with the rest.
  Window headFirst(uint32_t keep) const {
    const uint32_t head = std::min(std::max(headNeed_ == kFar ? 0 : headNeed_, keep - keep / 2), keep);
    return {head, n_ - (keep - head), n_};
  }
  // The beginning through the character where the text's own ending
  // starts, and the end from where it parts from its nearest from the
  // front (its last character when it begins another); what room is left
  // goes half to each. Nothing when the two do not fit.
  std::optional<Window> bothPartings(uint32_t keep) const {
    const uint32_t through = backParting() + 1, from = headNeed_ == kFar ? n_ - 1 : frontParting();
    if (through > from || through + (n_ - from) > keep) return std::nullopt;
    const uint32_t spare = keep - through - (n_ - from);
    const uint32_t head = through + spare / 2, tail = n_ - from + (spare - spare / 2);
    return Window{head, n_ - tail, n_};
  }
  // The first word (a quarter of what is kept at most), and a window on
  // the middle from character `at` that holds the parting character; a
  // window that reaches the end starts where the room lets it.
  std::optional<Window> middleFrom(uint32_t keep, uint32_t at) const {
    static constexpr uint32_t kFirstWordShare = 4;
    uint32_t word = 1;
    while (word < n_ && !separator(t_[starts_[word]]) && !wordStart(word)) ++word;
    const uint32_t head = std::min(word, std::max(keep / kFirstWordShare, 1u));
    if (keep < head + 3) return std::nullopt;
    const uint32_t window = keep - head - 1, parts = frontParting();
    uint32_t from = std::max(at, parts + 1 > window ? parts + 1 - window : 0);
    if (from + window + 1 >= n_) from = std::min(from, n_ - (keep - head));
    const uint32_t to = from + window + 1 >= n_ ? n_ : from + window;
    return Window{head, from, to};
  }

  // What every window keeps to: the pieces in order, apart, within the
  // text and within the characters kept.
  bool holds(const Window& w, uint32_t keep) const {
    return w.head < w.from && w.from <= w.to && w.to <= n_ && w.head + (w.to - w.from) <= keep;
  }

  std::string joined(const Window& w) const {
    std::string out(t_.substr(0, starts_[w.head]));
    out += kEllipsis;
    out += t_.substr(starts_[w.from], starts_[w.to] - starts_[w.from]);
    if (w.to < n_) out += kEllipsis;
    return out;
  }

  // The recipe at `chars` characters, the ellipses counted as one each (an
  // ellipsis may stand for one character wider than itself).
  std::optional<std::string> at(const Recipe& r, uint32_t chars) const {
    if (chars < 2 || chars > n_) return std::nullopt;
    const uint32_t keep = chars - 1;
    std::optional<Window> w;
    switch (r.kind) {
      case kTail:
        w = tailFirst(keep);
        break;
      case kHead:
        w = headFirst(keep);
        break;
      case kBoth:
        w = bothPartings(keep);
        break;
      case kMiddle:
        w = middleFrom(keep, r.at);
        break;
    }
    if (!w || !holds(*w, keep)) return std::nullopt;
    return joined(*w);
  }

  // The recipe at the most characters whose form fits the room.
  std::optional<std::string> fitted(const Recipe& r) const {
    const auto fits = [&](const std::optional<std::string>& f) { return f && measure_.widthOf(*f) <= room_; };
    uint32_t chars = budget_;
    std::optional<std::string> f = at(r, chars);
    while (chars > 2 && !fits(f)) f = at(r, --chars);
    if (!fits(f)) return std::nullopt;
    for (std::optional<std::string> more; chars + 1 <= n_ && fits(more = at(r, chars + 1)); ++chars) f = std::move(more);
    return f;
  }

  std::string_view t_;
  std::vector<uint32_t> starts_;
  uint32_t n_;
  int64_t room_;
  const TextMeasure& measure_;
  // The characters of its beginning (and of its end) that tell the text
  // from every other; kFar where no number of them does.
  uint32_t headNeed_ = kFar, tailNeed_ = kFar, budget_ = 2;
  std::vector<Recipe> recipes_;
};

// A mark for each pair of neighbouring bytes of t that holds no byte of an
// ellipsis, folded onto 64 bits.
uint64_t bytePairs(std::string_view t) {
  uint64_t marks = 0;
  for (size_t k = 0; k + 1 < t.size(); ++k) {
    const auto a = static_cast<uint8_t>(t[k]), b = static_cast<uint8_t>(t[k + 1]);
    if (a >= 0x80 || b >= 0x80) continue;  // a piece's bytes next to an ellipsis are not neighbours in a text
    marks |= uint64_t{1} << ((a * 31u + b) & 63u);
  }
  return marks;
}

// Forms whose first and last pieces more texts share than this are held
// to the rule by their being different from every other form alone: a
// reading of every one would cost time quadratic in the texts. A form
// that keeps what no other text has at its beginning or end shares them
// with its own text alone.
constexpr size_t kMostRead = 256;

}  // namespace

uint32_t charCount(std::string_view t) {
  uint32_t n = 0;
  for (char c : t) n += !continuation(c);
  return n;
}

int64_t TextMeasure::widthOf(std::string_view text) const {
  if (!gDriver) return static_cast<int64_t>(charCount(after) + charCount(text)) * perChar;
  // The driver reads up to a NUL; many thousand texts are measured at a
  // draw, in one buffer a thread.
  thread_local std::string z;
  z.assign(after).append(text);
  return gDriver->textWidth(z.c_str(), size);
}

std::string fitText(std::string_view text, int64_t room, const TextMeasure& measure) {
  if (measure.widthOf(text) <= room) return std::string(text);
  // Widths grow with the beginning kept: the longest that fits is found by
  // halving over the character boundaries.
  const std::vector<uint32_t> starts = charStarts(text);
  const auto form = [&](size_t k) { return std::string(text.substr(0, starts[k])).append(kEllipsis); };
  size_t lo = 0, hi = starts.size() - 1;  // form(lo) is tried last; form(hi) is the whole text
  if (measure.widthOf(form(0)) > room) return {};
  while (hi - lo > 1) {
    const size_t mid = lo + (hi - lo) / 2;
    (measure.widthOf(form(mid)) <= room ? lo : hi) = mid;
  }
  return form(lo);
}

bool readsAs(std::string_view form, std::string_view name) {
  if (form == name) return true;
  const size_t first = form.find(kEllipsis);
  if (first == std::string_view::npos) return form.size() < name.size() && name.starts_with(form);
  const size_t last = form.rfind(kEllipsis);
  const std::string_view head = form.substr(0, first), tail = form.substr(last + kEllipsis.size());
  if (head.size() + tail.size() > name.size() || !name.starts_with(head) || !name.ends_with(tail)) return false;
  // The pieces between, each found after the one before it.
  size_t at = head.size();
  const size_t end = name.size() - tail.size();
  for (size_t p = first + kEllipsis.size(); p < last;) {
    const size_t next = form.find(kEllipsis, p);
    const std::string_view piece = form.substr(p, next - p);
    const size_t found = name.substr(at, end - at).find(piece);
    if (found == std::string_view::npos) return false;
    at += found + piece.size();
    p = next + kEllipsis.size();
  }
  return true;
}

NameParts::NameParts(const std::vector<std::string_view>& texts) : id_(texts.size()) {
  std::unordered_map<std::string_view, uint32_t> idOf;
  for (size_t i = 0; i < texts.size(); ++i) {
    const auto [it, added] = idOf.try_emplace(texts[i], static_cast<uint32_t>(distinct_.size()));
    if (added) distinct_.push_back(texts[i]);
    id_[i] = it->second;
  }
  frontOrder_ = sortedOrder(distinct_, false);
  backOrder_ = sortedOrder(distinct_, true);
  for (std::string_view t : distinct_) pairs_.push_back(bytePairs(t));
  front_ = mostShared(distinct_, frontOrder_, false);
  back_ = mostShared(distinct_, backOrder_, true);
}

NameParts::~NameParts() = default;

// The texts that could read from f are those that begin with its first
// piece and end with its last: a run of each sorted order. The shorter run
// is read through.
bool NameParts::misreads(std::string_view f, uint32_t d) const {
  const size_t first = f.find(kEllipsis), last = f.rfind(kEllipsis);
  const std::string_view head = f.substr(0, first);
  const std::string_view tail = last == std::string_view::npos ? std::string_view() : f.substr(last + kEllipsis.size());
  const auto endsBefore = [](std::string_view x, std::string_view y) {
    return std::lexicographical_compare(x.rbegin(), x.rend(), y.rbegin(), y.rend());
  };
  const auto frontFrom = std::partition_point(frontOrder_.begin(), frontOrder_.end(),
                                              [&](uint32_t k) { return distinct_[k] < head; });
  const auto frontTo = std::partition_point(frontFrom, frontOrder_.end(),
                                            [&](uint32_t k) { return distinct_[k].starts_with(head); });
  const auto backFrom = std::partition_point(backOrder_.begin(), backOrder_.end(),
                                             [&](uint32_t k) { return endsBefore(distinct_[k], tail); });
  const auto backTo = std::partition_point(backFrom, backOrder_.end(),
                                           [&](uint32_t k) { return distinct_[k].ends_with(tail); });
  const bool byFront = frontTo - frontFrom <= backTo - backFrom;
  const auto from = byFront ? frontFrom : backFrom, to = byFront ? frontTo : backTo;
  if (static_cast<size_t>(to - from) > kMostRead) return false;
  // A text that reads from f holds every pair of bytes of f's pieces
  // between: most texts sharing f's ends lack one.
  const uint64_t pairs = first == last ? 0 : bytePairs(f.substr(first, last - first));
  return std::any_of(from, to, [&](uint32_t e) {
    return e != d && (pairs & ~pairs_[e]) == 0 && readsAs(f, distinct_[e]);
  });
}

std::vector<std::string> NameParts::forms(int64_t room, const TextMeasure& measure,
                                          const std::vector<uint8_t>* wanted) const {
  const uint32_t D = static_cast<uint32_t>(distinct_.size());
  std::vector<std::string> forms(D);
  std::vector<std::optional<Cut>> cuts(D);
  std::vector<size_t> recipe(D, 0);
  std::vector<uint8_t> made(D, wanted ? 0 : 1);
  if (wanted)
    for (size_t i = 0; i < id_.size(); ++i) made[id_[i]] = made[id_[i]] || (*wanted)[i];
  std::vector<uint32_t> open;  // cut texts whose form may still change
  for (uint32_t d = 0; d < D; ++d) {
    if (!made[d]) continue;
    const std::string_view t = distinct_[d];
    if (measure.widthOf(t) <= room) {
      forms[d] = std::string(t);
      continue;
    }
    cuts[d].emplace(t, front_[d], back_[d], room, measure);
    if (std::optional<std::string> f = cuts[d]->formFrom(recipe[d])) {
      forms[d] = std::move(*f);
      open.push_back(d);
    } else {
      forms[d] = fitText(t, room, measure);  // the room holds no recipe
    }
  }
  // A form that meets another text's, or reads as another text, takes its
  // text's next recipe (a text out of recipes keeps its last), until no
  // form that may change does either.
  while (!open.empty()) {
    std::unordered_map<std::string_view, uint32_t> first;
    std::vector<uint8_t> met(D, 0);
    for (uint32_t d = 0; d < D; ++d) {
      if (!made[d]) continue;
      const auto [it, added] = first.try_emplace(forms[d], d);
      if (!added) met[d] = met[it->second] = 1;
    }
    std::vector<uint32_t> still;
    for (uint32_t d : open) {
      if (!(met[d] || misreads(forms[d], d))) continue;
      ++recipe[d];
      if (std::optional<std::string> f = cuts[d]->formFrom(recipe[d])) {
        forms[d] = std::move(*f);
        still.push_back(d);
      }
    }
    open.swap(still);
  }
  std::vector<std::string> out;
  out.reserve(id_.size());
  for (uint32_t d : id_) out.push_back(forms[d]);
  return out;
}

std::vector<std::string> partedForms(const std::vector<PartedName>& names, int64_t room, const TextMeasure& measure,
                                     const std::vector<uint8_t>* wanted) {
  std::vector<std::string> out(names.size());
  const auto want = [&](uint32_t i) { return !wanted || (*wanted)[i]; };
  // By their first part with its joint.
  std::unordered_map<std::string_view, std::vector<uint32_t>> byKept;
  for (uint32_t i = 0; i < names.size(); ++i) byKept[names[i].text.substr(0, names[i].restAt)].push_back(i);
  std::vector<uint8_t> whole;  // names cut as a whole: not even their first part fits
  for (const auto& [kept, members] : byKept) {
    if (!std::any_of(members.begin(), members.end(), want)) continue;
    const PartedName& one = names[members.front()];
    if (measure.widthOf(one.text.substr(0, one.keptEnd)) > room) {
      whole.resize(names.size(), 0);
      for (uint32_t i : members) whole[i] = want(i);
      continue;
    }
    // Each rest is measured standing after the first part.
    std::vector<std::string_view> rests;
    std::vector<uint8_t> these(members.size());
    bool cut = false;
    for (size_t m = 0; m < members.size(); ++m) {
      const PartedName& p = names[members[m]];
      rests.push_back(p.text.substr(p.restAt));
      if (!want(members[m])) continue;
      if (measure.widthOf(p.text) <= room) out[members[m]] = std::string(p.text);
      else these[m] = 1, cut = true;
    }
    if (!cut) continue;
    const TextMeasure after{measure.size, measure.perChar, kept};
    const std::vector<std::string> forms = NameParts(rests).forms(room, after, &these);
    for (size_t m = 0; m < members.size(); ++m) {
      if (!these[m]) continue;
      const PartedName& p = names[members[m]];
      if (p.restAt == p.text.size() || forms[m].empty()) out[members[m]] = std::string(p.text.substr(0, p.keptEnd));
      else out[members[m]] = std::string(kept).append(forms[m]);
    }
  }
  if (!whole.empty()) {
    std::vector<std::string_view> texts;
    for (const PartedName& p : names) texts.push_back(p.text);
    std::vector<std::string> forms = NameParts(texts).forms(room, measure, &whole);
    for (uint32_t i = 0; i < names.size(); ++i)
      if (whole[i]) out[i] = std::move(forms[i]);
  }
  return out;
}

ShortForms::ShortForms() = default;
ShortForms::~ShortForms() = default;

const std::vector<std::string>& ShortForms::of(const Array& texts, int64_t room, const TextMeasure& measure) {
  return of(texts, room, measure, PartsOf());
}

const std::vector<std::string>& ShortForms::of(const Array& texts, int64_t room, const TextMeasure& measure,
                                               const PartsOf& partsOf) {
  const uint32_t n = texts.count();
  bool same = (parts_ || isParted_) && n == sources_.size() && isParted_ == static_cast<bool>(partsOf);
  for (uint32_t i = 0; same && i < n; ++i) {
    const Ref<String> s = cast<String>(texts.get(i));
    same = s == sources_[i] && (!s || s->byteLength() == lengths_[i]);
  }
  if (!same) {
    sources_.assign(n, Ref<String>());
    lengths_.assign(n, 0);
    std::vector<std::string_view> views(n);
    for (uint32_t i = 0; i < n; ++i) {
      sources_[i] = cast<String>(texts.get(i));
      if (!sources_[i]) continue;
      lengths_[i] = sources_[i]->byteLength();
      views[i] = drawnText(*sources_[i]);
    }
    isParted_ = static_cast<bool>(partsOf);
    parted_.clear();
    if (isParted_) {
      for (uint32_t i = 0; i < n; ++i) {
        const auto [keptEnd, restAt] = sources_[i] ? partsOf(*sources_[i]) : std::pair<uint32_t, uint32_t>{0, 0};
        const auto size = static_cast<uint32_t>(views[i].size());
        parted_.push_back({views[i], std::min(keptEnd, size), std::min(restAt, size)});
      }
      parts_.reset();
    } else {
      parts_ = std::make_unique<NameParts>(views);
    }
    kept_.clear();
  }
  auto it = std::find_if(kept_.begin(), kept_.end(),
                         [&](const Kept& k) { return k.room == room && k.measure == measure; });
  if (it == kept_.end()) {
    if (kept_.size() == kRoomsKept) kept_.pop_back();
    kept_.insert(kept_.begin(),
                 Kept{room, measure, isParted_ ? partedForms(parted_, room, measure) : parts_->forms(room, measure)});
  } else if (it != kept_.begin()) {
    std::rotate(kept_.begin(), it, it + 1);
  }
  return kept_.front().forms;
}
}  // namespace quorl::chart
