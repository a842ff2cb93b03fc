// Files: whole-file reading and existence tests.
//
// Paths are UTF-8 Strings, handed to the platform up to their first 0 byte.
// The portable logic lives in Files.cpp; Files.posix.cpp and Files.win32.cpp
// hold the two platform operations (open a regular file, attributes).
//
// Only regular files are read: a pipe, a device or a folder is refused when
// it is opened, before a byte is read, so that nothing waits for a writer
// that never comes or reads a device that never ends.
#pragma once

#include <cstdint>
#include <cstdio>

#include "Object.h"

namespace quorl {

class Data;
class String;

// Why a read gave nothing.
enum class FileFailure : uint8_t {
  none,
  cannotOpen,  // not allowed, or not opened for another reason
  missing,     // no file of that name
  folder,      // the name is a folder's
  notRegular,  // a pipe, a device
  tooLarge,    // more bytes than the limit, whatever the size said
  readError,
};

class Files final : public Object {
 public:
  Files() = delete;
  const char* classNameC() const override { return "Files"; }

  // The whole content of the file, or null when the path is null, it is not
  // a regular file, the file cannot be opened or read, or it holds more than
  // kMaxLength bytes (a Data counts its bytes in 32 bits).
  static Ref<Data> readData(Ptr<const String> path);
  // readData as a String, byte for byte: no UTF-8 check, no byte-order-mark
  // removal, no line-end conversion.
  static Ref<String> readText(Ptr<const String> path);
  // readText that stops past `limit` bytes (at most limit + 1 are read, even
  // from a file that grows or reports a wrong size) and tells why it gave
  // nothing.
  static Ref<String> readText(Ptr<const String> path, uint64_t limit, FileFailure* failure);
  // True when the path's attributes can be read: a file or a directory.
  static bool exists(Ptr<const String> path);
  // The name of the file a path leads to, as this platform separates a
  // path's parts: on Windows '\' and '/', elsewhere '/' only, where a '\' is
  // part of a name. Every name shown to the user comes from here. Null
  // gives null.
  static Ref<String> nameOf(Ptr<const String> path);

  static constexpr uint64_t kMaxLength = 0xFFFFFFFFull;
  // The first buffer when the size is not known in advance.
  static constexpr uint64_t kFirstBuffer = 4096;

  // readData with a smaller length limit, so that the limit can be tested
  // without files of gigabytes.
  static Ref<Data> _readData(Ptr<const String> path, uint64_t limit, FileFailure* failure = nullptr);

  // -- Platform operations -----------------------------------------------------
  // Opens a regular file for reading in binary mode, without waiting (a pipe
  // with no writer is refused, not waited on), and gives the size the open
  // file reports; null with the reason on failure.
  static std::FILE* _openRegular(const char* path, int64_t& size, FileFailure& failure);
  static bool _attributesReadable(const char* path);
  // Whether a '\' separates the parts of a path here.
  static const bool kBackslashSeparates;
};

}  // namespace quorl
