#include <windows.h>

#include <string>

#include "UXTestEnv.h"

namespace quorl::test {

namespace {
std::wstring wide(const char* text) {
  std::wstring out;
  if (!text) return out;
  int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (n <= 0) return out;
  out.resize(size_t(n));
  MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
  out.resize(size_t(n - 1));
  return out;
}
}  // namespace

void setEnv(const char* name, const char* value) {
  std::wstring wname = wide(name);
  if (value) {
    std::wstring wvalue = wide(value);
    SetEnvironmentVariableW(wname.c_str(), wvalue.c_str());
  } else {
    SetEnvironmentVariableW(wname.c_str(), nullptr);
  }
}

}  // namespace quorl::test
