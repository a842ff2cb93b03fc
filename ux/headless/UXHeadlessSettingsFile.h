// The settings file's replacement, which differs by platform
// (UXHeadlessSettings.posix.cpp, UXHeadlessSettings.win32.cpp).
#pragma once

#include <filesystem>
#include <string>

namespace quorl::headless {

// Writes `text` to a new sibling of `target` (a name of its own, created
// afresh, never through a link already there) and renames it over `target`
// once whole; false, with the sibling removed, when any step fails.
bool replaceSettingsFile(const std::filesystem::path& target, const std::string& text);

}  // namespace quorl::headless
