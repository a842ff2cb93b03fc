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
#include "bench/FlatIndex.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <unordered_map>

#include "foundation/Array.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXViewDriver.h"

namespace quorl::chart {

namespace {

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

// Bytes compared unsigned from the end, as the sorted orders compare them.
bool endsBefore(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend(), [](char x, char y) {
    return static_cast<uint8_t>(x) < static_cast<uint8_t>(y);
  });
}

// The distinct texts in order of their bytes from the front (or, backwards,
// from the end).
std::vector<uint32_t> sortedOrder(const std::vector<std::string_view>& texts, bool backwards) {
  std::vector<uint32_t> order(texts.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  if (!backwards) {
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return texts[a] < texts[b]; });
    return order;
  }
  // Each text's bytes reversed, one after another, compared as they lie.
  std::string reversed;
  std::vector<std::string_view> views;
  size_t total = 0;
  for (std::string_view t : texts) total += t.size();
  reversed.reserve(total);
  for (std::string_view t : texts) reversed.append(t.rbegin(), t.rend());
  for (size_t i = 0, at = 0; i < texts.size(); at += texts[i].size(), ++i)
    views.push_back(std::string_view(reversed).substr(at, texts[i].size()));
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return views[a] < views[b]; });
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

// Whether character c of t (starts: charStarts(t)) starts a word: it does
// after a mark, at a capital after a small letter, and where letters and
// digits meet.
bool startsWord(std::string_view t, const std::vector<uint32_t>& starts, uint32_t c) {
  if (c == 0) return true;
  const char a = t[starts[c - 1]], b = t[starts[c]];
  const bool letterA = lower(a) || upper(a), letterB = lower(b) || upper(b);
  return separator(a) || (lower(a) && upper(b)) || (letterA && digit(b)) || (digit(a) && letterB);
}

