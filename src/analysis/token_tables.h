// SPDX-License-Identifier: GPL-3.0-or-later
// The four keyword tables that drive all recognition of instrument data files, and the line
// classification and field splitting built on them. All texts are narrow (Windows-1252).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/code_page.h"

namespace tarn {

struct _token_tables_ {
  int32_t code;
  const char* keyword;  // upper case; the terminator's is empty
};

// Each ends with the terminator {-1, ""}.
extern const _token_tables_ vInfoValue[];
extern const _token_tables_ vMetalEtc[];
extern const _token_tables_ vErLpr[];
extern const _token_tables_ vProbeType[];

// Line codes of the tables.
enum LineCode : int32_t {
  kTagNumber = 10,
  kSerialNumber = 11,
  kPartNumber = 12,
  kProbeTypeLine = 13,
  kMetalLossUnit = 14,
  kThickness = 15,
  kReadingInterval = 16,
  kStartTime = 17,
  kProbeLife = 18,
  kProbeId = 19,
  kAlloyUns = 20,
  kRsRr = 30,
  kCorRate = 31,
  kMetalLossMarker = 32,
  kCorrosionRate = 33,
  kCurrent = 34,
  kPotential = 35,
  kMetalSamples = 40,
};

// Classifies one line as read (the text stops at a NUL byte). *code is the code of the first
// keyword found, header keywords first, then signatures, then data markers; -1 for none. The
// result is the upper-case value after the first colon (the whole line when it has none) for a
// header keyword, the keyword itself otherwise, empty when nothing matched.
std::string apParseLine(std::string_view line, int32_t* code);

// Code of the first probe type name that occurs in the text (case-sensitive); -1 for none.
int32_t apGetProbeType(std::string_view text);

// The trimmed, upper-case text after the first sep in the trimmed, upper-case buff; *pos is the
// index just after that sep in the trimmed text, or -1 (and the result empty) when there is none.
std::string GetNextStr(std::string_view sep, std::string_view buff, int32_t* pos);

// Narrow-text helpers shared by the reader: white space as IsNarrowSpace counts it; upper case
// covers the Windows-1252 letters. Inline: the readers trim every line several times.
inline std::string_view TrimNarrow(std::string_view text) {
  const char* b = text.data();
  const char* e = b + text.size();
  while (b != e && IsNarrowSpace(static_cast<unsigned char>(*b))) ++b;
  while (e != b && IsNarrowSpace(static_cast<unsigned char>(e[-1]))) --e;
  return std::string_view(b, static_cast<std::size_t>(e - b));
}
// Upper case by byte, looked up: every line read is upper-cased.
inline constexpr struct UpperBytes {
  char of[256];
} kUpperNarrow = [] {
  UpperBytes t{};
  for (int c = 0; c < 256; ++c) {
    int u = c;
    if (c >= 'a' && c <= 'z') u = c - 0x20;
    // Windows-1252 letters with a capital in the code page: à-þ (not ÷), š, œ, ž, ÿ.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) u = c - 0x20;
    if (c == 0x9A || c == 0x9C || c == 0x9E) u = c - 0x10;
    if (c == 0xFF) u = 0x9F;
    t.of[c] = static_cast<char>(static_cast<unsigned char>(u));
  }
  return t;
}();
inline char UpperNarrow(char ch) {
  return kUpperNarrow.of[static_cast<unsigned char>(ch)];
}
// Copies `text` upper-cased (UpperNarrow) into out[0, text.size()), tabs turned into spaces;
// out may be text.data() itself.
void UpperSpacedCopy(std::string_view text, char* out);

}  // namespace tarn
