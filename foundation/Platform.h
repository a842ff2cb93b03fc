// Platform: the process environment, and the UTF-8 / UTF-16 conversions used
// at the wide-character system calls of the Windows build.
//
// Text inside the program is UTF-8. The Windows build turns it into UTF-16
// only at the operating system's wide calls (_wfopen, GetFileAttributesW,
// GetEnvironmentVariableW) and turns what comes back into UTF-8 again; the
// conversions are portable code, so both builds test them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Object.h"

namespace quorl {

class String;

class Platform final : public Object {
 public:
  Platform() = delete;
  const char* classNameC() const override { return "Platform"; }

  // The value of an environment variable as a new String, never null. Empty
  // when the name is null, the variable is not set, its value is empty, or
  // its value is kEnvLimit bytes or longer. The name is read up to its first
  // 0 byte.
  static Ref<String> env(Ptr<const String> name);
  static constexpr uint32_t kEnvLimit = 4096;

  // The program's arguments as UTF-8. Elsewhere they are argv itself; on
  // Windows they are split again from the UTF-16 command line, because the
  // narrow argv is in the ANSI code page, which cannot name every file.
  static std::vector<std::string> arguments(int argc, const char* const* argv);
  // A UTF-16 command line split as the system splits it (quotes,
  // backslashes), each argument as UTF-8. Platform.win32.cpp only.
  static std::vector<std::string> _argumentsOf(const char16_t* commandLine);

  // UTF-8 bytes up to the first NUL as UTF-16; every byte that does not
  // begin a valid sequence becomes one U+FFFD.
  static std::u16string _utf16(const char* text);
  // UTF-16 units as UTF-8; a surrogate without its partner becomes U+FFFD.
  static Ref<String> _utf8(const char16_t* units, size_t count);

 private:
  // The raw value as the platform gives it (UTF-8), or null when unset.
  // Platform.posix.cpp / Platform.win32.cpp.
  static Ref<String> _rawEnv(const char* name);
};

}  // namespace quorl