// The characters of t's first word.
uint32_t firstWord(std::string_view t, const std::vector<uint32_t>& starts) {
  const auto n = static_cast<uint32_t>(starts.size() - 1);
  uint32_t word = 1;
  while (word < n && !separator(t[starts[word]]) && !startsWord(t, starts, word)) ++word;
  return std::min(word, n);
}

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

  // `width`: the text's own width in the measure alone, when known.
  Cut(std::string_view t, uint32_t frontShared, uint32_t backShared, int64_t room, const TextMeasure& measure,
      int64_t width = -1)
      : t_(t), starts_(charStarts(t)), n_(static_cast<uint32_t>(starts_.size() - 1)), room_(room),
        measure_(measure) {
    headNeed_ = charsThrough(frontShared);
    if (backShared < t.size())
      tailNeed_ = n_ - charsThrough(static_cast<uint32_t>(t.size()) - 1 - backShared) + 1;
    // The characters to start from: as many as the whole text's mean width
    // lets the room hold, less what stands before the text.
    const TextMeasure alone{measure.size, measure.perChar};
    const int64_t whole = std::max<int64_t>(width >= 0 ? width : alone.widthOf(t), 1);
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
  bool wordStart(uint32_t c) const { return startsWord(t_, starts_, c); }
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
  // A text that begins another keeps as much of its beginning as it can:
  // its end is there only to tell it from the texts it begins.
  Window tailFirst(uint32_t keep) const {
    const uint32_t need = tailNeed_ == kFar ? 0 : tailNeed_;
    const uint32_t tail = std::min(headNeed_ == kFar ? need : std::max(need, keep / 2), keep);
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
    const uint32_t word = firstWord(t_, starts_);
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
// ellipsis, folded onto 256 bits.
struct Pairs {
  uint64_t bits[4] = {};
  bool within(const Pairs& o) const {
    return !((bits[0] & ~o.bits[0]) | (bits[1] & ~o.bits[1]) | (bits[2] & ~o.bits[2]) | (bits[3] & ~o.bits[3]));
  }
};

Pairs bytePairs(std::string_view t) {
  Pairs marks;
  for (size_t k = 0; k + 1 < t.size(); ++k) {
    const auto a = static_cast<uint8_t>(t[k]), b = static_cast<uint8_t>(t[k + 1]);
    if (a >= 0x80 || b >= 0x80) continue;  // a piece's bytes next to an ellipsis are not neighbours in a text
    const uint32_t h = (a * 31u + b) & 255u;
    marks.bits[h >> 6] |= uint64_t{1} << (h & 63u);
  }
  return marks;
}

// A form is read against every text that begins with its first piece and
// ends with its last: a run of each sorted order, the shorter read through.
// Where both runs are longer than this and the form has pieces between its
// ellipses, the texts holding the rarest 4-byte piece of those are read
// instead (Index::grams).
constexpr size_t kReadThrough = 512;
constexpr size_t kGram = 4, kGramStep = 4;

uint32_t gramAt(std::string_view t, size_t at) {
  uint32_t g = 0;
  for (size_t k = 0; k < kGram; ++k) g = g << 8 | static_cast<uint8_t>(t[at + k]);
  return g;
}

// The form of t of the most characters that fits the room and tells,
// kept of t as a beginning, a window and an end (each may be empty), each
// ellipsis standing for at least one character. Tried where no recipe
// tells: names whose words repeat can part where no recipe looks. A form
// that keeps more of the same pieces reads as no more texts, so only the
// most characters that fit and one fewer are tried, short beginnings
// first (the recipes tried the long ones), each read first against the
// texts nearest t (`near`), which read most of them, and at most
// kMostTried in all.
template <typename Tells>
std::optional<std::string> anyTelling(std::string_view t, int64_t room, const TextMeasure& measure,
                                      const std::vector<std::string_view>& near, const Tells& tells) {
  constexpr size_t kMostTried = 4096;
  const std::vector<uint32_t> starts = charStarts(t);
  const auto n = static_cast<uint32_t>(starts.size() - 1);
  if (n < 2) return std::nullopt;
  const auto piece = [&](uint32_t from, uint32_t to) { return t.substr(starts[from], starts[to] - starts[from]); };
  std::string f;
  // The most characters that fit with two ellipses.
  uint32_t most = n - 1;
  while (most > 0 && measure.widthOf(f.assign(kEllipsis).append(piece(0, most)).append(kEllipsis)) > room) --most;
  size_t tried = 0;
  const auto check = [&]() {
    ++tried;
    if (measure.widthOf(f) > room) return false;
    for (std::string_view o : near)
      if (o != t && readsAs(f, o)) return false;
    return tells(f);
  };
  for (uint32_t k = std::min(n - 1, most + 1); k >= 1 && k + 1 >= most; --k)
    for (uint32_t h = 0; h <= k; ++h)
      for (uint32_t tail = 0; h + tail <= k; ++tail) {
        if (tried > kMostTried) return std::nullopt;
        const uint32_t mid = k - h - tail;
        if (mid == 0) {
          if (h + tail >= n) continue;
          f.assign(piece(0, h)).append(kEllipsis).append(piece(n - tail, n));
          if (check()) return f;
          continue;
        }
        // A window between two ellipses, each standing for a character.
        for (uint32_t a = h + 1; a + mid + 1 + tail <= n; ++a) {
          f.assign(piece(0, h)).append(kEllipsis).append(piece(a, a + mid)).append(kEllipsis).append(piece(n - tail, n));
          if (check()) return f;
        }
      }
  return std::nullopt;
}

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

// The distinct texts in their two sorted orders, each text's place in
// them, its pairs of ASCII bytes, and an index of its 4-byte pieces made
// on first need.
struct NameParts::Index {
  std::vector<uint32_t> frontOrder, frontRank;  // frontRank by distinct text
  // The order from the end, made on first need: many lists are asked only
  // what begins with a piece.
  mutable std::vector<uint32_t> backOrder, backRank;
  mutable bool backMade = false;
  // By distinct text (bytePairs), each made on first need.
  mutable std::vector<Pairs> pairs;
  mutable std::vector<uint8_t> paired;
  const Pairs& pairsOf(const std::vector<std::string_view>& texts, uint32_t e) const {
    if (!paired[e]) pairs[e] = bytePairs(texts[e]), paired[e] = 1;
    return pairs[e];
  }
  // The texts holding each 4-byte piece at a place that is a multiple of
  // kGramStep, by a hash of the piece into buckets: bucket k's texts are
  // texts[start[k] .. start[k + 1]), in order, a text once for each place
  // it holds a piece of the bucket. Pieces that share a bucket share its
  // texts: whoever reads them reads each text through. A piece of
  // kGram + kGramStep - 1 bytes or more found in a text holds, at one of
  // its first kGramStep places, a 4-byte piece the text has at such a
  // place.
  mutable std::vector<uint32_t> start, holders;
  mutable uint32_t shift = 32;
  mutable bool gramsMade = false;

  uint32_t bucketOf(uint32_t gram) const { return shift >= 32 ? 0 : (gram * 2654435761u) >> shift; }

  void makeGrams(const std::vector<std::string_view>& texts) const {
    gramsMade = true;
    size_t total = 0;
    for (std::string_view t : texts) total += t.size() >= kGram ? (t.size() - kGram) / kGramStep + 1 : 0;
    uint32_t bits = 4;
    while (bits < 22 && (size_t{1} << bits) < total / 2) ++bits;
    shift = 32 - bits;
    start.assign((size_t{1} << bits) + 1, 0);
    const auto each = [&](const auto& visit) {
      for (uint32_t e = 0; e < texts.size(); ++e) {
        uint32_t g = 0;
        for (size_t at = 0; at < texts[e].size(); ++at) {
          g = g << 8 | static_cast<uint8_t>(texts[e][at]);
          if (at + 1 >= kGram && (at + 1 - kGram) % kGramStep == 0) visit(bucketOf(g), e);
        }
      }
    };
    each([&](uint32_t k, uint32_t) { ++start[k + 1]; });
    for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
    holders.resize(total);
    std::vector<uint32_t> at(start.begin(), start.end() - 1);
    each([&](uint32_t k, uint32_t e) { holders[at[k]++] = e; });
  }
  // The texts of the bucket of a 4-byte piece.
  std::pair<const uint32_t*, const uint32_t*> holding(uint32_t gram) const {
    const uint32_t k = bucketOf(gram);
    return {holders.data() + start[k], holders.data() + start[k + 1]};
  }
};

NameParts::NameParts(const std::vector<std::string_view>& texts, bool distinct)
    : id_(texts.size()), index_(std::make_unique<Index>()) {
  if (distinct) {
    distinct_ = texts;
    for (uint32_t i = 0; i < texts.size(); ++i) id_[i] = i;
    firstOf_ = id_;
  } else {
    std::unordered_map<std::string_view, uint32_t> idOf;
    for (size_t i = 0; i < texts.size(); ++i) {
      const auto [it, added] = idOf.try_emplace(texts[i], static_cast<uint32_t>(distinct_.size()));
      if (added) distinct_.push_back(texts[i]), firstOf_.push_back(static_cast<uint32_t>(i));
      id_[i] = it->second;
    }
  }
  Index& x = *index_;
  x.frontOrder = sortedOrder(distinct_, false);
  x.frontRank.resize(distinct_.size());
  for (uint32_t k = 0; k < x.frontOrder.size(); ++k) x.frontRank[x.frontOrder[k]] = k;
  x.pairs.resize(distinct_.size());
  x.paired.assign(distinct_.size(), 0);
  front_ = mostShared(distinct_, x.frontOrder, false);
}

const NameParts::Index& NameParts::backed() const {
  Index& x = *index_;
  if (!x.backMade) {
    x.backMade = true;
    x.backOrder = sortedOrder(distinct_, true);
    x.backRank.resize(distinct_.size());
    for (uint32_t k = 0; k < x.backOrder.size(); ++k) x.backRank[x.backOrder[k]] = k;
    back_ = mostShared(distinct_, x.backOrder, true);
  }
  return x;
}

NameParts::~NameParts() = default;

// The texts that could read from f are those that begin with its first
// piece and end with its last: a run of each sorted order. Every text of
// the shorter run is read, or of the texts holding the rarest 4-byte piece
// between the ellipses where that is shorter still.
bool NameParts::misreads(std::string_view f, uint32_t d) const {
  const Index& x = *index_;
  const size_t first = f.find(kEllipsis);
  const auto inRun = [](uint32_t rank, std::pair<uint32_t, uint32_t> run) { return rank >= run.first && rank < run.second; };
  if (first == std::string_view::npos) {
    // Without an ellipsis f reads as every text it begins.
    const auto run = frontRun(f);
    const uint32_t self = d < distinct_.size() && inRun(x.frontRank[d], run) ? 1 : 0;
    return run.second - run.first > self;
  }
  backed();
  const size_t last = f.rfind(kEllipsis);
  const std::string_view head = f.substr(0, first), tail = f.substr(last + kEllipsis.size());
  const auto front = frontRun(head);
  const auto backFrom = std::partition_point(x.backOrder.begin(), x.backOrder.end(),
                                             [&](uint32_t k) { return endsBefore(distinct_[k], tail); });
  const auto backTo =
      std::partition_point(backFrom, x.backOrder.end(), [&](uint32_t k) { return distinct_[k].ends_with(tail); });
  const std::pair<uint32_t, uint32_t> back{static_cast<uint32_t>(backFrom - x.backOrder.begin()),
                                           static_cast<uint32_t>(backTo - x.backOrder.begin())};
  // A text that reads from f holds every pair of bytes of f's pieces
  // between: most texts sharing f's ends lack one.
  const Pairs pairs = first == last ? Pairs{} : bytePairs(f.substr(first, last - first));
  const auto reads = [&](uint32_t e) {
    return e != d && inRun(x.frontRank[e], front) && inRun(x.backRank[e], back) && pairs.within(x.pairsOf(distinct_, e)) &&
           readsAs(f, distinct_[e]);
  };
  const size_t frontCount = front.second - front.first, backCount = back.second - back.first;
  size_t fewest = std::min(frontCount, backCount);
  if (fewest > kReadThrough && first != last) {
    // The pieces between: of each long enough, the run of kGramStep places
    // whose buckets hold the fewest texts; of those, the fewest.
    std::vector<std::pair<const uint32_t*, const uint32_t*>> best;
    size_t bestCount = fewest;
    for (size_t p = first + kEllipsis.size(); p < last;) {
      const size_t next = f.find(kEllipsis, p);
      const std::string_view piece = f.substr(p, next - p);
      for (size_t at = 0; at + kGram + kGramStep - 1 <= piece.size(); ++at) {
        if (!x.gramsMade) x.makeGrams(distinct_);
        std::vector<std::pair<const uint32_t*, const uint32_t*>> run;
        size_t count = 0;
        for (size_t o = 0; o < kGramStep; ++o) {
          run.push_back(x.holding(gramAt(piece, at + o)));
          count += static_cast<size_t>(run.back().second - run.back().first);
        }
        if (count < bestCount) best = std::move(run), bestCount = count;
      }
      p = next + kEllipsis.size();
    }
    if (!best.empty())
      return std::any_of(best.begin(), best.end(), [&](const auto& b) { return std::any_of(b.first, b.second, reads); });
  }
  if (frontCount <= backCount)
    return std::any_of(x.frontOrder.begin() + front.first, x.frontOrder.begin() + front.second, reads);
  return std::any_of(backFrom, backTo, reads);
}

std::pair<uint32_t, uint32_t> NameParts::frontRun(std::string_view head) const {
  const std::vector<uint32_t>& order = index_->frontOrder;
  const auto from =
      std::partition_point(order.begin(), order.end(), [&](uint32_t k) { return distinct_[k] < head; });
  const auto to = std::partition_point(from, order.end(), [&](uint32_t k) { return distinct_[k].starts_with(head); });
  return {static_cast<uint32_t>(from - order.begin()), static_cast<uint32_t>(to - order.begin())};
}

std::vector<uint32_t> NameParts::beginningWith(std::string_view head) const {
  const std::vector<uint32_t>& order = index_->frontOrder;
  const auto [from, to] = frontRun(head);
  std::vector<uint32_t> out;
  for (uint32_t k = from; k < to; ++k) out.push_back(firstOf_[order[k]]);
  return out;
}

bool NameParts::readsAsOther(std::string_view f, uint32_t i) const {
  return misreads(f, i < id_.size() ? id_[i] : kFar);
}

NameParts::Form NameParts::formOfDistinct(uint32_t d, int64_t room, const TextMeasure& measure, int64_t width,
                                          const Judge* judge) const {
  const std::string_view t = distinct_[d];
  const bool alone = measure.after.empty();
  if (width < 0 || !alone) width = measure.widthOf(t);
  const bool fits = width <= room;
  const auto tells = [&](std::string_view f) { return judge ? (*judge)(f) : !misreads(f, d); };
  // A text that fits stands whole, unless it begins another text: then it
  // is cut like a longer one where the room holds a form that tells it.
  if (fits && tells(t)) return {std::string(t), true};
  backed();
  Cut cut(t, front_[d], back_[d], room, measure, alone ? width : -1);
  std::optional<std::string> last;
  for (size_t r = 0;; ++r) {
    std::optional<std::string> f = cut.formFrom(r);
    if (!f) break;
    if (tells(*f)) return {std::move(*f), true};
    last = std::move(f);
  }
  // No recipe tells it: any beginning, window and end that fit and tell,
  // the most characters first.
  std::vector<std::string_view> near;
  const Index& x = *index_;
  for (const std::vector<uint32_t>* order : {&x.frontOrder, const_cast<const std::vector<uint32_t>*>(&x.backOrder)}) {
    const uint32_t at = order == &x.frontOrder ? x.frontRank[d] : x.backRank[d];
    if (at > 0) near.push_back(distinct_[(*order)[at - 1]]);
    if (at + 1 < order->size()) near.push_back(distinct_[(*order)[at + 1]]);
  }
  if (std::optional<std::string> f = anyTelling(t, room, measure, near, tells)) return {std::move(*f), true};
  if (fits) return {std::string(t), false};
  if (last) return {std::move(*last), false};
  return {fitText(t, room, measure), false};  // the room holds no recipe
}

NameParts::Form NameParts::formOf(uint32_t i, int64_t room, const TextMeasure& measure, int64_t width) const {
  return formOfDistinct(id_[i], room, measure, width);
}

NameParts::Form NameParts::formOf(uint32_t i, int64_t room, const TextMeasure& measure, int64_t width,
                                  const Judge& tells) const {
  return formOfDistinct(id_[i], room, measure, width, &tells);
}

NameParts::Form NameParts::shortest(uint32_t i, const TextMeasure& measure, uint32_t fewest) const {
  backed();
  const uint32_t d = id_[i];
  const std::string_view t = distinct_[d];
  const std::vector<uint32_t> starts = charStarts(t);
  const auto n = static_cast<uint32_t>(starts.size() - 1);
  Form best;
  int64_t bestWidth = INT64_MAX;
  const auto consider = [&](std::string f) {
    const int64_t w = measure.widthOf(f);
    if (w >= bestWidth || misreads(f, d)) return;
    best = {std::move(f), true};
    bestWidth = w;
  };
  const auto cut = [&](uint32_t head, uint32_t tail) {
    std::string f(t.substr(0, starts[head]));
    f += kEllipsis;
    f += t.substr(starts[n - tail]);
    return f;
  };
  consider(std::string(t));
  // The characters through the first byte no other text has there, from
  // the front and from the end; kFar where there is none.
  uint32_t headNeed = kFar, tailNeed = kFar;
  if (front_[d] < t.size())
    headNeed = static_cast<uint32_t>(std::upper_bound(starts.begin(), starts.end(), front_[d]) - starts.begin());
  if (back_[d] < t.size()) {
    const auto byte = static_cast<uint32_t>(t.size()) - 1 - back_[d];
    tailNeed = n - (static_cast<uint32_t>(std::upper_bound(starts.begin(), starts.end(), byte) - starts.begin()) - 1);
  }
  // The first word and the end that tells; the beginning that tells; the
  // end; then a window, where it is narrower than those.
  const uint32_t word = firstWord(t, starts);
  if (tailNeed != kFar) {
    const uint32_t tail = std::max(tailNeed, fewest > word ? fewest - word : 1);
    if (word + tail < n) consider(cut(word, tail));
  }
  if (headNeed != kFar) {
    const uint32_t head = std::max(headNeed, fewest);
    if (head < n) consider(cut(head, 0));
  }
  if (tailNeed != kFar) {
    const uint32_t tail = std::max(tailNeed, fewest);
    if (tail < n) consider(cut(0, tail));
  }
  // The first word and a window from the word where the text parts from
  // its nearest, as long as it takes to read as no other text.
  if (headNeed != kFar && headNeed > word + 1) {
    uint32_t from = headNeed - 1;
    while (from > word + 1 && !startsWord(t, starts, from)) --from;
    if (from > word + 1 && separator(t[starts[from - 1]])) --from;  // the mark before the word holds it in place
    // A window that does not tell within a few more characters rarely
    // does with more: its end is shared.
    constexpr uint32_t kLongest = 8;
    for (uint32_t to = headNeed; to < n && to <= headNeed + kLongest; ++to) {
      if (word + (to - from) < fewest && to + 1 < n) continue;
      std::string f(t.substr(0, starts[word]));
      f.append(kEllipsis).append(t.substr(starts[from], starts[to] - starts[from])).append(kEllipsis);
      if (measure.widthOf(f) >= bestWidth) break;  // longer windows are wider still
      if (!misreads(f, d)) {
        consider(std::move(f));
        break;
      }
    }
  }
  if (!best.told) best.text = std::string(t);
  return best;
}

std::vector<std::string> NameParts::forms(int64_t room, const TextMeasure& measure,
                                          const std::vector<uint8_t>* wanted) const {
  const auto D = static_cast<uint32_t>(distinct_.size());
  std::vector<std::string> forms(D);
  std::vector<uint8_t> made(D, wanted ? 0 : 1);
  if (wanted)
    for (size_t i = 0; i < id_.size(); ++i) made[id_[i]] = made[id_[i]] || (*wanted)[i];
  for (uint32_t d = 0; d < D; ++d)
    if (made[d]) forms[d] = formOfDistinct(d, room, measure).text;
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

FoldedTexts::FoldedTexts(std::span<const std::string_view> given, std::span<const std::string_view> ties) {
  const auto n = static_cast<uint32_t>(given.size());
  for (const std::string_view v : given) texts.push_back(textkeys::folded(v));
  front.resize(n);
  for (uint32_t k = 0; k < n; ++k) front[k] = k;
  std::sort(front.begin(), front.end(), [&](uint32_t a, uint32_t b) {
    if (texts[a] != texts[b]) return texts[a] < texts[b];
    return ties.empty() ? a < b : ties[a] < ties[b];
  });
  back = sortedOrder(std::vector<std::string_view>(texts.begin(), texts.end()), true);
}

std::span<const uint32_t> FoldedTexts::candidates(std::string_view f) const {
  const size_t first = f.find(kEllipsis);
  const std::string_view head = f.substr(0, first),
                         tail = first == std::string_view::npos ? std::string_view()
                                                                : f.substr(f.rfind(kEllipsis) + kEllipsis.size());
  const auto frontFrom = std::partition_point(front.begin(), front.end(),
                                              [&](uint32_t k) { return std::string_view(texts[k]) < head; });
  const auto frontTo =
      std::partition_point(frontFrom, front.end(), [&](uint32_t k) { return texts[k].starts_with(head); });
  const auto backFrom =
      std::partition_point(back.begin(), back.end(), [&](uint32_t k) { return endsBefore(texts[k], tail); });
  const auto backTo = std::partition_point(backFrom, back.end(), [&](uint32_t k) { return texts[k].ends_with(tail); });
  if (frontTo - frontFrom <= backTo - backFrom) return {frontFrom, frontTo};
  return {backFrom, backTo};
}

// A reader takes "AMD EPYC 9…)" for "Amd Epyc 9654 … slot 13)" as well:
// forms are read with letter case ignored too. The texts folded (A-Z as
// a-z), sorted from the front and from the end, find the texts a form could
// read as; and a text whose beginning (or end) runs further alike with a
// neighbour once folded than in its bytes is the one whose form may read
// as another folded, where the byte rule took it as told. Texts equal once
// folded read as one name.
struct ShortForms::Folded {
  std::vector<std::string_view> given;  // the texts as given, in the Strings held
  FoldedTexts folded;
  std::vector<uint8_t> caseTold;  // by text given: told by its bytes further than folded

  // Copies of one text stand together in the front order (ties by bytes),
  // so that the flag one of them earns is given to all of them.
  explicit Folded(const std::vector<std::string_view>& views) : given(views), folded(views, views) {
    const std::vector<std::string>& texts = folded.texts;
    caseTold.assign(views.size(), 0);
    // Along each order, the bytes two neighbours share folded and as they
    // are; where the most shared with either neighbour folded is more than
    // the bytes share, the text parts later for a reader.
    const auto mark = [&](const std::vector<uint32_t>& order, bool fromEnd) {
      const auto shared = [&](std::string_view a, std::string_view b, bool fold) {
        size_t k = 0;
        const size_t m = std::min(a.size(), b.size());
        const auto at = [&](std::string_view t, size_t i) {
          const auto c = static_cast<uint8_t>(fromEnd ? t[t.size() - 1 - i] : t[i]);
          return fold ? textkeys::fold(c) : c;
        };
        while (k < m && at(a, k) == at(b, k)) ++k;
        return k;
      };
      for (size_t r = 0; r + 1 < order.size(); ++r) {
        const uint32_t a = order[r], b = order[r + 1];
        if (texts[a] == texts[b]) continue;  // one name to a reader
        if (shared(views[a], views[b], true) > shared(views[a], views[b], false)) caseTold[a] = caseTold[b] = 1;
      }
    };
    mark(folded.front, false);
    mark(folded.back, true);
    const std::vector<uint32_t>& front = folded.front;
    for (size_t r = 0; r < front.size();) {
      size_t end = r + 1;
      uint8_t told = caseTold[front[r]];
      for (; end < front.size() && views[front[end]] == views[front[r]]; ++end) told |= caseTold[front[end]];
      for (; r < end; ++r) caseTold[front[r]] = told;
    }
  }

  // Whether form f reads, case ignored, as a text other than text i (and
  // than those equal to it folded).
  bool readsAsOther(std::string_view f, uint32_t i) const {
    const std::string g = textkeys::folded(f);
    const std::vector<std::string>& texts = folded.texts;
    for (const uint32_t k : folded.candidates(g))
      if (texts[k] != texts[i] && readsAs(g, texts[k])) return true;
    return false;
  }
};

ShortForms::ShortForms() = default;
ShortForms::~ShortForms() = default;

std::vector<std::string> ShortForms::formsAt(int64_t room, const TextMeasure& measure) const {
  if (isParted_) return partedForms(parted_, room, measure);
  std::vector<std::string> forms = parts_->forms(room, measure);
  // The forms of texts that part later for a reader are read again, case
  // ignored, and made anew where they read as another text.
  // Copies of a text take the form made for the first of them.
  std::unordered_map<std::string_view, uint32_t> madeFor;
  for (uint32_t i = 0; i < forms.size(); ++i) {
    if (!folded_->caseTold[i]) continue;
    const auto [first, added] = madeFor.try_emplace(folded_->given[i], i);
    if (!added) {
      forms[i] = forms[first->second];
      continue;
    }
    if (!folded_->readsAsOther(forms[i], i)) continue;
    const NameParts::Judge tells = [&](std::string_view f) { return !folded_->readsAsOther(f, i); };
    forms[i] = parts_->formOf(i, room, measure, -1, tells).text;
  }
  return forms;
}

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
      folded_ = std::make_unique<Folded>(views);
    }
    kept_.clear();
  }
  const Key key{room, measure, gDriver.get()};
  auto it = std::find_if(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.key == key; });
  if (it == kept_.end()) {
    if (kept_.size() == kRoomsKept) kept_.pop_back();
    kept_.insert(kept_.begin(), Kept{key, formsAt(room, measure)});
  } else if (it != kept_.begin()) {
    std::rotate(kept_.begin(), it, it + 1);
  }
  return kept_.front().forms;
}

