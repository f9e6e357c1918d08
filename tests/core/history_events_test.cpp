// SPDX-License-Identifier: GPL-3.0-or-later
// Events through the history's interface, on every back end: the rate before and after an
// event worked by hand (a step, no change, means of corrosion-rate points, too few readings),
// events on units and sites, the trail of adding, editing and removing them, renames carrying
// them, and a differential check against a plain scan of the readings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/history_fixture.h"
#include "core/instrument_text.h"
#include "history/event_figures.h"
#include "history/import_source.h"
#include "history/rate_change.h"

namespace tarn {
namespace {

using testing::At;
using testing::HistoryTest;

constexpr int64_t kDay = 86400;
const int64_t kEv = At(2024, 6, 1, 12);

ImportBatch Probe(const std::string& tag, const std::string& serial,
                  const std::vector<HistoryReading>& readings, int32_t data_type = 0) {
  ImportBatch b;
  b.key = {tag, serial, data_type};
  b.header.mloss_unit = "MILS";
  b.header.probe_life = 50.0;
  b.readings = readings;
  return b;
}

// Readings a day apart from 4 days before kEv to 3 days after: slope `before` per day until
// kEv and `after` from it, both through 1.0 at kEv, plus +d, -d, -d, +d on each side, which the
// fit's line leaves alone (it is orthogonal to x and to 1) and which makes each slope's
// standard error d * sqrt(4 / 2 / 5).
std::vector<HistoryReading> Step(double before, double after, double d) {
  const double noise[] = {d, -d, -d, d};
  std::vector<HistoryReading> out;
  for (int k = -4; k <= 3; ++k) {
    const double slope = k < 0 ? before : after;
    out.push_back({kEv + k * kDay, 1.0 + slope * k + noise[(k + 4) % 4]});
  }
  return out;
}

class HistoryEvents : public HistoryTest {
 protected:
  void Place(const std::string& serial, const std::string& path,
             std::optional<HistoryTime> from = std::nullopt) {
    std::string placed;
    ASSERT_TRUE(store_->AssignProbe(ProbeId(serial), path, from, &placed)) << path;
  }
  int64_t Add(const std::string& path, HistoryTime at, EventKind kind = EventKind::kInhibitor,
              const std::string& note = "") {
    int64_t id = 0;
    const Status st = store_->AddEvent({0, at, path, kind, note}, &id);
    EXPECT_TRUE(st) << st.message;
    return id;
  }
  // Three points: a step in rate, no change, and a corrosion-rate (mean) point.
  void ThreePoints() {
    ASSERT_TRUE(Offer({Probe("T1", "S-IN", Step(0.1, 0.02, 0.01)),
                       Probe("T2", "S-OUT", Step(0.1, 0.1, 0.01)),
                       Probe("T3", "S-CW",
                             {{kEv - 3 * kDay, 2.0},
                              {kEv - 2 * kDay, 4.0},
                              {kEv - kDay, 6.0},
                              {kEv, 1.0},
                              {kEv + kDay, 2.0},
                              {kEv + 2 * kDay, 3.0}},
                             1)})
                    .status);
    Place("S-IN", "North/V-101/Inlet");
    Place("S-OUT", "North/V-101/Outlet");
    Place("S-CW", "North/V-102/CW");
  }
};

// t(0.975, 4) = 2.776445. Slopes: the half-width of the change's interval is
// t * sqrt(2) * d * sqrt(0.4) per day; means: before 4 with SE sqrt(4/3), after 2 with SE
// sqrt(1/3).
TEST_P(HistoryEvents, RatesBeforeAndAfterWorkedByHand) {
  ThreePoints();
  // On the site, spelled in other letter case: every point under it.
  const int64_t id = Add("north", kEv);
  const double slope_half = 2.776445 * std::sqrt(2.0) * 0.01 * std::sqrt(0.4) * 365.0;
  const double mean_half = 2.776445 * std::sqrt(4.0 / 3.0 + 1.0 / 3.0);
  struct Row {
    const char* path;
    double before, after, half;
    bool significant;
  };
  const Row expected[] = {
      {"North/V-101/Inlet", 36.5, 7.3, slope_half, true},
      {"North/V-101/Outlet", 36.5, 36.5, slope_half, false},
      {"North/V-102/CW", 4.0, 2.0, mean_half, false},
  };
  const std::vector<EventFigure> rows = store_->EventFigures(30, "");
  ASSERT_EQ(rows.size(), 3u) << store_->LastError().message;
  for (std::size_t i = 0; i < 3; ++i) {
    const Row& e = expected[i];
    const EventFigure& r = rows[i];
    SCOPED_TRACE(e.path);
    EXPECT_EQ(r.event.id, id);
    EXPECT_EQ(r.event.path, "North");  // as the points spell it
    EXPECT_EQ(r.point_path, e.path);
    EXPECT_EQ(r.rate_unit, "mpy");
    ASSERT_TRUE(r.before && r.after && r.change && r.low && r.high) << r.reason;
    EXPECT_NEAR(*r.before, e.before, 1e-6);
    EXPECT_NEAR(*r.after, e.after, 1e-6);
    EXPECT_NEAR(*r.change, e.after - e.before, 1e-6);
    EXPECT_NEAR(*r.low, e.after - e.before - e.half, 1e-3);
    EXPECT_NEAR(*r.high, e.after - e.before + e.half, 1e-3);
    EXPECT_EQ(r.significant, e.significant);
    EXPECT_TRUE(r.reason.empty());
  }

  // A unit's event applies to its points alone; the filter keeps the points under its path.
  Add("North/V-101", kEv + 10 * kDay, EventKind::kProcess);
  const std::vector<EventFigure> unit = store_->EventFigures(30, "North/V-101");
  ASSERT_EQ(unit.size(), 4u);
  EXPECT_EQ(unit[2].event.path, "North/V-101");
  EXPECT_EQ(unit[2].point_path, "North/V-101/Inlet");
  EXPECT_EQ(unit[3].point_path, "North/V-101/Outlet");
  // Ten days on, every reading is before it.
  EXPECT_FALSE(unit[2].change.has_value());
  EXPECT_TRUE(unit[2].before.has_value());
  EXPECT_EQ(unit[2].reason, "0 readings after the event; at least 3 are needed");
  ASSERT_EQ(store_->EventFigures(30, "north/v-102/cw").size(), 1u);
  EXPECT_TRUE(store_->EventFigures(30, "South").empty());
  EXPECT_EQ(store_->LastError().message, "No point, unit or site South.");

  // Two days a side leave two readings before the first event.
  const std::vector<EventFigure> narrow = store_->EventFigures(2, "North/V-101/Inlet");
  ASSERT_EQ(narrow.size(), 2u);
  EXPECT_FALSE(narrow[0].change.has_value());
  EXPECT_FALSE(narrow[0].before.has_value());
  EXPECT_EQ(narrow[0].reason, "2 readings before the event; at least 3 are needed");

  // A reading set aside counts on neither side: the cooling-water point keeps two before it.
  int64_t changed = 0;
  ASSERT_TRUE(store_->SetAside(ProbeId("S-CW"), kEv - 3 * kDay, kEv - 3 * kDay, "upset", &changed));
  EXPECT_EQ(changed, 1);
  const std::vector<EventFigure> aside = store_->EventFigures(30, "North/V-102/CW");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_FALSE(aside[0].change.has_value());
  EXPECT_EQ(aside[0].reason, "2 readings before the event; at least 3 are needed");

  for (const int32_t days : {0, 366}) {
    EXPECT_TRUE(store_->EventFigures(days, "").empty());
    EXPECT_EQ(store_->LastError().message, "The days before and after an event are 1 to 365.");
  }
  EXPECT_TRUE(store_->EventFigures(30, "a//b").empty());
  EXPECT_FALSE(store_->LastError());
}

TEST_P(HistoryEvents, AddEditRemoveLeaveATrailAndRenamesCarryEvents) {
  ThreePoints();
  const std::string mark = store_->ChangeMark();
  const std::size_t placed = store_->ListChanges().size();
  // Refused: a path no point lies at or under, a malformed one, a note that would break lines.
  int64_t id = 0;
  Status st = store_->AddEvent({0, kEv, "North/V-109", EventKind::kOther, ""}, &id);
  EXPECT_EQ(st.message, "No point, unit or site North/V-109.");
  EXPECT_FALSE(store_->AddEvent({0, kEv, " / ", EventKind::kOther, ""}, &id));
  EXPECT_FALSE(store_->AddEvent({0, kEv, "North", EventKind::kOther, "a\tb"}, &id));
  EXPECT_TRUE(store_->ListEvents({}).empty());
  EXPECT_EQ(store_->ListChanges().size(), placed);

  const int64_t inlet = Add("north/v-101/INLET", kEv, EventKind::kInhibitor, "dose up");
  const int64_t unit = Add("North/V-101", kEv + kDay, EventKind::kCleaning);
  const int64_t site = Add("North", kEv - kDay, EventKind::kProcess);
  EXPECT_NE(store_->ChangeMark(), mark);
  std::vector<HistoryEvent> events = store_->ListEvents({});
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].id, site);  // in time order
  EXPECT_EQ(events[1].path, "North/V-101/Inlet");
  EXPECT_EQ(events[1].note, "dose up");
  EXPECT_EQ(events[1].kind, EventKind::kInhibitor);

