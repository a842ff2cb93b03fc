// Array: the growable, ordered list of object references.
//
// Sections:
//   1. ValueBlock: a block that answers a value (predicates, comparisons, maps)
//   2. Array
//      2a. construction, size, reading
//      2b. changing in place
//      2c. searching
//      2d. new arrays
//      2e. block queries and sorting
//
// Entries are shared references and may be null. Indices are u32; searches
// answer kNotFound. Out-of-range indices are ignored or clamped, except in
// `get`, which trusts its caller.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>

#include "Object.h"

namespace quorl {

class String;

// ---------------------------------------------------------------------------
// 1. A block with a result. Like Block, it is absent unless its function is
//    set and its target is alive; the operations that take one say what they
//    answer for an absent block.
template <class R, class... Args> struct ValueBlock {
  Weak<Object> target;
  std::function<R(const Ref<Object>& target, Args...)> function;

  explicit operator bool() const { return static_cast<bool>(function) && !target.expired(); }
};

using ArrayPredicate = ValueBlock<bool, const Ref<Object>&>;
// Negative, 0 or positive, as `a` orders before, with or after `b`.
using ArrayComparison = ValueBlock<int8_t, const Ref<Object>& /*a*/, const Ref<Object>& /*b*/>;
// What a caller's comparison promises to the sort. `unknown` promises
// nothing: the sort then makes exactly the algorithm's comparisons in the
// algorithm's order, so a comparison that is no order at all (or answers
// differently when asked again) still gets the algorithm's own result.
// `consistent` promises a pure, transitive order (a <= b and b <= c give
// a <= c, and asking again answers the same), which lets the sort leave a
// range already in order after one linear check.
enum class ArrayOrdering : uint8_t { unknown, consistent };
// Answers the mapped object, or null to leave the entry out.
using ArrayMapper = ValueBlock<Ref<Object>, const Ref<Object>&>;
using ArrayVisitor = Block<const Ref<Object>&>;

// ---------------------------------------------------------------------------
// 2. Array. One contiguous buffer of `capacity` references; slots at index
//    >= count are empty. Capacity is 0 until the first growth, then 8, then
//    doubles.
class Array : public Object, public Copying, public Enumerable {
 public:
  Array() : items_() {}
  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;
  ~Array() override;

  // -- 2a. Construction, size, reading ----------------------------------------
  // Room for n entries; no buffer at all for 0.
  static Ref<Array> withCapacity(uint32_t n);

  uint32_t count() const { return count_; }
  uint32_t length() const { return count_; }
  uint32_t enumLength() const override { return count_; }
  bool isEmpty() const { return count_ == 0; }
  uint32_t capacity() const { return capacity_; }

  // No bounds test: the caller keeps i < count.
  const Ref<Object>& get(uint32_t i) const {
    _unpackIfPacked();
    return items_[i];
  }
  Ref<Object> enumAt(uint32_t i) const override { return get(i); }
  Ref<Object> first() const;  // null when empty
  Ref<Object> last() const;   // null when empty

  // Contiguous view of the entries, for range-for loops. Invalidated by any
  // change to the array.
  const Ref<Object>* begin() const {
    _unpackIfPacked();
    return items_.get();
  }
  const Ref<Object>* end() const { return begin() + count_; }

  // Slot access for the foundation's own code: no bounds test, no growth.
  const Ref<Object>& _readSlot(uint32_t i) const { return get(i); }
  void _writeSlot(uint32_t i, Ref<Object> ref) {
    _unpackIfPacked();
    items_[i] = std::move(ref);
  }

  // Packed integers. The JSON reader keeps an array whose every element is
  // an integer literal as the integers alone (8 bytes an entry instead of a
  // reference and a Number); the first access to its entries as objects
  // makes the Numbers the reader would have made (withI64), and the array
  // is an ordinary one from then on. Readers that only need the values ask
  // `_integers` first: the values, or null when the array holds objects.
  // Reading a packed array therefore changes it: arrays shared between
  // threads must be read once on one thread first.
  // Values within 65,535 of the smallest are kept as 2-byte offsets from
  // it (a run's samples lie close together), values that fit 32 bits in 4
  // bytes each, any others in 8.
  struct PackedIntegers {
    enum Width : uint8_t { kNone, kOffsets, kNarrow, kWide } width = kNone;
    const void* values = nullptr;
    int64_t base = 0;  // what the offsets add to
    explicit operator bool() const { return width != kNone; }
    int64_t operator[](uint32_t i) const {
      switch (width) {
        case kOffsets: return static_cast<int64_t>(static_cast<uint64_t>(base) + static_cast<const uint16_t*>(values)[i]);
        case kNarrow: return static_cast<const int32_t*>(values)[i];
        default: return static_cast<const int64_t*>(values)[i];
      }
    }
    const void* data() const { return values; }
  };
  static Ref<Array> _withIntegers(const int64_t* values, uint32_t n);
  PackedIntegers _integers() const {
    if (width_ == PackedIntegers::kNone) return {};
    const unsigned char* bytes = packed_.get();
    if (width_ == PackedIntegers::kOffsets) {
      int64_t base;
      std::memcpy(&base, bytes, sizeof base);
      return {PackedIntegers::kOffsets, bytes + sizeof base, base};
    }
    return {width_, bytes, 0};
  }

