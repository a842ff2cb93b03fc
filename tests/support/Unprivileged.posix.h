// Runs part of a test as nobody: root, as CI runs, passes by permission bits.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace quorl::test {

// Runs `body` as nobody in a forked child, `folder` and all in it handed to
// nobody, when this process is root; else as itself. Answers the body's
// answer; an answer "\x01WHY", or no child, sets `skip` and answers "".
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
    const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0;
    const std::string result = dropped ? body() : "\x01" "cannot drop to an unprivileged user";
    ::_exit(::write(out[1], result.data(), result.size()) == ssize_t(result.size()) ? 0 : 1);
  }
  std::string result = child < 0 ? "\x01" "cannot hand the folder to nobody, or fork" : "";
  if (child > 0) {
    ::close(out[1]);
    char chunk[4096];
    for (ssize_t n; (n = ::read(out[0], chunk, sizeof chunk)) > 0;) result.append(chunk, size_t(n));
    ::close(out[0]);
    ::waitpid(child, nullptr, 0);
  }
  if (result.rfind('\x01', 0) != 0) return result;
  skip = result.substr(1);
  return "";
}

}  // namespace quorl::test
