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
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && IsNarrowSpace(static_cast<unsigned char>(text[b]))) ++b;
  while (e > b && IsNarrowSpace(static_cast<unsigned char>(text[e - 1]))) --e;
  return text.substr(b, e - b);
}
inline char UpperNarrow(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 0x20);
  if (c < 0x9A) return ch;
  // Windows-1252 letters with a capital in the code page: à-þ (not ÷), š, œ, ž, ÿ.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char>(c - 0x20);
  if (c == 0x9A || c == 0x9C || c == 0x9E) return static_cast<char>(c - 0x10);
  if (c == 0xFF) return static_cast<char>(0x9F);
  return ch;
}

}  // namespace tarn
