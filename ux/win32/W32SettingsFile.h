// The Windows calls of a settings file change (UXSettingsFileCalls),
// shared by the Win32 driver (W32Settings.cpp) and the headless driver's
// Windows build (UXHeadlessFiles.win32.cpp). A file this build makes is
// UTF-16 with a byte-order mark and CRLF line ends, as the system's
// private-profile calls keep a file in any script; one found in another
// form keeps it (UXSettingsFile.h). The file changed is the one the system
// opens at the path, every symbolic link, junction or host link (Wine's)
// on the way followed, so that a move over it leaves the links in place;
// a link whose target is not there is refused. The lock is a LockFileEx
// lock on a file beside it, named with ".lock" after its name, made when
// missing and never removed (a file that is replaced by a move cannot carry
// its own lock); it takes its folder's permissions, which in the user's
// application-data folder are the user's alone.
#pragma once

#include <windows.h>

#include <string>

#include "foundation/Files.h"
#include "foundation/String.h"
#include "foundation/WideText.h"
#include "ux/core/UXSettingsFile.h"
#include "ux/core/UXSiblingCopy.h"
#include "ux/win32/W32SiblingCopy.h"

namespace quorl {

// The sibling write of a settings file. Windows moves no file over one that
// another program has open, even for a moment (another instance reading
// it, or finding where it is): such a refusal answers busy, which the
// change tries again. A read-only file's refusal stays permission.
class W32SettingsSibling : public W32SiblingCopy {
 public:
  explicit W32SettingsSibling(const std::wstring& target) : W32SiblingCopy(target), target_(target) {}
  UXFileFailure place(const std::string& sibling, bool replace) override {
    const UXFileFailure why = W32SiblingCopy::place(sibling, replace);
    if (why != UXFileFailure::permission) return why;
    const DWORD attributes = GetFileAttributesW(target_.c_str());
    const bool held = attributes != INVALID_FILE_ATTRIBUTES &&
                      !(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    return held ? UXFileFailure::busy : why;
  }

 private:
  std::wstring target_;
};

class W32SettingsCalls final : public UXSettingsFileCalls {
 public:
  // `path` as the wide file calls take it (its long form past MAX_PATH).
  explicit W32SettingsCalls(std::wstring path) : path_(std::move(path)), file_(path_) {}

  // What the system opens at the path names the file. Nothing there: the
  // path itself, unless it is a link (a reparse point) to nothing.
  UXFileFailure resolve() override {
    W32File opened(
        CreateFileW(path_.c_str(), 0, kW32ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (opened) {
      const std::wstring final = w32FinalPathOf(opened.get());
      file_ = final.empty() ? path_ : final;
      return UXFileFailure::none;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return w32FileFailure(error);
    const DWORD attributes = GetFileAttributesW(path_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
      return UXFileFailure::brokenLink;
    file_ = path_;
    return UXFileFailure::none;
  }

  UXSettingsFormat newFileFormat() const override { return kUXSettingsWindowsFormat; }

  UXFileFailure tryLock() override {
    if (!lock_) {
      lock_.reset(CreateFileW((file_ + L".lock").c_str(), GENERIC_READ | GENERIC_WRITE, kW32ShareAll, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!lock_) return w32FileFailure(GetLastError());
    }
    OVERLAPPED from{};
    if (LockFileEx(lock_.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &from))
      return UXFileFailure::none;
    const DWORD error = GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? UXFileFailure::busy : w32FileFailure(error);
  }

  UXFileFailure read(std::string& bytes) override {
    FileFailure why = FileFailure::none;
    const std::string utf8 = WideText::utf8(file_.c_str());
    const Ref<String> got =
        Files::readText(String::withBytes(utf8.data(), uint32_t(utf8.size())), kUXSettingsFileCap, &why);
    if (!got) {
      switch (why) {
        case FileFailure::missing: return UXFileFailure::gone;
        case FileFailure::cannotOpen: return UXFileFailure::permission;
        case FileFailure::folder: return UXFileFailure::isFolder;
        case FileFailure::notRegular: return UXFileFailure::notRegular;
        case FileFailure::tooLarge: return UXFileFailure::tooLarge;
        default: return UXFileFailure::unknown;
      }
    }
    bytes = got->view();
    return UXFileFailure::none;
  }

  UXFileFailure replace(const std::string& bytes) override {
    UXSiblingWrite<W32SettingsSibling> copy(bytes, file_);
    return uxCopyThroughSibling(copy, uxSiblingFolder(WideText::utf8(file_.c_str()), true), true);
  }

 private:
  std::wstring path_;
  std::wstring file_;  // the file behind the links at path_, once resolved
  W32File lock_;       // held locked from the first tryLock that answers none
};

}  // namespace quorl
