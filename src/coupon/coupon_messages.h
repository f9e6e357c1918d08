// SPDX-License-Identifier: GPL-3.0-or-later
// The messages the coupon core reports through its Notifier (caption "Error", an OK button).
#pragma once

#include <string>

#include "common/notifier.h"

namespace tarn {

inline constexpr char kMsgCalcMetalLoss[] =
    "Cannot calculate Metal Loss. Alloy Density or Surface Area value is less than or equal to "
    "zero.";
inline constexpr char kMsgCalcCorrRate[] =
    "Cannot calculate Corrosion Rate. Total Exposure time is less than or equal to zero.";
inline constexpr char kMsgCalcNotFinite[] =
    "Cannot calculate. A value or a result is too large to be a number; check the weights, the "
    "density and the dimensions.";
inline constexpr char kMsgInvalidCouponData[] = "Invalid Coupon Data.";
inline constexpr char kMsgWriteFault[] = "Write Fault Error.";
// The write fault message followed by the reason the save gave, when it gave one.
inline std::string WriteFaultText(const std::string& reason) {
  return reason.empty() ? std::string(kMsgWriteFault) : std::string(kMsgWriteFault) + " " + reason;
}
inline constexpr char kMsgCannotOpenCoupon[] = "Cannot open the coupon data file.";

}  // namespace tarn
