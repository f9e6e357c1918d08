// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/code_page.h"

#include <cstdint>
#include <cstring>

namespace tarn {

namespace {

// Bytes 0x80-0x9F of Windows-1252; the five undefined bytes stand for the C1 control of the same
// number, as Windows converts them, so every byte survives a round trip.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char ToNarrow(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == cp) return static_cast<char>(0x80 + i);
  }
  return '?';
}

// Decodes one UTF-8 sequence at s[*pos]; advances *pos past it. An invalid sequence yields
// U+FFFD after consuming its lead byte and the continuation bytes that were still valid.
char32_t DecodeOne(std::string_view s, size_t* pos) {
  const auto b0 = static_cast<unsigned char>(s[*pos]);
  ++*pos;
  if (b0 < 0x80) return b0;
  int need;
  char32_t cp;
  unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte (overlongs, surrogates)
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    return 0xFFFD;
  }
  for (int i = 0; i < need; ++i) {
    if (*pos >= s.size()) return 0xFFFD;
    const auto b = static_cast<unsigned char>(s[*pos]);
    if (i == 0 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return 0xFFFD;
    cp = (cp << 6) | (b & 0x3F);
    ++*pos;
  }
  return cp;
}

}  // namespace

std::string Utf8ToNarrow(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) out += ToNarrow(DecodeOne(utf8, &pos));
  return out;
}

std::string NarrowToUtf8(std::string_view narrow) {
  std::string out;
  out.reserve(narrow.size() + narrow.size() / 2);
  for (char c : narrow) {
    const auto b = static_cast<unsigned char>(c);
    AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char32_t{b});
  }
  return out;
}

void CopyToField(char* field, std::size_t field_size, std::string_view bytes) {
  if (field == nullptr || field_size == 0) return;
  std::size_t n = bytes.size() < field_size - 1 ? bytes.size() : field_size - 1;
  std::memcpy(field, bytes.data(), n);
  field[n] = '\0';
}

std::string_view FieldText(const char* field, std::size_t field_size) {
  const void* nul = std::memchr(field, '\0', field_size);
  return std::string_view(field, nul ? static_cast<const char*>(nul) - field : field_size);
}

}  // namespace tarn
