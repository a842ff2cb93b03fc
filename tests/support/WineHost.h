// Entries Wine never makes itself (a named pipe, a link, a file with a
// device's name), made under Wine by the host's own programs.
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
  const std::wstring name = host ? w32Wide(host) : L"";
  if (host) HeapFree(GetProcessHeap(), 0, host);
  return name;
}

// Whether the folder lists an entry of exactly that name.
inline bool listsEntry(const std::string& folder, const std::string& name) {
  WIN32_FIND_DATAW entry{};
  W32FindHandle find(FindFirstFileW(w32Wide(folder + "\\*").c_str(), &entry));
  const std::wstring wide = w32Wide(name);
  while (find && wide != entry.cFileName)
    if (!FindNextFileW(find.get(), &entry)) return false;
  return bool(find);
}

// Runs the host's /usr/bin/PROGRAM with `arguments` (host names, quoted)
// and, since no handle waits for a host program, waits with a budget until
// `folder` lists `name` or not (`listed`); false outside Wine.
inline bool onHost(const wchar_t* program, const std::wstring& arguments, const std::string& folder,
                   const std::string& name, bool listed) {
  std::wstring command = std::wstring(program) + L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (hostName(folder).empty() || !CreateProcessW((L"Z:\\usr\\bin\\" + std::wstring(program)).c_str(), command.data(),
                                                  nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  // A host program has no process handle, and Wine may leave another handle
  // of this process in hThread (its window station, say): not closed.
  W32File child(process.hProcess), thread(process.hProcess ? process.hThread : nullptr);
  for (int waited = 0; waited < 50000; waited += 10, Sleep(10))  // a host program starts slowly under load
    if (listsEntry(folder, name) == listed) return true;
  return false;
}

// The same for one entry of the folder, the program's only argument.
inline bool onHost(const wchar_t* program, const std::string& folder, const std::string& name, bool listed) {
  const std::wstring host = hostName(folder);
  return !host.empty() && onHost(program, L"\"" + host + L"/" + w32Wide(name) + L"\"", folder, name, listed);
}

// A link named `name` in `folder` to `target` (as the link holds it), made by
// the host: Wine makes none itself. "" once it is listed, else why not.
inline std::string makeHostLink(const std::string& target, const std::string& folder, const std::string& name) {
  const std::wstring host = hostName(folder);
  if (host.empty()) return "no links are made here: the host makes them, and this is not Wine";
  const std::wstring arguments = L"-s \"" + w32Wide(target) + L"\" \"" + host + L"/" + w32Wide(name) + L"\"";
  return onHost(L"ln", arguments, folder, name, true) ? "" : "the host's ln made no link";
}

// Removes such a link by the host: Wine's own removal removes its target.
inline bool removeHostLink(const std::string& folder, const std::string& name) {
  return onHost(L"rm", folder, name, false);
}

}  // namespace quorl::test
