// SPDX-License-Identifier: GPL-3.0-or-later
#include "coupon/pitting.h"

#include <cmath>

namespace tarn {

std::optional<PittingRate> PitRate(double depth, bool mils, double exposure_hours) {
  if (!(depth >= 0.0) || !std::isfinite(depth) || !(exposure_hours > 0.0)) return std::nullopt;
  const double mm = mils ? depth * kMmPerMilOfPit : depth;
  PittingRate r;
  r.mm_per_year = mm / (exposure_hours / kHoursPerYear);
  r.mpy = r.mm_per_year / kMmPerMilOfPit;
  r.severity = *PittingRateClass(r.mm_per_year);
  return r;
}

}  // namespace tarn
