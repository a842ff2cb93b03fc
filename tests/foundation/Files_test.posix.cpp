// Files on POSIX: only regular files are read (pipes and devices are refused
// without waiting); a regular file that reports size 0 is read by growing
// the buffer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "foundation/Data.h"
#include "foundation/Files.h"
#include "foundation/String.h"

namespace quorl {
namespace {

// A folder of its own with a named pipe nobody writes to: opening it
// without care would wait forever.
class IrregularFiles {
 public:
  IrregularFiles() {
    char folder[] = "/tmp/quorl-irregular-XXXXXX";
    if (!mkdtemp(folder)) return;
    folder_ = folder;
    mkfifo(at("pipe").c_str(), 0600);
    symlink("/dev/zero", at("zero").c_str());
    symlink(at("pipe").c_str(), at("to-pipe").c_str());
  }
  ~IrregularFiles() {
    for (const char* name : {"pipe", "zero", "to-pipe"}) unlink(at(name).c_str());
    rmdir(folder_.c_str());
  }
  std::string at(const char* name) const { return folder_ + "/" + name; }

 private:
  std::string folder_;
};

// Pipes, devices and folders, named or linked, are refused at once with
// their reason, before a byte is read.
TEST(FilesPosixTest, OnlyRegularFilesAreRead) {
  IrregularFiles irregular;
  const std::string paths[] = {irregular.at("pipe"), irregular.at("to-pipe"), irregular.at("zero"), "/dev/zero",
                               "/dev/null", "/tmp"};
  for (const std::string& path : paths) {
    FileFailure failure = FileFailure::none;
    EXPECT_FALSE(Files::readText(String::withCString(path.c_str()), Files::kMaxLength, &failure)) << path;
    EXPECT_EQ(failure, FileFailure::notRegular) << path;
    EXPECT_FALSE(Files::_readData(String::withCString(path.c_str()), 1 << 20, &failure)) << path;
    EXPECT_EQ(failure, FileFailure::notRegular) << path;
  }
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
