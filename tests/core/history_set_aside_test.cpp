// SPDX-License-Identifier: GPL-3.0-or-later
// Readings set aside and falls flagged at import, through the history's interface on every back
// end: rates, consumed share and point figures leave set-aside readings out and take them back
// when restored, a partial restore splits a stretch, the trail, and the flags kept once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/history_fixture.h"
#include "core/instrument_text.h"
#include "history/history_copy.h"
#include "history/import_source.h"

namespace tarn {
namespace {

using testing::At;
using testing::HistoryTest;

constexpr int64_t kDay = 86400;
const int64_t kT0 = At(2024, 3, 1, 6);

int64_t Day(int i) {
  return kT0 + i * kDay;
}

ImportBatch Probe(const std::string& tag, const std::string& serial, int first_day,
                  const std::vector<double>& values, int32_t data_type = 0) {
  ImportBatch b;
  b.key = {tag, serial, data_type};
  b.header.mloss_unit = "MILS";
  b.header.probe_life = 5.0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    b.readings.push_back({Day(first_day + static_cast<int>(i)), values[i]});
  }
  return b;
}

class HistorySetAside : public HistoryTest {
 protected:
  ProbeSummary Get(int32_t window = 0) {
    const auto p = store_->GetProbe(id_, window);
    EXPECT_TRUE(p.has_value()) << store_->LastError().message;
    return p.value_or(ProbeSummary{});
  }
  int64_t SetAside(int from, int to, const std::string& why) {
    int64_t n = -1;
    const Status st = store_->SetAside(id_, Day(from), Day(to), why, &n);
    EXPECT_TRUE(st.ok) << st.message;
    return n;
  }
  int64_t Restore(HistoryTime from, HistoryTime to) {
    int64_t n = -1;
    const Status st = store_->Restore(id_, from, to, &n);
    EXPECT_TRUE(st.ok) << st.message;
    return n;
  }
  int64_t id_ = 0;
};

// Days 0-9 lose 0.1 mil a day, except an upset on days 6 and 7 that reads 1.6 high. Over x =
// 0..9 (mean 4.5, Sxx 82.5) the upset adds 1.6 (1.5 + 2.5) / 82.5 to the slope of 0.1 a day.
TEST_P(HistorySetAside, ReadingsSetAsideLeaveEveryFigureAndComeBackWhenRestored) {
  ASSERT_TRUE(
      Offer({Probe("V-1", "A", 0, {0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 2.2, 2.3, 0.8, 0.9})}).status.ok);
  id_ = store_->ListProbes(0).at(0).id;
  const double upset = (0.1 + 1.6 * 4.0 / 82.5) * 365;
  ASSERT_NEAR(*Get().rate, upset, 1e-9);
  const std::string mark = store_->ChangeMark();

  EXPECT_EQ(SetAside(6, 7, " temperature upset "), 2);
  ProbeSummary p = Get();
  EXPECT_NEAR(*p.rate, 36.5, 1e-9);
  // Windows kept by the store (30 days) and summed for the list (4 days: days 5, 8 and 9 kept).
  EXPECT_NEAR(*Get(30).rate, 36.5, 1e-9);
  EXPECT_NEAR(*Get(4).rate, 36.5, 1e-9);
  EXPECT_EQ(p.count, 10);  // the readings stay in the history
  EXPECT_EQ(p.set_aside, 2);
  EXPECT_NE(store_->ChangeMark(), mark);
  EXPECT_EQ(store_->ReadRange(id_, INT64_MIN, INT64_MAX).size(), 10u);
  auto stretches = store_->ListSetAside(id_);
  ASSERT_EQ(stretches.size(), 1u);
  EXPECT_EQ(stretches[0].reason, "temperature upset");
  EXPECT_EQ(stretches[0].from, Day(6));
  EXPECT_FALSE(stretches[0].user.empty());

  // Set aside again with another reason: no reading changes state, the reason is the new one.
  EXPECT_EQ(SetAside(6, 7, "thermocouple fault"), 0);
  stretches = store_->ListSetAside(0);
  ASSERT_EQ(stretches.size(), 1u);
  EXPECT_EQ(stretches[0].reason, "thermocouple fault");

  // Restoring day 7 alone splits the stretch. Kept: x = 0..5, 7, 8, 9 (mean 13/3, Sxx 80), the
  // upset at 7 adds 1.6 (7 - 13/3) / 80 to the slope.
  EXPECT_EQ(Restore(Day(7), Day(7)), 1);
  stretches = store_->ListSetAside(id_);
  ASSERT_EQ(stretches.size(), 1u);
  EXPECT_EQ(stretches[0].from, Day(6));
  EXPECT_EQ(stretches[0].to, Day(7) - 1);
  EXPECT_NEAR(*Get().rate, (0.1 + 1.6 * (8.0 / 3.0) / 80.0) * 365, 1e-9);
  EXPECT_EQ(Restore(INT64_MIN / 2, INT64_MAX / 2), 1);
  EXPECT_TRUE(store_->ListSetAside(id_).empty());
  EXPECT_NEAR(*Get().rate, upset, 1e-9);
  EXPECT_EQ(Get().set_aside, 0);
  EXPECT_EQ(Restore(Day(0), Day(9)), 0);

  // The last reading set aside (a probe reset): the window ends at day 8, the last one kept,
  // and consumed share and end date come from it.
  EXPECT_EQ(SetAside(6, 7, "temperature upset"), 2);
  EXPECT_EQ(SetAside(9, 20, "probe reset"), 1);
  for (const int32_t window : {0, 3, 30}) {
    SCOPED_TRACE(window);
    p = Get(window);
    ASSERT_TRUE(p.rate && p.consumed && p.end_time);
    EXPECT_NEAR(*p.rate, 36.5, 1e-9);
    EXPECT_NEAR(*p.consumed, 0.8 / 5, 1e-12);
    EXPECT_NEAR(static_cast<double>(*p.end_time - Day(8)), (5 - 0.8) / 0.1 * kDay, 2.0);
    EXPECT_EQ(p.last_time, Day(9));  // the probe's own figures stay
    EXPECT_EQ(store_->ListProbes(window).at(0).rate, p.rate);
  }

  // The point follows: a replacement goes on from day 8's 0.8, not the reset's 0.9.
  ASSERT_TRUE(Offer({Probe("V-1", "B", 10, {0.05, 0.15})}).status.ok);
  const auto points = store_->ListPoints(0);
  ASSERT_EQ(points.size(), 1u) << store_->LastError().message;
  EXPECT_EQ(points[0].count, 7 + 2);
  EXPECT_NEAR(points[0].value, 0.9, 1e-9);
  // The graph still gets every reading, those set aside marked.
  const PointSeries s = store_->ReadPointSeries(points[0].id, Day(-1), Day(12), 1920);
  ASSERT_EQ(s.readings.size(), 12u) << store_->LastError().message;
  ASSERT_EQ(s.set_aside.size(), 12u);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(s.set_aside[i], i == 6 || i == 7 || i == 9) << i;
  }
  EXPECT_NEAR(s.readings[11].value, 0.9, 1e-9);