// ---------------------------------------------------------------------------
// Labels of parts

namespace {

bool endsWithEllipsis(std::string_view t) { return t.ends_with(kEllipsis); }


// Distinct texts of one kind of part, id 0 the empty one. The texts live in
// a deque, so that the views of them stay where they are as it grows.
struct KindTexts {
  std::deque<std::string> texts{std::string()};
  std::unordered_map<std::string_view, uint32_t> idOf{{std::string_view(), 0}};
  std::unique_ptr<NameParts> parts;  // of texts 1 on, made on first need
  std::vector<std::optional<NameParts::Form>> shortest;  // by id, at `shortestMeasure`
  TextMeasure shortestMeasure{0, 0};
  std::string shortestAfter;
  bool tells = false;  // its texts differ from item to item
  std::vector<int64_t> widths;  // by id, at `widthMeasure` (-1 not measured)
  TextMeasure widthMeasure{0, 0};

  int64_t widthOf(uint32_t id, const TextMeasure& measure) {
    if (!(widthMeasure.size == measure.size && widthMeasure.perChar == measure.perChar) || widths.size() != texts.size()) {
      widths.assign(texts.size(), -1);
      widthMeasure = {measure.size, measure.perChar};
    }
    if (widths[id] < 0) widths[id] = TextMeasure{measure.size, measure.perChar}.widthOf(texts[id]);
    return widths[id];
  }

