// AttributedString; sections follow AttributedString.h.
//
// Runs live in a vector of plain records. An edit touches only the runs it
// overlaps: the runs after it are shifted by the change of length, and only
// the neighbours of the changed runs are merged, which keeps the "no equal
// neighbours" invariant because it held before the edit.
#include "ux/text/AttributedString.h"

#include <algorithm>
#include <atomic>

namespace quorl {

namespace {

std::atomic<uint64_t> gNextSerial{1};

// Wrapping 32-bit addition, as the offsets' arithmetic is defined.
int32_t wrapAdd(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }

Ref<Map> copyOf(const Ref<Map>& map) { return map ? map->copy() : make<Map>(); }

}  // namespace

Ref<String> AttrRun::description() const {
  const uint16_t values[2] = {uint16_t(start), uint16_t(length)};
  return String::_classDescribe("_AttrRun", values, 2, 0x03);
}

AttributedString::AttributedString() : text(make<String>()), serial_(gNextSerial++) {}

// ---------------------------------------------------------------------------
// 2a. Construction

Ref<AttributedString> AttributedString::withString(Ptr<const String> s) {
  Ref<AttributedString> a = make<AttributedString>();
  a->text = String::withString(s);
  a->_resetRuns();
  return a;
}

Ref<AttributedString> AttributedString::withAttributes(Ptr<const String> s, Ptr<const Map> attrs) {
  Ref<AttributedString> a = withString(s);
  if (attrs) {
    Range all(0, a->byteLength());
    a->addAttributes(attrs, &all);
  }
  return a;
}

void AttributedString::_resetRuns() {
  runs_.clear();
  if (text->byteLength() > 0) runs_.push_back(Run{0, byteLength(), make<Map>()});
}

// ---------------------------------------------------------------------------
// 2b. Queries

uint32_t AttributedString::_runIndexAt(int32_t offset) const {
  uint32_t lo = 0, hi = uint32_t(runs_.size());
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (runs_[mid].end() > offset) hi = mid;
    else lo = mid + 1;
  }
  return lo;
}

Ref<Map> AttributedString::attributesAt(int32_t offset) const {
  if (offset < 0 || offset >= byteLength()) return make<Map>();
  return copyOf(runs_[_runIndexAt(offset)].attributes);
}

Ref<Range> AttributedString::runRangeAt(int32_t offset) const {
  if (offset < 0 || offset >= byteLength()) return Range::with(offset, 0);
  const Run& r = runs_[_runIndexAt(offset)];
  return Range::with(r.start, r.length);
}

Ref<Range> AttributedString::runRange(uint32_t index) const {
  if (index >= runs_.size()) return Range::with(byteLength(), 0);
  return Range::with(runs_[index].start, runs_[index].length);
}

Ref<Map> AttributedString::runAttributes(uint32_t index) const {
  if (index >= runs_.size()) return make<Map>();
  return copyOf(runs_[index].attributes);
}

Ref<AttrRun> AttributedString::runAt(uint32_t index) const {
  if (index >= runs_.size()) return nullptr;
  Ref<AttrRun> r = make<AttrRun>();
  r->start = runs_[index].start;
  r->length = runs_[index].length;
  r->attributes = copyOf(runs_[index].attributes);
  return r;
}

Ref<AttributedString> AttributedString::substring(Ptr<const Range> range) const {
  Ref<AttributedString> out = make<AttributedString>();
  int32_t s = 0, e = 0;
  if (!_clip(range.get(), byteLength(), s, e)) return out;
  out->text = text->substringBytes(uint32_t(s), uint32_t(e - s));
  out->runs_.reserve(runs_.size());
  for (uint32_t i = _runIndexAt(s); i < runs_.size() && runs_[i].start < e; i++) {
    const Run& r = runs_[i];
    const int32_t b = std::max(r.start, s), f = std::min(r.end(), e);
    Run piece = r;
    piece.start = b - s;
    piece.length = f - b;
    piece.attributes = copyOf(r.attributes);
    out->runs_.push_back(std::move(piece));
  }
  return out;
}

