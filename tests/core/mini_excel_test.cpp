// SPDX-License-Identifier: GPL-3.0-or-later
#include "miniexcel/mini_excel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "miniexcel/ordered_sheet.h"
#include "test_util.h"

namespace tarn::miniexcel {
namespace {

using tarn::testing::ReadAll;
using tarn::testing::TempDir;

std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

std::string WriteSheet(CMiniExcel& sheet, const TempDir& dir) {
  const std::string path = dir.file("sheet.xls");
  FILE* f = std::fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr);
  EXPECT_TRUE(sheet.Write(f));
  return ReadAll(path);
}

const std::string kBof = Bytes({0x09, 0x00, 0x04, 0x00, 0x02, 0x00, 0x10, 0x00});
const std::string kEof = Bytes({0x0A, 0x00, 0x00, 0x00});

TEST(MiniExcelTest, WritesExactRecords) {
  TempDir dir;
  {
    CMiniExcel empty;
    EXPECT_EQ(WriteSheet(empty, dir), kBof + kEof);
  }
  {
    CMiniExcel sheet;
    sheet(0, 0) = "ER Data";
    EXPECT_EQ(WriteSheet(sheet, dir),
              kBof + Bytes({0x04, 0x00, 0x0F, 0x00, 0, 0, 0, 0, 0, 0, 0, 7}) + "ER Data" + kEof);
  }
  {
    // Numbers come first even when a text was assigned earlier in a lower row.
    CMiniExcel sheet;
    sheet(0, 0) = "";
    sheet(12, 1) = 2.0;
    EXPECT_EQ(WriteSheet(sheet, dir), kBof +
                                          Bytes({0x03, 0x00, 0x0F, 0x00, 0x0C, 0x00, 0x01, 0x00, 0,
                                                 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x40}) +
                                          Bytes({0x04, 0x00, 0x08, 0x00, 0, 0, 0, 0, 0, 0, 0, 0}) +
                                          kEof);
  }
}

TEST(MiniExcelTest, CellAccessGrowsSheetButWritesNothingForEmptyCells) {
  TempDir dir;
  CMiniExcel sheet;
  EXPECT_EQ(sheet(5, 3).getType(), 0);
  EXPECT_EQ(sheet.rowCount(), 6u);
  EXPECT_EQ(sheet.cellCount(5), 4u);
  EXPECT_EQ(sheet.cellCount(0), 0u);
  EXPECT_EQ(WriteSheet(sheet, dir), kBof + kEof);
}

TEST(MiniExcelTest, LastAssignmentDecidesTheCellType) {
  TempDir dir;
  CMiniExcel sheet;
  sheet(0, 0) = 1.5;
  sheet(0, 0) = "x";
  sheet(0, 1) = "y";
  sheet(0, 1) = 3.0;
  const std::string bytes = WriteSheet(sheet, dir);
  ASSERT_EQ(bytes.size(), 8u + 19u + 13u + 4u);
  EXPECT_EQ(bytes[8], 0x03);       // the number cell first...
  EXPECT_EQ(bytes[8 + 6], 0x01);   // ...at column 1
  EXPECT_EQ(bytes[27], 0x04);      // then the label
  EXPECT_EQ(bytes[27 + 6], 0x00);  // at column 0
  EXPECT_EQ(bytes.substr(27 + 12, 1), "x");
}

TEST(MiniExcelTest, LongLabelIsCutTo255WithConsistentLength) {
  TempDir dir;
  CMiniExcel sheet;
  const std::string long_text(300, 'a');
  sheet(0, 0) = long_text.c_str();
  const std::string bytes = WriteSheet(sheet, dir);
  ASSERT_EQ(bytes.size(), 8u + 4u + 8u + 255u + 4u);
  EXPECT_EQ(static_cast<unsigned char>(bytes[10]), 8 + 255 - 256);  // low byte of 263
  EXPECT_EQ(static_cast<unsigned char>(bytes[11]), 1);              // high byte of 263
  EXPECT_EQ(static_cast<unsigned char>(bytes[19]), 255);
  EXPECT_EQ(bytes.substr(bytes.size() - 4), kEof);
}

TEST(MiniExcelTest, CopiedCellsOwnTheirText) {
  CMiniExcel sheet;
  ExcelCell a;
  a = "first";
  ExcelCell b = a;
  a = "second";
  EXPECT_STREQ(b.asText(), "first");
  EXPECT_STREQ(a.asText(), "second");
  b = a;
  a.clear();
  EXPECT_EQ(a.getType(), 0);
  EXPECT_STREQ(b.asText(), "second");
}

TEST(MiniExcelTest, AttributeSettersMaskTheirArguments) {
  excelValueAttributes v;
  v.setFormatNum(70);
  EXPECT_EQ(v.getFormatNum(), 6);
  v.setFontNum(5);
  EXPECT_EQ(v.getFontNum(), 1);
  EXPECT_EQ(v.getFormatNum(), 6);
  v.setFormatNum(1);
  EXPECT_EQ(v.getFontNum(), 1);
  v.setAlignament(9);
  EXPECT_EQ(v.getAlignament(), 1);
  v.setBorder(0xFF);
  EXPECT_EQ(v.getBorder(), 0x78);
  EXPECT_EQ(v.getAlignament(), 1);
  v.setShaded(true);
  v.setHidden(true);
  v.setLocked(true);
  EXPECT_TRUE(v.getShaded() && v.getHidden() && v.getLocked());
  v.setLocked(false);
  EXPECT_TRUE(v.getHidden());
  EXPECT_FALSE(v.getLocked());
  EXPECT_EQ(v.attributes()[2], 0x80 | 0x78 | 1);
}

TEST(MiniExcelTest, ReportsWriteFailure) {
  CMiniExcel sheet;
  sheet(0, 0) = 1.0;
  // A stream opened read-only refuses every write.
  TempDir dir;
  tarn::testing::WriteAll(dir.file("ro"), "");
  FILE* f = std::fopen(dir.file("ro").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(sheet.Write(f));
}

// Cells given in order to OrderedSheet give the bytes of CMiniExcel holding the same cells:
// numbers and texts mixed, rows past 65535, texts cut at a zero byte and at 255 characters,
// empty texts, NaN and negative zero, and more than one write buffer of records.
TEST(MiniExcelTest, OrderedSheetWritesTheBytesOfTheSameCells) {
  const std::string long_text(300, 'x');
  const std::string with_zero("AB\0CD", 5);
  const std::string texts[] = {"", "Tag Name", long_text, with_zero, "\xE9t\xE9"};
  const double numbers[] = {0.0, -0.0, 1.5, -1e300, std::nan(""), 2.0004};
  for (uint32_t rows : {1u, 3u, 70000u}) {
    CMiniExcel table;
    OrderedSheet ordered;
    for (uint32_t r = 0; r < rows; ++r) {
      for (uint32_t c = 0; c < 3; ++c) {
        const uint32_t k = r * 3 + c;
        if (k % 7 == 3) continue;  // an empty cell
        if (k % 2 == 0) {
          table(r, c) = texts[k % 5].c_str();
          ordered.Text(r, c, texts[k % 5]);
        } else {
          table(r, c) = numbers[k % 6];
          ordered.Number(r, c, numbers[k % 6]);
        }
      }
    }
    TempDir dir;
    const std::string want = WriteSheet(table, dir);
    std::string got;
    for (std::string_view piece : ordered.Pieces()) got += piece;
    EXPECT_EQ(got.size(), want.size()) << rows;
    EXPECT_TRUE(got == want) << rows;
  }
}

}  // namespace
}  // namespace tarn::miniexcel
