// SPDX-License-Identifier: GPL-3.0-or-later
// Coupons as a point's history graph shows them: each over its exposure at its rate, in the
// point's unit, labelled with its tag, rate and class.
#pragma once

#include <cstdint>
#include <vector>

#include "history/history_coupons.h"
#include "history/history_graph.h"

namespace tarn {

// The coupons of point `point_id`, their rates per year in mm when `millimetre`, else in mils:
// "Coupon C-1: 3.2000 mpy, Moderate".
std::vector<GraphCoupon> CouponMarks(const std::vector<CouponFigures>& coupons, int64_t point_id,
                                     bool millimetre);

}  // namespace tarn
