// Directory listings and file delete, rename and copy for the toolkit's own
// file panel. Paths cross as UTF-16 in their long form ("\\?\C:\..." or
// "\\?\UNC\server\share\..."), so that a folder or file deeper than MAX_PATH
// is reached whole, never through a cut path that names another one; names
// come back as UTF-8.
#include <windows.h>

#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32ServicePure.h"
#include "ux/win32/W32Services.h"
#include "ux/win32/W32SiblingCopy.h"
#include "ux/win32/W32Text.h"

namespace quorl {

std::wstring w32LongPath(const char* path) {
  std::wstring wide = w32Wide(path);
  const DWORD need = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (need == 0) return wide;
  std::wstring full(need, L'\0');
  const DWORD n = GetFullPathNameW(wide.c_str(), need, full.data(), nullptr);
  if (n == 0 || n >= need) return wide;
  full.resize(n);
  const std::u16string form = w32LongPathForm(w32U16(full));
  return std::wstring(form.begin(), form.end());
}

namespace {

// The last failure of a file operation (the UI thread's only).
UXFileFailure gW32FileFailure = UXFileFailure::none;
// Whether the last listing wrote every entry of its folder.
bool gW32ListingWhole = false;

DWORD attributesOf(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }
bool isFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Why a copy refuses a path that is there but is no file: a folder, or a
// device. A missing path is for the copy itself to report.
UXFileFailure notAFile(const std::wstring& path) {
  const DWORD attributes = attributesOf(path);
  if (isFolder(attributes)) return UXFileFailure::isFolder;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DEVICE)) return UXFileFailure::notRegular;
  return UXFileFailure::none;
}

// The reason behind the last error of a call on `from` (the source) and
// `to` (the target, or empty).
UXFileFailure failureOf(DWORD error, const std::wstring& from, const std::wstring& to) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return attributesOf(from) == INVALID_FILE_ATTRIBUTES ? UXFileFailure::gone : UXFileFailure::noFolder;
    case ERROR_INVALID_NAME:
      return w32HasOverlongName(w32U16(to)) || w32HasOverlongName(w32U16(from)) ? UXFileFailure::tooLong
                                                                           : UXFileFailure::unknown;
    default: return w32FileFailure(error);
  }
}

// The same file: one volume, one file index.
bool sameFile(HANDLE a, HANDLE b) {
  UXFileIdentity identity;
  return w32HandleIdentity(b, identity) && w32IsFile(a, &identity);
}

// A copy from an open source, its errors read against both paths. A
// move's copy (`moved` set: the source's information) keeps the source's
// times, as a move on one volume does, and learns who the copy is.
class W32FileCopy final : public W32SiblingCopy {
 public:
  W32FileCopy(HANDLE in, const std::wstring& source, const std::wstring& target,
              const BY_HANDLE_FILE_INFORMATION* moved = nullptr)
      : W32SiblingCopy(in, target), source_(source), target_(target), moved_(moved) {}
  UXFileFailure finish() override {
    if (moved_) {
      SetFileTime(sibling(), &moved_->ftCreationTime, &moved_->ftLastAccessTime, &moved_->ftLastWriteTime);
      if (!w32HandleIdentity(sibling(), made_)) return failureOf(GetLastError());
    }
    return W32SiblingCopy::finish();
  }
  // Whether an open file is the copy this move made.
  bool isTheCopy(HANDLE file) const { return moved_ && w32IsFile(file, &made_); }

 protected:
  UXFileFailure failureOf(DWORD error) const override { return quorl::failureOf(error, source_, target_); }

 private:
  const std::wstring& source_;
  const std::wstring& target_;
  const BY_HANDLE_FILE_INFORMATION* moved_;  // the caller's, for a move
  UXFileIdentity made_;
};

