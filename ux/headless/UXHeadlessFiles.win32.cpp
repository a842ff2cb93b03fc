// File delete, rename and copy in the Windows build (where the headless
// driver serves the tests), through std::filesystem and streams. The native
// build's are in UXHeadlessFiles.posix.cpp.
#include <filesystem>
#include <fstream>
#include <system_error>

#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessInternal.h"

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
  gFileFailure = UXFileFailure::none;
  if (!path || !*path) return failed(UXFileFailure::gone);
  std::error_code ec;
  const fs::path p = pathOf(path);
  const fs::file_type type = fs::symlink_status(p, ec).type();
  if (type == fs::file_type::directory) return failed(UXFileFailure::isFolder);
  if (type == fs::file_type::not_found) return failed(UXFileFailure::gone);
  if (fs::remove(p, ec) && !ec) return true;
  return failed(ec ? failureOf(ec, true) : UXFileFailure::gone);
}

bool UXHeadlessDriver::fileRename(const char* from, const char* to) {
  gFileFailure = UXFileFailure::none;
  if (!from || !to || !*from || !*to) return failed(UXFileFailure::unknown);
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

// Copied by streams rather than fs::copy_file, whose overwriting fails on
// the Windows build's runtime.
bool UXHeadlessDriver::fileCopy(const char* from, const char* to) {
  gFileFailure = UXFileFailure::none;
  if (!from || !to || !*from || !*to) return failed(UXFileFailure::unknown);
  std::error_code ec;
  fs::path source = pathOf(from), target = pathOf(to);
  if (overlongName(target)) return failed(UXFileFailure::tooLong);
  const fs::file_type type = fs::status(source, ec).type();
  if (type == fs::file_type::not_found) return failed(UXFileFailure::gone);
  if (type == fs::file_type::directory) return failed(UXFileFailure::isFolder);
  if (type != fs::file_type::regular) return failed(UXFileFailure::notRegular);
  const fs::file_type targetType = fs::status(target, ec).type();
  if (targetType == fs::file_type::directory) return failed(UXFileFailure::isFolder);
  if (targetType != fs::file_type::not_found && targetType != fs::file_type::regular)
    return failed(UXFileFailure::notRegular);
  // Opening the target truncates it: copying a file onto itself would lose it.
  if (targetType == fs::file_type::regular && fs::equivalent(source, target, ec)) return failed(UXFileFailure::same);
  std::ifstream in(source, std::ios::binary);
  if (!in) return failed(UXFileFailure::permission);
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) return failed(fs::exists(target.parent_path(), ec) ? UXFileFailure::permission : UXFileFailure::noFolder);
  char chunk[65536];
  while (in) {
    in.read(chunk, sizeof chunk);
    std::streamsize got = in.gcount();
    if (got > 0 && !out.write(chunk, got)) return failed(UXFileFailure::unknown);
  }
  if (in.bad()) return failed(UXFileFailure::unknown);
  out.close();
  return !out.fail() || failed(UXFileFailure::unknown);
}

}  // namespace quorl
