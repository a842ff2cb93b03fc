// The settings file replaced on POSIX: the sibling is made with O_EXCL and
// O_NOFOLLOW, so a file or a link someone placed under its name is never
// opened, let alone written through.
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "ux/headless/UXHeadlessSettingsFile.h"

namespace quorl::headless {

namespace {

std::atomic<uint32_t> gSiblings{0};

// Writes all of `text`; false on the first failure.
bool writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

}  // namespace

bool replaceSettingsFile(const std::filesystem::path& target, const std::string& text) {
  const std::string path = target.string();
  for (uint32_t attempt = 0; attempt < 16; ++attempt) {
    const std::string sibling = path + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(gSiblings++);
    const int fd = ::open(sibling.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    bool ok = writeAll(fd, text);
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(sibling.c_str(), path.c_str()) == 0) return true;
    ::unlink(sibling.c_str());
    return false;
  }
  return false;
}

}  // namespace quorl::headless
