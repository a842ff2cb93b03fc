// The settings file both drivers keep, and how one change of it is made.
// The text is INI: "[section]" lines, then "key=value" lines (a missing or
// empty section is "Shared"). A change holds a private lock beside the file
// (waiting for another instance's at most gUXSettingsLockWaitMs), reads the
// file as it is then, changes that, and puts the whole new text in the
// file's place through a sibling that is written, flushed and moved over
// it: a change is reported made only once the new file is in place, and the
// old file stays as it was otherwise. Each driver supplies the system
// calls (UXSettingsFileCalls): the lock, the read, the replacement.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ux/core/UXViewDriver.h"

namespace quorl {

// "section\nkey" -> value.
using UXSettings = std::map<std::string, std::string>;

// The section a null or empty name stands for ("Shared"), and a key's place
// in UXSettings.
std::string uxSettingsSection(const char* section);
inline std::string uxSettingsKey(const std::string& section, const std::string& key) { return section + '\n' + key; }

// Whether one line of the file holds the setting as it is: a key that is
// not empty, has no "=" and does not start with "[" (its line could read as
// a section), a section without "]", and no line break in any of the three.
bool uxSettingStorable(const std::string& section, const std::string& key, const std::string& value);

// Adds the settings of an INI text to `out` ("\r\n" or "\n" line ends;
// lines that are neither a section nor a key are passed over).
void uxSettingsParse(std::string_view text, UXSettings& out);
// The INI text of the settings, "\n" line ends, each section once.
std::string uxSettingsText(const UXSettings& settings);

// Makes the changes of one section (a key set, or removed when `remove`);
// answers whether any of them changed what the settings hold.
bool uxSettingsApply(UXSettings& settings, const std::string& section, const std::vector<UXSettingChange>& changes);

// How long a change waits for the lock another instance holds, in
// milliseconds, before it answers false with UXFileFailure::busy.
constexpr uint32_t kUXSettingsLockWaitMs = 5000;
// The wait that changes use: kUXSettingsLockWaitMs, which tests shorten.
extern uint32_t gUXSettingsLockWaitMs;

// The system calls of one change of one settings file.
class UXSettingsFileCalls {
 public:
  virtual ~UXSettingsFileCalls() = default;
  // Tries once to take the file's lock, a file of the user's own that no
  // other user may open, and holds it while this object lives: none, busy
  // while another instance holds it, or why it cannot be had.
  virtual UXFileFailure tryLock() = 0;
  // The file's whole text as UTF-8 (none), gone when nothing stands at its
  // path, or why what stands there could not be read.
  virtual UXFileFailure read(std::string& text) = 0;
  // Puts `text` in the file's place whole, or answers why not with the old
  // file as it was.
  virtual UXFileFailure replace(const std::string& text) = 0;
};

// The file's settings into `out` (nothing for a file that is not there):
// none, or why the file could not be read.
UXFileFailure uxSettingsRead(UXSettingsFileCalls& calls, UXSettings& out);

// One change of the file: the lock (waited for), the settings as the file
// holds them now, `apply` (which answers whether it changed anything) and,
// when it did, the replacement. `settings` takes the file's new settings
// when the answer is none; a failure leaves it alone.
UXFileFailure uxSettingsChangeFile(UXSettingsFileCalls& calls, const std::function<bool(UXSettings&)>& apply,
                                   UXSettings& settings);

}  // namespace quorl
