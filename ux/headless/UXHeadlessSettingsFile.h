// The settings file's replacement, which differs by platform
// (UXHeadlessFiles.posix.cpp, beside the copy whose calls it shares;
// UXHeadlessSettings.win32.cpp).
#pragma once

#include <filesystem>
#include <string>

namespace quorl::headless {

// Writes `text` to a new sibling of `target` (a name of its own, created
// afresh, never through a link already there) and puts it in `target`'s
// place once whole, through uxCopyThroughSibling: false, with the sibling
// removed, when any step fails. A replaced file's permissions are kept.
bool replaceSettingsFile(const std::filesystem::path& target, const std::string& text);

}  // namespace quorl::headless