bool AttributedString::same(const Map* a, const Map* b) {
  if (a == b) return true;
  if (!a || !b || a->count() != b->count()) return false;
  for (uint32_t i = 0; i < a->count(); i++) {
    const Ref<Object> key = a->enumAt(i);
    const Ref<Object> va = a->valueAt(i);
    const Ref<Object> vb = b->get(key);
    if (!vb) return false;
    if (va != vb && (!va || !va->equals(vb))) return false;
  }
  return true;
}

bool AttributedString::equals(Ptr<const Object> other) const {
  const AttributedString* o = dynamic_cast<const AttributedString*>(other.get());
  if (!o || !text->equals(*o->text) || o->runs_.size() != runs_.size()) return false;
  for (size_t i = 0; i < runs_.size(); i++) {
    const Run &a = runs_[i], &b = o->runs_[i];
    if (a.start != b.start || a.length != b.length || !same(a.attributes.get(), b.attributes.get())) return false;
  }
  return true;
}

uint32_t AttributedString::hash() const { return text->hash(); }

Ref<String> AttributedString::description() const { return String::withString(text); }

// ---------------------------------------------------------------------------
// 2c. Mutations

bool AttributedString::_clip(const Range* range, int32_t length, int32_t& s, int32_t& e) {
  if (!range) return false;
  s = std::max(range->start, 0);
  e = wrapAdd(range->start, range->length);
  if (e > length) e = length;
  return e > s;
}

void AttributedString::_noteEdit(int32_t start, int32_t removed, int32_t inserted) {
  ++version_;
  lastEdit_ = Edit{start, removed, inserted};
}

void AttributedString::_splitAt(int32_t offset) {
  if (offset < 1 || offset >= byteLength()) return;
  const uint32_t i = _runIndexAt(offset);
  if (runs_[i].start == offset) return;
  Run tail = runs_[i];
  tail.start = offset;
  tail.length = runs_[i].end() - offset;
  tail.attributes = copyOf(runs_[i].attributes);
  runs_[i].length = offset - runs_[i].start;
  runs_.insert(runs_.begin() + i + 1, std::move(tail));
}

// Merges the neighbouring pairs (j - 1, j) for j in from..to, left map
// surviving, and closes the gap once.
void AttributedString::_mergeAround(uint32_t from, uint32_t to) {
  const uint32_t n = uint32_t(runs_.size());
  if (n < 2) return;
  from = std::max<uint32_t>(from, 1);
  to = std::min<uint32_t>(to, n - 1);
  if (from > to) return;
  uint32_t w = from - 1;
  for (uint32_t r = from; r <= to; r++) {
    if (same(runs_[w].attributes.get(), runs_[r].attributes.get())) {
      runs_[w].length += runs_[r].length;
    } else if (++w != r) {
      runs_[w] = std::move(runs_[r]);
    }
  }
  runs_.erase(runs_.begin() + w + 1, runs_.begin() + to + 1);
}

void AttributedString::_apply(const Map* attrs, bool replaceMaps, const Range* range) {
  int32_t s = 0, e = 0;
  if (!_clip(range, byteLength(), s, e)) return;
  _splitAt(s);
  _splitAt(e);
  const uint32_t first = _runIndexAt(s);
  uint32_t i = first;
  for (; i < runs_.size() && runs_[i].start < e; i++) {
    Run& r = runs_[i];
    if (replaceMaps) {
      r.attributes = attrs ? attrs->copy() : make<Map>();
    } else {
      for (uint32_t k = 0; k < attrs->count(); k++) r.attributes->set(attrs->enumAt(k), attrs->valueAt(k));
    }
    r.memoValid = 0;
  }
  _mergeAround(first, i);
  _noteEdit(s, e - s, e - s);
}

void AttributedString::addAttributes(Ptr<const Map> attrs, Ptr<const Range> range) {
  if (!attrs) return;
  _apply(attrs.get(), false, range.get());
}

void AttributedString::setAttributes(Ptr<const Map> attrs, Ptr<const Range> range) {
  _apply(attrs.get(), true, range.get());
}

