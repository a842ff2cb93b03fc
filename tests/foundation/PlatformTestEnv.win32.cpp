#include <windows.h>

#include <string>

#include "PlatformTestEnv.h"

namespace quorl {

namespace {

std::wstring wide(const char* utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
  out.resize(static_cast<size_t>(n > 0 ? n - 1 : 0));
  return out;
}

}  // namespace

void setTestEnv(const char* name, const char* value) {
  SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str());
}
void unsetTestEnv(const char* name) { SetEnvironmentVariableW(wide(name).c_str(), nullptr); }

}  // namespace quorl
