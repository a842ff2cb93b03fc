// File delete, rename and copy on POSIX, through the calls that act on the
// entry that was checked: unlink never removes a folder, renameat2 never
// replaces, and a copy checks the files it opened (the panel's copy: the
// very file it identified) and puts its copy in the target's place only
// once whole (uxCopyThroughSibling), over a file there only when allowed.
// The Windows build's are in UXHeadlessFiles.win32.cpp.
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "foundation/Files.h"
#include "foundation/String.h"
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

// Whose permissions a copy ends with, each rule once.
enum class Keeps : uint8_t {
  // A new file's: its model's bits, which the system cuts by the umask (or
  // a default ACL) as for any new file, so that it is never wider than it
  // ends.
  newFile,
  // A replaced file's: its bits and its group, so that a private file stays
  // private and a shared one is shared with the same group. Where that
  // group cannot be given, the copy keeps no group bits rather than give
  // them to the user's own group. Never set-id bits: the content is new.
  oldFile,
  // A moved file's: all its bits, its owner and group where the user may
  // give them (no group bits where the group cannot be given, as above),
  // and its times, as a move on one file system keeps them.
  movedFile,
};

// The POSIX calls of a copy from an open, checked source (the settings
// file's bytes are its source in replaceSettingsFile), whose sibling ends
// with the permissions `keeps` takes from `model`. Only a new file is made
// with its final bits; the others stay private until they take theirs.
class PosixCopy : public UXSiblingCopy {
 public:
  PosixCopy(int source, Keeps keeps, const struct stat& model, const char* target)
      : source_(source), keeps_(keeps), model_(model), target_(target) {}
  ~PosixCopy() override { closeSibling(); }

