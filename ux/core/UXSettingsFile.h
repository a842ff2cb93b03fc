// The settings file both drivers keep, and how one change of it is made.
// The text is INI: "[section]" lines, then "key=value" lines (a missing or
// empty section is "Shared"), stored as UTF-16 with its mark (the Windows
// build's files) or as UTF-8 with or without one; either build reads all
// three, and a change writes a file back in the form it found it in. A
// change first names the file it will replace (the last target of the links
// at the path, so that a link stays a link and every path to one file
// shares one lock), holds a private lock beside that file (waiting for
// another instance's at most gUXSettingsLockWaitMs), reads the file as it
// is then, changes that, and puts the whole new text in the file's place
// through a sibling that is written, flushed and moved over it: a change is
// reported made only once the new file is in place, and the old file stays
// as it was otherwise. A file that reads as no text is never changed. Each
// driver supplies the system calls (UXSettingsFileCalls): the file's name,
// the lock, the read, the replacement.
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
// a section), a section without "]", and in each of the three valid UTF-8
// without a line break or a NUL.
bool uxSettingStorable(const std::string& section, const std::string& key, const std::string& value);

// Adds the settings of an INI text to `out` ("\r\n" or "\n" line ends;
// lines that are neither a section nor a key are passed over).
void uxSettingsParse(std::string_view text, UXSettings& out);
// The INI text of the settings, "\n" line ends, each section once.
std::string uxSettingsText(const UXSettings& settings);

// How a settings file's text is stored: its encoding and its line ends.
enum class UXSettingsEncoding : uint8_t {
  utf8,      // UTF-8 without a mark
  utf8Mark,  // UTF-8 after the mark EF BB BF
  utf16,     // UTF-16, little-endian, after the mark FF FE (the Windows build's)
};
struct UXSettingsFormat {
  UXSettingsEncoding encoding = UXSettingsEncoding::utf8;
  bool crlf = false;  // "\r\n" line ends, else "\n"
  bool operator==(const UXSettingsFormat&) const = default;
};
// The form each driver gives a file it makes.
constexpr UXSettingsFormat kUXSettingsWindowsFormat{UXSettingsEncoding::utf16, true};
constexpr UXSettingsFormat kUXSettingsPlainFormat{UXSettingsEncoding::utf8, false};

// The largest settings file read, in bytes; a change that would make a
// larger one is not made (UXFileFailure::tooLarge), since no read would see
// its keys again.
constexpr uint32_t kUXSettingsFileCap = 1u << 20;

// The UTF-8 text of a file's bytes into `text`, and into `format` the form
// to write it back in: the file's mark, and the line end its first line
// ends with (one without any: CRLF for UTF-16). Empty bytes say nothing and
// leave `format` as it is (the new file's). False when the bytes are no
// text: UTF-16 of an odd length or with an unpaired surrogate, UTF-8 that
// is not valid, a NUL character.
bool uxSettingsDecode(std::string_view bytes, std::string& text, UXSettingsFormat& format);
// The bytes of a text of "\n" line ends, in `format`.
std::string uxSettingsEncode(std::string_view text, UXSettingsFormat format);

// Makes the changes of one section (a key set, or removed when `remove`);
// answers whether any of them changed what the settings hold.
bool uxSettingsApply(UXSettings& settings, const std::string& section, const std::vector<UXSettingChange>& changes);

// How long a change waits for the lock another instance holds, and for
// its file to be let go of, in milliseconds, before it answers false with
// UXFileFailure::busy.
constexpr uint32_t kUXSettingsLockWaitMs = 5000;
// The wait that changes use: kUXSettingsLockWaitMs, which tests shorten.
extern uint32_t gUXSettingsLockWaitMs;

// The system calls of one change of one settings file.
class UXSettingsFileCalls {
 public:
  virtual ~UXSettingsFileCalls() = default;
  // Names the file that the change reads, locks and replaces: the path's
  // file, the last target of its links where it is one (every level,
  // relative targets taken from their link's folder). linkLoop for links
  // that lead round, brokenLink for one that leads nowhere (a change would
  // make a file where it points), else none.
  virtual UXFileFailure resolve() = 0;
  // The form the driver gives a file it makes.
  virtual UXSettingsFormat newFileFormat() const = 0;
  // Tries once to take the file's lock, a file of the user's own that no
  // other user may open, and holds it while this object lives: none, busy
  // while another instance holds it, or why it cannot be had.
  virtual UXFileFailure tryLock() = 0;
  // The file's bytes, at most kUXSettingsFileCap of them (none), gone when
  // nothing stands at its path, or why what stands there could not be read.
  // After resolve, the file it named.
  virtual UXFileFailure read(std::string& bytes) = 0;
  // Puts `bytes` in the place of the file resolve named, whole, or answers
  // why not with the old file as it was: busy while another program has the
  // file open and the system moves no file over an open one (Windows), which
  // the change tries again within the wait it gives the lock.
  virtual UXFileFailure replace(const std::string& bytes) = 0;
};

// The file's settings into `out` (nothing for a file that is not there):
// none, or why the file could not be read (notText for bytes that are no
// text).
UXFileFailure uxSettingsRead(UXSettingsFileCalls& calls, UXSettings& out);

// One change of the file: the file named, the lock beside it (waited for),
// the settings as the file holds them now, `apply` (which answers whether
// it changed anything) and, when it did, the replacement in the file's own
// form (newFileFormat for a file that was not there or empty). `settings`
// takes the file's new settings when the answer is none; a failure leaves
// it alone.
UXFileFailure uxSettingsChangeFile(UXSettingsFileCalls& calls, const std::function<bool(UXSettings&)>& apply,
                                   UXSettings& settings);

}  // namespace quorl
