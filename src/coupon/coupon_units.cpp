// SPDX-License-Identifier: GPL-3.0-or-later
#include "coupon/coupon_units.h"

#include <charconv>
#include <cmath>

#include "common/number_text.h"

namespace tarn {

namespace {

// Decimals of each kind: stored unit, other unit.
constexpr int32_t kPointStored[kUnitCount] = {2, 4, 4, 4, 4};
constexpr int32_t kPointOther[kUnitCount] = {7, 4, 4, 4, 4};

bool IsKind(int unit) {
  return unit >= 0 && unit < kUnitCount;
}

// Exponent form for magnitudes whose fixed form would not fit: the shortest text that reads
// back to the same double, full stop, at most 24 characters.
std::string ExponentText(double value) {
  char buf[40];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  return std::string(buf, res.ptr);
}

}  // namespace

void SetUnitRatio(const _select_unit_ (&unit)[kUnitCount], CouponUnits& units) {
  for (int k = 0; k < kUnitCount; ++k) {
    // Every sel other than 0 means the second unit, for parsing as well as for formatting.
    const bool other = unit[k].sel != 0;
    units.other[k] = other;
    units.unit_ratio[k] = other ? unit[k].ratio : 1.0;
    units.unit_point[k] = other ? kPointOther[k] : kPointStored[k];
  }
}

double ChangeUnit(const CouponUnits& units, int unit, double value) {
  if (!IsKind(unit)) return value;
  return units.unit_ratio[unit] * value;
}

double ChangeUnit(const CouponUnits& units, int unit, int dim, double value) {
  if (!IsKind(unit)) return value;
  if (dim == 1) return ChangeUnit(units, unit, value);
  double factor = 1.0;
  for (int i = 0; i < dim; ++i) factor *= units.unit_ratio[unit];
  return value * factor;
}

std::string Value2Str(const CouponUnits& units, int unit, double value) {
  return Value2Str(units, unit, 1, value);
}

std::string Value2Str(const CouponUnits& units, int unit, int dim, double value) {
  const double shown = ChangeUnit(units, unit, dim, value);
  const int decimals = IsKind(unit) ? units.unit_point[unit] : 2;
  // Up to 1e20 the fixed form fits; beyond, only a probe of the length tells.
  if (std::isfinite(shown) && std::fabs(shown) >= 1e20) {
    std::string fixed = FormatFixed(shown, decimals);
    if (fixed.size() > kValueTextMax) return ExponentText(shown);
    return fixed;
  }
  return FormatFixed(shown, decimals);
}

const char* CouponUnitLabel(const CouponUnits& units, CouponLabel label) {
  switch (label) {
    case CouponLabel::kDensity:
      return units.other[kUnitDensity] ? "lb/in^3" : "g/cm^3";
    case CouponLabel::kDimension:
      return units.other[kUnitDimension] ? "in" : "cm";
    case CouponLabel::kArea:
      return units.other[kUnitDimension] ? "in^2" : "cm^2";
    case CouponLabel::kWeight:
      return units.other[kUnitWeight] ? "oz" : "g";
    case CouponLabel::kMetalLoss:
      return units.other[kUnitMetalLoss] ? "mil" : "mm";
    case CouponLabel::kCorRate:
      return units.other[kUnitCorRate] ? "mils/year(mpy)" : "mm/year (mmpy)";
    case CouponLabel::kExposure:
      return "hours";
  }
  return "";
}

}  // namespace tarn
