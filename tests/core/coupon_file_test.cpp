// SPDX-License-Identifier: GPL-3.0-or-later
// The coupon data file and the comma-separated and spreadsheet exports, read back byte by byte.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/code_page.h"
#include "core/coupon_test_util.h"
#include "core/test_util.h"
#include "coupon/coupon_export.h"
#include "coupon/coupon_items.h"
#include "coupon/coupon_store.h"

namespace tarn {
namespace {

using testing::InChildWithFileLimit;
using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

using testing::kOtherUnits;
using testing::kStoredUnits;
using testing::RecordingNotifier;
using testing::Units;

std::unique_ptr<CouponStore> NewStore() {
  return std::make_unique<CouponStore>();
}

_coupon_values_ Rectangle() {
  _coupon_values_ c{};
  CopyToField(c.tag, "R-1");
  ApplyCouponType(c, 1);
  c.alloy = 1;
  c.density = 7.94;
  CopyToField(c.install_time, "01/03/2024 08:00:00");
  CopyToField(c.removal_time, "31/03/2024 08:00:00");
  c.weight_init = 10.0;
  c.weight_final = 9.9;
  c.area = 21.823853;
  c.exposure = 720.0;
  c.metal_loss = 0.0057710;
  c.corr_rate = 0.0702133;
  CopyToField(c.comment, "line one\r\nline two");
  return c;
}

_coupon_values_ Disc() {
  _coupon_values_ c = Rectangle();
  CopyToField(c.tag, "D-2");
  ApplyCouponType(c, 4);  // "142"
  c.alloy = 21;           // a name with a tab
  CopyToField(c.comment, "a, b");
  return c;
}

std::string Header(const unsigned char* count_le) {
  return std::string("C_32_V_1_0") + std::string(reinterpret_cast<const char*>(count_le), 4);
}

std::string FileWith(int32_t count, int32_t records) {
  const unsigned char le[4] = {
      static_cast<unsigned char>(count), static_cast<unsigned char>(count >> 8),
      static_cast<unsigned char>(count >> 16), static_cast<unsigned char>(count >> 24)};
  std::string bytes = Header(le);
  _coupon_values_ c = Rectangle();
  for (int32_t i = 0; i < records; ++i) {
    c.holes = i;
    bytes.append(reinterpret_cast<const char*>(&c), sizeof c);
  }
  return bytes;
}

TEST(CouponFile, EmptyStoreIsFourteenBytesAndOpeningItEmptiesTheTable) {
  TempDir dir;
  const std::string path = dir.file("EMPTY.CPN");
  auto store = NewStore();
  RecordingNotifier n;
  ASSERT_TRUE(Save(path, *store, n));
  EXPECT_EQ(ReadAll(path), std::string("C_32_V_1_0\0\0\0\0", 14));

  auto other = NewStore();
  other->record_count = 3;
  EXPECT_EQ(Open(path, *other, n), CouponFileResult::kOk);
  EXPECT_EQ(other->record_count, 0);
  EXPECT_TRUE(n.messages.empty());
  int files = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1) << "no temporary file is left behind";
}

TEST(CouponFile, TwoCouponsRoundTripAndExportInOtherUnits) {
  TempDir dir;
  const std::string path = dir.file("TWO.CPN");
  auto store = NewStore();
  store->items[0] = Rectangle();
  store->items[1] = Disc();
  store->record_count = 2;
  RecordingNotifier n;
  ASSERT_TRUE(Save(path, *store, n));
  const std::string bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), 14u + 2 * 424u);
  EXPECT_EQ(bytes.substr(10, 4), std::string("\x02\0\0\0", 4));
  EXPECT_EQ(bytes.substr(14 + 424 + 40, 4), std::string("\x01\0\0\0", 4));  // disc shape
  EXPECT_EQ(bytes.substr(14 + 24, 4), std::string("\x01\0\0\0", 4));        // coupon type 1
  double density;
  std::memcpy(&density, bytes.data() + 14 + 32, 8);
  EXPECT_EQ(density, 7.94);
  EXPECT_EQ(bytes.substr(14 + 80, 20), std::string("01/03/2024 08:00:00\0", 20));

  auto back = NewStore();
  ASSERT_EQ(Open(path, *back, n), CouponFileResult::kOk);
  ASSERT_EQ(back->record_count, 2);
  EXPECT_EQ(std::memcmp(&back->items[0], &store->items[0], 424), 0);
  EXPECT_EQ(std::memcmp(&back->items[1], &store->items[1], 424), 0);

  const CouponUnits imperial = Units(kOtherUnits);
  const std::string csv = dir.file("two.csv");
  ASSERT_TRUE(SaveCsv(csv, *back, imperial, n));
  const std::string text = ReadAll(csv);
  const std::string header =
      "Tag,Coupon Type,Alloy,Alloy Density (lb/in^3),Shape,# of Holes,Hole Diameter (in),"
      "Length (in),Outer Diameter (in),Width (in),Thickness (in),Install Date,Removal Date,"
      "Initial Weight (oz),Final Weight (oz),Surface Area (in^2),Total Exposure (hours),"
      "Metal Loss (mil),Corrosion Rate (mils/year(mpy)),Comments\r\n";
  const std::string row1 =
      "R-1,100,304SS,0.2868507,Rectangle,1,0.1870,3.0000,-,0.5000,0.0625,01/03/2024 08:00:00,"
      "31/03/2024 08:00:00,0.3527,0.3492,3.3827,720.00,0.2272,2.7643,line one\r\nline two,\r\n";
  const std::string row2 =
      "D-2,142,CU - NI(90 / 10)\t,0.3229780,Disc,1,0.5000,-,1.2500,-,0.1252,"
      "01/03/2024 08:00:00,31/03/2024 08:00:00,0.3527,0.3492,2.5533,720.00,0.2272,2.7643,"
      "a, b,\r\n";
  EXPECT_EQ(text, header + row1 + row2);
  EXPECT_TRUE(n.messages.empty());

  ASSERT_TRUE(SaveCsv(csv, *back, Units(kStoredUnits), n));
  const std::string metric = ReadAll(csv);
  EXPECT_NE(metric.find("Alloy Density (g/cm^3)"), std::string::npos);
  EXPECT_NE(metric.find("Corrosion Rate (mm/year (mmpy)),"), std::string::npos);
  EXPECT_NE(metric.find(",7.94,Rectangle,1,0.4750,7.6200,-,1.2700,0.1588,"), std::string::npos);
}