  UXFileFailure create(const std::string& sibling) override {
    const mode_t mode = keeps_ == Keeps::newFile ? model_.st_mode & 0777 : 0600;
    sibling_ = ::open(sibling.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, mode);
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
    if (keeps_ != Keeps::newFile) takeModelsPermissions();
    if (keeps_ == Keeps::movedFile) {
      const struct timespec times[2] = {model_.st_atim, model_.st_mtim};
      ::futimens(sibling_, times);
    }
    // Written through before it takes the name, so that not even a crash
    // leaves a cut file there.
    if (::fsync(sibling_) != 0 || ::fstat(sibling_, &made_) != 0) return failureOfErrno(false);
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
  // The copy as it was made, once finished.
  const struct stat& made() const { return made_; }

 private:
  // The owner (a moved file's; only root may give it away) and the group (a
  // member may), before the bits, which a change of owner would clear of
  // set-id bits. A file system that keeps no permissions refuses them; the
  // copy then stays as private as it was made.
  void takeModelsPermissions() {
    const bool moved = keeps_ == Keeps::movedFile;
    const bool owner = moved && ::fchown(sibling_, model_.st_uid, model_.st_gid) == 0;
    const bool group = owner || ::fchown(sibling_, uid_t(-1), model_.st_gid) == 0;
    const mode_t kept = (moved ? 07777 : 0777) & (group ? 07777 : ~mode_t(S_IRWXG | S_ISGID));
    ::fchmod(sibling_, model_.st_mode & kept);
  }
  void closeSibling() {
    if (sibling_ >= 0) ::close(std::exchange(sibling_, -1));
  }
  int source_;
  int sibling_ = -1;  // owned while open
  Keeps keeps_;
  struct stat model_;
  struct stat made_ {};
  const char* target_;
};

// What a copy may do, and what its source must be.
struct CopyTerms {
  bool replace = false;      // over a regular file at the target
  bool followLinks = true;   // the source may be a link to the file copied
  bool move = false;         // the copy keeps what a moved file keeps
  bool checkSource = false;  // the source must be *source (null: no file was identified)
  const UXFileIdentity* source = nullptr;
};

// What a copy did: none or why it failed, with the source as it was opened
// and the copy as it was made.
struct CopyOutcome {
  UXFileFailure why = UXFileFailure::none;
  struct stat source {};
  struct stat copy {};
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
CopyOutcome copyFile(const char* from, const char* to, const CopyTerms& terms) {
  CopyOutcome outcome;
  const auto fails = [&outcome](UXFileFailure why) {
    outcome.why = why;
    return outcome;
  };
  if (!from || !to || !*from || !*to) return fails(UXFileFailure::unknown);
  // Both ends are opened without waiting (a pipe answers at once) and
  // checked on the open descriptors. The target is opened only to be
  // checked (a regular file the user may write, not the source) and never
  // written.
  Fd in(::open(from, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (terms.followLinks ? 0 : O_NOFOLLOW)));
  if (in.fd < 0) return fails(terms.followLinks ? openFailure(from, true) : unfollowedFailure(from, terms));
  struct stat& source = outcome.source;
  if (::fstat(in.fd, &source) != 0) return fails(failureOfErrno(true));
  if (S_ISDIR(source.st_mode)) return fails(UXFileFailure::isFolder);
  if (!S_ISREG(source.st_mode)) return fails(UXFileFailure::notRegular);
  if (terms.checkSource && !identifies(source, terms.source)) return fails(UXFileFailure::swapped);
  Fd out(::open(to, O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (out.fd < 0 && errno != ENOENT) return fails(failureOfErrno(false));
  if (out.fd < 0) {
    struct stat link;
    if (::lstat(to, &link) == 0) return fails(S_ISLNK(link.st_mode) ? UXFileFailure::brokenLink : UXFileFailure::exists);
  }
  struct stat target;
  const bool replacing = out.fd >= 0;
  if (replacing) {
    if (!terms.replace) return fails(UXFileFailure::exists);
    if (::fstat(out.fd, &target) != 0) return fails(failureOfErrno(false));
    if (!S_ISREG(target.st_mode)) return fails(UXFileFailure::notRegular);
    if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) return fails(UXFileFailure::same);
  }
  ::fcntl(in.fd, F_SETFL, ::fcntl(in.fd, F_GETFL) & ~O_NONBLOCK);
  const Keeps keeps = terms.move ? Keeps::movedFile : replacing ? Keeps::oldFile : Keeps::newFile;
  PosixCopy copy(in.fd, keeps, keeps == Keeps::oldFile ? target : source, to);
  outcome.why = uxCopyThroughSibling(copy, uxSiblingFolder(to, false), replacing);
  outcome.copy = copy.made();
  return outcome;
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
  const CopyOutcome moved = copyFile(from, to, {.followLinks = false, .move = true});
  if (moved.why != UXFileFailure::none) return failed(moved.why);
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
  const UXFileFailure why = copyFile(from, to, {.replace = true}).why;
  return why == UXFileFailure::none || failed(why);
}

bool UXHeadlessDriver::fileCopyDecided(const char* from, const char* to, bool replace, const UXFileIdentity* source) {
  fileFailure_ = UXFileFailure::none;
  const UXFileFailure why =
      copyFile(from, to, {.replace = replace, .followLinks = false, .checkSource = true, .source = source}).why;
  return why == UXFileFailure::none || failed(why);
}

namespace {

// The file a settings path stands for: the last target of the links at it
// (a relative target taken from its link's folder), which is replaced so
// that the links stay (one into the user's own folder of settings, say),
// and beside which the lock is taken, so that every path to the file shares
// one lock. Empty when the links go round.
fs::path fileBehind(fs::path path) {
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (fs::symlink_status(path, ec).type() != fs::file_type::symlink) return path;
    const fs::path target = fs::read_symlink(path, ec);
    if (ec) return {};
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return {};
}

class PosixSettingsCalls final : public UXSettingsFileCalls {
 public:
  explicit PosixSettingsCalls(std::string path) : path_(std::move(path)), file_(path_) {}
  ~PosixSettingsCalls() override {
    if (lock_ >= 0) ::close(lock_);
  }

  UXFileFailure resolve() override {
    const fs::path path = pathOf(path_.c_str()), behind = fileBehind(path);
    if (behind.empty()) return UXFileFailure::linkLoop;
    std::error_code ec;
    if (behind != path && fs::symlink_status(behind, ec).type() == fs::file_type::not_found)
      return UXFileFailure::brokenLink;
    file_ = behind.string();
    return UXFileFailure::none;
  }

  UXSettingsFormat newFileFormat() const override { return kUXSettingsPlainFormat; }

  // The lock file is made private, and one another user made is refused:
  // whoever may open it could hold every change up. The settings' own
  // folder is made when missing; a link's target's folder is never made.
  UXFileFailure tryLock() override {
    if (lock_ < 0) {
      std::error_code ec;
      if (const fs::path file = pathOf(path_.c_str()); file.has_parent_path())
        fs::create_directories(file.parent_path(), ec);
      const std::string name = file_ + ".lock";
      lock_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
      if (lock_ < 0) return failureOfErrno(false);
      struct stat info;
      if (::fstat(lock_, &info) != 0) return failureOfErrno(false);
      if (!S_ISREG(info.st_mode)) return UXFileFailure::notRegular;
      if (info.st_uid != ::geteuid() || ((info.st_mode & 077) != 0 && ::fchmod(lock_, 0600) != 0))
        return UXFileFailure::permission;
    }
    if (::flock(lock_, LOCK_EX | LOCK_NB) == 0) return UXFileFailure::none;
    return errno == EWOULDBLOCK || errno == EINTR ? UXFileFailure::busy : failureOfErrno(false);
  }

  // Read as every file is: a pipe or a device in its place is no settings
  // file. Only a path where nothing stands is gone: a link that leads
  // nowhere is a file that could not be read, and writing would make one
  // where it points. A file another instance made between the failed open
  // and the look at the path is read again.
  UXFileFailure read(std::string& bytes) override {
    FileFailure why = FileFailure::none;
    for (int attempt = 0; attempt < 2; ++attempt) {
      const Ref<String> got =
          Files::readText(String::withBytes(file_.data(), uint32_t(file_.size())), kUXSettingsFileCap, &why);
      if (got) {
        bytes = got->view();
        return UXFileFailure::none;
      }
      std::error_code ec;
      if (fs::symlink_status(pathOf(file_.c_str()), ec).type() == fs::file_type::not_found) return UXFileFailure::gone;
    }
    switch (why) {
      case FileFailure::missing: return UXFileFailure::brokenLink;
      case FileFailure::cannotOpen:
        return fileBehind(pathOf(file_.c_str())).empty() ? UXFileFailure::linkLoop : UXFileFailure::permission;
      case FileFailure::folder: return UXFileFailure::isFolder;
      case FileFailure::notRegular: return UXFileFailure::notRegular;
      case FileFailure::tooLarge: return UXFileFailure::tooLarge;
      default: return UXFileFailure::unknown;
    }
  }

  // Written as a copy is: a replaced file's permissions and group are kept
  // (a private file stays private), a new file has those of any new file
  // (0666, which the system cuts by the umask).
  UXFileFailure replace(const std::string& bytes) override {
    struct stat model {};
    const bool replacing = ::stat(file_.c_str(), &model) == 0;
    if (!replacing) model.st_mode = S_IFREG | 0666;
    UXSiblingWrite<PosixCopy> copy(bytes, -1, replacing ? Keeps::oldFile : Keeps::newFile, model, file_.c_str());
    return uxCopyThroughSibling(copy, uxSiblingFolder(file_, false), true);
  }

 private:
  std::string path_;
  std::string file_;  // the file behind the links at path_, once resolved
  int lock_ = -1;     // the lock file, held locked from the first tryLock that answers none
};

}  // namespace

std::unique_ptr<UXSettingsFileCalls> headless::settingsFileCalls(const std::string& path) {
  return std::make_unique<PosixSettingsCalls>(path);
}

}  // namespace quorl
