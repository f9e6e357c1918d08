// SPDX-License-Identifier: GPL-3.0-or-later
#include "graph/grp_values.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tarn {
namespace {

// The record is ~800 KB: keep it off the stack.
std::unique_ptr<_grp_values_> NewGrp() {
  return std::make_unique<_grp_values_>();
}

TEST(GrpValuesTest, StoresOnlyReadingsAtLeastAWholeMinuteApart) {
  auto grp = NewGrp();
  int32_t p = 0;
  auto offer = [&](const char* when, double v) {
    if (StoreGrpSample(*grp, p, when, v)) ++p;
  };
  offer("not a date", 9.0);           // rejected, position unchanged
  offer("07/12/2020 10:00:00", 1.0);  // base
  offer("07/12/2020 10:00:59", 2.0);  // 0 minutes: not after sample 0
  offer("07/12/2020 10:01:30", 3.0);  // 1.5 minutes, cut to 1
  offer("07/12/2020 10:01:59", 4.0);  // same minute as the previous sample
  offer("07/12/2020 09:00:00", 5.0);  // earlier than the base
  offer("08/12/2020 10:00", 6.0);     // one day later
  FinishGrpValues(*grp, p, 0, "PROBE-1");
  ASSERT_EQ(grp->count, 3);
  EXPECT_STREQ(grp->start_time, "07/12/2020 10:00:00");
  EXPECT_EQ(grp->elapsed[0], 0);
  EXPECT_EQ(grp->elapsed[1], 1);
  EXPECT_EQ(grp->elapsed[2], 1440);
  EXPECT_EQ(grp->value[0], 1.0);
  EXPECT_EQ(grp->value[1], 3.0);
  EXPECT_EQ(grp->value[2], 6.0);
  EXPECT_STREQ(grp->y_title, "Metal Loss (mils)");
  EXPECT_STREQ(grp->tag, "PROBE-1");
}

TEST(GrpValuesTest, NeverWritesBeyondItsArraysOrFields) {
  auto grp = NewGrp();
  EXPECT_FALSE(StoreGrpSample(*grp, kGrpCapacity, "07/12/2020 10:00", 1.0));
  EXPECT_FALSE(StoreGrpSample(*grp, -1, "07/12/2020 10:00", 1.0));
  FinishGrpValues(*grp, 70000, 7, std::string(80, 'T'));
  EXPECT_EQ(grp->count, kGrpCapacity);
  EXPECT_EQ(std::string(grp->tag), std::string(49, 'T'));
  EXPECT_STREQ(grp->y_title, "Potential (mV)");
  // A start text too long for its field is kept in a form that reads back the same.
  ASSERT_TRUE(StoreGrpSample(*grp, 0, "0007/0012/002020 0010:0000:0005", 1.0));
  EXPECT_STREQ(grp->start_time, "07/12/2020 10:00:05");
  EXPECT_TRUE(StoreGrpSample(*grp, 1, "07/12/2020 10:01:05", 2.0));
  EXPECT_EQ(grp->elapsed[1], 1);
}

TEST(GrpValuesTest, CorrosionRateBetweenTwoSamples) {
  auto grp = NewGrp();
  ASSERT_TRUE(StoreGrpSample(*grp, 0, "07/12/2020 00:00", 2.0));
  ASSERT_TRUE(StoreGrpSample(*grp, 1, "07/12/2020 12:00", 2.25));
  ASSERT_TRUE(StoreGrpSample(*grp, 2, "08/12/2020 00:00", 3.0));
  FinishGrpValues(*grp, 3, 0, "ER");
  EXPECT_EQ(GetCrateStr(*grp, 0, 2), "365.0000");  // 1 mil in a day
  EXPECT_EQ(GetCrateStr(*grp, 1, 2), "547.5000");
  EXPECT_EQ(GetCrateStr(*grp, 2, 0), "");
  EXPECT_EQ(GetCrateStr(*grp, 1, 1), "");
  EXPECT_EQ(GetCrateStr(*grp, -1, 2), "");
  EXPECT_EQ(GetCrateStr(*grp, 0, 3), "");

  grp->value[2] = 1.0;  // metal loss falling
  EXPECT_EQ(GetCrateStr(*grp, 0, 2), "-365.0000");

  grp->data_type = 4;
  EXPECT_EQ(GetCrateStr(*grp, 0, 2), "-365.0000");
  for (int type : {1, 2, 3, 5, 6, 7}) {
    grp->data_type = type;
    EXPECT_EQ(GetCrateStr(*grp, 0, 2), "") << "type " << type;
  }
  grp->data_type = 0;
  for (int count : {0, 1}) {
    grp->count = count;
    EXPECT_EQ(GetCrateStr(*grp, 0, count - 1), "") << "count " << count;
  }
}

}  // namespace
}  // namespace tarn