  // Edited: every field but the id.
  const std::string before_edit = store_->ChangeMark();
  HistoryEvent edited{inlet, kEv + 2 * kDay, "North/V-101/Outlet", EventKind::kProbe, "reset"};
  ASSERT_TRUE(store_->EditEvent(edited));
  EXPECT_NE(store_->ChangeMark(), before_edit);
  edited.id = 999;
  EXPECT_EQ(store_->EditEvent(edited).message, "No event with id 999.");
  EXPECT_EQ(store_->RemoveEvent(999).message, "No event with id 999.");
  ASSERT_TRUE(store_->RemoveEvent(site));

  std::vector<HistoryChange> trail = store_->ListChanges();
  ASSERT_EQ(trail.size(), placed + 5);
  trail.erase(trail.begin(), trail.begin() + static_cast<std::ptrdiff_t>(placed));
  EXPECT_EQ(trail[0].what, "event " + std::to_string(inlet));
  EXPECT_EQ(trail[0].before, "(none)");
  EXPECT_EQ(trail[0].after, "inhibitor at 01/06/2024 12:00:00 on North/V-101/Inlet: dose up");
  EXPECT_EQ(trail[3].what, "event " + std::to_string(inlet));
  EXPECT_EQ(trail[3].before, trail[0].after);
  EXPECT_EQ(trail[3].after, "probe at 03/06/2024 12:00:00 on North/V-101/Outlet: reset");
  EXPECT_EQ(trail[4].before, "process at 31/05/2024 12:00:00 on North");
  EXPECT_EQ(trail[4].after, "(removed)");

