// SPDX-License-Identifier: GPL-3.0-or-later
// The severity classes coupon rates are reported in (the usual recommended practice for
// oilfield coupons): general and pitting rates, each classed on its rate in mm/y.
#pragma once

#include <optional>
#include <string>

namespace tarn {

enum class SeverityClass { kLow, kModerate, kHigh, kSevere };

// Below 0.025 mm/y Low, below 0.125 Moderate, at most 0.25 High, above Severe; none for a rate
// that is not a number.
std::optional<SeverityClass> GeneralRateClass(double mm_per_year);
// Below 0.13 mm/y Low, below 0.205 Moderate, at most 0.38 High, above Severe.
std::optional<SeverityClass> PittingRateClass(double mm_per_year);

// "Low", "Moderate", "High", "Severe".
const char* SeverityName(SeverityClass c);

// The general-rate table in a line per class, in mm/y and mpy, for a tooltip or a report.
std::string GeneralClassTable();

}  // namespace tarn
