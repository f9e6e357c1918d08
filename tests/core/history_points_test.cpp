// SPDX-License-Identifier: GPL-3.0-or-later
// Monitoring points through the history's interface, on every back end: placement by tag on
// import, the cumulative loss and rates across a replacement, the point's graph series, moving
// probes and renaming points, and the roll-up of their states.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/history_fixture.h"
#include "core/instrument_text.h"
#include "history/history_copy.h"
#include "history/import_source.h"
#include "history/point_figures.h"

namespace tarn {
namespace {

using testing::At;
using testing::HistoryTest;

constexpr int64_t kDay = 86400;
const int64_t kT0 = At(2024, 3, 1, 6);

// A mils metal-loss probe (probe life 5) with one reading a day from `first_day`.
ImportBatch Probe(const std::string& tag, const std::string& serial, int first_day,
                  const std::vector<double>& values, int32_t data_type = 0) {
  ImportBatch b;
  b.key = {tag, serial, data_type};
  b.header.mloss_unit = "MILS";
  b.header.probe_life = 5.0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    b.readings.push_back({kT0 + (first_day + static_cast<int64_t>(i)) * kDay, values[i]});
  }
  return b;
}

class HistoryPoints : public HistoryTest {
 protected:
  const PointSummary* Find(const std::vector<PointSummary>& points, const std::string& path) {
    for (const PointSummary& p : points) {
      if (p.path == path) return &p;
    }
    ADD_FAILURE() << "no point " << path << " among " << points.size();
    return nullptr;
  }
};

// Probe A of V-101 loses 0.1 mil a day on days 0-4; B replaces it on days 5-9 reading
// 0.05 ... 0.45; B's first reading starts where A left off (offset 0.35), so the point's series
// runs 0.0 ... 0.4, 0.4 ... 0.8 (worked in point_figures_test.cpp).
TEST_P(HistoryPoints, NewProbesGoByTagAndTheLossCarriesAcrossReplacements) {
  ASSERT_TRUE(Offer({Probe("V-101", "A", 0, {0.0, 0.1, 0.2, 0.3, 0.4}),
                     Probe("CW-7", "L1", 0, {2.0, 4.0}, 1)})
                  .status.ok);
  ASSERT_TRUE(Offer({Probe("V-101", "B", 5, {0.05, 0.15, 0.25, 0.35, 0.45}),
                     Probe("CW-7", "L2", 2, {6.0, 8.0}, 1), Probe("v-101", "X", 0, {1.0})})
                  .status.ok);

  const std::vector<PointSummary> points = store_->ListPoints(0);
  ASSERT_EQ(points.size(), 3u) << store_->LastError().message;
  // Sorted by path; a tag that differs only in case is another probe's, at a point of its own.
  EXPECT_EQ(points[0].path, "Unassigned/CW-7");
  EXPECT_EQ(points[1].path, "Unassigned/V-101");
  EXPECT_EQ(points[2].path, "Unassigned/v-101 (2)");
  const PointSummary& v = points[1];
  ASSERT_EQ(v.probes.size(), 2u);
  EXPECT_EQ(v.probes[0].key.serial, "A");
  EXPECT_EQ(v.probes[0].from, kT0);
  EXPECT_EQ(v.probes[1].key.serial, "B");
  EXPECT_EQ(v.current.key.serial, "B");
  EXPECT_EQ(v.count, 10);
  EXPECT_NEAR(v.value, 0.8, 1e-9);
  ASSERT_TRUE(v.rate.has_value());
  EXPECT_NEAR(*v.rate, (0.1 - 0.1 * 12.5 / 82.5) * 365, 1e-6);
  EXPECT_EQ(v.rate_unit, "mpy");
  EXPECT_NEAR(*v.consumed, 0.45 / 5, 1e-12);  // of the current element
  EXPECT_EQ(v.state, ProbeState::kAlarm);
  EXPECT_FALSE(v.own_limits);
  EXPECT_EQ(v.limits.rate_alarm, 10.0);

  struct Window {
    int32_t days;
    double per_year;
  };
  // 5 days back from day 9 reach A's last reading (spanning); 3 days hold B alone.
  for (const Window& w : {Window{5, 1.5 / 17.5 * 365}, Window{3, 36.5}, Window{30, *v.rate}}) {
    SCOPED_TRACE(w.days);
    const std::vector<PointSummary> listed = store_->ListPoints(w.days);
    const PointSummary* p = Find(listed, "Unassigned/V-101");
    ASSERT_TRUE(p && p->rate);
    EXPECT_NEAR(*p->rate, w.per_year, 1e-6);
  }
  // Corrosion-rate points take the mean of their readings, across probes, with no offsets.
  EXPECT_NEAR(*points[0].rate, 5.0, 1e-12);
  EXPECT_NEAR(points[0].value, 8.0, 1e-12);
  EXPECT_NEAR(*Find(store_->ListPoints(1), "Unassigned/CW-7")->rate, 7.0, 1e-12);

  // The graph: cumulative values, one mark where B took over.
  const PointSeries s = store_->ReadPointSeries(v.id, kT0 - kDay, kT0 + 10 * kDay, 1920);
  ASSERT_EQ(s.readings.size(), 10u) << store_->LastError().message;
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(s.readings[i].time, kT0 + i * kDay);
    EXPECT_NEAR(s.readings[i].value, i < 5 ? 0.1 * i : 0.1 * i - 0.1, 1e-9) << i;
  }
  ASSERT_EQ(s.replacements.size(), 1u);
  EXPECT_EQ(s.replacements[0].time, kT0 + 5 * kDay);
  EXPECT_EQ(s.replacements[0].serial, "B");
  // Few columns keep the shape; a range after the replacement keeps B's offset but no mark.
  EXPECT_LE(store_->ReadPointSeries(v.id, kT0, kT0 + 10 * kDay, 2).readings.size(), 8u);
  const PointSeries late = store_->ReadPointSeries(v.id, kT0 + 7 * kDay, kT0 + 9 * kDay, 100);
  ASSERT_EQ(late.readings.size(), 3u);
  EXPECT_NEAR(late.readings[0].value, 0.6, 1e-9);
  EXPECT_TRUE(late.replacements.empty());
  EXPECT_TRUE(store_->ReadPointSeries(999, kT0, kT0 + kDay, 10).readings.empty());
}

