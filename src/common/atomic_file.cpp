// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

namespace tarn {

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ElsewhereHint() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') {
    return std::string("; save it in another folder, such as ") + home;
  }
  return "; save it in another folder, such as your home folder";
}

bool UnderSystemFolder(const std::string& folder) {
  for (const char* root : {"/dev", "/proc", "/sys"}) {
    const size_t n = std::strlen(root);
    if (folder.compare(0, n, root) == 0 && (folder.size() == n || folder[n] == '/')) return true;
  }
  return false;
}

// The file a chain of symbolic links ends at (the path itself when it is not a link).
Status FollowLinks(std::string path, std::string* target) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *target = std::move(path);
      return {};
    }
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    if (n < 0 || static_cast<size_t>(n) >= sizeof buf) break;
    std::string link(buf, static_cast<size_t>(n));
    path = link.front() == '/' ? link : FolderOf(path) + "/" + link;
  }
  return Status::Fail("The symbolic link " + path + " leads nowhere a file can be saved.");
}

std::string RandomName() {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 rng(std::random_device{}());
  std::string name = ".tarn";
  for (int i = 0; i < 8; ++i) name += kChars[rng() % (sizeof kChars - 1)];
  return name;  // 13 bytes: fits beside any legal file name
}

std::string CreateFailure(int err, const std::string& folder, const std::string& shown) {
  switch (err) {
    case EROFS:
      return "The folder " + folder + " is read-only" + ElsewhereHint() + ".";
    case EACCES:
    case EPERM:
      return "The folder " + folder + " is read-only for you" + ElsewhereHint() + ".";
    case ENOSPC:
    case EDQUOT:
      return "The disk holding " + shown + " is full; the file was not saved.";
    default:
      return "Cannot create a file in the folder " + folder + ": " + std::strerror(err) + ".";
  }
}

std::string WriteFailure(int err, const std::string& shown) {
  if (err == ENOSPC || err == EDQUOT) {
    return "The disk holding " + shown + " is full; the file was not saved and is unchanged.";
  }
  return "Cannot write " + shown + ": " + std::strerror(err) + "; the file is unchanged.";
}

// Closes a descriptor and removes a named temporary file unless told the save went through.
struct Cleanup {
  int dir_fd = -1;
  int fd = -1;
  std::string temp_name;  // in dir_fd
  ~Cleanup() {
    if (fd >= 0) ::close(fd);
    if (!temp_name.empty()) ::unlinkat(dir_fd, temp_name.c_str(), 0);
    if (dir_fd >= 0) ::close(dir_fd);
  }
};

