// The settings store: in memory, and with a settings file read again on
// every read and every change, and written whole on every change
// (W32Settings.cpp on Win32).
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/Files.h"
#include "foundation/String.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessFiles.h"
#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {

using namespace headless;

namespace {

using Settings = std::map<std::string, std::string>;  // "section\nkey" -> value

std::string sectionOf(const char* section) { return section && *section ? std::string(section) : "Shared"; }

// Adds the settings of the file at `path` to `out`. Only a path where
// nothing stands holds no settings; false when something stands there that
// could not be read (a folder, a pipe, a file over 1 MiB or one the user
// may not read, a link that leads nowhere): it holds settings this driver
// does not know, and writing the next change would replace them all.
bool readSettingsFile(const std::string& path, Settings& out) {
  // Read as every file is: a pipe or a device in its place is no settings
  // file, and no settings file is larger than a few kilobytes.
  // A file another instance made between the failed open and the look at
  // the path is read again, not taken for one that cannot be read.
  Ref<String> text;
  for (int attempt = 0; attempt < 2 && !text; ++attempt) {
    text = Files::readText(String::withBytes(path.data(), uint32_t(path.size())), 1u << 20, nullptr);
    std::error_code ec;
    if (!text && fs::symlink_status(pathOf(path.c_str()), ec).type() == fs::file_type::not_found) return true;
  }
  if (!text) return false;
  std::istringstream in{std::string(text->view())};
  std::string line, section = "Shared";
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    out[section + '\n' + line.substr(0, eq)] = line.substr(eq + 1);
  }
  return true;
}

// What the file's line format can hold: no line break anywhere, no "=" in
// a key, no "]" in a section's name.
bool storable(const std::string& section, const std::string& key, const std::string& value) {
  return (value + key + section).find_first_of("\r\n") == std::string::npos && key.find('=') == std::string::npos &&
         section.find(']') == std::string::npos;
}

std::string textOf(const Settings& settings) {
  std::string text, current;
  for (const auto& [composite, value] : settings) {
    const size_t cut = composite.find('\n');
    const std::string section = composite.substr(0, cut), key = composite.substr(cut + 1);
    if (section != current || current.empty()) {
      text += '[' + section + "]\n";
      current = section;
    }
    text += key + '=' + value + '\n';
  }
  return text;
}

// The file a settings path stands for: the last target of the links at it
// (a relative target taken from its link's folder), which is replaced so
// that the links stay (one into the user's own folder of settings, say).
// Empty when the links go round.
fs::path fileBehind(fs::path path) {
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (fs::symlink_status(path, ec).type() != fs::file_type::symlink) return path;
    const fs::path target = fs::read_symlink(path, ec);
    if (ec) return {};
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return {};
}

}  // namespace

// A read sees the file as it is now, with what another instance wrote
// since; while it cannot be read, what was read last stands.
int32_t UXHeadlessDriver::settingGet(const char* section, const char* key, char* buffer, uint32_t capacity) {
  if (!settingsFile_.empty() && !settingsUnreadable_) {
    Settings now;
    if (readSettingsFile(settingsFile_, now)) settings_ = std::move(now);
  }
  auto it = settings_.find(sectionOf(section) + '\n' + cstr(key));
  if (it == settings_.end()) {
    copyOut("", buffer, capacity);
    return 0;
  }
  if (!buffer || capacity == 0) return 0;
  copyOut(it->second, buffer, capacity);
  return 1;
}

bool UXHeadlessDriver::settingSet(const char* section, const char* key, const char* value) {
  const std::string k = cstr(key), v = cstr(value), sec = sectionOf(section);
  if (!settingsFile_.empty() && !storable(sec, k, v)) return false;
  return changeSettings([&](Settings& settings) {
    settings[sec + '\n' + k] = v;
    return true;
  });
}

bool UXHeadlessDriver::settingRemove(const char* section, const char* key) {
  const std::string composite = sectionOf(section) + '\n' + cstr(key);
  bool removed = false;
  return changeSettings([&](Settings& settings) { return removed = settings.erase(composite) > 0; }) && removed;
}

bool UXHeadlessDriver::settingsChange(const char* section, const std::vector<UXSettingChange>& changes) {
  const std::string sec = sectionOf(section);
  for (const UXSettingChange& change : changes)
    if (!settingsFile_.empty() && !storable(sec, change.key, change.remove ? "" : change.value)) return false;
  return changeSettings([&](Settings& settings) {
    bool changed = false;
    for (const UXSettingChange& change : changes) {
      const std::string composite = sec + '\n' + change.key;
      if (change.remove) {
        changed = settings.erase(composite) > 0 || changed;
        continue;
      }
      auto [at, added] = settings.try_emplace(composite, change.value);
      changed = changed || added || at->second != change.value;
      at->second = change.value;
    }
    return changed;
  });
}

void UXHeadlessDriver::setSettingsFile(const std::string& path) {
  settingsFile_ = path;
  settingsUnreadable_ = !path.empty() && !readSettingsFile(path, settings_);
}

// The file is read again just before it is written and the change made to
// what it holds, so that what another instance wrote since is kept; the
// settings file's lock is held from the read to the replacement, so that
// no other instance's change falls between them. The whole text is written
// to a new sibling and put in the file's place, so a failed write never
// leaves half a file; a change that could not be written is not made.
bool UXHeadlessDriver::changeSettings(const std::function<bool(Settings&)>& apply) {
  if (settingsFile_.empty()) {
    apply(settings_);
    return true;
  }
  if (settingsUnreadable_) return false;
  const fs::path file = fileBehind(pathOf(settingsFile_.c_str()));
  if (file.empty()) return false;
  // Only a settings path where nothing stands is made afresh (a link that
  // leads nowhere is a file that could not be read), and only for a change
  // that changes what no settings hold.
  std::error_code ec;
  const bool mayCreate = fs::symlink_status(pathOf(settingsFile_.c_str()), ec).type() == fs::file_type::not_found;
  if (Settings none; mayCreate && !apply(none)) {
    settings_.clear();
    return true;
  }
  if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
  const SettingsLock lock(file, mayCreate);
  Settings now;
  if (!lock.held() || !readSettingsFile(settingsFile_, now)) return false;
  if (apply(now) && !replaceSettingsFile(file, textOf(now))) return false;
  settings_ = std::move(now);
  return true;
}

}  // namespace quorl
