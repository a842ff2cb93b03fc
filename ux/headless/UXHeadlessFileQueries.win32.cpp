// Whether a path names an entry, and who a folder is, in the Windows build
// (where the headless driver serves the tests). The native build's are in
// UXHeadlessFileQueries.posix.cpp.
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessFiles.h"
#include "ux/win32/W32FileQueries.h"

namespace quorl {

using namespace headless;

UXFilePresence UXHeadlessDriver::filePresence(const char* path) {
  return path && *path ? w32FilePresence(pathOf(path).native()) : UXFilePresence::unknown;
}

bool UXHeadlessDriver::fileIdentity(const char* path, UXFileIdentity& identity) {
  return path && *path && w32FileIdentity(pathOf(path).native(), identity);
}

}  // namespace quorl
