// Platform: the process environment.
//
// Text inside the program is UTF-8; the Windows build reads the environment
// through the wide call and turns it into UTF-8 with WideText.
#pragma once

#include <cstdint>
#include <string>

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

 private:
  // The raw value as the platform gives it (UTF-8), or null when unset.
  // Platform.posix.cpp / Platform.win32.cpp.
  static Ref<String> _rawEnv(const char* name);
};

}  // namespace quorl
