// SPDX-License-Identifier: GPL-3.0-or-later
// The coupon calculation: surface area by shape, exposure hours, metal loss and corrosion rate
// in the stored units.
#pragma once

#include "common/date_time.h"
#include "common/notifier.h"
#include "coupon/coupon_values.h"

namespace tarn {

inline constexpr double kCouponPi = 3.141592653589793;

// Surface area of the coupon's shape in cm^2; the stored area for an unknown shape code.
double CouponArea(const _coupon_values_& cpon);

// Computes area and exposure, then metal loss and corrosion rate. On a zero or negative
// density, area or exposure, or a result that is not a finite number, the matching message
// goes to notifier and false is returned; what was computed before that step is kept.
bool CalcCoupon(_coupon_values_& cpon, DateTime install, DateTime removal, Notifier& notifier);

}  // namespace tarn