  // The filter: events that apply to a point at or under the path, within the times.
  EXPECT_EQ(store_->ListEvents({"North/V-101/Outlet"}).size(), 2u);
  EXPECT_EQ(store_->ListEvents({"North/V-101/Inlet"}).size(), 1u);
  EXPECT_TRUE(store_->ListEvents({"North/V-102"}).empty());
  EXPECT_EQ(store_->ListEvents({"", kEv + 2 * kDay, kEv + 2 * kDay}).size(), 1u);

  // A rename carries the events on the unit and under it; assigning a probe leaves them.
  ASSERT_TRUE(store_->RenamePoint("north/v-101", "South/V-201"));
  events = store_->ListEvents({});
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].id, unit);
  EXPECT_EQ(events[0].path, "South/V-201");
  EXPECT_EQ(events[1].path, "South/V-201/Outlet");
  Place("S-OUT", "North/V-102/Other");
  EXPECT_EQ(store_->ListEvents({}).size(), 2u);
  EXPECT_EQ(store_->EventFigures(30, "").size(), 1u);  // the unit's event, at Inlet
  EXPECT_TRUE(store_->LastError());
}

// A plain scan: each point's cumulative series from its probes' readings, split by hand.
struct Scanned {
  std::vector<HistoryReading> series;
  SeriesKind kind;
};

Scanned ScanPoint(HistoryStore& store, const PointSummary& point) {
  Scanned out{{}, KindOfSeries(point.current.key.data_type)};
  double offset = 0.0;
  bool any = false;
  double last = 0.0;
  for (std::size_t k = 0; k < point.probes.size(); ++k) {
    const HistoryTime until =
        k + 1 < point.probes.size() ? point.probes[k + 1].from - 1 : INT64_MAX;
    const std::vector<HistoryReading> part =
        store.ReadRange(point.probes[k].probe_id, point.probes[k].from, until);
    if (part.empty()) continue;
    if (out.kind == SeriesKind::kMetalLoss) offset = any ? last - part.front().value : 0.0;
    for (const HistoryReading& r : part) out.series.push_back({r.time, r.value + offset});
    last = out.series.back().value;
    any = true;
  }
  return out;
}

