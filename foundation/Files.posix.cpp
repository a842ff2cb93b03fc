#include <sys/stat.h>

#include "Files.h"

namespace quorl {

std::FILE* Files::_openRead(const char* path) { return std::fopen(path, "rb"); }

int64_t Files::_sizeOf(const char* path) {
  struct stat info;
  if (::stat(path, &info) != 0) return -1;
  // Pipes and devices report 0 or a meaningless size: read them by growing.
  if (!S_ISREG(info.st_mode)) return -1;
  return static_cast<int64_t>(info.st_size);
}

bool Files::_attributesReadable(const char* path) {
  struct stat info;
  return ::stat(path, &info) == 0;
}

}  // namespace quorl
