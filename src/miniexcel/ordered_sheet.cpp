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

void OrderedSheet::Number(uint32_t row, uint32_t column, double value) {
  char record[kHeadBytes + 8];
  PutCellHead(record, kNumberRecord, 15, row, column);
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) record[kHeadBytes + i] = static_cast<char>(bits >> (8 * i));
  numbers_.append(record, sizeof record);
}

void OrderedSheet::Text(uint32_t row, uint32_t column, std::string_view text) {
  char record[kHeadBytes + 1 + kMaxLabel];
  const std::size_t most = std::min(text.size(), kMaxLabel);
  std::size_t n = 0;
  for (; n < most && text[n] != '\0'; ++n) record[kHeadBytes + 1 + n] = text[n];
  PutCellHead(record, kLabelRecord, 8 + static_cast<uint32_t>(n), row, column);
  record[kHeadBytes] = static_cast<char>(n);
  texts_.append(record, kHeadBytes + 1 + n);
}

std::array<std::string_view, 4> OrderedSheet::Pieces() const {
  // The beginning-of-file and end-of-file records, as CMiniExcel writes them.
  static constexpr char kBof[] = {0x09, 0x00, 0x04, 0x00, 0x02, 0x00, 0x10, 0x00};
  static constexpr char kEof[] = {0x0A, 0x00, 0x00, 0x00};
  return {std::string_view(kBof, sizeof kBof), numbers_, texts_,
          std::string_view(kEof, sizeof kEof)};
}

}  // namespace tarn::miniexcel
