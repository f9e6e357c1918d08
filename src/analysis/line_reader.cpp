// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/line_reader.h"

#include <algorithm>
#include <cstring>

namespace tarn {

LineReader::LineReader(FILE* file, int64_t offset, std::size_t block_size)
    : file_(file),
      capacity_(block_size < 4 * kMaxPiece ? 4 * kMaxPiece : block_size),
      offset_(offset) {
  buffer_.reset(new char[capacity_]);
  data_ = buffer_.get();
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) eof_ = true;
}

LineReader::LineReader(std::string_view text, int64_t offset)
    : file_(nullptr), capacity_(text.size()), eof_(true), offset_(offset) {
  // As a seek would: before the start nothing can be read, past the end nothing is left.
  data_ = text.data();
  end_ = text.size();
  begin_ = offset < 0 ? end_ : std::min(end_, static_cast<std::size_t>(offset));
}

bool LineReader::Fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  while (!eof_ && end_ < capacity_) {
    const std::size_t got = std::fread(buffer_.get() + end_, 1, capacity_ - end_, file_);
    end_ += got;
    if (got == 0) eof_ = true;  // end of file or a read error: both end the reading
  }
  return end_ > begin_;
}

bool LineReader::Next(std::string_view* piece) {
  if (end_ - begin_ < kMaxPiece && !eof_) Fill();
  const std::size_t avail = end_ - begin_;
  if (avail == 0) return false;
  const std::size_t limit = avail < kMaxPiece ? avail : kMaxPiece;
  const char* start = data_ + begin_;
  const void* lf = std::memchr(start, '\n', limit);
  const std::size_t n =
      lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1 : limit;
  *piece = std::string_view(start, n);
  begin_ += n;
  offset_ += static_cast<int64_t>(n);
  return true;
}

}  // namespace tarn
