// SPDX-License-Identifier: GPL-3.0-or-later
// Setting readings aside over a back end's primitives: all or nothing whichever step fails, the
// refusal of a read-only history, and a probe list that reads no reading for probes without
// stretches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/fake_store_primitives.h"
#include "history/store_primitives.h"

namespace tarn {
namespace {

FakeStore WithStretch() {
  FakeStore s;
  s.stored_readings = {{kT, 1.0}, {kT + 60, 1.1}, {kT + 120, 1.2}, {kT + 180, 1.3}};
  s.stretches = {{1, 7, kT + 60, kT + 180, "old", 0, "bob"}};
  return s;
}

TEST(StoreSetAside, AFailingStepChangesNothingAndTellsWhy) {
  for (const std::string fail : {"BeginWrite", "ReadProbeRows", "ReadSetAside", "SumReadings",
                                 "DropSetAside", "AddSetAside", "AppendChange", "Commit"}) {
    SCOPED_TRACE(fail);
    for (const bool restore : {false, true}) {
      FakeStore s = WithStretch();
      s.fail = fail;
      int64_t changed = -1;
      // Restoring the middle splits the stretch: every primitive above takes part.
      const Status st = restore ? RestoreInStore(s, 7, kT + 100, kT + 130, &changed)
                                : SetAsideInStore(s, 7, kT, kT + 100, "upset", &changed);
      EXPECT_EQ(st.message, fail + " failed");
      EXPECT_EQ(changed, 0);
      EXPECT_EQ(Called(s, "RollbackWrite"), fail != "BeginWrite");
      EXPECT_FALSE(Called(s, "Commit") && fail != "Commit");
    }
  }
  FakeStore s = WithStretch();
  int64_t changed = 0;
  ASSERT_TRUE(RestoreInStore(s, 7, kT + 100, kT + 130, &changed).ok);
  EXPECT_EQ(changed, 1);
  ASSERT_EQ(s.stretches.size(), 2u);
  EXPECT_EQ(s.stretches[0].to, kT + 99);
  EXPECT_EQ(s.stretches[1].from, kT + 131);
  EXPECT_EQ(s.stretches[1].reason, "old");  // the parts keep their reason, time and user
  EXPECT_EQ(s.stretches[1].user, "bob");

  FakeStore ro = WithStretch();
  ro.read_only = true;
  EXPECT_EQ(SetAsideInStore(ro, 7, kT, kT + 100, "upset", &changed).message, "read-only");
  EXPECT_FALSE(Called(ro, "BeginWrite"));
}

TEST(StoreSetAside, OnlyProbesWithStretchesReadTheirReadings) {
  FakeStore s;
  ProbeRow row;
  row.probe.id = 3;
  row.probe.key = {"T3", "S", 0};
  row.probe.count = 4;
  row.probe.first_time = kT;
  row.probe.last_time = kT + 180;
  row.probe.latest_value = 1.3;
  row.origin = kT;
  for (int i = 0; i < 4; ++i) row.whole.Add(i * 60.0 / kSecondsPerDay, 1.0 + 0.1 * i);
  s.probe_rows = {row};
  s.stored_readings = {{kT, 1.0}, {kT + 60, 1.1}, {kT + 120, 1.2}, {kT + 180, 1.3}};
  WindowSumCache cache;
  Status error;
  ProbesIn(s, cache, 0, 0, &error);
  ASSERT_TRUE(error);
  EXPECT_FALSE(Called(s, "ReadingsBetween") || Called(s, "SumReadings"));
  // Another probe's stretch costs this one nothing either.
  s.stretches = {{1, 4, kT, kT + 60, "upset", 0, "bob"}};
  ProbesIn(s, cache, 0, 0, &error);
  EXPECT_FALSE(Called(s, "ReadingsBetween") || Called(s, "SumReadings"));
  // Its own does: the readings set aside come off its sums, and a failed read gives nothing.
  s.stretches[0].probe_id = 3;
  std::vector<ProbeRow> rows = ProbeRowsIn(s, cache, 0, 0, &error);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].probe.set_aside, 2);
  EXPECT_EQ(rows[0].whole.n, 2);
  EXPECT_NEAR(rows[0].whole.sy, 2.5, 1e-12);
  EXPECT_EQ(rows[0].kept_first->time, kT + 120);
  s.fail = "ReadingsBetween";
  EXPECT_TRUE(ProbesIn(s, cache, 0, 0, &error).empty());
  EXPECT_EQ(error.message, "ReadingsBetween failed");
}

}  // namespace
}  // namespace tarn
