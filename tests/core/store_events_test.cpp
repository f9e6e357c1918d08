// SPDX-License-Identifier: GPL-3.0-or-later
// Events over a back end's primitives: which points and readings an event's figures take
// (readings left out, the sides' ends), and every change rolled back when a step of it fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/fake_store_primitives.h"
#include "history/event_figures.h"
#include "history/point_path.h"

namespace tarn {
namespace {

constexpr HistoryTime kDay = kSecondsPerDay;

TEST(EventFigures, KindsPathsAndTheEndsOfEachSide) {
  EventKind kind = EventKind::kOther;
  struct Word {
    const char* text;
    bool known;
    EventKind kind;
  };
  for (const Word& w :
       {Word{"inhibitor", true, EventKind::kInhibitor}, Word{"PROCESS", true, EventKind::kProcess},
        Word{"Cleaning", true, EventKind::kCleaning}, Word{"probe", true, EventKind::kProbe},
        Word{"other", true, EventKind::kOther}, Word{"dose", false, EventKind::kOther},
        Word{"", false, EventKind::kOther}}) {
    kind = EventKind::kOther;
    EXPECT_EQ(ParseEventKind(w.text, &kind), w.known) << w.text;
    EXPECT_EQ(kind, w.kind) << w.text;
    if (w.known) {
      EXPECT_TRUE(ParseEventKind(EventKindWord(w.kind), &kind));
    }
  }

  struct Paths {
    const char* event;
    const char* point;
    bool applies, concerns;
  };
  for (const Paths& p : {Paths{"North/V-101", "north/v-101/Inlet", true, true},
                         Paths{"North", "North/V-101/Inlet", true, true},
                         Paths{"North/V-10", "North/V-101/Inlet", false, false},  // whole names
                         Paths{"North/V-101/Inlet", "North/V-101", false, true},
                         Paths{"South", "North", false, false}}) {
    const std::string e = PointPathKey(p.event), q = PointPathKey(p.point);
    EXPECT_EQ(EventApplies(e, q), p.applies) << p.event << " " << p.point;
    EXPECT_EQ(EventConcerns(e, q), p.concerns) << p.event << " " << p.point;
  }
  EXPECT_TRUE(EventConcerns(PointPathKey("South"), ""));

  // Before: at - days <= t < at; after: at <= t < at + days; x in days from the event.
  const HistoryTime at = kReadingEpoch + 100 * kDay;
  struct Side {
    HistoryTime t;
    int side;  // -1 before, 1 after, 0 neither
  };
  const Side sides[] = {{at - 2 * kDay - 1, 0}, {at - 2 * kDay, -1}, {at - 1, -1}, {at, 1},
                        {at + 2 * kDay - 1, 1}, {at + 2 * kDay, 0}};
  for (const Side& s : sides) {
    EventSides got;
    AddToSides({{s.t, 1.0}}, 0.5, 7, at, 2, {}, &got);
    EXPECT_EQ(got.before.s.n, s.side < 0 ? 1 : 0) << s.t - at;
    EXPECT_EQ(got.after.s.n, s.side > 0 ? 1 : 0) << s.t - at;
    if (s.side != 0) {
      const SideSums& in = s.side < 0 ? got.before : got.after;
      EXPECT_DOUBLE_EQ(in.s.sx, static_cast<double>(s.t - at) / kDay);
      EXPECT_DOUBLE_EQ(in.s.sy, 1.5);  // the offset added
    }
  }
}

// One metal-loss point "U/P" of probe 7 with an event on "U" at `kAt`; the readings rise 1 a
// day on each side, with one spoilt reading just before the event.
const HistoryTime kAt = kT + 50 * kDay;

FakeStore PointWithEvent() {
  FakeStore store;
  store.members = {{1, "U/P", std::nullopt, 7, {"T", "S", 0}, kAt - 3 * kDay, std::nullopt}};
  ProbeRow row;
  row.probe.id = 7;
  row.probe.key = {"T", "S", 0};
  row.probe.header.mloss_unit = "MILS";
  row.probe.count = 7;
  row.probe.first_time = kAt - 3 * kDay;
  row.probe.last_time = kAt + 2 * kDay;
  store.probe_rows = {row};
  for (int k = -3; k <= 2; ++k) store.stored_readings.push_back({kAt + k * kDay, 10.0 + k});
  store.stored_readings.insert(store.stored_readings.begin() + 3, {kAt - kDay / 2, 100.0});
  store.events = {{1, kAt, "U", EventKind::kInhibitor, ""}};
  return store;
}

TEST(StoreEvents, ReadingsLeftOutNeverCount) {
  struct Case {
    const char* what;
    std::vector<LeftOutStretch> left_out;
    bool clean;  // the spoilt reading is left out
  };
  const HistoryTime spoilt = kAt - kDay / 2;
  const Case cases[] = {
      {"nothing left out", {}, false},
      {"a stretch around it", {{7, spoilt - 60, spoilt + 60}}, true},
      {"a stretch ending at it", {{7, kAt - kDay + 1, spoilt}}, true},
      {"a stretch starting just after it", {{7, spoilt + 1, kAt - 1}}, false},
      {"another probe's stretch", {{8, spoilt - 60, spoilt + 60}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeStore store = PointWithEvent();
    WindowSumCache cache;
    Status error;
    const std::vector<EventFigure> rows = EventFiguresIn(store, cache, 30, "", c.left_out, &error);
    ASSERT_TRUE(error) << error.message;
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].point_path, "U/P");
    EXPECT_EQ(rows[0].rate_unit, "mpy");
    ASSERT_TRUE(rows[0].before && rows[0].after);
    EXPECT_NEAR(*rows[0].after, 365.0, 1e-9);
    if (c.clean) {
      EXPECT_NEAR(*rows[0].before, 365.0, 1e-9);
      EXPECT_NEAR(*rows[0].change, 0.0, 1e-9);
    } else {
      EXPECT_GT(*rows[0].before, 2000.0);
    }
  }
}

TEST(StoreEvents, EveryChangeRollsBackWhenAStepFails) {
  struct Case {
    const char* change;
    const char* fail;
  };
  const Case cases[] = {
      {"add", "ReadPointMembers"}, {"add", "AddEventRow"},      {"add", "AppendChange"},
      {"add", "Commit"},           {"edit", "ReadEventRows"},   {"edit", "WriteEventRow"},
      {"edit", "AppendChange"},    {"remove", "ReadEventRows"}, {"remove", "DeleteEventRow"},
      {"remove", "AppendChange"},  {"remove", "Commit"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.change) + " with " + c.fail + " failing");
    FakeStore store = PointWithEvent();
    store.fail = c.fail;
    const std::string change = c.change;
    Status st;
    int64_t id = 0;
    if (change == "add") {
      st = AddEventIn(store, {0, kAt, "u/p", EventKind::kOther, "x"}, &id);
    } else if (change == "edit") {
      st = EditEventIn(store, {1, kAt, "U/P", EventKind::kOther, "changed"});
    } else {
      st = RemoveEventIn(store, 1);
    }
    EXPECT_FALSE(st);
    EXPECT_EQ(st.message, std::string(c.fail) + " failed");
    EXPECT_TRUE(Called(store, "RollbackWrite"));
    EXPECT_EQ(Called(store, "Commit"), std::string(c.fail) == "Commit");
  }
  // Without a failure each commits, the trail written inside the transaction.
  FakeStore store = PointWithEvent();
  int64_t id = 0;
  ASSERT_TRUE(AddEventIn(store, {0, kAt, "u/p", EventKind::kOther, ""}, &id));
  EXPECT_EQ(id, 2);
  EXPECT_EQ(store.events.back().path, "U/P");
  ASSERT_EQ(store.changes.size(), 1u);
  EXPECT_FALSE(Called(store, "RollbackWrite"));
  // An edit that changes nothing leaves no line.
  ASSERT_TRUE(EditEventIn(store, store.events.back()));
  EXPECT_EQ(store.changes.size(), 1u);
  // A read-only history refuses before any transaction.
  FakeStore read_only = PointWithEvent();
  read_only.read_only = true;
  EXPECT_FALSE(RemoveEventIn(read_only, 1));
  EXPECT_FALSE(Called(read_only, "BeginWrite"));
}

}  // namespace
}  // namespace tarn
