// SPDX-License-Identifier: GPL-3.0-or-later
// The severity classes of coupon rates at every boundary of both tables, and pitting rates.
#include "coupon/severity_class.h"

#include "coupon/pitting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tarn {
namespace {

TEST(SeverityClass, EveryBoundaryOfBothTables) {
  struct Case {
    double mm_per_year;
    const char* general;
    const char* pitting;
  };
  const Case cases[] = {
      {-0.01, "Low", "Low"},  // a coupon that gained weight
      {0.0249, "Low", "Low"},       {0.025, "Moderate", "Low"}, {0.1249, "Moderate", "Low"},
      {0.125, "High", "Low"},       {0.1299, "High", "Low"},    {0.13, "High", "Moderate"},
      {0.2049, "High", "Moderate"}, {0.205, "High", "High"},    {0.25, "High", "High"},
      {0.2501, "Severe", "High"},   {0.38, "Severe", "High"},   {0.3801, "Severe", "Severe"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(SeverityName(*GeneralRateClass(c.mm_per_year)), c.general) << c.mm_per_year;
    EXPECT_STREQ(SeverityName(*PittingRateClass(c.mm_per_year)), c.pitting) << c.mm_per_year;
  }
  EXPECT_FALSE(GeneralRateClass(std::nan("")));
  EXPECT_FALSE(PittingRateClass(std::nan("")));
}

TEST(PittingRate, DepthOverExposureInBothUnitsWithItsClass) {
  struct Case {
    double depth;
    bool mils;
    double hours;
    double mm_per_year, mpy;
    const char* severity;
  };
  const Case cases[] = {
      {0.1, false, 8760.0, 0.1, 0.1 / 0.0254, "Low"},       // 0.1 mm in a year
      {0.1, false, 4380.0, 0.2, 0.2 / 0.0254, "Moderate"},  // the same pit in half a year
      {10.0, true, 8760.0, 0.254, 10.0, "High"},            // 10 mils in a year
      {16.0, true, 8760.0, 0.4064, 16.0, "Severe"},         // 16 mpy
      {0.0, false, 720.0, 0.0, 0.0, "Low"},
  };
  for (const Case& c : cases) {
    const std::optional<PittingRate> r = PitRate(c.depth, c.mils, c.hours);
    ASSERT_TRUE(r) << c.depth;
    EXPECT_NEAR(r->mm_per_year, c.mm_per_year, 1e-12) << c.depth;
    EXPECT_NEAR(r->mpy, c.mpy, 1e-9) << c.depth;
    EXPECT_STREQ(SeverityName(r->severity), c.severity) << c.depth;
  }
  EXPECT_FALSE(PitRate(-0.1, false, 720.0));
  EXPECT_FALSE(PitRate(std::nan(""), false, 720.0));
  EXPECT_FALSE(PitRate(0.1, false, 0.0));
}

}  // namespace
}  // namespace tarn
