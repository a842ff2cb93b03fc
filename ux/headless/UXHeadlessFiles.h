// What the headless driver's file operations share (UXHeadlessFiles.cpp and
// its .posix.cpp and .win32.cpp): paths from UTF-8, and the reason behind a
// system error.
#pragma once

#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "ux/core/UXViewDriver.h"

namespace quorl::headless {

namespace fs = std::filesystem;

inline fs::path pathOf(const char* s) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(s), std::strlen(s)));
}

// The reason behind a system error; `source` tells a missing source (gone)
// from a missing target folder.
UXFileFailure failureOf(std::error_code ec, bool source);

}  // namespace quorl::headless
