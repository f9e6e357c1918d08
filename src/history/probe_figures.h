// SPDX-License-Identifier: GPL-3.0-or-later
// The figures derived from a probe's readings: the rate over a window (least squares, as the
// graph's trend line), the consumed share of its element, the end date and the state against
// its limits. Pure functions shared by every history back end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "history/history_store.h"

namespace tarn {

inline constexpr HistoryTime kSecondsPerDay = 86400;
inline constexpr double kMmPerMil = 0.0254;

// Running sums for a least-squares line; x in days from an origin the caller fixes.
struct RegressionSums {
  int64_t n = 0;
  double sx = 0.0, sy = 0.0, sxy = 0.0, sxx = 0.0;
  void Add(double x, double y) {
    ++n;
    sx += x;
    sy += y;
    sxy += x * y;
    sxx += x * x;
  }
};

// Slope of the least-squares line in y units per day; none for fewer than two distinct x.
std::optional<double> LeastSquaresSlope(const RegressionSums& s);

// What kind of series a data type holds.
enum class SeriesKind { kMetalLoss, kCorrosionRate, kOther };
SeriesKind KindOfSeries(int32_t data_type);

// A metal-loss probe whose unit is millimetres (rate in mm/y); otherwise mils (mpy).
bool IsMillimetreProbe(const ProbeHeader& header);

// Fills rate, rate_unit, consumed, end_time, state and state_reason of `s` from its key,
// header, count, last_time, latest_value and limits, and the sums over the window ending at
// its last reading (x = days from any origin, y = value).
void FillProbeFigures(const RegressionSums& window, ProbeSummary* s);

// Limits in the probe's own rate unit: the stored levels are mpy.
HistoryLimits LimitsInUnit(const HistoryLimits& mpy_limits, bool millimetre);

// Limits a store may keep: numbers >= 0, consumed shares at most the whole element, each
// warning at or below its alarm.
Status CheckLimits(const HistoryLimits& limits);

}  // namespace tarn
