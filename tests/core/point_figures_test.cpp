// SPDX-License-Identifier: GPL-3.0-or-later
// Monitoring points' pure rules: the path rule, the cumulative series across replacements and
// its rate over a window that spans one, and the roll-up of states into sites and units.
#include "history/point_figures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "history/point_path.h"

namespace tarn {
namespace {

TEST(PointPath, NamesAreTrimmedKeptInCaseAndComparedWithoutIt) {
  struct Case {
    const char* text;
    const char* stored;  // null: refused
    const char* why;
  };
  const Case cases[] = {
      {"Site/Unit/Point", "Site/Unit/Point", ""},
      {"  North Plant / V-101 /inlet ", "North Plant/V-101/inlet", ""},
      {"One", "One", ""},
      {"a/b/c/d/e/f", "a/b/c/d/e/f", ""},
      {"a/b/c/d/e/f/g", nullptr, "has 7 names"},
      {"Site//Point", nullptr, "has an empty name"},
      {"Site/ \t/Point", nullptr, "has an empty name"},
      {"/Site", nullptr, "has an empty name"},
      {"Site/", nullptr, "has an empty name"},
      {"", nullptr, "has an empty name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string stored = "untouched";
    const Status st = ParsePointPath(c.text, &stored);
    if (c.stored) {
      ASSERT_TRUE(st) << st.message;
      EXPECT_EQ(stored, c.stored);
    } else {
      EXPECT_FALSE(st);
      EXPECT_EQ(stored, "untouched");
      EXPECT_NE(st.message.find(c.why), std::string::npos) << st.message;
      EXPECT_EQ(st.message.find('.'), st.message.size() - 1) << "one sentence: " << st.message;
    }
  }
  EXPECT_EQ(PointPathKey("Site/UNIT/\xC9tage"), PointPathKey("site/unit/\xE9tage"));
  EXPECT_NE(PointPathKey("Site/A"), PointPathKey("Site/B"));
  EXPECT_TRUE(PointPathUnder("site/unit/p", "site/unit"));
  EXPECT_TRUE(PointPathUnder("site/unit", "site/unit"));
  EXPECT_FALSE(PointPathUnder("site/unit2", "site/unit"));
  EXPECT_EQ(UnassignedPath("V-101 IN"), "Unassigned/V-101 IN");
  EXPECT_EQ(UnassignedPath(" A/B "), "Unassigned/A-B");
  EXPECT_EQ(UnassignedPath("  "), "Unassigned/(no tag)");
  std::string any;
  EXPECT_TRUE(ParsePointPath(UnassignedPath("/"), &any));
}

// Probe A loses 0.1 mil a day on days 0-4 (0.0 ... 0.4); probe B replaces it and reads
// 0.05 ... 0.45 on days 5-9. B's first reading starts where A left off: offset
// 0.4 - 0.05 = 0.35, so the point's series is 0.0 ... 0.4 then 0.4 ... 0.8.
struct Replacement {
  std::vector<double> a{0.0, 0.1, 0.2, 0.3, 0.4};
  std::vector<double> b{0.05, 0.15, 0.25, 0.35, 0.45};
};

TEST(PointFigures, CumulativeLossAndWindowRatesAcrossAReplacement) {
  const Replacement r;
  const std::vector<double> offsets =
      CumulativeOffsets({{r.a.front(), r.a.back()}, {r.b.front(), r.b.back()}, {0.5, 0.6}});
  ASSERT_EQ(offsets.size(), 3u);
  EXPECT_EQ(offsets[0], 0.0);
  EXPECT_NEAR(offsets[1], 0.35, 1e-12);
  EXPECT_NEAR(offsets[2], 0.45 + 0.35 - 0.5, 1e-12);  // a third probe goes on from 0.8

  // Each probe's sums with x in days from its own first reading, shifted to the point's origin.
  RegressionSums a, b;
  for (int i = 0; i < 5; ++i) a.Add(i, r.a[i]);
  for (int i = 0; i < 5; ++i) b.Add(i, r.b[i]);
  struct Case {
    const char* what;
    int from_day;     // the window's first day (the last reading is on day 9)
    double per_year;  // worked by hand
  };
  // Whole series: y = 0.1 x - 0.1 [x >= 5]; the step's slope is 12.5 / 82.5, so the slope is
  // 0.1 - 0.1 * 12.5 / 82.5 = 0.0848485 a day.
  // Days 4-9: y = 0.4 0.4 0.5 0.6 0.7 0.8; sum (x - 6.5) y = 1.5 over sum (x - 6.5)^2 = 17.5.
  // Days 6-9: probe B alone, 0.1 a day.
  const Case cases[] = {
      {"whole", 0, (0.1 - 0.1 * 12.5 / 82.5) * 365},
      {"spanning", 4, 1.5 / 17.5 * 365},
      {"after", 6, 0.1 * 365},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegressionSums s;
    const double origin = c.from_day;
    if (c.from_day == 0) {
      s = AddSums(ShiftSums(a, 0 - origin, 0.0), ShiftSums(b, 5 - origin, offsets[1]));
    } else {
      // The parts inside the window, summed reading by reading.
      for (int i = 0; i < 5; ++i) {
        if (i >= c.from_day) s.Add(i - origin, r.a[i]);
        if (5 + i >= c.from_day) s.Add(5 + i - origin, r.b[i] + offsets[1]);
      }
    }
    PointSummary p;
    p.current.key = {"V-101", "B", 0};
    p.current.header.mloss_unit = "MILS";
    p.current.header.probe_life = 5.0;
    p.current.count = 5;
    p.current.latest_value = 0.45;
    p.current.last_time = 1000 * kSecondsPerDay;
    FillPointFigures(s, &p);
    ASSERT_TRUE(p.rate.has_value());
    EXPECT_NEAR(*p.rate, c.per_year, 1e-9);
    EXPECT_EQ(p.rate_unit, "mpy");
    // The current probe's element: 0.45 of 5 used, the rest at the point's rate.
    EXPECT_NEAR(*p.consumed, 0.09, 1e-12);
    ASSERT_TRUE(p.end_time.has_value());
    EXPECT_NEAR(static_cast<double>(*p.end_time - p.current.last_time) / kSecondsPerDay,
                (5.0 - 0.45) / c.per_year * 365, 1.0);
    EXPECT_EQ(p.state, ProbeState::kAlarm);  // above the default alarm of 10 mpy
  }
  // Shifting sums is the same as summing shifted readings.
  RegressionSums direct;
  for (int i = 0; i < 5; ++i) direct.Add(i + 7.5, r.b[i] - 2.0);
  const RegressionSums shifted = ShiftSums(b, 7.5, -2.0);
  EXPECT_NEAR(shifted.sx, direct.sx, 1e-12);
  EXPECT_NEAR(shifted.sy, direct.sy, 1e-12);
  EXPECT_NEAR(shifted.sxy, direct.sxy, 1e-12);
  EXPECT_NEAR(shifted.sxx, direct.sxx, 1e-12);
}

PointSummary At(const std::string& path, ProbeState state) {
  PointSummary p;
  p.path = path;
  p.state = state;
  return p;
}

TEST(PointFigures, SitesAndUnitsTakeTheWorstStateOfTheirPointsWithCounts) {
  const std::vector<PointSummary> points = {
      At("North/CDU/inlet", ProbeState::kWarning), At("North/CDU/outlet", ProbeState::kOk),
      At("north/cdu/drain", ProbeState::kAlarm),   At("North/VDU/feed", ProbeState::kWarning),
      At("South/Tank 4", ProbeState::kOk),         At("Unassigned/T-9", ProbeState::kOk),
      At("South", ProbeState::kWarning),
  };
  const PointNode root = StatusRollUp(points);
  EXPECT_EQ(root.points, 7);
  EXPECT_EQ(root.alarms, 1);
  EXPECT_EQ(root.warnings, 3);
  ASSERT_EQ(root.children.size(), 3u);
  const PointNode& north = root.children[0];
  EXPECT_EQ(north.name, "North");
  EXPECT_EQ(north.state, ProbeState::kAlarm);
  ASSERT_EQ(north.children.size(), 2u);  // "north/cdu" is the same unit as "North/CDU"
  const PointNode& cdu = north.children[0];
  EXPECT_EQ(cdu.path, "North/CDU");
  EXPECT_EQ(cdu.points, 3);
  EXPECT_EQ(cdu.alarms, 1);
  EXPECT_EQ(cdu.warnings, 1);
  ASSERT_EQ(cdu.children.size(), 3u);
  EXPECT_EQ(cdu.children[0].name, "drain");  // by name, whatever the case
  EXPECT_EQ(cdu.children[0].point, 2);
  EXPECT_EQ(north.children[1].state, ProbeState::kWarning);
  EXPECT_EQ(north.children[1].point, -1);
  // A point may also be a node above other points.
  const PointNode& south = root.children[1];
  EXPECT_EQ(south.point, 6);
  EXPECT_EQ(south.points, 2);
  EXPECT_EQ(south.state, ProbeState::kWarning);
  EXPECT_EQ(south.children[0].state, ProbeState::kOk);
  EXPECT_EQ(root.children[2].state, ProbeState::kOk);
}

}  // namespace
}  // namespace tarn
