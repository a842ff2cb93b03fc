#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "Platform.h"
#include "String.h"
#include "WideText.h"

namespace quorl {

// Windows sends no signal for a write past a limit or into a closed pipe:
// the write fails by itself.
void Platform::prepareProcess() {}

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

std::vector<std::string> Platform::_argumentsOf(const char16_t* commandLine) {
  std::vector<std::string> arguments;
  if (!commandLine) return arguments;
  int count = 0;
  // One block from the system, freed with LocalFree.
  std::unique_ptr<wchar_t*, decltype(&LocalFree)> list(
      CommandLineToArgvW(reinterpret_cast<const wchar_t*>(commandLine), &count), &LocalFree);
  if (!list) return arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(WideText::utf8(list.get()[i]));
  return arguments;
}

std::vector<std::string> Platform::arguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments = _argumentsOf(reinterpret_cast<const char16_t*>(GetCommandLineW()));
  if (!arguments.empty()) return arguments;
  // Not to be had from the system: the narrow ones are better than none.
  for (int i = 0; i < argc && argv && argv[i]; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

}  // namespace quorl
