#include <windows.h>

#include <string>

#include "UXTestEnv.h"
#include "ux/win32/W32Text.h"

namespace quorl::test {

void setEnv(const char* name, const char* value) {
  std::wstring wname = w32Wide(name);
  if (value) {
    std::wstring wvalue = w32Wide(value);
    SetEnvironmentVariableW(wname.c_str(), wvalue.c_str());
  } else {
    SetEnvironmentVariableW(wname.c_str(), nullptr);
  }
}

}  // namespace quorl::test