TEST_P(HistoryEvents, FiguresAgreeWithAPlainScanOfTheReadings) {
  // Readings every 6 hours over 120 days, rising by pseudo-random steps.
  uint32_t seed = 12345;
  auto next = [&]() {
    seed = seed * 1103515245u + 12345u;
    return static_cast<double>((seed >> 8) % 1000) / 1000.0;
  };
  const HistoryTime t0 = At(2023, 1, 1);
  auto series = [&](int from_day, int to_day, double rate, bool lpr) {
    std::vector<HistoryReading> out;
    double v = 0.5;
    for (HistoryTime t = t0 + from_day * kDay; t < t0 + to_day * kDay; t += kDay / 4) {
      v = lpr ? rate * (0.5 + next()) : v + rate * next();
      out.push_back({t, v});
    }
    return out;
  };
  ASSERT_TRUE(Offer({Probe("A", "A1", series(0, 40, 0.02, false)),
                     Probe("B", "B1", series(0, 120, 0.01, false)),
                     Probe("C", "C1", series(0, 120, 3.0, true), 1)})
                  .status);
  ASSERT_TRUE(Offer({Probe("A", "A2", series(40, 80, 0.005, false))}).status);
  // A3's readings before day 95 count nowhere: the point holds part of them.
  ASSERT_TRUE(Offer({Probe("A", "A3", series(85, 120, 0.03, false))}).status);
  Place("A1", "Plant/U1/P1");
  Place("A2", "Plant/U1/P1");
  Place("A3", "Plant/U1/P1", t0 + 95 * kDay);
  Place("B1", "Plant/U1/P2");
  Place("C1", "Plant/U2/P3");
  const char* paths[] = {"Plant/U1/P1", "Plant/U1/P2", "Plant/U2/P3", "Plant/U1", "Plant"};
  for (int i = 0; i < 12; ++i) {
    Add(paths[i % 5], t0 + static_cast<HistoryTime>(next() * 120 * kDay));
  }
  Add("Plant/U1/P1", t0 + 40 * kDay);  // at the replacement
  Add("Plant/U1/P1", t0 + 95 * kDay);  // where A3 starts counting

  std::map<int64_t, Scanned> scanned;
  for (const PointSummary& p : store_->ListPoints(0)) scanned[p.id] = ScanPoint(*store_, p);
  ASSERT_EQ(scanned.size(), 3u);
  for (const int32_t days : {5, 30}) {
    const std::vector<EventFigure> rows = store_->EventFigures(days, "");
    ASSERT_GE(rows.size(), 14u) << store_->LastError().message;
    int compared = 0;
    for (const EventFigure& r : rows) {
      SCOPED_TRACE(std::to_string(days) + " days, event " + std::to_string(r.event.id) + " at " +
                   r.point_path);
      const Scanned& s = scanned[r.point_id];
      std::vector<HistoryReading> before, after;
      for (const HistoryReading& x : s.series) {
        if (x.time >= r.event.time - days * kDay && x.time < r.event.time) before.push_back(x);
        if (x.time >= r.event.time && x.time < r.event.time + days * kDay) after.push_back(x);
      }
      const RateChange c = CompareReadings(before, after, s.kind);
      auto same = [](const std::optional<double>& a, const std::optional<double>& b) {
        ASSERT_EQ(a.has_value(), b.has_value());
        if (a) {
          EXPECT_NEAR(*a, *b, 1e-6 * std::max(1.0, std::abs(*b)));
        }
      };
      same(r.before, c.before);
      same(r.after, c.after);
      same(r.change, c.change);
      same(r.low, c.low);
      same(r.high, c.high);
      EXPECT_EQ(r.significant, c.significant);
      EXPECT_EQ(r.reason, c.reason);
      compared += c.change.has_value();
    }
    EXPECT_GE(compared, 10);
  }
}

TARN_HISTORY_BACKENDS(HistoryEvents);

}  // namespace
}  // namespace tarn
