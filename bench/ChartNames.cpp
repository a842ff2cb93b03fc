// Short forms of names (ChartNames.h).
//
// Where a text parts from the others is read off two sorted orders of the
// distinct texts: by their bytes from the front, the longest beginning a
// text shares with any other is the longer of those it shares with its two
// neighbours; by their bytes from the back, the same for endings. A text's
// form is tried from a short list of recipes (its ends, then windows on
// its middle, then its ends however long they must be), each at the most
// characters that fit the room; texts whose forms meet take their next
// recipe until none meet.
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

// The most bytes each distinct text shares with any other from the front
// (or from the end): the more it shares with either neighbour in the
// texts' order by their bytes read that way.
std::vector<uint32_t> mostShared(const std::vector<std::string_view>& texts, bool backwards) {
  std::vector<uint32_t> order(texts.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    const std::string_view x = texts[a], y = texts[b];
    return backwards ? std::lexicographical_compare(x.rbegin(), x.rend(), y.rbegin(), y.rend()) : x < y;
  });
  std::vector<uint32_t> most(texts.size(), 0);
  for (size_t k = 0; k + 1 < order.size(); ++k) {
    const uint32_t m = shared(texts[order[k]], texts[order[k + 1]], backwards);
    most[order[k]] = std::max(most[order[k]], m);
    most[order[k + 1]] = std::max(most[order[k + 1]], m);
  }
  return most;
}

// Word starts: after a space or an ASCII mark ('_', '-', '.', '/'...).
bool separator(char c) {
  const auto u = static_cast<uint8_t>(c);
  return u < 0x80 && !((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'));
}

// A form and whether it surely tells its text from every other: it keeps
// all of the beginning (or end) that no other text shares.
struct Form {
  std::string text;
  bool sure = false;
};

// One text to be cut: its characters, what of its ends tells it apart,
// and its recipes. A recipe is a kind and, for a middle window, the
// character it starts at.
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
    tailNeed_ = backShared < t.size() ? n_ - charsThrough(static_cast<uint32_t>(t.size()) - 1 - backShared) + 1 : kFar;
    // The characters to start from: as many as the whole text's mean width
    // lets the room hold.
    const int64_t whole = std::max<int64_t>(measure.widthOf(t), 1);
    if (n_ > 2) budget_ = static_cast<uint32_t>(std::clamp<int64_t>(static_cast<int64_t>(n_) * room / whole, 2, n_ - 1));
    recipes();
  }

  // The form of recipe r and on, the first that fits; nothing past the last.
  std::optional<Form> formFrom(size_t& r) const {
    for (; r < recipes_.size(); ++r)
      if (std::optional<Form> f = fitted(recipes_[r])) return f;
    return std::nullopt;
  }

 private:
  // The characters from the front that hold byte `byte`; kFar when t has no such byte.
  uint32_t charsThrough(uint32_t byte) const {
    if (byte >= starts_.back()) return kFar;
    return static_cast<uint32_t>(std::upper_bound(starts_.begin(), starts_.end(), byte) - starts_.begin());
  }

  // Ends first when one tells the text apart in at most two thirds of what
  // is kept, the shorter of them; then both ends, each through where the
  // text parts from its nearest read from the other end; then windows on
  // the middle from the word where it parts from its nearest, and from the
  // words before it; then its ends however much of them it takes; last its
  // beginning, not sure.
  void recipes() {
    const uint32_t keep = budget_ - 1, good = keep - keep / 3;
    if (tailNeed_ <= good && (tailNeed_ <= headNeed_ || headNeed_ > good)) recipes_.push_back({kTail, 0});
    else if (headNeed_ <= good) recipes_.push_back({kHead, 0});
    if (tailNeed_ != kFar) recipes_.push_back({kBoth, 0});
    if (headNeed_ != kFar && headNeed_ > 1) {
      const uint32_t parts = headNeed_ - 1;  // the first character its nearest does not share
      uint32_t from = parts;
      while (from > 0 && !separator(t_[starts_[from - 1]])) --from;
      for (uint32_t words = 0; words < 3 && from > 0; ++words) {
        recipes_.push_back({kMiddle, from});
        if (from < 2) break;
        --from;
        while (from > 0 && !separator(t_[starts_[from - 1]])) --from;
      }
    }
    if (tailNeed_ != kFar) recipes_.push_back({kTail, 0});
    if (headNeed_ != kFar) recipes_.push_back({kHead, 0});
    recipes_.push_back({kHead, 1});
  }

  std::string joined(uint32_t head, uint32_t from, uint32_t to) const {
    std::string out(t_.substr(0, starts_[head]));
    out += kEllipsis;
    out += t_.substr(starts_[from], starts_[to] - starts_[from]);
    if (to < n_) out += kEllipsis;
    return out;
  }

  // The recipe at `chars` characters, the ellipses counted as one each.
  std::optional<Form> at(const Recipe& r, uint32_t chars) const {
    if (chars < 2 || chars >= n_) return std::nullopt;
    const uint32_t keep = chars - 1;
    switch (r.kind) {
      case kTail: {
        const uint32_t tail = std::min(std::max(tailNeed_ == kFar ? 0 : tailNeed_, keep / 2), keep);
        return Form{joined(keep - tail, n_ - tail, n_), tailNeed_ != kFar && tail >= tailNeed_};
      }
      case kHead: {
        const uint32_t need = headNeed_ == kFar ? 0 : headNeed_;
        const uint32_t head = std::min(std::max(need, keep - keep / 2), keep);
        return Form{joined(head, n_ - (keep - head), n_), r.at == 0 && headNeed_ != kFar && head >= headNeed_};
      }
      case kBoth: {
        // The beginning through the character where the text parts from its
        // nearest from the end, and the end from where it parts from its
        // nearest from the front (its last character when it begins
        // another); what room is left goes half to each.
        const uint32_t through = n_ - tailNeed_ + 1, from = headNeed_ == kFar ? n_ - 1 : headNeed_ - 1;
        if (through > from || through + (n_ - from) > keep) return std::nullopt;
        const uint32_t spare = keep - through - (n_ - from);
        const uint32_t head = through + spare / 2, tail = n_ - from + (spare - spare / 2);
        return Form{joined(head, n_ - tail, n_), false};
      }
      case kMiddle: {
        // The first word (a quarter of the room at most), an ellipsis, the
        // window from the parting word, an ellipsis unless it reaches the end.
        uint32_t word = 1;
        while (word < n_ && !separator(t_[starts_[word]])) ++word;
        const uint32_t head = std::min(word, std::max(keep / 4, 1u));
        if (keep < head + 3) return std::nullopt;
        const uint32_t window = keep - head - 1, parts = headNeed_ - 1;
        uint32_t from = std::max(r.at, parts + 1 > window ? parts + 1 - window : 0);
        // A window that reaches the end needs no ellipsis after it, and
        // starts where the room lets it.
        if (from + window + 1 >= n_) from = std::min(from, n_ - (keep - head));
        if (from <= head) return std::nullopt;
        const uint32_t to = from + window + 1 >= n_ ? n_ : from + window;
        return Form{joined(head, from, to), false};
      }
    }
    return std::nullopt;
  }

  // The recipe at the most characters whose form fits the room.
  std::optional<Form> fitted(const Recipe& r) const {
    const auto fits = [&](const std::optional<Form>& f) { return f && measure_.widthOf(f->text) <= room_; };
    uint32_t chars = budget_;
    std::optional<Form> f = at(r, chars);
    while (chars > 2 && !fits(f)) f = at(r, --chars);
    if (!fits(f)) return std::nullopt;
    for (std::optional<Form> more; chars + 1 < n_ && fits(more = at(r, chars + 1)); ++chars) f = std::move(more);
    return f;
  }

  std::string_view t_;
  std::vector<uint32_t> starts_;
  uint32_t n_;
  int64_t room_;
  const TextMeasure& measure_;
  uint32_t headNeed_ = kFar, tailNeed_ = kFar, budget_ = 2;
  std::vector<Recipe> recipes_;
};

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

