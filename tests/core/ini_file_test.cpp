// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ini_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "test_util.h"

namespace tarn {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

IniFile FromText(const std::string& text, const char* section) {
  IniFile ini;
  ini.SetIniText(text);
  ini.SetIniSector(section);
  return ini;
}

TEST(IniFileTest, FindsNamesWithoutRegardToCaseAndTrimsValues) {
  IniFile ini = FromText(
      "width=1\r\n"  // before any section: belongs to none
      "[comm]\r\n"
      "port = 3   \r\n"
      "; BAUD=7\r\n"
      "Baud\t=\t-16776961\r\n"
      "NOEQUALS\r\n"
      "[ Win ]\r\n"
      "Width=900\r\n"
      "WIDTH=111\r\n"
      "NAME=\"quoted text\"\r\n"
      "[COMM]\r\n"
      "FLOW=9\r\n",
      "COMM");
  EXPECT_EQ(ini.IniReadInt("PORT", -1), 3);
  EXPECT_EQ(ini.IniReadStr("PORT", "x"), "3");
  EXPECT_EQ(ini.IniReadInt("baud", -1), -16776961);
  EXPECT_EQ(ini.IniReadInt("NOEQUALS", -1), -1);
  EXPECT_EQ(ini.IniReadInt("WIDTH", -1), -1) << "key of another section";
  // A repeated section is not merged: its keys are not found.
  EXPECT_EQ(ini.IniReadInt("FLOW", -1), -1);
  ini.SetIniSector("win");
  EXPECT_EQ(ini.IniReadInt("WIDTH", -1), 900) << "first of two equal keys";
  EXPECT_EQ(ini.IniReadStr("name", ""), "quoted text");
  ini.SetIniSector("ETC");
  EXPECT_EQ(ini.IniReadStr("ANY", "fallback"), "fallback");
}

TEST(IniFileTest, NumbersReadLikeTheWindowsCalls) {
  IniFile ini =
      FromText("[G]\nEMPTY=\nWORD=COM3\nINT=12.9xyz\nREAL=2\nEXP=1.5e2\nLOW=-0.25 \n", "G");
  EXPECT_EQ(ini.IniReadInt("EMPTY", 7), 0);
  EXPECT_EQ(ini.IniReadInt("WORD", 7), 0);
  EXPECT_EQ(ini.IniReadInt("INT", 7), 12);
  EXPECT_EQ(ini.IniReadInt("ABSENT", 7), 7);
  EXPECT_EQ(ini.IniReadFloat("EMPTY", 5.0), 0.0);
  EXPECT_EQ(ini.IniReadFloat("WORD", 5.0), 0.0);
  EXPECT_EQ(ini.IniReadFloat("REAL", 5.0), 2.0);
  EXPECT_EQ(ini.IniReadFloat("EXP", 5.0), 150.0);
  EXPECT_EQ(ini.IniReadFloat("LOW", 5.0), -0.25);
  // An absent key gives its default rounded to nine decimals, as if it had been stored.
  EXPECT_EQ(ini.IniReadFloat("ABSENT", 39.3700787), 39.3700787);
  EXPECT_EQ(ini.IniReadFloat("ABSENT", 0.1234567894), 0.123456789);
  EXPECT_EQ(ini.IniReadFloat("ABSENT", 2e-10), 0.0);
}

TEST(IniFileTest, LongValuesAreCut) {
  const std::string digits(300, '7');
  IniFile ini = FromText("[S]\nK=" + digits + "\n", "S");
  EXPECT_EQ(ini.IniReadStr("K", ""), digits.substr(0, 254));
  // The cut happens before the number is read: 254 sevens, not 300.
  EXPECT_EQ(ini.IniReadFloat("K", 0), std::stod(digits.substr(0, 254)));
}

TEST(IniFileTest, WritesReplaceInPlaceAndAddWhereTheyBelong) {
  IniFile ini = FromText(
      "; settings\n"
      "[COMM]\n"
      "port = 3\n"
      "FOREIGN=keep me\n"
      "\n"
      "[WIN]\n"
      "width=1024\n"
      "[ODD]\n"
      "X=1\n",
      "COMM");
  ini.IniWriteInt("PORT", 3);  // same value: the hand-written line stays as it is
  ini.IniWriteInt("BAUD", 5);  // new key: after the last key line, before the blank line
  ini.SetIniSector("WIN");
  ini.IniWriteInt("WIDTH", 900);  // replaced in place, keeping the key's spelling
  ini.IniWriteInt("HEIGHT", -800);
  ini.SetIniSector("GRAPH");  // new section at the end
  ini.IniWriteFloat("Y_HIGH", 10.0);
  ini.IniWriteStr("TITLE", "two\nlines");
  EXPECT_EQ(ini.text(),
            "; settings\n"
            "[COMM]\n"
            "port = 3\n"
            "FOREIGN=keep me\n"
            "BAUD=5\n"
            "\n"
            "[WIN]\n"
            "width=900\n"
            "HEIGHT=-800\n"
            "[ODD]\n"
            "X=1\n"
            "[GRAPH]\n"
            "Y_HIGH=10.000000000\n"
            "TITLE=two\n");
}

TEST(IniFileTest, KeepsTheFilesLineEnd) {
  TempDir dir;
  const std::string crlf = dir.file("crlf.cfg"), lf = dir.file("lf.cfg"), fresh = dir.file("n");
  WriteAll(crlf, "[A]\r\nK=1\r\n");
  WriteAll(lf, "[A]\nK=1");  // no final line end
  for (const std::string& path : {crlf, lf, fresh}) {
    IniFile ini;
    ini.SetIniFile(path);
    ini.SetIniSector("A");
    EXPECT_EQ(ini.IniReadInt("K", 0), path == fresh ? 0 : 1);
    ini.IniWriteInt("K", 2);
    ini.IniWriteInt("L", 3);
    EXPECT_TRUE(ini.Flush());
  }
  EXPECT_EQ(ReadAll(crlf), "[A]\r\nK=2\r\nL=3\r\n");
  EXPECT_EQ(ReadAll(lf), "[A]\nK=2\nL=3\n");
  EXPECT_EQ(ReadAll(fresh), "[A]\r\nK=2\r\nL=3\r\n");
}

TEST(IniFileTest, MissingOrUnreadableFileReadsAsEmpty) {
  TempDir dir;
  IniFile ini;
  ini.SetIniFile(dir.file("absent.cfg"));
  ini.SetIniSector("WIN");
  EXPECT_EQ(ini.IniReadInt("WIDTH", 1024), 1024);
  // A folder where the file should be cannot be read, and must not be replaced either.
  std::filesystem::create_directory(dir.file("folder.cfg"));
  ini.SetIniFile(dir.file("folder.cfg"));
  ini.SetIniSector("WIN");
  EXPECT_EQ(ini.IniReadInt("WIDTH", 1024), 1024);
  ini.IniWriteInt("WIDTH", 5);
  EXPECT_FALSE(ini.Flush());
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.cfg")));
}

TEST(IniFileTest, FailedFlushLeavesTheOldFile) {
  TempDir dir;
  // No folder to write into.
  IniFile ini;
  ini.SetIniFile(dir.file("not-a-folder") + "/TARN.CFG");
  WriteAll(dir.file("not-a-folder"), "x");
  ini.SetIniSector("S");
  ini.IniWriteInt("K", 1);
  EXPECT_FALSE(ini.Flush());

  // The longest legal name still saves: the temporary file's name never depends on it.
  const std::string long_name = dir.file(std::string(255, 'c'));
  WriteAll(long_name, "[S]\nK=old\n");
  ini.SetIniFile(long_name);
  ini.SetIniSector("S");
  ini.IniWriteInt("K", 1);
  EXPECT_TRUE(ini.Flush());
  EXPECT_EQ(ReadAll(long_name), "[S]\nK=1\n");

  IniFile no_file;
  no_file.SetIniText("[S]\nK=1\n");
  EXPECT_FALSE(no_file.Flush());
}

TEST(IniFileTest, ReadOnlyFolderRefusesTheSave) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  TempDir dir;
  const std::filesystem::path sub = dir.path() / "ro";
  std::filesystem::create_directory(sub);
  const std::string path = (sub / "TARN.CFG").string();
  WriteAll(path, "[S]\r\nK=old\r\n");
  std::filesystem::permissions(
      sub, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  IniFile ini;
  ini.SetIniFile(path);
  ini.SetIniSector("S");
  ini.IniWriteInt("K", 1);
  EXPECT_FALSE(ini.Flush());
  std::filesystem::permissions(sub, std::filesystem::perms::owner_all);
  EXPECT_EQ(ReadAll(path), "[S]\r\nK=old\r\n");

  // A file that cannot be read must not be replaced by one holding only our keys.
  std::filesystem::permissions(path, std::filesystem::perms::none);
  ini.SetIniFile(path);
  ini.SetIniSector("S");
  EXPECT_EQ(ini.IniReadInt("K", 7), 7);
  ini.IniWriteInt("K", 1);
  EXPECT_FALSE(ini.Flush());
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  EXPECT_EQ(ReadAll(path), "[S]\r\nK=old\r\n");
}

}  // namespace
}  // namespace tarn
