// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/reader_lines.h"

#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/token_tables.h"
#include "common/code_page.h"
#include "common/number_text.h"

namespace tarn {

// A reading line as the readers see it: up to a NUL, tabs turned into spaces.
void PrepareLine(std::string_view piece, std::string* out) {
  const void* nul = std::memchr(piece.data(), 0, piece.size());
  if (nul) piece = piece.substr(0, static_cast<const char*>(nul) - piece.data());
  out->assign(piece);
  char* p = out->data();
  char* const end = p + out->size();
  while ((p = static_cast<char*>(std::memchr(p, '\t', static_cast<std::size_t>(end - p))))) {
    *p++ = ' ';
  }
}

#if defined(__SSE2__)
namespace {

// Classify's look at sixteen bytes: false when one needs preparing, else upper gains a bit for
// each capital.
bool PlainSixteen(const char* p, unsigned* upper) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i lower = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('a' - 1)),
                                      _mm_cmplt_epi8(v, _mm_set1_epi8('z' + 1)));
  const __m128i odd =
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_setzero_si128()), _mm_cmpeq_epi8(v, _mm_set1_epi8('\t')));
  // The sign bit of v itself marks the bytes from 0x80 up.
  if (_mm_movemask_epi8(_mm_or_si128(v, _mm_or_si128(lower, odd))) != 0) return false;
  *upper |= static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
      _mm_cmpgt_epi8(v, _mm_set1_epi8('A' - 1)), _mm_cmplt_epi8(v, _mm_set1_epi8('Z' + 1)))));
  return true;
}

}  // namespace
#endif

unsigned Classify(std::string_view piece) {
  const char* p = piece.data();
  const char* end = p + piece.size();
  unsigned upper = 0;
#if defined(__SSE2__)
  for (; end - p >= 16; p += 16) {
    if (!PlainSixteen(p, &upper)) return kNeedsPreparing;
  }
  // The last few bytes padded with spaces, which change nothing, rather than one at a time.
  if (p != end) {
    char last[16];
    std::memset(last, ' ', sizeof last);
    std::memcpy(last, p, static_cast<std::size_t>(end - p));
    if (!PlainSixteen(last, &upper)) return kNeedsPreparing;
    p = end;
  }
#endif
  unsigned char any = 0;
  bool lower = false;
  for (; p < end; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    any |= c;
    lower |= (c >= 'a' && c <= 'z') || c == '\t' || c == 0;
    upper |= c >= 'A' && c <= 'Z';
  }
  if (lower || (any & 0x80) != 0) return kNeedsPreparing;
  return upper != 0 ? kHasUpper : 0;
}

void UpperInPlace(std::string* line) {
  // The line is prepared: it holds no tab for the copy to turn into a space.
  UpperSpacedCopy(*line, line->data());
}

// GetNextStr on a text that is already upper case, without copying: the result is the same
// view into it that GetNextStr would return as a copy.
std::string_view NextStr(std::string_view sep, std::string_view text, int32_t* pos) {
  *pos = -1;
  const std::string_view s = TrimNarrow(text);
  if (s.empty()) return {};
  // A one-character separator (as every reader passes) is found by memchr.
  const std::size_t at = sep.size() == 1 ? s.find(sep[0]) : s.find(sep);
  if (at == std::string_view::npos) return {};
  *pos = static_cast<int32_t>(at + sep.size());
  return TrimNarrow(s.substr(at + sep.size()));
}

// The number in the whole text, 0 when the text is not wholly one.
double NumberOrZero(std::string_view text) {
  double v = 0.0;
  if (!ParseWholeNumber(text, &v)) return 0.0;
  return v;
}

// A decimal integer (sign allowed, blanks around it) within int32; 0 for anything else.
int32_t DecimalIntOrZero(std::string_view text) {
  text = TrimNarrow(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return 0;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    v = v * 10 + (text[i] - '0');
    if (v > int64_t{std::numeric_limits<int32_t>::max()} + 1) return 0;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int32_t>::max()) return 0;
  return static_cast<int32_t>(v);
}

// The part of text before its first comma (all of it without one), trimmed.
std::string_view FirstField(std::string_view text) {
  return TrimNarrow(text.substr(0, text.find(',')));
}

void CommasToSpaces(std::string_view text, std::string* out) {
  out->assign(text);
  char* p = out->data();
  char* const end = p + out->size();
  while ((p = static_cast<char*>(std::memchr(p, ',', static_cast<std::size_t>(end - p))))) {
    *p++ = ' ';
  }
}

}  // namespace tarn
