// Allocation-free ASCII case folding for the results subsystem.
//
// String::equalsIgnoringCase lowercases both sides into new strings; the
// loaders, the filter and the heat map compare names hundreds of thousands
// of times per rebuild, so they fold byte by byte instead. The answers are
// the same: only 'A'-'Z' fold, every other byte compares as itself.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quorl::textkeys {

inline uint8_t fold(uint8_t c) { return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c + 32) : c; }

// A copy of t with 'A'-'Z' folded.
inline std::string folded(std::string_view t) {
  std::string out(t);
  for (char& c : out) c = static_cast<char>(fold(static_cast<uint8_t>(c)));
  return out;
}

inline uint32_t cLength(const char* s) { return static_cast<uint32_t>(std::strlen(s)); }

// Case-insensitive comparisons of String go through lowercased copies, which
// stop at the first NUL; the folded forms here read the same bytes.
inline uint32_t visibleLength(const void* bytes, uint32_t n) {
  const void* nul = n ? std::memchr(bytes, 0, n) : nullptr;
  return nul ? static_cast<uint32_t>(static_cast<const uint8_t*>(nul) - static_cast<const uint8_t*>(bytes)) : n;
}

inline bool equalFolded(const void* a, uint32_t na, const void* b, uint32_t nb) {
  if (na != nb) return false;
  auto* pa = static_cast<const uint8_t*>(a);
  auto* pb = static_cast<const uint8_t*>(b);
  for (uint32_t i = 0; i < na; ++i) {
    if (pa[i] != pb[i] && fold(pa[i]) != fold(pb[i])) return false;
  }
  return true;
}

// Whether the folded needle occurs in the folded haystack; an empty needle
// occurs everywhere.
inline bool containsFolded(const void* haystack, uint32_t nh, const void* needle, uint32_t nn) {
  if (nn == 0) return true;
  if (nn > nh) return false;
  auto* h = static_cast<const uint8_t*>(haystack);
  auto* n = static_cast<const uint8_t*>(needle);
  const uint8_t first = fold(n[0]);
  for (uint32_t i = 0; i + nn <= nh; ++i) {
    if (fold(h[i]) != first) continue;
    uint32_t k = 1;
    while (k < nn && fold(h[i + k]) == fold(n[k])) ++k;
    if (k == nn) return true;
  }
  return false;
}

// FNV-1a over the folded bytes, chainable so that a key made of several
// texts hashes as their concatenation.
inline constexpr uint32_t kHashSeed = 0x811c9dc5u;
inline uint32_t hashFolded(uint32_t h, const void* bytes, uint32_t n) {
  auto* p = static_cast<const uint8_t*>(bytes);
  for (uint32_t i = 0; i < n; ++i) h = (h ^ fold(p[i])) * 16777619u;
  return h;
}

}  // namespace quorl::textkeys
