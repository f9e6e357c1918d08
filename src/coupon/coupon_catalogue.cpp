// SPDX-License-Identifier: GPL-3.0-or-later
#include "coupon/coupon_catalogue.h"

namespace tarn {

// Slots after the last entry stay zero: their empty name ends each list.
const _alloy_table_ vAlloyTbl[kCatalogueSlots] = {
    {"Custom", 0.0},
    {"304SS", 7.94},
    {"304LSS", 7.94},
    {"316SS", 7.85},
    {"316LSS", 7.98},
    {"A106 GrB", 7.85},
    {"A105", 8.0},
    {"A350 LF2", 8.0},
    {"ADMIRALTY BRASS", 8.52},
    {"AISI 1010", 7.86},
    {"AISI 1018", 7.86},
    {"AISI 1020", 7.86},
    {"AISI 1022", 7.86},
    {"AL1100", 2.71},
    {"AL2024", 2.77},
    {"ALUMINIUM BRONZE", 7.69},
    {"ALUMINIUM BRASS", 8.33},
    {"API 5L GrB", 7.78},
    {"CARPENTER 20 - Cb3", 8.08},
    {"CAST IRON GRAY", 7.19},
    {"COPPER", 8.91},
    {"CU - NI(90 / 10)\t", 8.94},  // the tab is part of the stored name
    {"CU - NI(70 / 30)\t", 8.94},
    {"INCONEL 600", 8.51},
    {"INCONEL 800", 7.94},
    {"INCONEL 825", 8.14},
    {"LEAD", 11.34},
    {"MONEL 400", 8.84},
    {"MONEL K - 500", 8.47},
    {"NICKEL 200", 8.89},
    {"NITRONIC 60", 7.62},
    {"PHOSPATE ADMIRA", 8.52},
    {"UNSS31803", 7.8},
    {"ZINC", 7.13},
    {"", 0.0},
};

const _coupon_table_ vCponTbl[kCatalogueSlots] = {
    {"Custom", 0, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0},
    {"100", 0, 1, 0.475, 7.62, 1.27, 0.1588, 0.0, 21.8239},
    {"102", 0, 1, 0.356, 7.62, 1.27, 0.1588, 0.0, 21.9792},
    {"118", 0, 2, 0.635, 7.62, 1.27, 0.1588, 0.0, 20.9115},
    {"142", 1, 1, 1.27, 0.0, 0.0, 0.318, 3.175, 16.473},
    {"220", 1, 1, 0.9525, 0.0, 0.0, 0.318, 3.175, 17.5814},
    {"230", 1, 1, 0.445, 0.0, 0.0, 0.889, 3.167, 24.2889},
    {"233", 0, 2, 0.635, 7.62, 1.27, 0.1588, 0.0, 20.9115},
    {"3SC", 0, 2, 0.8, 7.303, 2.223, 0.3175, 0.0, 36.5075},
    {"3SS", 0, 2, 0.8, 7.62, 1.905, 0.3175, 0.0, 33.07},
    {"3SL", 0, 2, 0.8, 7.303, 2.223, 0.3175, 0.0, 36.5075},
    {"6SC", 0, 2, 0.8, 15.24, 2.223, 0.3175, 0.0, 76.8354},
    {"6SL", 0, 2, 1.27, 15.24, 2.223, 0.3175, 0.0, 73.779},
    {"FDC", 1, 1, 1.27, 0.0, 0.0, 0.3175, 3.175, 16.468},
    {"LSC", 0, 2, 0.8, 5.08, 2.223, 0.3175, 0.0, 25.2125},
    {"MDC", 1, 1, 1.27, 0.0, 0.0, 0.3175, 3.175, 16.468},
    {"RSC", 0, 2, 1.27, 7.62, 1.27, 0.3175, 0.0, 19.9329},
    {"", 0, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0},
};

const char* const vShapeName[kShapeCount] = {"Rectangle", "Disc", "Cylinder"};

bool IsAlloyIndex(int32_t alloy) {
  return alloy >= 0 && alloy < kAlloyCount;
}

bool IsCouponTypeIndex(int32_t coupon_type) {
  return coupon_type >= 0 && coupon_type < kCponCount;
}

const char* AlloyName(int32_t alloy) {
  return vAlloyTbl[IsAlloyIndex(alloy) ? alloy : 0].name;
}

const char* CouponTypeName(int32_t coupon_type) {
  return vCponTbl[IsCouponTypeIndex(coupon_type) ? coupon_type : 0].name;
}

const char* ShapeName(int32_t shape) {
  return shape >= 0 && shape < kShapeCount ? vShapeName[shape] : "";
}

}  // namespace tarn
