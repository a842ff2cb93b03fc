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

// Reads a whole regular file into a buffer that `room(capacity, count)`
// makes (its first `count` bytes kept) and answers the bytes read, or -1 with
// the reason. The buffer never passes limit + 1 bytes, whatever size the file
// reported: that last byte is how a file one byte too long is told from one
// that fits exactly. Sizes are 64-bit here: limit + 1 may be 2^32. The
// reason goes to `failure` when it is not null.
template <class Room>
int64_t readAll(Ptr<const String> path, uint64_t limit, FileFailure* failure, const Room& room) {
  FileFailure ignored;
  FileFailure& why = failure ? *failure : ignored;
  why = FileFailure::cannotOpen;
  if (!path) return -1;
  why = FileFailure::none;
  limit = std::min(limit, Files::kMaxLength);
  int64_t size = -1;
  std::unique_ptr<std::FILE, CloseFile> file(Files::_openRegular(path->cString(), size, why));
  if (!file) return -1;
  auto fail = [&why](FileFailure reason) {
    why = reason;
    return int64_t{-1};
  };
  if (size > 0 && static_cast<uint64_t>(size) > limit) return fail(FileFailure::tooLarge);
  uint64_t capacity = size > 0 ? static_cast<uint64_t>(size) + 1 : Files::kFirstBuffer;
  capacity = std::min(capacity, limit + 1);
  uint8_t* buffer = room(capacity, 0);
  if (!buffer) return fail(FileFailure::tooLarge);
  uint64_t count = 0;
  for (;;) {
    if (count == capacity) {
      if (capacity > limit) return fail(FileFailure::tooLarge);
      capacity = std::min(capacity * 2, limit + 1);
      buffer = room(capacity, count);
      if (!buffer) return fail(FileFailure::tooLarge);
    }
    const size_t want = static_cast<size_t>(std::min(capacity - count, kReadSlice));
    const size_t got = std::fread(buffer + count, 1, want, file.get());
    if (got == 0) {
      if (std::ferror(file.get())) return fail(FileFailure::readError);
      break;
    }
    count += got;
  }
  return static_cast<int64_t>(count);
}

}  // namespace

Ref<Data> Files::_readData(Ptr<const String> path, uint64_t limit, FileFailure* failure) {
  std::unique_ptr<uint8_t, FreeBytes> buffer;
  const int64_t count = readAll(path, limit, failure, [&buffer](uint64_t capacity, uint64_t) -> uint8_t* {
    void* bigger = std::realloc(buffer.get(), capacity);
    if (!bigger) return nullptr;
    (void)buffer.release();
    buffer.reset(static_cast<uint8_t*>(bigger));
    return buffer.get();
  });
  if (count < 0) return nullptr;
  return Data::withBytes(buffer.get(), static_cast<uint32_t>(count));
}

Ref<Data> Files::readData(Ptr<const String> path) { return _readData(path, kMaxLength); }

Ref<String> Files::readText(Ptr<const String> path) { return readText(path, kMaxLength, nullptr); }

Ref<String> Files::readText(Ptr<const String> path, uint64_t limit, FileFailure* failure) {
  // Straight into the String's own buffer: a large file is in memory once.
  Ref<String> text = make<String>();
  const int64_t count = readAll(path, limit, failure, [&text](uint64_t capacity, uint64_t count) -> uint8_t* {
    if (capacity >= 0xFFFFFFFFu) return nullptr;  // past what a String holds
    text->_setByteLength(static_cast<uint32_t>(count));
    uint8_t* room = text->_appendRoom(static_cast<uint32_t>(capacity - count));
    return room ? room - count : nullptr;
  });
  if (count < 0) return nullptr;
  text->_setByteLength(static_cast<uint32_t>(count));
  return text;
}

Ref<String> Files::nameOf(Ptr<const String> path) {
  return path ? path->lastPathComponent(kBackslashSeparates) : nullptr;
}

bool Files::exists(Ptr<const String> path) {
  if (!path) return false;
  return _attributesReadable(path->cString());
}

}  // namespace quorl
