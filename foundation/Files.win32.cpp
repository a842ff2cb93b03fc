// Files on Windows: every path goes to the wide calls as UTF-16, so names
// outside the ANSI code page open as well as any other.
#include <windows.h>

#include <cstdio>

#include "Files.h"
#include "Platform.h"

namespace quorl {

namespace {

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace

std::FILE* Files::_openRead(const char* path) {
  const std::u16string wpath = Platform::_utf16(path);
  return ::_wfopen(wide(wpath), L"rb");
}

int64_t Files::_sizeOf(const char* path) {
  const std::u16string wpath = Platform::_utf16(path);
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(wide(wpath), GetFileExInfoStandard, &info)) return -1;
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
}

bool Files::_attributesReadable(const char* path) {
  const std::u16string wpath = Platform::_utf16(path);
  return GetFileAttributesW(wide(wpath)) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace quorl
