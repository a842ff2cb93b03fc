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

// Every write answers whether all its bytes went out: a report a handle swallowed is no report.
TEST(StringStdioTest, AnswersWhetherAllBytesWentOut) {
  HANDLE readEnd = nullptr, writeEnd = nullptr, unread = nullptr, unreadWrite = nullptr;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 1 << 16));
  ASSERT_TRUE(CreatePipe(&unread, &unreadWrite, nullptr, 1 << 16));
  CloseHandle(unread);  // nobody reads the second
  char folder[MAX_PATH];
  ASSERT_GT(GetTempPathA(MAX_PATH, folder), 0u);
  const std::string file = std::string(folder) + "quorl-stdio-readonly.txt";
  CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const struct {
    const char* name;
    HANDLE handle;
    bool whole;
  } cases[] = {
      {"a pipe", writeEnd, true},
      {"a file opened for reading",
       CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr), false},
      {"a pipe without reader", unreadWrite, false},
      {"no standard output", nullptr, false},
  };
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  for (const auto& k : cases) {
    std::fflush(stdout);
    SetStdHandle(STD_OUTPUT_HANDLE, k.handle);
    const bool put = Stdio::_putString(String::withCString("report line\n"));
    const bool emitted = Stdio::_emitStr("x");
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    if (k.handle) CloseHandle(k.handle);
    EXPECT_EQ(put, k.whole) << k.name;
    EXPECT_EQ(emitted, k.whole) << k.name;
  }
  DeleteFileA(file.c_str());
  char got[32] = {};
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(readEnd, got, sizeof got - 1, &n, nullptr));
  EXPECT_STREQ(got, "report line\nx");
  CloseHandle(readEnd);
}

}  // namespace
}  // namespace quorl
