// The headless driver's file operations where POSIX lets a test make the
// case: permissions, links, a full disk and a second file system.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("(none)");
}

mode_t modeOf(const std::string& path) {
  struct stat info{};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

size_t entries(const std::string& folder) {
  return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class HeadlessFilesPosix : public ::testing::Test {
 protected:
  Ref<UXHeadlessDriver> d = make<UXHeadlessDriver>();
  test::TempDir folder;
};

// A copy to a new name has its source's permission bits less the umask, as
// any new file (a private file stays private, an executable executable, and
// a world-writable one is not under a strict umask); a copy onto a file
// keeps the old file's bits.
TEST_F(HeadlessFilesPosix, ANewCopyHasItsSourcesPermissionsLessTheUmask) {
  for (const mode_t umask : {mode_t(022), mode_t(077)}) {
    const mode_t saved = ::umask(umask);
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0755), mode_t(0666)}) {
      const std::string from = folder.write("source", "private"), to = folder.at("copy");
      ::chmod(from.c_str(), mode);
      EXPECT_TRUE(d->fileCopy(from.c_str(), to.c_str())) << std::oct << mode;
      EXPECT_EQ(modeOf(to), mode & ~umask) << std::oct << mode << " under " << umask;
      ::chmod(to.c_str(), 0644);
      EXPECT_TRUE(d->fileCopy(from.c_str(), to.c_str())) << std::oct << mode;
      EXPECT_EQ(modeOf(to), 0644u) << std::oct << mode << " replacing, under " << umask;
      fs::remove(to);
    }
    ::umask(saved);
  }
}

// Every refusal names its reason, and changes nothing.
TEST_F(HeadlessFilesPosix, LinksThatLeadNowhereAreNamed) {
  const std::string a = folder.write("a.txt", "alpha");
  ASSERT_EQ(::symlink(folder.at("missing").c_str(), folder.at("dangling").c_str()), 0);
  ASSERT_EQ(::symlink(folder.at("loop2").c_str(), folder.at("loop1").c_str()), 0);
  ASSERT_EQ(::symlink(folder.at("loop1").c_str(), folder.at("loop2").c_str()), 0);
  const struct Case { const char* from; const char* to; UXFileFailure why; } cases[] = {
      {"dangling", "copy.txt", UXFileFailure::brokenLink},
      {"a.txt", "dangling", UXFileFailure::brokenLink},
      {"loop1", "copy.txt", UXFileFailure::linkLoop},
      {"a.txt", "loop1", UXFileFailure::linkLoop},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(d->fileCopy(folder.at(c.from).c_str(), folder.at(c.to).c_str())) << c.from << " " << c.to;
    EXPECT_EQ(d->fileFailure(), c.why) << c.from << " " << c.to;
  }
  EXPECT_EQ(entries(folder.path), 4u);  // a.txt and the three links
  EXPECT_FALSE(fs::exists(folder.at("missing")));
}

// A move to another file system copies the file there and deletes it here,
// as a move between volumes on Windows does; what it cannot move it leaves
// where it was, saying why.
TEST_F(HeadlessFilesPosix, AMoveToAnotherFileSystemCopiesThenDeletes) {
  const std::string other = "/dev/shm/quorl-move-" + std::to_string(::getpid());
  struct stat here{}, there{};
  if (::stat(folder.path.c_str(), &here) != 0 || !fs::create_directory(other) ||
      ::stat(other.c_str(), &there) != 0 || here.st_dev == there.st_dev) {
    std::error_code ec;
    fs::remove_all(other, ec);
    GTEST_SKIP() << "no second file system at /dev/shm beside " << folder.path;
  }
  const std::string moved = folder.write("moved.txt", "moved");
  ::chmod(moved.c_str(), 0600);
  folder.write("kept.txt", "kept");
  std::ofstream(other + "/kept.txt", std::ios::binary) << "theirs";
  fs::create_directory(folder.at("sub"));
  const struct Case { const char* what; const char* name; bool moves; UXFileFailure why; } cases[] = {
      {"a file to a free name", "moved.txt", true, UXFileFailure::none},
      {"a file to a taken name", "kept.txt", false, UXFileFailure::exists},
      {"a folder", "sub", false, UXFileFailure::otherVolume},
  };
  for (const Case& c : cases) {
    const std::string from = folder.at(c.name), to = other + "/" + c.name;
    EXPECT_EQ(d->fileRename(from.c_str(), to.c_str()), c.moves) << c.what;
    EXPECT_EQ(d->fileFailure(), c.why) << c.what;
    EXPECT_EQ(fs::exists(from), !c.moves) << c.what;
  }
  EXPECT_EQ(contents(other + "/moved.txt"), "moved");
  EXPECT_EQ(modeOf(other + "/moved.txt"), 0600u);
  EXPECT_EQ(contents(other + "/kept.txt"), "theirs");
  EXPECT_EQ(contents(folder.at("kept.txt")), "kept");
  EXPECT_EQ(entries(other), 2u);  // no sibling
  fs::remove_all(other);
}

// Writes the whole text to a file of /proc in one call, as the kernel
// wants for an id map.
bool writeProc(const char* path, const std::string& text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  const bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
  if (fd >= 0) ::close(fd);
  return written;
}

// A copy onto a full disk says so and leaves neither a cut file nor its
// sibling. The disk is a small tmpfs mounted in a child of its own, which
// becomes root of a user namespace first (this user mapped to its root), so
// that it may mount there whether the tests run as root or not.
TEST_F(HeadlessFilesPosix, ACopyOntoAFullDiskSaysSo) {
  const std::string big = folder.write("big", std::string(256 * 1024, 'b'));
  fs::create_directory(folder.at("disk"));
  const uid_t uid = ::geteuid();
  const gid_t gid = ::getegid();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // 100, 101: no disk could be made here.
    const bool inNamespace = ::unshare(CLONE_NEWUSER | CLONE_NEWNS) == 0 && writeProc("/proc/self/setgroups", "deny") &&
                             writeProc("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
                             writeProc("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
    if (!inNamespace) ::_exit(100);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("quorl-full", folder.at("disk").c_str(), "tmpfs", 0, "size=64k") != 0)
      ::_exit(101);
    Ref<UXHeadlessDriver> driver = make<UXHeadlessDriver>();
    const bool copied = driver->fileCopy(big.c_str(), folder.at("disk/copy").c_str());
    const bool clean = entries(folder.at("disk")) == 0;
    ::_exit(copied ? 1 : driver->fileFailure() != UXFileFailure::noSpace ? 2 : !clean ? 3 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 100)
    GTEST_SKIP() << "no small disk to fill: the kernel or the container here refuses a user namespace";
  if (WEXITSTATUS(status) == 101) GTEST_SKIP() << "no small disk to fill: no tmpfs may be mounted in a user namespace here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: copied, 2: another reason, 3: a file left on the disk";
}

}  // namespace
}  // namespace quorl
