// Platform: the process environment.
//
// Text inside the program is UTF-8; the Windows build reads the environment
// through the wide call and turns it into UTF-8 with WideText.
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
  // Whether the variable is set to a value that env cannot give (kEnvLimit
  // bytes or longer), which env answers as empty: a caller must not take
  // that for unset.
  static bool envTooLong(Ptr<const String> name);

  // Readies the process before anything else runs: on POSIX the signals
  // that a write past a file-size limit (SIGXFSZ) or into a closed pipe
  // (SIGPIPE) sends are ignored, so that the write fails and is reported
  // instead of ending the program midway (a copy's temporary file left
  // behind). Nothing to do on Windows.
  static void prepareProcess();

  // The program's arguments as UTF-8. Elsewhere they are argv itself; on
  // Windows they are split again from the UTF-16 command line, because the
  // narrow argv is in the ANSI code page, which cannot name every file.
  static std::vector<std::string> arguments(int argc, const char* const* argv);
  // A UTF-16 command line split as the system splits it (quotes,
  // backslashes), each argument as UTF-8. Platform.win32.cpp only.
  static std::vector<std::string> _argumentsOf(const char16_t* commandLine);

 private:
  // The raw value as the platform gives it (UTF-8), or null when unset.
  // Platform.posix.cpp / Platform.win32.cpp.
  static Ref<String> _rawEnv(const char* name);
};

}  // namespace quorl
