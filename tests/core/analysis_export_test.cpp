// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the analysis grid rows and the CSV and spreadsheet exports against expected bytes.
#include "analysis/analysis_export.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "core/test_util.h"

namespace tarn {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

std::pair<int, int> Pos(int row, int column) {
  return {row, column};
}

// Cells of a BIFF2 file: (row, column) to a text, or a number as "#<value>".
std::map<std::pair<int, int>, std::string> ReadSheet(const std::string& bytes) {
  std::map<std::pair<int, int>, std::string> cells;
  auto u16 = [&](std::size_t at) {
    return static_cast<int>(static_cast<unsigned char>(bytes[at]) |
                            (static_cast<unsigned char>(bytes[at + 1]) << 8));
  };
  std::size_t at = 0;
  while (at + 4 <= bytes.size()) {
    const int type = u16(at);
    const int length = u16(at + 2);
    const std::size_t body = at + 4;
    if (body + length > bytes.size()) break;
    if (type == 0x0003) {
      double v = 0;
      std::memcpy(&v, bytes.data() + body + 7, 8);
      cells[{u16(body), u16(body + 2)}] = "#" + std::to_string(v);
    } else if (type == 0x0004) {
      const int n = static_cast<unsigned char>(bytes[body + 7]);
      cells[{u16(body), u16(body + 2)}] = bytes.substr(body + 8, n);
    }
    at = body + length;
  }
  return cells;
}

class ExportTest : public ::testing::Test {
 protected:
  ExportTest() : grp_(std::make_unique<_grp_values_>()), reader_(*grp_, setup_, nullptr) {
    setup_.pi_of_tubular = 312.5;
  }
  void Load(const std::string& text, int32_t tag) {
    const std::string path = dir_.file("in.nid");
    WriteAll(path, text);
    reader_.Open(path);
    reader_.FileName = path;
    ASSERT_GT(reader_.tag_count, tag);
    reader_.cur_tag = tag;
    reader_.GetData(tag);
  }
  TempDir dir_;
  _basic_set_ setup_{};
  std::unique_ptr<_grp_values_> grp_;
  NembraReader reader_;
};

const char kFile[] =
    "TAG NUMBER: Pipe,7\nSERIAL NUMBER: S1\nPART NUMBER: P2\nPROBE TYPE: Flush\n"
    "METAL LOSS UNIT: Mils\nTHICKNESS: 10\nREADING INTERVAL: 1 Day\n"
    "START TIME: 01/02/2020 10:20\nRS_RR\n"
    "1 01/02/2020 10:20:30 1.25 0\n"
    "2 01/02/2020 10:35:10 1.2500004 0\n"
    "3 02/02/2020 10:20:30 1.3333333 0\n"
    "TAG NUMBER: LPR-1\nSTART TIME: 01/02/2020 10:20\nCOR RATE\n"
    "1 01/02/2020 10:20:30 -0.00001\n"
    "TAG NUMBER: ONE\nTHICKNESS: 10\nPROBE TYPE: FLUSH\nRS_RR\n"
    "1 01/02/2020 10:20:30 2 0\n";

TEST_F(ExportTest, EachRowShowsItsOwnTimeWhileTheGraphKeepsWholeMinutes) {
  // Readings after a first one with seconds: the table shows each one's own minute, the graph
  // its whole minutes after the first. A reading less than a minute after the first is still
  // left out; one 40 s after 14:00:00 is a whole minute later on the graph and keeps its row.
  Load(
      "TAG NUMBER: T\nSTART TIME: 01/02/2020 13:00\nRS_RR\n"
      "1 01/02/2020 13:00:30 1.25 0\n"
      "2 01/02/2020 13:01:10 1.25 0\n"
      "3 01/02/2020 13:15:10 1.25 0\n"
      "4 01/02/2020 14:00:00 1.25 0\n"
      "5 01/02/2020 14:00:40 1.25 0\n"
      "6 02/02/2020 00:00:59 1.25 0\n",
      0);
  const struct {
    const char* shown;
    int32_t minutes;
  } rows[] = {{"01/02/2020 13:00", 0},
              {"01/02/2020 13:15", 14},
              {"01/02/2020 14:00", 59},
              {"01/02/2020 14:00", 60},
              {"02/02/2020 00:00", 660}};
  ASSERT_EQ(reader_.record_count, 5);
  for (int32_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(ReadingTimeText(reader_, i), rows[i].shown);
    EXPECT_EQ(reader_.grp().elapsed[i], rows[i].minutes);
  }
  const std::string path = dir_.file("own.csv");
  ASSERT_TRUE(SaveCsv(reader_, path));
  EXPECT_NE(ReadAll(path).find("\r\n01/02/2020 13:15,"), std::string::npos);
}

TEST_F(ExportTest, ErRowsAndCsvLayout) {
  Load(kFile, 0);
  EXPECT_STREQ(DataTypeLabel(reader_.data_type[0]), "ER Data");
  ASSERT_EQ(InfoRows(reader_).size(), 7u);
  EXPECT_EQ(ReadingTimeText(reader_, 1), "01/02/2020 10:35");
  EXPECT_EQ(ReadingValueText(reader_, 0), "2.0000");
  EXPECT_EQ(ReadingValueText(reader_, 1), "2.0000");
  EXPECT_EQ(CrateStr(reader_), "Corrosion Rate : 182.4999 mpy");

  const std::string path = dir_.file("out.csv");
  const Status saved = SaveCsv(reader_, path);
  ASSERT_TRUE(saved) << saved.message;
  EXPECT_EQ(ReadAll(path),
            "ER Data\r\n\r\n"
            "Tag Name,PIPE,7\r\n"
            "Serial no,S1\r\nPart no,P2\r\nProbe Type,FLUSH\r\nMetal Loss Unit,MILS\r\n"
            "Thickness,10\r\nReading Interval,1 DAY\r\nStart Time,01/02/2020 10:20\r\n"
            "\r\n"
            "Received Date / Time,Metal Loss (mils),Corrosion Rate : 182.4999 mpy\r\n"
            "01/02/2020 10:20,2.0000\r\n"
            "01/02/2020 10:35,2.0000\r\n"
            "02/02/2020 10:20,2.5000\r\n"
            "\r\n");
}

TEST_F(ExportTest, LprAndSingleReadingCsv) {
  Load(kFile, 1);
  EXPECT_STREQ(DataTypeLabel(reader_.data_type[1]), "LPR Data");
  const std::string path = dir_.file("lpr.csv");
  ASSERT_TRUE(SaveCsv(reader_, path));
  EXPECT_EQ(ReadAll(path),
            "LPR Data\r\n\r\nTag Name,LPR-1\r\n"
            "Serial no,\r\nPart no,\r\nProbe Type,\r\nReading Interval,\r\n"
            "Start Time,01/02/2020 10:20\r\n\r\n"
            "Received Date / Time,Corrosion Rate (mpy),\r\n"
            "01/02/2020 10:20,0.0000\r\n\r\n");

  Load(kFile, 2);
  ASSERT_TRUE(SaveCsv(reader_, path));
  const std::string csv = ReadAll(path);
  EXPECT_NE(csv.find("Received Date / Time,Metal Loss (mils),Corrosion Rate :  mpy\r\n"),
            std::string::npos)
      << csv;
}

TEST_F(ExportTest, MetalSamplesCsvHasThreeInformationLines) {
  const char ms[] =
      "Metal Samples MS1500E\nProbe Type: Flush\nProbe ID: E1\nProbe Life: 5\n"
      "Reading,Flag,Metal Loss(mils),Date,Time\n"
      "1,>,N/A,01/03/2020,08:00\n2,x,6,02/03/2020,08:00\n"
      "Metal Samples MS1500L\nProbe Type: PR 2\nProbe ID: L1\nAlloy (UNS): c10200\n"
      "Reading,Potential (mV),Date,Time\n"
      "1,-512.25,01/03/2020,08:00:30\n";
  const std::string path = dir_.file("ms.csv");
  Load(ms, 0);
  ASSERT_TRUE(SaveCsv(reader_, path));
  EXPECT_EQ(ReadAll(path),
            "ER Data\r\n\r\nTag Name,E1\r\n"
            "Probe Type,FLUSH\r\nThickness,10\r\nStart Time,01/03/2020 08:00:00\r\n\r\n"
            "Received Date / Time,Metal Loss (mils),Corrosion Rate : 365.0000 mpy\r\n"
            "01/03/2020 08:00,5.0000\r\n02/03/2020 08:00,6.0000\r\n\r\n");

  Load(ms, 1);
  ASSERT_TRUE(SaveCsv(reader_, path));
  EXPECT_EQ(ReadAll(path),
            "LPR Data\r\n\r\nTag Name,L1\r\n"
            "Probe Type,PR 2\r\nAlloy (UNS),C10200\r\nStart Time,01/03/2020 08:00:30\r\n\r\n"
            "Received Date / Time,Potential (mV),\r\n"
            "01/03/2020 08:00,-512.2500\r\n\r\n");
}

TEST_F(ExportTest, SpreadsheetLayout) {
  Load(kFile, 0);
  const std::string path = dir_.file("out.xls");
  const Status saved = SaveXls(reader_, path);
  ASSERT_TRUE(saved) << saved.message;
  auto cells = ReadSheet(ReadAll(path));
  EXPECT_EQ(cells[Pos(0, 0)], "ER Data");
  EXPECT_EQ(cells.count(Pos(1, 0)), 0u);
  EXPECT_EQ(cells[Pos(2, 0)], "Tag Name");
  EXPECT_EQ(cells[Pos(2, 1)], "PIPE,7");
  EXPECT_EQ(cells[Pos(3, 0)], "Serial no");
  EXPECT_EQ(cells[Pos(9, 1)], "01/02/2020 10:20");
  EXPECT_EQ(cells.count(Pos(10, 0)), 0u);
  EXPECT_EQ(cells[Pos(11, 0)], "Received Date / Time");
  EXPECT_EQ(cells[Pos(11, 1)], "Metal Loss (mils)");
  EXPECT_EQ(cells[Pos(11, 2)], "Corrosion Rate : 182.4999 mpy");
  EXPECT_EQ(cells[Pos(12, 0)], "01/02/2020 10:20");
  EXPECT_EQ(cells[Pos(12, 1)], "#" + std::to_string(2.0));
  EXPECT_EQ(cells[Pos(13, 0)], "01/02/2020 10:35");
  // The number is the shown four-decimal value, not the unrounded one.
  EXPECT_EQ(cells[Pos(13, 1)], "#" + std::to_string(2.0));
  EXPECT_EQ(cells[Pos(14, 1)], "#" + std::to_string(2.5));
  EXPECT_EQ(cells.size(), 26u);

  // An LPR tag: the rate cell is an empty text cell.
  Load(kFile, 1);
  ASSERT_TRUE(SaveXls(reader_, path));
  cells = ReadSheet(ReadAll(path));
  EXPECT_EQ(cells[Pos(9, 0)], "Received Date / Time");
  ASSERT_EQ(cells.count(Pos(9, 2)), 1u);
  EXPECT_EQ(cells[Pos(9, 2)], "");
  EXPECT_EQ(cells[Pos(10, 1)], "#" + std::to_string(0.0));
}

TEST_F(ExportTest, FailedWritesAreReportedAndLeaveNothing) {
  Load(kFile, 0);
  const std::string missing = dir_.file("no-such-folder/out.csv");
  for (const Status& saved : {SaveCsv(reader_, missing), SaveXls(reader_, missing)}) {
    EXPECT_FALSE(saved);
    EXPECT_FALSE(saved.message.empty());
  }
  EXPECT_FALSE(std::filesystem::exists(missing));

  // An existing file is replaced whole.
  const std::string path = dir_.file("old.csv");
  WriteAll(path, std::string(10000, 'z'));
  ASSERT_TRUE(SaveCsv(reader_, path));
  EXPECT_EQ(ReadAll(path).find('z'), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()),
                          std::filesystem::directory_iterator()),
            2);  // the input and old.csv: no temporary file left behind
}

