// The Windows calls of a copy through a sibling (UXSiblingCopy), shared by
// the Win32 driver (W32Files.cpp) and the headless driver's Windows build
// (UXHeadlessFiles.win32.cpp): the source opened as the copy's terms say
// (w32OpenSource), the sibling made with CREATE_NEW, written, flushed and
// moved to the target, over it only when replacing.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ux/core/UXSiblingCopy.h"
#include "ux/win32/W32FileQueries.h"
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

// What a copy's source must be: anything a path leads to, or for a decided
// copy (fileCopyDecided) no link and the file identified (null: none was).
struct W32SourceTerms {
  bool decided = false;
  const UXFileIdentity* identity = nullptr;
};

// Opens a copy's source for reading into `file`, on the terms given: for
// a decided copy, a link (a symbolic link, a junction, a host's
// link under Wine, which opens as what it leads to) is told by where it
// leads (nowhere, another file than the one identified) or refused as no
// regular file, and a file another filter keeps in place (in the cloud,
// deduplicated) is read as itself. Answers none, or why not; a system
// error is told by `failureOf`.
inline UXFileFailure w32OpenSource(const std::wstring& path, const W32SourceTerms& terms, W32File& file,
                                   const std::function<UXFileFailure(DWORD)>& failureOf) {
  const auto open = [&path, &file](DWORD flags) {
    file.reset(CreateFileW(path.c_str(), GENERIC_READ, kW32ShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN | flags, nullptr));
    return bool(file);
  };
  if (!open(terms.decided ? FILE_FLAG_OPEN_REPARSE_POINT : 0)) return failureOf(GetLastError());
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (terms.decided && GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag) &&
      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    UXFileIdentity entry;
    const bool known = w32HandleIdentity(file.get(), entry);
    if (!open(0)) {
      const DWORD error = GetLastError();
      const bool nowhere = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
      return nowhere && IsReparseTagNameSurrogate(tag.ReparseTag) ? UXFileFailure::brokenLink : failureOf(error);
    }
    if (IsReparseTagNameSurrogate(tag.ReparseTag))
      return w32IsFile(file.get(), terms.identity) ? UXFileFailure::notRegular : UXFileFailure::swapped;
    if (!known || !w32IsFile(file.get(), &entry)) return UXFileFailure::swapped;
  }
  if (GetFileType(file.get()) != FILE_TYPE_DISK) return UXFileFailure::notRegular;
  if (!terms.decided) return UXFileFailure::none;
  if (!w32IsFile(file.get(), terms.identity)) return UXFileFailure::swapped;
  // A link the system opened as what it leads to (Wine's to a file), told
  // by the name it gives the file opened.
  return w32OpenedElsewhere(file.get(), path) ? UXFileFailure::notRegular : UXFileFailure::none;
}

// A copy on the terms of fileCopy (any source, over a file there) or of
// fileCopyDecided (`replace` as decided, the source as `terms` say), made
// whole in a sibling of the target that then takes its place: none, or why
// not. The Win32 driver's and the headless driver's Windows build's, in
// W32Files.cpp.
UXFileFailure w32CopyOnTerms(const char* from, const char* to, bool replace, const W32SourceTerms& terms);

// Whether a path ends in a name Windows keeps for a device (NUL, aux.json):
// refused before the system turns it into the device's path (a file of
// that name, made elsewhere, would then be a console or the null device
// here). In W32Files.cpp.
bool w32DeviceNamed(const char* path);

class W32SiblingCopy : public UXSiblingCopy {
 public:
  // `source` stays the caller's.
  W32SiblingCopy(HANDLE source, std::wstring target) : source_(source), target_(std::move(target)) {}
  // For a writer that gives its bytes by its own read (UXSiblingWrite).
  explicit W32SiblingCopy(std::wstring target) : W32SiblingCopy(INVALID_HANDLE_VALUE, std::move(target)) {}

  UXFileFailure read(char* buffer, uint32_t capacity, uint32_t& got) override {
    DWORD n = 0;
    if (!ReadFile(source_, buffer, capacity, &n, nullptr)) return failureOf(GetLastError());
    got = n;
    return UXFileFailure::none;
  }

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
  HANDLE source_;
  std::wstring target_;
  W32File file_;  // the sibling while it is written
};

}  // namespace quorl
