// The settings file replaced in the Windows build: the sibling is made with
// CREATE_NEW, which opens nothing that is already there under its name.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "ux/headless/UXHeadlessSettingsFile.h"

namespace quorl::headless {

namespace {

std::atomic<uint32_t> gSiblings{0};

// Writes all of `text`; false on the first failure.
bool writeAll(HANDLE file, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const DWORD chunk = DWORD(std::min<size_t>(text.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, text.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

}  // namespace

bool replaceSettingsFile(const std::filesystem::path& target, const std::string& text) {
  for (uint32_t attempt = 0; attempt < 16; ++attempt) {
    std::filesystem::path sibling = target;
    sibling += ".new-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(gSiblings++);
    HANDLE file = CreateFileW(sibling.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return false;
    }
    bool ok = writeAll(file, text);
    ok = FlushFileBuffers(file) && ok;
    ok = CloseHandle(file) && ok;
    if (ok && MoveFileExW(sibling.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DeleteFileW(sibling.c_str());
    return false;
  }
  return false;
}

}  // namespace quorl::headless
