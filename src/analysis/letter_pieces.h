// SPDX-License-Identifier: GPL-3.0-or-later
// Finds, in a whole file held in memory, the line pieces that hold an ASCII letter, cut exactly
// as LineReader cuts them. Indexing needs only those: every keyword holds a letter.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

#include "analysis/read_progress.h"

namespace tarn {

// The first ASCII letter in [p, end), or null.
const char* FindAsciiLetter(const char* p, const char* end);

class LetterPieces {
 public:
  // `progress` may be null; it gets the bytes passed over and is checked for a cancel.
  LetterPieces(std::string_view data, ReadProgress* progress);

  // The next piece (at most 199 bytes, through its line feed if that comes within them) that
  // holds an ASCII letter, and its offset. False at the end of the data or after a cancel.
  bool Next(std::string_view* piece, int64_t* pos);
  // The same, *after set to the offset just after the piece (as FileLetterPieces hands out).
  bool Next(std::string_view* piece, int64_t* pos, int64_t* after) {
    if (!Next(piece, pos)) return false;
    *after = offset();
    return true;
  }
  // Offset just after the piece Next returned last.
  int64_t offset() const { return static_cast<int64_t>(cur_); }
  bool cancelled() const { return cancelled_; }
  // From the start again.
  void Rewind() { cur_ = 0; }

 private:
  std::string_view data_;
  ReadProgress* progress_;
  std::size_t cur_ = 0;  // always the start of a piece
  bool cancelled_ = false;
};

// The same over a whole file read in large blocks from its start, with offsets from the start
// of the file. Each block ends at a piece boundary, so no piece straddles two blocks.
class FileLetterPieces {
 public:
  // Seeks `file` to its start; `total` is what progress reports as the whole (0 if unknown).
  FileLetterPieces(FILE* file, int64_t total, ReadProgress* progress,
                   std::size_t block_size = 1 << 20);

  // As LetterPieces::Next; *after is the offset just after the piece. The view stays valid
  // until the next call.
  bool Next(std::string_view* piece, int64_t* pos, int64_t* after);
  bool cancelled() const { return cancelled_; }
  // From the start of the file again, as a new reader would be; a file that fitted in one
  // block is not read again.
  void Rewind();

 private:
  bool Refill();

  FILE* file_;
  ReadProgress* progress_;
  std::unique_ptr<char[]> buffer_;
  std::size_t size_ = 0;
  std::size_t kept_ = 0;  // bytes after the last block's cut, waiting for the next block
  int64_t base_ = 0;      // file offset of the current block
  std::size_t block_ = 0;
  LetterPieces pieces_{{}, nullptr};
  bool eof_ = false;
  bool cancelled_ = false;
};

}  // namespace tarn
