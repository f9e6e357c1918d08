// SPDX-License-Identifier: GPL-3.0-or-later
// Saves a file whole or not at all: every save of the program goes through WriteFileAtomically,
// which writes a temporary file beside the target and moves it into place only when complete.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "common/status.h"

namespace tarn {

// The system calls of a save. The default calls the system; tests derive from it to make one
// call fail on cue.
class FileOps {
 public:
  virtual ~FileOps() = default;
  virtual ssize_t Write(int fd, const void* data, size_t size);
  virtual int Sync(int fd);
  virtual int Close(int fd);
  virtual int Rename(const char* from, const char* to);
};

// Writes content to path so that the old file stays as it was unless the new one is complete:
// checked writes into an unnamed temporary file in the target's folder (a short-named one
// where the file system has none), synced, renamed into place, then the folder synced. The
// target keeps its mode (and owner where allowed); a symbolic link is written through to the
// file it names. A target the user may not write, an existing target that is not a regular
// file, anything under /dev, /proc or /sys, and a read-only folder are refused. A failure's
// message is a sentence saying why, and nothing is left behind.
Status WriteFileAtomically(const std::string& path, std::string_view content);
Status WriteFileAtomically(const std::string& path, std::string_view content, FileOps& ops);
// The same for content made of pieces, written one after the other (a writer that gathers
// records apart need not join them first).
Status WriteFileAtomically(const std::string& path, std::span<const std::string_view> pieces);

// Where a streamed save puts its bytes: they gather in a 64 KiB block and each full block is
// written (checked) to the temporary file. After a failed write the rest is dropped and the
// save reports that failure.
class SaveSink {
 public:
  static constexpr size_t kBlock = 64 * 1024;

  void Append(const char* data, size_t size) {
    if (size <= kBlock - used_) {
      std::memcpy(block_.get() + used_, data, size);
      used_ += size;
    } else {
      Spill(data, size);
    }
  }
  void Append(std::string_view bytes) { Append(bytes.data(), bytes.size()); }

 private:
  friend class SaveSinkAccess;
  SaveSink(FileOps& ops, int fd) : ops_(ops), fd_(fd), block_(new char[kBlock]) {}
  void Spill(const char* data, size_t size);
  bool Put(const char* data, size_t size);
  // Writes what is left in the block; the errno of the first failure, 0 when all went out.
  int Finish();

  FileOps& ops_;
  int fd_;
  std::unique_ptr<char[]> block_;
  size_t used_ = 0;
  int error_ = 0;
};

// The same save for a writer that produces its bytes as it goes instead of holding the whole
// file: `produce` appends them to the sink and returns false to give up (nothing is saved, the
// old file stays, and the message says the file was not saved).
Status WriteFileAtomically(const std::string& path, const std::function<bool(SaveSink&)>& produce);
Status WriteFileAtomically(const std::string& path, const std::function<bool(SaveSink&)>& produce,
                           FileOps& ops);

// For writers that produce a file through a FILE*: they write into memory, and Commit saves the
// bytes with WriteFileAtomically.
class AtomicFile {
 public:
  explicit AtomicFile(std::string path);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Opens the in-memory file for binary writing; false when it cannot be made.
  bool Open();
  FILE* file() const { return file_; }
  // Hands the open file to a writer that closes it itself; Commit then only saves.
  FILE* Release();
  // Closes (when still owned) and saves. Fails on an earlier write error or a failed save; the
  // target is then left as it was and the message says why.
  Status Commit();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  FILE* file_ = nullptr;
  char* buffer_ = nullptr;
  size_t size_ = 0;
  bool released_ = false;
};

}  // namespace tarn
