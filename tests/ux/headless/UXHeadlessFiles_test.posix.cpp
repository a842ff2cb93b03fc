// The headless driver's file operations where POSIX lets a test make the
// case: permissions, links, a full disk and a second file system.
#include <gtest/gtest.h>
#include <fcntl.h>
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
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"
#include "Unprivileged.posix.h"
#include "ux/core/UXSiblingCopy.h"
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

// A new folder named for `name` on a second file system (/dev/shm), or ""
// (and no folder) when there is none beside `folder`.
std::string otherDisk(const std::string& folder, const std::string& name) {
  const std::string other = "/dev/shm/quorl-" + name + "-" + std::to_string(::getpid());
  struct stat here{}, there{};
  if (::stat(folder.c_str(), &here) == 0 && fs::create_directory(other) && ::stat(other.c_str(), &there) == 0 &&
      here.st_dev != there.st_dev)
    return other;
  std::error_code ec;
  fs::remove_all(other, ec);
  return "";
}

class HeadlessFilesPosix : public ::testing::Test {
 protected:
  Ref<UXHeadlessDriver> d = make<UXHeadlessDriver>();
  test::TempDir folder;
};

// A copy to a new name has its source's permission bits less the umask, as
// any new file: a private file stays private, an executable executable.
TEST_F(HeadlessFilesPosix, ANewCopyHasItsSourcesPermissions) {
  for (const mode_t mask : {mode_t(022), mode_t(077)}) {
    const mode_t before = ::umask(mask);
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0755), mode_t(0666)}) {
      const std::string from = folder.write("source", "private"), to = folder.at("copy");
      ::chmod(from.c_str(), mode);
      EXPECT_TRUE(d->fileCopy(from.c_str(), to.c_str())) << std::oct << mode;
      EXPECT_EQ(modeOf(to), mode & ~mask) << std::oct << mode << " under " << mask;
      fs::remove(to);
    }
    ::umask(before);
  }
}

// asUnprivileged: a check failed in its child fails the test; else the child's answer is given. Each row runs
// it in a child of its own, whose status tells whether it failed (3) or gave the answer (0).
TEST_F(HeadlessFilesPosix, AnUnprivilegedChildsFailedCheckFailsTheTest) {
  const struct {
    const char* name;
    bool check;
    int status;
  } cases[] = {{"a failed check", false, 3}, {"a passing body", true, 0}};
  for (const auto& c : cases) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);  // the planted failure is no news
      std::string skip;
      const std::string got = test::asUnprivileged(
          folder.path,
          [&] {
            EXPECT_TRUE(c.check);
            return std::string("answer");
          },
          skip);
      std::fflush(stdout);
      ::_exit(::testing::Test::HasFailure() ? 3 : got == "answer" || !skip.empty() ? 0 : 4);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child) << c.name;
    EXPECT_EQ(test::childEnd(status), c.status ? "exited with status " + std::to_string(c.status) : "") << c.name;
  }
}