  // By the address of the text last added at it: callers add the same
  // few texts again and again, most often from the same place.
  FlatIndex byAddress;

  uint32_t idFor(std::string_view text) {
    const auto address = reinterpret_cast<uint64_t>(text.data());
    if (const uint32_t known = byAddress.find(address); known != FlatIndex::kNone && texts[known] == text) return known;
    const auto it = idOf.find(text);
    uint32_t id;
    if (it != idOf.end()) {
      id = it->second;
    } else {
      id = static_cast<uint32_t>(texts.size());
      idOf.emplace(texts.emplace_back(text), id);
      parts.reset();
    }
    if (!text.empty()) byAddress.set(address, id);
    return id;
  }
  const NameParts& names() {
    if (!parts) {
      std::vector<std::string_view> views(texts.begin() + 1, texts.end());
      parts = std::make_unique<NameParts>(views);
      shortest.clear();
    }
    return *parts;
  }
  const NameParts::Form& shortestOf(uint32_t id, const TextMeasure& measure) {
    const NameParts& n = names();
    if (!(shortestMeasure == measure) || shortestAfter != measure.after || shortest.size() != texts.size()) {
      shortest.assign(texts.size(), std::nullopt);
      shortestMeasure = measure;
      shortestAfter.assign(measure.after);
      shortestMeasure.after = shortestAfter;
    }
    if (!shortest[id]) shortest[id] = n.shortest(id - 1, shortestMeasure, LabelSet::kFewestKept);
    return *shortest[id];
  }
};

}  // namespace