NameParts::NameParts(const std::vector<std::string_view>& texts) : id_(texts.size()) {
  std::unordered_map<std::string_view, uint32_t> idOf;
  for (size_t i = 0; i < texts.size(); ++i) {
    const auto [it, added] = idOf.try_emplace(texts[i], static_cast<uint32_t>(distinct_.size()));
    if (added) distinct_.push_back(texts[i]);
    id_[i] = it->second;
  }
  front_ = mostShared(distinct_, false);
  back_ = mostShared(distinct_, true);
}

NameParts::~NameParts() = default;

std::vector<std::string> NameParts::forms(int64_t room, const TextMeasure& measure) const {
  const uint32_t D = static_cast<uint32_t>(distinct_.size());
  std::vector<Form> forms(D);
  std::vector<std::optional<Cut>> cuts(D);
  std::vector<size_t> recipe(D, 0);
  std::vector<uint32_t> open;  // cut texts whose form may still change
  for (uint32_t d = 0; d < D; ++d) {
    const std::string_view t = distinct_[d];
    if (measure.widthOf(t) <= room) {
      forms[d] = {std::string(t), true};
      continue;
    }
    cuts[d].emplace(t, front_[d], back_[d], room, measure);
    if (std::optional<Form> f = cuts[d]->formFrom(recipe[d])) {
      forms[d] = std::move(*f);
      open.push_back(d);
    } else {
      forms[d] = {fitText(t, room, measure), true};  // the room holds no recipe
    }
  }
  // Forms met by two texts take their next recipes (a sure form, or a text
  // out of recipes, stays), until no form that may change is met twice.
  while (!open.empty()) {
    std::unordered_map<std::string_view, uint32_t> first;
    std::vector<uint8_t> met(D, 0);
    for (uint32_t d = 0; d < D; ++d) {
      const auto [it, added] = first.try_emplace(forms[d].text, d);
      if (!added) met[d] = met[it->second] = 1;
    }
    std::vector<uint32_t> still;
    for (uint32_t d : open) {
      if (!met[d] || forms[d].sure) continue;
      ++recipe[d];
      if (std::optional<Form> f = cuts[d]->formFrom(recipe[d])) {
        forms[d] = std::move(*f);
        still.push_back(d);
      }
    }
    open.swap(still);
  }
  std::vector<std::string> out;
  out.reserve(id_.size());
  for (uint32_t d : id_) out.push_back(forms[d].text);
  return out;
}

ShortForms::ShortForms() = default;
ShortForms::~ShortForms() = default;

const std::vector<std::string>& ShortForms::of(const Array& texts, int64_t room, const TextMeasure& measure) {
  const uint32_t n = texts.count();
  bool same = parts_ && n == sources_.size();
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
    parts_ = std::make_unique<NameParts>(views);
    kept_.clear();
  }
  auto it = std::find_if(kept_.begin(), kept_.end(),
                         [&](const Kept& k) { return k.room == room && k.measure == measure; });
  if (it == kept_.end()) {
    if (kept_.size() == kRoomsKept) kept_.pop_back();
    kept_.insert(kept_.begin(), Kept{room, measure, parts_->forms(room, measure)});
  } else if (it != kept_.begin()) {
    std::rotate(kept_.begin(), it, it + 1);
  }
  return kept_.front().forms;
}
}  // namespace quorl::chart
