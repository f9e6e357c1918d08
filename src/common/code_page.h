// SPDX-License-Identifier: GPL-3.0-or-later
// Narrow text of records and files is Windows-1252; these convert it to and from UTF-8 and copy
// it into fixed-size record fields without ever running past them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

// UTF-8 to Windows-1252; characters the code page cannot hold (and invalid UTF-8) become '?'.
std::string Utf8ToNarrow(std::string_view utf8);
// Windows-1252 to UTF-8; the five undefined bytes map to U+0081, U+008D, U+008F, U+0090, U+009D.
std::string NarrowToUtf8(std::string_view narrow);

// White space of narrow text: tab to carriage return, space and the no-break space (0xA0).
// Two tests at most, the first a bit mask: the file readers trim every line several times.
inline bool IsNarrowSpace(unsigned char c) {
  constexpr uint64_t kTabToSpace = 0x3E00 | uint64_t{1} << 0x20;  // 0x09-0x0D and 0x20
  return c <= 0x20 ? (kTabToSpace >> c & 1) != 0 : c == 0xA0;
}

// Copies bytes into a field of field_size bytes, cut to field_size - 1, always NUL-terminated.
void CopyToField(char* field, std::size_t field_size, std::string_view bytes);
template <std::size_t N>
void CopyToField(char (&field)[N], std::string_view bytes) {
  CopyToField(field, N, bytes);
}

// The text of a field up to its first NUL, never past the field.
std::string_view FieldText(const char* field, std::size_t field_size);
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
  return FieldText(field, N);
}

}  // namespace tarn
