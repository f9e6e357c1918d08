// SPDX-License-Identifier: GPL-3.0-or-later
// The probe list over a back end's primitives: which sums give each rate, when the sums of a
// window the store does not keep are worked out again, and a failure giving nothing; and
// removing a probe, all or nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/fake_store_primitives.h"
#include "history/store_primitives.h"

namespace tarn {
namespace {

// A mils metal-loss probe whose readings rise `per_day` a day over `days` days.
ProbeRow Row(int64_t id, double per_day, int days) {
  ProbeRow row;
  row.probe.id = id;
  row.probe.key = {"T" + std::to_string(id), "S", 0};  // ER: metal loss
  row.probe.header.mloss_unit = "MILS";
  row.probe.header.probe_life = 10.0;
  for (int d = 0; d <= days; ++d) row.whole.Add(d, per_day * d);
  row.probe.count = row.whole.n;
  row.probe.first_time = kT;
  row.probe.last_time = kT + int64_t{days} * kSecondsPerDay;
  row.probe.latest_value = per_day * days;
  return row;
}

RegressionSums Rising(double per_day, int days) {
  return Row(0, per_day, days).whole;
}

TEST(StoreProbeList, EachWindowTakesItsSumsAndUnkeptOnesAreWorkedOutOnce) {
  FakeStore s;
  s.probe_rows = {Row(1, 0.01, 100), Row(2, 0.02, 100), Row(3, 0.0, 0)};
  s.probe_rows[1].window = Rising(0.03, 30);  // the store keeps probe 2's window
  s.probe_rows[2].probe.count = 0;            // no readings: nothing to sum
  s.probe_rows[0].probe.own_limits = true;
  s.probe_rows[0].probe.limits = {7, 8, 0.3, 0.4};
  s.window_sums[1] = Rising(0.04, 30);
  WindowSumCache cache;
  Status error;

  struct Case {
    int32_t window;
    double rate1, rate2;  // mpy
    std::vector<int64_t> summed;
  };
  const Case cases[] = {
      {0, 0.01 * 365, 0.02 * 365, {}},    // whole history: the stored sums
      {30, 0.04 * 365, 0.03 * 365, {1}},  // probe 1 summed, probe 2 kept
      {30, 0.04 * 365, 0.03 * 365, {}},   // unchanged: not summed again
  };
  for (const Case& c : cases) {
    s.summed.clear();
    const std::vector<ProbeSummary> list = ProbesIn(s, cache, 0, c.window, &error);
    ASSERT_TRUE(error) << error.message;
    ASSERT_EQ(list.size(), 3u);
    ASSERT_TRUE(list[0].rate && list[1].rate);
    EXPECT_NEAR(*list[0].rate, c.rate1, 1e-9) << c.window;
    EXPECT_NEAR(*list[1].rate, c.rate2, 1e-9) << c.window;
    EXPECT_FALSE(list[2].rate);
    EXPECT_EQ(s.summed, c.summed) << c.window;
    EXPECT_EQ(list[0].limits.rate_warn, 7);  // its own
    EXPECT_EQ(list[1].limits.rate_warn, s.defaults.rate_warn);
  }

  // A value changed (a conflict's offer taken, here or by another program): the count and last
  // time stay, the sums move, and the window is summed again.
  s.probe_rows[0].whole.sy += 0.5;
  s.summed.clear();
  ASSERT_EQ(ProbesIn(s, cache, 0, 30, &error).size(), 3u);
  EXPECT_EQ(s.summed, std::vector<int64_t>{1});
  cache.Forget(1);
  s.summed.clear();
  ASSERT_EQ(ProbesIn(s, cache, 1, 30, &error).size(), 1u);
  EXPECT_EQ(s.summed, std::vector<int64_t>{1});
}

TEST(StoreProbeList, AFailingPrimitiveGivesNothingAndSaysWhy) {
  for (const char* step : {"ReadyToRead", "ReadProbeRows", "SumWindows"}) {
    FakeStore s;
    s.probe_rows = {Row(1, 0.01, 100)};
    s.fail = step;
    WindowSumCache cache;
    Status error;
    EXPECT_TRUE(ProbesIn(s, cache, 0, 30, &error).empty()) << step;
    EXPECT_FALSE(error) << step;
    EXPECT_NE(error.message.find(step), std::string::npos) << error.message;
  }
}

TEST(StoreProbeList, RemovingAProbeIsAllOrNothing) {
  struct Case {
    const char* fail;
    bool there;
    int64_t id;
    const char* message;  // empty: removed
  };
  const Case cases[] = {
      {"", true, 3, ""},
      {"", false, 3, "No probe with id 3."},
      {"", true, 0, "No probe with id 0."},
      {"BeginWrite", true, 3, "BeginWrite failed"},
      {"DropReadings", true, 3, "DropReadings failed"},
      {"RemoveEmptyProbe", true, 3, "RemoveEmptyProbe failed"},
      {"AppendChange", true, 3, "AppendChange failed"},
      {"Commit", true, 3, "Commit failed"},
  };
  for (const Case& c : cases) {
    FakeStore s;
    s.fail = c.fail;
    s.probe_there = c.there;
    const Status st = RemoveProbeFrom(s, c.id);
    EXPECT_EQ(st.message, c.message) << c.fail;
    EXPECT_EQ(Called(s, "Commit"), st.ok || std::string(c.fail) == "Commit") << c.fail;
    // A transaction begun and then failed is rolled back; one removed is in the trail.
    const bool begun = Called(s, "BeginWrite") && std::string(c.fail) != "BeginWrite";
    EXPECT_EQ(Called(s, "RollbackWrite"), !st.ok && begun) << c.fail;
    if (st.ok) {
      ASSERT_EQ(s.changes.size(), 1u);
      EXPECT_EQ(s.changes[0].what, "probe 3 (T1 S1)");
      EXPECT_EQ(s.changes[0].before, "3 readings");
      EXPECT_EQ(s.changes[0].after, "removed");
    }
  }
  FakeStore ro;
  ro.read_only = true;
  EXPECT_EQ(RemoveProbeFrom(ro, 3).message, "read-only");
  EXPECT_TRUE(ro.calls.empty());
}

}  // namespace
}  // namespace tarn
