// Stdio on Windows: a pipe (not a console) receives the UTF-8 bytes
// unchanged and in order.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "foundation/String.h"

namespace quorl {
namespace {

// Runs `body` with the standard output handle replaced by a pipe; answers
// what it wrote. Small outputs only: the pipe is read after `body` returns.
template <class F> std::string captureStdout(F body) {
  std::fflush(stdout);
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, nullptr, 1 << 16)) return "<pipe failed>";
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
  body();
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  CloseHandle(writeEnd);
  std::string out;
  char buffer[256];
  DWORD n = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
  CloseHandle(readEnd);
  return out;
}

TEST(StringStdioTest, EmitStrWritesUpToTheNul) {
  EXPECT_EQ(captureStdout([] { Stdio::_emitStr("h\xC3\xA9llo\0tail"); }), "h\xC3\xA9llo");
  EXPECT_EQ(captureStdout([] { Stdio::_emitStr(nullptr); }), "");
}

TEST(StringStdioTest, PutStringWritesEveryByte) {
  Ref<String> s = String::withBytes("a\0\xE2\x82\xAC\n", 6);
  EXPECT_EQ(captureStdout([&] { Stdio::_putString(s); }), std::string("a\0\xE2\x82\xAC\n", 6));
}

}  // namespace
}  // namespace quorl
