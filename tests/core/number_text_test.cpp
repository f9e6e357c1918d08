// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace tarn {
namespace {

TEST(NumberTextTest, LeadingIntReadsLikeAtoi) {
  struct Case {
    const char* text;
    int32_t want;
  } cases[] = {
      {"900", 900},
      {"  -16776961", -16776961},
      {"+12abc", 12},
      {"\t7\r\n", 7},
      {"", 0},
      {"abc", 0},
      {"COM3", 0},
      {"- 5", 0},
      {"0x1F", 0},
      {"12.9", 12},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-99999999999999999999", -2147483647 - 1},
  };
  for (const auto& c : cases) EXPECT_EQ(LeadingInt(c.text), c.want) << '"' << c.text << '"';
}

TEST(NumberTextTest, LeadingDoubleTakesTheLongestNumber) {
  struct Case {
    const char* text;
    double want;
  } cases[] = {
      {"312.500000000", 312.5},
      {"  2", 2.0},
      {"-0.5x", -0.5},
      {"+.25", 0.25},
      {"5.", 5.0},
      {"1e3", 1000.0},
      {"1e", 1.0},
      {"1e+", 1.0},
      {"2.5E-2z", 0.025},
      {"", 0.0},
      {"abc", 0.0},
      {".", 0.0},
      {"-", 0.0},
      {"0x10", 0.0},
      {"inf", 0.0},
      {"nan", 0.0},
      {"1,5", 1.0},
      {"39.3700787", 39.3700787},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(LeadingDouble(c.text), c.want) << c.text;
  EXPECT_EQ(LeadingDouble("1e400"), HUGE_VAL);
  EXPECT_EQ(LeadingDouble("-1e400"), -HUGE_VAL);
  EXPECT_EQ(LeadingDouble("1e-400"), 0.0);
  EXPECT_EQ(LeadingDouble("0.0000000001e-400"), 0.0);
  EXPECT_EQ(LeadingDouble("0e999999999999"), 0.0);
}

TEST(NumberTextTest, ParseWholeNumberWantsTheWholeText) {
  double v = -1;
  EXPECT_TRUE(ParseWholeNumber(" 12.5 ", &v));
  EXPECT_EQ(v, 12.5);
  EXPECT_TRUE(ParseWholeNumber("-3", &v));
  EXPECT_EQ(v, -3.0);
  EXPECT_TRUE(ParseWholeNumber("1.5e2", &v));
  EXPECT_EQ(v, 150.0);
  for (const char* bad :
       {"", "  ", "12.5g", "1,5", "0x10", "inf", "nan", "1e999", "--1", "1 2", ".", "+"}) {
    v = -1;
    EXPECT_FALSE(ParseWholeNumber(bad, &v)) << bad;
    EXPECT_EQ(v, 0.0) << bad;
  }
}

// Short plain decimals take a quicker road to the same double as the full conversion: random
// texts of 1 to 18 digits with and without sign, full stop and leading zeros, bit for bit.
TEST(NumberTextTest, ShortDecimalsConvertBitForBit) {
  std::mt19937 rng(19);
  for (int k = 0; k < 200000; ++k) {
    std::string text;
    const int sign = static_cast<int>(rng() % 3);
    if (sign == 1) text += '-';
    if (sign == 2) text += '+';
    const int digits = 1 + static_cast<int>(rng() % 18);
    const int dot = static_cast<int>(rng() % (digits + 2)) - 1;  // -1: none
    for (int d = 0; d < digits; ++d) {
      if (d == dot) text += '.';
      text += static_cast<char>('0' + (rng() % 4 == 0 ? 0 : rng() % 10));
    }
    if (dot == digits) text += '.';
    const bool negative = text[0] == '-';
    const size_t from = text[0] == '-' || text[0] == '+' ? 1 : 0;
    double want = 0.0;
    std::from_chars(text.data() + from, text.data() + text.size(), want);
    if (negative) want = -want;
    double got = 1.0;
    ASSERT_TRUE(ParseWholeNumber(text, &got)) << text;
    ASSERT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(want)) << text;
  }
}

TEST(NumberTextTest, FormatFixedIsPrintfWithAFullStop) {
  EXPECT_EQ(FormatFixed(312.5, 9), "312.500000000");
  EXPECT_EQ(FormatFixed(39.3700787, 9), "39.370078700");
  EXPECT_EQ(FormatFixed(0.03527396, 9), "0.035273960");
  EXPECT_EQ(FormatFixed(-0.0, 2), "-0.00");  // as printf
  EXPECT_EQ(FormatFixed(2.5, 0), "2");       // printf rounds the exact value, halves to even
  EXPECT_EQ(FormatFixed(1e300, 9).size(), 301u + 10u);
  EXPECT_EQ(FormatFixed(-1.7976931348623157e308, 1).size(), 1u + 309u + 2u);
}

TEST(NumberTextTest, FormatPatternRoundsHalvesAwayFromZero) {
  struct Case {
    double value;
    int decimals;
    const char* want;
  } cases[] = {
      {0.0, 4, "0.0000"},
      {0.5, 4, "0.5000"},
      {-0.00004, 4, "0.0000"},
      {-0.00005, 4, "-0.0001"},
      {0.00005, 4, "0.0001"},
      {2.5, 0, "3"},
      {-2.5, 0, "-3"},
      {1.005, 2, "1.01"},
      {0.125, 2, "0.13"},
      {9.99995, 4, "10.0000"},
      {-0.004, 2, "0.00"},
      {123456.789, 2, "123456.79"},
      {1e20, 4, "100000000000000000000.0000"},
      {0.1 + 0.2, 4, "0.3000"},
      {12.3456, 0, "12"},
      {-0.0, 2, "0.00"},
      {1e-300, 4, "0.0000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatPattern(c.value, c.decimals), c.want) << c.value << " " << c.decimals;
  }
}

TEST(NumberTextTest, IgnoresTheCLocale) {
  // A program that sets a comma locale must still read and write full stops.
  const char* set = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "C.UTF-8"}) {
    if ((set = std::setlocale(LC_NUMERIC, name)) != nullptr) break;
  }
  EXPECT_EQ(FormatFixed(1.5, 9), "1.500000000");
  EXPECT_EQ(FormatPattern(1.5, 4), "1.5000");
  EXPECT_EQ(LeadingDouble("1.5"), 1.5);
  double v = 0;
  EXPECT_TRUE(ParseWholeNumber("1.5", &v));
  EXPECT_EQ(v, 1.5);
  std::setlocale(LC_NUMERIC, "C");
}

}  // namespace
}  // namespace tarn
