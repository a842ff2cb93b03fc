// Short forms of names (ChartNames.h).
//
// Where a text parts from the others is read off two sorted orders of the
// distinct texts: by their bytes from the front, the longest beginning a
// text shares with any other is the longer of those it shares with its two
// neighbours; by their bytes from the back, the same for endings.
#include "bench/ChartNames.h"

#include <algorithm>
#include <unordered_set>

#include "foundation/Array.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXViewDriver.h"

namespace quorl::chart {

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";
constexpr uint32_t kEllipsisChars = 2;  // drawn about as wide as two characters
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

// The distinct texts sorted by their bytes from the front (or from the
// end), and the bytes each shares with the next in that order. The bytes a
// text shares with another are the least shared by the neighbours between
// the two.
struct Sorted {
  std::vector<uint32_t> order, rank, next;

  Sorted(const std::vector<std::string_view>& texts, bool backwards) : order(texts.size()), rank(texts.size()) {
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      const std::string_view x = texts[a], y = texts[b];
      return backwards ? std::lexicographical_compare(x.rbegin(), x.rend(), y.rbegin(), y.rend()) : x < y;
    });
    for (uint32_t k = 0; k < order.size(); ++k) rank[order[k]] = k;
    for (size_t k = 0; k + 1 < order.size(); ++k)
      next.push_back(shared(texts[order[k]], texts[order[k + 1]], backwards));
  }
  // The most bytes text d shares with any other.
  uint32_t most(uint32_t d) const {
    const uint32_t k = rank[d];
    return std::max(k > 0 ? next[k - 1] : 0, k < next.size() ? next[k] : 0);
  }
  // The most bytes text d shares with any text it shares fewer than `limit`
  // with; kFar when it shares `limit` or more with every other. Walks only
  // over the texts that share `limit` or more.
  uint32_t mostBelow(uint32_t d, uint32_t limit) const {
    uint32_t best = kFar;
    const auto take = [&](uint32_t m) { best = best == kFar ? m : std::max(best, m); };
    uint32_t m = kFar;
    for (uint32_t k = rank[d]; k-- > 0;)
      if ((m = std::min(m, next[k])) < limit) {
        take(m);
        break;
      }
    m = kFar;
    for (uint32_t k = rank[d]; k < next.size(); ++k)
      if ((m = std::min(m, next[k])) < limit) {
        take(m);
        break;
      }
    return best;
  }
};

// The characters of a text of `count` characters (starting at `starts`)
// from its front that hold the byte `byte`: the front that holds every byte
// up to it. kFar when the text has no such byte.
uint32_t charsThrough(const std::vector<uint32_t>& starts, uint32_t byte) {
  if (byte >= starts.back()) return kFar;
  return static_cast<uint32_t>(std::upper_bound(starts.begin(), starts.end(), byte) - starts.begin());
}

std::string joined(std::string_view t, const std::vector<uint32_t>& starts, uint32_t head, uint32_t from,
                   uint32_t to) {
  const uint32_t n = static_cast<uint32_t>(starts.size() - 1);
  std::string out(t.substr(0, starts[head]));
  out += kEllipsis;
  out += t.substr(starts[from], starts[to] - starts[from]);
  if (to < n) out += kEllipsis;
  return out;
}

// Where distinct text d, t, parts from its nearest only in its middle: a
// short front (what parts it from the texts that share less of their
// beginnings, or its first word when that is short), then from the start
// of the word where it parts, with an ellipsis between and after. Nothing
// where the room holds no such form.
std::string middleForm(std::string_view t, const std::vector<uint32_t>& starts, uint32_t d, uint32_t chars,
                       const Sorted& front, uint32_t headNeed) {
  const uint32_t n = static_cast<uint32_t>(starts.size() - 1);
  if (headNeed == kFar || chars < 2 * kEllipsisChars + 4) return {};
  const uint32_t parts = headNeed - 1;  // the first character its nearest does not share
  uint32_t from = parts;
  while (from > 0 && from + 4 > parts && t[starts[from - 1]] != ' ') --from;
  if (from > 0 && t[starts[from - 1]] != ' ') from = parts;
  const uint32_t below = front.mostBelow(d, starts[from]);
  uint32_t head = below == kFar ? 0 : charsThrough(starts, below);
  // To the end of the word it stops in, when that is near.
  for (uint32_t c = std::max(head, 1u); c < from && c <= head + 6; ++c)
    if (t[starts[c]] == ' ') {
      head = c;
      break;
    }
  head = std::max(head, 1u);
  const uint32_t room = chars - 2 * kEllipsisChars;
  if (head >= from || head + 2 > room) return {};
  return joined(t, starts, head, from, std::min(from + (room - head), n));
}

