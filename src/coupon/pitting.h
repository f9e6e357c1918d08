// SPDX-License-Identifier: GPL-3.0-or-later
// A coupon's pitting rate: its deepest pit over its exposure, in mm/y and mpy, with its class.
#pragma once

#include <optional>

#include "coupon/severity_class.h"

namespace tarn {

inline constexpr double kHoursPerYear = 8760.0;  // the coupon rate's year
inline constexpr double kMmPerMilOfPit = 0.0254;

struct PittingRate {
  double mm_per_year = 0.0;
  double mpy = 0.0;
  SeverityClass severity = SeverityClass::kLow;
};

// The rate of a pit `depth` deep (in mils when `mils`, else mm) over `exposure_hours`; none for a
// depth below zero or not a number, or an exposure of no time.
std::optional<PittingRate> PitRate(double depth, bool mils, double exposure_hours);

}  // namespace tarn
