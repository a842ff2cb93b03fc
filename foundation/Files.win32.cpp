// Files on Windows: every path goes to the wide calls as UTF-16, so names
// outside the ANSI code page open as well as any other.
#include <windows.h>

#include <cstdio>

#include "Files.h"
#include "WideText.h"

namespace quorl {

std::FILE* Files::_openRead(const char* path) {
  const std::wstring wpath = WideText::wide(path);
  return ::_wfopen(wpath.c_str(), L"rb");
}

int64_t Files::_sizeOf(const char* path) {
  const std::wstring wpath = WideText::wide(path);
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(wpath.c_str(), GetFileExInfoStandard, &info)) return -1;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
}

bool Files::_attributesReadable(const char* path) {
  const std::wstring wpath = WideText::wide(path);
  return GetFileAttributesW(wpath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace quorl
