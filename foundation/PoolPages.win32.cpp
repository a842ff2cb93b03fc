#include <windows.h>

#include "foundation/PoolPages.h"

namespace quorl::pool {

// VirtualAlloc places every reservation on the 64 KiB allocation
// granularity, which is exactly the alignment the pool needs.
void* mapPages(size_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE); }

void unmapPages(void* pages, size_t) { VirtualFree(pages, 0, MEM_RELEASE); }

}  // namespace quorl::pool
