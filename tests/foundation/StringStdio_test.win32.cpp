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

// A line of the program's words with outside texts quoted in it reaches
// standard output as the status line shows it: every format character,
// control and invisible character as its escapes, an ellipsis of the text
// apart from the cut mark, the words first.
TEST(StringStdioTest, QuotedOutsideTextsArePrintedAsShown) {
  const std::string name = "a\xE2\x80\xAE\xE2\x80\x8B\xEF\xBB\xBF\xF3\xA0\x80\x81\n\\\xE2\x80\xA6";
  Ref<String> line = String::withCString("Could not read (no such file): ");
  line->append(Stdio::quote(String::withBytes(name.data(), uint32_t(name.size()))));
  line->append(String::withCString(" and "));
  line->append(Stdio::quote(String::withCString("\xE2\x81\xA6long"), 4));
  line = Stdio::lineOfQuoted(line);
  line->appendByte('\n');
  EXPECT_EQ(captureStdout([&] { Stdio::_putString(line); }),
            "Could not read (no such file): a\\xE2\\x80\\xAE\\xE2\\x80\\x8B\\xEF\\xBB\\xBF\\xF3\\xA0\\x80\\x81"
            "\\n\\\\\\\xE2\x80\xA6 and \\xE2\\x81\\xA6l\xE2\x80\xA6\n");
}

}  // namespace
}  // namespace quorl
