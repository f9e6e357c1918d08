// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/token_tables.h"

#include <array>
#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "analysis/letter_pieces.h"

namespace tarn {

const _token_tables_ vInfoValue[] = {
    {10, "TAG NUMBER"},      {11, "SERIAL NUMBER"}, {12, "PART NUMBER"},      {13, "PROBE TYPE"},
    {14, "METAL LOSS UNIT"}, {15, "THICKNESS"},     {16, "READING INTERVAL"}, {17, "START TIME"},
    {18, "PROBE LIFE"},      {19, "PROBE ID"},      {20, "ALLOY (UNS)"},      {-1, ""},
};

const _token_tables_ vMetalEtc[] = {
    {40, "METAL SAMPLES"}, {41, "MS1500E"}, {42, "MS3500E"},
    {43, "MS1500L"},       {44, "MS3500L"}, {-1, ""},
};

const _token_tables_ vErLpr[] = {
    {30, "RS_RR"},
    {31, "COR RATE"},
    {32, "METAL LOSS("},
    {33, "CORROSION RATE"},
    {34, "CURRENT"},
    {35, "POTENTIAL"},
    {-1, ""},
};

const _token_tables_ vProbeType[] = {
    {1, "FLUSH"},    {2, "WIRE LOOP"},   {2, "WIRELOOP"}, {3, "TUBULAR"}, {4, "TUBE LOOP"},
    {4, "TUBELOOP"}, {5, "CYLINDRICAL"}, {51, "PR 2"},    {52, "PR 3"},   {53, "FL 2"},
    {54, "FL 3"},    {56, "GAL 2"},      {57, "PO 2"},    {-1, ""},
};

namespace {

// Text as a C string would see it: up to the first NUL.
std::string_view UpToNul(std::string_view text) {
  const void* nul = std::memchr(text.data(), 0, text.size());
  return nul ? text.substr(0, static_cast<const char*>(nul) - text.data()) : text;
}

// The keywords of the header, signature and marker tables by their first two characters, ranked
// in that order of tables and then in table order: the keyword a line is classified by is the
// lowest ranked one that occurs in it, so one walk of the line serves all three tables.
struct KeywordIndex {
  struct Entry {
    const _token_tables_* keyword;
    std::size_t size;
    int32_t rank;
  };
  KeywordIndex() {
    std::vector<std::vector<Entry>> lists;  // by pair, in the order pairs are first met
    std::string pairs;
    int32_t rank = 0;
    for (const _token_tables_* table : {vInfoValue, vMetalEtc, vErLpr}) {
      for (const _token_tables_* k = table; k->code != -1; ++k) {
        uint8_t& list = pair_list[Pair(k->keyword[0], k->keyword[1])];
        if (list == 0) {
          lists.emplace_back();
          list = static_cast<uint8_t>(lists.size());
          pairs.append(k->keyword, 2);
        }
        lists[list - 1].push_back({k, std::strlen(k->keyword), rank++});
      }
    }
    list_begin.push_back(0);
    for (const std::vector<Entry>& list : lists) {
      entries.insert(entries.end(), list.begin(), list.end());
      list_begin.push_back(entries.size());
    }
    // The slots left over repeat a pair; more pairs than slots make every byte a candidate.
    every_byte = lists.size() > kPairSlots;
    for (std::size_t k = 0; k < kPairSlots; ++k) {
      const std::size_t from = k < lists.size() ? 2 * k : 0;
      pair_first[k] = pairs[from];
      pair_second[k] = pairs[from + 1];
    }
  }
  static std::size_t Pair(char a, char b) {
    return static_cast<std::size_t>(static_cast<unsigned char>(a)) << 8 |
           static_cast<unsigned char>(b);
  }
  // Bit k set where p[k], p[k + 1] (k < 16) are the first two characters of a keyword.
  uint32_t StartBits(const char* p) const {
    uint32_t bits = 0;
    if (every_byte) return 0xFFFF;
#if defined(__SSE2__)
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    __m128i any = _mm_setzero_si128();
    // Unrolled (kPairSlots is 16) so that no loop is kept per block.
    const auto one = [&](std::size_t k) {
      any = _mm_or_si128(any, _mm_and_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(pair_first[k])),
                                            _mm_cmpeq_epi8(next, _mm_set1_epi8(pair_second[k]))));
    };
    one(0), one(1), one(2), one(3), one(4), one(5), one(6), one(7);
    one(8), one(9), one(10), one(11), one(12), one(13), one(14), one(15);
    bits = static_cast<uint32_t>(_mm_movemask_epi8(any));
#else
    for (int i = 0; i < 16; ++i) {
      if (pair_list[Pair(p[i], p[i + 1])] != 0) bits |= uint32_t{1} << i;
    }
#endif
    return bits;
  }
  static constexpr std::size_t kPairSlots = 16;
  std::vector<Entry> entries;  // by pair, each pair's in rank order
  // The entries of list n (1 and up) are [list_begin[n - 1], list_begin[n]).
  std::vector<std::size_t> list_begin;
  uint8_t pair_list[65536] = {};  // by the first two characters: their list, 0 for none
  char pair_first[kPairSlots] = {};
  char pair_second[kPairSlots] = {};
  bool every_byte = false;
};