struct LabelSet::Data {
  std::vector<std::string> joints;
  uint32_t kinds = 0;
  std::vector<KindTexts> kindTexts;
  std::vector<uint32_t> parts;   // item * kinds + kind: the part's id in its kind
  // An item's label: its whole text, and its form as made at the room of
  // `made`, with whether it tells the item apart there.
  struct Label {
    std::string whole;
    std::optional<std::string> form;
    Told told = Told::apart;
  };
  std::deque<Label> labels;  // by item; a deque, so that views of the wholes stay valid
  std::unordered_map<std::string_view, uint32_t> itemOf;  // by whole
  std::unique_ptr<NameParts> wholeNames;  // of the wholes, made on first need
  bool settled = false;                   // what the items' kinds tell worked out

  // What the labels' forms were made for: a room and a measure, the text
  // it measures after held here.
  struct Made {
    int64_t room = -1;
    int32_t size = 0;
    int64_t perChar = 0;
    std::string after;
    bool operator==(const Made&) const = default;
    bool sameMeasure(const Made& o) const { return size == o.size && perChar == o.perChar && after == o.after; }
    TextMeasure measure() const { return {size, perChar, after}; }
  };
  Made made;

  std::string_view whole(uint32_t item) const { return labels[item].whole; }

  void settle() {
    if (settled) return;
    settled = true;
    beginnings.clear();
    for (uint32_t k = 0; k < kinds; ++k) {
      // A kind tells when two items hold different texts of it.
      bool tells = false;
      for (size_t i = 1; i < labels.size() && !tells; ++i) tells = parts[i * kinds + k] != parts[k];
      kindTexts[k].tells = tells;
    }
    if (!wholeNames) {
      std::vector<std::string_view> wholes;
      for (const Label& label : labels) wholes.push_back(label.whole);
      wholeNames = std::make_unique<NameParts>(wholes, true);
    }
  }

