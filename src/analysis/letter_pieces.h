// Finds, in a whole file held in memory, the line pieces that hold an ASCII letter, cut exactly
// as LineReader cuts them. Indexing needs only those: every keyword holds a letter.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "analysis/read_progress.h"

namespace tarn {

class LetterPieces {
 public:
  // `progress` may be null; it gets the bytes passed over and is checked for a cancel.
  LetterPieces(std::string_view data, ReadProgress* progress);

  // The next piece (at most 199 bytes, through its line feed if that comes within them) that
  // holds an ASCII letter, and its offset. False at the end of the data or after a cancel.
  bool Next(std::string_view* piece, int64_t* pos);
  // Offset just after the piece Next returned last.
  int64_t offset() const { return static_cast<int64_t>(cur_); }
  bool cancelled() const { return cancelled_; }

 private:
  std::string_view data_;
  ReadProgress* progress_;
  std::size_t cur_ = 0;  // always the start of a piece
  bool cancelled_ = false;
};

// A whole file mapped read-only into memory; not mapped (empty view) when the system refuses,
// for an empty file, or for something that is not a regular file. Such a file is then read
// through TakeStream, from the same opening.
class MappedFile {
 public:
  explicit MappedFile(const std::string_view path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool mapped() const { return data_ != nullptr; }
  std::string_view view() const { return {data_, size_}; }
  // The opened file as a stream (the caller closes it); null when the file could not be opened
  // or is mapped.
  FILE* TakeStream();

 private:
  int fd_ = -1;
  const char* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace tarn
