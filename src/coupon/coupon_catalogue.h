// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in alloy and coupon-type catalogues and the shape names. Lookups by index go
// through the helpers below, which never index past a catalogue (a damaged file may hold any).
#pragma once

#include <cstdint>

namespace tarn {

struct _alloy_table_ {
  const char* name;
  double density;  // g/cm^3
};

struct _coupon_table_ {
  const char* name;
  int32_t shape;
  int32_t holes;
  double hole_dia;   // cm
  double length;     // cm
  double width;      // cm
  double thickness;  // cm
  double outer_dia;  // cm
  double area;       // cm^2
};

inline constexpr int kCatalogueSlots = 50;
inline constexpr int kAlloyCount = 34;  // entries before the first empty name
inline constexpr int kCponCount = 17;
inline constexpr int kShapeCount = 3;

enum CouponShape { kShapeRectangle = 0, kShapeDisc = 1, kShapeCylinder = 2 };

extern const _alloy_table_ vAlloyTbl[kCatalogueSlots];
extern const _coupon_table_ vCponTbl[kCatalogueSlots];
extern const char* const vShapeName[kShapeCount];

// Catalogue name of an index; "Custom" for an index outside the catalogue.
const char* AlloyName(int32_t alloy);
const char* CouponTypeName(int32_t coupon_type);
// Shape name; empty for a code outside 0 to 2.
const char* ShapeName(int32_t shape);
bool IsAlloyIndex(int32_t alloy);
bool IsCouponTypeIndex(int32_t coupon_type);

}  // namespace tarn
