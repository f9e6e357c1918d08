// SPDX-License-Identifier: GPL-3.0-or-later
// Reads a data file as the instrument file reader needs it: pieces of at most 199 bytes that end
// after a line feed, each with its byte offset, from large blocks so indexing stays fast, or
// straight from a text already in memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

namespace tarn {

class LineReader {
 public:
  // Reads from `file`, starting at byte `offset` (seeks there).
  LineReader(FILE* file, int64_t offset, std::size_t block_size = 1 << 16);
  // Reads `text` (which must outlive the reader) from byte `offset`, cut exactly as the same
  // bytes read from a file: nothing is copied.
  LineReader(std::string_view text, int64_t offset);

  // The next piece: up to 199 bytes, through the first line feed if it comes within them. A
  // longer line therefore comes back as several pieces. False at the end of the file or on a
  // read error. The view stays valid until the next call.
  bool Next(std::string_view* piece);
  // Offset of the piece that Next will return (after a call: of the following piece).
  int64_t offset() const { return offset_; }

  static constexpr std::size_t kMaxPiece = 199;

 private:
  bool Fill();

  FILE* file_;                      // null for a text in memory
  std::unique_ptr<char[]> buffer_;  // left uninitialised: only bytes read are looked at
  const char* data_ = nullptr;      // buffer_, or the text in memory
  std::size_t capacity_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  int64_t offset_;
};

}  // namespace tarn
