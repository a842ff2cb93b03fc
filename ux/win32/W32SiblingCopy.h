// The Windows calls of a copy through a sibling (UXSiblingCopy), shared by
// the Win32 driver (W32Files.cpp) and the headless driver's Windows build
// (UXHeadlessFiles.win32.cpp): the sibling is made with CREATE_NEW, written,
// flushed and moved to the target, over it only when replacing. Each driver
// gives the reads of its source.
#pragma once

#include <windows.h>

#include <string>

#include "ux/core/UXSiblingCopy.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Text.h"

namespace quorl {

// The reason behind a system error of a file call, for the errors whose
// reason does not depend on which path was missing.
inline UXFileFailure w32FileFailure(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return UXFileFailure::exists;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW: return UXFileFailure::tooLong;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION: return UXFileFailure::permission;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return UXFileFailure::noSpace;
    case ERROR_FILE_TOO_LARGE: return UXFileFailure::tooLarge;
    case ERROR_CANT_RESOLVE_FILENAME: return UXFileFailure::linkLoop;
    case ERROR_NOT_SAME_DEVICE: return UXFileFailure::otherVolume;
    default: return UXFileFailure::unknown;
  }
}

class W32SiblingCopy : public UXSiblingCopy {
 public:
  explicit W32SiblingCopy(std::wstring target) : target_(std::move(target)) {}

  UXFileFailure create(const std::string& sibling) override {
    file_.reset(CreateFileW(w32Wide(sibling).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr));
    return file_ ? UXFileFailure::none : failureOf(GetLastError());
  }
  UXFileFailure write(const char* bytes, uint32_t count) override {
    for (uint32_t done = 0; done < count;) {
      DWORD put = 0;
      if (!WriteFile(file_.get(), bytes + done, count - done, &put, nullptr)) return failureOf(GetLastError());
      if (put == 0) return UXFileFailure::unknown;
      done += put;
    }
    return UXFileFailure::none;
  }
  UXFileFailure finish() override {
    if (!FlushFileBuffers(file_.get())) return failureOf(GetLastError());
    file_.reset();
    return UXFileFailure::none;
  }
  UXFileFailure place(const std::string& sibling, bool replace) override {
    const DWORD flags = (replace ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH;
    if (MoveFileExW(w32Wide(sibling).c_str(), target_.c_str(), flags)) return UXFileFailure::none;
    return failureOf(GetLastError());
  }
  void remove(const std::string& sibling) override {
    file_.reset();
    DeleteFileW(w32Wide(sibling).c_str());
  }

 protected:
  // The reason behind an error of a call on the sibling or the target.
  virtual UXFileFailure failureOf(DWORD error) const { return w32FileFailure(error); }
  // The sibling while it is open (from create to finish).
  HANDLE sibling() const { return file_.get(); }

 private:
  std::wstring target_;
  W32File file_;  // the sibling while it is written
};

}  // namespace quorl