TEST_P(HistoryPoints, AssignMovesProbesAndRenameMovesPointsWithTheirProbes) {
  ASSERT_TRUE(Offer({Probe("V-101", "A", 0, {0.0, 0.1, 0.2, 0.3, 0.4}),
                     Probe("V-101", "B", 5, {0.05, 0.15, 0.25, 0.35, 0.45}),
                     Probe("P-9", "P", 0, {0.0, 0.01})})
                  .status.ok);
  ASSERT_EQ(store_->ListPoints(0).size(), 2u);
  const int64_t a = ProbeId("A"), b = ProbeId("B");

  // Refusals change nothing.
  std::string placed;
  Status st = store_->AssignProbe(999, "North/CDU/V-101 in", std::nullopt, &placed);
  EXPECT_EQ(st.message, "No probe with id 999.");
  st = store_->AssignProbe(b, "North//V-101 in", std::nullopt, &placed);
  EXPECT_NE(st.message.find("has an empty name"), std::string::npos) << st.message;
  ASSERT_EQ(store_->ListPoints(0).size(), 2u);

  // B moves with its readings: each point has its own probe's figures.
  ASSERT_TRUE(store_->AssignProbe(b, " North / CDU / V-101 in ", std::nullopt, &placed).ok);
  EXPECT_EQ(placed, "North/CDU/V-101 in");
  auto points = store_->ListPoints(0);
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[0].path, "North/CDU/V-101 in");
  EXPECT_NEAR(points[0].value, 0.45, 1e-9);
  EXPECT_NEAR(*points[0].rate, 36.5, 1e-6);
  EXPECT_NEAR(Find(points, "Unassigned/V-101")->value, 0.4, 1e-9);

  // A follows (the path found whatever its case); its old point, left empty, disappears.
  ASSERT_TRUE(store_->AssignProbe(a, "north/cdu/v-101 IN", std::nullopt, &placed).ok);
  EXPECT_EQ(placed, "North/CDU/V-101 in");
  points = store_->ListPoints(0);
  ASSERT_EQ(points.size(), 2u);
  ASSERT_EQ(points[0].probes.size(), 2u);
  EXPECT_NEAR(points[0].value, 0.8, 1e-9);

  // A new element of the same tag goes where the tag's latest probe is.
  ASSERT_TRUE(Offer({Probe("V-101", "C", 10, {0.0, 0.1})}).status.ok);
  points = store_->ListPoints(0);
  ASSERT_EQ(points.size(), 2u);
  ASSERT_EQ(points[0].probes.size(), 3u);
  EXPECT_EQ(points[0].current.key.serial, "C");
  EXPECT_NEAR(points[0].value, 0.9, 1e-9);

  // B counts from day 7 only: its days 5 and 6 leave the series, C still goes on from B's end.
  ASSERT_TRUE(store_->AssignProbe(b, "North/CDU/V-101 in", kT0 + 7 * kDay, &placed).ok);
  points = store_->ListPoints(0);
  EXPECT_EQ(points[0].count, 5 + 3 + 2);
  EXPECT_TRUE(points[0].probes[1].from_set);
  // A ends at 0.4, B goes on from 0.25 to 0.45 (+0.2), C from 0.0 to 0.1: 0.7.
  EXPECT_NEAR(points[0].value, 0.7, 1e-9);

  // Renaming a unit moves its points; the names are the new ones, the probes the same.
  EXPECT_EQ(store_->RenamePoint("Nowhere", "X").message, "No point Nowhere.");
  EXPECT_EQ(store_->RenamePoint("North/CDU/V-101 in", "unassigned/p-9").message,
            "A point unassigned/p-9 exists already.");
  EXPECT_FALSE(store_->RenamePoint("North", "North/Sub").ok);
  EXPECT_FALSE(store_->RenamePoint("North", "a/b/c/d/e/f/g").ok);
  ASSERT_TRUE(store_->RenamePoint("north/cdu", "South/Crude unit").ok);
  points = store_->ListPoints(0);
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].path, "South/Crude unit/V-101 in");
  EXPECT_EQ(points[0].probes.size(), 3u);
  // A point's own case may change alone.
  ASSERT_TRUE(store_->RenamePoint("Unassigned/P-9", "unassigned/P-9 drain").ok);
  // A point's own limits, then the defaults again; refusals change nothing.
  const int64_t v101 = store_->ListPoints(0)[0].id;
  EXPECT_EQ(store_->SetPointLimits(999, HistoryLimits{}).message, "No point with id 999.");
  EXPECT_FALSE(store_->SetPointLimits(v101, HistoryLimits{5, 4, 0.5, 0.8}));
  ASSERT_TRUE(store_->SetPointLimits(v101, HistoryLimits{400, 500, 0.5, 0.8}));
  points = store_->ListPoints(0);
  EXPECT_TRUE(points[0].own_limits);
  EXPECT_EQ(points[0].limits.rate_alarm, 500.0);
  EXPECT_EQ(points[0].state, ProbeState::kOk);
  ASSERT_TRUE(store_->SetPointLimits(v101, std::nullopt));
  points = store_->ListPoints(0);
  EXPECT_FALSE(points[0].own_limits);
  EXPECT_EQ(points[0].state, ProbeState::kAlarm);
  ASSERT_TRUE(store_->SetPointLimits(v101, HistoryLimits{400, 500, 0.5, 0.8}));

  // The tree of sites and units rolls the states up.
  const PointNode root = StatusRollUp(store_->ListPoints(0));
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_EQ(root.children[0].name, "South");
  EXPECT_EQ(root.children[0].children[0].path, "South/Crude unit");
  EXPECT_EQ(root.children[0].state, ProbeState::kOk);  // its own limits
  ASSERT_TRUE(store_->SetPointLimits(v101, std::nullopt));
  const PointNode alarmed = StatusRollUp(store_->ListPoints(0));
  EXPECT_EQ(alarmed.children[0].state, ProbeState::kAlarm);
  EXPECT_EQ(alarmed.children[0].alarms, 1);
  EXPECT_EQ(root.children[1].children[0].name, "P-9 drain");

  // Removing a probe takes it from its point; a point left without any goes from the list.
  ASSERT_TRUE(store_->RemoveProbe(ProbeId("P")).ok);
  ASSERT_EQ(store_->ListPoints(0).size(), 1u);
  // Its path is free again.
  ASSERT_TRUE(store_->RenamePoint("South/Crude unit/V-101 in", "unassigned/P-9 drain").ok);
  EXPECT_EQ(store_->ListPoints(0)[0].path, "unassigned/P-9 drain");

  // A copy carries the points with their probes and dates.
  {
    std::string error;
    auto copy = OpenHistory(dir_.file("copy.sqlite"), &error);
    ASSERT_NE(copy, nullptr) << error;
    ASSERT_TRUE(store_->SetPointLimits(store_->ListPoints(0)[0].id, HistoryLimits{7, 8, 0.5, 0.8}));
    HistoryCopyReport report;
    ASSERT_TRUE(CopyHistory(*store_, *copy, &report));
    const auto there = copy->ListPoints(0), here = store_->ListPoints(0);
    ASSERT_EQ(there.size(), here.size());
    EXPECT_EQ(there[0].path, here[0].path);
    ASSERT_EQ(there[0].probes.size(), 3u);
    EXPECT_TRUE(there[0].probes[1].from_set);
    EXPECT_NEAR(there[0].value, here[0].value, 1e-9);
    EXPECT_TRUE(there[0].own_limits);
    EXPECT_EQ(there[0].limits.rate_alarm, 8.0);
  }

  // The points survive reopening.
  store_ = Reopen();
  points = store_->ListPoints(30);
  ASSERT_EQ(points.size(), 1u);
  EXPECT_EQ(points[0].probes.size(), 3u);
}

TARN_HISTORY_BACKENDS(HistoryPoints);

}  // namespace
}  // namespace tarn
