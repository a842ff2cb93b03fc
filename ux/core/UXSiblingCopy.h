// A file copy made whole in a new, hidden sibling of its target and only
// then put in the target's place: a copy that fails midway (a full disk, a
// source gone) leaves the old file as it was, and no sibling behind. The
// order of the steps and the clean-up live here once; each driver supplies
// only its system calls, as a UXSiblingCopy.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "ux/core/UXViewDriver.h"

namespace quorl {

// The system calls of one copy, from a source the driver has already
// opened and checked. Each step answers UXFileFailure::none or why it
// failed.
class UXSiblingCopy {
 public:
  virtual ~UXSiblingCopy() = default;
  // Makes `sibling` as a new, empty file and holds it open for writing;
  // `exists` when the name is taken (the next name is tried), never
  // opening or emptying a file that stood there.
  virtual UXFileFailure create(const std::string& sibling) = 0;
  // The next bytes of the source into `buffer`: `got` 0 at its end.
  virtual UXFileFailure read(char* buffer, uint32_t capacity, uint32_t& got) = 0;
  // All `count` bytes onto the end of the sibling.
  virtual UXFileFailure write(const char* bytes, uint32_t count) = 0;
  // Gives the sibling the permissions it keeps, writes it through to the
  // disk and closes it.
  virtual UXFileFailure finish() = 0;
  // Puts the closed sibling at the target: over it when `replace`, else
  // only while the target's name is free (`exists` when it was taken
  // meanwhile, with nothing replaced).
  virtual UXFileFailure place(const std::string& sibling, bool replace) = 0;
  // Closes the sibling if it is open and removes it.
  virtual void remove(const std::string& sibling) = 0;
};

// A copy whose source is bytes in memory, for a file written whole (a
// settings file): `Calls`, a driver's UXSiblingCopy, makes, writes and
// places the sibling as it does for a copy. The bytes are borrowed.
template <class Calls>
class UXSiblingWrite final : public Calls {
 public:
  template <class... Args>
  explicit UXSiblingWrite(std::string_view bytes, Args&&... args) : Calls(std::forward<Args>(args)...), bytes_(bytes) {}
  UXFileFailure read(char* buffer, uint32_t capacity, uint32_t& got) override {
    got = uint32_t(std::min<size_t>(capacity, bytes_.size()));
    std::memcpy(buffer, bytes_.data(), got);
    bytes_.remove_prefix(got);
    return UXFileFailure::none;
  }

 private:
  std::string_view bytes_;
};

// Where a copy to `target` makes its sibling, so that taking the target's
// name is one step of one file system: the target's folder with its
// separator ("/" on POSIX; "\\" and "/" on Windows, where "C:x" is in the
// drive's current folder "C:"), or empty for the working folder.
std::string uxSiblingFolder(std::string_view target, bool windows);

// Copies through a sibling in `folder` (uxSiblingFolder) named by
// uxCopySiblingName, trying the next name while one is taken, and removes
// the sibling on any failure. Answers none once the copy is in place.
UXFileFailure uxCopyThroughSibling(UXSiblingCopy& copy, const std::string& folder, bool replace);

// Called with each sibling's path just before it is made, when set: where
// tests plant what another program could have put under the name.
extern std::function<void(const std::string& sibling)> gUXBeforeSiblingCreate;

// Called with the sibling's path once the copy is whole and before it is
// put in place, when set: where tests play the other program that writes
// the target meanwhile. Empty in the program.
extern std::function<void(const std::string& sibling)> gUXBeforeSiblingPlace;

// Asked before each write of a sibling, when set, with the bytes already
// written and the count about to be: a failure it answers is the write's.
// Where tests play a disk that fills up on a system whose processes have
// no file size limit (Windows). Empty in the program.
extern std::function<UXFileFailure(uint64_t written, uint32_t count)> gUXSiblingWriteFault;

// Called with the source's path once a move to another file system has put
// its copy in place and before it deletes the source, when set: where tests
// play the other program that replaces the source meanwhile. Empty in the
// program.
extern std::function<void(const std::string& source)> gUXBeforeMoveDelete;

}  // namespace quorl
