// Runs part of a test as nobody: root, as CI runs, passes by permission bits.
#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

namespace quorl::test {

// How a child ended, when not well: "" for status 0, else its signal or
// status in words.
inline std::string childEnd(int status) {
  if (WIFSIGNALED(status))
    return "died of signal " + std::to_string(WTERMSIG(status)) + " (" + ::strsignal(WTERMSIG(status)) + ")";
  if (!WIFEXITED(status)) return "ended with wait status " + std::to_string(status);
  return WEXITSTATUS(status) == 0 ? "" : "exited with status " + std::to_string(WEXITSTATUS(status));
}

// Runs `body` as nobody in a forked child, `folder` and all in it handed to
// nobody, when this process is root; else as itself. Answers the body's
// answer; an answer "\x01WHY", or no child, sets `skip` and answers "".
// A child that dies, exits non-zero or fails a check of its own fails the
// test and answers how it ended: what it said before then is no answer.
inline std::string asUnprivileged(const std::string& folder, const std::function<std::string()>& body,
                                  std::string& skip) {
  if (::geteuid() != 0) return body();
  constexpr uid_t nobody = 65534;
  bool handed = ::chown(folder.c_str(), nobody, nobody) == 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    handed = ::lchown(entry.path().c_str(), nobody, nobody) == 0 && handed;
  int out[2];
  const pid_t child = handed && ::pipe(out) == 0 ? ::fork() : -1;
  if (child == 0) {
    const bool failedBefore = ::testing::Test::HasFailure();
    const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0;
    const std::string result = dropped ? body() : "\x01" "cannot drop to an unprivileged user";
    const bool written = ::write(out[1], result.data(), result.size()) == ssize_t(result.size());
    // A failed check in the child is printed there (before _exit drops what
    // stdout holds) and lost with it: its status carries it to the parent
    // (which knows of failures before it).
    std::fflush(stdout);
    ::_exit(!written ? 1 : ::testing::Test::HasFailure() && !failedBefore ? 2 : 0);
  }
  std::string result = child < 0 ? "\x01" "cannot hand the folder to nobody, or fork" : "";
  if (child > 0) {
    ::close(out[1]);
    char chunk[4096];
    for (ssize_t n; (n = ::read(out[0], chunk, sizeof chunk)) > 0;) result.append(chunk, size_t(n));
    ::close(out[0]);
    int status = 0;
    pid_t waited;
    do waited = ::waitpid(child, &status, 0);
    while (waited < 0 && errno == EINTR);
    const std::string end = waited == child ? childEnd(status) : "could not be waited for";
    if (!end.empty()) {
      ADD_FAILURE() << "the unprivileged child " << end;
      return "the unprivileged child " + end;
    }
  }
  if (result.rfind('\x01', 0) != 0) return result;
  skip = result.substr(1);
  return "";
}

}  // namespace quorl::test
