// SPDX-License-Identifier: GPL-3.0-or-later
// Warning and alarm levels over a back end's primitives: own or default, checked, refused.
#include <gtest/gtest.h>

#include <string>

#include "core/fake_store_primitives.h"
#include "history/store_primitives.h"

namespace tarn {
namespace {

TEST(StoreLimits, AProbeFollowsItsOwnLimitsOrTheDefaults) {
  const HistoryLimits own{7, 8, 0.3, 0.4};
  struct Case {
    const char* what;
    int64_t probe_id;
    std::optional<HistoryLimits> own;
    std::string fail;
    double rate_warn;
    std::string error;
  };
  const Case cases[] = {
      {"its own", 3, own, "", 7, ""},
      {"none of its own", 3, std::nullopt, "", 1, ""},
      {"the defaults asked for", 0, own, "", 1, ""},
      {"own limits unreadable", 3, std::nullopt, "ReadOwnLimits", 1, "ReadOwnLimits failed"},
      {"history unreachable", 3, own, "ReadyToRead", 5, "ReadyToRead failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeStore s;
    s.own = c.own;
    s.fail = c.fail;
    Status error;
    EXPECT_EQ(LimitsOf(s, c.probe_id, &error).rate_warn, c.rate_warn);
    EXPECT_EQ(error.message, c.error);
  }
}

TEST(StoreLimits, OnlySoundLimitsOfAKnownProbeAreWritten) {
  const HistoryLimits good{5, 10, 0.5, 0.8}, reversed{10, 5, 0.5, 0.8};
  struct Case {
    const char* what;
    int64_t probe_id;
    HistoryLimits limits;
    bool read_only, probe_there;
    std::string fail;
    bool written;
    bool ok;
  };
  const Case cases[] = {
      {"a probe's own", 3, good, false, true, "", true, true},
      {"the defaults: no probe to look for", 0, good, false, false, "", true, true},
      {"read-only", 3, good, true, true, "", false, false},
      {"warning above alarm", 3, reversed, false, true, "", false, false},
      {"no such probe", 3, good, false, false, "", false, false},
      {"probe lookup fails", 3, good, false, true, "ReadProbeRows", false, false},
      {"trail refuses", 3, good, false, true, "AppendChange", true, false},
      {"write fails", 3, good, false, true, "WriteLimits", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeStore s;
    s.read_only = c.read_only;
    s.probe_there = c.probe_there;
    s.fail = c.fail;
    const Status st = SetLimitsIn(s, c.probe_id, c.limits);
    EXPECT_EQ(st.ok, c.ok) << st.message;
    EXPECT_EQ(s.written.has_value(), c.written);
    if (c.what == std::string("no such probe")) EXPECT_EQ(st.message, "No probe with id 3.");
    // Written and recorded together, or neither.
    EXPECT_EQ(Called(s, "Commit"), c.ok);
    EXPECT_EQ(s.changes.size() == 1 && c.ok, c.ok);
    if (Called(s, "BeginWrite")) EXPECT_EQ(Called(s, "RollbackWrite"), !c.ok);
  }

  FakeStore clear;
  EXPECT_TRUE(ClearLimitsIn(clear, 3));
  EXPECT_TRUE(Called(clear, "DeleteLimits"));
  EXPECT_FALSE(clear.written);
  FakeStore reset;
  EXPECT_TRUE(ClearLimitsIn(reset, 0));
  ASSERT_TRUE(reset.written);
  EXPECT_EQ(reset.written->first, 0);
  EXPECT_EQ(reset.written->second.rate_alarm, HistoryLimits{}.rate_alarm) << "built-in defaults";
  FakeStore ro;
  ro.read_only = true;
  EXPECT_FALSE(ClearLimitsIn(ro, 3));
  EXPECT_FALSE(Called(ro, "DeleteLimits"));
}

TEST(StoreLimits, EveryChangeOfLimitsIsInTheTrailWithItsValuesBeforeAndAfter) {
  FakeStore s;
  s.defaults = {5, 10, 0.5, 0.8};
  ASSERT_TRUE(SetLimitsIn(s, 3, HistoryLimits{7, 8, 0.3, 0.4}));
  ASSERT_TRUE(SetLimitsIn(s, 3, HistoryLimits{7, 8, 0.3, 0.4}));  // the same again: no line
  ASSERT_TRUE(ClearLimitsIn(s, 3));
  ASSERT_TRUE(SetLimitsIn(s, 0, HistoryLimits{4, 9, 0.5, 0.8}));
  ASSERT_EQ(s.changes.size(), 3u);
  const std::string defaults =
      "rate warning 5.00, alarm 10.00 mpy; consumed warning 50.0 %, "
      "alarm 80.0 %";
  const std::string own =
      "rate warning 7.00, alarm 8.00 mpy; consumed warning 30.0 %, "
      "alarm 40.0 %";
  EXPECT_EQ(s.changes[0].what, "limits of probe 3 (T1 S1)");
  EXPECT_EQ(s.changes[0].before, "the defaults (" + defaults + ")");
  EXPECT_EQ(s.changes[0].after, own);
  EXPECT_EQ(s.changes[0].user, "alice");
  EXPECT_GT(s.changes[0].time, 0);
  EXPECT_EQ(s.changes[1].before, own);
  EXPECT_EQ(s.changes[1].after, "the defaults (" + defaults + ")");
  EXPECT_EQ(s.changes[2].what, "default limits");
  EXPECT_EQ(s.changes[2].before, defaults);
  EXPECT_EQ(s.changes[2].after,
            "rate warning 4.00, alarm 9.00 mpy; consumed warning 50.0 %, "
            "alarm 80.0 %");
}

}  // namespace
}  // namespace tarn
