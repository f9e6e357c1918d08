// SPDX-License-Identifier: GPL-3.0-or-later
#include "miniexcel/mini_excel.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace tarn::miniexcel {

namespace {

constexpr int32_t kBofRecord = 0x0009;
constexpr int32_t kEofRecord = 0x000A;
constexpr int32_t kNumberRecord = 0x0003;
constexpr int32_t kLabelRecord = 0x0004;
constexpr std::size_t kMaxLabel = 255;  // the record's count is one byte

char* CopyText(const char* text) {
  if (text == nullptr) return nullptr;
  const std::size_t n = std::strlen(text);
  char* copy = new char[n + 1];
  std::memcpy(copy, text, n + 1);
  return copy;
}

template <typename T>
void PutLittleEndian(T bits, uint8_t* out) {
  for (std::size_t i = 0; i < sizeof(T); ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

}  // namespace

// --- LittleEndianWriter ---

LittleEndianWriter::~LittleEndianWriter() {
  Close();
}

void LittleEndianWriter::Put(const uint8_t* bytes, std::size_t n) {
  if (file_ == nullptr) {
    failed_ = true;
    return;
  }
  if (n >= kBufferBytes) {  // a whole block of records: no need to gather it
    Flush();
    if (std::fwrite(bytes, 1, n, file_) != n) failed_ = true;
    return;
  }
  while (n > 0) {
    const std::size_t part = std::min(n, kBufferBytes - pending_);
    std::memcpy(buffer_.get() + pending_, bytes, part);
    pending_ += part;
    bytes += part;
    n -= part;
    if (pending_ == kBufferBytes) Flush();
  }
}

void LittleEndianWriter::Flush() {
  if (file_ != nullptr && pending_ > 0 &&
      std::fwrite(buffer_.get(), 1, pending_, file_) != pending_) {
    failed_ = true;
  }
  pending_ = 0;
}

void LittleEndianWriter::WriteBytes(const void* bytes, std::size_t n) {
  Put(static_cast<const uint8_t*>(bytes), n);
}

void LittleEndianWriter::Write1(uint8_t v) {
  Put(&v, 1);
}

void LittleEndianWriter::Write2(int32_t v) {
  const uint8_t b[2] = {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>((v >> 8) & 0xFF)};
  Put(b, 2);
}

void LittleEndianWriter::Write4(int32_t v) {
  Write2(v & 0xFFFF);
  Write2((v >> 16) & 0xFFFF);
}

void LittleEndianWriter::WriteFloatIEEE(float v) {
  uint8_t b[4];
  PutLittleEndian(std::bit_cast<uint32_t>(v), b);
  Put(b, 4);
}

void LittleEndianWriter::WriteDoubleIEEE(double v) {
  uint8_t b[8];
  PutLittleEndian(std::bit_cast<uint64_t>(v), b);
  Put(b, 8);
}

bool LittleEndianWriter::Close() {
  if (file_ != nullptr) {
    Flush();
    if (std::fflush(file_) != 0) failed_ = true;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
  }
  return !failed_;
}

// --- excelValueAttributes ---

void excelValueAttributes::CopyAttributes(const excelValueAttributes& v) {
  row_ = v.row_;
  column_ = v.column_;
  std::memcpy(attr_, v.attr_, sizeof(attr_));
}

void excelValueAttributes::setHidden(bool v) {
  attr_[0] = static_cast<uint8_t>(v ? (attr_[0] | 0x80) : (attr_[0] & ~0x80));
}
bool excelValueAttributes::getHidden() const {
  return (attr_[0] & 0x80) != 0;
}

void excelValueAttributes::setLocked(bool v) {
  attr_[0] = static_cast<uint8_t>(v ? (attr_[0] | 0x40) : (attr_[0] & ~0x40));
}
bool excelValueAttributes::getLocked() const {
  return (attr_[0] & 0x40) != 0;
}

void excelValueAttributes::setShaded(bool v) {
  attr_[2] = static_cast<uint8_t>(v ? (attr_[2] | 0x80) : (attr_[2] & ~0x80));
}
bool excelValueAttributes::getShaded() const {
  return (attr_[2] & 0x80) != 0;
}

void excelValueAttributes::setFontNum(int v) {
  attr_[1] = static_cast<uint8_t>((attr_[1] & 0x3F) | ((v & 3) << 6));
}
int excelValueAttributes::getFontNum() const {
  return (attr_[1] >> 6) & 3;
}

void excelValueAttributes::setFormatNum(int v) {
  attr_[1] = static_cast<uint8_t>((attr_[1] & 0xC0) | (v & 63));
}
int excelValueAttributes::getFormatNum() const {
  return attr_[1] & 63;
}

void excelValueAttributes::setAlignament(int v) {
  attr_[2] = static_cast<uint8_t>((attr_[2] & ~0x07) | (v & 7));
}
int excelValueAttributes::getAlignament() const {
  return attr_[2] & 7;
}

void excelValueAttributes::setBorder(int v) {
  attr_[2] = static_cast<uint8_t>((attr_[2] & ~0x78) | (v & 0x78));
}
int excelValueAttributes::getBorder() const {
  return attr_[2] & 0x78;
}

// --- records ---

void BIFFRecord::Write(LittleEndianWriter& writer, int32_t nRecNo, int32_t nRecLen) {
  writer.Write2(nRecNo);
  writer.Write2(nRecLen);
}

void excelBOF::Write(LittleEndianWriter& writer) {
  BIFFRecord::Write(writer, kBofRecord, 4);
  writer.Write2(nVer);
  writer.Write2(nType);
}

void excelEOF::Write(LittleEndianWriter& writer) {
  BIFFRecord::Write(writer, kEofRecord, 0);
}

void excelNUMBER::Write(LittleEndianWriter& writer) {
  BIFFRecord::Write(writer, kNumberRecord, 15);
  writer.Write2(getRow());
  writer.Write2(getColumn());
  for (int i = 0; i < 3; ++i) writer.Write1(attributes()[i]);
  writer.WriteDoubleIEEE(value_);
}

excelLABEL::excelLABEL(const char* text) {
  text_[0] = '\0';
  if (text == nullptr) return;
  std::size_t n = 0;
  while (n < kMaxLabel && text[n] != '\0') ++n;
  std::memcpy(text_, text, n);
  text_[n] = '\0';
  length_ = static_cast<int32_t>(n);
}

void excelLABEL::Write(LittleEndianWriter& writer) {
  BIFFRecord::Write(writer, kLabelRecord, 8 + length_);
  writer.Write2(getRow());
  writer.Write2(getColumn());
  for (int i = 0; i < 3; ++i) writer.Write1(attributes()[i]);
  writer.Write1(static_cast<uint8_t>(length_));
  writer.WriteBytes(text_, static_cast<std::size_t>(length_));
}

// --- ExcelCell ---

ExcelCell::ExcelCell(const ExcelCell& other)
    : excelValueAttributes(other),
      text_(other.type_ == 2 ? CopyText(other.text_) : nullptr),
      number_(other.number_),
      type_(other.type_) {}

ExcelCell& ExcelCell::operator=(const ExcelCell& other) {
  if (this == &other) return *this;
  char* text = other.type_ == 2 ? CopyText(other.text_) : nullptr;
  delete[] text_;
  text_ = text;
  excelValueAttributes::operator=(other);
  number_ = other.number_;
  type_ = other.type_;
  return *this;
}

ExcelCell::ExcelCell(ExcelCell&& other) noexcept
    : excelValueAttributes(other),
      text_(std::exchange(other.text_, nullptr)),
      number_(other.number_),
      type_(other.type_) {}

ExcelCell& ExcelCell::operator=(ExcelCell&& other) noexcept {
  if (this == &other) return *this;
  delete[] text_;
  text_ = std::exchange(other.text_, nullptr);
  excelValueAttributes::operator=(other);
  number_ = other.number_;
  type_ = other.type_;
  return *this;
}

ExcelCell::~ExcelCell() {
  delete[] text_;
}

ExcelCell& ExcelCell::operator=(double number) {
  type_ = 1;
  number_ = number;
  return *this;
}

ExcelCell& ExcelCell::operator=(const char* text) {
  char* copy = CopyText(text != nullptr ? text : "");
  delete[] text_;
  text_ = copy;
  type_ = 2;
  return *this;
}

void ExcelCell::clear() {
  delete[] text_;
  text_ = nullptr;
  type_ = 0;
}

void ExcelCell::Write(LittleEndianWriter& writer) {
  if (type_ == 0) return;
  if (type_ == 1) {
    excelNUMBER record(number_);
    record.CopyAttributes(*this);
    record.Write(writer);
  } else {
    excelLABEL record(text_);
    record.CopyAttributes(*this);
    record.Write(writer);
  }
}

// --- CMiniExcel ---

ExcelCell& CMiniExcel::operator()(unsigned row, unsigned column) {
  if (rows_.size() <= row) rows_.resize(static_cast<std::size_t>(row) + 1);
  std::vector<ExcelCell>& cells = rows_[row];
  if (cells.size() <= column) cells.resize(static_cast<std::size_t>(column) + 1);
  return cells[column];
}

bool CMiniExcel::Write(FILE* file) {
  LittleEndianWriter writer(file);
  excelBOF(2, 0x0010).Write(writer);
  // All numbers first, then all texts, each in row-major order.
  for (int pass_type : {1, 2}) {
    for (std::size_t r = 0; r < rows_.size(); ++r) {
      for (std::size_t c = 0; c < rows_[r].size(); ++c) {
        ExcelCell& cell = rows_[r][c];
        if (cell.getType() != pass_type) continue;
        cell.setRow(static_cast<int32_t>(r));
        cell.setColumn(static_cast<int32_t>(c));
        cell.Write(writer);
      }
    }
  }
  excelEOF().Write(writer);
  return writer.Close();
}

}  // namespace tarn::miniexcel
