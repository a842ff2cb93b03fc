// What the headless driver's file operations share (UXHeadlessFiles.cpp and
// its .posix.cpp and .win32.cpp): paths from UTF-8, the reason behind a
// system error, and the settings file's replacement, made as a copy is.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "ux/core/UXViewDriver.h"

namespace quorl::headless {

namespace fs = std::filesystem;

inline fs::path pathOf(const char* s) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(s), std::strlen(s)));
}

// The reason behind a system error; `source` tells a missing source (gone)
// from a missing target folder.
UXFileFailure failureOf(std::error_code ec, bool source);

// Waits for and holds the lock of the settings file `target` while it
// lives, so that one instance's read, change and replacement of the file is
// one step to every other: an advisory lock on the file itself on POSIX
// (taken again on the file that replaced it, when it was replaced while
// this one waited), a LockFileEx lock on a file beside it on Windows (where
// a file held open cannot be replaced). A missing file is made, empty,
// only when `create`; held() is false when the lock could not be had (no
// regular file there, no file and none to be made).
class SettingsLock {
 public:
  SettingsLock(const fs::path& target, bool create);
  ~SettingsLock();
  SettingsLock(const SettingsLock&) = delete;
  SettingsLock& operator=(const SettingsLock&) = delete;
  bool held() const { return held_; }

 private:
  intptr_t handle_ = -1;  // the descriptor or handle that holds the lock
  bool held_ = false;
};

// Writes `text` to a new sibling of `target` (a name of its own, created
// afresh, never through a link already there) and puts it in `target`'s
// place once whole, through uxCopyThroughSibling: false, with the sibling
// removed, when any step fails. A replaced file's permissions are kept.
bool replaceSettingsFile(const fs::path& target, const std::string& text);

}  // namespace quorl::headless
