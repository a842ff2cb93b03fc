// File delete, rename and copy in the Windows build (where the headless
// driver serves the tests), through std::filesystem, streams and, to put a
// whole copy in its target's place, MoveFileExW. The native build's are in
// UXHeadlessFiles.posix.cpp.
#include <windows.h>

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

// Makes a new, empty sibling of `target` (in the same folder, so that
// moving it over `target` replaces `target` in one step) and records its
// path in `sibling`; false when none can be made.
bool createSibling(const fs::path& target, CopySibling& sibling) {
  for (uint32_t attempt = 0; attempt < 16; ++attempt) {
    const fs::path path = target.parent_path() / uxCopySiblingName(attempt);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      sibling.path = path;
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
  }
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
// the Windows build's runtime, into a new sibling of the target that
// replaces it once whole: a copy that fails midway leaves the old file as
// it was.
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
  if (targetType == fs::file_type::regular && fs::equivalent(source, target, ec)) return failed(UXFileFailure::same);
  // The old file must be one the user may write: replacing it would not ask.
  if (targetType == fs::file_type::regular && !std::fstream(target, std::ios::binary | std::ios::in | std::ios::out))
    return failed(UXFileFailure::permission);
  std::ifstream in(source, std::ios::binary);
  if (!in) return failed(UXFileFailure::permission);
  CopySibling sibling;
  if (!createSibling(target, sibling))
    return failed(fs::exists(target.parent_path(), ec) ? UXFileFailure::permission : UXFileFailure::noFolder);
  {
    std::ofstream out(sibling.path, std::ios::binary | std::ios::trunc);
    if (!out) return failed(UXFileFailure::permission);
    char chunk[65536];
    while (in) {
      in.read(chunk, sizeof chunk);
      std::streamsize got = in.gcount();
      if (got > 0 && !out.write(chunk, got)) return failed(UXFileFailure::unknown);
    }
    if (in.bad()) return failed(UXFileFailure::unknown);
    out.close();
    if (out.fail()) return failed(UXFileFailure::unknown);
  }
  if (!MoveFileExW(sibling.path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return failed(GetLastError() == ERROR_ACCESS_DENIED ? UXFileFailure::permission : UXFileFailure::unknown);
  sibling.path.clear();
  return true;
}

}  // namespace quorl