// Bytes of NUL after the text FindKeyword looks in.
constexpr std::size_t kKeywordPadding = 16;

// The lowest ranked keyword found anywhere in the first `size` bytes of s, which holds no NUL
// there and kKeywordPadding NULs after; null for none. Only the places where a keyword's first
// two characters stand are looked at, found sixteen bytes at a time.
const _token_tables_* FindKeyword(const char* s, std::size_t size) {
  static const KeywordIndex index;
  const _token_tables_* best = nullptr;
  int32_t best_rank = std::numeric_limits<int32_t>::max();
  const KeywordIndex::Entry* const entries = index.entries.data();
  const std::size_t* const list_begin = index.list_begin.data();
  for (std::size_t block = 0; block < size; block += 16) {
    // No keyword holds a NUL, so the padding holds no candidate.
    for (uint32_t bits = index.StartBits(s + block); bits != 0; bits &= bits - 1) {
      const std::size_t i = block + static_cast<std::size_t>(__builtin_ctz(bits));
      if (i >= size) break;  // only where every byte is a candidate
      // s[i + 1] is at most a padding NUL.
      const std::size_t list = index.pair_list[KeywordIndex::Pair(s[i], s[i + 1])];
      if (list == 0) continue;  // only where every byte is a candidate
      for (const KeywordIndex::Entry *e = entries + list_begin[list - 1],
                                     *end = entries + list_begin[list];
           e != end; ++e) {
        const KeywordIndex::Entry& k = *e;
        if (k.rank >= best_rank) break;
        if (k.size <= size - i && std::memcmp(s + i, k.keyword->keyword, k.size) == 0) {
          best = k.keyword;
          best_rank = k.rank;
          break;
        }
      }
      if (best_rank == 0) return best;
    }
  }
  return best;
}

bool IsHeaderKeyword(const _token_tables_* k) {
  return k >= vInfoValue && k < vInfoValue + std::size(vInfoValue);
}

// Upper case and tabs as spaces, by byte.
[[maybe_unused]] constexpr struct SpacedUpperBytes {
  char of[256];
} kSpacedUpper = [] {
  SpacedUpperBytes t{};
  for (int c = 0; c < 256; ++c) t.of[c] = c == '\t' ? ' ' : kUpperNarrow.of[c];
  return t;
}();

std::string UpperTrimmed(std::string_view text) {
  const std::string_view t = TrimNarrow(UpToNul(text));
  std::string s(t);
  for (char& c : s) c = UpperNarrow(c);
  return s;
}

