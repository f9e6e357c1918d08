// SPDX-License-Identifier: GPL-3.0-or-later
// The severity classes of coupon rates at every boundary of both tables.
#include "coupon/severity_class.h"

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

}  // namespace
}  // namespace tarn