void AttributedString::_splice(int32_t s, int32_t e, const AttributedString& other, bool adopt) {
  const int32_t olen = other.byteLength();
  if (s == e && olen == 0) return;
  const int32_t delta = olen + s - e;
  text->replaceByteRange(uint32_t(s), uint32_t(e - s), other.text);

  // The old runs that overlap [s, e), or that hold s inside them.
  const uint32_t n = uint32_t(runs_.size());
  const uint32_t first = _runIndexAt(s);
  uint32_t last = first;  // one past the runs that start before e (s <= e)
  while (last < n && runs_[last].start < e) last++;

  // The new runs of the window, with the untouched neighbour on each side so
  // that merging happens here and the vector changes size at most once.
  const uint32_t lo = first > 0 ? first - 1 : first;
  const uint32_t hi = last < n ? last + 1 : last;
  std::vector<Run> window;
  window.reserve(size_t(last - first) * 2 + other.runs_.size() + 2);
  if (lo < first) window.push_back(std::move(runs_[lo]));
  for (uint32_t i = first; i < last; i++) {
    const Run& r = runs_[i];
    if (r.start >= s) continue;
    Run head = r;
    head.length = std::min(r.end(), s) - r.start;
    window.push_back(std::move(head));
  }
  for (const Run& o : other.runs_) {
    Run piece = o;
    piece.start = o.start + s;
    if (!adopt) piece.attributes = copyOf(o.attributes);
    window.push_back(std::move(piece));
  }
  for (uint32_t i = first; i < last; i++) {
    Run& r = runs_[i];
    if (r.end() <= e) continue;
    const int32_t b = std::max(r.start, e);
    const int32_t tailLength = r.end() - b;
    // A run cut on both sides shares its map with the head: the tail copies.
    Run tail;
    if (r.start < s) {
      tail = r;
      tail.attributes = copyOf(r.attributes);
    } else {
      tail = std::move(r);
    }
    tail.start = b + delta;
    tail.length = tailLength;
    window.push_back(std::move(tail));
  }
  if (last < hi) {
    window.push_back(std::move(runs_[last]));
    window.back().start += delta;
  }
  size_t w = 0;
  for (size_t r = 1; r < window.size(); r++) {
    if (same(window[w].attributes.get(), window[r].attributes.get())) window[w].length += window[r].length;
    else if (++w != r) window[w] = std::move(window[r]);
  }
  if (!window.empty()) window.resize(w + 1);

  for (uint32_t i = hi; i < n; i++) runs_[i].start += delta;
  const size_t replaced = hi - lo;
  if (window.size() > replaced) runs_.insert(runs_.begin() + hi, window.size() - replaced, Run{});
  else if (window.size() < replaced) runs_.erase(runs_.begin() + lo + window.size(), runs_.begin() + hi);
  std::move(window.begin(), window.end(), runs_.begin() + lo);
  _noteEdit(s, e - s, olen);
}

void AttributedString::replace(Ptr<const Range> range, Ptr<const String> newText) {
  Ref<AttributedString> ins = withString(newText);
  const int32_t len = byteLength();
  int32_t s = len, e = len;
  if (range) {
    s = std::clamp(range->start, 0, len);
    e = std::min(wrapAdd(range->start, range->length), len);
    if (e < s) e = s;
  }
  if (!ins->runs_.empty()) {
    const int32_t from = e > s ? s : (s >= 1 ? s - 1 : 0);
    if (from < len) ins->runs_[0].attributes = copyOf(runs_[_runIndexAt(from)].attributes);
  }
  _splice(s, e, *ins, true);
}

void AttributedString::replaceWithAttributed(Ptr<const Range> range, Ptr<const AttributedString> other) {
  if (!range) return;
  const int32_t len = byteLength();
  const int32_t s = std::clamp(range->start, 0, len);
  const int32_t e = std::max(std::min(wrapAdd(range->start, range->length), len), s);
  if (!other) {
    _splice(s, e, AttributedString(), false);
  } else if (other.get() == this) {
    Range all(0, len);
    Ref<AttributedString> copy = substring(&all);
    _splice(s, e, *copy, true);
  } else {
    _splice(s, e, *other, false);
  }
}

}  // namespace quorl
