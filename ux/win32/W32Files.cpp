// Directory listings and file delete, rename and copy for the toolkit's own
// file panel. Paths cross as UTF-16 in their long form ("\\?\C:\..." or
// "\\?\UNC\server\share\..."), so that a folder or file deeper than MAX_PATH
// is reached whole, never through a cut path that names another one; names
// come back as UTF-8.
#include <windows.h>

#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32ServicePure.h"
#include "ux/win32/W32Text.h"

namespace quorl {

namespace {

// The last failure of a file operation (the UI thread's only).
UXFileFailure gW32FileFailure = UXFileFailure::none;
// Whether the last listing wrote every entry of its folder.
bool gW32ListingWhole = false;

std::u16string u16(const std::wstring& w) { return std::u16string(w.begin(), w.end()); }

// The whole path in its long form. GetFullPathNameW makes it absolute and
// resolves "." and ".." as the plain calls would (the long form does not).
std::wstring longPath(const char* path) {
  std::wstring wide = w32Wide(path);
  const DWORD need = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (need == 0) return wide;
  std::wstring full(need, L'\0');
  const DWORD n = GetFullPathNameW(wide.c_str(), need, full.data(), nullptr);
  if (n == 0 || n >= need) return wide;
  full.resize(n);
  const std::u16string form = w32LongPathForm(u16(full));
  return std::wstring(form.begin(), form.end());
}

DWORD attributesOf(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }
bool isFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Why a copy refuses a path that is there but is no file: a folder, or a
// device. A missing path is for the copy itself to report.
UXFileFailure notAFile(const std::wstring& path) {
  const DWORD attributes = attributesOf(path);
  if (isFolder(attributes)) return UXFileFailure::isFolder;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DEVICE)) return UXFileFailure::notRegular;
  return UXFileFailure::none;
}

// The reason behind the last error of a call on `from` (the source) and
// `to` (the target, or empty).
UXFileFailure failureOf(DWORD error, const std::wstring& from, const std::wstring& to) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return UXFileFailure::exists;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW: return UXFileFailure::tooLong;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION: return UXFileFailure::permission;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return attributesOf(from) == INVALID_FILE_ATTRIBUTES ? UXFileFailure::gone : UXFileFailure::noFolder;
    case ERROR_INVALID_NAME:
      return w32HasOverlongName(u16(to)) || w32HasOverlongName(u16(from)) ? UXFileFailure::tooLong
                                                                           : UXFileFailure::unknown;
    default: return UXFileFailure::unknown;
  }
}

// Removes a copy's sibling, which carries the source's attributes and so
// may be read-only.
void removeSibling(const std::wstring& sibling) {
  SetFileAttributesW(sibling.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(sibling.c_str());
}

bool failed(UXFileFailure why) {
  gW32FileFailure = why;
  return false;
}

}  // namespace

UXFileFailure UXWin32Driver::fileFailure() const { return gW32FileFailure; }
bool UXWin32Driver::listDirWhole() const { return gW32ListingWhole; }

int32_t UXWin32Driver::listDir(const char* folder, char* buffer, uint32_t capacity) {
  W32ListWriter out(buffer, capacity);
  gW32ListingWhole = false;
  if (!folder) return -1;
  std::wstring pattern = longPath(folder);
  if (pattern.empty() || (pattern.back() != L'\\' && pattern.back() != L'/')) pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW entry{};
  W32FindHandle find(FindFirstFileW(pattern.c_str(), &entry));
  if (!find) return -1;
  do {
    if (!wcscmp(entry.cFileName, L".") || !wcscmp(entry.cFileName, L"..")) continue;
    bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out.add(directory, entry.nFileSizeLow, w32Utf8(entry.cFileName));
  } while (FindNextFileW(find.get(), &entry));
  // A search that ended on an error, or an entry the buffer had no room
  // for, leaves names out.
  gW32ListingWhole = GetLastError() == ERROR_NO_MORE_FILES && out.whole();
  return out.count();
}

bool UXWin32Driver::fileDelete(const char* path) {
  gW32FileFailure = UXFileFailure::none;
  if (!path) return failed(UXFileFailure::gone);
  const std::wstring target = longPath(path);
  if (DeleteFileW(target.c_str())) return true;
  const DWORD error = GetLastError();
  // DeleteFileW refuses a folder as access denied: say what it is.
  if (isFolder(attributesOf(target))) return failed(UXFileFailure::isFolder);
  return failed(failureOf(error, target, L""));
}

bool UXWin32Driver::fileRename(const char* from, const char* to) {
  gW32FileFailure = UXFileFailure::none;
  if (!from || !to) return failed(UXFileFailure::unknown);
  const std::wstring source = longPath(from), target = longPath(to);
  if (MoveFileW(source.c_str(), target.c_str())) return true;
  return failed(failureOf(GetLastError(), source, target));
}

// The copy is made whole in a new sibling of the target and then moved over
// it in one step: a copy that fails midway (a full disk, a source gone)
// leaves the old file as it was, and no sibling behind.
bool UXWin32Driver::fileCopy(const char* from, const char* to) {
  gW32FileFailure = UXFileFailure::none;
  if (!from || !to) return failed(UXFileFailure::unknown);
  const std::wstring source = longPath(from), target = longPath(to);
  for (const std::wstring* path : {&source, &target})
    if (UXFileFailure why = notAFile(*path); why != UXFileFailure::none) return failed(why);
  // A read-only file stays as it is, as under a copy straight onto it (the
  // move that puts the copy in its place would not refuse everywhere).
  if (const DWORD old = attributesOf(target); old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY))
    return failed(UXFileFailure::permission);
  const std::wstring folder = target.substr(0, target.find_last_of(L'\\') + 1);
  for (uint32_t attempt = 0; attempt < 16; ++attempt) {
    const std::wstring sibling = folder + w32Wide(uxCopySiblingName(attempt).c_str());
    if (!CopyFileW(source.c_str(), sibling.c_str(), TRUE)) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;  // another copy's: the next name
      removeSibling(sibling);
      return failed(failureOf(error, source, target));
    }
    if (MoveFileExW(sibling.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    removeSibling(sibling);
    return failed(failureOf(error, source, target));
  }
  return failed(UXFileFailure::unknown);
}

}  // namespace quorl
