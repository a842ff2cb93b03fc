// What the headless driver's file operations share (UXHeadlessFiles.cpp and
// its .posix.cpp and .win32.cpp): paths from UTF-8, the reason behind a
// system error, and the calls of the settings file.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "ux/core/UXSettingsFile.h"
#include "ux/core/UXViewDriver.h"

namespace quorl::headless {

namespace fs = std::filesystem;

inline fs::path pathOf(const char* s) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(s), std::strlen(s)));
}

// The reason behind a system error; `source` tells a missing source (gone)
// from a missing target folder.
UXFileFailure failureOf(std::error_code ec, bool source);

// The system calls of a change of the settings file at `path`
// (UXSettingsFile.h): on POSIX the file behind the links at the path, a
// private lock file beside it (mode 0600, the user's own), the file read as
// every file is, and its replacement (so that the links stay) through a new
// sibling that keeps a replaced file's permissions and group; a file made
// is UTF-8; on Windows W32SettingsFile.h.
std::unique_ptr<UXSettingsFileCalls> settingsFileCalls(const std::string& path);

}  // namespace quorl::headless
