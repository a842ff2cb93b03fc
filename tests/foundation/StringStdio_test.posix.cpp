// Stdio on POSIX: bytes reach file descriptor 1 unchanged and in order.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
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

// Every write answers whether all its bytes went out: a report a descriptor swallowed is no report.
TEST(StringStdioTest, AnswersWhetherAllBytesWentOut) {
  int pipes[2][2];
  ASSERT_EQ(pipe(pipes[0]), 0);
  ASSERT_EQ(pipe(pipes[1]), 0);
  close(pipes[1][0]);  // nobody reads the second
  const struct {
    const char* name;
    int fd;  // -1: standard output closed
    bool whole;
  } cases[] = {
      {"a pipe", pipes[0][1], true},
      {"a full disk", open("/dev/full", O_WRONLY), false},
      {"a descriptor open for reading", open("/dev/null", O_RDONLY), false},
      {"a pipe without reader", pipes[1][1], false},
      {"closed", -1, false},
  };
  void (*previous)(int) = std::signal(SIGPIPE, SIG_IGN);  // as the program does
  for (const auto& k : cases) {
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    k.fd < 0 ? close(STDOUT_FILENO) : dup2(k.fd, STDOUT_FILENO);
    const bool put = Stdio::_putString(String::withCString("report line\n"));
    const bool emitted = Stdio::_emitStr("x");
    const bool nothing = Stdio::_emitStr("") && Stdio::_putString(make<String>());
    dup2(saved, STDOUT_FILENO);
    close(saved);
    if (k.fd >= 0) close(k.fd);
    EXPECT_EQ(put, k.whole) << k.name;
    EXPECT_EQ(emitted, k.whole) << k.name;
    EXPECT_TRUE(nothing) << k.name << ": nothing to write is written whole";
  }
  std::signal(SIGPIPE, previous);
  char got[32] = {};
  EXPECT_EQ(read(pipes[0][0], got, sizeof got), 13);
  EXPECT_STREQ(got, "report line\nx");
  close(pipes[0][0]);
}

}  // namespace
}  // namespace quorl
