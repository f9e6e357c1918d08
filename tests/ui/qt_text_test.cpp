// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt side of the narrow-text conversions: QString to and from Windows-1252 bytes and fields.
#include <gtest/gtest.h>

#include <QString>
#include <cstring>
#include <string>

#include "common/ui/qt_text.h"

namespace tarn {
namespace {

TEST(QtText, MarshalStringToNarrowUsesWindows1252) {
  std::string narrow = "old";
  MarshalString(QString::fromUtf8("Caf\u00e9 \u20ac5 \u2013 \u00df"), narrow);
  EXPECT_EQ(narrow,
            "Caf\xe9 \x80"
            "5 \x96 \xdf");
  // Characters the code page cannot hold become '?', one per character (also outside the BMP).
  MarshalString(QString::fromUtf8("a\u6f22b\U0001F600c"), narrow);
  EXPECT_EQ(narrow, "a?b?c");
  MarshalString(QString(), narrow);
  EXPECT_EQ(narrow, "");
}

TEST(QtText, MarshalStringIntoFieldNeverRunsPast) {
  struct {
    char field[6];
    char guard[4];
  } rec;
  std::memset(&rec, 'x', sizeof rec);
  MarshalString(QStringLiteral("ABCDEFGH"), rec.field);
  EXPECT_STREQ(rec.field, "ABCDE");
  EXPECT_EQ(std::string(rec.guard, 4), "xxxx");

  MarshalString(QString::fromUtf8("\u00e9t\u00e9"), rec.field);
  EXPECT_STREQ(rec.field, "\xe9t\xe9");
  EXPECT_EQ(std::string(rec.guard, 4), "xxxx");

  char one[1] = {'z'};
  MarshalString(QStringLiteral("abc"), one);
  EXPECT_EQ(one[0], '\0');
}

TEST(QtText, Chars2SysStrReadsUpToTheFirstZero) {
  EXPECT_EQ(Chars2SysStr("Caf\xe9 \x80"), QString::fromUtf8("Caf\u00e9 \u20ac"));
  // The five bytes Windows-1252 leaves undefined map to the control characters of the same value.
  EXPECT_EQ(Chars2SysStr("\x81\x8d\x8f\x90\x9d"),
            QString::fromUtf8("\u0081\u008d\u008f\u0090\u009d"));
  const char with_zero[] = {'a', 'b', '\0', 'c', '\0'};
  EXPECT_EQ(Chars2SysStr(with_zero), QStringLiteral("ab"));
  EXPECT_TRUE(Chars2SysStr(nullptr).isEmpty());
}

TEST(QtText, EveryByteSurvivesTheRoundTrip) {
  for (int b = 1; b < 256; ++b) {
    const char bytes[2] = {static_cast<char>(b), '\0'};
    const QString text = Chars2SysStr(bytes);
    ASSERT_EQ(text.size(), 1) << "byte " << b;
    std::string back;
    MarshalString(text, back);
    EXPECT_EQ(back, std::string(1, static_cast<char>(b))) << "byte " << b;
  }
}

TEST(QtText, WideStringsCopyTheirFullLength) {
  const std::u16string wide(u"x\0y\u00e9\U0001F600", 6);
  const QString text = Wstr2SysStr(wide);
  EXPECT_EQ(text.size(), 6);
  EXPECT_EQ(text.at(1), QChar(0));
  std::u16string back = u"junk";
  MarshalString(text, back);
  EXPECT_EQ(back, wide);
}

}  // namespace
}  // namespace tarn
