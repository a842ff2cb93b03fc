// The settings store: in memory, and with a settings file read once and
// written whole on every change (W32Settings.cpp on Win32).
#include <filesystem>
#include <sstream>
#include <string>
#include <system_error>

#include "foundation/Files.h"
#include "foundation/String.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessFiles.h"
#include "ux/headless/UXHeadlessInternal.h"
#include "ux/headless/UXHeadlessSettingsFile.h"

namespace quorl {

using namespace headless;

namespace {
std::string sectionOf(const char* section) { return section && *section ? std::string(section) : "Shared"; }
}  // namespace

int32_t UXHeadlessDriver::settingGet(const char* section, const char* key, char* buffer, uint32_t capacity) {
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
  if (settingsUnreadable_) return false;
  if (!settingsFile_.empty() &&
      ((v + k + sec).find_first_of("\r\n") != std::string::npos || k.find('=') != std::string::npos ||
       sec.find(']') != std::string::npos))
    return false;
  settings_[sec + '\n' + k] = v;
  return writeSettings();
}

bool UXHeadlessDriver::settingRemove(const char* section, const char* key) {
  if (settingsUnreadable_) return false;
  if (settings_.erase(sectionOf(section) + '\n' + cstr(key)) == 0) return false;
  return writeSettings();
}

void UXHeadlessDriver::setSettingsFile(const std::string& path) {
  settingsFile_ = path;
  settingsUnreadable_ = false;
  if (path.empty()) return;
  // Read as every file is: a pipe or a device in its place is no settings
  // file, and no settings file is larger than a few kilobytes.
  Ref<String> text = Files::readText(String::withBytes(path.data(), uint32_t(path.size())), 1u << 20, nullptr);
  if (!text) {
    // Only a file that is not there holds no settings. One that could not
    // be read holds settings this driver does not know: writing the next
    // change would replace them all.
    std::error_code ec;
    settingsUnreadable_ = fs::symlink_status(pathOf(path.c_str()), ec).type() != fs::file_type::not_found;
    return;
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
    settings_[section + '\n' + line.substr(0, eq)] = line.substr(eq + 1);
  }
}

// The whole file is written to a new sibling and renamed over the old one,
// so a failed write never leaves half a file.
bool UXHeadlessDriver::writeSettings() const {
  if (settingsFile_.empty()) return true;
  if (settingsUnreadable_) return false;
  const fs::path target = pathOf(settingsFile_.c_str());
  std::error_code ec;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
  std::string text, current;
  for (const auto& [composite, value] : settings_) {
    const size_t cut = composite.find('\n');
    const std::string section = composite.substr(0, cut), key = composite.substr(cut + 1);
    if (section != current || current.empty()) {
      text += '[' + section + "]\n";
      current = section;
    }
    text += key + '=' + value + '\n';
  }
  return replaceSettingsFile(target, text);
}

}  // namespace quorl
