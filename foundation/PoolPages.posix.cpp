#include "foundation/PoolPages.h"

#include <sys/mman.h>

#include <cstdint>

namespace quorl::pool {

namespace {
void* mapAnywhere(size_t bytes) {
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}
}  // namespace

void* mapPages(size_t bytes) {
  // New mappings usually land just below the previous one, so after the
  // first aligned span most are aligned already.
  void* p = mapAnywhere(bytes);
  if (!p) return nullptr;
  if ((reinterpret_cast<uintptr_t>(p) & (kMapAlign - 1)) == 0) return p;
  munmap(p, bytes);
  // Otherwise map one alignment more and cut off both ends.
  auto* span = static_cast<char*>(mapAnywhere(bytes + kMapAlign));
  if (!span) return nullptr;
  uintptr_t start = reinterpret_cast<uintptr_t>(span);
  size_t head = ((start + kMapAlign - 1) & ~(kMapAlign - 1)) - start;
  if (head) munmap(span, head);
  if (kMapAlign - head) munmap(span + head + bytes, kMapAlign - head);
  return span + head;
}

void unmapPages(void* pages, size_t bytes) { munmap(pages, bytes); }

}  // namespace quorl::pool
