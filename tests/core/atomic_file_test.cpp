// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <type_traits>
#include <vector>

#include "core/test_util.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;

// A failed save must never pass for a number or a true flag unnoticed.
static_assert(!std::is_convertible_v<Status, bool> && !std::is_convertible_v<Status, int>);
static_assert(std::is_constructible_v<bool, Status>);
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

enum class Call { kWrite, kSync, kClose, kRename };

// Fails the n-th call of one kind with the given errno; every other call goes through.
class FaultyOps : public FileOps {
 public:
  FaultyOps(Call call, int n, int err) : call_(call), n_(n), err_(err) {}
  ssize_t Write(int fd, const void* data, size_t size) override {
    return Hit(Call::kWrite) ? -1 : FileOps::Write(fd, data, size);
  }
  int Sync(int fd) override { return Hit(Call::kSync) ? -1 : FileOps::Sync(fd); }
  int Close(int fd) override {
    const int rc = FileOps::Close(fd);  // the descriptor is gone either way
    return Hit(Call::kClose) ? -1 : rc;
  }
  int Rename(const char* from, const char* to) override {
    return Hit(Call::kRename) ? -1 : FileOps::Rename(from, to);
  }

 private:
  bool Hit(Call call) {
    if (call != call_ || ++seen_ != n_) return false;
    errno = err_;
    return true;
  }
  Call call_;
  int n_;
  int err_;
  int seen_ = 0;
};

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
  return names;
}

const std::string kOld = "old contents\n";
// Four write calls of the routine: three full chunks and a short last one.
const std::string kNew(3 * 64 * 1024 + 100, 'n');

struct Fault {
  const char* what;
  Call call;
  int n;
  int err;
};

TEST(AtomicFileTest, AnyFailureLeavesTheOldFileAndNothingElse) {
  const Fault faults[] = {
      {"first write", Call::kWrite, 1, EIO},   {"middle write", Call::kWrite, 2, EIO},
      {"last write", Call::kWrite, 4, ENOSPC}, {"sync", Call::kSync, 1, EIO},
      {"close", Call::kClose, 1, EIO},         {"rename", Call::kRename, 1, EXDEV},
  };
  // The same bytes streamed in small appends make the same four write calls.
  const auto streamed = [](SaveSink& out) {
    for (size_t at = 0; at < kNew.size(); at += 1000) out.Append(kNew.substr(at, 1000));
    return true;
  };
  for (const bool stream : {false, true}) {
    for (const Fault& f : faults) {
      SCOPED_TRACE(std::string(f.what) + (stream ? ", streamed" : ""));
      TempDir dir;
      const std::string target = dir.file("a.xls");
      WriteAll(target, kOld);
      FaultyOps ops(f.call, f.n, f.err);
      const Status saved = stream ? WriteFileAtomically(target, streamed, ops)
                                  : WriteFileAtomically(target, kNew, ops);
      EXPECT_FALSE(saved);
      EXPECT_FALSE(saved.message.empty());
      EXPECT_EQ(ReadAll(target), kOld);
      EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"a.xls"});
    }
  }
  // A streamed save the writer gives up half-way keeps the old file; one it completes is whole.
  TempDir dir;
  const std::string target = dir.file("a.xls");
  WriteAll(target, kOld);
  const Status given_up = WriteFileAtomically(target, [](SaveSink& out) {
    out.Append(kNew);
    return false;
  });
  EXPECT_FALSE(given_up);
  EXPECT_FALSE(given_up.message.empty());
  EXPECT_EQ(ReadAll(target), kOld);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"a.xls"});
  EXPECT_TRUE(WriteFileAtomically(target, streamed));
  EXPECT_EQ(ReadAll(target), kNew);
}

// A real full disk: a 64 KiB tmpfs.
TEST(AtomicFileTest, FullFileSystemLeavesTheOldFile) {
  TempDir dir;
  const fs::path mnt = dir.path() / "small";
  fs::create_directory(mnt);
  if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "mounting a 64 KiB tmpfs needs root (CAP_SYS_ADMIN), which this run lacks";
  }
  const std::string target = (mnt / "a.csv").string();
  WriteAll(target, kOld);
  const Status full = WriteFileAtomically(target, kNew);
  const std::string& error = full.message;
  const std::string after = ReadAll(target);
  const std::vector<std::string> names = Names(mnt);
  // The same disk made read-only: a plain reason and a folder to use instead.
  ::mount(nullptr, mnt.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr);
  const Status refused = WriteFileAtomically(target, "x");
  const std::string& read_only = refused.message;
  EXPECT_FALSE(refused);
  ::umount(mnt.c_str());
  EXPECT_NE(read_only.find("is read-only; save it in another folder"), std::string::npos)
      << read_only;
  EXPECT_FALSE(full);
  EXPECT_NE(error.find("full"), std::string::npos) << error;
  EXPECT_EQ(after, kOld);
  EXPECT_EQ(names, std::vector<std::string>{"a.csv"});
}

