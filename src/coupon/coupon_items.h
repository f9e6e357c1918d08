// SPDX-License-Identifier: GPL-3.0-or-later
// The value items 0 to 18 of a coupon (text in the units of display and back), applying a
// catalogue entry to a coupon, and resetting it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/date_time.h"
#include "coupon/coupon_units.h"
#include "coupon/coupon_values.h"
#include "settings/settings.h"

namespace tarn {

enum CouponItem {
  kItemTag = 0,
  kItemCouponType = 1,
  kItemAlloy = 2,
  kItemDensity = 3,
  kItemShape = 4,
  kItemHoles = 5,
  kItemHoleDia = 6,
  kItemLength = 7,
  kItemWidth = 8,
  kItemThickness = 9,
  kItemInstallTime = 10,
  kItemRemovalTime = 11,
  kItemWeightInit = 12,
  kItemWeightFinal = 13,
  kItemArea = 14,
  kItemExposure = 15,
  kItemMetalLoss = 16,
  kItemCorrRate = 17,
  kItemComment = 18,
  kItemCount = 19
};

// Text of item p in UTF-8 (record texts are converted from Windows-1252); empty outside 0-18.
std::string GetValue(const _coupon_values_& cpon, int p, const CouponUnits& units);
// The same text as the record holds it (Windows-1252), as the exports write it.
std::string GetNarrowValue(const _coupon_values_& cpon, int p, const CouponUnits& units);

// coupon_type, alloy or shape for p = 1, 2, 4; 0 otherwise.
int32_t GetValueInx(const _coupon_values_& cpon, int p);
// Stores index into coupon_type, alloy or shape for p = 1, 2, 4 only.
void SetValue(_coupon_values_& cpon, int p, int32_t index);
// Stores UTF-8 text (cut to its field) or parses a number (0 when it does not parse) and
// brings it back to the stored unit with the unit choices. Items 1, 2, 4 and 14-17: nothing.
void SetValue(_coupon_values_& cpon, int p, std::string_view text,
              const _select_unit_ (&unit)[kUnitCount]);

// True when text is what SetValue takes for the typed number item p: a whole number for the
// holes, otherwise a decimal number that stays finite in the stored unit.
bool IsItemNumber(int p, std::string_view text, const _select_unit_ (&unit)[kUnitCount]);

// Coupon type i: copies the catalogue shape and dimensions (i > 0) or zeroes them (i <= 0).
// An index past the catalogue is stored but copies nothing.
void ApplyCouponType(_coupon_values_& cpon, int32_t i);
void ApplyAlloy(_coupon_values_& cpon, int32_t i);
void ApplyShape(_coupon_values_& cpon, int32_t i);

// Empties the coupon; both times become now as "dd/MM/yyyy HH:mm:ss".
void ResetCoupon(_coupon_values_& cpon, DateTime now);
// The current local date and time, whole seconds.
DateTime LocalNow();

}  // namespace tarn
