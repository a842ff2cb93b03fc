#include "ThisProgram.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace quorl::test {

std::string runThisProgram(const std::string& filter, const std::string& name, const std::string& value) {
  int out[2];
  if (pipe(out) != 0) return "";
  const std::string filterArgument = "--gtest_filter=" + filter;
  const pid_t child = fork();
  if (child < 0) {
    close(out[0]);
    close(out[1]);
    return "";
  }
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    setenv(name.c_str(), value.c_str(), 1);
    execl("/proc/self/exe", "test", filterArgument.c_str(), "--gtest_brief=1", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) != 0;) {
    if (n > 0) text.append(buffer, size_t(n));
    else if (errno != EINTR) break;
  }
  close(out[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return text;
}

}  // namespace quorl::test
