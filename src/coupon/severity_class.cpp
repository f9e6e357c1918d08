// SPDX-License-Identifier: GPL-3.0-or-later
#include "coupon/severity_class.h"

#include <cmath>

namespace tarn {

namespace {

std::optional<SeverityClass> Classed(double rate, double low, double moderate, double high) {
  if (std::isnan(rate)) return std::nullopt;
  if (rate < low) return SeverityClass::kLow;
  if (rate < moderate) return SeverityClass::kModerate;
  if (rate <= high) return SeverityClass::kHigh;
  return SeverityClass::kSevere;
}

}  // namespace

std::optional<SeverityClass> GeneralRateClass(double mm_per_year) {
  return Classed(mm_per_year, 0.025, 0.125, 0.25);
}

std::optional<SeverityClass> PittingRateClass(double mm_per_year) {
  return Classed(mm_per_year, 0.13, 0.205, 0.38);
}

const char* SeverityName(SeverityClass c) {
  switch (c) {
    case SeverityClass::kLow:
      return "Low";
    case SeverityClass::kModerate:
      return "Moderate";
    case SeverityClass::kHigh:
      return "High";
    case SeverityClass::kSevere:
      return "Severe";
  }
  return "";
}

std::string GeneralClassTable() {
  return "Low: below 0.025 mm/y (1.0 mpy)\n"
         "Moderate: 0.025 to 0.12 mm/y (1.0 to 4.9 mpy)\n"
         "High: 0.13 to 0.25 mm/y (5.0 to 10 mpy)\n"
         "Severe: above 0.25 mm/y (10 mpy)";
}

}  // namespace tarn
