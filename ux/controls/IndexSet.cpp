#include "ux/controls/IndexSet.h"

#include <algorithm>

#include "foundation/Array.h"
#include "foundation/Range.h"
#include "foundation/String.h"

namespace quorl {

namespace {
// Exclusive end, in 64 bits so that a range reaching INT32_MAX cannot wrap.
int64_t endOf(const Range& r) { return int64_t(r.start) + r.length; }
}  // namespace

IndexSet::IndexSet() : ranges_(make<Array>()) {}

Ref<Range> IndexSet::_at(uint32_t position) const { return staticCast<Range>(ranges_->get(position)); }

uint32_t IndexSet::rangeCount() const { return ranges_->count(); }

uint32_t IndexSet::_firstEndingAfter(int32_t index) const {
  uint32_t lo = 0, hi = ranges_->count();
  while (lo < hi) {
    const uint32_t mid = lo + (hi - lo) / 2;
    if (endOf(*_at(mid)) > index) hi = mid;
    else lo = mid + 1;
  }
  return lo;
}

void IndexSet::_add(int32_t start, int32_t length) {
  if (length <= 0) return;
  int64_t s = start, end = int64_t(start) + length;
  if (s < 0) s = 0;
  if (end <= s) return;
  // A range ending exactly at start is adjacent and merges too.
  uint32_t i = s > 0 ? _firstEndingAfter(int32_t(s - 1)) : 0;
  while (i < ranges_->count()) {
    const Ref<Range> r = _at(i);
    if (r->start > end) break;
    s = std::min<int64_t>(s, r->start);
    end = std::max(end, endOf(*r));
    ranges_->removeAt(i);
  }
  // Indexes past INT32_MAX cannot be stored; they are cut off.
  end = std::min<int64_t>(end, INT32_MAX);
  ranges_->insert(i, make<Range>(int32_t(s), int32_t(end - s)));
}

uint64_t IndexSet::count() const {
  uint64_t n = 0;
  for (const Ref<Object>& o : *ranges_) n += uint64_t(staticCast<Range>(o)->length);
  return n;
}

bool IndexSet::contains(int32_t index) const {
  const uint32_t i = _firstEndingAfter(index);
  return i < ranges_->count() && _at(i)->start <= index;
}

bool IndexSet::equals(Ptr<const Object> other) const {
  const auto* set = dynamic_cast<const IndexSet*>(other.get());
  if (!set || set->ranges_->count() != ranges_->count()) return false;
  for (uint32_t i = 0; i < ranges_->count(); i++)
    if (!_at(i)->equals(set->_at(i))) return false;
  return true;
}

uint32_t IndexSet::hash() const {
  uint32_t h = ranges_->count();
  for (const Ref<Object>& o : *ranges_) h = h * 31u + o->hash();
  return h;
}

Ref<String> IndexSet::description() const {
  Ref<String> s = String::withCString("(");
  for (uint32_t i = 0; i < ranges_->count(); i++) {
    const Ref<Range> r = _at(i);
    if (i > 0) s->appendCString(", ");
    s->appendFormat("%d", r->start);
    if (r->length > 1) s->appendFormat("-%d", int32_t(endOf(*r) - 1));
  }
  s->appendCString(")");
  return s;
}

}  // namespace quorl
