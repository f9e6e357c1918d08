// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/coupon_marks.h"

#include <string>

#include "common/code_page.h"
#include "common/number_text.h"

namespace tarn {

std::vector<GraphCoupon> CouponMarks(const std::vector<CouponFigures>& coupons, int64_t point_id,
                                     bool millimetre) {
  constexpr double kMmPerMil = 0.0254;
  std::vector<GraphCoupon> out;
  for (const CouponFigures& f : coupons) {
    if (f.coupon.point_id != point_id) continue;
    const double rate = millimetre ? f.rate_mpy * kMmPerMil : f.rate_mpy;
    std::string label = "Coupon " + NarrowToUtf8(f.coupon.values.tag) + ": " +
                        FormatPattern(rate, 4) + (millimetre ? " mm/y" : " mpy");
    if (f.severity) label += std::string(", ") + SeverityName(*f.severity);
    out.push_back({f.coupon.install, f.coupon.removal, rate, std::move(label)});
  }
  return out;
}

}  // namespace tarn
