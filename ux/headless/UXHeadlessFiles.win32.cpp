// File delete, rename and copy in the Windows build (where the headless
// driver serves the tests), through std::filesystem and the Windows calls
// of W32SiblingCopy for the copy and the settings file's replacement. The
// native build's are in UXHeadlessFiles.posix.cpp.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "ux/core/UXSiblingCopy.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessFiles.h"
#include "ux/win32/W32ServicePure.h"
#include "ux/win32/W32SiblingCopy.h"

namespace quorl {

using namespace headless;

namespace {

// A name longer than a file system allows (Windows reports it as an
// invalid name, not as too long).
bool overlongName(const fs::path& p) {
  for (const fs::path& part : p)
    if (part.native().size() > 255) return true;
  return false;
}

// The target's folder with its separator, where the copy's sibling is made
// (so that it can take the target's place); empty for the working folder.
std::string folderOf(const fs::path& target) {
  const std::u8string folder = target.has_parent_path() ? (target.parent_path() / "").u8string() : u8"";
  return std::string(folder.begin(), folder.end());
}

// Whether a path ends in a name Windows keeps for a device (NUL, aux.json),
// which would reach the device rather than a file.
bool deviceNamed(const char* path) { return w32IsDeviceName(pathOf(path).u16string()); }

}  // namespace

bool UXHeadlessDriver::fileDelete(const char* path) {
  fileFailure_ = UXFileFailure::none;
  if (!path || !*path) return failed(UXFileFailure::gone);
  if (deviceNamed(path)) return failed(UXFileFailure::deviceName);
  std::error_code ec;
  const fs::path p = pathOf(path);
  const fs::file_type type = fs::symlink_status(p, ec).type();
  if (type == fs::file_type::directory) return failed(UXFileFailure::isFolder);
  if (type == fs::file_type::not_found) return failed(UXFileFailure::gone);
  if (fs::remove(p, ec) && !ec) return true;
  return failed(ec ? failureOf(ec, true) : UXFileFailure::gone);
}

bool UXHeadlessDriver::fileRename(const char* from, const char* to) {
  fileFailure_ = UXFileFailure::none;
  if (!from || !to || !*from || !*to) return failed(UXFileFailure::unknown);
  if (deviceNamed(from) || deviceNamed(to)) return failed(UXFileFailure::deviceName);
  std::error_code ec;
  fs::path target = pathOf(to);
  if (overlongName(target)) return failed(UXFileFailure::tooLong);
  const fs::file_type type = fs::symlink_status(target, ec).type();
  if (type != fs::file_type::not_found) return failed(ec ? failureOf(ec, false) : UXFileFailure::exists);
  ec.clear();
  fs::rename(pathOf(from), target, ec);
  if (!ec) return true;
  std::error_code probe;
  return failed(fs::exists(pathOf(from), probe) ? failureOf(ec, false) : UXFileFailure::gone);
}

namespace {

// Copied by hand rather than by fs::copy_file, whose overwriting fails on
// the Windows build's runtime, into a new sibling of the target that takes
// its place once whole (uxCopyThroughSibling), over a file there only when
// `replace`.
UXFileFailure copyOnTerms(const char* from, const char* to, bool replace, const W32SourceTerms& terms) {
  if (!from || !to || !*from || !*to) return UXFileFailure::unknown;
  if (deviceNamed(from) || deviceNamed(to)) return UXFileFailure::deviceName;
  std::error_code ec;
  fs::path source = pathOf(from), target = pathOf(to);
  if (overlongName(target)) return UXFileFailure::tooLong;
  const fs::file_type type = fs::status(source, ec).type();
  if (type == fs::file_type::not_found) return UXFileFailure::gone;
  if (type == fs::file_type::directory) return UXFileFailure::isFolder;
  if (type != fs::file_type::regular) return UXFileFailure::notRegular;
  const fs::file_type targetType = fs::status(target, ec).type();
  if (targetType == fs::file_type::directory) return UXFileFailure::isFolder;
  if (targetType != fs::file_type::not_found && targetType != fs::file_type::regular)
    return UXFileFailure::notRegular;
  const bool replacing = targetType == fs::file_type::regular;
  if (replacing && !replace) return UXFileFailure::exists;
  if (replacing && fs::equivalent(source, target, ec)) return UXFileFailure::same;
  // The old file must be one the user may write: replacing it would not ask.
  if (replacing && !std::fstream(target, std::ios::binary | std::ios::in | std::ios::out))
    return UXFileFailure::permission;
  W32File in;
  const UXFileFailure opened = w32OpenSource(source.native(), terms, in, [](DWORD error) {
    return error == ERROR_FILE_NOT_FOUND ? UXFileFailure::gone : w32FileFailure(error);
  });
  if (opened != UXFileFailure::none) return opened;
  if (target.has_parent_path() && !fs::exists(target.parent_path(), ec)) return UXFileFailure::noFolder;
  W32SiblingCopy copy(in.get(), target.native());
  return uxCopyThroughSibling(copy, folderOf(target), replacing);
}

}  // namespace

bool UXHeadlessDriver::fileCopy(const char* from, const char* to) {
  fileFailure_ = UXFileFailure::none;
  const UXFileFailure why = copyOnTerms(from, to, true, W32SourceTerms{});
  return why == UXFileFailure::none || failed(why);
}

bool UXHeadlessDriver::fileCopyDecided(const char* from, const char* to, bool replace, const UXFileIdentity* source) {
  fileFailure_ = UXFileFailure::none;
  const UXFileFailure why = copyOnTerms(from, to, replace, W32SourceTerms{true, source});
  return why == UXFileFailure::none || failed(why);
}

// The settings file's new text, written as a copy is (CREATE_NEW opens
// nothing that is already there under the sibling's name).
bool headless::replaceSettingsFile(const fs::path& target, const std::string& text) {
  UXSiblingWrite<W32SiblingCopy> copy(text, target.native());
  return uxCopyThroughSibling(copy, folderOf(target), true) == UXFileFailure::none;
}

}  // namespace quorl