  // How a part is shown in a form.
  enum class Shown : uint8_t { whole, cut, dropped };
  struct Piece {
    Shown shown = Shown::whole;
    std::string text;  // a cut part's form
  };

  // The form of an item of these pieces: the parts after their joints,
  // a part left out one ellipsis with its joints, ellipses that meet as one.
  std::string compose(uint32_t item, const std::vector<Piece>& pieces) const {
    std::string out;
    bool any = false, pending = false;
    for (uint32_t k = 0; k < kinds; ++k) {
      const uint32_t id = parts[item * kinds + k];
      if (id == 0) continue;
      const Piece& p = pieces[k];
      if (p.shown == Shown::dropped) {
        pending = true;
        continue;
      }
      std::string_view text = p.shown == Shown::whole ? std::string_view(kindTexts[k].texts[id]) : p.text;
      if (pending) {
        // The ellipsis stands for the parts left out; the joint after them
        // stays, so that the part still reads as standing after one.
        if (!endsWithEllipsis(out)) out += kEllipsis;
        if (any) out += joints[k];
        else if (text.starts_with(kEllipsis)) text.remove_prefix(kEllipsis.size());
        pending = false;
      } else if (any) {
        out += joints[k];
      }
      out += text;
      any = true;
    }
    if (pending && !endsWithEllipsis(out)) out += kEllipsis;
    return out;
  }

  bool tells(uint32_t item, std::string_view form) const {
    return readsAs(form, whole(item)) && !wholeNames->readsAsOther(form, item);
  }

