// Array. Sections follow Array.h; the sort is at the end.
#include "Array.h"

#include <algorithm>
#include <typeinfo>
#include <utility>
#include <vector>

#include "Data.h"
#include "Number.h"

#include <cstring>
#include "String.h"

namespace quorl {

namespace {

// The capacity that repeated single-step growth reaches for n entries:
// 0 for none, else 8 doubled until n fits.
uint32_t grownCapacity(uint32_t capacity, uint32_t n) {
  uint32_t c = capacity;
  while (c < n) c = c == 0 ? 8 : (c > 0x7FFFFFFFu ? 0xFFFFFFFFu : c * 2);
  return c;
}

// The target of a block that is present (function set, target alive); null
// for an absent block.
template <class B> Ref<Object> liveTarget(const B& block) {
  return block.function ? block.target.lock() : nullptr;
}

}  // namespace

// -- 2a. Construction, size, reading ------------------------------------------

Ref<Array> Array::withCapacity(uint32_t n) {
  Ref<Array> a = make<Array>();
  if (n > 0) {
    a->items_ = PoolArray<Ref<Object>>::make(n);
    a->capacity_ = n;
  }
  return a;
}

Array::~Array() {
  if (width_ == PackedIntegers::kNone)
    items_.~PoolArray();
  else
    packed_.~PoolBytes();
}

Ref<Array> Array::_withIntegers(const int64_t* values, uint32_t n) {
  Ref<Array> a = make<Array>();
  if (n == 0) return a;
  a->items_.~PoolArray();  // empty: the bytes take its place
  ::new (&a->packed_) PoolBytes();
  int64_t low = values[0], high = values[0];
  for (uint32_t i = 1; i < n; ++i) {
    low = std::min(low, values[i]);
    high = std::max(high, values[i]);
  }
  const uint64_t span = static_cast<uint64_t>(high) - static_cast<uint64_t>(low);
  if (span <= 0xFFFF) {
    a->width_ = PackedIntegers::kOffsets;
    a->packed_.resize(sizeof low + size_t{n} * 2);
    std::memcpy(a->packed_.get(), &low, sizeof low);
    auto* out = reinterpret_cast<uint16_t*>(a->packed_.get() + sizeof low);
    for (uint32_t i = 0; i < n; ++i) out[i] = static_cast<uint16_t>(static_cast<uint64_t>(values[i]) - static_cast<uint64_t>(low));
  } else if (low >= INT32_MIN && high <= INT32_MAX) {
    a->width_ = PackedIntegers::kNarrow;
    a->packed_.resize(size_t{n} * 4);
    auto* out = reinterpret_cast<int32_t*>(a->packed_.get());
    for (uint32_t i = 0; i < n; ++i) out[i] = static_cast<int32_t>(values[i]);
  } else {
    a->width_ = PackedIntegers::kWide;
    a->packed_.resize(size_t{n} * 8);
    std::memcpy(a->packed_.get(), values, size_t{n} * 8);
  }
  a->count_ = a->capacity_ = n;
  return a;
}

void Array::_unpack() const {
  // Every entry becomes the Number the reader would have made for it.
  const PackedIntegers values = _integers();
  auto items = PoolArray<Ref<Object>>::make(capacity_);
  for (uint32_t i = 0; i < count_; ++i) items[i] = Number::withI64(values[i]);
  packed_.~PoolBytes();
  width_ = PackedIntegers::kNone;
  ::new (&items_) PoolArray<Ref<Object>>(std::move(items));
}

Ref<Object> Array::first() const {
  _unpackIfPacked();
  return count_ ? items_[0] : nullptr;
}

Ref<Object> Array::last() const {
  _unpackIfPacked();
  return count_ ? items_[count_ - 1] : nullptr;
}

// -- 2b. Changing in place ----------------------------------------------------

void Array::_grow() {
  uint32_t next = capacity_ == 0 ? 8 : (capacity_ > 0x7FFFFFFFu ? 0xFFFFFFFFu : capacity_ * 2);
  if (next == capacity_) return;  // the index space is used up
  auto items = PoolArray<Ref<Object>>::make(next);
  std::move(items_.get(), items_.get() + count_, items.get());
  items_ = std::move(items);
  capacity_ = next;
}

void Array::_growFor(uint32_t needed) {
  if (needed <= capacity_) return;
  uint32_t next = grownCapacity(capacity_, needed);
  auto items = PoolArray<Ref<Object>>::make(next);
  std::move(items_.get(), items_.get() + count_, items.get());
  items_ = std::move(items);
  capacity_ = next;
}

void Array::add(Ref<Object> object) {
  _unpackIfPacked();
  if (count_ == capacity_) {
    _grow();
    if (count_ == capacity_) return;
  }
  items_[count_++] = std::move(object);
}

void Array::insert(uint32_t i, Ref<Object> object) {
  _unpackIfPacked();
  if (i > count_) return;
  if (count_ == capacity_) {
    _grow();
    if (count_ == capacity_) return;
  }
  Ref<Object>* items = items_.get();
  std::move_backward(items + i, items + count_, items + count_ + 1);
  items[i] = std::move(object);
  ++count_;
}

void Array::set(uint32_t i, Ref<Object> object) {
  _unpackIfPacked();
  if (i >= count_) return;
  // Taken before the old entry goes, so its release cannot reach this array
  // half-changed.
  Ref<Object> old = std::exchange(items_[i], std::move(object));
}

void Array::_removeSpan(uint32_t start, uint32_t n) {
  Ref<Object>* items = items_.get();
  uint32_t oldCount = count_;
  // The removed entries move behind the live ones and are released only once
  // the count is right: releasing one may run code that looks at this array.
  std::rotate(items + start, items + start + n, items + oldCount);
  count_ = oldCount - n;
  for (uint32_t k = count_; k < oldCount; ++k) items[k].reset();
}

void Array::removeAt(uint32_t i) {
  _unpackIfPacked();
  if (i >= count_) return;
  Ref<Object>* items = items_.get();
  Ref<Object> removed = std::move(items[i]);
  std::move(items + i + 1, items + count_, items + i);
  --count_;
}

void Array::removeLast() {
  _unpackIfPacked();
  if (count_ == 0) return;
  Ref<Object> removed = std::move(items_[--count_]);
}

void Array::removeAll() {
  _unpackIfPacked();
  if (count_ == 0) return;
  _removeSpan(0, count_);
}

bool Array::remove(Ptr<const Object> object) {
  _unpackIfPacked();
  uint32_t i = indexOf(object);
  if (i == kNotFound) return false;
  removeAt(i);
  return true;
}

bool Array::removeEqual(Ptr<const Object> object) {
  _unpackIfPacked();
  uint32_t i = indexOfEqual(object);
  if (i == kNotFound) return false;
  removeAt(i);
  return true;
}

void Array::removeRange(uint32_t start, uint32_t n) {
  _unpackIfPacked();
  if (start >= count_) return;
  n = std::min(n, count_ - start);
  if (n > 0) _removeSpan(start, n);
}

void Array::insertAll(uint32_t i, Ptr<const Array> other) {
  _unpackIfPacked();
  if (!other || other->count_ == 0) return;
  other->_unpackIfPacked();
  if (other.get() == this) {
    Ref<Array> snapshot = copy();
    insertAll(i, snapshot);
    return;
  }
  i = std::min(i, count_);
  uint32_t m = other->count_;
  if (m > 0xFFFFFFFEu - count_) return;  // would pass the index space
  _growFor(count_ + m);
  Ref<Object>* items = items_.get();
  std::move_backward(items + i, items + count_, items + count_ + m);
  std::copy(other->items_.get(), other->items_.get() + m, items + i);
  count_ += m;
}

void Array::replaceRange(uint32_t start, uint32_t n, Ptr<const Array> other) {
  _unpackIfPacked();
  Ref<Array> snapshot;
  if (other.get() == this) {
    snapshot = copy();
    other = snapshot;
  }
  start = std::min(start, count_);
  removeRange(start, n);
  insertAll(start, other);
}

void Array::setTo(Ptr<const Array> other) {
  _unpackIfPacked();
  if (other.get() == this) return;
  removeAll();
  addAll(other);
}

void Array::addAll(Ptr<const Array> other) {
  _unpackIfPacked();
  if (!other) return;
  // For this array itself the entries held at the start are appended once:
  // the count is read before growing.
  uint32_t m = other->count_;
  if (m == 0 || m > 0xFFFFFFFEu - count_) return;
  _growFor(count_ + m);
  const Ref<Object>* from = other->items_.get();  // after growth: may be ours
  std::copy(from, from + m, items_.get() + count_);
  count_ += m;
}

void Array::swapAt(uint32_t i, uint32_t j) {
  _unpackIfPacked();
  if (i >= count_ || j >= count_ || i == j) return;
  std::swap(items_[i], items_[j]);
}

void Array::reverse() {
  _unpackIfPacked();
  if (count_ < 2) return;
  std::reverse(items_.get(), items_.get() + count_);
}

// -- 2c. Searching ------------------------------------------------------------

uint32_t Array::indexOf(Ptr<const Object> object) const {
  _unpackIfPacked();
  for (uint32_t i = 0; i < count_; ++i)
    if (items_[i].get() == object.get()) return i;
  return kNotFound;
}

uint32_t Array::indexOfEqual(Ptr<const Object> object) const {
  _unpackIfPacked();
  if (!object) return kNotFound;
  for (uint32_t i = 0; i < count_; ++i)
    if (items_[i] && object->equals(items_[i])) return i;
  return kNotFound;
}

bool Array::isEqualToArray(Ptr<const Array> other) const {
  _unpackIfPacked();
  if (other.get() == this) return true;
  if (!other || other->count_ != count_) return false;
  other->_unpackIfPacked();
  for (uint32_t i = 0; i < count_; ++i) {
    const Object* a = items_[i].get();
    const Object* b = other->items_[i].get();
    if (a == b) continue;
    if (!a || !b || !a->equals(b)) return false;
  }
  return true;
}

// -- 2d. New arrays -------------------------------------------------------------

Ref<Array> Array::copy() const {
  _unpackIfPacked();
  // The capacity that adding the entries one by one to an empty array gives.
  Ref<Array> a = withCapacity(grownCapacity(0, count_));
  std::copy(begin(), end(), a->items_.get());
  a->count_ = count_;
  return a;
}

Ref<Array> Array::adding(Ref<Object> object) const {
  _unpackIfPacked();
  if (count_ == 0xFFFFFFFFu) return copy();
  Ref<Array> a = withCapacity(count_ + 1);
  std::copy(begin(), end(), a->items_.get());
  a->items_[count_] = std::move(object);
  a->count_ = count_ + 1;
  return a;
}

Ref<Array> Array::subarray(uint32_t start, uint32_t n) const {
  _unpackIfPacked();
  if (start >= count_) return make<Array>();
  n = std::min(n, count_ - start);
  Ref<Array> a = withCapacity(n);
  std::copy(items_.get() + start, items_.get() + start + n, a->items_.get());
  a->count_ = n;
  return a;
}

Ref<Array> Array::reversed() const {
  _unpackIfPacked();
  Ref<Array> a = withCapacity(count_);
  std::reverse_copy(begin(), end(), a->items_.get());
  a->count_ = count_;
  return a;
}

Ref<Array> Array::sorted() const {
  _unpackIfPacked();
  Ref<Array> a = withCapacity(count_);
  std::copy(begin(), end(), a->items_.get());
  a->count_ = count_;
  a->sort();
  return a;
}

Ref<Array> Array::sortedUsing(const ArrayComparison& comparison, ArrayOrdering ordering) const {
  _unpackIfPacked();
  Ref<Array> a = withCapacity(count_);
  std::copy(begin(), end(), a->items_.get());
  a->count_ = count_;
  a->sortUsing(comparison, ordering);
  return a;
}

Ref<Array> Array::filtered(const ArrayPredicate& predicate) const {
  _unpackIfPacked();
  Ref<Array> a = make<Array>();
  Ref<Object> target = liveTarget(predicate);
  if (!target) return a;
  for (uint32_t i = 0; i < count_; ++i) {
    Ref<Object> entry = items_[i];
    if (predicate.function(target, entry)) a->add(std::move(entry));
  }
  return a;
}

Ref<Array> Array::mapped(const ArrayMapper& mapper) const {
  _unpackIfPacked();
  Ref<Array> a = withCapacity(count_);
  Ref<Object> target = liveTarget(mapper);
  if (!target) return a;
  for (uint32_t i = 0; i < count_; ++i) {
    Ref<Object> entry = items_[i];
    if (Ref<Object> result = mapper.function(target, entry)) a->add(std::move(result));
  }
  return a;
}

// -- 2e. Block queries ----------------------------------------------------------
// Each entry is handed over as a Ref of its own, so a block that changes the
// array cannot free the object it is looking at.

void Array::forEach(const ArrayVisitor& visitor) const {
  _unpackIfPacked();
  Ref<Object> target = liveTarget(visitor);
  if (!target) return;
  for (uint32_t i = 0; i < count_; ++i) {
    Ref<Object> entry = items_[i];
    visitor.function(target, entry);
  }
}

uint32_t Array::indexWhere(const ArrayPredicate& predicate) const {
  _unpackIfPacked();
  Ref<Object> target = liveTarget(predicate);
  if (!target) return kNotFound;
  for (uint32_t i = 0; i < count_; ++i) {
    Ref<Object> entry = items_[i];
    if (predicate.function(target, entry)) return i;
  }
  return kNotFound;
}

Ref<Object> Array::firstWhere(const ArrayPredicate& predicate) const {
  _unpackIfPacked();
  Ref<Object> target = liveTarget(predicate);
  if (!target) return nullptr;
  for (uint32_t i = 0; i < count_; ++i) {
    Ref<Object> entry = items_[i];
    if (predicate.function(target, entry)) return entry;
  }
  return nullptr;
}

uint32_t Array::countWhere(const ArrayPredicate& predicate) const {
  _unpackIfPacked();
  Ref<Object> target = liveTarget(predicate);
  if (!target) return 0;
  uint32_t n = 0;
  for (uint32_t i = 0; i < count_; ++i) {
    Ref<Object> entry = items_[i];
    if (predicate.function(target, entry)) ++n;
  }
  return n;
}

bool Array::anySatisfy(const ArrayPredicate& predicate) const {
  _unpackIfPacked();
  return indexWhere(predicate) != kNotFound;
}

bool Array::allSatisfy(const ArrayPredicate& predicate) const {
  _unpackIfPacked();
  Ref<Object> target = liveTarget(predicate);
  if (!target) return false;
  for (uint32_t i = 0; i < count_; ++i) {
    Ref<Object> entry = items_[i];
    if (!predicate.function(target, entry)) return false;
  }
  return true;
}

bool Array::isSortedUsing(const ArrayComparison& comparison) const {
  _unpackIfPacked();
  Ref<Object> target = liveTarget(comparison);
  if (!target) return false;
  for (uint32_t i = 0; i + 1 < count_; ++i) {
    Ref<Object> a = items_[i], b = items_[i + 1];
    if (comparison.function(target, a, b) > 0) return false;
  }
  return true;
}

Ref<String> Array::description() const {
  _unpackIfPacked();
  const uint16_t values[2] = {static_cast<uint16_t>(count_), static_cast<uint16_t>(capacity_)};
  return String::_classDescribe("Array", values, 2, 0);
}

// -- Sorting ----------------------------------------------------------------------
//
// The partition is Lomuto's with the last entry as pivot, exactly as the
// array has always sorted, so equal entries end where they always have. The
// two sides of a partition are kept on a list of ranges still to sort
// instead of the machine stack, so that no input can exhaust it:
//  - Without a promise about the comparison, the left side is sorted first
//    and the right side after it, which is the order of the plain recursive
//    algorithm: every comparison is made as it would make it, in the same
//    order, and a comparison that is no order, or keeps state, gets the
//    same result. The list then holds at most one range for each level.
//  - With a consistent ordering, the order of the sides does not matter
//    (they never touch, and the comparison answers the same whenever it is
//    asked), so the smaller side goes first and the list stays within
//    log2(count). And on a range whose neighbours are already in order
//    every entry compares <= 0 with the pivot, by transitivity, so each
//    partition would only swap entries with themselves and the range would
//    end as it is: it is left alone after one linear check instead of a
//    quadratic walk. On unordered input the check stops within a few
//    comparisons. Without transitivity the check proves nothing (a <= b and
//    b <= c, yet c < a), so it is never made on the caller's word alone.

namespace {

template <class Compare>
bool inOrder(const Ref<Object>* a, uint32_t lo, uint32_t hi, Compare& compare) {
  for (uint32_t k = lo; k < hi; ++k)
    if (compare(a[k], a[k + 1]) > 0) return false;
  return true;
}

// Partitions [lo, hi] around the entry at hi; answers where the pivot ends.
template <class Compare>
uint32_t partition(Ref<Object>* a, uint32_t lo, uint32_t hi, Compare& compare) {
  uint32_t i = lo;
  for (uint32_t j = lo; j < hi; ++j) {
    if (compare(a[j], a[hi]) <= 0) {
      if (i != j) std::swap(a[i], a[j]);
      ++i;
    }
  }
  if (i != hi) std::swap(a[i], a[hi]);
  return i;
}

template <class Compare>
void quicksort(Ref<Object>* a, uint32_t lo, uint32_t hi, Compare& compare, bool consistent) {
  struct Range {
    uint32_t lo, hi;
  };
  std::vector<Range> later;
  for (;;) {
    while (lo < hi) {
      if (consistent && inOrder(a, lo, hi, compare)) break;
      const uint32_t i = partition(a, lo, hi, compare);
      const bool left = i > lo, right = i < hi;
      if (!left) {
        lo = i + 1;
      } else if (!right) {
        hi = i - 1;
      } else if (!consistent || i - lo <= hi - i) {
        later.push_back({i + 1, hi});
        hi = i - 1;
      } else {
        later.push_back({lo, i - 1});
        lo = i + 1;
      }
    }
    if (later.empty()) return;
    lo = later.back().lo;
    hi = later.back().hi;
    later.pop_back();
  }
}

// The natural order of entries that may be null: nulls first, then each
// entry's own `compare`.
int naturalCompare(const Ref<Object>& a, const Ref<Object>& b) {
  if (!a) return b ? -1 : 0;
  if (!b) return 1;
  if (!a->hasCompare()) return 0;
  return a->compare(b);
}

// The natural comparison is a consistent order when every non-null entry is
// exactly of one class whose `compare` orders it totally: String, Data, and
// Number when all are integers or all are doubles other than NaN. Mixed
// classes compare 0 across classes, NaN compares 0 with everything, and
// integers beyond 2^53 compare with doubles through rounding; none of that
// is transitive, so such arrays are sorted without the in-order shortcut.
template <class T> bool allExactly(const Ref<Object>* a, uint32_t n) {
  for (uint32_t k = 0; k < n; ++k)
    if (a[k] && typeid(*a[k]) != typeid(T)) return false;
  return true;
}

bool numbersOrderTotally(const Ref<Object>* a, uint32_t n) {
  if (!allExactly<Number>(a, n)) return false;
  bool integers = false, doubles = false;
  for (uint32_t k = 0; k < n; ++k) {
    if (!a[k]) continue;
    const Number* number = static_cast<const Number*>(a[k].get());
    if (number->isInteger()) {
      integers = true;
    } else {
      if (number->doubleValue() != number->doubleValue()) return false;
      doubles = true;
    }
  }
  return !(integers && doubles);
}

}  // namespace

void Array::sortUsing(const ArrayComparison& comparison, ArrayOrdering ordering) {
  _unpackIfPacked();
  if (count_ < 2) return;
  Ref<Object> target = liveTarget(comparison);
  if (!target) return;
  auto compare = [&](const Ref<Object>& a, const Ref<Object>& b) -> int {
    return comparison.function(target, a, b);
  };
  quicksort(items_.get(), 0, count_ - 1, compare, ordering == ArrayOrdering::consistent);
}

bool Array::sort() {
  _unpackIfPacked();
  if (count_ < 2) return true;
  const Ref<Object>& head = items_[0];
  if (!head || !head->hasCompare()) return false;
  Ref<Object>* a = items_.get();
  if (allExactly<String>(a, count_)) {
    auto compare = [](const Ref<Object>& x, const Ref<Object>& y) -> int {
      if (!x) return y ? -1 : 0;
      if (!y) return 1;
      return static_cast<const String*>(x.get())->compare(static_cast<const String*>(y.get()));
    };
    quicksort(a, 0, count_ - 1, compare, true);
  } else if (allExactly<Data>(a, count_)) {
    auto compare = [](const Ref<Object>& x, const Ref<Object>& y) -> int {
      if (!x) return y ? -1 : 0;
      if (!y) return 1;
      return static_cast<const Data*>(x.get())->compare(*static_cast<const Data*>(y.get()));
    };
    quicksort(a, 0, count_ - 1, compare, true);
  } else if (numbersOrderTotally(a, count_)) {
    auto compare = [](const Ref<Object>& x, const Ref<Object>& y) -> int {
      if (!x) return y ? -1 : 0;
      if (!y) return 1;
      return static_cast<const Number*>(x.get())->compare(*static_cast<const Number*>(y.get()));
    };
    quicksort(a, 0, count_ - 1, compare, true);
  } else {
    auto compare = [](const Ref<Object>& x, const Ref<Object>& y) -> int { return naturalCompare(x, y); };
    quicksort(a, 0, count_ - 1, compare, false);
  }
  return true;
}

}  // namespace quorl
