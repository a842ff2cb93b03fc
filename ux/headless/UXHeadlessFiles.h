// What the headless driver's file operations share (UXHeadlessFiles.cpp and
// its .posix.cpp and .win32.cpp): paths from UTF-8, the reason behind a
// system error, and the settings file's replacement, made as a copy is.
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

// Writes `text` to a new sibling of `target` (a name of its own, created
// afresh, never through a link already there) and puts it in `target`'s
// place once whole, through uxCopyThroughSibling: false, with the sibling
// removed, when any step fails. A replaced file's permissions are kept.
bool replaceSettingsFile(const fs::path& target, const std::string& text);

}  // namespace quorl::headless
