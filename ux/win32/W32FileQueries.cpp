// Whether a path names an entry, and who a folder is, for the toolkit's own
// file panel, asked in the long form the file operations use.
#include "ux/win32/W32FileQueries.h"

#include "ux/win32/UXWin32Driver.h"

namespace quorl {

UXFilePresence UXWin32Driver::filePresence(const char* path) {
  return path && *path ? w32FilePresence(w32LongPath(path)) : UXFilePresence::unknown;
}

bool UXWin32Driver::fileIdentity(const char* path, UXFileIdentity& identity) {
  return path && *path && w32FileIdentity(w32LongPath(path), identity);
}

}  // namespace quorl
