// Writes a file through a temporary file in the target folder, renamed into place only when
// every write succeeded, so a failed save never leaves a damaged or half-written file.
#pragma once

#include <cstdio>
#include <string>

namespace tarn {

class AtomicFile {
 public:
  explicit AtomicFile(std::string path);
  ~AtomicFile();  // removes the temporary file unless Commit succeeded
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file for binary writing; false when it cannot be created.
  bool Open();
  FILE* file() const { return file_; }
  // Hands the open file to a writer that closes it itself; Commit then only renames.
  FILE* Release();
  // Closes (when still owned) and renames into place. False on any earlier write error, a
  // failed flush or close, or a failed rename; the target is then left as it was.
  bool Commit();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string temp_path_;
  FILE* file_ = nullptr;
  bool released_ = false;
  bool committed_ = false;
};

// Writes the whole content through an AtomicFile; false on any failure.
bool WriteFileAtomically(const std::string& path, const std::string& content);

}  // namespace tarn
