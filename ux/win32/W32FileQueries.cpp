// Whether a path names an entry, and who a folder is, for the toolkit's own
// file panel. The system is asked in the form the file operations use (the
// full path made by GetFullPathNameW, then its long form), so that a name
// the system folds (case, trailing dots and spaces) is found as the
// operation would find it.
#include <windows.h>

#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32ServicePure.h"
#include "ux/win32/W32Text.h"

namespace quorl {

UXFilePresence UXWin32Driver::filePresence(const char* path) {
  if (!path || !*path) return UXFilePresence::unknown;
  const std::wstring target = w32LongPath(path);
  // The attributes of a link are its own: a link is found, not followed.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)
               ? UXFilePresence::folder
               : UXFilePresence::file;
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILENAME_EXCED_RANGE: return UXFilePresence::absent;
    case ERROR_INVALID_NAME: return w32HasOverlongName(w32U16(target)) ? UXFilePresence::absent : UXFilePresence::unknown;
    case ERROR_DIRECTORY: return UXFilePresence::notFolder;
    default: return UXFilePresence::unknown;
  }
}

bool UXWin32Driver::fileIdentity(const char* path, UXFileIdentity& identity) {
  if (!path || !*path) return false;
  // No access asked, every sharing allowed: only the identity is read.
  W32File file(CreateFileW(w32LongPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

}  // namespace quorl
