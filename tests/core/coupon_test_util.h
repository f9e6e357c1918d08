// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the coupon core tests: a notifier that records messages, and the two unit
// systems with the default ratios.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "coupon/coupon_messages.h"
#include "coupon/coupon_units.h"
#include "settings/settings.h"

namespace tarn::testing {

struct RecordingNotifier : Notifier {
  std::vector<std::string> messages;
  void Error(std::string_view text) override { messages.emplace_back(text); }
};

inline _select_unit_ kStoredUnits[kUnitCount] = {
    {0, 0.036127292}, {0, 0.393700787}, {0, 39.3700787}, {0, 0.03527396}, {0, 39.3700787}};
inline _select_unit_ kOtherUnits[kUnitCount] = {
    {1, 0.036127292}, {1, 0.393700787}, {1, 39.3700787}, {1, 0.03527396}, {1, 39.3700787}};

inline CouponUnits Units(const _select_unit_ (&unit)[kUnitCount]) {
  CouponUnits u;
  SetUnitRatio(unit, u);
  return u;
}

}  // namespace tarn::testing
