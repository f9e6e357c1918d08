// SPDX-License-Identifier: GPL-3.0-or-later
// Monitoring points over a back end's primitives: where a new probe goes, and any step of an
// import, an assignment or a rename failing leaving everything as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/fake_store_primitives.h"
#include "history/store_primitives.h"

namespace tarn {
namespace {

PointMemberRow Member(int64_t point, const std::string& path, int64_t probe, const std::string& tag,
                      HistoryTime first) {
  PointMemberRow m;
  m.point_id = point;
  m.path = path;
  m.probe_id = probe;
  m.key = {tag, "S" + std::to_string(probe), 0};
  m.first_time = first;
  return m;
}

TEST(StorePoints, ANewProbeGoesWhereItsTagsLatestProbeIsElseUnderUnassigned) {
  struct Case {
    const char* what;
    std::vector<PointMemberRow> members;
    int64_t point;     // where probe 9 goes
    const char* made;  // the point made for it, if any
  };
  const Case cases[] = {
      {"its tag's point",
       {Member(5, "North/V-101", 1, "OLD", kT), Member(5, "North/V-101", 2, "V-101", kT + 9)},
       5,
       nullptr},
      {"a point whose latest probe has another tag",
       {Member(5, "North/V-101", 1, "V-101", kT), Member(5, "North/V-101", 2, "OLD", kT + 9)},
       101,
       "Unassigned/V-101"},
      {"the path taken by another tag",
       {Member(6, "unassigned/v-101", 1, "v-101", kT)},
       101,
       "Unassigned/V-101 (2)"},
      {"an empty point of the path", {Member(7, "Unassigned/V-101", 0, "", 0)}, 7, nullptr},
      {"nothing yet", {}, 101, "Unassigned/V-101"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeStore s;
    s.members = c.members;
    PointPlaces places;
    ASSERT_TRUE(PlaceByTag(s, &places, 9, {"V-101", "N", 0}, INT64_MAX));
    ASSERT_EQ(s.placed.size(), 1u);
    EXPECT_EQ(s.placed[0], std::make_pair(int64_t{9}, c.point));
    EXPECT_EQ(s.points_added,
              c.made ? std::vector<std::string>{c.made} : std::vector<std::string>{});
    // A second new probe of the tag joins the first: the points are read once per import.
    ASSERT_TRUE(PlaceByTag(s, &places, 10, {"V-101", "M", 0}, INT64_MAX));
    EXPECT_EQ(s.placed[1].second, c.point);
    EXPECT_EQ(std::count(s.calls.begin(), s.calls.end(), "ReadPointMembers"), 1);
  }
}

TEST(StorePoints, AnyStepFailingChangesNothing) {
  for (const char* step : {"ReadPointMembers", "AddPoint", "PlaceProbe"}) {
    FakeStore s;  // a new probe: placed before its readings go in
    s.fail = step;
    const ImportResult r = ImportInto(
        s, ImportFileFacts{"/tmp/a.nid", 10, "ab", 0},
        [](const HistoryStore::BatchSink& sink) {
          ImportBatch b;
          b.key = {"T1", "S1", 0};
          b.readings = {{kT, 1.0}};
          return sink(b);
        },
        nullptr, nullptr);
    EXPECT_EQ(s.aborted, std::string(step) + " failed");
    EXPECT_FALSE(r.status) << step;
  }
  for (const char* step : {"BeginWrite", "ReadProbeRows", "ReadPointMembers", "AddPoint",
                           "PlaceProbe", "DropPoint", "AppendChange", "Commit"}) {
    FakeStore s;
    s.probe_rows.resize(1);
    s.probe_rows[0].probe.id = 3;
    s.members = {Member(5, "Old", 3, "T", kT)};  // probe 3 leaves point 5 empty
    s.fail = step;
    std::string placed;
    EXPECT_EQ(AssignProbeIn(s, 3, "New/Point", std::nullopt, &placed).message,
              std::string(step) + " failed");
    EXPECT_EQ(Called(s, "RollbackWrite"), std::string(step) != "BeginWrite") << step;
    EXPECT_FALSE(Called(s, "Commit") && std::string(step) != "Commit") << step;
  }
  for (const char* step : {"BeginWrite", "ReadPointMembers", "DropPoint", "WritePointPath",
                           "AppendChange", "Commit"}) {
    FakeStore s;
    s.members = {Member(5, "A/B", 3, "T", kT), Member(6, "C/B", 0, "", 0)};
    s.fail = step;
    EXPECT_EQ(RenamePointIn(s, "a", "C").message, std::string(step) + " failed");
    EXPECT_EQ(Called(s, "RollbackWrite"), std::string(step) != "BeginWrite") << step;
  }
  for (const char* step :
       {"BeginWrite", "ReadPointMembers", "WritePointLimits", "AppendChange", "Commit"}) {
    FakeStore s;
    s.members = {Member(5, "A/B", 3, "T", kT)};
    s.fail = step;
    EXPECT_EQ(SetPointLimitsIn(s, 5, HistoryLimits{}).message, std::string(step) + " failed");
    EXPECT_EQ(Called(s, "RollbackWrite"), std::string(step) != "BeginWrite") << step;
  }
  // Refused before anything is read or written.
  FakeStore ro;
  ro.read_only = true;
  std::string placed;
  EXPECT_EQ(AssignProbeIn(ro, 3, "A", std::nullopt, &placed).message, "read-only");
  EXPECT_EQ(RenamePointIn(ro, "A", "B").message, "read-only");
  EXPECT_TRUE(ro.calls.empty());
  FakeStore bad;
  EXPECT_FALSE(AssignProbeIn(bad, 3, "A//B", std::nullopt, &placed));
  EXPECT_FALSE(RenamePointIn(bad, "A", ""));
  EXPECT_TRUE(bad.calls.empty());
}

}  // namespace
}  // namespace tarn
