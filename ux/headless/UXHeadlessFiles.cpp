// Directory listings and the reasons file operations fail, for the
// toolkit's own file panel, through std::filesystem so that the same code
// serves both builds (paths are UTF-8 on both). Delete, rename and copy act
// on the entry they checked, which takes each system's own calls: they are
// in UXHeadlessFiles.posix.cpp and UXHeadlessFiles.win32.cpp (W32Files.cpp
// on Win32).
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessFiles.h"
#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {
namespace headless {

UXFileFailure failureOf(std::error_code ec, bool source) {
  if (ec == std::errc::file_exists || ec == std::errc::directory_not_empty) return UXFileFailure::exists;
  if (ec == std::errc::filename_too_long) return UXFileFailure::tooLong;
  if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
      ec == std::errc::read_only_file_system)
    return UXFileFailure::permission;
  if (ec == std::errc::no_such_file_or_directory) return source ? UXFileFailure::gone : UXFileFailure::noFolder;
  if (ec == std::errc::not_a_directory) return UXFileFailure::noFolder;
  if (ec == std::errc::is_a_directory) return UXFileFailure::isFolder;
  if (ec == std::errc::no_such_device_or_address) return UXFileFailure::notRegular;  // a pipe without a reader
  if (ec == std::errc::no_space_on_device) return UXFileFailure::noSpace;
  if (ec == std::errc::file_too_large) return UXFileFailure::tooLarge;
  if (ec == std::errc::too_many_symbolic_link_levels) return UXFileFailure::linkLoop;
  if (ec == std::errc::cross_device_link) return UXFileFailure::otherVolume;
  return UXFileFailure::unknown;
}

}  // namespace headless

using namespace headless;

UXFileFailure UXHeadlessDriver::fileFailure() const { return fileFailure_; }

int32_t UXHeadlessDriver::listDir(const char* folder, char* buffer, uint32_t capacity) {
  if (buffer && capacity > 0) buffer[0] = 0;
  listingWhole_ = false;
  if (!folder) return -1;
  std::error_code ec;
  fs::directory_iterator it(pathOf(folder), ec);
  if (ec) return -1;
  if (!buffer || capacity == 0) return 0;
  size_t used = 0;
  int32_t count = 0;
  bool whole = true;  // false once an entry is left out
  // Entries are written while fewer than capacity - 300 bytes are used, and
  // only when the whole line and the closing NUL fit: a long name never
  // runs past the buffer.
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (capacity <= 300 || used >= capacity - 300) {
      whole = false;
      break;
    }
    std::u8string name = it->path().filename().u8string();
    if (name.find(u8'\n') != std::u8string::npos) {
      whole = false;
      continue;
    }
    std::error_code e2;
    bool dir = it->is_directory(e2);
    uint64_t size = 0;
    if (!dir) {
      size = it->file_size(e2);
      if (e2) size = 0;
    }
    std::string line = dir ? "d\t" : "f\t";
    appendInt(line, int64_t(size & 0xFFFFFFFFu));
    line += '\t';
    line.append(reinterpret_cast<const char*>(name.data()), name.size());
    line += '\n';
    if (used + line.size() + 1 > capacity) {
      whole = false;
      break;
    }
    std::memcpy(buffer + used, line.data(), line.size());
    used += line.size();
    ++count;
  }
  buffer[used] = 0;
  listingWhole_ = whole && !ec;
  return count;
}

}  // namespace quorl