TEST(CouponFile, DamagedFilesLeaveTheStoreAsItWas) {
  TempDir dir;
  auto store = NewStore();
  store->items[0] = Rectangle();
  store->record_count = 1;
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"truncated", FileWith(3, 2)},
      {"truncated beyond capacity", FileWith(70000, 65536)},
      {"negative count", FileWith(-1, 0)},
      {"short header", std::string("C_32_V_1_0\0\0", 12)},
      {"bad signature", "C_32_V_1_1" + FileWith(0, 0).substr(10)},
      {"empty", ""},
  };
  for (const auto& [name, bytes] : cases) {
    const std::string path = dir.file("BAD.CPN");
    WriteAll(path, bytes);
    RecordingNotifier n;
    EXPECT_EQ(Open(path, *store, n), CouponFileResult::kInvalid) << name;
    ASSERT_EQ(n.messages.size(), 1u) << name;
    EXPECT_EQ(n.messages[0], kMsgInvalidCouponData);
    EXPECT_EQ(store->record_count, 1) << name;
    EXPECT_STREQ(store->items[0].tag, "R-1") << name;
  }
  RecordingNotifier n;
  EXPECT_EQ(Open(dir.file("MISSING.CPN"), *store, n), CouponFileResult::kCannotOpen);
  EXPECT_EQ(n.messages, std::vector<std::string>{kMsgCannotOpenCoupon});
  EXPECT_EQ(store->record_count, 1);

  // The in-memory decoder used by the fuzzer follows the same rules.
  const std::string truncated = FileWith(2, 1);
  EXPECT_EQ(DecodeCouponFile(reinterpret_cast<const unsigned char*>(truncated.data()),
                             truncated.size(), *store),
            CouponFileResult::kInvalid);
  EXPECT_EQ(store->record_count, 1);
}

TEST(CouponFile, CountAboveCapacityReadsTheFirst65535) {
  TempDir dir;
  const std::string path = dir.file("BIG.CPN");
  WriteAll(path, FileWith(70000, 70000));
  auto store = NewStore();
  RecordingNotifier n;
  ASSERT_EQ(Open(path, *store, n), CouponFileResult::kOk);
  EXPECT_EQ(store->record_count, 65535);
  EXPECT_EQ(store->items[65534].holes, 65534);
  EXPECT_TRUE(n.messages.empty());
}

TEST(CouponExport, LineBreaksInACommentEndTheirLinesWithCrLf) {
  TempDir dir;
  auto store = NewStore();
  store->items[0] = Rectangle();
  CopyToField(store->items[0].comment, "typed\nhere\r\nand from an old file\n");
  store->record_count = 1;
  const std::string path = dir.file("breaks.csv");
  RecordingNotifier n;
  ASSERT_TRUE(SaveCsv(path, *store, Units(kStoredUnits), n));
  const std::string text = ReadAll(path);
  EXPECT_NE(text.find(",typed\r\nhere\r\nand from an old file\r\n,\r\n"), std::string::npos);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare line feed at " << i;
    }
  }
}

// Minimal BIFF2 reader: the cell records of one row, by column.
struct Cell {
  int type = 0;  // 3 NUMBER, 4 LABEL
  double number = 0.0;
  std::string text;
};

