// What Windows tests under Wine ask of the host: entries that Wine never
// makes itself (a named pipe, a link to a folder, a file with a device's
// name) are made by the host's own programs, on the host's name for a path.
#pragma once

#include <windows.h>

#include <string>

#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Text.h"

namespace quorl::test {

// The host's name for a folder (a device's name in it would be taken for
// the device: name the folder, then add the leaf); empty outside Wine.
inline std::wstring hostName(const std::string& folder) {
  using UnixName = char* (*)(const wchar_t*);
  const auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  char* host = unixName ? unixName(w32Wide(folder).c_str()) : nullptr;
  if (!host) return L"";
  std::wstring name = w32Wide(host);
  HeapFree(GetProcessHeap(), 0, host);
  return name;
}

// Whether the folder lists an entry of exactly that name.
inline bool listsEntry(const std::string& folder, const std::string& name) {
  WIN32_FIND_DATAW entry{};
  W32FindHandle find(FindFirstFileW(w32Wide(folder + "\\*").c_str(), &entry));
  if (!find) return false;
  const std::wstring wide = w32Wide(name);
  do {
    if (wide == entry.cFileName) return true;
  } while (FindNextFileW(find.get(), &entry));
  return false;
}

// Runs the host's /usr/bin/PROGRAM with `arguments` (host names, quoted by
// the caller) and waits until `folder` lists `name` (`listed`) or does not;
// false outside Wine or when that does not come.
inline bool onHost(const wchar_t* program, const std::wstring& arguments, const std::string& folder,
                   const std::string& name, bool listed) {
  if (hostName(folder).empty()) return false;
  std::wstring command = std::wstring(program) + L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW((L"Z:\\usr\\bin\\" + std::wstring(program)).c_str(), command.data(), nullptr, nullptr, FALSE,
                      0, nullptr, nullptr, &startup, &process))
    return false;
  // Wine starts a host program with no process handle, and may leave other
  // words in hThread (closing that would close another handle of this
  // process: its window station, say): only a real process's are closed.
  W32File child(process.hProcess), thread(process.hProcess ? process.hThread : nullptr);
  // No handle waits for a host program: wait for the listing instead, with
  // a budget.
  for (int waited = 0; waited < 20000; waited += 10) {
    if (listsEntry(folder, name) == listed) return true;
    Sleep(10);
  }
  return false;
}

// The same for one entry of the folder named as the program's only
// argument (mkfifo, touch, rm).
inline bool onHost(const wchar_t* program, const std::string& folder, const std::string& name, bool listed) {
  const std::wstring host = hostName(folder);
  return !host.empty() && onHost(program, L"\"" + host + L"/" + w32Wide(name) + L"\"", folder, name, listed);
}

}  // namespace quorl::test
