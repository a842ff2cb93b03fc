#include "Files.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "Data.h"
#include "String.h"

namespace quorl {

namespace {

struct CloseFile {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
struct FreeBytes {
  void operator()(uint8_t* p) const { std::free(p); }
};

// One fread is kept below 1 GiB: some C runtimes mishandle larger counts.
constexpr uint64_t kReadSlice = uint64_t{1} << 30;

}  // namespace

Ref<Data> Files::_readData(Ptr<const String> path, uint64_t limit) {
  if (!path) return nullptr;
  limit = std::min(limit, kMaxLength);
  const char* cpath = path->cString();
  std::unique_ptr<std::FILE, CloseFile> file(_openRead(cpath));
  if (!file) return nullptr;

  // Sizes are 64-bit here: the buffer may reach limit + 1 = 2^32 bytes, which
  // is how a file one byte too long is told from one that fits exactly.
  const int64_t size = _sizeOf(cpath);
  if (size > 0 && static_cast<uint64_t>(size) > limit) return nullptr;
  uint64_t capacity = size > 0 ? static_cast<uint64_t>(size) + 1 : kFirstBuffer;
  capacity = std::min(capacity, limit + 1);
  std::unique_ptr<uint8_t, FreeBytes> buffer(static_cast<uint8_t*>(std::malloc(capacity)));
  if (!buffer) return nullptr;

  uint64_t count = 0;
  for (;;) {
    if (count == capacity) {
      if (capacity > limit) return nullptr;  // more bytes than a Data can hold
      const uint64_t grown = std::min(capacity * 2, limit + 1);
      void* bigger = std::realloc(buffer.get(), grown);
      if (!bigger) return nullptr;
      (void)buffer.release();
      buffer.reset(static_cast<uint8_t*>(bigger));
      capacity = grown;
    }
    const size_t want = static_cast<size_t>(std::min(capacity - count, kReadSlice));
    const size_t got = std::fread(buffer.get() + count, 1, want, file.get());
    if (got == 0) {
      if (std::ferror(file.get())) return nullptr;
      break;
    }
    count += got;
  }
  file.reset();
  return Data::withBytes(buffer.get(), static_cast<uint32_t>(count));
}

Ref<Data> Files::readData(Ptr<const String> path) { return _readData(path, kMaxLength); }

Ref<String> Files::readText(Ptr<const String> path) {
  if (!path) return nullptr;
  Ref<Data> data = readData(path);
  if (!data) return nullptr;
  return String::withBytes(data->bytes(), data->length());
}

bool Files::exists(Ptr<const String> path) {
  if (!path) return false;
  return _attributesReadable(path->cString());
}

}  // namespace quorl
