// The headless driver's file operations where POSIX lets a test make the
// case: permissions, links, a full disk, a second file system, and a kernel
// without renameat2.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "TempDir.h"
#include "Unprivileged.posix.h"
#include "ux/core/UXSiblingCopy.h"
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {
namespace {

namespace fs = std::filesystem;

constexpr int kChildSkips = 100;  // a child's exit status: the case cannot be made here

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

// Runs `body` in a forked child and answers its exit status (-1 when it did
// not exit): for what a test may not do to its own process.
int inChild(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
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

// A folder on another file system than the test's folder (/dev/shm),
// removed afterwards; the tests skip where there is none.
class HeadlessMovesPosix : public HeadlessFilesPosix {
 protected:
  const std::string other = "/dev/shm/quorl-move-" + std::to_string(::getpid());
  void SetUp() override {
    struct stat here{}, there{};
    if (::stat(folder.path.c_str(), &here) != 0 || !fs::create_directory(other) ||
        ::stat(other.c_str(), &there) != 0 || here.st_dev == there.st_dev)
      GTEST_SKIP() << "no second file system at /dev/shm beside " << folder.path;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(other, ec);
  }
};

// A move to another file system copies the file there and deletes it here,
// as a move between volumes on Windows does, keeping its times, permissions
// and (where allowed: as root) owner and group. Only the file copied is
// deleted: one that another program put in its place, or wrote, meanwhile
// stays beside the copy. What it cannot move it leaves where it was, saying
// why.
TEST_F(HeadlessMovesPosix, AMoveToAnotherFileSystemCopiesThenDeletes) {
  const std::string moved = folder.write("moved.txt", "moved");
  ::chmod(moved.c_str(), 0640);
  const struct timespec times[2] = {{1000000000, 5}, {1200000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, moved.c_str(), times, 0), 0);
  const bool root = ::geteuid() == 0;
  ASSERT_TRUE(!root || ::chown(moved.c_str(), 4321, 1234) == 0);
  folder.write("kept.txt", "kept");
  std::ofstream(other + "/kept.txt", std::ios::binary) << "theirs";
  fs::create_directory(folder.at("sub"));
  enum Rival { none, replaces, writes };
  const struct Case { const char* what; const char* name; Rival rival; bool moves; UXFileFailure why; } cases[] = {
      {"a file to a free name", "moved.txt", none, true, UXFileFailure::none},
      {"a file to a taken name", "kept.txt", none, false, UXFileFailure::exists},
      {"a folder", "sub", none, false, UXFileFailure::otherVolume},
      {"a file replaced meanwhile", "replaced.txt", replaces, false, UXFileFailure::changed},
      {"a file written meanwhile", "written.txt", writes, false, UXFileFailure::changed},
  };
  for (const Case& c : cases) {
    const std::string from = folder.at(c.name), to = other + "/" + c.name;
    if (c.rival != none) folder.write(c.name, "copied");
    gUXBeforeMoveDelete = [&](const std::string& source) {
      if (c.rival == replaces) fs::rename(folder.write("new", "theirs"), source);
      if (c.rival == writes) folder.write(c.name, "theirs");
    };
    EXPECT_EQ(d->fileRename(from.c_str(), to.c_str()), c.moves) << c.what;
    gUXBeforeMoveDelete = nullptr;
    EXPECT_EQ(d->fileFailure(), c.why) << c.what;
    EXPECT_EQ(fs::exists(from), !c.moves) << c.what;
    if (c.rival != none) {
      EXPECT_EQ(contents(from) + " " + contents(to), "theirs copied") << c.what;
    }
  }
  struct stat info{};
  ASSERT_EQ(::stat((other + "/moved.txt").c_str(), &info), 0);
  EXPECT_EQ(contents(other + "/moved.txt"), "moved");
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec, 1200000000123456789LL);
  EXPECT_TRUE(!root || (info.st_uid == 4321 && info.st_gid == 1234)) << info.st_uid << ":" << info.st_gid;
  EXPECT_EQ(contents(other + "/kept.txt"), "theirs");
  EXPECT_EQ(contents(folder.at("kept.txt")), "kept");
  EXPECT_EQ(entries(other), 4u);  // moved, kept and the two rivals' copies: no sibling
}

// A move whose source may not be deleted (its folder is read-only to the
// user; root passes by that, so the move runs as nobody) takes its copy back
// from the other file system and keeps the source.
TEST_F(HeadlessMovesPosix, AMoveThatCannotDeleteItsSourceTakesItsCopyBack) {
  fs::create_directory(folder.at("locked"));
  const std::string from = folder.write("locked/file.txt", "stays"), to = other + "/file.txt";
  ::chmod(folder.at("locked").c_str(), 0555);
  ::chmod(other.c_str(), 0777);
  std::string skip;
  const std::string result = test::asUnprivileged(folder.path, [&] {
    if (::access(from.c_str(), R_OK) != 0) return std::string("\x01" "the test's folder cannot be read");
    Ref<UXHeadlessDriver> driver = make<UXHeadlessDriver>();
    if (driver->fileRename(from.c_str(), to.c_str())) return std::string("moved");
    return std::string(driver->fileFailure() == UXFileFailure::permission ? "" : "another reason");
  }, skip);
  if (!skip.empty()) GTEST_SKIP() << skip;
  EXPECT_EQ(result, "");
  EXPECT_EQ(entries(other), 0u);
  EXPECT_EQ(contents(from), "stays");
}

// Where renameat2 is missing (ENOSYS: an older kernel, a seccomp filter)
// or refused (EINVAL: a file system without it), renames and copies to a
// new name still work and still never replace a file, not even one that
// appears meanwhile. A seccomp filter in a child gives each answer.
TEST_F(HeadlessFilesPosix, WithoutRenameat2NothingIsReplaced) {
#if !defined(__x86_64__)
  GTEST_SKIP() << "the seccomp filter is written for x86-64";
#endif
  for (const int answer : {ENOSYS, EINVAL}) {
    test::TempDir place;
    const std::string a = place.write("a.txt", "alpha");
    place.write("kept.txt", "kept");
    const int status = inChild([&] {
      // Calls of another architecture pass; renameat2 gets the answer.
      struct sock_filter filter[] = {
          BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
          BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
          BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
          BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 0, 1),
          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (uint32_t(answer) & SECCOMP_RET_DATA)),
          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      };
      struct sock_fprog program = {sizeof filter / sizeof filter[0], filter};
      if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
          ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) != 0)
        return kChildSkips;
      if (::syscall(SYS_renameat2, AT_FDCWD, a.c_str(), AT_FDCWD, place.at("x").c_str(), 0) == 0 || errno != answer)
        return 10;
      Ref<UXHeadlessDriver> driver = make<UXHeadlessDriver>();
      if (!driver->fileRename(a.c_str(), place.at("b.txt").c_str())) return 1;
      if (driver->fileRename(place.at("b.txt").c_str(), place.at("kept.txt").c_str()) ||
          driver->fileFailure() != UXFileFailure::exists)
        return 2;
      if (!driver->fileCopy(place.at("b.txt").c_str(), place.at("c.txt").c_str())) return 3;
      gUXBeforeSiblingPlace = [&](const std::string&) { place.write("d.txt", "theirs"); };
      if (driver->fileCopy(place.at("b.txt").c_str(), place.at("d.txt").c_str()) ||
          driver->fileFailure() != UXFileFailure::exists)
        return 4;
      return 0;
    });
    if (status == kChildSkips) GTEST_SKIP() << "no seccomp filter can be installed here";
    EXPECT_EQ(status, 0) << answer << " 1: a rename failed, 2: a rename replaced, 3: a copy failed, 4: a copy replaced";
    EXPECT_EQ(contents(place.at("b.txt")) + contents(place.at("c.txt")), "alphaalpha") << answer;
    EXPECT_EQ(contents(place.at("kept.txt")) + contents(place.at("d.txt")), "kepttheirs") << answer;
    EXPECT_EQ(entries(place.path), 4u) << answer;  // b, c, d and kept: no sibling, no second name
  }
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
