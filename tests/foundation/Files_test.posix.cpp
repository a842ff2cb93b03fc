// Files on POSIX: sources without a size in advance (pipes, devices, files
// that report size 0) are read by growing the buffer, and stop at the limit.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "foundation/Data.h"
#include "foundation/Files.h"
#include "foundation/String.h"

namespace quorl {
namespace {

// A named pipe, fed `bytes` by a writer thread once a reader opens it.
class Fifo {
 public:
  explicit Fifo(std::string bytes) : bytes_(std::move(bytes)) {
    char folder[] = "/tmp/quorl-fifo-XXXXXX";
    if (!mkdtemp(folder)) return;
    folder_ = folder;
    path_ = folder_ + "/pipe";
    if (mkfifo(path_.c_str(), 0600) != 0) return;
    writer_ = std::thread([this] {
      // A reader that stops early must not end the test with SIGPIPE: the
      // write then fails with EPIPE instead.
      sigset_t pipeSignal;
      sigemptyset(&pipeSignal);
      sigaddset(&pipeSignal, SIGPIPE);
      pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
      const int fd = open(path_.c_str(), O_WRONLY);
      if (fd < 0) return;
      size_t done = 0;
      while (done < bytes_.size()) {
        const ssize_t n = write(fd, bytes_.data() + done, bytes_.size() - done);
        if (n <= 0) break;  // the reader stopped early
        done += static_cast<size_t>(n);
      }
      close(fd);
    });
  }
  ~Fifo() {
    if (writer_.joinable()) writer_.join();
    unlink(path_.c_str());
    rmdir(folder_.c_str());
  }
  Ref<String> path() const { return String::withCString(path_.c_str()); }

 private:
  std::string bytes_;
  std::string folder_;
  std::string path_;
  std::thread writer_;
};

TEST(FilesPosixTest, APipeIsReadWholeThroughGrowingBuffers) {
  std::string bytes;
  for (int i = 0; i < 100000; ++i) bytes += static_cast<char>(i * 7);
  Fifo fifo(bytes);
  Ref<Data> data = Files::readData(fifo.path());
  ASSERT_TRUE(data);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(data->bytes()), data->length()), bytes);
}

TEST(FilesPosixTest, APipeLongerThanTheLimitGivesNothing) {
  {
    Fifo fifo(std::string(10001, 'p'));
    EXPECT_FALSE(Files::_readData(fifo.path(), 10000));
  }
  {
    Fifo fifo(std::string(10000, 'p'));
    Ref<Data> data = Files::_readData(fifo.path(), 10000);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->length(), 10000u);
  }
}

TEST(FilesPosixTest, ADeviceThatNeverEndsStopsAtTheLimit) {
  EXPECT_TRUE(Files::exists(String::withCString("/dev/zero")));
  EXPECT_FALSE(Files::_readData(String::withCString("/dev/zero"), 1 << 20));
}

TEST(FilesPosixTest, AFileThatReportsSizeZeroIsStillRead) {
  Ref<Data> data = Files::readData(String::withCString("/proc/self/status"));
  ASSERT_TRUE(data);
  EXPECT_GT(data->length(), 0u);
  const std::string text(reinterpret_cast<const char*>(data->bytes()), data->length());
  EXPECT_EQ(text.rfind("Name:", 0), 0u);
}

}  // namespace
}  // namespace quorl
