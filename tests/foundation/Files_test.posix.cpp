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
#include "TempDir.h"
#include "foundation/String.h"

namespace quorl {
namespace {

// Pipes and devices, named or linked, are refused at once with their
// reason, before a byte is read: a pipe nobody writes to would wait forever,
// a link to /dev/zero would never end.
TEST(FilesPosixTest, OnlyRegularFilesAreRead) {
  test::TempDir folder;
  const std::string pipe = folder.at("pipe"), toPipe = pipe + "-link", zero = folder.at("zero");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  ASSERT_EQ(symlink(pipe.c_str(), toPipe.c_str()), 0);
  ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
  for (const std::string& path : {pipe, toPipe, zero, std::string("/dev/null")}) {
    FileFailure failure = FileFailure::none;
    EXPECT_FALSE(Files::readText(String::withCString(path.c_str()), Files::kMaxLength, &failure)) << path;
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