#if defined(__SSE2__)
// UpperSpacedCopy of sixteen bytes: kSpacedUpper as arithmetic. Bytes compare as signed, so
// 0x80 and up are negative.
inline void UpperSpacedSixteen(const char* in, char* out) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  const auto in_range = [&v](int lo, int hi) {
    return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(lo - 1))),
                         _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(hi + 1))));
  };
  const auto is = [&v](int c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(c))); };
  // a-z and 0xE0-0xFE but 0xF7 lose 0x20; 0x9A, 0x9C, 0x9E lose 0x10; 0xFF becomes 0x9F.
  const __m128i less_20 =
      _mm_or_si128(in_range('a', 'z'), _mm_andnot_si128(is(0xF7), in_range(-32, -2)));
  const __m128i less_10 = _mm_or_si128(is(0x9A), _mm_or_si128(is(0x9C), is(0x9E)));
  __m128i u = _mm_sub_epi8(v, _mm_and_si128(less_20, _mm_set1_epi8(0x20)));
  u = _mm_sub_epi8(u, _mm_and_si128(less_10, _mm_set1_epi8(0x10)));
  u = _mm_sub_epi8(u, _mm_and_si128(is(0xFF), _mm_set1_epi8(0x60)));
  u = _mm_add_epi8(u, _mm_and_si128(is('\t'), _mm_set1_epi8(' ' - '\t')));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), u);
}
#endif

}  // namespace

void UpperSpacedCopy(std::string_view text, char* out) {
  const char* p = text.data();
  const char* const end = p + text.size();
#if defined(__SSE2__)
  for (; end - p >= 16; p += 16, out += 16) UpperSpacedSixteen(p, out);
  // The last few bytes through a padded copy, rather than one at a time.
  if (p != end) {
    const auto left = static_cast<std::size_t>(end - p);
    char last[16] = {};
    std::memcpy(last, p, left);
    UpperSpacedSixteen(last, last);
    std::memcpy(out, last, left);
  }
#else
  for (; p != end; ++p, ++out) *out = kSpacedUpper.of[static_cast<unsigned char>(*p)];
#endif
}

std::string apParseLine(std::string_view line, int32_t* code) {
  *code = -1;
  const std::string_view t = TrimNarrow(UpToNul(line));
  // Every keyword holds an ASCII letter and no other Windows-1252 character upper-cases to
  // one, so a line without letters (every reading line of a Nembra file) matches nothing.
  if (t.empty() || !FindAsciiLetter(t.data(), t.data() + t.size())) return {};
  // The upper-case copy, padded for FindKeyword.
  std::array<char, 256 + kKeywordPadding> buffer;
  std::string owned;
  char* s = buffer.data();
  if (t.size() > 256) {
    owned.resize(t.size() + kKeywordPadding);
    s = owned.data();
  }
  UpperSpacedCopy(t, s);
  std::memset(s + t.size(), 0, kKeywordPadding);
  const std::string_view sv(s, t.size());

  const _token_tables_* k = FindKeyword(s, sv.size());
  if (!k) return {};
  *code = k->code;
  if (!IsHeaderKeyword(k)) return k->keyword;
  const std::size_t colon = sv.find(':');
  if (colon == std::string_view::npos) return std::string(sv);
  return std::string(TrimNarrow(sv.substr(colon + 1)));
}

int32_t apGetProbeType(std::string_view text) {
  // The terminator's empty keyword occurs in every text and ends the walk with -1.
  for (const _token_tables_* k = vProbeType;; ++k) {
    if (text.find(k->keyword) != std::string_view::npos) return k->code;
  }
}

std::string GetNextStr(std::string_view sep, std::string_view buff, int32_t* pos) {
  *pos = -1;
  const std::string s = UpperTrimmed(buff);
  if (s.empty()) return {};
  const std::size_t at = s.find(sep);
  if (at == std::string::npos) return {};
  *pos = static_cast<int32_t>(at + sep.size());
  return std::string(TrimNarrow(std::string_view(s).substr(at + sep.size())));
}

}  // namespace tarn
