// Symbolic links for tests, made the way the system here allows: by the
// file system's own call natively, by the host's programs under Wine (whose
// own calls make none).
#pragma once

#include <filesystem>
#include <string>

namespace quorl::test {

// Makes `link`, a symbolic link to `target` (a file or a folder); answers
// "" once it is there, or why the system here cannot show one.
std::string makeLink(const std::filesystem::path& target, const std::filesystem::path& link);

// Removes the link `link` itself, never what it leads to (Wine's own
// removal of a host link removes its target).
bool removeLink(const std::filesystem::path& link);

}  // namespace quorl::test
