// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the figures derived from a probe's readings, against values worked by hand.
#include "history/probe_figures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/test_util.h"
#include "history/history_location.h"

namespace tarn {
namespace {

struct Case {
  const char* name;
  int32_t data_type;
  const char* unit;  // metal loss unit header
  double probe_life;
  std::vector<std::pair<double, double>> points;  // (day, value)
  HistoryLimits limits;
  std::optional<double> rate;
  std::optional<double> consumed;
  std::optional<double> end_days;  // after the last reading
  ProbeState state;
  const char* reason;
};

TEST(ProbeFigures, RateConsumptionEndDateAndState) {
  const HistoryLimits defaults;
  const Case cases[] = {
      // 0.1 mil/day = 36.5 mpy; (5 - 1) / 36.5 years = 40 days left.
      {"ER mils",
       0,
       "MILS",
       5,
       {{0, 0}, {5, 0.5}, {10, 1.0}},
       defaults,
       36.5,
       0.2,
       40,
       ProbeState::kAlarm,
       "rate 36.50 mpy above alarm 10.00"},
      // Least squares, not end points: (0,0) (1,0.03) (2,0.02) gives 0.01/day.
      {"ER least squares",
       4,
       "",
       1,
       {{0, 0}, {1, 0.03}, {2, 0.02}},
       defaults,
       3.65,
       0.02,
       (1 - 0.02) / 3.65 * 365,
       ProbeState::kOk,
       ""},
      // mm: 0.0005 mm/day = 0.1825 mm/y, above the 0.127 mm/y warning (5 mpy), below 0.254.
      {"ER mm",
       0,
       "MM",
       0.5,
       {{0, 0.4}, {2, 0.401}},
       defaults,
       0.1825,
       0.802,
       (0.5 - 0.401) / 0.1825 * 365,
       ProbeState::kAlarm,
       "rate 0.18 mm/y at or above warning 0.13; consumed 80.2 % at or above alarm 80.0 %"},
      // Falling metal loss: a negative rate, no end date.
      {"ER falling",
       0,
       "MILS",
       5,
       {{0, 2}, {1, 1.9}},
       defaults,
       -36.5,
       0.38,
       std::nullopt,
       ProbeState::kOk,
       ""},
      // Without a probe life there is no consumed share.
      {"ER no life",
       0,
       "MILS",
       0,
       {{0, 0}, {1, 0.01}},
       defaults,
       3.65,
       std::nullopt,
       std::nullopt,
       ProbeState::kOk,
       ""},
      // LPR corrosion rate: the mean; exactly at the warning level warns.
      {"LPR mean",
       1,
       "",
       0,
       {{0, 4}, {1, 6}},
       defaults,
       5.0,
       std::nullopt,
       std::nullopt,
       ProbeState::kWarning,
       "rate 5.00 mpy at or above warning 5.00"},
      // Exactly at the alarm level is not above it.
      {"LPR at alarm",
       5,
       "",
       0,
       {{0, 10}},
       defaults,
       10.0,
       std::nullopt,
       std::nullopt,
       ProbeState::kWarning,
       "rate 10.00 mpy at or above warning 5.00"},
      // Current and potential have no rate.
      {"current",
       2,
       "",
       0,
       {{0, 50}, {1, 70}},
       defaults,
       std::nullopt,
       std::nullopt,
       std::nullopt,
       ProbeState::kOk,
       ""},
      // One reading: no line.
      {"ER one reading",
       0,
       "MILS",
       5,
       {{3, 1}},
       defaults,
       std::nullopt,
       0.2,
       std::nullopt,
       ProbeState::kOk,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProbeSummary s;
    s.key.data_type = c.data_type;
    s.header.mloss_unit = c.unit;
    s.header.probe_life = c.probe_life;
    s.limits = c.limits;
    RegressionSums sums;
    for (const auto& [day, value] : c.points) sums.Add(day + 100.0, value);
    s.count = static_cast<int64_t>(c.points.size());
    s.last_time = 1000 * kSecondsPerDay;
    s.latest_value = c.points.back().second;
    FillProbeFigures(sums, &s);
    ASSERT_EQ(s.rate.has_value(), c.rate.has_value());
    if (c.rate) {
      EXPECT_NEAR(*s.rate, *c.rate, 1e-9);
    }
    ASSERT_EQ(s.consumed.has_value(), c.consumed.has_value());
    if (c.consumed) {
      EXPECT_NEAR(*s.consumed, *c.consumed, 1e-12);
    }
    ASSERT_EQ(s.end_time.has_value(), c.end_days.has_value());
    if (c.end_days) {
      EXPECT_NEAR(static_cast<double>(*s.end_time - s.last_time), *c.end_days * kSecondsPerDay,
                  1.0);
    }
    EXPECT_EQ(s.state, c.state);
    EXPECT_EQ(s.state_reason, c.reason);
  }
}

TEST(HistoryLocation, CommandLineThenSettingsThenDataFolder) {
  const char* argv_in[] = {"tarn", "-platform", "offscreen", "--history", "/h/x.sqlite", nullptr};
  char* argv[6];
  for (int i = 0; i < 6; ++i) argv[i] = const_cast<char*>(argv_in[i]);
  int argc = 5;
  std::string location;
  ASSERT_TRUE(TakeHistoryArgument(&argc, argv, &location));
  EXPECT_EQ(location, "/h/x.sqlite");
  ASSERT_EQ(argc, 3);
  EXPECT_STREQ(argv[2], "offscreen");
  EXPECT_EQ(argv[3], nullptr);

  char* dangling[] = {const_cast<char*>("tarn"), const_cast<char*>("--history"), nullptr};
  argc = 2;
  EXPECT_FALSE(TakeHistoryArgument(&argc, dangling, &location));

  EXPECT_EQ(ResolveHistoryLocation("/given", "/no/such/TARN.CFG", "/d/"), "/given");
  EXPECT_EQ(ResolveHistoryLocation("", "/no/such/TARN.CFG", "/d/"), "/d/history.sqlite");
  testing::TempDir dir;
  testing::WriteAll(dir.file("TARN.CFG"),
                    "[WIN]\r\nTOP=0\r\n[history]\r\nlocation=/s/h.sqlite\r\n");
  EXPECT_EQ(ResolveHistoryLocation("", dir.file("TARN.CFG"), "/d/"), "/s/h.sqlite");
}

}  // namespace
}  // namespace tarn
