// The settings store: an INI file read and written only through the
// private-profile W calls. The file is created with a UTF-16 byte-order
// mark, which makes the system keep it in UTF-16, so values, keys and
// sections in any script survive (the A calls would write the code page's
// bytes, losing what it cannot hold). A missing key is told from an empty value by a
// default of the one byte 0x01. Texts the line format cannot hold are
// refused rather than written damaged. Every change holds a lock beside
// the file, which the system's calls reread and rewrite whole.
#include <windows.h>

#include <cstring>
#include <vector>

#include "foundation/String.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Services.h"
#include "ux/win32/W32SiblingCopy.h"
#include "ux/win32/W32Text.h"

namespace quorl {

namespace {

constexpr wchar_t kNoValue[] = L"\x01";

std::wstring sectionOf(const char* section) {
  return section && *section ? w32Wide(section) : std::wstring(L"Shared");
}

// A new file starts as an empty UTF-16 text.
void ensureUnicodeFile(const std::wstring& path) {
  W32File file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;  // exists already, or cannot be made
  static const unsigned char bom[2] = {0xFF, 0xFE};
  DWORD written = 0;
  WriteFile(file.get(), bom, 2, &written, nullptr);
}

// What the file's line format cannot hold: a line end anywhere (it would cut
// the value and could start a key of its own), "=" in a key, "]" in a
// section name.
bool storable(const char* section, const char* key, const char* value) {
  auto has = [](const char* text, const char* bad) { return text && std::strpbrk(text, bad); };
  return key && *key && !has(section, "\r\n]") && !has(key, "\r\n=") && !has(value, "\r\n");
}

}  // namespace

const std::wstring& w32SettingsFile() {
  static const std::wstring path = [] {
    wchar_t appdata[256] = {};
    DWORD n = GetEnvironmentVariableW(L"APPDATA", appdata, 256);
    std::wstring p = n == 0 || n >= 256 ? std::wstring(L".") : std::wstring(appdata, n);
    p += L"\\Wendle";
    CreateDirectoryW(p.c_str(), nullptr);  // an existing folder is fine
    p += L"\\Wendle.ini";
    return p;
  }();
  return path;
}

int32_t UXWin32Driver::settingGet(const char* section, const char* key, char* buffer, uint32_t capacity) {
  if (!buffer || capacity < 1) return 0;
  buffer[0] = 0;
  if (!key || !*key) return 0;
  std::wstring s = sectionOf(section), k = w32Wide(key);
  // The call answers size - 1 when the value was cut: grow until it fits.
  std::vector<wchar_t> value(256);
  DWORD n = 0;
  for (;;) {
    n = GetPrivateProfileStringW(s.c_str(), k.c_str(), kNoValue, value.data(), DWORD(value.size()),
                                 w32SettingsFile().c_str());
    if (n + 1 < value.size() || value.size() >= (1u << 20)) break;
    value.resize(value.size() * 2);
  }
  if (n == 1 && value[0] == kNoValue[0]) return 0;
  std::string text = w32Utf8(value.data(), n);
  text.resize(String::utf8Prefix(text.data(), text.size(), capacity - 1));
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return 1;
}

// Every change holds the settings file's lock (w32LockBeside) around the
// system's own read, change and rewrite of the file, so that two instances
// changing it at once lose nothing; a change whose lock cannot be had is
// not made.
bool UXWin32Driver::settingSet(const char* section, const char* key, const char* value) {
  return key && settingsChange(section, {{key, value ? value : ""}});
}

bool UXWin32Driver::settingRemove(const char* section, const char* key) {
  // A null key would remove the whole section.
  if (!key || !*key) return false;
  const W32File lock = w32LockBeside(w32SettingsFile());
  return lock && WritePrivateProfileStringW(sectionOf(section).c_str(), w32Wide(key).c_str(), nullptr,
                                            w32SettingsFile().c_str()) != 0;
}

bool UXWin32Driver::settingsChange(const char* section, const std::vector<UXSettingChange>& changes) {
  for (const UXSettingChange& change : changes)
    if (!storable(section, change.key.c_str(), change.remove ? "" : change.value.c_str())) return false;
  const W32File lock = w32LockBeside(w32SettingsFile());
  if (!lock) return false;
  ensureUnicodeFile(w32SettingsFile());
  const std::wstring s = sectionOf(section);
  bool made = true;
  for (const UXSettingChange& change : changes) {
    const std::wstring value = w32Wide(change.value);
    made = WritePrivateProfileStringW(s.c_str(), w32Wide(change.key).c_str(), change.remove ? nullptr : value.c_str(),
                                      w32SettingsFile().c_str()) != 0 &&
           made;
  }
  return made;
}

}  // namespace quorl
