// SPDX-License-Identifier: GPL-3.0-or-later
// A sheet filled cell by cell in row-major order that gives the bytes CMiniExcel writes for the
// same cells: for exports of many rows, without a table of cells in memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarn::miniexcel {

// The records themselves, for writers that stream them: the file is the beginning-of-file
// record, every number record, every text record, then the end-of-file record.
constexpr std::size_t kNumberRecordSize = 19;
constexpr std::size_t kMostTextRecordSize = 12 + 255;
std::string_view BeginRecord();
std::string_view EndRecord();
// Writes the record at out and returns its size.
std::size_t NumberRecord(char* out, uint32_t row, uint32_t column, double value);
std::size_t TextRecord(char* out, uint32_t row, uint32_t column, std::string_view text);

class OrderedSheet {
 public:
  // Room for the cells to come, so that the records are not copied as they grow: number cells,
  // text cells and the characters of all texts (estimates; more or fewer do no harm).
  void Reserve(std::size_t numbers, std::size_t texts, std::size_t text_chars);

  // Each cell once, rows in order and columns in order within a row; a text ends at its first
  // zero byte and keeps at most 255 characters, as a CMiniExcel cell does.
  void Number(uint32_t row, uint32_t column, double value);
  void Text(uint32_t row, uint32_t column, std::string_view text);
  // The whole file in pieces to write one after the other, valid while the sheet is unchanged.
  std::array<std::string_view, 4> Pieces() const;

 private:
  // CMiniExcel writes every number before every text: the two kinds gather apart.
  std::string numbers_;
  std::string texts_;
};

}  // namespace tarn::miniexcel
