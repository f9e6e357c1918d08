// SPDX-License-Identifier: GPL-3.0-or-later
// Catalogues, value items in both unit systems, and the coupon calculation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "common/number_text.h"
#include "core/coupon_test_util.h"
#include "coupon/coupon_calc.h"
#include "coupon/coupon_catalogue.h"
#include "coupon/coupon_items.h"
#include "coupon/coupon_units.h"

namespace tarn {
namespace {

using testing::kOtherUnits;
using testing::kStoredUnits;
using testing::RecordingNotifier;
using testing::Units;

DateTime At(int y, int mo, int d, int h, int mi) {
  DateTime dt;
  EXPECT_TRUE(MakeDateTime(y, mo, d, h, mi, 0, &dt));
  return dt;
}

_coupon_values_ Blank() {
  _coupon_values_ c;
  ResetCoupon(c, At(2024, 1, 1, 0, 0));
  return c;
}

TEST(CouponCatalogue, ListsEndAtTheirEmptyNameAndAreasMatchTheDimensions) {
  int alloys = 0;
  while (alloys < kCatalogueSlots && vAlloyTbl[alloys].name[0] != '\0') ++alloys;
  EXPECT_EQ(alloys, kAlloyCount);
  int coupons = 0;
  while (coupons < kCatalogueSlots && vCponTbl[coupons].name[0] != '\0') ++coupons;
  EXPECT_EQ(coupons, kCponCount);
  EXPECT_STREQ(vAlloyTbl[21].name, "CU - NI(90 / 10)\t");
  EXPECT_STREQ(vAlloyTbl[22].name, "CU - NI(70 / 30)\t");
  EXPECT_STREQ(vAlloyTbl[33].name, "ZINC");
  EXPECT_STREQ(vCponTbl[16].name, "RSC");

  for (int i = 1; i < kCponCount; ++i) {
    _coupon_values_ c = Blank();
    ApplyCouponType(c, i);
    const double area = CouponArea(c);
    EXPECT_NEAR(area, vCponTbl[i].area, 0.00005) << "coupon " << vCponTbl[i].name;
    EXPECT_EQ(c.area, vCponTbl[i].area);
  }
}

TEST(CouponCatalogue, IndexesOutsideTheCataloguesAreNeverUsed) {
  const CouponUnits u = Units(kStoredUnits);
  _coupon_values_ c = Blank();
  c.coupon_type = 17;
  c.alloy = -5;
  c.shape = 3;
  c.density = 4.5;
  EXPECT_EQ(GetValue(c, kItemCouponType, u), "Custom");
  EXPECT_EQ(GetValue(c, kItemAlloy, u), "Custom");
  EXPECT_EQ(GetValue(c, kItemShape, u), "");
  EXPECT_EQ(GetValue(c, kItemDensity, u), "4.50");  // shown as the typed density
  EXPECT_EQ(GetValueInx(c, kItemCouponType), 17);   // the record itself is kept

  c.length = 2.0;
  c.area = 9.0;
  ApplyCouponType(c, 1000000);
  EXPECT_EQ(c.coupon_type, 1000000);
  EXPECT_EQ(c.length, 2.0);
  EXPECT_EQ(CouponArea(c), 9.0);  // unknown shape keeps its area
}

TEST(CouponItems, CatalogueEntriesApplyByShape) {
  _coupon_values_ c = Blank();
  c.length = 5.5;
  c.density = 3.0;
  c.weight_init = 10.0;
  ApplyCouponType(c, 4);  // "142", a disc: width takes the outer diameter, length stays
  EXPECT_EQ(c.shape, 1);
  EXPECT_EQ(c.width, 3.175);
  EXPECT_EQ(c.length, 5.5);
  EXPECT_EQ(c.holes, 1);
  EXPECT_EQ(c.density, 3.0);
  EXPECT_EQ(c.weight_init, 10.0);

  ApplyCouponType(c, 0);
  EXPECT_EQ(c.shape, 0);
  EXPECT_EQ(c.holes, 0);
  EXPECT_EQ(c.length, 0.0);
  EXPECT_EQ(c.width, 0.0);
  EXPECT_EQ(c.thickness, 0.0);
  EXPECT_EQ(c.area, 0.0);
  EXPECT_EQ(c.density, 3.0);

  RecordingNotifier n;
  c.weight_final = 9.0;
  EXPECT_FALSE(CalcCoupon(c, At(2024, 1, 1, 0, 0), At(2024, 1, 2, 0, 0), n));
  ASSERT_EQ(n.messages.size(), 1u);
  EXPECT_EQ(n.messages[0], kMsgCalcMetalLoss);
  EXPECT_EQ(c.exposure, 24.0);  // set before the refusal
}

TEST(CouponCalc, WorkedCaseAgreesWithTheWeightLossFormula) {
  const CouponUnits u = Units(kStoredUnits);
  _coupon_values_ c = Blank();
  ApplyCouponType(c, 1);  // "100"
  ApplyAlloy(c, 1);       // "304SS"
  SetValue(c, kItemDensity, GetValue(c, kItemDensity, u), kStoredUnits);
  SetValue(c, kItemWeightInit, "10", kStoredUnits);
  SetValue(c, kItemWeightFinal, "9.9", kStoredUnits);
  RecordingNotifier n;
  ASSERT_TRUE(CalcCoupon(c, At(2024, 3, 1, 8, 0), At(2024, 3, 31, 8, 0), n));
  EXPECT_TRUE(n.messages.empty());

  EXPECT_EQ(GetValue(c, kItemArea, u), "21.8239");
  EXPECT_EQ(GetValue(c, kItemExposure, u), "720.00");
  // ASTM G1: rate = K*W/(A*T*D), K = 8.76e4 for mm/y, W in g, A in cm^2, T in h, D in g/cm^3.
  const double w = 10.0 - 9.9;
  const double astm = 8.76e4 * w / (c.area * 720.0 * 7.94);
  EXPECT_NEAR(c.corr_rate, astm, 1e-12);
  EXPECT_NEAR(c.metal_loss, w / (7.94 * c.area) * 10.0, 1e-15);
  EXPECT_EQ(GetValue(c, kItemMetalLoss, u), FormatFixed(w / (7.94 * c.area) * 10.0, 4));
  EXPECT_EQ(GetValue(c, kItemCorrRate, u), "0.0702");
  EXPECT_EQ(GetValue(c, kItemMetalLoss, u), "0.0058");
}

TEST(CouponCalc, RefusalsKeepWhatWasComputedBefore) {
  const CouponUnits u = Units(kStoredUnits);
  const DateTime t0 = At(2024, 5, 1, 12, 0);
  for (const char* density : {"0", "abc", "", "-1"}) {
    _coupon_values_ c = Blank();
    ApplyCouponType(c, 9);
    SetValue(c, kItemDensity, density, kStoredUnits);
    c.metal_loss = 7.0;
    RecordingNotifier n;
    EXPECT_FALSE(CalcCoupon(c, t0, At(2024, 5, 2, 12, 0), n)) << density;
    ASSERT_EQ(n.messages.size(), 1u);
    EXPECT_EQ(n.messages[0], kMsgCalcMetalLoss);
    EXPECT_EQ(c.metal_loss, 7.0);
  }

  _coupon_values_ c = Blank();
  ApplyCouponType(c, 9);
  c.density = 7.86;
  c.weight_init = 20.0;
  c.weight_final = 19.5;
  c.corr_rate = 3.0;
  RecordingNotifier n;
  EXPECT_FALSE(CalcCoupon(c, t0, t0, n));  // removal equal to installation
  ASSERT_EQ(n.messages.size(), 1u);
  EXPECT_EQ(n.messages[0], kMsgCalcCorrRate);
  EXPECT_NEAR(c.metal_loss, 0.5 / (7.86 * 33.07) * 10.0, 1e-6);
  EXPECT_EQ(c.corr_rate, 3.0);
  EXPECT_EQ(GetValue(c, kItemExposure, u), "0.00");

  EXPECT_FALSE(CalcCoupon(c, t0, At(2024, 4, 30, 12, 0), n));  // removal before installation
  EXPECT_EQ(c.exposure, -24.0);
}

TEST(CouponCalc, CylinderIgnoresHolesAndThickness) {
  _coupon_values_ c = Blank();
  ApplyShape(c, kShapeCylinder);
  c.width = 2.0;
  c.length = 5.0;
  c.holes = 4;
  c.hole_dia = 0.5;
  c.thickness = 9.0;
  EXPECT_DOUBLE_EQ(CouponArea(c), kCouponPi + 2.0 * kCouponPi * 5.0);
  ApplyShape(c, kShapeDisc);
  EXPECT_DOUBLE_EQ(CouponArea(c),
                   2.0 * kCouponPi + 2.0 * kCouponPi * 9.0 - 0.125 * kCouponPi * 4.0);
}

TEST(CouponUnits, OtherUnitsFormatAndReadBack) {
  const CouponUnits u = Units(kOtherUnits);
  _coupon_values_ c = Blank();
  ApplyAlloy(c, 1);
  const std::string shown = GetValue(c, kItemDensity, u);
  EXPECT_EQ(shown, FormatFixed(7.94 * 0.036127292, 7));
  EXPECT_EQ(shown, "0.2868507");
  SetValue(c, kItemDensity, shown, kOtherUnits);
  EXPECT_NEAR(c.density, 7.94, 0.5e-7 / 0.036127292);

  c.area = 21.8239;
  EXPECT_EQ(GetValue(c, kItemArea, u), FormatFixed(21.8239 * 0.393700787 * 0.393700787, 4));
  c.exposure = 1.005;
  EXPECT_EQ(GetValue(c, kItemExposure, u), FormatFixed(1.005, 2));
  EXPECT_EQ(GetValue(c, kItemExposure, Units(kStoredUnits)), FormatFixed(1.005, 2));

  // Any sel other than 0 is the second unit, when parsing as well as when formatting.
  _select_unit_ odd[kUnitCount] = {
      {2, 0.036127292}, {0, 0.393700787}, {0, 39.3700787}, {7, 0.5}, {0, 39.3700787}};
  const CouponUnits ou = Units(odd);
  SetValue(c, kItemWeightInit, "3", odd);
  EXPECT_EQ(c.weight_init, 6.0);
  EXPECT_EQ(GetValue(c, kItemWeightInit, ou), "3.0000");
  EXPECT_STREQ(CouponUnitLabel(ou, CouponLabel::kWeight), "oz");
  EXPECT_STREQ(CouponUnitLabel(ou, CouponLabel::kDimension), "cm");
}

TEST(CouponUnits, HugeValuesStayWithin29CharactersAndStillParse) {
  const CouponUnits u = Units(kOtherUnits);
  for (double v : {1e19, -9.9e19, 1e20, -1e21, 3.5e150, -1.7976931348623157e308}) {
    for (int kind = kUnitNone; kind < kUnitCount; ++kind) {
      const std::string text = Value2Str(u, kind, v);
      EXPECT_LE(text.size(), kValueTextMax) << text;
      const double shown = ChangeUnit(u, kind, v);
      if (!std::isfinite(shown)) continue;  // the ratio took it past the largest double
      double back = 0.0;
      EXPECT_TRUE(ParseWholeNumber(text, &back)) << text;
      EXPECT_NEAR(back / shown, 1.0, 1e-13) << text;
    }
  }
  EXPECT_EQ(Value2Str(u, kUnitNone, -0.004), "-0.00");  // printf's own rounding
  EXPECT_EQ(Value2Str(u, kUnitDensity, 1.0), "0.0361273");
}

TEST(CouponItems, TextsAreCodePageTextsCutToTheirFields) {
  const CouponUnits u = Units(kStoredUnits);
  _coupon_values_ c = Blank();
  std::memset(c.tag, 'x', sizeof c.tag);
  SetValue(c, kItemTag, "Caf\xC3\xA9 \xE2\x82\xAC 1234567890123456789", kStoredUnits);
  EXPECT_EQ(std::strlen(c.tag), 23u);
  EXPECT_EQ(static_cast<unsigned char>(c.tag[3]), 0xE9);
  EXPECT_EQ(static_cast<unsigned char>(c.tag[5]), 0x80);  // euro sign in Windows-1252
  EXPECT_EQ(GetValue(c, kItemTag, u).substr(0, 9), "Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(GetNarrowValue(c, kItemTag, u).substr(0, 4), "Caf\xE9");

  SetValue(c, kItemComment, std::string(400, 'c'), kStoredUnits);
  EXPECT_EQ(std::strlen(c.comment), 255u);
  SetValue(c, kItemInstallTime, "01/02/2024 10:20:30 and more", kStoredUnits);
  EXPECT_EQ(GetValue(c, kItemInstallTime, u), "01/02/2024 10:20:30");

  for (auto [text, holes] : std::vector<std::pair<const char*, int>>{
           {"3", 3}, {" 12 ", 12}, {"2.5", 0}, {"abc", 0}, {"-1", -1}, {"99999999999", 0}}) {
    SetValue(c, kItemHoles, text, kStoredUnits);
    EXPECT_EQ(c.holes, holes) << text;
  }
  SetValue(c, kItemLength, "12abc", kStoredUnits);
  EXPECT_EQ(c.length, 0.0);
  c.area = 5.0;
  SetValue(c, kItemArea, "9", kStoredUnits);  // results are never set from text
  EXPECT_EQ(c.area, 5.0);
  EXPECT_EQ(GetValue(c, 19, u), "");

  // Fields without their NUL, as a damaged file can bring, read as what fits with one.
  std::memset(c.comment, 'z', sizeof c.comment);
  std::memset(c.tag, 't', sizeof c.tag);
  EXPECT_EQ(GetNarrowValue(c, kItemComment, u), std::string(255, 'z'));
  EXPECT_EQ(GetNarrowValue(c, kItemTag, u), std::string(23, 't'));
  EXPECT_EQ(GetValue(c, -1, u), "");
}

TEST(CouponItems, ResetEmptiesTheCouponAndStampsBothTimes) {
  _coupon_values_ c;
  std::memset(&c, 0x5A, sizeof c);
  ResetCoupon(c, At(2026, 12, 8, 9, 5));
  EXPECT_STREQ(c.tag, "");
  EXPECT_STREQ(c.comment, "");
  EXPECT_EQ(c.coupon_type, 0);
  EXPECT_EQ(c.corr_rate, 0.0);
  EXPECT_STREQ(c.install_time, "08/12/2026 09:05:00");
  EXPECT_STREQ(c.removal_time, "08/12/2026 09:05:00");
}

}  // namespace
}  // namespace tarn
