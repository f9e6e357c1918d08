// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/token_tables.h"

#include <array>
#include <cstring>
#include <vector>

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

bool HasAsciiLetter(std::string_view text) {
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch | 0x20);
    if (c >= 'a' && c <= 'z') return true;
  }
  return false;
}

// The keywords of a table by their first character, each list in table order: a line is then
// walked once instead of searched once per keyword.
struct KeywordIndex {
  struct Entry {
    const _token_tables_* keyword;
    std::size_t size;
  };
  explicit KeywordIndex(const _token_tables_* table) {
    for (const _token_tables_* k = table; k->code != -1; ++k) {
      by_first[static_cast<unsigned char>(k->keyword[0])].push_back({k, std::strlen(k->keyword)});
    }
  }
  std::array<std::vector<Entry>, 256> by_first;
};

const KeywordIndex& IndexOf(const _token_tables_* table) {
  static const KeywordIndex info(vInfoValue), metal(vMetalEtc), er_lpr(vErLpr);
  return table == vInfoValue ? info : table == vMetalEtc ? metal : er_lpr;
}

// First keyword of the table (in table order) found anywhere in s; its record, or null.
const _token_tables_* FindKeyword(const _token_tables_* table, std::string_view s) {
  const KeywordIndex& index = IndexOf(table);
  const _token_tables_* best = nullptr;
  for (std::size_t i = 0; i < s.size() && best != table; ++i) {
    for (const KeywordIndex::Entry& e : index.by_first[static_cast<unsigned char>(s[i])]) {
      if (best && e.keyword >= best) break;
      if (e.size <= s.size() - i && std::memcmp(s.data() + i, e.keyword->keyword, e.size) == 0) {
        best = e.keyword;
        break;
      }
    }
  }
  return best;
}

std::string UpperTrimmed(std::string_view text) {
  const std::string_view t = TrimNarrow(UpToNul(text));
  std::string s(t);
  for (char& c : s) c = UpperNarrow(c);
  return s;
}

}  // namespace

std::string apParseLine(std::string_view line, int32_t* code) {
  *code = -1;
  const std::string_view t = TrimNarrow(UpToNul(line));
  // Every keyword holds an ASCII letter and no other Windows-1252 character upper-cases to
  // one, so a line without letters (every reading line of a Nembra file) matches nothing.
  if (t.empty() || !HasAsciiLetter(t)) return {};
  std::array<char, 256> buffer;
  std::string owned;
  char* s = buffer.data();
  if (t.size() > buffer.size()) {
    owned.resize(t.size());
    s = owned.data();
  }
  for (std::size_t i = 0; i < t.size(); ++i) s[i] = t[i] == '\t' ? ' ' : UpperNarrow(t[i]);
  const std::string_view sv(s, t.size());

  if (const _token_tables_* k = FindKeyword(vInfoValue, sv)) {
    *code = k->code;
    const std::size_t colon = sv.find(':');
    if (colon == std::string_view::npos) return std::string(sv);
    return std::string(TrimNarrow(sv.substr(colon + 1)));
  }
  for (const _token_tables_* table : {vMetalEtc, vErLpr}) {
    if (const _token_tables_* k = FindKeyword(table, sv)) {
      *code = k->code;
      return k->keyword;
    }
  }
  return {};
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
