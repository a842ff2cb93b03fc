// File delete and rename in the Windows build (where the headless driver
// serves the tests) through std::filesystem; the copy is the Win32
// driver's (w32CopyOnTerms), and the settings file is replaced through the
// Win32 driver's calls (W32SettingsFile.h). The native build's are in
// UXHeadlessFiles.posix.cpp.
#include <windows.h>

#include <filesystem>
#include <system_error>

#include "ux/core/UXSiblingCopy.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessFiles.h"
#include "ux/win32/W32ServicePure.h"
#include "ux/win32/W32SettingsFile.h"
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

}  // namespace

bool UXHeadlessDriver::fileDelete(const char* path) {
  fileFailure_ = UXFileFailure::none;
  if (!path || !*path) return failed(UXFileFailure::gone);
  if (w32DeviceNamed(path)) return failed(UXFileFailure::deviceName);
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
  if (w32DeviceNamed(from) || w32DeviceNamed(to)) return failed(UXFileFailure::deviceName);
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

bool UXHeadlessDriver::fileCopy(const char* from, const char* to) {
  fileFailure_ = UXFileFailure::none;
  const UXFileFailure why = w32CopyOnTerms(from, to, true, W32SourceTerms{});
  return why == UXFileFailure::none || failed(why);
}

bool UXHeadlessDriver::fileCopyDecided(const char* from, const char* to, bool replace, const UXFileIdentity* source) {
  fileFailure_ = UXFileFailure::none;
  const UXFileFailure why = w32CopyOnTerms(from, to, replace, W32SourceTerms{true, source});
  return why == UXFileFailure::none || failed(why);
}

// The settings file's calls are the Win32 driver's; its folder is made
// for it, as the native build's are.
std::unique_ptr<UXSettingsFileCalls> headless::settingsFileCalls(const std::string& path) {
  std::error_code ec;
  if (const fs::path file = pathOf(path.c_str()); file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
  return std::make_unique<W32SettingsCalls>(pathOf(path.c_str()).native());
}

}  // namespace quorl
