// SPDX-License-Identifier: GPL-3.0-or-later
#include "coupon/ui/coupon_records.h"

namespace tarn {

_coupon_values_ vCpon{};
CouponStore vCponData{};

}  // namespace tarn
