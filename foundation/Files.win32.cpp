// Files on Windows: every path goes to the wide calls as UTF-16, so names
// outside the ANSI code page open as well as any other.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "Files.h"
#include "WideText.h"

namespace quorl {

const bool Files::kBackslashSeparates = true;

std::FILE* Files::_openRegular(const char* path, int64_t& size, FileFailure& failure) {
  const std::wstring wpath = WideText::wide(path);
  const DWORD attributes = GetFileAttributesW(wpath.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
    failure = attributes & FILE_ATTRIBUTE_DIRECTORY ? FileFailure::folder : FileFailure::notRegular;
    return nullptr;
  }
  HANDLE handle = CreateFileW(wpath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    failure = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileFailure::missing
                                                                             : FileFailure::cannotOpen;
    return nullptr;
  }
  // Pipes and character devices (CON, NUL, COM1) open as files too: only a
  // file on a disk has an end to read to.
  LARGE_INTEGER length{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &length)) {
    CloseHandle(handle);
    failure = FileFailure::notRegular;
    return nullptr;
  }
  // From here the C runtime owns the handle: fclose closes it.
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    failure = FileFailure::cannotOpen;
    return nullptr;
  }
  std::FILE* file = _fdopen(fd, "rb");
  if (!file) {
    _close(fd);
    failure = FileFailure::cannotOpen;
    return nullptr;
  }
  size = static_cast<int64_t>(length.QuadPart);
  return file;
}

bool Files::_attributesReadable(const char* path) {
  const std::wstring wpath = WideText::wide(path);
  return GetFileAttributesW(wpath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace quorl
