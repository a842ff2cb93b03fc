#include <windows.h>

#include <string>

#include "Platform.h"
#include "String.h"
#include "WideText.h"

namespace quorl {

// The environment is UTF-16 on Windows; the narrow CRT copy would be in the
// ANSI code page, so the wide call is the only faithful source.
Ref<String> Platform::_rawEnv(const char* name) {
  const std::wstring wname = WideText::wide(name);
  std::wstring value(256, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD n = GetEnvironmentVariableW(wname.c_str(), value.data(),
                                            static_cast<DWORD>(value.size()));
    if (n == 0) {
      // 0 is both "unset" and "set to the empty text"; the last error tells.
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return nullptr;
      return make<String>();
    }
    if (n < value.size()) return make<String>(WideText::utf8(value.data(), n));
    value.resize(n);  // n counts the terminating NUL when the buffer was short
  }
}

}  // namespace quorl
