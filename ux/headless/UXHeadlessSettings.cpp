// The settings store: in memory, and with a settings file read again on
// every read and every change, and written whole on every change
// (W32Settings.cpp on Win32).
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <system_error>

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
  Ref<String> text = Files::readText(String::withBytes(path.data(), uint32_t(path.size())), 1u << 20, nullptr);
  if (!text) {
    std::error_code ec;
    return fs::symlink_status(pathOf(path.c_str()), ec).type() == fs::file_type::not_found;
  }
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
  if (!settingsFile_.empty() &&
      ((v + k + sec).find_first_of("\r\n") != std::string::npos || k.find('=') != std::string::npos ||
       sec.find(']') != std::string::npos))
    return false;
  return changeSetting(sec + '\n' + k, &v);
}

bool UXHeadlessDriver::settingRemove(const char* section, const char* key) {
  return changeSetting(sectionOf(section) + '\n' + cstr(key), nullptr);
}

void UXHeadlessDriver::setSettingsFile(const std::string& path) {
  settingsFile_ = path;
  settingsUnreadable_ = !path.empty() && !readSettingsFile(path, settings_);
}

// The file is read again just before it is written and the one change made
// to what it holds, so that what another instance wrote since is kept. The
// whole text is written to a new sibling and put in the file's place, so a
// failed write never leaves half a file; a change that could not be written
// is not made.
bool UXHeadlessDriver::changeSetting(const std::string& composite, const std::string* value) {
  const auto apply = [&](Settings& settings) {
    if (!value) return settings.erase(composite) > 0;
    settings[composite] = *value;
    return true;
  };
  if (settingsFile_.empty()) return apply(settings_);
  Settings now;
  if (settingsUnreadable_ || !readSettingsFile(settingsFile_, now)) return false;
  const bool changed = apply(now);
  if (changed) {
    const fs::path file = fileBehind(pathOf(settingsFile_.c_str()));
    std::error_code ec;
    if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
    if (file.empty() || !replaceSettingsFile(file, textOf(now))) return false;
  }
  settings_ = std::move(now);
  return changed;
}

}  // namespace quorl
