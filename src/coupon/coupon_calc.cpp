// SPDX-License-Identifier: GPL-3.0-or-later
#include "coupon/coupon_calc.h"

#include <cmath>

#include "coupon/coupon_messages.h"

namespace tarn {

double CouponArea(const _coupon_values_& c) {
  const double n = static_cast<double>(c.holes);
  const double d = c.hole_dia;
  switch (c.shape) {
    case 0:  // six faces of the plate, less two hole cross-sections per hole
      return c.length * c.thickness * 2 + c.length * c.width * 2 + c.width * c.thickness * 2 -
             (d * d / 2) * kCouponPi * n;
    case 1:  // both faces and the rim of a disc of outer diameter width
      return (c.width * c.width / 2) * kCouponPi + c.width * kCouponPi * c.thickness -
             (d * d / 2) * kCouponPi * n;
    case 2:  // one end face and the side of a cylinder of diameter width
      return (c.width * c.width / 4) * kCouponPi + c.width * kCouponPi * c.length;
    default:
      return c.area;
  }
}

bool CalcCoupon(_coupon_values_& c, DateTime install, DateTime removal, Notifier& notifier) {
  c.area = CouponArea(c);
  c.exposure = DateTime2Interval(install, removal) / 60.0;
  // Written as negated comparisons so that a NaN density or area is refused as well.
  if (!(c.density > 0.0) || !(c.area > 0.0)) {
    notifier.Error(kMsgCalcMetalLoss);
    return false;
  }
  const double loss = c.weight_init - c.weight_final;
  c.metal_loss = loss / (c.density * c.area) * 10.0;
  if (!(c.exposure > 0.0)) {
    notifier.Error(kMsgCalcCorrRate);
    return false;
  }
  c.corr_rate = loss / (c.density * c.area * c.exposure) * 87600.0;
  // Huge inputs overflow to infinity, which must never pass for a result.
  for (double v : {c.area, c.exposure, c.metal_loss, c.corr_rate}) {
    if (!std::isfinite(v)) {
      notifier.Error(kMsgCalcNotFinite);
      return false;
    }
  }
  return true;
}

}  // namespace tarn