// A copy that replaces a file keeps the old file's bits and group, and a
// move to another file system its own; where the user may not give that
// group (nobody, played through asUnprivileged), the file keeps no group bits.
TEST_F(HeadlessFilesPosix, AFileKeepsItsGroupOrNoGroupBits) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file another group to test with";
  const std::string other = otherDisk(folder.path, "group");
  ::chmod(other.c_str(), 0777);
  const struct { bool asNobody, move; const char* kept; } cases[] = {  // the old file's group is 4321
      {false, false, "660 4321 new"}, {true, false, "600 65534 new"}, {false, true, "660 4321 old"},
      {true, true, "600 65534 old"}};
  for (const auto& c : cases) {
    if (c.move && other.empty()) continue;
    test::TempDir shared;  // not handed to nobody: the old file keeps its group
    ::chmod(shared.path.c_str(), 0777);
    const std::string old = shared.write("old.txt", "old"), from = c.move ? old : folder.write("new.txt", "new"),
                      to = c.move ? other + "/old.txt" : old;
    EXPECT_EQ(::chown(old.c_str(), c.asNobody ? 65534 : 0, 4321) | ::chmod(old.c_str(), 0660), 0);
    const auto act = [&] {
      Ref<UXHeadlessDriver> driver = make<UXHeadlessDriver>();
      struct stat info{};
      if (!(c.move ? driver->fileRename(from.c_str(), to.c_str()) : driver->fileCopy(from.c_str(), to.c_str())) ||
          ::stat(to.c_str(), &info) != 0)
        return std::string("not done");
      char kept[32];
      std::snprintf(kept, sizeof kept, "%o %u ", unsigned(info.st_mode & 07777), unsigned(info.st_gid));
      return kept + contents(to);
    };
    std::string skip;
    const std::string got = c.asNobody ? test::asUnprivileged(folder.path, act, skip) : act();
    if (c.move) fs::remove(to);
    if (!skip.empty()) break;
    EXPECT_EQ(got, c.kept) << (c.move ? "move" : "copy") << (c.asNobody ? " by nobody" : "");
  }
  std::error_code ec;
  if (!other.empty()) fs::remove_all(other, ec);
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
// where it was, saying why. It keeps the file's bits, times and (as root)
// owner, and deletes no source that was replaced or written meanwhile.
TEST_F(HeadlessFilesPosix, AMoveToAnotherFileSystemCopiesThenDeletes) {
  const std::string other = otherDisk(folder.path, "move");
  if (other.empty()) GTEST_SKIP() << "no second file system at /dev/shm beside " << folder.path;
  const std::string moved = folder.write("moved.txt", "moved");
  ::chmod(moved.c_str(), 0666);
  const struct timespec times[2] = {{1000000000, 5}, {1200000000, 123456789}};
  const bool root = ::geteuid() == 0;
  EXPECT_TRUE(::utimensat(AT_FDCWD, moved.c_str(), times, 0) == 0 && (!root || ::chown(moved.c_str(), 4321, 1234) == 0));
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
    EXPECT_EQ(d->fileFailure(), c.why) << c.what;
    EXPECT_EQ(fs::exists(from), !c.moves) << c.what;
    if (c.rival != none) {
      EXPECT_EQ(contents(from) + " " + contents(to), "theirs copied") << c.what;
    }
  }
  gUXBeforeMoveDelete = nullptr;
  struct stat info{};
  ::stat((other + "/moved.txt").c_str(), &info);
  EXPECT_EQ(contents(other + "/moved.txt"), "moved");
  EXPECT_EQ(modeOf(other + "/moved.txt"), 0666u);
  EXPECT_EQ(info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec, 1200000000123456789LL);
  EXPECT_TRUE(!root || (info.st_uid == 4321 && info.st_gid == 1234)) << info.st_uid << ":" << info.st_gid;
  EXPECT_EQ(contents(other + "/kept.txt"), "theirs");
  EXPECT_EQ(contents(folder.at("kept.txt")), "kept");
  EXPECT_EQ(entries(other), 4u);  // no sibling

  // A source its user may not delete (root passes by that: as nobody): the
  // copy on the other disk goes again and the source stays; but a file
  // another program put at the target meanwhile is theirs, and stays.
  fs::create_directory(folder.at("locked"));
  const std::string locked = folder.write("locked/file.txt", "stays"), target = other + "/file.txt";
  ::chmod(folder.at("locked").c_str(), 0555);
  ::chmod(other.c_str(), 0777);
  std::string skip;
  EXPECT_EQ(test::asUnprivileged(folder.path, [&] {
    if (::access(locked.c_str(), R_OK) != 0) return std::string("\x01" "the test's folder cannot be read");
    Ref<UXHeadlessDriver> nobody = make<UXHeadlessDriver>();
    std::string left;
    for (const bool rival : {false, true}) {
      gUXBeforeMoveDelete = [&](const std::string&) {
        if (rival) std::ofstream(other + "/rival", std::ios::binary) << "theirs", fs::rename(other + "/rival", target);
      };
      if (nobody->fileRename(locked.c_str(), target.c_str())) return std::string("moved");
      if (nobody->fileFailure() != UXFileFailure::permission) return std::string("another reason");
      left += contents(target) + ";";
    }
    return left;
  }, skip), "(none);theirs;");
  gUXBeforeMoveDelete = nullptr;
  EXPECT_EQ(contents(locked), "stays");
  EXPECT_EQ(entries(other), 5u);  // and the rival
  fs::remove_all(other);
  if (!skip.empty()) GTEST_SKIP() << skip;
}

// Where renameat2 is missing (ENOSYS) or refused (EINVAL: a file system
// without it), a rename still replaces no file.
TEST_F(HeadlessFilesPosix, WithoutRenameat2NothingIsReplaced) {
  for (const int answer : {ENOSYS, EINVAL}) {
    const std::string a = folder.write("a.txt", "alpha"), b = folder.at("b.txt"), kept = folder.write("kept", "kept");
    const pid_t child = ::fork();
    if (child == 0) {  // a seccomp filter gives renameat2 the answer
      struct sock_filter filter[] = {
          BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
          BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 0, 1),
          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | uint32_t(answer)),
          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      };
      struct sock_fprog program = {sizeof filter / sizeof filter[0], filter};
      if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) || ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program))
        ::_exit(100);
      const bool moved = d->fileRename(a.c_str(), b.c_str()), replaced = d->fileRename(b.c_str(), kept.c_str());
      ::_exit(!moved ? 1 : replaced || d->fileFailure() != UXFileFailure::exists ? 2 : 0);
    }
    int status = -1;
    ASSERT_TRUE(child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status));
    if (WEXITSTATUS(status) == 100) GTEST_SKIP() << "no seccomp filter can be installed here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << answer << " 1: a rename failed, 2: a rename replaced";
    EXPECT_EQ(contents(b) + contents(kept) + std::to_string(entries(folder.path)), "alphakept2") << answer;
    fs::remove(b);
  }
}

// A copy onto a full disk says so and leaves neither a cut file nor its
// sibling. The disk is a small tmpfs mounted in a child of its own.
TEST_F(HeadlessFilesPosix, ACopyOntoAFullDiskSaysSo) {
  const std::string big = folder.write("big", std::string(256 * 1024, 'b'));
  fs::create_directory(folder.at("disk"));
  const uid_t uid = ::geteuid();
  const gid_t gid = ::getegid();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // 100: no disk could be made here. A user namespace first, so that the
    // test needs no privilege to mount.
    const auto put = [](const char* file, const std::string& text) {
      std::ofstream out(file);
      return bool(out << text << std::flush);
    };
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 || !put("/proc/self/setgroups", "deny") ||
        !put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1") ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("quorl-full", folder.at("disk").c_str(), "tmpfs", 0, "size=64k") != 0)
      ::_exit(100);
    Ref<UXHeadlessDriver> driver = make<UXHeadlessDriver>();
    const bool copied = driver->fileCopy(big.c_str(), folder.at("disk/copy").c_str());
    const bool clean = entries(folder.at("disk")) == 0;
    ::_exit(copied ? 1 : driver->fileFailure() != UXFileFailure::noSpace ? 2 : !clean ? 3 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 100) GTEST_SKIP() << "cannot mount a small tmpfs here (no user or mount namespace)";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: copied, 2: another reason, 3: a file left on the disk";
}

}  // namespace
}  // namespace quorl