  // Every step went into the trail, with the reason and how many readings it concerned.
  std::vector<HistoryChange> trail = store_->ListChanges();
  ASSERT_EQ(trail.size(), 6u);
  const std::string what = "readings of probe " + std::to_string(id_) +
                           " (V-1 A) from 07/03/2024 06:00:00 to 08/03/2024 06:00:00";
  EXPECT_EQ(trail[0].what, what);
  EXPECT_EQ(trail[0].before, "kept");
  EXPECT_EQ(trail[0].after, "set aside: temperature upset (2 readings)");
  EXPECT_EQ(trail[1].before, "set aside: temperature upset");
  EXPECT_EQ(trail[1].after, "set aside: thermocouple fault (2 readings)");
  EXPECT_EQ(trail[2].before, "set aside: thermocouple fault (1 reading)");
  EXPECT_EQ(trail[2].after, "kept");

  // A copy keeps them aside, once however often it is made.
  std::string error;
  auto copy = OpenHistory(dir_.file("copy.sqlite"), &error);
  ASSERT_NE(copy, nullptr) << error;
  HistoryCopyReport report;
  for (int k = 0; k < 2; ++k) ASSERT_TRUE(CopyHistory(*store_, *copy, &report).ok);
  const auto copied = copy->ListSetAside(0);
  ASSERT_EQ(copied.size(), 2u);
  EXPECT_EQ(copied[1].reason, "probe reset");
  EXPECT_EQ(copy->ListPoints(0).at(0).value, points[0].value);
}

