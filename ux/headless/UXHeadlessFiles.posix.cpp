// File delete, rename and copy on POSIX, through the calls that act on the
// entry that was checked: unlink never removes a folder, renameat2 never
// replaces, and a copy checks the files it opened (the panel's copy: the
// very file it identified) and puts its copy in the target's place only
// once whole (uxCopyThroughSibling), over a file there only when allowed.
// The Windows build's are in UXHeadlessFiles.win32.cpp.
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "ux/core/UXSiblingCopy.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessFiles.h"

namespace quorl {

using namespace headless;

namespace {

UXFileFailure failureOfErrno(bool source) {
  if (errno == EDQUOT) return UXFileFailure::noSpace;
  return failureOf(std::error_code(errno, std::generic_category()), source);
}

// Why `path` could not be opened: a link that points nowhere is broken,
// not gone.
UXFileFailure openFailure(const char* path, bool source) {
  const int error = errno;
  struct stat info;
  if (error == ENOENT && ::lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) return UXFileFailure::brokenLink;
  errno = error;
  return failureOfErrno(source);
}

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
  errno = error;
  return failureOfErrno(false);
}

// Puts `from` at `to` only while `to` is free. renameat2 refuses at once;
// where a file system (EINVAL) or the kernel or a seccomp filter (ENOSYS)
// lacks it, a hard link is made (which fails on a taken name) and the old
// name unlinked; where it lacks both, the name is looked at just before the
// rename. The system call is made directly: the C library's wrapper may
// turn ENOSYS into EINVAL, or lack renameat2 altogether.
bool renameNoReplace(const char* from, const char* to) {
  if (::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (::link(from, to) == 0) {
    if (::unlink(from) == 0) return true;
    const int error = errno;  // two names for one file: take the new one back
    ::unlink(to);
    errno = error;
    return false;
  }
  if (errno != EPERM && errno != EOPNOTSUPP) return false;
  struct stat info;
  if (::lstat(to, &info) == 0) {
    errno = EEXIST;
    return false;
  }
  return errno == ENOENT && ::rename(from, to) == 0;
}

// What a move to another file system keeps of its source, and learns on
// the way: the source as it was opened and the copy as it was made.
struct MovedFile {
  struct stat source {};
  struct stat copy {};
};

// The POSIX calls of a copy from an open, checked source (the settings
// file's bytes are its source in replaceSettingsFile). The sibling is made
// with `createMode` and given `finishMode` once whole, when that is set: a
// replacing copy is private until it takes the old file's bits; a new one
// is made with its source's bits, which the system cuts by the umask (or a
// default ACL) as for any new file, so that it is never wider than it ends.
// A move's copy (`move` set) keeps its source's owner and group where the
// user may give them, and its times, as a move on one file system does.
class PosixCopy : public UXSiblingCopy {
 public:
  PosixCopy(int source, mode_t createMode, int finishMode, const char* target, MovedFile* move = nullptr)
      : source_(source), createMode_(createMode), finishMode_(finishMode), target_(target), move_(move) {}
  ~PosixCopy() override { closeSibling(); }

  UXFileFailure create(const std::string& sibling) override {
    sibling_ =
        ::open(sibling.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, createMode_);
    return sibling_ >= 0 ? UXFileFailure::none : failureOfErrno(false);
  }
  UXFileFailure read(char* buffer, uint32_t capacity, uint32_t& got) override {
    for (;;) {
      const ssize_t n = ::read(source_, buffer, capacity);
      if (n >= 0) {
        got = uint32_t(n);
        return UXFileFailure::none;
      }
      if (errno != EINTR) return failureOfErrno(true);
    }
  }
  UXFileFailure write(const char* bytes, uint32_t count) override {
    for (uint32_t done = 0; done < count;) {
      const ssize_t put = ::write(sibling_, bytes + done, count - done);
      if (put > 0) done += uint32_t(put);
      else if (put == 0) return UXFileFailure::unknown;
      else if (errno != EINTR) return failureOfErrno(false);
    }
    return UXFileFailure::none;
  }
  UXFileFailure finish() override {
    // The owner only root may give away; the group a member may. Before the
    // permissions, which a change of owner would clear of set-id bits.
    // Neither allowed: the copy is the user's, in the user's group.
    if (move_ && ::fchown(sibling_, move_->source.st_uid, move_->source.st_gid) != 0)
      (void)::fchown(sibling_, uid_t(-1), move_->source.st_gid);
    // A file system that keeps no permissions refuses them; the copy then
    // stays as it was made.
    if (finishMode_ >= 0) ::fchmod(sibling_, mode_t(finishMode_));
    if (move_) {
      const struct timespec times[2] = {move_->source.st_atim, move_->source.st_mtim};
      ::futimens(sibling_, times);
    }
    // Written through before it takes the name, so that not even a crash
    // leaves a cut file there.
    if (::fsync(sibling_) != 0) return failureOfErrno(false);
    if (move_ && ::fstat(sibling_, &move_->copy) != 0) return failureOfErrno(false);
    if (::close(std::exchange(sibling_, -1)) != 0) return failureOfErrno(false);
    return UXFileFailure::none;
  }
  UXFileFailure place(const std::string& sibling, bool replace) override {
    const bool placed = replace ? ::rename(sibling.c_str(), target_) == 0 : renameNoReplace(sibling.c_str(), target_);
    return placed ? UXFileFailure::none : failureOfErrno(false);
  }
  void remove(const std::string& sibling) override {
    closeSibling();
    ::unlink(sibling.c_str());
  }

 private:
  void closeSibling() {
    if (sibling_ >= 0) ::close(std::exchange(sibling_, -1));
  }
  int source_;
  int sibling_ = -1;  // owned while open
  mode_t createMode_;
  int finishMode_;  // -1: none
  const char* target_;
  MovedFile* move_;  // the caller's, for a move
};

// The target's folder with its slash, where the copy's sibling is made (so
// that taking the target's name is one step of one file system).
std::string folderOf(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return std::string(path, slash ? size_t(slash - path + 1) : 0);
}

// What a copy may do, and what its source must be.
struct CopyTerms {
  bool replace = false;      // over a regular file at the target
  bool followLinks = true;   // the source may be a link to the file copied
  MovedFile* move = nullptr;  // a move: the copy keeps its source's bits, owner and times, and tells what it copied
  bool checkSource = false;  // the source must be *source (null: no file was identified)
  const UXFileIdentity* source = nullptr;
};

bool identifies(const struct stat& info, const UXFileIdentity* identity) {
  return identity && uint64_t(info.st_dev) == identity->volume && uint64_t(info.st_ino) == identity->index;
}

// Why a source opened without following links could not be: a link is
// told by where it leads (nowhere, round in a loop), as a swap when it
// leads to another file than the one identified, else as no regular file.
UXFileFailure unfollowedFailure(const char* from, const CopyTerms& terms) {
  const int error = errno;
  struct stat info;
  if ((error != ELOOP && error != EMLINK) || ::lstat(from, &info) != 0 || !S_ISLNK(info.st_mode)) {
    errno = error;
    return openFailure(from, true);
  }
  if (::stat(from, &info) != 0) return errno == ENOENT ? UXFileFailure::brokenLink : failureOfErrno(true);
  return terms.checkSource && !identifies(info, terms.source) ? UXFileFailure::swapped : UXFileFailure::notRegular;
}

// Copies the regular file `from` to `to` on the terms given.
UXFileFailure copyFile(const char* from, const char* to, const CopyTerms& terms) {
  if (!from || !to || !*from || !*to) return UXFileFailure::unknown;
  // Both ends are opened without waiting (a pipe answers at once) and
  // checked on the open descriptors. The target is opened only to be
  // checked (a regular file the user may write, not the source) and never
  // written.
  Fd in(::open(from, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (terms.followLinks ? 0 : O_NOFOLLOW)));
  if (in.fd < 0) return terms.followLinks ? openFailure(from, true) : unfollowedFailure(from, terms);
  struct stat source;
  if (::fstat(in.fd, &source) != 0) return failureOfErrno(true);
  if (S_ISDIR(source.st_mode)) return UXFileFailure::isFolder;
  if (!S_ISREG(source.st_mode)) return UXFileFailure::notRegular;
  if (terms.checkSource && !identifies(source, terms.source)) return UXFileFailure::swapped;
  Fd out(::open(to, O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (out.fd < 0 && errno != ENOENT) return failureOfErrno(false);
  if (out.fd < 0) {
    struct stat link;
    if (::lstat(to, &link) == 0) return S_ISLNK(link.st_mode) ? UXFileFailure::brokenLink : UXFileFailure::exists;
  }
  struct stat target;
  const bool replacing = out.fd >= 0;
  if (replacing) {
    if (!terms.replace) return UXFileFailure::exists;
    if (::fstat(out.fd, &target) != 0) return failureOfErrno(false);
    if (!S_ISREG(target.st_mode)) return UXFileFailure::notRegular;
    if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) return UXFileFailure::same;
  }
  ::fcntl(in.fd, F_SETFL, ::fcntl(in.fd, F_GETFL) & ~O_NONBLOCK);
  // A replacing copy takes the old file's permissions (a private file stays
  // private), a moved file all of its own, a new copy its source's less the
  // umask.
  const mode_t bits = source.st_mode & 0777;
  if (terms.move) terms.move->source = source;
  PosixCopy copy(in.fd, replacing || terms.move ? 0600 : bits,
                 replacing    ? int(target.st_mode & 0777)
                 : terms.move ? int(source.st_mode & 07777)
                              : -1,
                 to, terms.move);
  return uxCopyThroughSibling(copy, folderOf(to), replacing);
}

// Whether `now` is still the file a move copied, as it was copied: the same
// entry, not written since.
bool sameAsCopied(const struct stat& now, const struct stat& copied) {
  return now.st_dev == copied.st_dev && now.st_ino == copied.st_ino && now.st_size == copied.st_size &&
         now.st_mtim.tv_sec == copied.st_mtim.tv_sec && now.st_mtim.tv_nsec == copied.st_mtim.tv_nsec;
}

}  // namespace

bool UXHeadlessDriver::fileDelete(const char* path) {
  fileFailure_ = UXFileFailure::none;
  if (!path || !*path) return failed(UXFileFailure::gone);
  if (::unlink(path) == 0) return true;
  struct stat info;
  // Linux answers EISDIR for a folder, POSIX allows EPERM.
  if ((errno == EISDIR || errno == EPERM) && ::lstat(path, &info) == 0 && S_ISDIR(info.st_mode))
    return failed(UXFileFailure::isFolder);
  return failed(failureOfErrno(true));
}

bool UXHeadlessDriver::fileRename(const char* from, const char* to) {
  fileFailure_ = UXFileFailure::none;
  if (!from || !to || !*from || !*to) return failed(UXFileFailure::unknown);
  if (renameNoReplace(from, to)) return true;
  if (errno != EXDEV) return failed(renameFailure(from));
  // Another file system: a regular file is copied there and then deleted
  // here, as a move between volumes on Windows is; a folder or a link is
  // not moved.
  struct stat info;
  if (::lstat(from, &info) != 0) return failed(renameFailure(from));
  if (!S_ISREG(info.st_mode)) return failed(UXFileFailure::otherVolume);
  MovedFile moved;
  if (UXFileFailure why = copyFile(from, to, {.followLinks = false, .move = &moved}); why != UXFileFailure::none)
    return failed(why);
  // Only the file that was copied is deleted, as it was copied: one that
  // took its name or was written meanwhile stays beside the copy. One that
  // went meanwhile leaves the copy as the file.
  if (gUXBeforeMoveDelete) gUXBeforeMoveDelete(from);
  struct stat now;
  if (::lstat(from, &now) != 0) {
    if (errno == ENOENT) return true;
    return failed(failureOfErrno(true));
  }
  if (!sameAsCopied(now, moved.source)) return failed(UXFileFailure::changed);
  if (::unlink(from) == 0 || errno == ENOENT) return true;
  // The source stays: so must nothing else, but only the copy made goes.
  const UXFileFailure why = failureOfErrno(true);
  if (::lstat(to, &now) == 0 && now.st_dev == moved.copy.st_dev && now.st_ino == moved.copy.st_ino) ::unlink(to);
  return failed(why);
}

bool UXHeadlessDriver::fileCopy(const char* from, const char* to) {
  fileFailure_ = UXFileFailure::none;
  const UXFileFailure why = copyFile(from, to, {.replace = true});
  return why == UXFileFailure::none || failed(why);
}

bool UXHeadlessDriver::fileCopyDecided(const char* from, const char* to, bool replace, const UXFileIdentity* source) {
  fileFailure_ = UXFileFailure::none;
  const UXFileFailure why =
      copyFile(from, to, {.replace = replace, .followLinks = false, .checkSource = true, .source = source});
  return why == UXFileFailure::none || failed(why);
}

// The settings file's new text, written as a copy is: a replaced file's
// permissions are kept (a private file stays private), a new file has those
// of any new file (0666, which the system cuts by the umask).
bool headless::replaceSettingsFile(const fs::path& target, const std::string& text) {
  const std::string path = target.string();
  struct stat old;
  const bool replacing = ::stat(path.c_str(), &old) == 0;
  UXSiblingWrite<PosixCopy> copy(text, -1, replacing ? 0600 : 0666, replacing ? int(old.st_mode & 0777) : -1,
                                 path.c_str());
  return uxCopyThroughSibling(copy, folderOf(path.c_str()), true) == UXFileFailure::none;
}

}  // namespace quorl
