// The process as the program readies it on POSIX: a write past a file-size
// limit or into a closed pipe fails and is seen by the writer, and does not
// end the program (a copy that did would leave its temporary file behind).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "TempDir.h"
#include "foundation/Platform.h"

namespace quorl {
namespace {

// In a child with the signals at their defaults, readies the process and
// writes what would raise one; the child's exit code is the write's errno,
// and a child ended by the signal shows as such.
TEST(PlatformPosixTest, WritesPastALimitOrIntoAClosedPipeFailAndAreSeen) {
  test::TempDir folder;
  const std::string file = folder.at("limited");
  const struct Case { const char* what; int error; } cases[] = {
      {"a write past the file-size limit", EFBIG},
      {"a write into a pipe nobody reads", EPIPE},
  };
  for (const Case& c : cases) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_DFL);
      ::signal(SIGPIPE, SIG_DFL);
      Platform::prepareProcess();
      int fd = -1;
      if (c.error == EFBIG) {
        struct rlimit limit;
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 4;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(100);
        fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      } else {
        int ends[2];
        if (::pipe(ends) != 0) ::_exit(100);
        ::close(ends[0]);
        fd = ends[1];
      }
      for (int i = 0; fd >= 0 && i < 16; ++i)
        if (::write(fd, "x", 1) != 1) ::_exit(errno);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_FALSE(WIFSIGNALED(status)) << c.what << ": ended by signal " << WTERMSIG(status);
    ASSERT_TRUE(WIFEXITED(status)) << c.what;
    EXPECT_EQ(WEXITSTATUS(status), c.error) << c.what;
  }
}

}  // namespace
}  // namespace quorl
