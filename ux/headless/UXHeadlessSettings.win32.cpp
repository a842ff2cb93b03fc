// The settings file replaced in the Windows build: its text written as a
// copy is, through the Windows calls of W32SiblingCopy (CREATE_NEW opens
// nothing that is already there under the sibling's name).
#include <windows.h>

#include <string>

#include "ux/core/UXSiblingCopy.h"
#include "ux/headless/UXHeadlessSettingsFile.h"
#include "ux/win32/W32SiblingCopy.h"

namespace quorl::headless {

bool replaceSettingsFile(const std::filesystem::path& target, const std::string& text) {
  UXSiblingWrite<W32SiblingCopy> copy(text, target.native());
  const std::u8string folder = target.has_parent_path() ? (target.parent_path() / "").u8string() : u8"";
  return uxCopyThroughSibling(copy, std::string(folder.begin(), folder.end()), true) == UXFileFailure::none;
}

}  // namespace quorl::headless
