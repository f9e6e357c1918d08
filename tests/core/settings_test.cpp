// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "settings/ini_file.h"
#include "settings/recent_files.h"
#include "test_util.h"

namespace tarn {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

struct Records {
  _basic_set_ setup{};
  _select_unit_ unit[kUnitCount]{};
};

Records Load(const std::string& path) {
  Records r;
  vaLoadCfg(path, r.setup, r.unit);
  return r;
}

const char kFirstRun[] =
    "[COMM]\r\nPORT=1\r\nBAUD=5\r\nPARITY=0\r\nDATA=1\r\nSTOP=0\r\nFLOW=0\r\n"
    "[WIN]\r\nTOP=0\r\nLEFT=0\r\nHEIGHT=800\r\nWIDTH=1024\r\n"
    "[UNIT]\r\nDENSITY=0\r\nDIMENSION=0\r\nMETALLOSS=0\r\nWEIGHT=0\r\nCORRATE=0\r\n"
    "DENSITY_RATIO=0.036127292\r\nDIMENSION_RATIO=0.393700787\r\n"
    "METALLOSS_RATIO=39.370078700\r\nWEIGHT_RATIO=0.035273960\r\nCORRATE_RATIO=39.370078700\r\n"
    "[ETC]\r\nPI_OF_TUBULAR_TYPE=312.500000000\r\n"
    "[GRAPH]\r\nY_HIGH=10.000000000\r\nY_LOW=0.000000000\r\nDATA_COLOR=-16776961\r\n"
    "TREND_COLOR=-65536\r\nDATA_LINE=1.000000000\r\nTREND_LINE=1.000000000\r\n";

void ExpectDefaults(const Records& r) {
  EXPECT_EQ(r.setup.top, 0);
  EXPECT_EQ(r.setup.left, 0);
  EXPECT_EQ(r.setup.height, 800);
  EXPECT_EQ(r.setup.width, 1024);
  EXPECT_EQ(r.setup.port, 1);
  EXPECT_EQ(r.setup.baud, 5);
  EXPECT_EQ(r.setup.parity, 0);
  EXPECT_EQ(r.setup.data, 1);
  EXPECT_EQ(r.setup.stop, 0);
  EXPECT_EQ(r.setup.flow, 0);
  EXPECT_EQ(r.setup.pi_of_tubular, 312.5);
  EXPECT_EQ(r.setup.y_high, 10.0);
  EXPECT_EQ(r.setup.y_low, 0.0);
  EXPECT_EQ(static_cast<uint32_t>(r.setup.data_color), 0xFF0000FFu);
  EXPECT_EQ(static_cast<uint32_t>(r.setup.trend_color), 0xFFFF0000u);
  EXPECT_EQ(r.setup.data_line, 1.0f);
  EXPECT_EQ(r.setup.trend_line, 1.0f);
  const double ratios[] = {0.036127292, 0.393700787, 39.3700787, 0.03527396, 39.3700787};
  for (int i = 0; i < kUnitCount; ++i) {
    EXPECT_EQ(r.unit[i].sel, 0) << i;
    EXPECT_EQ(r.unit[i].ratio, ratios[i]) << i;
  }
}

TEST(SettingsTest, FirstRunTakesDefaultsAndWritesTheWholeTable) {
  TempDir dir;
  const std::string path = dir.file("TARN.CFG");
  Records r = Load(path);
  ExpectDefaults(r);
  ASSERT_TRUE(vaSaveCfg(path, r.setup, r.unit));
  EXPECT_EQ(ReadAll(path), kFirstRun);
  // Saving again changes nothing.
  ASSERT_TRUE(vaSaveCfg(path, r.setup, r.unit));
  EXPECT_EQ(ReadAll(path), kFirstRun);
}

TEST(SettingsTest, UnreadableFileGivesDefaultsAndIsNotReplaced) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("TARN.CFG"));
  Records r = Load(dir.file("TARN.CFG"));
  ExpectDefaults(r);
  EXPECT_FALSE(vaSaveCfg(dir.file("TARN.CFG"), r.setup, r.unit));
  EXPECT_FALSE(vaSaveCfg(dir.file("missing") + "/TARN.CFG", r.setup, r.unit));
}

TEST(SettingsTest, PartialFileFillsTheRestWithDefaults) {
  TempDir dir;
  const std::string path = dir.file("TARN.CFG");
  WriteAll(path, "[WIN]\r\nWIDTH=900\r\n");
  Records r = Load(path);
  EXPECT_EQ(r.setup.width, 900);
  r.setup.width = 1024;
  ExpectDefaults(r);
}

