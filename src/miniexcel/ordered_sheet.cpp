// SPDX-License-Identifier: GPL-3.0-or-later
#include "miniexcel/ordered_sheet.h"

#include <algorithm>
#include <bit>

namespace tarn::miniexcel {

namespace {

constexpr uint32_t kNumberRecord = 0x0003;
constexpr uint32_t kLabelRecord = 0x0004;
constexpr std::size_t kMaxLabel = 255;
constexpr std::size_t kHeadBytes = 11;

void Put2(char* out, uint32_t v) {
  out[0] = static_cast<char>(v & 0xFF);
  out[1] = static_cast<char>((v >> 8) & 0xFF);
}

// Record number, length, row, column and the three attribute bytes (none set).
void PutCellHead(char* out, uint32_t record, uint32_t length, uint32_t row, uint32_t column) {
  Put2(out, record);
  Put2(out + 2, length);
  Put2(out + 4, row);
  Put2(out + 6, column);
  out[8] = out[9] = out[10] = 0;
}

}  // namespace

void OrderedSheet::Reserve(std::size_t numbers, std::size_t texts, std::size_t text_chars) {
  numbers_.reserve((kHeadBytes + 8) * numbers);
  texts_.reserve((kHeadBytes + 1) * texts + text_chars);
}

std::string_view BeginRecord() {
  static constexpr char kBof[] = {0x09, 0x00, 0x04, 0x00, 0x02, 0x00, 0x10, 0x00};
  return {kBof, sizeof kBof};
}

std::string_view EndRecord() {
  static constexpr char kEof[] = {0x0A, 0x00, 0x00, 0x00};
  return {kEof, sizeof kEof};
}

std::size_t NumberRecord(char* out, uint32_t row, uint32_t column, double value) {
  PutCellHead(out, kNumberRecord, 15, row, column);
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) out[kHeadBytes + i] = static_cast<char>(bits >> (8 * i));
  return kNumberRecordSize;
}

std::size_t TextRecord(char* out, uint32_t row, uint32_t column, std::string_view text) {
  const std::size_t most = std::min(text.size(), kMaxLabel);
  std::size_t n = 0;
  for (; n < most && text[n] != '\0'; ++n) out[kHeadBytes + 1 + n] = text[n];
  PutCellHead(out, kLabelRecord, 8 + static_cast<uint32_t>(n), row, column);
  out[kHeadBytes] = static_cast<char>(n);
  return kHeadBytes + 1 + n;
}

void OrderedSheet::Number(uint32_t row, uint32_t column, double value) {
  char record[kNumberRecordSize];
  numbers_.append(record, NumberRecord(record, row, column, value));
}

void OrderedSheet::Text(uint32_t row, uint32_t column, std::string_view text) {
  char record[kMostTextRecordSize];
  texts_.append(record, TextRecord(record, row, column, text));
}

std::array<std::string_view, 4> OrderedSheet::Pieces() const {
  // The beginning-of-file and end-of-file records, as CMiniExcel writes them.
  return {BeginRecord(), numbers_, texts_, EndRecord()};
}

}  // namespace tarn::miniexcel
