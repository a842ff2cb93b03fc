// Whether a path names an entry, and who a folder is, asked of the file
// system itself: lstat for presence (a link is an entry of its own), stat
// for identity (the folder a path reaches now, links followed). The
// Windows build's are in UXHeadlessFileQueries.win32.cpp.
#include <cerrno>
#include <sys/stat.h>

#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {

UXFilePresence UXHeadlessDriver::filePresence(const char* path) {
  if (!path || !*path) return UXFilePresence::unknown;
  struct stat info;
  if (::lstat(path, &info) == 0) return S_ISDIR(info.st_mode) ? UXFilePresence::folder : UXFilePresence::file;
  switch (errno) {
    case ENOENT:
    case ENAMETOOLONG: return UXFilePresence::absent;  // no entry can have a name the system refuses
    case ENOTDIR: return UXFilePresence::notFolder;
    default: return UXFilePresence::unknown;
  }
}

bool UXHeadlessDriver::fileIdentity(const char* path, UXFileIdentity& identity) {
  struct stat info;
  if (!path || !*path || ::stat(path, &info) != 0) return false;
  identity.volume = uint64_t(info.st_dev);
  identity.index = uint64_t(info.st_ino);
  return true;
}

}  // namespace quorl
