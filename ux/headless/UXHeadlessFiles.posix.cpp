// File delete, rename and copy on POSIX, through the calls that act on the
// entry that was checked: unlink never removes a folder, renameat2 never
// replaces, and a copy checks the files it opened and replaces its target
// only once whole. The Windows build's are in UXHeadlessFiles.win32.cpp.
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {

using namespace headless;

namespace {

UXFileFailure failureOfErrno(bool source) { return failureOf(std::error_code(errno, std::generic_category()), source); }

// Closes a descriptor when it goes.
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

// A failed rename's ENOENT: the source gone, or the target's folder.
UXFileFailure renameFailure(const char* from) {
  const int error = errno;
  struct stat info;
  if (error == ENOENT && ::lstat(from, &info) != 0) return UXFileFailure::gone;
  return failureOf(std::error_code(error, std::generic_category()), false);
}

// Opens a new, empty sibling of `to` for writing (in the same folder, so
// that renaming it over `to` replaces `to` in one step) and records its path
// in `sibling`; -1 with errno when none can be made.
int createSibling(const char* to, mode_t mode, CopySibling& sibling) {
  const char* slash = std::strrchr(to, '/');
  for (uint32_t attempt = 0; attempt < 16; ++attempt) {
    std::string path(to, slash ? size_t(slash - to + 1) : 0);
    path += uxCopySiblingName(attempt);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
    if (fd >= 0) sibling.path = path;
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool UXHeadlessDriver::fileDelete(const char* path) {
  gFileFailure = UXFileFailure::none;
  if (!path || !*path) return failed(UXFileFailure::gone);
  if (::unlink(path) == 0) return true;
  struct stat info;
  // Linux answers EISDIR for a folder, POSIX allows EPERM.
  if ((errno == EISDIR || errno == EPERM) && ::lstat(path, &info) == 0 && S_ISDIR(info.st_mode))
    return failed(UXFileFailure::isFolder);
  return failed(failureOfErrno(true));
}

bool UXHeadlessDriver::fileRename(const char* from, const char* to) {
  gFileFailure = UXFileFailure::none;
  if (!from || !to || !*from || !*to) return failed(UXFileFailure::unknown);
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return failed(renameFailure(from));
  // A file system without RENAME_NOREPLACE: look, then rename.
  struct stat info;
  if (::lstat(to, &info) == 0) return failed(UXFileFailure::exists);
  if (errno != ENOENT) return failed(failureOfErrno(false));
  if (::rename(from, to) == 0) return true;
  return failed(renameFailure(from));
}

bool UXHeadlessDriver::fileCopy(const char* from, const char* to) {
  gFileFailure = UXFileFailure::none;
  if (!from || !to || !*from || !*to) return failed(UXFileFailure::unknown);
  // Both ends are opened without waiting (a pipe answers at once) and
  // checked on the open descriptors. The target is opened only to be
  // checked (a regular file the user may write, not the source) and never
  // written: the copy goes to a new sibling that replaces it once whole, so
  // a copy that fails midway leaves the old file as it was.
  Fd in(::open(from, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (in.fd < 0) return failed(failureOfErrno(true));
  struct stat source;
  if (::fstat(in.fd, &source) != 0) return failed(failureOfErrno(true));
  if (S_ISDIR(source.st_mode)) return failed(UXFileFailure::isFolder);
  if (!S_ISREG(source.st_mode)) return failed(UXFileFailure::notRegular);
  Fd out(::open(to, O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (out.fd < 0 && errno != ENOENT) return failed(failureOfErrno(false));
  struct stat target;
  const bool replacing = out.fd >= 0;
  if (replacing) {
    if (::fstat(out.fd, &target) != 0) return failed(failureOfErrno(false));
    if (!S_ISREG(target.st_mode)) return failed(UXFileFailure::notRegular);
    if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) return failed(UXFileFailure::same);
  }
  // A replacing copy is private until it has the old file's permissions.
  CopySibling sibling;
  Fd copy(createSibling(to, replacing ? 0600 : 0666, sibling));
  if (copy.fd < 0) return failed(failureOfErrno(false));
  ::fcntl(in.fd, F_SETFL, ::fcntl(in.fd, F_GETFL) & ~O_NONBLOCK);
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(in.fd, chunk, sizeof chunk);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      return failed(failureOfErrno(true));
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(copy.fd, chunk + done, size_t(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return failed(failureOfErrno(false));
      }
      done += put;
    }
  }
  // A file system that keeps no permissions refuses them; the copy then
  // stays private.
  if (replacing) ::fchmod(copy.fd, target.st_mode & 0777);
  // Written through before the rename, so that not even a crash leaves a
  // cut file in the target's place.
  if (::fsync(copy.fd) != 0) return failed(failureOfErrno(false));
  if (::close(std::exchange(copy.fd, -1)) != 0) return failed(failureOfErrno(false));
  if (::rename(sibling.path.c_str(), to) != 0) return failed(failureOfErrno(false));
  sibling.path.clear();
  return true;
}

}  // namespace quorl
