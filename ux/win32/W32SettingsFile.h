// The Windows calls of a settings file change (UXSettingsFileCalls),
// shared by the Win32 driver (W32Settings.cpp) and the headless driver's
// Windows build (UXHeadlessFiles.win32.cpp). The file is UTF-16 with a
// byte-order mark and CRLF line ends, as the system's private-profile calls
// keep a file in any script; a file without the mark is read as UTF-8. The
// lock is a LockFileEx lock on a file beside it, named with ".lock" after
// its name, made when missing and never removed (a file that is replaced by
// a move cannot carry its own lock); it takes its folder's permissions,
// which in the user's application-data folder are the user's alone.
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

class W32SettingsCalls final : public UXSettingsFileCalls {
 public:
  // `path` as the wide file calls take it (its long form past MAX_PATH).
  explicit W32SettingsCalls(std::wstring path) : path_(std::move(path)), utf8_(WideText::utf8(path_.c_str())) {}

  UXFileFailure tryLock() override {
    if (!lock_) {
      lock_.reset(CreateFileW((path_ + L".lock").c_str(), GENERIC_READ | GENERIC_WRITE, kW32ShareAll, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!lock_) return w32FileFailure(GetLastError());
    }
    OVERLAPPED from{};
    if (LockFileEx(lock_.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &from))
      return UXFileFailure::none;
    const DWORD error = GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? UXFileFailure::busy : w32FileFailure(error);
  }

  UXFileFailure read(std::string& text) override {
    FileFailure why = FileFailure::none;
    const Ref<String> got = Files::readText(String::withBytes(utf8_.data(), uint32_t(utf8_.size())), 1u << 20, &why);
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
    const std::string_view bytes = got->view();
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE)
      return WideText::utf8FromBytes(bytes.data() + 2, bytes.size() - 2, false, text) ? UXFileFailure::none
                                                                                        : UXFileFailure::unknown;
    text = bytes.substr(bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0);
    return UXFileFailure::none;
  }

  UXFileFailure replace(const std::string& text) override {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : WideText::utf16(text.data(), text.size())) {
      if (unit == u'\n') bytes.append("\r\0", 2);
      bytes.push_back(char(unit & 0xFF));
      bytes.push_back(char(unit >> 8));
    }
    UXSiblingWrite<W32SiblingCopy> copy(bytes, path_);
    return uxCopyThroughSibling(copy, uxSiblingFolder(utf8_, true), true);
  }

 private:
  std::wstring path_;
  std::string utf8_;
  W32File lock_;  // held locked from the first tryLock that answers none
};

}  // namespace quorl