TEST_F(ExportTest, WriteFailingPartWayKeepsTheOldFile) {
  Load(kFile, 0);
  for (const char* name : {"old.csv", "old.xls"}) {
    const std::string path = dir_.file(name);
    WriteAll(path, "previous");
    // 100 bytes of file size allowed: every export fails part-way through.
    const int status = testing::InChildWithFileLimit(100, [&] {
      const Status saved = name[4] == 'c' ? SaveCsv(reader_, path) : SaveXls(reader_, path);
      return !saved && saved.message.find("Cannot write the file.") == 0;
    });
    EXPECT_EQ(status, 0) << name;
    EXPECT_EQ(ReadAll(path), "previous") << name;
  }
}

TEST_F(ExportTest, ReadingThatIsNoNumberIsTheCsvTextInTheSpreadsheet) {
  // A wire loop probe with a negative ratio has no metal loss.
  Load(
      "TAG NUMBER: W\nTHICKNESS: 10\nPROBE TYPE: WIRE LOOP\nRS_RR\n"
      "1 01/02/2020 10:20:30 -1 0\n2 01/02/2020 11:20:30 2 0\n",
      0);
  Status saved = SaveCsv(reader_, dir_.file("w.csv"));
  ASSERT_TRUE(saved) << saved.message;
  EXPECT_NE(ReadAll(dir_.file("w.csv")).find("01/02/2020 10:20,NaN\r\n"), std::string::npos);
  saved = SaveXls(reader_, dir_.file("w.xls"));
  ASSERT_TRUE(saved) << saved.message;
  auto cells = ReadSheet(ReadAll(dir_.file("w.xls")));
  EXPECT_EQ(cells[Pos(12, 1)], "NaN");
  EXPECT_EQ(cells[Pos(13, 1)], "#" + std::to_string(0.0));
}

TEST_F(ExportTest, SpreadsheetRefusesRowsPastItsLimit) {
  std::string text = "TAG NUMBER: BIG\nCURRENT\n";
  DateTime start;
  ASSERT_TRUE(MakeDateTime(2020, 1, 1, 0, 0, 0, &start));
  for (int i = 0; i < kGrpCapacity; ++i) {
    text += "1 " + DateTime2Str(DateTime{start.ticks + i * kTicksPerMinute}) + " 1\n";
  }
  Load(text, 0);
  ASSERT_EQ(reader_.record_count, kGrpCapacity);
  const std::string path = dir_.file("big.xls");
  const Status saved = SaveXls(reader_, path);
  EXPECT_FALSE(saved);
  EXPECT_NE(saved.message.find("CSV"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_TRUE(SaveCsv(reader_, dir_.file("big.csv")));
}

}  // namespace
}  // namespace tarn
