// SPDX-License-Identifier: GPL-3.0-or-later
// Units of display of the coupon values: the conversion ratios and decimals mirrored from the
// five unit choices, the value formatting, and the unit label texts.
#pragma once

#include <cstdint>
#include <string>

#include "settings/settings.h"

namespace tarn {

// Unit kinds index vUnit; kUnitNone shows a value as stored with 2 decimals (exposure hours).
inline constexpr int kUnitNone = -1;

// The screen class's unit_ratio and unit_point, plus the unit choice they were filled from,
// so formatting and the unit labels always agree.
struct CouponUnits {
  double unit_ratio[kUnitCount] = {1.0, 1.0, 1.0, 1.0, 1.0};
  int32_t unit_point[kUnitCount] = {2, 4, 4, 4, 4};
  bool other[kUnitCount] = {};  // true when the kind shows its second unit
};

// Fills units from the unit choices: ratio 1 and the stored unit's decimals for sel 0, the
// record's ratio and the other unit's decimals otherwise.
void SetUnitRatio(const _select_unit_ (&unit)[kUnitCount], CouponUnits& units);

double ChangeUnit(const CouponUnits& units, int unit, double value);
// value times the ratio raised to dim (dim 2 is used for areas).
double ChangeUnit(const CouponUnits& units, int unit, int dim, double value);

// "%.Nf" with a full stop, N the kind's decimals (2 for kUnitNone). Never longer than 29
// characters: a magnitude too large for that is written in exponent form, which still parses.
std::string Value2Str(const CouponUnits& units, int unit, double value);
std::string Value2Str(const CouponUnits& units, int unit, int dim, double value);
inline constexpr std::size_t kValueTextMax = 29;

// Unit label texts of the coupon screen and the export headers.
enum class CouponLabel { kDensity, kDimension, kArea, kWeight, kMetalLoss, kCorRate, kExposure };
const char* CouponUnitLabel(const CouponUnits& units, CouponLabel label);

}  // namespace tarn
