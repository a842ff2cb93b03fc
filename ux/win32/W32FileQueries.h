// Whether a path names an entry, and who a folder is, asked of the system:
// shared by the Win32 driver (W32FileQueries.cpp) and the headless driver's
// Windows build (UXHeadlessFileQueries.win32.cpp), each handing over the
// path in the form its file operations use, so that a name the system folds
// (case, trailing dots and spaces) is found as the operation would find it.
#pragma once

#include <windows.h>

#include <string>

#include "ux/core/UXViewDriver.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32ServicePure.h"
#include "ux/win32/W32Text.h"

namespace quorl {

// Every sharing allowed: an open that only reads or tells apart bars no one.
constexpr DWORD kW32ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The attributes of a link are its own: a link is found, not followed (a
// link to a folder is an entry, not a folder to walk into).
inline UXFilePresence w32PresenceOf(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)
             ? UXFilePresence::folder
             : UXFilePresence::file;
}

inline UXFilePresence w32FilePresence(const std::wstring& path) {
  if (w32IsDeviceName(w32U16(path))) return UXFilePresence::deviceName;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return w32PresenceOf(attributes);
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILENAME_EXCED_RANGE: return UXFilePresence::absent;
    // A name longer than a file system allows is no entry's.
    case ERROR_INVALID_NAME: return w32HasOverlongName(w32U16(path)) ? UXFilePresence::absent : UXFilePresence::unknown;
    case ERROR_DIRECTORY: return UXFilePresence::notFolder;
    default: {
      // An entry whose attributes cannot be read (a named pipe under Wine)
      // is still found in its folder; a last name with wildcards could find
      // another's.
      if (path.find_first_of(L"*?", path.find_last_of(L"\\/") + 1) != std::wstring::npos)
        return UXFilePresence::unknown;
      WIN32_FIND_DATAW entry{};
      return W32FindHandle(FindFirstFileW(path.c_str(), &entry)) ? w32PresenceOf(entry.dwFileAttributes)
                                                                 : UXFilePresence::unknown;
    }
  }
}

// The volume serial and file index of an open file or folder.
inline bool w32HandleIdentity(HANDLE file, UXFileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

// Whether an open file is the one identified (false for none).
inline bool w32IsFile(HANDLE file, const UXFileIdentity* identity) {
  UXFileIdentity found;
  return identity && w32HandleIdentity(file, found) && found == *identity;
}

// The name the system gives an open file, every link on the way to it
// followed ("\\?\C:\...", which the wide calls take at any length), or
// empty when it gives none.
inline std::wstring w32FinalPathOf(HANDLE file) {
  std::wstring opened(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(file, opened.data(), DWORD(opened.size()), FILE_NAME_NORMALIZED);
  if (n >= opened.size()) {
    opened.resize(n);
    n = GetFinalPathNameByHandleW(file, opened.data(), DWORD(opened.size()), FILE_NAME_NORMALIZED);
  }
  if (n == 0 || n >= opened.size()) return {};
  opened.resize(n);
  return opened;
}

// Whether an open file is another entry than the one `path` names, told by
// the name the system gives the open file: a link the system opens as what
// it leads to, with no reparse point to tell it by (Wine does so with the
// host's links to files, and reports the target's name). Only a name that
// is neither the entry's long nor its short name counts, in any case; a
// name that cannot be read is taken for the entry's.
inline bool w32OpenedElsewhere(HANDLE file, const std::wstring& path) {
  const std::wstring opened = w32FinalPathOf(file);
  WIN32_FIND_DATAW entry{};
  if (opened.empty() || !W32FindHandle(FindFirstFileW(path.c_str(), &entry))) return false;
  const wchar_t* leaf = opened.c_str() + opened.find_last_of(L'\\') + 1;
  const auto is = [leaf](const wchar_t* name) {
    return *name && CompareStringOrdinal(leaf, -1, name, -1, TRUE) == CSTR_EQUAL;
  };
  return !is(entry.cFileName) && !is(entry.cAlternateFileName);
}

// The identity of what the path reaches, links followed. No access is
// asked and every sharing allowed: only the identity is read.
inline bool w32FileIdentity(const std::wstring& path, UXFileIdentity& identity) {
  W32File file(
      CreateFileW(path.c_str(), 0, kW32ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file && w32HandleIdentity(file.get(), identity);
}

}  // namespace quorl