  // -- 2b. Changing in place --------------------------------------------------
  void add(Ref<Object> object);                  // null may be added
  void insert(uint32_t i, Ref<Object> object);   // ignored when i > count
  void set(uint32_t i, Ref<Object> object);      // ignored when i >= count
  void replaceAt(uint32_t i, Ref<Object> object) { set(i, std::move(object)); }
  void removeAt(uint32_t i);                     // ignored when i >= count
  void removeFirst() { removeAt(0); }
  void removeLast();
  void removeAll();  // keeps the buffer and capacity
  bool remove(Ptr<const Object> object);       // first identical entry
  bool removeEqual(Ptr<const Object> object);  // first equal entry
  void removeRange(uint32_t start, uint32_t n);
  void insertAll(uint32_t i, Ptr<const Array> other);
  void replaceRange(uint32_t start, uint32_t n, Ptr<const Array> other);
  void setTo(Ptr<const Array> other);
  void addAll(Ptr<const Array> other);
  void swapAt(uint32_t i, uint32_t j);
  void reverse();

  // -- 2c. Searching ----------------------------------------------------------
  uint32_t indexOf(Ptr<const Object> object) const;       // identity; null finds a null entry
  bool contains(Ptr<const Object> object) const { return indexOf(object) != kNotFound; }
  uint32_t indexOfEqual(Ptr<const Object> object) const;  // object->equals(entry), nulls skipped
  bool containsEqual(Ptr<const Object> object) const { return indexOfEqual(object) != kNotFound; }
  bool isEqualToArray(Ptr<const Array> other) const;

  // -- 2d. New arrays (holding the same object references) -------------------
  Ref<Array> copy() const;
  Ref<Object> copyObject() const override { return copy(); }
  Ref<Array> adding(Ref<Object> object) const;
  Ref<Array> subarray(uint32_t start, uint32_t n) const;
  Ref<Array> reversed() const;
  Ref<Array> sorted() const;
  Ref<Array> sortedUsing(const ArrayComparison& comparison,
                         ArrayOrdering ordering = ArrayOrdering::unknown) const;
  Ref<Array> filtered(const ArrayPredicate& predicate) const;
  Ref<Array> mapped(const ArrayMapper& mapper) const;

  // -- 2e. Block queries and sorting ------------------------------------------
  // A block may change the array while these run; each step re-reads the
  // count. Sorting is the exception: the comparison must leave the array
  // alone.
  void forEach(const ArrayVisitor& visitor) const;
  Ref<Object> firstWhere(const ArrayPredicate& predicate) const;
  uint32_t indexWhere(const ArrayPredicate& predicate) const;
  uint32_t countWhere(const ArrayPredicate& predicate) const;
  bool anySatisfy(const ArrayPredicate& predicate) const;
  bool allSatisfy(const ArrayPredicate& predicate) const;
  bool isSortedUsing(const ArrayComparison& comparison) const;

  // Quicksort, last entry as pivot; not stable. The order of equal entries is
  // exactly that of the plain recursive algorithm; only the depth of the
  // machine stack is bounded. With a consistent ordering (the caller's
  // promise, or `sort` on values known to order totally) ranges already in
  // order are recognised without partitioning them again, which is what the
  // algorithm leaves them as; without one, a sorted input costs the
  // algorithm's quadratic count of comparisons.
  void sortUsing(const ArrayComparison& comparison, ArrayOrdering ordering = ArrayOrdering::unknown);
  // Sorts by the entries' own `compare`; false, and nothing changes, when
  // the first entry is null or cannot compare. Nulls gather at the front.
  bool sort();

  Ref<String> description() const override;
  const char* classNameC() const override { return "Array"; }

 private:
  void _grow();
  // Grows by doubling until `needed` entries fit, as that many single adds
  // would.
  void _growFor(uint32_t needed);
  void _removeSpan(uint32_t start, uint32_t n);
  void _unpackIfPacked() const {
    if (width_ != PackedIntegers::kNone) [[unlikely]]
      _unpack();
  }
  void _unpack() const;

  // The entries, or while packed their integers (the base first, for
  // offsets): `width_` says which member lives.
  union {
    mutable PoolArray<Ref<Object>> items_;
    mutable PoolBytes packed_;
  };
  mutable PackedIntegers::Width width_ = PackedIntegers::kNone;
  uint32_t count_ = 0;
  uint32_t capacity_ = 0;
};

}  // namespace quorl
