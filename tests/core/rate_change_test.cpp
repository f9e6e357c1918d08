// SPDX-License-Identifier: GPL-3.0-or-later
// The rate before and after an event: Student's t against published quantiles, a step in rate
// worked by hand, no change, too few readings, corrosion-rate means, and the sums against a
// plain two-pass computation of the same fits; and the falls an import flags for review.
#include "history/rate_change.h"

#include "history/reading_flags.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tarn {
namespace {

constexpr HistoryTime kT0 = 63900000000;  // any day

std::vector<HistoryReading> Daily(int first_day, const std::vector<double>& values) {
  std::vector<HistoryReading> out;
  for (std::size_t i = 0; i < values.size(); ++i) {
    out.push_back({kT0 + (first_day + static_cast<HistoryTime>(i)) * kSecondsPerDay, values[i]});
  }
  return out;
}

TEST(RateChange, StudentsTMatchesPublishedQuantiles) {
  struct Case {
    double p, df, t;
  };
  const Case cases[] = {{0.975, 1, 12.7062}, {0.975, 2, 4.3027},  {0.975, 4, 2.7764},
                        {0.975, 10, 2.2281}, {0.975, 30, 2.0423}, {0.975, 1000, 1.9623},
                        {0.95, 5, 2.0150},   {0.025, 4, -2.7764}, {0.5, 7, 0.0}};
  for (const Case& c : cases) {
    EXPECT_NEAR(StudentTQuantile(c.p, c.df), c.t, 5e-5) << c.p << " " << c.df;
  }
}

TEST(RateChange, AStepInRateIsSignificantWithTheIntervalWorkedByHand) {
  // Before: x 0..3, y 0 2 2 4: slope 1.2/day, Sxx 5, SSE 0.8, SE sqrt(0.4 / 5).
  // After: x 10..13, y 10 10.2 10.2 10.4: slope 0.12/day, SSE 0.008, SE sqrt(0.004 / 5).
  // Change -1.08/day; SE of the change sqrt(0.08 + 0.0008); t(0.975, 4) = 2.776445.
  const RateChange r = CompareReadings(Daily(0, {0, 2, 2, 4}), Daily(10, {10, 10.2, 10.2, 10.4}),
                                       SeriesKind::kMetalLoss);
  ASSERT_TRUE(r.change) << r.reason;
  const double half = 2.776445 * std::sqrt(0.0808);
  EXPECT_NEAR(*r.before, 1.2 * 365, 1e-9);
  EXPECT_NEAR(*r.after, 0.12 * 365, 1e-9);
  EXPECT_NEAR(*r.change, -1.08 * 365, 1e-9);
  EXPECT_NEAR(*r.low, (-1.08 - half) * 365, 1e-3);
  EXPECT_NEAR(*r.high, (-1.08 + half) * 365, 1e-3);
  EXPECT_TRUE(r.significant);
  EXPECT_TRUE(r.reason.empty());
}

TEST(RateChange, NoChangeOrTooFewReadingsOrNoRateAreSaidSo) {
  // The same noisy line on both sides: the interval holds zero.
  const std::vector<double> noisy = {0.0, 0.13, 0.18, 0.33, 0.38, 0.52, 0.57};
  std::vector<double> later;
  for (double v : noisy) later.push_back(v + 0.7);
  const RateChange same = CompareReadings(Daily(0, noisy), Daily(7, later), SeriesKind::kMetalLoss);
  ASSERT_TRUE(same.change);
  EXPECT_NEAR(*same.change, 0.0, 1e-9);
  EXPECT_LT(*same.low, 0.0);
  EXPECT_GT(*same.high, 0.0);
  EXPECT_FALSE(same.significant);

  const RateChange few =
      CompareReadings(Daily(0, noisy), Daily(7, {1.0, 1.1}), SeriesKind::kMetalLoss);
  EXPECT_TRUE(few.before);
  EXPECT_FALSE(few.after || few.change || few.low || few.high || few.significant);
  EXPECT_EQ(few.reason, "2 readings after the event; at least 3 are needed");

  const RateChange none = CompareReadings({}, Daily(7, noisy), SeriesKind::kMetalLoss);
  EXPECT_EQ(none.reason, "0 readings before the event; at least 3 are needed");
  const RateChange one_time = CompareReadings(std::vector<HistoryReading>(3, {kT0, 1.0}),
                                              Daily(7, noisy), SeriesKind::kMetalLoss);
  EXPECT_FALSE(one_time.before);

  EXPECT_EQ(CompareReadings(Daily(0, noisy), Daily(7, noisy), SeriesKind::kOther).reason,
            "this kind of reading has no rate");
}

TEST(RateChange, CorrosionRateReadingsCompareTheirMeans) {
  // Means 2 and 5, sample variances 1 and 1, n 3 each: SE sqrt(1/3 + 1/3), t(0.975, 4).
  const RateChange r =
      CompareReadings(Daily(0, {1, 2, 3}), Daily(5, {4, 5, 6}), SeriesKind::kCorrosionRate);
  ASSERT_TRUE(r.change) << r.reason;
  EXPECT_DOUBLE_EQ(*r.before, 2.0);
  EXPECT_DOUBLE_EQ(*r.after, 5.0);
  const double half = 2.776445 * std::sqrt(2.0 / 3.0);
  EXPECT_NEAR(*r.low, 3.0 - half, 1e-5);
  EXPECT_NEAR(*r.high, 3.0 + half, 1e-5);
  EXPECT_TRUE(r.significant);
}

TEST(RateChange, SumsAgreeWithATwoPassFitOfTheSameReadings) {
  // Hourly readings over 30 days with a wobble, levels far from zero as a worn probe's.
  std::vector<HistoryReading> side;
  for (int h = 0; h < 30 * 24; ++h) {
    side.push_back({kT0 + h * 3600, 40.0 + 0.004 * h / 24.0 + 0.01 * std::sin(h * 0.7)});
  }
  SideSums sums;
  double mx = 0, my = 0;
  for (const HistoryReading& r : side) {
    sums.Add(static_cast<double>(r.time - kT0) / kSecondsPerDay, r.value);
    mx += static_cast<double>(r.time - kT0) / kSecondsPerDay;
    my += r.value;
  }
  const double n = static_cast<double>(side.size());
  mx /= n;
  my /= n;
  double sxx = 0, sxy = 0, syy = 0;
  for (const HistoryReading& r : side) {
    const double dx = static_cast<double>(r.time - kT0) / kSecondsPerDay - mx, dy = r.value - my;
    sxx += dx * dx;
    sxy += dx * dy;
    syy += dy * dy;
  }
  const double slope = sxy / sxx;
  const double se = std::sqrt((syy - slope * sxy) / (n - 2) / sxx);
  const std::optional<SideFit> fit = FitSlope(sums);
  ASSERT_TRUE(fit);
  EXPECT_NEAR(fit->figure, slope, 1e-9);
  EXPECT_NEAR(fit->standard_error, se, 1e-6 * se);
}

TEST(ReadingFlags, FlagsFallsLargerThanTheShareOfTheProbeLife) {
  // Probe life 10: falls of more than 0.2 are flagged, a rise never, a fall of exactly 0.2 not.
  const std::vector<HistoryReading> r = Daily(0, {1.0, 1.5, 1.25, 1.05, 3.0, 0.1, 0.2, 0.1});
  const std::vector<StepDown> steps = FindStepDowns(r, 10.0);
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0].from.value, 1.5);
  EXPECT_EQ(steps[0].to.value, 1.25);
  EXPECT_EQ(steps[1].from.value, 3.0);
  EXPECT_EQ(steps[1].to.time, r[5].time);
  EXPECT_TRUE(FindStepDowns(r, 0.0).empty());
  EXPECT_TRUE(FindStepDowns({}, 10.0).empty());
}

}  // namespace
}  // namespace tarn
