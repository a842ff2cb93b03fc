#include "ThisProgram.h"

#include <windows.h>

#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Text.h"

namespace quorl::test {

std::string runThisProgram(const std::string& filter, const std::string& name, const std::string& value) {
  wchar_t self[MAX_PATH] = {};
  if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) return "";
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=" + w32Wide(filter) + L" --gtest_brief=1";
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return "";
  W32Owner<HANDLE, &CloseHandle> reader(readEnd), writer(writeEnd);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdOutput = writeEnd;
  start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  // The variable is the child's alone: set for its start, then put back.
  const std::wstring wideName = w32Wide(name);
  std::wstring was(32768, L'\0');
  was.resize(GetEnvironmentVariableW(wideName.c_str(), was.data(), DWORD(was.size())));
  const bool wasSet = !was.empty() || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  SetEnvironmentVariableW(wideName.c_str(), w32Wide(value).c_str());
  PROCESS_INFORMATION process{};
  const bool started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
  SetEnvironmentVariableW(wideName.c_str(), wasSet ? was.c_str() : nullptr);
  writer.reset();  // the child holds the only write end: its end is the pipe's
  if (!started) return "";
  W32Owner<HANDLE, &CloseHandle> thread(process.hThread), child(process.hProcess);
  std::string text;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
  WaitForSingleObject(process.hProcess, 120000);
  return text;
}

}  // namespace quorl::test
