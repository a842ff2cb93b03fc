// A set of non-negative row indexes kept as sorted, disjoint, non-adjacent
// ranges, so that a run of consecutive rows costs one entry. Every set has
// exactly one representation, which equality and hashing rely on.
#pragma once

#include <cstdint>

#include "foundation/Object.h"

namespace quorl {

class Array;
class Range;

class IndexSet : public Object {
 public:
  IndexSet();

  // The range at a position (below rangeCount()).
  Ref<Range> _at(uint32_t position) const;
  // Position of the first range whose exclusive end is past index; the
  // number of ranges when none is.
  uint32_t _firstEndingAfter(int32_t index) const;
  // Adds start .. start + length - 1; the part below 0 is dropped.
  void _add(int32_t start, int32_t length);

  uint32_t rangeCount() const;
  // Number of indexes in the set.
  uint64_t count() const;
  bool contains(int32_t index) const;

  bool equals(Ptr<const Object> other) const override;
  uint32_t hash() const override;
  // "(1, 3-5)"; "()" when empty.
  Ref<String> description() const override;
  const char* classNameC() const override { return "IndexSet"; }

 private:
  Ref<Array> ranges_;  // Range, ascending
};

}  // namespace quorl