// Stops the writer for good after its first chunk, once the parent knows it got there.
class StallingOps : public FileOps {
 public:
  explicit StallingOps(int signal_fd) : signal_fd_(signal_fd) {}
  ssize_t Write(int fd, const void* data, size_t size) override {
    if (++calls_ == 2) {
      const char c = 'w';
      (void)!::write(signal_fd_, &c, 1);
      for (;;) ::pause();
    }
    return FileOps::Write(fd, data, size);
  }

 private:
  int signal_fd_;
  int calls_ = 0;
};

TEST(AtomicFileTest, ProcessKilledMidWriteLeavesTheOldFileAndNothingElse) {
  TempDir dir;
  const std::string target = dir.file("r.nid");
  WriteAll(target, kOld);
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    StallingOps ops(pipe_fds[1]);
    (void)WriteFileAtomically(target, kNew, ops);
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(pipe_fds[0], &c, 1), 1);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(pipe_fds[0]);
  ::close(pipe_fds[1]);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(ReadAll(target), kOld);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"r.nid"});
}

TEST(AtomicFileTest, KeepsModeFollowsLinksAndTakesLongNames) {
  TempDir dir;
  const std::string secret = dir.file("secret.ini");
  WriteAll(secret, kOld);
  ::chmod(secret.c_str(), 0600);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(secret.c_str(), 65534, 65534), 0);
  }
  ASSERT_TRUE(WriteFileAtomically(secret, "x"));
  struct stat st;
  ::stat(secret.c_str(), &st);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  if (root) {
    EXPECT_EQ(st.st_uid, 65534u);  // the owner too, where allowed
  }

  // Through a relative symbolic link: the link stays, the file it names gets the bytes.
  const std::string link = dir.file("link.ini");
  fs::create_symlink("secret.ini", link);
  ASSERT_TRUE(WriteFileAtomically(link, "y"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadAll(secret), "y");

  const std::string longest = dir.file(std::string(251, 'L') + ".nid");  // 255 bytes
  const Status saved = WriteFileAtomically(longest, kNew);
  EXPECT_TRUE(saved) << saved.message;
  EXPECT_EQ(ReadAll(longest), kNew);
  EXPECT_EQ(Names(dir.path()).size(), 3u);
}

TEST(AtomicFileTest, RefusesWhatItMustNotReplace) {
  TempDir dir;
  const std::string fifo = dir.file("pipe.csv");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string shm = "/dev/shm/tarn-atomic-" + std::to_string(::getpid()) + ".csv";
  struct Refusal {
    std::string path;
    const char* says;
  } refusals[] = {
      {fifo, "not a regular file"},
      {dir.file("folder-missing/a.csv"), "does not exist"},
      {shm, "/dev, /proc or /sys"},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.path);
    const Status saved = WriteFileAtomically(r.path, "x");
    EXPECT_FALSE(saved);
    EXPECT_NE(saved.message.find(r.says), std::string::npos) << saved.message;
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_FALSE(fs::exists(shm));
}

// Runs fn as an ordinary user when the test runs as root; returns its exit status.
template <typename Fn>
int AsOrdinaryUser(Fn fn) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 &&
        (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)) {
      ::_exit(99);
    }
    ::_exit(fn() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(AtomicFileTest, ReadOnlyTargetsAndFoldersAreRefusedWithAPlainReason) {
  TempDir dir;
  ::chmod(dir.path().c_str(), 0777);
  const std::string locked = dir.file("locked.csv");
  WriteAll(locked, kOld);
  ::chmod(locked.c_str(), 0444);
  EXPECT_EQ(AsOrdinaryUser([&] {
              const Status saved = WriteFileAtomically(locked, "x");
              return !saved && saved.message.find("may not write") != std::string::npos;
            }),
            0);
  EXPECT_EQ(ReadAll(locked), kOld);

  const fs::path ro = dir.path() / "ro";
  fs::create_directory(ro);
  const std::string inside = (ro / "a.csv").string();
  WriteAll(inside, kOld);
  ::chmod(inside.c_str(), 0666);
  ::chmod(ro.c_str(), 0555);
  EXPECT_EQ(AsOrdinaryUser([&] {
              const Status saved = WriteFileAtomically(inside, "x");
              return !saved && saved.message.find(
                                   "is read-only for you; save it in another "
                                   "folder") != std::string::npos;
            }),
            0);
  EXPECT_EQ(ReadAll(inside), kOld);
}

TEST(AtomicFileTest, InMemoryWriterSavesOnlyOnCommit) {
  TempDir dir;
  const std::string target = dir.file("c.dat");
  WriteAll(target, kOld);
  {
    AtomicFile out(target);
    ASSERT_TRUE(out.Open());
    std::fputs("half", out.file());
  }  // dropped without Commit
  EXPECT_EQ(ReadAll(target), kOld);
  AtomicFile out(target);
  ASSERT_TRUE(out.Open());
  std::fputs("whole", out.file());
  EXPECT_TRUE(out.Commit());
  EXPECT_EQ(ReadAll(target), "whole");
}

}  // namespace
}  // namespace tarn
