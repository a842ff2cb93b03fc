#include <windows.h>

#include <string>

#include "Platform.h"
#include "String.h"

namespace quorl {

// The environment is UTF-16 on Windows; the narrow CRT copy would be in the
// ANSI code page, so the wide call is the only faithful source.
Ref<String> Platform::_rawEnv(const char* name) {
  const std::u16string wideName = _utf16(name);
  const wchar_t* wname = reinterpret_cast<const wchar_t*>(wideName.c_str());
  std::u16string value(256, u'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD n = GetEnvironmentVariableW(wname, reinterpret_cast<wchar_t*>(value.data()),
                                            static_cast<DWORD>(value.size()));
    if (n == 0) {
      // 0 is both "unset" and "set to the empty text"; the last error tells.
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return nullptr;
      return make<String>();
    }
    if (n < value.size()) return _utf8(value.data(), n);
    value.resize(n);  // n counts the terminating NUL when the buffer was short
  }
}

}  // namespace quorl
