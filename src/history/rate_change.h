// SPDX-License-Identifier: GPL-3.0-or-later
// The rate before and after an event and whether the change is real: a least-squares line on
// each side (or the mean, for corrosion-rate readings), the change with its 95 % confidence
// interval from the two standard errors, and "significant" when the interval leaves out zero.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "history/probe_figures.h"

namespace tarn {

// Sums of one side's readings: x in days from any origin, with Σy² for the scatter.
struct SideSums {
  RegressionSums s;
  double syy = 0.0;
  void Add(double x, double y) {
    s.Add(x, y);
    syy += y * y;
  }
};

// One side's figure per day (a slope) or its mean, with the figure's standard error.
struct SideFit {
  int64_t n = 0;
  double figure = 0.0;
  double standard_error = 0.0;
};

// Fewer readings than this on a side leave the comparison empty.
inline constexpr int64_t kFewestReadingsASide = 3;

// The least-squares slope (per day) and its standard error; none for fewer than three readings
// or readings all at one time.
std::optional<SideFit> FitSlope(const SideSums& side);
// The mean and its standard error; none for fewer than three readings.
std::optional<SideFit> FitMean(const SideSums& side);

// Student's t quantile: the t with P(T <= t) = p for `df` degrees of freedom (p in (0, 1)).
double StudentTQuantile(double p, double df);

struct RateChange {
  // In the probe's rate unit (per year for metal loss, the reading's unit for corrosion rate);
  // none when a side cannot be had (`reason` says why).
  std::optional<double> before, after, change, low, high;
  bool significant = false;
  std::string reason;
};

// The comparison of the readings before and after an event. Metal loss: slopes, t with
// n1 + n2 - 4 degrees of freedom; corrosion rate: means, n1 + n2 - 2. Other kinds have no rate.
RateChange CompareSides(const SideSums& before, const SideSums& after, SeriesKind kind);

// The same from readings (x from their times).
RateChange CompareReadings(const std::vector<HistoryReading>& before,
                           const std::vector<HistoryReading>& after, SeriesKind kind);

}  // namespace tarn
