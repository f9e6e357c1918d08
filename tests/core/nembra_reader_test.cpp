// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the instrument data file reader on files written into a temporary folder.
#include "analysis/nembra_reader.h"
#include "graph/grp_values.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "analysis/token_tables.h"
#include "core/test_util.h"

namespace tarn {
namespace {

using testing::TempDir;
using testing::WriteAll;

class Messages : public Notifier {
 public:
  void Error(std::string_view text) override { list.emplace_back(text); }
  std::vector<std::string> list;
};

class ReaderTest : public ::testing::Test {
 protected:
  ReaderTest() : grp_(std::make_unique<_grp_values_>()), reader_(*grp_, setup_, &messages_) {
    setup_.pi_of_tubular = 312.5;
  }

  // Writes the text as a file and opens it as the screen does.
  void OpenText(const std::string& text, const std::string& name = "data.nid") {
    const std::string path = dir_.file(name);
    WriteAll(path, text);
    reader_.Open(path);
    reader_.FileName = path;
  }

  TempDir dir_;
  _basic_set_ setup_{};
  std::unique_ptr<_grp_values_> grp_;
  Messages messages_;
  NembraReader reader_;
};

const char kNembraEr[] =
    "ER DATA DOWNLOAD\n"
    "TAG NUMBER : Pipe-7\n"
    "SERIAL NUMBER : sn 100\n"
    "PART NUMBER : P-1\n"
    "PROBE TYPE : flush\n"
    "METAL LOSS UNIT : mils\n"
    "THICKNESS : 10\n"
    "READING INTERVAL : 1 hour\n"
    "START TIME : 01/02/2020 10:20\n"
    "INDEX  RS_RR  RS\n"
    "1 01/02/2020 10:20:30 1.25 7\n"
    "2 01/02/2020 10:35:10 1 7\n"
    "3 01/02/2020 10:50:00 2.5\n"  // no field after the ratio: passed over
    "\n"
    "4 01/02/2020 11:00:00 0 7\n"
    "5 01/02/2020 11:00:20 1.25 7\n";  // 39 whole minutes, as the one before: dropped

TEST(TokenTables, ParseLineFollowsTablePrecedenceAndCase) {
  int32_t code = 0;
  // A header keyword wins over a marker on the same line.
  EXPECT_EQ(apParseLine("TAG NUMBER: A1 CURRENT", &code), "A1 CURRENT");
  EXPECT_EQ(code, 10);
  EXPECT_EQ(apParseLine("  serial number\t: ab-c\r\n", &code), "AB-C");
  EXPECT_EQ(code, 11);
  EXPECT_EQ(apParseLine("Probe Type  wire loop", &code), "PROBE TYPE  WIRE LOOP");
  EXPECT_EQ(code, 13);
  EXPECT_EQ(apParseLine("METAL LOSS UNIT: MILS", &code), "MILS");
  EXPECT_EQ(code, 14);
  EXPECT_EQ(apParseLine("Metal Samples MS3500E", &code), "METAL SAMPLES");
  EXPECT_EQ(code, 40);
  EXPECT_EQ(apParseLine("ms1500l", &code), "MS1500L");
  EXPECT_EQ(code, 43);
  EXPECT_EQ(apParseLine("Reading,Corrosion Rate (mpy),Time", &code), "CORROSION RATE");
  EXPECT_EQ(code, 33);
  EXPECT_EQ(apParseLine("metal loss(mils)", &code), "METAL LOSS(");
  EXPECT_EQ(code, 32);
  EXPECT_EQ(apParseLine("idx\trs_rr", &code), "RS_RR");
  EXPECT_EQ(code, 30);
  // Tabs count as spaces inside a keyword; upper case reaches Windows-1252 letters.
  EXPECT_EQ(apParseLine("tag\tnumber: caf\xe9", &code), "CAF\xc9");
  EXPECT_EQ(code, 10);
  EXPECT_EQ(apParseLine("1 01/02/2020 10:20:30 1.25 7", &code), "");
  EXPECT_EQ(code, -1);
  EXPECT_EQ(apParseLine(" \t\r\n", &code), "");
  EXPECT_EQ(code, -1);
  // The line ends at a NUL byte, as a C string would.
  EXPECT_EQ(apParseLine(std::string_view("xx\0TAG NUMBER:A", 15), &code), "");
  EXPECT_EQ(code, -1);
}

// Every keyword the instruments write, as a lower-case line: a misspelt table entry would
// leave files or probe types unrecognised.
TEST(TokenTables, EveryKeywordIsRecognisedWithItsCode) {
  const std::pair<const char*, int32_t> headers[] = {
      {"tag number", 10},      {"serial number", 11}, {"part number", 12},      {"probe type", 13},
      {"metal loss unit", 14}, {"thickness", 15},     {"reading interval", 16}, {"start time", 17},
      {"probe life", 18},      {"probe id", 19},      {"alloy (uns)", 20},
  };
  int32_t code = 0;
  for (const auto& [keyword, expected] : headers) {
    EXPECT_EQ(apParseLine(std::string(keyword) + " : v1", &code), "V1") << keyword;
    EXPECT_EQ(code, expected) << keyword;
  }
  const std::pair<const char*, int32_t> others[] = {
      {"METAL SAMPLES", 40},  {"MS1500E", 41}, {"MS3500E", 42},   {"MS1500L", 43},
      {"MS3500L", 44},        {"RS_RR", 30},   {"COR RATE", 31},  {"METAL LOSS(", 32},
      {"CORROSION RATE", 33}, {"CURRENT", 34}, {"POTENTIAL", 35},
  };
  for (const auto& [keyword, expected] : others) {
    std::string line = std::string("x ") + keyword + " y";
    for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(apParseLine(line, &code), keyword);
    EXPECT_EQ(code, expected) << keyword;
  }
  // Within a table the first keyword wins.
  EXPECT_EQ(apParseLine("Probe ID: probe type", &code), "PROBE TYPE");
  EXPECT_EQ(code, 13);
  EXPECT_EQ(apParseLine("Metal Loss Unit: Metal Loss(mils)", &code), "METAL LOSS(MILS)");
  EXPECT_EQ(code, 14);
  EXPECT_EQ(apParseLine("Current / Cor Rate", &code), "COR RATE");
  EXPECT_EQ(code, 31);

  const std::pair<const char*, int32_t> probes[] = {
      {"FLUSH", 1},    {"WIRE LOOP", 2},   {"WIRELOOP", 2}, {"TUBULAR", 3}, {"TUBE LOOP", 4},
      {"TUBELOOP", 4}, {"CYLINDRICAL", 5}, {"PR 2", 51},    {"PR 3", 52},   {"FL 2", 53},
      {"FL 3", 54},    {"GAL 2", 56},      {"PO 2", 57},    {"GAL 1", -1},  {"", -1},
  };
  for (const auto& [name, expected] : probes) {
    EXPECT_EQ(apGetProbeType(std::string("ER ") + name + " 20"), expected) << name;
  }
}

TEST(TokenTables, ProbeTypeAndFieldSplitting) {
  EXPECT_EQ(apGetProbeType("WIRELOOP"), 2);
  EXPECT_EQ(apGetProbeType("ER WIRE LOOP 40"), 2);
  EXPECT_EQ(apGetProbeType("TUBE LOOP"), 4);
  EXPECT_EQ(apGetProbeType("TUBULAR"), 3);
  EXPECT_EQ(apGetProbeType("GAL 2"), 56);
  EXPECT_EQ(apGetProbeType("flush"), -1);  // callers pass upper case
  EXPECT_EQ(apGetProbeType("SPIRAL"), -1);

  int32_t pos = 0;
  EXPECT_EQ(GetNextStr(" ", "  12  01/02/2020 x ", &pos), "01/02/2020 X");
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(GetNextStr(",", "abc", &pos), "");
  EXPECT_EQ(pos, -1);
  EXPECT_EQ(GetNextStr(",", "   ", &pos), "");
  EXPECT_EQ(pos, -1);
  EXPECT_EQ(GetNextStr(",", "a,", &pos), "");
  EXPECT_EQ(pos, 2);
}

TEST_F(ReaderTest, MetalLossFromRatioByProbeType) {
  reader_.thickness = "10";
  EXPECT_DOUBLE_EQ(reader_.Rsrr2Metalloss(1, 1.25), 2.0);
  EXPECT_DOUBLE_EQ(reader_.Rsrr2Metalloss(1, 1.0), 0.0);
  EXPECT_DOUBLE_EQ(reader_.Rsrr2Metalloss(1, 0.0), 0.0);
  EXPECT_DOUBLE_EQ(reader_.Rsrr2Metalloss(4, 1.25), 2.0);
  EXPECT_NEAR(reader_.Rsrr2Metalloss(2, 8.0), 2.5, 1e-12);
  EXPECT_NEAR(reader_.Rsrr2Metalloss(2, 2.0), 0.0, 1e-12);
  EXPECT_NEAR(reader_.Rsrr2Metalloss(3, 1.0), 0.0, 1e-12);
  EXPECT_NEAR(reader_.Rsrr2Metalloss(3, 2.0), 4.9174, 1e-4);
  setup_.pi_of_tubular = 100.0;  // read at conversion time
  EXPECT_NEAR(reader_.Rsrr2Metalloss(3, 2.0), 4.7231, 1e-4);
  EXPECT_EQ(reader_.Rsrr2Metalloss(5, 2.0), 0.0);
  EXPECT_EQ(reader_.Rsrr2Metalloss(-1, 2.0), 0.0);
  reader_.thickness = "10 MILS";
  EXPECT_EQ(reader_.Rsrr2Metalloss(1, 2.0), 0.0);
}

TEST_F(ReaderTest, FirstRecognisedLineDecidesTheFormat) {
  OpenText("header\nMetal Samples\nTAG NUMBER: A\nRS_RR\n1 01/02/2020 10:20:30 1 2\n");
  EXPECT_EQ(reader_.file_type, 1);
  EXPECT_EQ(reader_.tag_count, 0);  // no Metal Samples marker completes a tag
  EXPECT_FALSE(reader_.is_data);
  EXPECT_TRUE(messages_.list.empty());

  OpenText("x\ntag number: B\nMETAL SAMPLES\nRS_RR\n");
  EXPECT_EQ(reader_.file_type, 0);
  EXPECT_EQ(reader_.tag_count, 1);
  EXPECT_TRUE(reader_.is_data);

  OpenText("nothing here\nRS_RR\n");
  EXPECT_EQ(reader_.file_type, -1);
  EXPECT_EQ(reader_.tag_count, 0);
  EXPECT_FALSE(reader_.is_data);
  ASSERT_EQ(messages_.list.size(), 1u);
  EXPECT_EQ(messages_.list[0], "Unknown file type.");

  reader_.Open(dir_.file("missing.nid"));
  EXPECT_EQ(reader_.file_type, -1);
  EXPECT_EQ(reader_.tag_count, 0);
  ASSERT_EQ(messages_.list.size(), 2u);
  EXPECT_EQ(messages_.list[1], "Cannot open file.");
}

TEST_F(ReaderTest, NembraErTag) {
  OpenText(kNembraEr);
  ASSERT_EQ(reader_.file_type, 0);
  ASSERT_EQ(reader_.tag_count, 1);
  EXPECT_EQ(reader_.tag_name[0], "PIPE-7");
  EXPECT_EQ(reader_.data_type[0], 0);
  EXPECT_EQ(reader_.tag_ptr[0], 17);
  reader_.GetData(0);
  EXPECT_EQ(reader_.serial_no, "SN 100");
  EXPECT_EQ(reader_.part_no, "P-1");
  EXPECT_EQ(reader_.probe_type_str, "FLUSH");
  EXPECT_EQ(reader_.probe_type, 1);
  EXPECT_EQ(reader_.mloss_unit, "MILS");
  EXPECT_EQ(reader_.thickness, "10");
  EXPECT_EQ(reader_.read_interval, "1 HOUR");
  EXPECT_EQ(reader_.start_dt, "01/02/2020 10:20");
  EXPECT_EQ(reader_.data_type_name, "Metal Loss (mils)");
  ASSERT_EQ(reader_.record_count, 3);
  EXPECT_EQ(grp_->count, 3);
  EXPECT_EQ(grp_->data_type, 0);
  EXPECT_STREQ(grp_->tag, "PIPE-7");
  EXPECT_STREQ(grp_->y_title, "Metal Loss (mils)");
  EXPECT_STREQ(grp_->start_time, "01/02/2020 10:20:30");
  EXPECT_DOUBLE_EQ(grp_->value[0], 2.0);
  EXPECT_DOUBLE_EQ(grp_->value[1], 0.0);
  EXPECT_DOUBLE_EQ(grp_->value[2], 0.0);  // ratio 0
  EXPECT_EQ(grp_->elapsed[1], 14);
  EXPECT_EQ(grp_->elapsed[2], 39);
  EXPECT_EQ(DateTime2Str(reader_.base_time), "01/02/2020 10:20:30");
}

TEST_F(ReaderTest, NembraLprReadingsAndTagStop) {
  OpenText(
      "TAG NUMBER: L1\nPROBE TYPE: PR 2\nSTART TIME: 01/02/2020 10:00\nCOR RATE\n"
      "1 01/02/2020 10:00:00 1.5\n"
      "2 01/02/2020 10:05:00 2.5 9\n"  // a further field: not a number, reads 0
      "tag number: not a stop\n"       // only the upper-case form ends the readings
      "3 01/02/2020 10:10:00 -0.5\n"
      "4 bad\n"
      "TAG NUMBER: L2\nCURRENT\n"
      "1 01/02/2020 11:00:00 7\n");
  ASSERT_EQ(reader_.tag_count, 2);
  EXPECT_EQ(reader_.data_type[0], 1);
  EXPECT_EQ(reader_.data_type[1], 2);
  reader_.GetData(0);
  EXPECT_EQ(reader_.probe_type, 51);
  EXPECT_EQ(reader_.data_type_name, "Corrosion Rate (mpy)");
  ASSERT_EQ(reader_.record_count, 3);
  EXPECT_DOUBLE_EQ(grp_->value[0], 1.5);
  EXPECT_DOUBLE_EQ(grp_->value[1], 0.0);
  EXPECT_DOUBLE_EQ(grp_->value[2], -0.5);
  reader_.GetData(1);
  EXPECT_EQ(reader_.probe_type_str, "");  // cleared, the header stops at the tag's marker
  ASSERT_EQ(reader_.record_count, 1);
  EXPECT_DOUBLE_EQ(grp_->value[0], 7.0);
  EXPECT_STREQ(grp_->tag, "L2");
}

TEST_F(ReaderTest, LongLinesAreReadInPiecesOf199Bytes) {
  const std::string long_name(250, 'n');
  // The marker sits after 199 bytes of padding, so it is read as a line of its own.
  const std::string text = "TAG NUMBER:" + long_name + "\n" + std::string(199, 'x') + "RS_RR\n" +
                           "1 01/02/2020 10:20:30 1.25 7\n";
  OpenText(text);
  ASSERT_EQ(reader_.tag_count, 1);
  EXPECT_EQ(reader_.tag_name[0], std::string(199 - 11, 'N'));
  EXPECT_EQ(reader_.data_ptr[0], static_cast<int64_t>(11 + 250 + 1 + 199 + 6));
  reader_.GetData(0);
  EXPECT_EQ(reader_.record_count, 1);
  EXPECT_STREQ(grp_->tag, std::string(49, 'N').c_str());  // the record holds 49 bytes
}

TEST_F(ReaderTest, CrLfFileReadsLikeLf) {
  std::string crlf;
  for (char c : std::string(kNembraEr)) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  OpenText(crlf);
  ASSERT_EQ(reader_.tag_count, 1);
  EXPECT_EQ(reader_.tag_name[0], "PIPE-7");
  reader_.GetData(0);
  EXPECT_EQ(reader_.start_dt, "01/02/2020 10:20");
  EXPECT_EQ(reader_.record_count, 3);
  EXPECT_DOUBLE_EQ(grp_->value[0], 2.0);
}

TEST_F(ReaderTest, TagIndexLimitsAndOrphanMarkers) {
  std::string text;
  for (int i = 0; i < 101; ++i) {
    text += "TAG NUMBER: T" + std::to_string(i) + "\nPOTENTIAL\n1 01/02/2020 10:00:00 " +
            std::to_string(i) + "\n";
  }
  OpenText(text);
  EXPECT_EQ(reader_.tag_count, 100);
  EXPECT_EQ(reader_.tag_name[99], "T99");
  reader_.GetData(99);
  EXPECT_DOUBLE_EQ(grp_->value[0], 99.0);
  EXPECT_EQ(reader_.data_type_name, "Potential (mV)");

  // A marker without a tag line of its own keeps the entry before it's name and header.
  OpenText(
      "TAG NUMBER: A\nTHICKNESS: 10\nPROBE TYPE: FLUSH\nRS_RR\n1 01/02/2020 10:00:00 2 0\n"
      "RS_RR\n1 01/02/2020 11:00:00 1.25 0\n");
  ASSERT_EQ(reader_.tag_count, 2);
  EXPECT_EQ(reader_.tag_name[1], "A");
  EXPECT_EQ(reader_.tag_ptr[1], reader_.tag_ptr[0]);
  reader_.GetData(1);
  EXPECT_EQ(reader_.record_count, 1);
  EXPECT_DOUBLE_EQ(grp_->value[0], 2.0);

  // Before any tag line: an empty name and the start of the file.
  OpenText("TAG NUMBER\n");  // recognised, but ...
  OpenText("x\nTAG NUMBER: Z\n");
  EXPECT_EQ(reader_.tag_count, 0);
  OpenText("TAG NUMBER: \nRS_RR\n");
  ASSERT_EQ(reader_.tag_count, 1);
  EXPECT_EQ(reader_.tag_name[0], "");
}

TEST_F(ReaderTest, NembraHeaderStopsAtItsOwnMarker) {
  OpenText(
      "TAG NUMBER: A\nPROBE TYPE: FLUSH\nTHICKNESS: 10\nRS_RR\n1 01/02/2020 10:00:00 2 0\n"
      "TAG NUMBER: B\nSERIAL NUMBER: 9\nSTART TIME: 02/02/2020 00:00\nRS_RR\n");
  ASSERT_EQ(reader_.tag_count, 2);
  reader_.GetData(0);
  EXPECT_EQ(reader_.serial_no, "");
  EXPECT_EQ(reader_.start_dt, "");
  EXPECT_DOUBLE_EQ(grp_->value[0], 5.0);
}

const char kMetalEr[] =
    "Metal Samples MS3500E\n"
    "Probe Type: Wire Loop\n"
    "Probe ID: Well 3\n"
    "Probe Life: 10\n"
    "Reading,Flag,Metal Loss(mils),Date,Time\n"
    "1,>,N/A,01/02/2020,10:20:30\n"
    "2,<,N/A,01/02/2020,10:40:00\n"
    "3,>,12.5,01/02/2020,11:00:00\n"
    "4,x,N/A,01/02/2020,11:20:00\n"  // carries 12.5
    "5,>,1,bad date\n"               // sets v to 1, then dropped
    "6,x,N/A,01/02/2020,11:40:00\n"  // carries 1
    "7,>,N/A\n"                      // too few fields: passed over, v unchanged
    "8,x,N/A,01/02/2020,12:00:00\n"
    "9,x,abc,01/02/2020,12:20:00\n"  // not a number: 0
    "METAL SAMPLES upper case does not stop\n"
    "10,x,3,01/02/2020,12:40:00\n"
    "Metal Samples MS3500L\n"
    "Probe Type: PR 2\n"
    "Probe ID: LPR 1\n"
    "Alloy (UNS): c10200\n"
    "Reading,Corrosion Rate (mpy),Date,Time\n"
    "1,2.5,01/03/2020,08:00\n"
    "2,3.5 x,01/03/2020,09:00\n"
    "3,4.5\n"
    "4,5.5,01/03/2020,10:00\n"
    "Metal Samples\n"
    "Probe Type: Flush\n"
    "Probe ID: No Life\n"
    "Metal Loss(mils)\n"
    "1,>,N/A,01/04/2020,08:00\n";

TEST_F(ReaderTest, MetalSamplesTags) {
  OpenText(kMetalEr, "ms.csv");
  ASSERT_EQ(reader_.file_type, 1);
  ASSERT_EQ(reader_.tag_count, 3);
  EXPECT_EQ(reader_.tag_name[0], "WELL 3");
  EXPECT_EQ(reader_.data_type[0], 4);
  EXPECT_EQ(reader_.data_type[1], 5);
  EXPECT_EQ(reader_.data_type[2], 4);

  reader_.GetData(0);
  EXPECT_EQ(reader_.probe_type, 2);
  EXPECT_EQ(reader_.probe_life, 10);
  EXPECT_EQ(reader_.thickness, "40");  // wire loop read before the probe life
  EXPECT_EQ(reader_.start_dt, "01/02/2020 10:20:30");
  EXPECT_EQ(reader_.serial_no, "");
  const std::vector<double> expected = {10, 0, 12.5, 12.5, 1, 1, 0, 3};
  ASSERT_EQ(reader_.record_count, static_cast<int32_t>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_DOUBLE_EQ(grp_->value[i], expected[i]) << "reading " << i;
  }
  EXPECT_STREQ(grp_->start_time, "01/02/2020 10:20:30");
  EXPECT_EQ(grp_->elapsed[1], 19);

  reader_.GetData(1);
  EXPECT_EQ(reader_.thickness, "C10200");
  EXPECT_EQ(reader_.data_type_name, "Corrosion Rate (mpy)");
  EXPECT_EQ(reader_.start_dt, "01/03/2020 08:00:00");
  ASSERT_EQ(reader_.record_count, 3);
  EXPECT_DOUBLE_EQ(grp_->value[0], 2.5);
  EXPECT_DOUBLE_EQ(grp_->value[1], 0.0);
  EXPECT_DOUBLE_EQ(grp_->value[2], 5.5);

  // No probe life line: the value of the tag read before stays.
  reader_.GetData(2);
  EXPECT_EQ(reader_.thickness, "");
  ASSERT_EQ(reader_.record_count, 1);
  EXPECT_DOUBLE_EQ(grp_->value[0], 10.0);
}

TEST_F(ReaderTest, MetalSamplesThicknessIsTwiceProbeLife) {
  OpenText(
      "Metal Samples\nProbe Type: Flush\nProbe Life: 10\nProbe Type: Wire Loop\n"
      "Probe ID: P\nMetal Loss(\n1,<,N/A,01/02/2020,10:20:30\n");
  ASSERT_EQ(reader_.tag_count, 1);
  reader_.GetData(0);
  // The header starts at the last "PROBE TYPE" line before the marker.
  EXPECT_EQ(reader_.probe_type, 2);
  EXPECT_EQ(reader_.thickness, "");
  OpenText("Metal Samples\nProbe Type: Flush\nProbe Life: 10\nProbe ID: P\nMetal Loss(\n");
  reader_.GetData(0);
  EXPECT_EQ(reader_.thickness, "20");
  OpenText("Metal Samples\nProbe Type: Flush\nProbe Life: 1.5\nMetal Loss(\n");
  reader_.GetData(0);
  EXPECT_EQ(reader_.probe_life, 0);
  EXPECT_EQ(reader_.thickness, "0");
}

TEST_F(ReaderTest, ReadingsBeyondCapacityAreNotStored) {
  std::string text = "TAG NUMBER: BIG\nPOTENTIAL\n";
  const int total = kGrpCapacity + 2;
  DateTime start;
  ASSERT_TRUE(MakeDateTime(2020, 1, 1, 0, 0, 0, &start));
  for (int i = 0; i < total; ++i) {
    // One reading a minute.
    const DateTime when{start.ticks + i * kTicksPerMinute};
    text += std::to_string(i) + " " + DateTime2Str(when) + " " + std::to_string(i) + "\n";
  }
  OpenText(text);
  reader_.GetData(0);
  ASSERT_EQ(reader_.record_count, kGrpCapacity);
  EXPECT_EQ(grp_->count, kGrpCapacity);
  EXPECT_DOUBLE_EQ(grp_->value[kGrpCapacity - 1], kGrpCapacity - 1);
  EXPECT_EQ(grp_->elapsed[kGrpCapacity - 1], kGrpCapacity - 1);
}

TEST_F(ReaderTest, GetDataReportsAVanishedFileAndIgnoresBadIndexes) {
  OpenText(kNembraEr);
  reader_.GetData(0);
  ASSERT_EQ(reader_.record_count, 3);
  reader_.GetData(5);  // outside the index: nothing happens
  EXPECT_EQ(reader_.record_count, 3);
  std::filesystem::remove(reader_.FileName);
  reader_.GetData(0);
  EXPECT_EQ(reader_.record_count, 0);
  EXPECT_EQ(grp_->count, 0);
  ASSERT_EQ(messages_.list.size(), 1u);
  EXPECT_EQ(messages_.list[0], "Cannot open file.");
}

// What a streamed reading's precision is: half a unit of the value text's last decimal place,
// whatever its exponent. An exponent at the edge of the integers once wrapped round, and the
// whole tag's readings then matched one another as duplicates.
TEST_F(ReaderTest, StreamedPrecisionIsHalfTheLastDecimalPlace) {
  class Precisions : public ReadingSink {
   public:
    void Reading(std::string_view, double, const ReadingFacts& facts) override {
      got.push_back(facts.precision);
    }
    std::vector<double> got;
  };
  const struct {
    const char* text;
    double precision;
  } cases[] = {
      {"2.75", 0.005},         {"7", 0.5},       {"3e2", 50.0},
      {"1.5E-3", 5e-5},        {"0.1e-5", 5e-7}, {"1.5E-2147483648", 0.0},
      {"9E-99999999999", 0.0},
  };
  for (const auto& c : cases) {
    OpenText(std::string("Metal Samples MS3500E\r\nProbe ID: L2\r\nProbe Type: LPR\r\n") +
             "Corrosion Rate\r\n1," + c.text + ",01/03/2020,11:00\r\n");
    Precisions sink;
    reader_.StreamData(0, sink);
    ASSERT_EQ(sink.got.size(), 1u) << c.text;
    EXPECT_DOUBLE_EQ(sink.got[0], c.precision) << c.text;
  }
}

}  // namespace
}  // namespace tarn
