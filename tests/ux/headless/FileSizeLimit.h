// Holds the size of the files this process writes to a limit while it
// lives, as a disk that fills up would: a write past it fails. Only where
// the system has such a limit (POSIX), and never for 0 bytes; otherwise
// held() answers false.
#pragma once

#include <cstdint>

namespace quorl::test {

class FileSizeLimit {
 public:
  explicit FileSizeLimit(uint64_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  bool held() const { return held_; }

 private:
  bool held_ = false;
  uint64_t savedLimit_ = 0;
  void (*savedSignal_)(int) = nullptr;
};

}  // namespace quorl::test
