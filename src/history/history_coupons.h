// SPDX-License-Identifier: GPL-3.0-or-later
// Weight-loss coupons in the history: each coupon as the Coupon tab computed it, at the point it
// was exposed at, with its pit depth and its figures beside the point's probe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/status.h"
#include "coupon/coupon_values.h"
#include "coupon/pitting.h"
#include "coupon/severity_class.h"

namespace tarn {

using HistoryTime = int64_t;  // as in history/history_store.h

// A coupon as the history keeps it: its values as computed (texts narrow, as in the record),
// its exposure as history times, the unit it was shown in and its deepest pit.
struct HistoryCoupon {
  int64_t id = 0;
  int64_t point_id = 0;
  std::string point_path;
  _coupon_values_ values{};
  HistoryTime install = 0;
  HistoryTime removal = 0;
  bool mils = false;                   // shown in mils and mpy, else mm and mm/y
  std::optional<double> pit_depth_mm;  // none: not entered
};

// A stretch of a probe's readings to leave out of the figures (readings set aside).
struct ProbeStretch {
  int64_t probe_id = 0;
  HistoryTime from = 0;
  HistoryTime to = 0;
};

// A coupon with its figures: its rate in both units and its class, the point's probe rate over
// the coupon's own exposure (mpy) and the ratio probe / coupon, its pitting rate.
struct CouponFigures {
  HistoryCoupon coupon;
  double exposure_days = 0.0;
  double rate_mpy = 0.0;
  std::optional<SeverityClass> severity;
  std::optional<double> probe_rate_mpy;  // none: fewer than two probe readings over the exposure
  std::optional<double> ratio;
  std::optional<PittingRate> pitting;  // none: no pit depth
};

// What importing coupons did: how many went in and how many the history held already.
struct CouponImportResult {
  Status status;
  int64_t added = 0;
  int64_t held = 0;
};

// The record's installation and removal times; a sentence naming the coupon when either does
// not read as a date, or the removal is not after the installation.
Status CouponTimes(const _coupon_values_& c, HistoryTime* install, HistoryTime* removal);

// Copies a narrow text into a record's text field, cut to fit with its NUL.
template <std::size_t N>
void PutField(char (&field)[N], const std::string& text) {
  const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), n);
}
// Writes the coupon's installation and removal times into its record's texts.
void PutCouponTimes(HistoryCoupon* c);

// "coupon 4 (C-1, 01/02/2024 00:00:00 to 01/03/2024 00:00:00)", UTF-8, for the trail.
std::string CouponName(const HistoryCoupon& c);

}  // namespace tarn