  // The kinds an item keeps when something must go: those that tell items
  // apart and, whatever it tells, its first part, which names the item.
  std::vector<uint32_t> keptKinds(uint32_t item) const {
    std::vector<uint32_t> kept;
    for (uint32_t k = 0; k < kinds; ++k)
      if (parts[item * kinds + k] != 0 && (kindTexts[k].tells || kept.empty())) kept.push_back(k);
    return kept;
  }

  Piece pieceOf(uint32_t kind, uint32_t id, std::string text) const {
    if (text == kindTexts[kind].texts[id]) return Piece{};
    return {Shown::cut, std::move(text)};
  }

  // The kept parts at their shortest, the others left out.
  std::vector<Piece> shortestPieces(uint32_t item, const TextMeasure& m) {
    std::vector<Piece> pieces(kinds);
    for (uint32_t k = 0; k < kinds; ++k)
      if (parts[item * kinds + k] != 0) pieces[k].shown = Shown::dropped;
    for (uint32_t k : keptKinds(item)) {
      const uint32_t id = parts[item * kinds + k];
      pieces[k] = pieceOf(k, id, kindTexts[k].shortestOf(id, m).text);
    }
    return pieces;
  }

  // What is known of a beginning of forms (the text of an item's parts
  // before the part being cut, joint and all): its width in the measure of
  // the last room, and whether every item whose whole text begins with it
  // has the same parts before that part and none after it (-1 not known).
  struct Beginning {
    int64_t width = -1;
    int8_t owns = -1;
    std::vector<uint32_t> mates;  // where it owns: the ids of the items' next parts
  };
  std::unordered_map<std::string, Beginning> beginnings;

  int64_t widthOf(const std::string& before, const TextMeasure& m) {
    Beginning& b = beginnings[before];
    if (b.width < 0) b.width = m.widthOf(before);
    return b.width;
  }
  const Beginning& ownsBeginning(uint32_t item, uint32_t j, const std::string& before) {
    Beginning& b = beginnings[before];
    if (b.owns >= 0) return b;
    b.owns = 1;
    for (uint32_t e : wholeNames->beginningWith(before)) {
      for (uint32_t k = 0; k < kinds && b.owns; ++k)
        if (k < j ? parts[e * kinds + k] != parts[item * kinds + k] : k > j && parts[e * kinds + k] != 0) b.owns = 0;
      if (!b.owns) break;
      b.mates.push_back(parts[e * kinds + j]);
    }
    if (!b.owns) b.mates.clear();
    return b;
  }

  // The form of an item at the room, and whether it tells the item apart.
  // Tried in turn, the first that fits and tells taken: the whole text;
  // the last kept part cut, the others whole; the parts that tell nothing
  // left out and the kept ones cut from the last towards the first; the
  // whole text's own short form among the wholes.
  std::pair<std::string, bool> make(uint32_t item, int64_t R, const TextMeasure& m) {
    const std::string_view whole = this->whole(item);
    if (m.widthOf(whole) <= R && !wholeNames->readsAsOther(whole, item)) return {std::string(whole), true};
    const std::vector<uint32_t> kept = keptKinds(item);
    const TextMeasure single{m.size, m.perChar};
    std::vector<Piece> pieces(kinds);
    // Part j cut to its room, the kept parts after it to what room is left
    // in turn, each no shorter than its shortest telling form.
    const auto cutFrom = [&](size_t c, bool sharing) -> std::optional<std::string> {
      const uint32_t j = kept[c], id = parts[item * kinds + j];
      for (size_t later = c + 1; later < kept.size(); ++later) {
        const uint32_t k = kept[later], idK = parts[item * kinds + k];
        pieces[k] = pieceOf(k, idK, kindTexts[k].shortestOf(idK, single).text);
      }
      pieces[j] = {Shown::cut, std::string()};
      const std::string before = compose(item, pieces);
      int64_t roomJ = R - widthOf(before, m);
      // Where j is the item's last part and no other item's text begins
      // with what stands before it but those of the same earlier parts
      // (its mates), a form of j reads as another item exactly where it
      // reads as another mate's part j: it is read against those alone.
      const bool last = std::all_of(parts.begin() + item * kinds + j + 1, parts.begin() + (item + 1) * kinds,
                                    [](uint32_t p) { return p == 0; });
      const Beginning* mates = nullptr;
      if (c + 1 == kept.size() && last &&
          std::none_of(pieces.begin(), pieces.end(), [](const Piece& p) { return p.shown == Shown::dropped; })) {
        const Beginning& b = ownsBeginning(item, j, before);
        if (b.owns == 1) mates = &b;
      }
      const NameParts::Judge amongMates = [&](std::string_view f) {
        for (uint32_t mate : mates->mates)
          if (mate != id && readsAs(f, kindTexts[j].texts[mate])) return false;
        return true;
      };
      for (int attempt = 0; attempt < 3 && roomJ > 0; ++attempt) {
        const int64_t widthJ = kindTexts[j].widthOf(id, single);
        const NameParts::Form fj = mates ? kindTexts[j].names().formOf(id - 1, roomJ, single, widthJ, amongMates)
                                         : kindTexts[j].names().formOf(id - 1, roomJ, single, widthJ);
        pieces[j] = pieceOf(j, id, fj.text);
        for (size_t later = c + 1; sharing && later < kept.size(); ++later) {
          const uint32_t k = kept[later], idK = parts[item * kinds + k];
          Piece before = pieces[k];
          pieces[k] = {Shown::cut, std::string()};
          const NameParts::Form f = kindTexts[k].names().formOf(idK - 1, R - m.widthOf(compose(item, pieces)), single);
          const std::string_view was = before.shown == Shown::whole ? std::string_view(kindTexts[k].texts[idK]) : before.text;
          pieces[k] = f.told && single.widthOf(f.text) > single.widthOf(was) ? pieceOf(k, idK, f.text) : std::move(before);
        }
        std::string f = compose(item, pieces);
        const int64_t over = m.widthOf(f) - R;
        if (over <= 0) {
          if ((mates && fj.told) || tells(item, f)) return f;
          return std::nullopt;
        }
        roomJ -= over;  // the measure of joined parts is not quite their sum
      }
      return std::nullopt;
    };
    if (!kept.empty()) {
      if (std::optional<std::string> f = cutFrom(kept.size() - 1, false)) return {std::move(*f), true};
      bool drops = false;
      for (uint32_t k = 0; k < kinds; ++k)
        if (parts[item * kinds + k] != 0 && std::find(kept.begin(), kept.end(), k) == kept.end())
          pieces[k].shown = Shown::dropped, drops = true;
      for (size_t c = kept.size(); c-- > 0;) {
        if (c + 1 == kept.size() && !drops) continue;  // tried above
        for (size_t later = c; later < kept.size(); ++later) pieces[kept[later]] = Piece{};
        if (std::optional<std::string> f = cutFrom(c, true)) return {std::move(*f), true};
      }
    }
    NameParts::Form f = wholeNames->formOf(item, R, m);
    const bool told = f.told && m.widthOf(f.text) <= R;
    return {std::move(f.text), told};
  }
};

