// The settings store: in memory, and with a settings file read again on
// every read and changed as UXSettingsFile.h says (W32Settings.cpp on
// Win32), through the calls of UXHeadlessFiles.h.
#include <functional>
#include <string>
#include <vector>

#include "ux/core/UXSettingsFile.h"
#include "ux/headless/UXHeadlessDriver.h"
#include "ux/headless/UXHeadlessFiles.h"
#include "ux/headless/UXHeadlessInternal.h"

namespace quorl {

using namespace headless;

// A read sees the file as it is now, with what another instance wrote
// since; while it cannot be read, what was read last stands.
int32_t UXHeadlessDriver::settingGet(const char* section, const char* key, char* buffer, uint32_t capacity) {
  if (!settingsFile_.empty() && settingsUnread_ == UXFileFailure::none) {
    UXSettings now;
    if (uxSettingsRead(*settingsFileCalls(settingsFile_), now) == UXFileFailure::none) settings_ = std::move(now);
  }
  auto it = settings_.find(uxSettingsKey(uxSettingsSection(section), cstr(key)));
  if (it == settings_.end()) {
    copyOut("", buffer, capacity);
    return 0;
  }
  if (!buffer || capacity == 0) return 0;
  copyOut(it->second, buffer, capacity);
  return 1;
}

bool UXHeadlessDriver::settingSet(const char* section, const char* key, const char* value) {
  return settingsChange(section, {{cstr(key), cstr(value)}});
}

bool UXHeadlessDriver::settingRemove(const char* section, const char* key) {
  const std::string composite = uxSettingsKey(uxSettingsSection(section), cstr(key));
  bool removed = false;
  return changeSettings([&](UXSettings& settings) { return removed = settings.erase(composite) > 0; }) && removed;
}

bool UXHeadlessDriver::settingsChange(const char* section, const std::vector<UXSettingChange>& changes) {
  const std::string s = uxSettingsSection(section);
  for (const UXSettingChange& change : changes)
    if (!settingsFile_.empty() && !uxSettingStorable(s, change.key, change.remove ? "" : change.value))
      return failed(UXFileFailure::unknown);
  return changeSettings([&](UXSettings& settings) { return uxSettingsApply(settings, s, changes); });
}

void UXHeadlessDriver::setSettingsFile(const std::string& path) {
  settingsFile_ = path;
  settingsUnread_ = path.empty() ? UXFileFailure::none : uxSettingsRead(*settingsFileCalls(path), settings_);
}

// A file that was there and could not be read is never written over: it
// holds settings this driver does not know, and the next change would
// replace them all.
bool UXHeadlessDriver::changeSettings(const std::function<bool(UXSettings&)>& apply) {
  fileFailure_ = UXFileFailure::none;
  if (settingsFile_.empty()) {
    apply(settings_);
    return true;
  }
  if (settingsUnread_ != UXFileFailure::none) return failed(settingsUnread_);
  const UXFileFailure why = uxSettingsChangeFile(*settingsFileCalls(settingsFile_), apply, settings_);
  return why == UXFileFailure::none || failed(why);
}

}  // namespace quorl