// The short form of distinct text d, t: its front and its end, whichever
// tells it apart in fewer characters and still leaves a third of the room
// to the other; else its middle form; else the end that tells it apart at
// all. Whole where none does.
std::string shortened(std::string_view t, uint32_t d, uint32_t chars, const Sorted& front, const Sorted& back) {
  const std::vector<uint32_t> starts = charStarts(t);
  const uint32_t n = static_cast<uint32_t>(starts.size() - 1);
  const uint32_t keep = chars - kEllipsisChars;
  // The fewest characters of the front, or of the end, that no other text
  // shares.
  const uint32_t headNeed = charsThrough(starts, front.most(d));
  const uint32_t backShared = back.most(d);
  const uint32_t tailNeed =
      backShared < t.size() ? n - charsThrough(starts, static_cast<uint32_t>(t.size()) - 1 - backShared) + 1 : kFar;
  const auto tailForm = [&] {
    const uint32_t tail = std::max(tailNeed, keep / 2);
    return joined(t, starts, keep - tail, n - tail, n);
  };
  const auto headForm = [&] {
    const uint32_t head = std::max(headNeed, keep - keep / 2);
    return joined(t, starts, head, n - (keep - head), n);
  };
  const uint32_t good = keep - keep / 3;
  if (tailNeed <= good && (tailNeed <= headNeed || headNeed > good)) return tailForm();
  if (headNeed <= good) return headForm();
  if (std::string middle = middleForm(t, starts, d, chars, front, headNeed); !middle.empty()) return middle;
  if (tailNeed < keep && (tailNeed <= headNeed || headNeed >= keep)) return tailForm();
  if (headNeed < keep) return headForm();
  return std::string(t);
}

}  // namespace

uint32_t charCount(std::string_view t) {
  uint32_t n = 0;
  for (char c : t) n += !continuation(c);
  return n;
}

int64_t TextMeasure::widthOf(std::string_view text) const {
  if (!gDriver) return static_cast<int64_t>(charCount(text)) * perChar;
  const std::string z(text);  // the driver reads up to a NUL
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

std::vector<std::string> shortForms(const std::vector<std::string_view>& texts, uint32_t chars) {
  std::unordered_map<std::string_view, uint32_t> idOf;
  std::vector<std::string_view> distinct;
  std::vector<uint32_t> id(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    const auto [it, added] = idOf.try_emplace(texts[i], static_cast<uint32_t>(distinct.size()));
    if (added) distinct.push_back(texts[i]);
    id[i] = it->second;
  }
  std::vector<std::string> forms(distinct.begin(), distinct.end());
  std::vector<uint32_t> cut;
  for (uint32_t d = 0; d < distinct.size(); ++d)
    if (charCount(distinct[d]) > chars) cut.push_back(d);
  if (!cut.empty() && chars >= kEllipsisChars + 2) {
    const Sorted front(distinct, false), back(distinct, true);
    for (uint32_t d : cut) forms[d] = shortened(distinct[d], d, chars, front, back);
    // Forms met twice (or a form equal to a whole text) tell their texts
    // apart no more: those texts stand whole, until no form is met twice.
    for (bool again = true; again;) {
      again = false;
      std::unordered_map<std::string_view, uint32_t> seen;
      std::unordered_set<uint32_t> whole;
      for (uint32_t d = 0; d < forms.size(); ++d) {
        const auto [it, added] = seen.try_emplace(forms[d], d);
        if (added) continue;
        for (uint32_t x : {it->second, d})
          if (forms[x] != distinct[x]) whole.insert(x);
      }
      for (uint32_t x : whole) forms[x] = std::string(distinct[x]);
      again = !whole.empty();
    }
  }
  std::vector<std::string> out;
  out.reserve(texts.size());
  for (uint32_t d : id) out.push_back(forms[d]);
  return out;
}

const std::vector<std::string>& ShortForms::of(const Array& texts, uint32_t chars) {
  const uint32_t n = texts.count();
  bool same = chars == chars_ && n == sources_.size();
  for (uint32_t i = 0; same && i < n; ++i) {
    const Ref<String> s = cast<String>(texts.get(i));
    same = s == sources_[i] && (!s || s->byteLength() == lengths_[i]);
  }
  if (same) return forms_;
  sources_.assign(n, Ref<String>());
  lengths_.assign(n, 0);
  std::vector<std::string_view> views(n);
  for (uint32_t i = 0; i < n; ++i) {
    sources_[i] = cast<String>(texts.get(i));
    if (!sources_[i]) continue;
    lengths_[i] = sources_[i]->byteLength();
    views[i] = drawnText(*sources_[i]);
  }
  chars_ = chars;
  forms_ = shortForms(views, chars);
  return forms_;
}

}  // namespace quorl::chart
