#include <windows.h>

#include <cstdio>

#include "LogCapture.h"

namespace quorl {

// The standard output handle is swapped for a pipe while `body` runs; the
// pipe's buffer is large enough for what the logging tests write.
std::string captureStdout(const std::function<void()>& body) {
  std::fflush(stdout);
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, nullptr, 1 << 16)) return "<no pipe>";
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
  body();
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  CloseHandle(writeEnd);
  std::string out;
  char buffer[512];
  DWORD n = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
  CloseHandle(readEnd);
  return out;
}

}  // namespace quorl
