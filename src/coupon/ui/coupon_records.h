// SPDX-License-Identifier: GPL-3.0-or-later
// The current coupon of the coupon screen, and the stored coupons with their count.
#pragma once

#include "coupon/coupon_store.h"
#include "coupon/coupon_values.h"

namespace tarn {

extern _coupon_values_ vCpon;
extern CouponStore vCponData;

}  // namespace tarn
