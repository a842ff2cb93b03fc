// Directory listings and file delete, rename and copy for the toolkit's own
// file panel. Paths cross as UTF-16 (FindFirstFileW, DeleteFileW, MoveFileW,
// CopyFileW; the original design's A calls garbled non-ASCII names) and
// names come back as UTF-8.
#include <windows.h>

#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32ServicePure.h"
#include "ux/win32/W32Text.h"

namespace quorl {

int32_t UXWin32Driver::listDir(const char* folder, char* buffer, uint32_t capacity) {
  W32ListWriter out(buffer, capacity);
  if (!folder) return -1;
  // At most 590 bytes of the folder, cut on a character boundary.
  size_t n = strnlen(folder, 591);
  if (n > 590) {
    n = 590;
    while (n > 0 && (uint8_t(folder[n]) & 0xC0) == 0x80) --n;
  }
  std::wstring pattern = w32Wide(folder, n);
  if (pattern.empty() || (pattern.back() != L'\\' && pattern.back() != L'/')) pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW entry{};
  HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return -1;
  do {
    if (!wcscmp(entry.cFileName, L".") || !wcscmp(entry.cFileName, L"..")) continue;
    bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out.add(directory, entry.nFileSizeLow, w32Utf8(entry.cFileName));
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return out.count();
}

bool UXWin32Driver::fileDelete(const char* path) { return path && DeleteFileW(w32Wide(path).c_str()); }

bool UXWin32Driver::fileRename(const char* from, const char* to) {
  return from && to && MoveFileW(w32Wide(from).c_str(), w32Wide(to).c_str());
}

bool UXWin32Driver::fileCopy(const char* from, const char* to) {
  return from && to && CopyFileW(w32Wide(from).c_str(), w32Wide(to).c_str(), FALSE);
}

}  // namespace quorl