TEST_P(HistorySetAside, RefusalsChangeNothing) {
  ASSERT_TRUE(Offer({Probe("V-1", "A", 0, {0.0, 0.1, 0.2})}).status.ok);
  id_ = store_->ListProbes(0).at(0).id;
  int64_t n = -1;
  struct Case {
    int64_t probe;
    int from, to;
    std::string reason;
    std::string message;
  };
  const Case cases[] = {
      {999, 0, 1, "upset", "No probe with id 999."},
      {id_, 0, 1, " \t", "Readings are set aside only with a reason."},
      {id_, 2, 1, "upset", "The stretch must not end before it starts."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(store_->SetAside(c.probe, Day(c.from), Day(c.to), c.reason, &n).message, c.message);
    EXPECT_EQ(n, 0);
  }
  EXPECT_EQ(store_->Restore(999, Day(0), Day(1), &n).message, "No probe with id 999.");
  // A stretch without readings keeps nothing.
  EXPECT_EQ(SetAside(5, 9, "upset"), 0);
  EXPECT_TRUE(store_->ListSetAside(0).empty());
  EXPECT_TRUE(store_->ListChanges().empty());
}

// Falls of more than 2 % of the probe life (0.1 mil) between neighbouring readings of a
// metal-loss probe are flagged, across the join with the readings stored before, once each.
TEST_P(HistorySetAside, ImportFlagsStepDownsOnceAndNeverSetsThemAside) {
  ASSERT_TRUE(Offer({Probe("F-1", "A", 0, {1.0, 1.05, 0.5, 0.55, 0.46}),
                     Probe("LPR", "L", 0, {9.0, 1.0}, 1)})
                  .status.ok);
  ASSERT_TRUE(Offer({Probe("F-1", "A", 5, {0.3, 0.35})}).status.ok);
  const auto probes = store_->ListProbes(0);
  const int64_t f1 = probes.at(0).key.tag == "F-1" ? probes[0].id : probes.at(1).id;
  auto flags = store_->ListFlags();
  ASSERT_EQ(flags.size(), 2u) << store_->LastError().message;
  EXPECT_EQ(flags[0].probe_id, f1);
  EXPECT_EQ(flags[0].time, Day(2));
  EXPECT_NEAR(flags[0].drop, 0.55, 1e-12);
  EXPECT_EQ(flags[1].time, Day(5));
  EXPECT_NEAR(flags[1].drop, 0.16, 1e-12);
  EXPECT_TRUE(store_->ListSetAside(0).empty());
  EXPECT_EQ(store_->GetProbe(f1, 0)->set_aside, 0);

  // Undone and imported again, the falls are found again and kept once.
  const auto files = store_->SourceFiles();
  ASSERT_EQ(files.size(), 2u);
  ASSERT_TRUE(store_->Unimport(files[1].id, true).status.ok);
  EXPECT_EQ(store_->ListFlags().size(), 1u);  // its reading went with the file
  ASSERT_TRUE(Offer({Probe("F-1", "A", 5, {0.3, 0.35})}).status.ok);
  flags = store_->ListFlags();
  ASSERT_EQ(flags.size(), 2u);
  EXPECT_EQ(flags[1].time, Day(5));
  // Readings filling a gap are judged by their neighbours on both sides.
  ASSERT_TRUE(Offer({Probe("F-1", "A", 10, {1.0, 1.2}), Probe("F-1", "A", 8, {0.36})}).status.ok);
  EXPECT_EQ(store_->ListFlags().size(), 2u);
  ASSERT_TRUE(Offer({Probe("F-1", "A", 9, {1.5})}).status.ok);
  flags = store_->ListFlags();
  ASSERT_EQ(flags.size(), 3u);
  EXPECT_EQ(flags[2].time, Day(10));
  EXPECT_NEAR(flags[2].drop, 0.5, 1e-12);
}

TARN_HISTORY_BACKENDS(HistorySetAside);

}  // namespace
}  // namespace tarn
