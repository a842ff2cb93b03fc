#include "foundation/Pool.h"

#include <cstdlib>
#include <cstring>

namespace quorl::pool {

namespace {

// Size classes: 16-byte steps to 256 bytes (0..15), 64-byte steps to 1024
// (16..27), 256-byte steps to 4096 (28..39). Hash tables and arrays come in
// sizes such as 640 or 1536 bytes, which powers of two would waste.
constexpr size_t kClasses = 40;
constexpr size_t kChunkBytes = 64 * 1024;

constexpr size_t classSize(size_t cls) {
  if (cls < 16) return (cls + 1) * 16;
  if (cls < 28) return 256 + (cls - 15) * 64;
  return 1024 + (cls - 27) * 256;
}

constexpr size_t classOf(size_t bytes) {
  if (bytes <= 256) return (bytes - 1) / 16;
  if (bytes <= 1024) return 16 + (bytes - 257) / 64;
  return 28 + (bytes - 1025) / 256;
}

static_assert(classSize(kClasses - 1) == kBufferMax);
static_assert(classOf(256) == 15 && classOf(257) == 16 && classOf(1024) == 27 && classOf(1025) == 28);
static_assert(classOf(kBufferMax) == kClasses - 1);

struct FreeBlock {
  FreeBlock* next;
};

// Per-thread free lists: plain pointers, so thread_local needs no
// constructor or destructor on any platform.
thread_local FreeBlock* tFree[kClasses];

// A chunk is carved into blocks of one class and never given back: blocks
// of one kind lie together, in address order when first handed out.
FreeBlock* refill(size_t cls) {
  size_t size = classSize(cls);
  auto* chunk = static_cast<char*>(::operator new(kChunkBytes, std::align_val_t(16)));
  FreeBlock* head = nullptr;
  for (size_t i = kChunkBytes / size; i-- > 1;) {  // block 0 is handed out at once
    auto* b = reinterpret_cast<FreeBlock*>(chunk + i * size);
    b->next = head;
    head = b;
  }
  tFree[cls] = head;
  return reinterpret_cast<FreeBlock*>(chunk);
}

void* take(size_t cls) {
  FreeBlock* b = tFree[cls];
  if (!b) return refill(cls);
  tFree[cls] = b->next;
  return b;
}

void give(void* block, size_t cls) {
  auto* b = static_cast<FreeBlock*>(block);
  b->next = tFree[cls];
  tFree[cls] = b;
}

}  // namespace

#ifdef QUORL_SANITIZE
// Sanitized builds hand every block to the general heap, where the
// sanitizers can watch it.
void* allocate(size_t bytes) { return std::malloc(bytes); }
void release(void* block, size_t) { std::free(block); }
void* allocateBuffer(size_t bytes) { return bytes ? std::malloc(bytes) : nullptr; }
void releaseBuffer(void* buffer, size_t) { std::free(buffer); }
void* resizeBuffer(void* buffer, size_t, size_t newBytes) { return std::realloc(buffer, newBytes ? newBytes : 1); }
#else
void* allocate(size_t bytes) { return take(classOf(bytes)); }

void release(void* block, size_t bytes) { give(block, classOf(bytes)); }

void* allocateBuffer(size_t bytes) {
  if (bytes == 0) return nullptr;
  if (bytes > kBufferMax) return std::malloc(bytes);
  return take(classOf(bytes));
}

void releaseBuffer(void* buffer, size_t bytes) {
  if (!buffer) return;
  if (bytes > kBufferMax)
    std::free(buffer);
  else
    give(buffer, classOf(bytes));
}

void* resizeBuffer(void* buffer, size_t oldBytes, size_t newBytes) {
  if (!buffer || oldBytes == 0) return allocateBuffer(newBytes);
  if (oldBytes > kBufferMax && newBytes > kBufferMax) return std::realloc(buffer, newBytes);
  // Within one class the block already has room.
  if (oldBytes <= kBufferMax && newBytes <= kBufferMax && newBytes != 0 && classOf(oldBytes) == classOf(newBytes))
    return buffer;
  void* fresh = allocateBuffer(newBytes);
  if (!fresh && newBytes != 0) return nullptr;
  if (fresh) std::memcpy(fresh, buffer, oldBytes < newBytes ? oldBytes : newBytes);
  releaseBuffer(buffer, oldBytes);
  return fresh;
}
#endif

}  // namespace quorl::pool
