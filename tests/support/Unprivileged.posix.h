// Runs part of a test as an unprivileged user: root passes by permission
// bits, so cases that need them run as the user nobody in a forked child
// when the tests run as root (as they do in CI).
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace quorl::test {

constexpr uid_t kNobody = 65534;

// Runs `body` as the user nobody in a forked child when this process is
// root (as itself otherwise), and answers what the body answered. `folder`
// and everything in it are handed to that user first. Empty `skip` when it
// ran, else why not.
inline std::string asUnprivileged(const std::string& folder, const std::function<std::string()>& body,
                                  std::string& skip) {
  if (::geteuid() != 0) return body();
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (::lchown(entry.path().c_str(), kNobody, kNobody) != 0) skip = "cannot hand the folder to nobody";
  if (::chown(folder.c_str(), kNobody, kNobody) != 0) skip = "cannot hand the folder to nobody";
  int out[2];
  if (skip.empty() && ::pipe(out) != 0) skip = "no pipe";
  const pid_t child = skip.empty() ? ::fork() : -1;
  if (child == 0) {
    const bool dropped =
        ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && ::geteuid() != 0;
    const std::string result = dropped ? body() : "\x01" "cannot drop to an unprivileged user";
    // Far below a pipe's atomic size: one write carries it whole.
    ::_exit(::write(out[1], result.data(), result.size()) == ssize_t(result.size()) ? 0 : 1);
  }
  if (skip.empty() && child < 0) skip = "cannot fork";
  if (!skip.empty()) return "";
  ::close(out[1]);
  std::string result;
  char chunk[4096];
  for (ssize_t n; (n = ::read(out[0], chunk, sizeof chunk)) > 0;) result.append(chunk, size_t(n));
  ::close(out[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!result.empty() && result[0] == '\x01') {
    skip = result.substr(1);
    return "";
  }
  return result;
}

}  // namespace quorl::test
