#include "ux/core/UXSettingsFile.h"

#include <chrono>
#include <thread>

#include "foundation/String.h"
#include "foundation/WideText.h"

namespace quorl {

uint32_t gUXSettingsLockWaitMs = kUXSettingsLockWaitMs;

namespace {

using Clock = std::chrono::steady_clock;

// Tries a step (the lock, the replacement) until it is not busy or the
// change's wait is over: a lock another instance never lets go of costs a
// change the wait, never the program.
UXFileFailure untilNotBusy(const std::function<UXFileFailure()>& step, Clock::time_point end) {
  for (;;) {
    const UXFileFailure why = step();
    if (why != UXFileFailure::busy || Clock::now() >= end) return why;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF", kUtf16Mark = "\xFF\xFE";

// The file's settings as they stand and the form to write them back in:
// none, or why they cannot be had (a file that is not there holds none).
UXFileFailure readSettings(UXSettingsFileCalls& calls, UXSettings& out, UXSettingsFormat& format) {
  std::string bytes, text;
  const UXFileFailure why = calls.read(bytes);
  if (why == UXFileFailure::gone) return UXFileFailure::none;
  if (why != UXFileFailure::none) return why;
  if (!uxSettingsDecode(bytes, text, format)) return UXFileFailure::notText;
  uxSettingsParse(text, out);
  return UXFileFailure::none;
}

}  // namespace

bool uxSettingsDecode(std::string_view bytes, std::string& text, UXSettingsFormat& format) {
  text.clear();
  if (bytes.empty()) return true;
  UXSettingsEncoding encoding = UXSettingsEncoding::utf8;
  if (bytes.starts_with(kUtf16Mark)) {
    encoding = UXSettingsEncoding::utf16;
    if (!WideText::utf8FromBytes(bytes.data() + 2, bytes.size() - 2, false, text)) return false;
  } else {
    if (bytes.starts_with(kUtf8Mark)) {
      encoding = UXSettingsEncoding::utf8Mark;
      bytes.remove_prefix(kUtf8Mark.size());
    }
    text = bytes;
  }
  if (text.find('\0') != std::string::npos || !String::withBytes(text.data(), uint32_t(text.size()))->isValidUtf8()) {
    text.clear();
    return false;
  }
  const size_t end = text.find('\n');
  format = {encoding, end == std::string::npos ? encoding == UXSettingsEncoding::utf16 : end > 0 && text[end - 1] == '\r'};
  return true;
}

std::string uxSettingsEncode(std::string_view text, UXSettingsFormat format) {
  // A line that ends in CR (a value read from a file so) gets CRLF in either
  // form: a read takes one CR before LF for the line end.
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (format.crlf || (i > 0 && text[i - 1] == '\r'))) lines.push_back('\r');
    lines.push_back(text[i]);
  }
  switch (format.encoding) {
    case UXSettingsEncoding::utf8: return lines;
    case UXSettingsEncoding::utf8Mark: return std::string(kUtf8Mark) + lines;
    case UXSettingsEncoding::utf16: break;
  }
  std::string bytes(kUtf16Mark);
  for (const char16_t unit : WideText::utf16(lines.data(), lines.size())) {
    bytes.push_back(char(unit & 0xFF));
    bytes.push_back(char(unit >> 8));
  }
  return bytes;
}

std::string uxSettingsSection(const char* section) {
  return section && *section ? std::string(section) : std::string("Shared");
}

bool uxSettingStorable(const std::string& section, const std::string& key, const std::string& value) {
  // A NUL or bytes that are not UTF-8 would leave a file no read takes.
  const auto oneLine = [](const std::string& text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos &&
           String::withBytes(text.data(), uint32_t(text.size()))->isValidUtf8();
  };
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
  UXSettingsFormat format;
  return readSettings(calls, out, format);
}

UXFileFailure uxSettingsChangeFile(UXSettingsFileCalls& calls, const std::function<bool(UXSettings&)>& apply,
                                   UXSettings& settings) {
  if (const UXFileFailure why = calls.resolve(); why != UXFileFailure::none) return why;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(gUXSettingsLockWaitMs);
  if (const UXFileFailure why = untilNotBusy([&] { return calls.tryLock(); }, end); why != UXFileFailure::none)
    return why;
  UXSettings now;
  UXSettingsFormat format = calls.newFileFormat();
  if (const UXFileFailure why = readSettings(calls, now, format); why != UXFileFailure::none) return why;
  if (apply(now)) {
    const std::string bytes = uxSettingsEncode(uxSettingsText(now), format);
    if (bytes.size() > kUXSettingsFileCap) return UXFileFailure::tooLarge;
    if (const UXFileFailure why = untilNotBusy([&] { return calls.replace(bytes); }, end); why != UXFileFailure::none)
      return why;
  }
  settings = std::move(now);
  return UXFileFailure::none;
}

}  // namespace quorl
