// Memory for the small-object pool straight from the system, in whole
// 64 KiB-aligned spans, so that the pool can give each page back on its own.
#pragma once

#include <cstddef>

namespace quorl::pool {

inline constexpr size_t kMapAlign = 64 * 1024;

// `bytes` is a multiple of kMapAlign. The span is zero-filled and aligned to
// kMapAlign; null when the system refuses.
void* mapPages(size_t bytes);
// Returns a span that mapPages answered, with the same size.
void unmapPages(void* pages, size_t bytes);

}  // namespace quorl::pool
