// Stdio::_write on POSIX: straight to file descriptor 1, unbuffered.
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "String.h"

namespace quorl {

bool Stdio::_write(const void* bytes, uint32_t count) {
  if (!bytes || count == 0) return true;
  std::fflush(stdout);  // keep order with anything printed through C stdio
  const char* p = static_cast<const char*>(bytes);
  size_t left = count;
  while (left) {
    const ssize_t written = ::write(STDOUT_FILENO, p, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;  // a full disk, a closed descriptor, a pipe with no reader
    p += written;
    left -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace quorl
