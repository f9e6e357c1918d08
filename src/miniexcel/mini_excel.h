// SPDX-License-Identifier: GPL-3.0-or-later
// A small writer of single-sheet BIFF2 spreadsheet files holding text and number cells.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace tarn::miniexcel {

class LittleEndianWriter {
 public:
  explicit LittleEndianWriter(FILE* file) : file_(file) {}
  ~LittleEndianWriter();  // closes the file
  LittleEndianWriter(const LittleEndianWriter&) = delete;
  LittleEndianWriter& operator=(const LittleEndianWriter&) = delete;

  void Write1(uint8_t v);
  void Write2(int32_t v);
  void Write4(int32_t v);
  void WriteFloatIEEE(float v);
  void WriteDoubleIEEE(double v);
  // Bytes as they are (whole records built elsewhere).
  void WriteBytes(const void* bytes, std::size_t n);
  // Closes now; false when any write, the flush or the close failed.
  bool Close();

 private:
  void Put(const uint8_t* bytes, std::size_t n);
  void Flush();
  FILE* file_;
  bool failed_ = false;
  // Records are one to a few bytes at a time: they gather here and go out in large writes.
  static constexpr std::size_t kBufferBytes = 1 << 16;
  std::size_t pending_ = 0;
  std::unique_ptr<uint8_t[]> buffer_ = std::make_unique<uint8_t[]>(kBufferBytes);
};

class excelValueAttributes {
 public:
  excelValueAttributes() = default;
  excelValueAttributes(int32_t row, int32_t column) : row_(row), column_(column) {}

  int32_t getRow() const { return row_; }
  void setRow(int32_t row) { row_ = row; }
  int32_t getColumn() const { return column_; }
  void setColumn(int32_t column) { column_ = column; }
  void CopyAttributes(const excelValueAttributes& v);

  void setHidden(bool v);
  bool getHidden() const;
  void setLocked(bool v);
  bool getLocked() const;
  void setShaded(bool v);
  bool getShaded() const;
  void setFontNum(int v);
  int getFontNum() const;
  void setFormatNum(int v);
  int getFormatNum() const;
  void setAlignament(int v);
  int getAlignament() const;
  void setBorder(int v);
  int getBorder() const;

  const uint8_t* attributes() const { return attr_; }

 private:
  int32_t row_ = 0;
  int32_t column_ = 0;
  uint8_t attr_[3] = {0, 0, 0};
};

class BIFFRecord {
 public:
  virtual ~BIFFRecord() = default;
  virtual void Write(LittleEndianWriter& writer) = 0;

 protected:
  void Write(LittleEndianWriter& writer, int32_t nRecNo, int32_t nRecLen);
};

class excelBOF : public BIFFRecord {
 public:
  excelBOF(int32_t nVer, int32_t nType) : nVer(nVer), nType(nType) {}
  void Write(LittleEndianWriter& writer) override;
  int32_t nVer;
  int32_t nType;
};

class excelEOF : public BIFFRecord {
 public:
  void Write(LittleEndianWriter& writer) override;
};

class excelNUMBER : public BIFFRecord, public excelValueAttributes {
 public:
  explicit excelNUMBER(double value) : value_(value) {}
  void Write(LittleEndianWriter& writer) override;

 private:
  double value_;
};

class excelLABEL : public BIFFRecord, public excelValueAttributes {
 public:
  // Keeps at most 255 characters: the record's count is one byte.
  explicit excelLABEL(const char* text);
  void Write(LittleEndianWriter& writer) override;

 private:
  int32_t length_ = 0;
  char text_[257];  // length_ bytes and a zero
};

class ExcelCell : public excelValueAttributes {
 public:
  ExcelCell() = default;
  ExcelCell(const ExcelCell& other);
  ExcelCell& operator=(const ExcelCell& other);
  ExcelCell(ExcelCell&& other) noexcept;
  ExcelCell& operator=(ExcelCell&& other) noexcept;
  ~ExcelCell();

  ExcelCell& operator=(double number);
  ExcelCell& operator=(const char* text);
  double asNumber() const { return number_; }
  const char* asText() const { return text_; }
  int32_t getType() const { return type_; }
  void clear();
  void Write(LittleEndianWriter& writer);

 private:
  char* text_ = nullptr;
  double number_ = 0.0;
  int32_t type_ = 0;  // 0 empty, 1 number, 2 text
};

class CMiniExcel {
 public:
  ExcelCell& operator()(unsigned row, unsigned column);
  // Writes the whole file and closes it; false when a write or the close failed.
  bool Write(FILE* file);
  std::size_t rowCount() const { return rows_.size(); }
  std::size_t cellCount(std::size_t row) const { return rows_[row].size(); }

 private:
  std::vector<std::vector<ExcelCell>> rows_;
};

}  // namespace tarn::miniexcel
