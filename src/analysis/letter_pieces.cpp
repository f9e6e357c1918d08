// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/letter_pieces.h"

#include <algorithm>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/line_reader.h"

namespace tarn {

namespace {

// Bytes passed over between two looks at the cancel flag.
constexpr std::size_t kStride = 1 << 20;

bool IsAsciiLetter(char ch) {
  const auto c = static_cast<unsigned char>(ch | 0x20);
  return c >= 'a' && c <= 'z';
}

[[maybe_unused]] const char* FindLetterScalar(const char* p, const char* end) {
  for (; p < end; ++p) {
    if (IsAsciiLetter(*p)) return p;
  }
  return nullptr;
}

#if defined(__SSE2__)
// Letters, once or-ed with 0x20, lie in 0x61-0x7A; bytes from 0x80 up compare as negative.
inline __m128i LetterMask(const char* p) {
  const __m128i v =
      _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8(0x20));
  return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(0x60)),
                       _mm_cmplt_epi8(v, _mm_set1_epi8(0x7B)));
}
#endif

}  // namespace

const char* FindAsciiLetter(const char* p, const char* end) {
#if defined(__SSE2__)
  while (end - p >= 64) {
    const __m128i any = _mm_or_si128(_mm_or_si128(LetterMask(p), LetterMask(p + 16)),
                                     _mm_or_si128(LetterMask(p + 32), LetterMask(p + 48)));
    if (_mm_movemask_epi8(any) != 0) break;  // the sixteens below find where
    p += 64;
  }
  while (end - p >= 16) {
    if (const int m = _mm_movemask_epi8(LetterMask(p)); m != 0) return p + __builtin_ctz(m);
    p += 16;
  }
  // The last few bytes, padded with a byte that is no letter, rather than one at a time.
  if (p == end) return nullptr;
  char last[16];
  std::memset(last, '0', sizeof last);
  std::memcpy(last, p, static_cast<std::size_t>(end - p));
  if (const int m = _mm_movemask_epi8(LetterMask(last)); m != 0) return p + __builtin_ctz(m);
  return nullptr;
#else
  return FindLetterScalar(p, end);
#endif
}

LetterPieces::LetterPieces(std::string_view data, ReadProgress* progress)
    : data_(data), progress_(progress) {}

bool LetterPieces::Next(std::string_view* piece, int64_t* pos) {
  const char* base = data_.data();
  const std::size_t size = data_.size();
  while (cur_ < size) {
    if (progress_) {
      if (progress_->cancel.load(std::memory_order_relaxed)) {
        cancelled_ = true;
        return false;
      }
      progress_->done.store(static_cast<int64_t>(cur_), std::memory_order_relaxed);
    }
    const std::size_t stop = size - cur_ > kStride ? cur_ + kStride : size;
    const char* letter = FindAsciiLetter(base + cur_, base + stop);
    if (!letter) {
      cur_ = stop;
      continue;
    }
    // cur_ starts a piece, and so does every byte after a line feed; a long line is cut into
    // pieces of kMaxPiece bytes from its start.
    const std::size_t at = static_cast<std::size_t>(letter - base);
    const void* lf = memrchr(base + cur_, '\n', at - cur_);
    const std::size_t line =
        lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - base) + 1 : cur_;
    const std::size_t start = line + (at - line) / LineReader::kMaxPiece * LineReader::kMaxPiece;
    const std::size_t limit =
        size - start < LineReader::kMaxPiece ? size - start : LineReader::kMaxPiece;
    const void* end_lf = std::memchr(base + start, '\n', limit);
    const std::size_t n =
        end_lf ? static_cast<std::size_t>(static_cast<const char*>(end_lf) - (base + start)) + 1
               : limit;
    *piece = std::string_view(base + start, n);
    *pos = static_cast<int64_t>(start);
    cur_ = start + n;
    return true;
  }
  if (progress_) progress_->done.store(static_cast<int64_t>(size), std::memory_order_relaxed);
  return false;
}

FileLetterPieces::FileLetterPieces(FILE* file, int64_t total, ReadProgress* progress,
                                   std::size_t block_size)
    : file_(file), progress_(progress) {
  // A small file needs no large buffer; the size is only a hint (the file may have grown).
  if (total > 0 && static_cast<uint64_t>(total) < block_size) block_size = total + 1;
  size_ = std::max(block_size, 2 * LineReader::kMaxPiece);
  buffer_.reset(new char[size_]);  // left uninitialised: only bytes read are looked at
  if (progress_) {
    progress_->total = total;
    progress_->done = 0;
  }
  if (fseeko(file_, 0, SEEK_SET) != 0) eof_ = true;
}

bool FileLetterPieces::Refill() {
  std::memmove(buffer_.get(), buffer_.get() + block_, kept_);
  base_ += static_cast<int64_t>(block_);
  std::size_t len = kept_;
  while (!eof_ && len < size_) {
    const std::size_t got = std::fread(buffer_.get() + len, 1, size_ - len, file_);
    len += got;
    if (got == 0) eof_ = true;  // end of file or a read error: both end the reading
  }
  if (len == 0) return false;
  // Cut after the last line feed: a line start is a piece start. A block without one is all
  // one line, cut at a whole number of pieces from its start.
  block_ = len;
  if (!eof_) {
    const void* lf = memrchr(buffer_.get(), '\n', len);
    block_ = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.get()) + 1
                : len / LineReader::kMaxPiece * LineReader::kMaxPiece;
  }
  kept_ = len - block_;
  pieces_ = LetterPieces(std::string_view(buffer_.get(), block_), nullptr);
  if (progress_) progress_->done.store(base_, std::memory_order_relaxed);
  return true;
}

void FileLetterPieces::Rewind() {
  if (progress_) progress_->done = 0;
  if (base_ == 0 && eof_ && kept_ == 0 && block_ > 0) {
    pieces_ = LetterPieces(std::string_view(buffer_.get(), block_), nullptr);
    return;
  }
  base_ = 0;
  kept_ = 0;
  block_ = 0;
  eof_ = fseeko(file_, 0, SEEK_SET) != 0;
}

bool FileLetterPieces::Next(std::string_view* piece, int64_t* pos, int64_t* after) {
  for (;;) {
    if (progress_ && progress_->cancel.load(std::memory_order_relaxed)) {
      cancelled_ = true;
      return false;
    }
    int64_t at = 0;
    if (block_ > 0 && pieces_.Next(piece, &at)) {
      *pos = base_ + at;
      *after = base_ + pieces_.offset();
      return true;
    }
    if (!Refill()) return false;
  }
}

}  // namespace tarn