TEST(SettingsTest, HandWrittenValuesLoadAndSaveBack) {
  TempDir dir;
  const std::string path = dir.file("TARN.CFG");
  WriteAll(path,
           "# written by hand\n"
           "[graph]\n"
           "data_line=2\n"
           "Trend_Color=-16711936   \n"
           "MY_OWN_KEY=hello\n"
           "[unit]\n"
           "Dimension_Ratio=0.5\n"
           "[comm]\n"
           "PORT=COM3\n"
           "[MINE]\n"
           "A=1\n");
  Records r = Load(path);
  EXPECT_EQ(r.setup.data_line, 2.0f);
  EXPECT_EQ(r.setup.trend_color, -16711936);
  EXPECT_EQ(r.unit[kUnitDimension].ratio, 0.5);
  EXPECT_EQ(r.setup.port, 0) << "a port name is no port number";
  ASSERT_TRUE(vaSaveCfg(path, r.setup, r.unit));
  const std::string saved = ReadAll(path);
  EXPECT_NE(saved.find("# written by hand\n[graph]\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("data_line=2.000000000\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Trend_Color=-16711936   \n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("MY_OWN_KEY=hello\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("Dimension_Ratio=0.500000000\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("[MINE]\nA=1\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("\r"), std::string::npos) << "the file's own line end is kept";
  EXPECT_EQ(saved.find("[GRAPH]"), std::string::npos) << "no second section";
  Records again = Load(path);
  EXPECT_EQ(again.setup.data_line, 2.0f);
  EXPECT_EQ(again.unit[kUnitDimension].ratio, 0.5);
}

TEST(SettingsTest, EveryFieldRoundTrips) {
  TempDir dir;
  const std::string path = dir.file("TARN.CFG");
  Records r = Load(path);
  r.setup = {-20,
             -1,
             600,
             2000,
             9001,
             11,
             2,
             0,
             1,
             1,
             0.125,
             -3.5,
             -1e6,
             static_cast<int32_t>(0x80FF8040u),
             static_cast<int32_t>(0x00000001u),
             2.5f,
             0.1f};
  for (int i = 0; i < kUnitCount; ++i) r.unit[i] = {i % 2 ? -1 : 1, 0.001 * (i + 1)};
  ASSERT_TRUE(vaSaveCfg(path, r.setup, r.unit));
  Records back = Load(path);
  EXPECT_EQ(back.setup.top, -20);
  EXPECT_EQ(back.setup.left, -1);
  EXPECT_EQ(back.setup.height, 600);
  EXPECT_EQ(back.setup.width, 2000);
  EXPECT_EQ(back.setup.port, 9001);
  EXPECT_EQ(back.setup.baud, 11);
  EXPECT_EQ(back.setup.parity, 2);
  EXPECT_EQ(back.setup.data, 0);
  EXPECT_EQ(back.setup.stop, 1);
  EXPECT_EQ(back.setup.flow, 1);
  EXPECT_EQ(back.setup.pi_of_tubular, 0.125);
  EXPECT_EQ(back.setup.y_high, -3.5);
  EXPECT_EQ(back.setup.y_low, -1e6);
  EXPECT_EQ(static_cast<uint32_t>(back.setup.data_color), 0x80FF8040u);
  EXPECT_EQ(back.setup.trend_color, 1);
  EXPECT_EQ(back.setup.data_line, 2.5f);
  // 0.1f widened is 0.100000001490116..., written to nine decimals and narrowed back.
  EXPECT_EQ(back.setup.trend_line, 0.1f);
  for (int i = 0; i < kUnitCount; ++i) {
    EXPECT_EQ(back.unit[i].sel, r.unit[i].sel);
    EXPECT_EQ(back.unit[i].ratio, 0.001 * (i + 1));
  }
}

TEST(SettingsTest, HugeLineWidthNarrowsWithoutOverflow) {
  TempDir dir;
  const std::string path = dir.file("TARN.CFG");
  WriteAll(path, "[GRAPH]\nDATA_LINE=1e300\nTREND_LINE=-1e300\n");
  Records r = Load(path);
  EXPECT_TRUE(std::isinf(r.setup.data_line) && r.setup.data_line > 0);
  EXPECT_TRUE(std::isinf(r.setup.trend_line) && r.setup.trend_line < 0);
}

// The recent list keeps eight, newest first, without repeats; a path the settings file cannot
// give back unchanged is left out rather than stored cut.
TEST(SettingsTest, RecentFilesKeepEightAndOnlyWhatReadsBack) {
  std::vector<std::string> list;
  for (int i = 1; i <= 10; ++i) AddRecent(list, "/d/f" + std::to_string(i));
  AddRecent(list, "/d/f5");
  ASSERT_EQ(list.size(), 8u);
  EXPECT_EQ(list.front(), "/d/f5");
  EXPECT_EQ(list[1], "/d/f10");
  EXPECT_EQ(list.back(), "/d/f3") << "a repeat moves up and pushes nothing out";

  const std::string long_path = "/" + std::string(300, 'x');
  IniFile ini;
  ini.SetIniText("[COMM]\r\nPORT=1\r\n");
  WriteRecent(ini, "Coupon", {"/a b/c.CPN", long_path, " /lead", "/two\nlines", "/d/e.CPN"});
  EXPECT_EQ(ReadRecent(ini, "Coupon"), (std::vector<std::string>{"/a b/c.CPN", "/d/e.CPN"}));
  EXPECT_TRUE(ReadRecent(ini, "Instrument").empty());
  ini.SetIniSector("COMM");
  EXPECT_EQ(ini.IniReadInt("PORT", 0), 1) << "other sections kept";
}

}  // namespace
}  // namespace tarn
