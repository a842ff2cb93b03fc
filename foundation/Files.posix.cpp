#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Files.h"

namespace quorl {

const bool Files::kBackslashSeparates = false;

std::FILE* Files::_openRegular(const char* path, int64_t& size, FileFailure& failure) {
  // Without O_NONBLOCK, opening a pipe waits for a writer: the type is
  // checked on the open file, so nothing put in its place since can slip by.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    failure = errno == ENOENT || errno == ENOTDIR ? FileFailure::missing : FileFailure::cannotOpen;
    return nullptr;
  }
  struct stat info;
  const bool known = ::fstat(fd, &info) == 0;
  if (!known || !S_ISREG(info.st_mode)) {
    failure = !known                  ? FileFailure::cannotOpen
              : S_ISDIR(info.st_mode) ? FileFailure::folder
                                      : FileFailure::notRegular;
    ::close(fd);
    return nullptr;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) {
    ::close(fd);
    failure = FileFailure::cannotOpen;
    return nullptr;
  }
  size = static_cast<int64_t>(info.st_size);
  return file;
}

bool Files::_attributesReadable(const char* path) {
  struct stat info;
  return ::stat(path, &info) == 0;
}

}  // namespace quorl
