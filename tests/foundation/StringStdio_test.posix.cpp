// Stdio on POSIX: bytes reach file descriptor 1 unchanged and in order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "foundation/String.h"

namespace quorl {
namespace {

// Runs `body` with standard output redirected into a pipe; answers what it
// wrote. Small outputs only: the pipe is read after `body` returns.
template <class F> std::string captureStdout(F body) {
  std::fflush(stdout);
  int fds[2];
  if (pipe(fds) != 0) return "<pipe failed>";
  const int saved = dup(STDOUT_FILENO);
  dup2(fds[1], STDOUT_FILENO);
  close(fds[1]);
  body();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string out;
  char buffer[256];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  return out;
}

TEST(StringStdioTest, EmitStrWritesUpToTheNul) {
  EXPECT_EQ(captureStdout([] { Stdio::_emitStr("h\xC3\xA9llo\0tail"); }), "h\xC3\xA9llo");
  EXPECT_EQ(captureStdout([] { Stdio::_emitStr(""); }), "");
  EXPECT_EQ(captureStdout([] { Stdio::_emitStr(nullptr); }), "");
}

TEST(StringStdioTest, PutStringWritesEveryByte) {
  Ref<String> s = String::withBytes("a\0b\n", 4);
  EXPECT_EQ(captureStdout([&] { Stdio::_putString(s); }), std::string("a\0b\n", 4));
  EXPECT_EQ(captureStdout([] { Stdio::_putString(make<String>()); }), "");
}

TEST(StringStdioTest, KeepsOrderWithCStdio) {
  const std::string out = captureStdout([] {
    std::fputs("one ", stdout);  // still in the C buffer when Stdio writes
    Stdio::_emitStr("two ");
    std::fputs("three", stdout);
  });
  EXPECT_EQ(out, "one two three");
}

}  // namespace
}  // namespace quorl
