// The settings store: an INI file in the user's application-data folder,
// read whole on every read and changed as UXSettingsFile.h says (a private
// lock waited for a bounded time, the whole new file written beside the old
// one and moved over it), through the calls of W32SettingsFile.h. A file it
// makes is UTF-16, so values, keys and sections in any script survive, and
// one in UTF-8 (the native build's) stays UTF-8. A stored value that is
// exactly the one byte 0x01 reads as no value, as the system's profile
// calls read it.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "ux/core/UXSettingsFile.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32ServicePure.h"
#include "ux/win32/W32Services.h"
#include "ux/win32/W32SettingsFile.h"
#include "ux/win32/W32Text.h"

namespace quorl {

namespace {

// The file as the file calls take it, or empty when it cannot be named.
std::wstring settingsPath() {
  const std::wstring& file = w32SettingsFile();
  return file.empty() ? file : w32LongPath(w32Utf8(file.c_str()).c_str());
}

// Keeps the outcome of a change as the last failure of a file operation.
bool outcome(UXFileFailure why) {
  w32SetFileFailure(why);
  return why == UXFileFailure::none;
}

}  // namespace

const std::wstring& w32SettingsFile() {
  static const std::wstring path = [] {
    std::u16string appdata;
    bool set = false;
    for (DWORD size = 256;;) {  // the value's size, asked again if it grew meanwhile
      std::wstring value(size, L'\0');
      const DWORD n = GetEnvironmentVariableW(L"APPDATA", value.data(), size);
      if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) break;
      if (n < size) {
        appdata.assign(value.begin(), value.begin() + n);
        set = true;
        break;
      }
      size = n;
    }
    const std::u16string file = w32SettingsFileFor(set ? &appdata : nullptr);
    if (file.empty()) return std::wstring();
    const std::wstring folder(file.begin(), file.end() - std::u16string_view(u"\\Wendle.ini").size());
    CreateDirectoryW(w32LongPath(w32Utf8(folder.c_str()).c_str()).c_str(), nullptr);  // an existing one is fine
    return std::wstring(file.begin(), file.end());
  }();
  return path;
}

int32_t UXWin32Driver::settingGet(const char* section, const char* key, char* buffer, uint32_t capacity) {
  if (!buffer || capacity < 1) return 0;
  buffer[0] = 0;
  const std::wstring path = settingsPath();
  if (!key || path.empty()) return 0;
  W32SettingsCalls calls(path);
  UXSettings settings;
  if (uxSettingsRead(calls, settings) != UXFileFailure::none) return 0;
  const auto it = settings.find(uxSettingsKey(uxSettingsSection(section), key));
  if (it == settings.end() || it->second == "\x01") return 0;
  const size_t n = String::utf8Prefix(it->second.data(), it->second.size(), capacity - 1);
  std::memcpy(buffer, it->second.data(), n);
  buffer[n] = 0;
  return 1;
}

bool UXWin32Driver::settingSet(const char* section, const char* key, const char* value) {
  return key && settingsChange(section, {{key, value ? value : ""}});
}

// A missing key is no failure: the file then holds no such key, as asked.
bool UXWin32Driver::settingRemove(const char* section, const char* key) {
  return key && settingsChange(section, {{key, "", true}});
}

bool UXWin32Driver::settingsChange(const char* section, const std::vector<UXSettingChange>& changes) {
  const std::string s = uxSettingsSection(section);
  for (const UXSettingChange& change : changes)
    if (!uxSettingStorable(s, change.key, change.remove ? "" : change.value)) return outcome(UXFileFailure::unknown);
  const std::wstring path = settingsPath();
  if (path.empty()) return outcome(UXFileFailure::tooLong);
  W32SettingsCalls calls(path);
  UXSettings settings;
  return outcome(uxSettingsChangeFile(
      calls, [&](UXSettings& now) { return uxSettingsApply(now, s, changes); }, settings));
}

}  // namespace quorl
