// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarn {
namespace {

DateTime Make(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  DateTime dt;
  EXPECT_TRUE(MakeDateTime(y, mo, d, h, mi, s, &dt)) << y << "-" << mo << "-" << d;
  return dt;
}

DateTime Fallback() {
  return Make(1990, 1, 1, 1, 1, 1);
}

struct ParseCase {
  const char* text;
  int ok;
  int y, mo, d, h, mi, s;
};

class Str2DateTimeTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(Str2DateTimeTest, ReadsFieldsOrFallsBack) {
  const ParseCase& c = GetParam();
  int32_t chk = -1;
  const DateTime got = Str2DateTime(c.text, &chk);
  EXPECT_EQ(chk, c.ok) << '"' << c.text << '"';
  if (c.ok == 1) {
    EXPECT_EQ(got, Make(c.y, c.mo, c.d, c.h, c.mi, c.s)) << '"' << c.text << '"';
  } else {
    EXPECT_EQ(got, Fallback()) << '"' << c.text << '"';
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Str2DateTimeTest,
    ::testing::Values(ParseCase{"07/12/2020 21:31", 1, 2020, 12, 7, 21, 31, 0},
                      ParseCase{"7-12-2020 9:05:30", 1, 2020, 12, 7, 9, 5, 30},
                      ParseCase{"07/12/2020 21:31:16", 1, 2020, 12, 7, 21, 31, 16},
                      ParseCase{"07/12/2020 21:31:16 extra words", 1, 2020, 12, 7, 21, 31, 16},
                      ParseCase{"07/12/2020 21:31:16:garbage", 1, 2020, 12, 7, 21, 31, 16},
                      ParseCase{"+07/+12/2020 21:31", 1, 2020, 12, 7, 21, 31, 0},
                      ParseCase{"07/12/2020 21:31:16\r\n", 1, 2020, 12, 7, 21, 31, 16},
                      ParseCase{"\t07/12/2020\t 21:31", 1, 2020, 12, 7, 21, 31, 0},
                      ParseCase{"07\t/12/2020 21\t:31", 1, 2020, 12, 7, 21, 31, 0},
                      ParseCase{"07/12/2020 \xA0"
                                "21:31\xA0",
                                1, 2020, 12, 7, 21, 31, 0},
                      ParseCase{"\xA0"
                                "07/12/2020\xA0 21:31",
                                1, 2020, 12, 7, 21, 31, 0},
                      ParseCase{"29/02/2020 00:00", 1, 2020, 2, 29, 0, 0, 0},
                      ParseCase{"01/01/26 10:00", 1, 26, 1, 1, 10, 0, 0},  // no century added
                      ParseCase{"31/12/9999 23:59:59", 1, 9999, 12, 31, 23, 59, 59},
                      ParseCase{"01/01/0001 00:00:00", 1, 1, 1, 1, 0, 0, 0},
                      ParseCase{"2020-12-07 21:31", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/12/2020", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"31/02/2020 10:00", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"29/02/2100 10:00", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/12/2020  21:31", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{" 07/12/2020 21:31", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/12/2020 21:31 ", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/13/2020 21:31", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"00/12/2020 21:31", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/12/2020 24:00", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/12/2020 21:60", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/12/2020 21:31:60", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/12/0000 21:31", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/12/10000 21:31", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/12/2020 21:3a", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/12/2020 21:+", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/12/2020 21:31.5", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"07/12/99999999999 21:31", 0, 0, 0, 0, 0, 0, 0},
                      ParseCase{"", 0, 0, 0, 0, 0, 0, 0}));

TEST(DateTimeTest, NullChkIsAllowed) {
  EXPECT_EQ(Str2DateTime("07/12/2020 21:31", nullptr), Make(2020, 12, 7, 21, 31));
  EXPECT_EQ(Str2DateTime("bad", nullptr), Fallback());
}

TEST(DateTimeTest, MakeAndSplitAgreeAcrossTheCalendar) {
  // Ticks of a known date: 01/01/2000 is day 730119 after 01/01/0001.
  EXPECT_EQ(Make(2000, 1, 1).ticks, 730119 * kTicksPerDay);
  EXPECT_EQ(Make(1, 1, 1).ticks, 0);
  DateTime prev = Make(1, 1, 1);
  for (int y : {1, 4, 100, 400, 1600, 1900, 2000, 2024, 9999}) {
    for (int m = 1; m <= 12; ++m) {
      for (int d : {1, 28, 29, 30, 31}) {
        DateTime dt;
        if (!MakeDateTime(y, m, d, 13, 45, 59, &dt)) continue;
        const DateTimeParts p = SplitDateTime(dt);
        EXPECT_EQ(p.year, y);
        EXPECT_EQ(p.month, m);
        EXPECT_EQ(p.day, d);
        EXPECT_EQ(p.hour, 13);
        EXPECT_EQ(p.minute, 45);
        EXPECT_EQ(p.second, 59);
        EXPECT_GT(dt, prev);
        prev = dt;
      }
    }
  }
  DateTime untouched{42};
  EXPECT_FALSE(MakeDateTime(1900, 2, 29, 0, 0, 0, &untouched));
  EXPECT_FALSE(MakeDateTime(2020, 4, 31, 0, 0, 0, &untouched));
  EXPECT_FALSE(MakeDateTime(2020, 1, 1, -1, 0, 0, &untouched));
  EXPECT_EQ(untouched.ticks, 42);
  EXPECT_EQ(SplitDateTime(DateTime{Make(2020, 1, 1).ticks + 1234}).sub_second_ticks, 1234);
}

TEST(DateTimeTest, DateTime2StrRoundTrips) {
  EXPECT_EQ(DateTime2Str(Make(2020, 12, 7, 21, 31, 16)), "07/12/2020 21:31:16");
  EXPECT_EQ(DateTime2Str(Make(5, 3, 9, 0, 0, 0)), "09/03/0005 00:00:00");
  // Fractions of a second are dropped, not rounded.
  EXPECT_EQ(DateTime2Str(DateTime{Make(2020, 1, 1, 0, 0, 59).ticks + kTicksPerSecond - 1}),
            "01/01/2020 00:00:59");
  for (const DateTime dt : {Make(1, 1, 1), Make(9999, 12, 31, 23, 59, 59), Make(2024, 2, 29, 7)}) {
    int32_t chk = 0;
    EXPECT_EQ(Str2DateTime(DateTime2Str(dt), &chk), dt);
    EXPECT_EQ(chk, 1);
  }
}

TEST(DateTimeTest, TimeSpan2StrAddsRoundedMinutes) {
  const DateTime base = Make(2020, 12, 7);
  EXPECT_EQ(TimeSpan2Str(base, 90.5), "07/12/2020 01:30");
  EXPECT_EQ(TimeSpan2Str(base, 1440), "08/12/2020 00:00");
  EXPECT_EQ(TimeSpan2Str(base, -1), "06/12/2020 23:59");
  EXPECT_EQ(TimeSpan2Str(base, 0.999), "07/12/2020 00:00");  // seconds dropped, not rounded
  // 59.9995 s is 59999.5 ms: rounds up to a whole minute; the next value down does not.
  EXPECT_EQ(TimeSpan2Str(base, 0.99999166666666666), "07/12/2020 00:01");
  EXPECT_EQ(TimeSpan2Str(base, 0.9999900), "07/12/2020 00:00");
  // Negative halves round away from zero too: -0.5 ms becomes -1 ms, into the day before.
  EXPECT_EQ(TimeSpan2Str(base, -0.5 / 60000.0), "06/12/2020 23:59");
  EXPECT_EQ(TimeSpan2Str(base, -0.4 / 60000.0), "07/12/2020 00:00");
}

TEST(DateTimeTest, TimeSpan2StrIsEmptyOutsideTheCalendar) {
  const DateTime base = Make(2020, 12, 7);
  EXPECT_EQ(TimeSpan2Str(base, std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(TimeSpan2Str(base, std::numeric_limits<double>::infinity()), "");
  EXPECT_EQ(TimeSpan2Str(base, -std::numeric_limits<double>::infinity()), "");
  EXPECT_EQ(TimeSpan2Str(base, 1e300), "");
  EXPECT_EQ(TimeSpan2Str(Make(1, 1, 1), -1), "");
  EXPECT_EQ(TimeSpan2Str(Make(1, 1, 1), 0), "01/01/0001 00:00");
  EXPECT_EQ(TimeSpan2Str(Make(9999, 12, 31, 23, 59), 0.99), "31/12/9999 23:59");
  EXPECT_EQ(TimeSpan2Str(Make(9999, 12, 31, 23, 59), 1), "");
}

TEST(DateTimeTest, IntervalInMinutes) {
  const DateTime base = Make(2020, 12, 7);
  EXPECT_DOUBLE_EQ(DateTime2Interval(base, Make(2020, 12, 7, 0, 0, 30)), 0.5);
  EXPECT_DOUBLE_EQ(DateTime2Interval(Make(2020, 12, 7, 0, 0, 30), base), -0.5);
  EXPECT_DOUBLE_EQ(DateTime2Interval(base, Make(2021, 12, 7)), 365.0 * 1440.0);
  EXPECT_DOUBLE_EQ(DateTime2Interval(Make(1, 1, 1), Make(9999, 12, 31)), 3652058.0 * 1440.0);
}

}  // namespace
}  // namespace tarn