LabelSet::LabelSet(std::vector<std::string> joints) : d_(std::make_unique<Data>()) {
  d_->kinds = static_cast<uint32_t>(std::max<size_t>(joints.size(), 1));
  joints.resize(d_->kinds);
  d_->joints = std::move(joints);
  d_->kindTexts.resize(d_->kinds);
}

LabelSet::~LabelSet() = default;
LabelSet::LabelSet(LabelSet&&) noexcept = default;
LabelSet& LabelSet::operator=(LabelSet&&) noexcept = default;

uint32_t LabelSet::add(std::span<const std::string_view> parts) {
  Data& d = *d_;
  uint32_t ids[8] = {};
  std::vector<uint32_t> more;  // more kinds than that
  uint32_t* id = d.kinds <= 8 ? ids : (more.assign(d.kinds, 0), more.data());
  for (uint32_t k = 0; k < d.kinds && k < parts.size(); ++k) id[k] = d.kindTexts[k].idFor(parts[k]);
  thread_local std::string whole;
  whole.clear();
  bool any = false;
  for (uint32_t k = 0; k < d.kinds; ++k) {
    if (id[k] == 0) continue;
    if (any) whole += d.joints[k];
    whole += d.kindTexts[k].texts[id[k]];
    any = true;
  }
  const auto it = d.itemOf.find(whole);
  if (it != d.itemOf.end()) return it->second;
  const auto item = static_cast<uint32_t>(d.labels.size());
  d.itemOf.emplace(d.labels.emplace_back(Data::Label{whole, std::nullopt}).whole, item);
  d.parts.insert(d.parts.end(), id, id + d.kinds);
  d.settled = false;
  d.wholeNames.reset();
  d.made.room = -1;  // a new item may read as another's form
  return item;
}

uint32_t LabelSet::count() const { return static_cast<uint32_t>(d_->labels.size()); }

std::string_view LabelSet::whole(uint32_t item) const { return d_->whole(item); }

std::string_view LabelSet::part(uint32_t item, uint32_t kind) const {
  return d_->kindTexts[kind].texts[d_->parts[size_t{item} * d_->kinds + kind]];
}

LabelSet::Told LabelSet::forms(std::span<const uint32_t> asked, int64_t room, const TextMeasure& measure) {
  Data& d = *d_;
  d.settle();
  Data::Made asking{room, measure.size, measure.perChar, std::string(measure.after)};
  if (!(asking == d.made)) {
    if (!asking.sameMeasure(d.made))
      for (auto& [text, b] : d.beginnings) b.width = -1;
    d.made = std::move(asking);
    for (Data::Label& label : d.labels) label.form.reset();
  }
  const TextMeasure m = d.made.measure();
  Told out = Told::apart;
  for (uint32_t item : asked) {
    if (item >= d.labels.size()) continue;
    Data::Label& label = d.labels[item];
    if (!label.form) {
      auto [form, told] = d.make(item, room, m);
      label.form = std::move(form);
      label.told = told ? Told::apart : Told::wider;
      // Not told: does any room tell it? One wide enough for every form of
      // the whole text, ellipses and all.
      const int64_t any = 2 * (m.widthOf(label.whole) + m.widthOf(kEllipsis)) + 64;
      if (!told && !d.wholeNames->formOf(item, any, m).told) label.told = Told::alike;
    }
    out = std::max(out, label.told);
  }
  return out;
}

const std::optional<std::string>& LabelSet::form(uint32_t item) const {
  static const std::optional<std::string> none;
  return item < d_->labels.size() ? d_->labels[item].form : none;
}

bool LabelSet::told(uint32_t item) const {
  return item < d_->labels.size() && d_->labels[item].form && d_->labels[item].told == Told::apart;
}

int64_t LabelSet::tellingRoom(const TextMeasure& measure) {
  Data& d = *d_;
  d.settle();
  int64_t room = 0;
  for (uint32_t item = 0; item < d.labels.size(); ++item) {
    const std::string_view whole = d.whole(item);
    int64_t need = d.wholeNames->readsAsOther(whole, item) ? INT64_MAX : measure.widthOf(whole);
    const std::string f = d.compose(item, d.shortestPieces(item, measure));
    if (d.tells(item, f)) need = std::min(need, measure.widthOf(f));
    if (need == INT64_MAX) {
      const NameParts::Form own = d.wholeNames->shortest(item, measure);
      if (!own.told) return -1;
      need = measure.widthOf(own.text);
    }
    room = std::max(room, need);
  }
  return room;
}

}  // namespace quorl::chart
