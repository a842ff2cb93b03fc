// Files: whole-file reading and existence tests.
//
// Paths are UTF-8 Strings, handed to the platform up to their first 0 byte.
// The portable logic lives in Files.cpp; Files.posix.cpp and Files.win32.cpp
// hold the three platform operations (open, size, attributes).
#pragma once

#include <cstdint>
#include <cstdio>

#include "Object.h"

namespace quorl {

class Data;
class String;

class Files final : public Object {
 public:
  Files() = delete;
  const char* classNameC() const override { return "Files"; }

  // The whole content of the file, or null when the path is null, the file
  // cannot be opened or read, or it holds more than kMaxLength bytes (a Data
  // counts its bytes in 32 bits). A pipe or a device that never ends stops
  // there too instead of growing without bound.
  static Ref<Data> readData(Ptr<const String> path);
  // readData as a String, byte for byte: no UTF-8 check, no byte-order-mark
  // removal, no line-end conversion.
  static Ref<String> readText(Ptr<const String> path);
  // True when the path's attributes can be read: a file or a directory.
  static bool exists(Ptr<const String> path);

  static constexpr uint64_t kMaxLength = 0xFFFFFFFFull;
  // The first buffer when the size is not known in advance.
  static constexpr uint64_t kFirstBuffer = 4096;

  // readData with a smaller length limit, so that the limit can be tested
  // without files of gigabytes.
  static Ref<Data> _readData(Ptr<const String> path, uint64_t limit);

  // -- Platform operations -----------------------------------------------------
  // Opens for reading in binary mode; null on failure.
  static std::FILE* _openRead(const char* path);
  // The byte size of a regular file, or -1 when it cannot be known (no such
  // file, no size, not a regular file).
  static int64_t _sizeOf(const char* path);
  static bool _attributesReadable(const char* path);
};

}  // namespace quorl