// Opens an unnamed file in the folder, or a short-named one where the file system has none.
int OpenTemp(Cleanup& c, mode_t mode) {
  const int fd = ::openat(c.dir_fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string name = RandomName();
    const int named =
        ::openat(c.dir_fd, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
    if (named >= 0) {
      c.temp_name = std::move(name);
      return named;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

// Gives the unnamed file a short name in its folder so that rename can put it in place.
bool LinkTemp(Cleanup& c) {
  char proc_path[64];
  std::snprintf(proc_path, sizeof proc_path, "/proc/self/fd/%d", c.fd);
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string name = RandomName();
    int rc = ::linkat(AT_FDCWD, proc_path, c.dir_fd, name.c_str(), AT_SYMLINK_FOLLOW);
    if (rc != 0 && errno == ENOENT) {
      rc = ::linkat(c.fd, "", c.dir_fd, name.c_str(), AT_EMPTY_PATH);
    }
    if (rc == 0) {
      c.temp_name = std::move(name);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

}  // namespace

class SaveSinkAccess {
 public:
  static SaveSink Make(FileOps& ops, int fd) { return SaveSink(ops, fd); }
  static int Finish(SaveSink& sink) { return sink.Finish(); }
};

bool SaveSink::Put(const char* data, size_t size) {
  for (size_t done = 0; done < size && error_ == 0;) {
    const ssize_t put = ops_.Write(fd_, data + done, size - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      error_ = put < 0 ? errno : EIO;
    } else {
      done += static_cast<size_t>(put);
    }
  }
  return error_ == 0;
}

void SaveSink::Spill(const char* data, size_t size) {
  if (error_ != 0) {
    used_ = 0;
    return;
  }
  while (size > 0) {
    // A whole block straight from the caller's bytes when nothing waits before it.
    if (used_ == 0 && size >= kBlock) {
      if (!Put(data, kBlock)) return;
      data += kBlock;
      size -= kBlock;
      continue;
    }
    const size_t n = std::min(size, kBlock - used_);
    std::memcpy(block_.get() + used_, data, n);
    used_ += n;
    data += n;
    size -= n;
    if (used_ == kBlock) {
      used_ = 0;
      if (!Put(block_.get(), kBlock)) return;
    }
  }
}

int SaveSink::Finish() {
  if (error_ == 0 && used_ > 0) Put(block_.get(), used_);
  used_ = 0;
  return error_;
}

namespace {

Status WriteStreamed(const std::string& path, const std::function<bool(SaveSink&)>& produce,
                     FileOps& ops) {
  if (path.empty() || path.back() == '/') {
    return Status::Fail("No file name was given.");
  }
  std::string target;
  if (Status s = FollowLinks(path, &target); !s) return s;
  char real[PATH_MAX];
  if (::realpath(FolderOf(target).c_str(), real) == nullptr) {
    return Status::Fail("The folder " + FolderOf(target) + " does not exist.");
  }
  const std::string folder = real;
  if (UnderSystemFolder(folder)) {
    return Status::Fail("Nothing under /dev, /proc or /sys is replaced; choose a file elsewhere.");
  }
  const std::string name = NameOf(target);
  const std::string full = (folder == "/" ? "" : folder) + "/" + name;

  struct stat old;
  const bool exists = ::lstat(full.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) {
    return Status::Fail(path + " is not a regular file; choose another name.");
  }
  if (exists && ::faccessat(AT_FDCWD, full.c_str(), W_OK, AT_EACCESS) != 0) {
    return Status::Fail(errno == EROFS ? CreateFailure(EROFS, folder, path)
                                       : "You may not write to " + path + ".");
  }

  Cleanup c;
  c.dir_fd = ::open(folder.c_str(), O_DIRECTORY | O_RDONLY | O_CLOEXEC);
  if (c.dir_fd < 0) {
    return Status::Fail(CreateFailure(errno, folder, path));
  }
  c.fd = OpenTemp(c, 0666);
  if (c.fd < 0) {
    return Status::Fail(CreateFailure(errno, folder, path));
  }
  if (exists) {
    // Owner first: a change of owner clears set-id bits that the mode then puts back.
    if (::fchown(c.fd, old.st_uid, old.st_gid) != 0) {
      // Only the owner's own group or root may give a file away; the mode is still kept.
    }
    ::fchmod(c.fd, old.st_mode & 07777);
  }

  SaveSink sink = SaveSinkAccess::Make(ops, c.fd);
  if (!produce(sink)) {
    return Status::Fail("The file " + path + " was not saved and is unchanged.");
  }
  if (const int err = SaveSinkAccess::Finish(sink); err != 0) {
    return Status::Fail(WriteFailure(err, path));
  }
  if (ops.Sync(c.fd) != 0) {
    return Status::Fail(WriteFailure(errno, path));
  }
  if (c.temp_name.empty() && !LinkTemp(c)) {
    return Status::Fail(WriteFailure(errno, path));
  }
  const int fd = c.fd;
  c.fd = -1;
  if (ops.Close(fd) != 0) {
    return Status::Fail(WriteFailure(errno, path));
  }
  const std::string temp_path = (folder == "/" ? "" : folder) + "/" + c.temp_name;
  if (ops.Rename(temp_path.c_str(), full.c_str()) != 0) {
    return Status::Fail(WriteFailure(errno, path));
  }
  c.temp_name.clear();
  // The rename itself reaches the disk only with its folder.
  ::fsync(c.dir_fd);
  return {};
}

Status WritePieces(const std::string& path, std::span<const std::string_view> pieces,
                   FileOps& ops) {
  return WriteStreamed(
      path,
      [pieces](SaveSink& sink) {
        for (const std::string_view piece : pieces) sink.Append(piece);
        return true;
      },
      ops);
}

}  // namespace

ssize_t FileOps::Write(int fd, const void* data, size_t size) {
  return ::write(fd, data, size);
}
int FileOps::Sync(int fd) {
  return ::fsync(fd);
}
int FileOps::Close(int fd) {
  return ::close(fd);
}
int FileOps::Rename(const char* from, const char* to) {
  return ::rename(from, to);
}

Status WriteFileAtomically(const std::string& path, std::string_view content) {
  FileOps ops;
  return WritePieces(path, {&content, 1}, ops);
}

Status WriteFileAtomically(const std::string& path, std::string_view content, FileOps& ops) {
  return WritePieces(path, {&content, 1}, ops);
}

Status WriteFileAtomically(const std::string& path, std::span<const std::string_view> pieces) {
  FileOps ops;
  return WritePieces(path, pieces, ops);
}

Status WriteFileAtomically(const std::string& path, const std::function<bool(SaveSink&)>& produce) {
  FileOps ops;
  return WriteStreamed(path, produce, ops);
}

Status WriteFileAtomically(const std::string& path, const std::function<bool(SaveSink&)>& produce,
                           FileOps& ops) {
  return WriteStreamed(path, produce, ops);
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

AtomicFile::~AtomicFile() {
  if (file_ != nullptr && !released_) std::fclose(file_);
  std::free(buffer_);
}

bool AtomicFile::Open() {
  if (file_ != nullptr || path_.empty()) return false;
  file_ = ::open_memstream(&buffer_, &size_);
  return file_ != nullptr;
}

FILE* AtomicFile::Release() {
  released_ = true;
  return file_;
}

Status AtomicFile::Commit() {
  if (file_ == nullptr) return Status::Fail("Cannot write " + path_ + ": it was never opened.");
  bool ok = true;
  if (!released_) {
    ok = std::ferror(file_) == 0;
    ok = (std::fclose(file_) == 0) && ok;
    released_ = true;
  }
  if (!ok || buffer_ == nullptr) {
    return Status::Fail("Cannot write " + path_ + ": out of memory; the file is unchanged.");
  }
  return WriteFileAtomically(path_, std::string_view(buffer_, size_));
}

}  // namespace tarn
