// The very bytes the Windows build writes for a settings file (UTF-16,
// little-endian, after the mark FF FE, CRLF line ends), one row a change:
// each row's settings are the row before's with one key set. Both builds
// run the table: the Windows build writes these bytes, the native build
// reads and changes them.
#pragma once

#include <string>
#include <vector>

#include "ux/core/UXSettingsFile.h"

namespace quorl::test {

struct SettingsFileBytes {
  const char *section, *key, *value;  // the key this row sets
  UXSettings settings;                // what the file then holds
  std::string windows;                // the file's bytes
};

// The bytes of a UTF-16 text in little-endian order after the mark.
inline std::string utf16FileBytes(const char16_t* text) {
  std::string bytes = "\xFF\xFE";
  for (; *text; ++text) bytes += {char(*text & 0xFF), char(*text >> 8)};
  return bytes;
}

inline const std::vector<SettingsFileBytes>& settingsFileBytes() {
  static const std::vector<SettingsFileBytes> rows = {
      {"", "k", "v", {{"Shared\nk", "v"}},
       std::string("\xFF\xFE[\0S\0h\0a\0r\0e\0d\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0", 32)},
      {"ui", "size", "10", {{"Shared\nk", "v"}, {"ui\nsize", "10"}},
       utf16FileBytes(u"[Shared]\r\nk=v\r\n[ui]\r\nsize=10\r\n")},
      {"ui", "empty", "", {{"Shared\nk", "v"}, {"ui\nempty", ""}, {"ui\nsize", "10"}},
       utf16FileBytes(u"[Shared]\r\nk=v\r\n[ui]\r\nempty=\r\nsize=10\r\n")},
      // Past the ASCII range, and past U+FFFF (a surrogate pair: 3D D8 00 DE).
      {"r\xC3\xA9glages", "\xE6\x97\xA5", "\xF0\x9F\x98\x80 x=y",
       {{"Shared\nk", "v"}, {"r\xC3\xA9glages\n\xE6\x97\xA5", "\xF0\x9F\x98\x80 x=y"}, {"ui\nempty", ""},
        {"ui\nsize", "10"}},
       utf16FileBytes(u"[Shared]\r\nk=v\r\n[r\u00E9glages]\r\n\u65E5=\U0001F600 x=y\r\n[ui]\r\nempty=\r\nsize=10\r\n")},
      {"ui", "size", "12",
       {{"Shared\nk", "v"}, {"r\xC3\xA9glages\n\xE6\x97\xA5", "\xF0\x9F\x98\x80 x=y"}, {"ui\nempty", ""},
        {"ui\nsize", "12"}},
       utf16FileBytes(u"[Shared]\r\nk=v\r\n[r\u00E9glages]\r\n\u65E5=\U0001F600 x=y\r\n[ui]\r\nempty=\r\nsize=12\r\n")},
  };
  return rows;
}

}  // namespace quorl::test