// Deletes the file open as `file` (with DELETE access) when it is closed:
// that file, whatever has its name by then.
bool deleteOnClose(HANDLE file) {
  FILE_DISPOSITION_INFO disposition{TRUE};
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

// A move to another volume, as the system's own would copy and then delete
// by name: the source, held so that no other program writes, deletes or
// replaces it meanwhile, is copied there (never over a file) and then
// deleted through its own handle, so only the file copied goes. A source
// that cannot be deleted takes back the copy made.
UXFileFailure moveToOtherVolume(const std::wstring& source, const std::wstring& target) {
  if (isFolder(attributesOf(source))) return UXFileFailure::otherVolume;
  W32File in(CreateFileW(source.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in) return failureOf(GetLastError(), source, target);
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(in.get()) != FILE_TYPE_DISK) return UXFileFailure::notRegular;
  if (!GetFileInformationByHandle(in.get(), &info)) return failureOf(GetLastError(), source, target);
  // A folder, or a link (which the copy would follow), is not moved.
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
    return UXFileFailure::otherVolume;
  W32FileCopy copy(in.get(), source, target, &info);
  const UXFileFailure copied = uxCopyThroughSibling(copy, uxSiblingFolder(w32Utf8(target.c_str()), true), false);
  if (copied != UXFileFailure::none) return copied;
  if (gUXBeforeMoveDelete) gUXBeforeMoveDelete(w32Utf8(source.c_str()));
  if (deleteOnClose(in.get())) return UXFileFailure::none;
  const UXFileFailure why = failureOf(GetLastError(), source, target);
  W32File placed(CreateFileW(target.c_str(), DELETE | FILE_READ_ATTRIBUTES, kW32ShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (placed && copy.isTheCopy(placed.get())) deleteOnClose(placed.get());
  return why;
}

// Whether the path names a link that the system opens as what it leads to,
// under that one's name (Wine's host links): deleting or renaming it would
// delete or move its target (which may lie in another folder) instead.
bool linkAsTarget(const std::wstring& path) {
  W32File entry(CreateFileW(path.c_str(), 0, kW32ShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return entry && w32OpenedElsewhere(entry.get(), path);
}

bool failed(UXFileFailure why) {
  gW32FileFailure = why;
  return false;
}
// Keeps the outcome as the last failure; answers whether it is none.
bool done(UXFileFailure why) {
  gW32FileFailure = why;
  return why == UXFileFailure::none;
}

}  // namespace

bool w32DeviceNamed(const char* path) { return w32IsDeviceName(w32U16(w32Wide(path))); }

UXFileFailure UXWin32Driver::fileFailure() const { return gW32FileFailure; }
void w32SetFileFailure(UXFileFailure why) { gW32FileFailure = why; }
bool UXWin32Driver::listDirWhole() const { return gW32ListingWhole; }

int32_t UXWin32Driver::listDir(const char* folder, char* buffer, uint32_t capacity) {
  W32ListWriter out(buffer, capacity);
  gW32ListingWhole = false;
  if (!folder) return -1;
  std::wstring pattern = w32LongPath(folder);
  if (pattern.empty() || (pattern.back() != L'\\' && pattern.back() != L'/')) pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW entry{};
  W32FindHandle find(FindFirstFileW(pattern.c_str(), &entry));
  if (!find) return -1;
  do {
    if (!wcscmp(entry.cFileName, L".") || !wcscmp(entry.cFileName, L"..")) continue;
    bool directory = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out.add(directory, entry.nFileSizeLow, w32Utf8(entry.cFileName));
  } while (FindNextFileW(find.get(), &entry));
  // A search that ended on an error, or an entry the buffer had no room
  // for, leaves names out.
  gW32ListingWhole = GetLastError() == ERROR_NO_MORE_FILES && out.whole();
  return out.count();
}

bool UXWin32Driver::fileDelete(const char* path) {
  gW32FileFailure = UXFileFailure::none;
  if (!path) return failed(UXFileFailure::gone);
  if (w32DeviceNamed(path)) return failed(UXFileFailure::deviceName);
  const std::wstring target = w32LongPath(path);
  if (linkAsTarget(target)) return failed(UXFileFailure::linkAsTarget);
  if (DeleteFileW(target.c_str())) return true;
  const DWORD error = GetLastError();
  // DeleteFileW refuses a folder as access denied: say what it is.
  if (isFolder(attributesOf(target))) return failed(UXFileFailure::isFolder);
  return failed(failureOf(error, target, L""));
}

bool UXWin32Driver::fileRename(const char* from, const char* to) {
  gW32FileFailure = UXFileFailure::none;
  if (!from || !to) return failed(UXFileFailure::unknown);
  if (w32DeviceNamed(from) || w32DeviceNamed(to)) return failed(UXFileFailure::deviceName);
  const std::wstring source = w32LongPath(from), target = w32LongPath(to);
  if (linkAsTarget(source)) return failed(UXFileFailure::linkAsTarget);
  // Within one volume only, never over a file.
  if (MoveFileExW(source.c_str(), target.c_str(), 0)) return true;
  const DWORD error = GetLastError();
  if (error != ERROR_NOT_SAME_DEVICE) return failed(failureOf(error, source, target));
  return done(moveToOtherVolume(source, target));
}

// The copy is made whole in a new sibling of the target and then moved to
// it (uxCopyThroughSibling): a copy that fails midway (a full disk, a
// source gone) leaves the old file as it was, and no sibling behind; a copy
// to a new name replaces nothing that took the name meanwhile, and one that
// may not replace takes no name that is taken.
UXFileFailure w32CopyOnTerms(const char* from, const char* to, bool replace, const W32SourceTerms& terms) {
  if (!from || !to) return UXFileFailure::unknown;
  if (w32DeviceNamed(from) || w32DeviceNamed(to)) return UXFileFailure::deviceName;
  const std::wstring source = w32LongPath(from), target = w32LongPath(to);
  // A name longer than a file system allows is no folder missing, whatever
  // the system answers for it.
  if (w32HasOverlongName(w32U16(target))) return UXFileFailure::tooLong;
  for (const std::wstring* path : {&source, &target})
    if (UXFileFailure why = notAFile(*path); why != UXFileFailure::none) return why;
  // A read-only file stays as it is, as under a copy straight onto it (the
  // move that puts the copy in its place would not refuse everywhere).
  if (const DWORD old = attributesOf(target); old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY))
    return replace ? UXFileFailure::permission : UXFileFailure::exists;
  W32File in;
  const UXFileFailure opened =
      w32OpenSource(source, terms, in, [&](DWORD error) { return failureOf(error, source, target); });
  if (opened != UXFileFailure::none) return opened;
  // The old file, opened only to be told apart (no access asked): a pipe or
  // the source itself is refused.
  W32File old(CreateFileW(target.c_str(), 0, kW32ShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!old && GetLastError() != ERROR_FILE_NOT_FOUND) return failureOf(GetLastError(), source, target);
  const bool replacing = bool(old);
  if (replacing && !replace) return UXFileFailure::exists;
  if (replacing && GetFileType(old.get()) != FILE_TYPE_DISK) return UXFileFailure::notRegular;
  if (replacing && sameFile(in.get(), old.get())) return UXFileFailure::same;
  old.reset();
  W32FileCopy copy(in.get(), source, target);
  return uxCopyThroughSibling(copy, uxSiblingFolder(w32Utf8(target.c_str()), true), replacing);
}

bool UXWin32Driver::fileCopy(const char* from, const char* to) {
  return done(w32CopyOnTerms(from, to, true, W32SourceTerms{}));
}

bool UXWin32Driver::fileCopyDecided(const char* from, const char* to, bool replace, const UXFileIdentity* source) {
  return done(w32CopyOnTerms(from, to, replace, W32SourceTerms{true, source}));
}

}  // namespace quorl
