// A flat open-addressed table from a 64-bit key to a 32-bit value, for the
// results subsystem's per-build indices: one probe in one array, where a
// node-based map costs a cache miss per question.
#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace quorl::chart {

inline uint64_t mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  return h;
}

inline uint64_t pairKey(uint32_t a, uint32_t b) { return static_cast<uint64_t>(a) << 32 | b; }

class FlatIndex {
 public:
  static constexpr uint32_t kNone = 0xFFFFFFFFu;
  explicit FlatIndex(size_t expected = 16) {
    size_t capacity = 16;
    while (capacity < expected * 2) capacity *= 2;
    slots_.assign(capacity, Slot{});
  }
  uint32_t find(uint64_t key) const {
    const size_t mask = slots_.size() - 1;
    for (size_t s = mix(key) & mask;; s = (s + 1) & mask) {
      const Slot& slot = slots_[s];
      if (slot.value == kNone) return kNone;
      if (slot.key == key) return slot.value;
    }
  }
  // Keeps `value` for the key, replacing what was kept.
  void set(uint64_t key, uint32_t value) {
    if ((count_ + 1) * 2 > slots_.size()) grow();
    const size_t mask = slots_.size() - 1;
    for (size_t s = mix(key) & mask;; s = (s + 1) & mask) {
      Slot& slot = slots_[s];
      if (slot.value == kNone || slot.key == key) {
        if (slot.value == kNone) ++count_;
        slot = {key, value};
        return;
      }
    }
  }
  // The value already kept for the key, or `value` when the key is new.
  uint32_t insert(uint64_t key, uint32_t value) {
    if ((count_ + 1) * 2 > slots_.size()) grow();
    const size_t mask = slots_.size() - 1;
    for (size_t s = mix(key) & mask;; s = (s + 1) & mask) {
      Slot& slot = slots_[s];
      if (slot.value == kNone) {
        slot = {key, value};
        ++count_;
        return value;
      }
      if (slot.key == key) return slot.value;
    }
  }
  size_t count() const { return count_; }
  // Empties the table, keeping its room.
  void reset() {
    std::fill(slots_.begin(), slots_.end(), Slot{});
    count_ = 0;
  }
  void clear() {
    slots_.assign(16, Slot{});
    count_ = 0;
  }

 private:
  struct Slot {
    uint64_t key = 0;
    uint32_t value = kNone;
  };
  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    count_ = 0;
    for (const Slot& slot : old)
      if (slot.value != kNone) insert(slot.key, slot.value);
  }
  std::vector<Slot> slots_;
  size_t count_ = 0;
};

}  // namespace quorl::chart