std::vector<Cell> ReadRow(const std::string& bytes, int row) {
  std::vector<Cell> cells(20);
  std::size_t pos = 0;
  auto u16 = [&](std::size_t at) {
    return static_cast<int>(static_cast<unsigned char>(bytes[at]) |
                            static_cast<unsigned char>(bytes[at + 1]) << 8);
  };
  while (pos + 4 <= bytes.size()) {
    const int id = u16(pos), len = u16(pos + 2);
    const std::size_t body = pos + 4;
    if ((id == 3 || id == 4) && u16(body) == row && u16(body + 2) < 20) {
      Cell& c = cells[u16(body + 2)];
      c.type = id;
      if (id == 3) std::memcpy(&c.number, bytes.data() + body + 7, 8);
      if (id == 4) c.text = bytes.substr(body + 8, static_cast<unsigned char>(bytes[body + 7]));
    }
    pos = body + len;
  }
  return cells;
}

TEST(CouponExport, SpreadsheetCellTypesOfADiscRow) {
  TempDir dir;
  auto store = NewStore();
  store->items[0] = Disc();
  store->items[1] = Rectangle();
  store->items[1].shape = 7;  // a damaged record: six cells without a value
  store->record_count = 2;
  const std::string path = dir.file("coupons.xls");
  RecordingNotifier n;
  ASSERT_TRUE(SaveXls(path, *store, Units(kStoredUnits), n));
  const std::string bytes = ReadAll(path);

  const std::vector<Cell> header = ReadRow(bytes, 0);
  EXPECT_EQ(header[3].text, "Alloy Density (g/cm^3)");
  EXPECT_EQ(header[18].text, "Corrosion Rate (mm/year (mmpy))");

  const std::vector<Cell> disc = ReadRow(bytes, 1);
  for (int c : {0, 1, 2, 4, 11, 12, 19}) EXPECT_EQ(disc[c].type, 4) << "column " << c;
  EXPECT_EQ(disc[7].type, 4);
  EXPECT_EQ(disc[7].text, "-");
  EXPECT_EQ(disc[9].type, 4);
  EXPECT_EQ(disc[9].text, "-");
  for (int c : {3, 5, 6, 8, 10, 13, 14, 15, 16, 17, 18}) EXPECT_EQ(disc[c].type, 3) << c;
  EXPECT_EQ(disc[5].number, 1.0);
  EXPECT_EQ(disc[8].number, 3.175);
  EXPECT_EQ(disc[3].number, 8.94);
  EXPECT_EQ(disc[2].text, "CU - NI(90 / 10)\t");
  EXPECT_EQ(disc[19].text, "a, b");

  const std::vector<Cell> odd = ReadRow(bytes, 2);
  for (int c = 5; c <= 10; ++c) EXPECT_EQ(odd[c].type, 0) << c;
  EXPECT_EQ(odd[4].type, 4);
  EXPECT_EQ(odd[4].text, "");

  const std::string csv = dir.file("coupons.csv");
  ASSERT_TRUE(SaveCsv(csv, *store, Units(kStoredUnits), n));
  EXPECT_NE(ReadAll(csv).find(",7.94,,,,,,,,01/03/2024"), std::string::npos);
}

TEST(CouponFile, FailedWritesAreReportedAndKeepTheOldFile) {
  TempDir dir;
  auto store = NewStore();
  for (int i = 0; i < 50; ++i) store->items[i] = i % 2 ? Disc() : Rectangle();
  store->record_count = 50;
  const std::string old_bytes = "previous contents";
  for (const char* name : {"DATA.CPN", "data.csv", "data.xls"}) {
    const std::string path = dir.file(name);
    WriteAll(path, old_bytes);
    const int status = InChildWithFileLimit(4096, [&] {
      RecordingNotifier n;
      const std::string ext = path.substr(path.size() - 3);
      const CouponUnits u = Units(kStoredUnits);
      const bool ok = ext == "CPN"   ? Save(path, *store, n)
                      : ext == "csv" ? SaveCsv(path, *store, u, n)
                                     : SaveXls(path, *store, u, n);
      // Success only when the failure was reported exactly once, with the right message.
      return !ok && n.messages.size() == 1 && n.messages[0].rfind(kMsgWriteFault, 0) == 0;
    });
    EXPECT_EQ(status, 0) << name;
    EXPECT_EQ(ReadAll(path), old_bytes) << name;
    int files = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1) << name << ": the temporary file is removed";
    std::filesystem::remove(path);
  }

  RecordingNotifier n;
  EXPECT_FALSE(Save(dir.file("no/such/folder/X.CPN"), *store, n));
  EXPECT_FALSE(SaveCsv(dir.file("no/such/folder/x.csv"), *store, Units(kStoredUnits), n));
  EXPECT_FALSE(SaveXls(dir.file("no/such/folder/x.xls"), *store, Units(kStoredUnits), n));
  EXPECT_EQ(n.messages.size(), 3u);
}

}  // namespace
}  // namespace tarn
