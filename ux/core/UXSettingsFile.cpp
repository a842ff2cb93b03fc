#include "ux/core/UXSettingsFile.h"

#include <chrono>
#include <thread>

namespace quorl {

uint32_t gUXSettingsLockWaitMs = kUXSettingsLockWaitMs;

namespace {

// Tries the lock until it is had or the wait is over: a lock another
// instance never lets go of costs a change the wait, never the program.
UXFileFailure takeLock(UXSettingsFileCalls& calls) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(gUXSettingsLockWaitMs);
  for (;;) {
    const UXFileFailure why = calls.tryLock();
    if (why != UXFileFailure::busy || Clock::now() >= end) return why;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

std::string uxSettingsSection(const char* section) {
  return section && *section ? std::string(section) : std::string("Shared");
}

bool uxSettingStorable(const std::string& section, const std::string& key, const std::string& value) {
  const auto oneLine = [](const std::string& text) { return text.find_first_of("\r\n") == std::string::npos; };
  return !key.empty() && key.front() != '[' && key.find('=') == std::string::npos && section.find(']') == std::string::npos &&
         oneLine(section) && oneLine(key) && oneLine(value);
}

void uxSettingsParse(std::string_view text, UXSettings& out) {
  std::string section = "Shared";
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    out[uxSettingsKey(section, std::string(line.substr(0, eq)))] = line.substr(eq + 1);
  }
}

std::string uxSettingsText(const UXSettings& settings) {
  std::string text, current;
  bool first = true;
  for (const auto& [composite, value] : settings) {
    const size_t cut = composite.find('\n');
    const std::string_view section = std::string_view(composite).substr(0, cut);
    if (first || section != current) {
      text.append("[").append(section).append("]\n");
      current = section;
      first = false;
    }
    text.append(composite, cut + 1).append("=").append(value).append("\n");
  }
  return text;
}

bool uxSettingsApply(UXSettings& settings, const std::string& section, const std::vector<UXSettingChange>& changes) {
  bool changed = false;
  for (const UXSettingChange& change : changes) {
    const std::string composite = uxSettingsKey(section, change.key);
    if (change.remove) {
      changed |= settings.erase(composite) > 0;
      continue;
    }
    auto [at, added] = settings.try_emplace(composite, change.value);
    changed |= added || at->second != change.value;
    at->second = change.value;
  }
  return changed;
}

UXFileFailure uxSettingsRead(UXSettingsFileCalls& calls, UXSettings& out) {
  std::string text;
  const UXFileFailure why = calls.read(text);
  if (why == UXFileFailure::gone) return UXFileFailure::none;
  if (why == UXFileFailure::none) uxSettingsParse(text, out);
  return why;
}

UXFileFailure uxSettingsChangeFile(UXSettingsFileCalls& calls, const std::function<bool(UXSettings&)>& apply,
                                   UXSettings& settings) {
  if (const UXFileFailure why = takeLock(calls); why != UXFileFailure::none) return why;
  UXSettings now;
  if (const UXFileFailure why = uxSettingsRead(calls, now); why != UXFileFailure::none) return why;
  if (apply(now))
    if (const UXFileFailure why = calls.replace(uxSettingsText(now)); why != UXFileFailure::none) return why;
  settings = std::move(now);
  return UXFileFailure::none;
}

}  // namespace quorl
