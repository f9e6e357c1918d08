// SPDX-License-Identifier: GPL-3.0-or-later
// The record of one weight-loss coupon. Its byte image is the record of the coupon data file,
// so the field order and widths are fixed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn {

struct _coupon_values_ {
  char tag[24];
  int32_t coupon_type;  // index into vCponTbl; 0 is "Custom"
  int32_t alloy;        // index into vAlloyTbl; 0 is "Custom"
  double density;       // g/cm^3
  int32_t shape;        // 0 rectangle, 1 disc, 2 cylinder
  int32_t holes;
  double hole_dia;        // cm
  double length;          // cm
  double width;           // cm; the outer diameter of a disc, the diameter of a cylinder
  double thickness;       // cm
  char install_time[20];  // "dd/MM/yyyy HH:mm:ss"
  char removal_time[20];
  double weight_init;   // g
  double weight_final;  // g
  double area;          // cm^2
  double exposure;      // hours
  double metal_loss;    // mm
  double corr_rate;     // mm per year
  char comment[256];
};

inline constexpr std::size_t kCouponRecordSize = 424;

static_assert(sizeof(_coupon_values_) == kCouponRecordSize);
static_assert(offsetof(_coupon_values_, coupon_type) == 24);
static_assert(offsetof(_coupon_values_, alloy) == 28);
static_assert(offsetof(_coupon_values_, density) == 32);
static_assert(offsetof(_coupon_values_, shape) == 40);
static_assert(offsetof(_coupon_values_, holes) == 44);
static_assert(offsetof(_coupon_values_, hole_dia) == 48);
static_assert(offsetof(_coupon_values_, length) == 56);
static_assert(offsetof(_coupon_values_, width) == 64);
static_assert(offsetof(_coupon_values_, thickness) == 72);
static_assert(offsetof(_coupon_values_, install_time) == 80);
static_assert(offsetof(_coupon_values_, removal_time) == 100);
static_assert(offsetof(_coupon_values_, weight_init) == 120);
static_assert(offsetof(_coupon_values_, weight_final) == 128);
static_assert(offsetof(_coupon_values_, area) == 136);
static_assert(offsetof(_coupon_values_, exposure) == 144);
static_assert(offsetof(_coupon_values_, metal_loss) == 152);
static_assert(offsetof(_coupon_values_, corr_rate) == 160);
static_assert(offsetof(_coupon_values_, comment) == 168);

}  // namespace tarn
