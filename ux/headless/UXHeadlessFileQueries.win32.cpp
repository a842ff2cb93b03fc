// Whether a path names an entry, and who a folder is, in the Windows build
// (where the headless driver serves the tests): the attributes of the entry
// itself (a link is found, not followed) and the volume serial and file
// index of what the path reaches. The native build's are in
// UXHeadlessFileQueries.posix.cpp.
#include <windows.h>

#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessFiles.h"

namespace quorl {

using namespace headless;

UXFilePresence UXHeadlessDriver::filePresence(const char* path) {
  if (!path || !*path) return UXFilePresence::unknown;
  const fs::path p = pathOf(path);
  const DWORD attributes = GetFileAttributesW(p.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)
               ? UXFilePresence::folder
               : UXFilePresence::file;
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILENAME_EXCED_RANGE: return UXFilePresence::absent;
    case ERROR_DIRECTORY: return UXFilePresence::notFolder;
    case ERROR_INVALID_NAME:
      // A name longer than a file system allows is no entry's.
      for (const fs::path& part : p)
        if (part.native().size() > 255) return UXFilePresence::absent;
      return UXFilePresence::unknown;
    default: return UXFilePresence::unknown;
  }
}

bool UXHeadlessDriver::fileIdentity(const char* path, UXFileIdentity& identity) {
  if (!path || !*path) return false;
  HANDLE file = CreateFileW(pathOf(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  if (!known) return false;
  identity.volume = info.dwVolumeSerialNumber;
  identity.index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

}  // namespace quorl
