// SPDX-License-Identifier: GPL-3.0-or-later
// The review of conflicts and the undoing of an import over a back end's primitives: grouping,
// what each primitive is asked, and a failure of any primitive rolling everything back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/fake_store_primitives.h"
#include "history/store_primitives.h"

namespace tarn {
namespace {

TEST(StoreConflicts, ReviewGroupsRowsBySecondAndMarksTheValueInUse) {
  FakeStore s;
  s.rows = {
      {1, 4, "b.nid", kT, 1.0, 2.0, 2.0, 3, "a.nid"},  // the offer was taken
      {2, 5, "c.nid", kT, 1.0, 3.0, {}, 0, {}},        // told by the first row only
      {3, 5, "c.nid", kT + 60, 4.0, 6.0, {}, 0, {}},   // its reading went since
  };
  Status error;
  const std::vector<ReadingConflicts> out = ReviewConflictsOf(s, 7, &error);
  ASSERT_TRUE(error) << error.message;
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].time, kT);
  EXPECT_EQ(out[0].value, 2.0);
  EXPECT_EQ(out[0].stored, 1.0);
  EXPECT_EQ(out[0].file_id, 3);
  EXPECT_EQ(out[0].file, "a.nid");
  ASSERT_EQ(out[0].offers.size(), 2u);
  EXPECT_TRUE(out[0].offers[0].in_use);
  EXPECT_FALSE(out[0].offers[1].in_use);
  EXPECT_EQ(out[0].offers[1].file, "c.nid");
  EXPECT_EQ(out[1].value, 4.0) << "no reading: the value first stored";
  EXPECT_FALSE(out[1].offers[0].in_use);

  s.fail = "ConflictRows";
  EXPECT_TRUE(ReviewConflictsOf(s, 7, &error).empty());
  EXPECT_EQ(error.message, "ConflictRows failed");
}

TEST(StoreConflicts, ChoosingCommitsOnlyWhenEveryStepSucceeded) {
  struct Case {
    const char* what;
    std::string fail;
    bool read_only, found, there;
    std::string message;  // empty: success
  };
  const Case cases[] = {
      {"all well", "", false, true, true, ""},
      {"read-only", "", true, true, true, "read-only"},
      {"no transaction", "BeginWrite", false, true, true, "BeginWrite failed"},
      {"lookup fails", "FindConflict", false, true, true, "FindConflict failed"},
      {"no such conflict", "", false, false, true, "No conflict with id 9."},
      {"write fails", "SetReadingValue", false, true, true, "SetReadingValue failed"},
      {"reading gone", "", false, true, false,
       "The reading of that conflict is no longer in the history."},
      {"figures fail", "RefreshDerived", false, true, true, "RefreshDerived failed"},
      {"commit fails", "Commit", false, true, true, "Commit failed"},
  };
  for (const Case& c : cases) {
    for (const bool take : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (take ? ", take" : ", put back"));
      FakeStore s;
      s.fail = c.fail;
      s.read_only = c.read_only;
      s.conflict_found = c.found;
      s.reading_there = c.there;
      const Status st = ChooseConflictIn(s, 9, take);
      EXPECT_EQ(st.message, c.message);
      EXPECT_EQ(st.ok, c.message.empty());
      const bool began = !c.read_only && c.fail != "BeginWrite";
      EXPECT_EQ(Called(s, "BeginWrite"), !c.read_only);
      EXPECT_EQ(Called(s, "RollbackWrite"), began && !st.ok);
      EXPECT_EQ(Called(s, "Commit"), began && (st.ok || c.fail == "Commit"));
      if (!s.values_set.empty()) EXPECT_EQ(s.values_set[0], take ? 2.5 : 1.5);
      if (st.ok) EXPECT_EQ(s.refreshed_hours, std::set<int64_t>{HistoryHour(kT)});
    }
  }
}

// File 5 goes: at kT its reading goes and file 6's offer takes its place; at kT + 3600 it
// offered a value that was taken, and the value first stored comes back.
FileReadingsTaken TwoSeconds() {
  FileReadingsTaken t;
  t.readings = 4;
  UnimportProbe& p = t.probes[7];
  p.hours = {HistoryHour(kT)};
  p.seconds[kT] = {true, 0.0, {{11, 6, 1.0, 2.0}}};
  p.seconds[kT + kSecondsPerHour] = {false, 3.0, {{12, 5, 1.0, 3.0}}};
  return t;
}

TEST(StoreConflicts, UnimportCarriesOutThePlanOfEverySecond) {
  FakeStore s;
  s.taken = TwoSeconds();
  s.count_after = 0;
  const UnimportResult r = UnimportFrom(s, 5, true);
  ASSERT_TRUE(r.status) << r.status.message;
  EXPECT_EQ(r.file, "a.nid");
  EXPECT_EQ(r.readings, 4);
  EXPECT_EQ(r.conflicts, 1);
  EXPECT_EQ(r.promoted, 1);
  EXPECT_EQ(s.dropped, (std::vector<int64_t>{11, 12}));
  EXPECT_EQ(s.values_set, std::vector<double>{1.0});
  EXPECT_EQ(s.refreshed_hours,
            (std::set<int64_t>{HistoryHour(kT), HistoryHour(kT + kSecondsPerHour)}));
  ASSERT_EQ(r.emptied.size(), 1u);
  EXPECT_EQ(r.emptied[0].tag, "T1");
  EXPECT_TRUE(Called(s, "ForgetFile"));
  EXPECT_TRUE(Called(s, "Commit"));
  EXPECT_FALSE(Called(s, "RollbackWrite"));

  FakeStore dry;
  dry.taken = TwoSeconds();
  const UnimportResult d = UnimportFrom(dry, 5, false);
  ASSERT_TRUE(d.status);
  EXPECT_EQ(d.promoted, 1);
  EXPECT_TRUE(d.emptied.empty()) << "readings are left";
  EXPECT_FALSE(Called(dry, "Commit"));
  EXPECT_TRUE(Called(dry, "RollbackWrite")) << "a count is taken by doing it and rolling back";
}

TEST(StoreConflicts, AFailingPrimitiveUndoesTheWholeUnimport) {
  for (const char* step :
       {"FileName", "TakeFileReadings", "RebaseConflict", "SetReadingValue", "PromoteOffer",
        "DropConflicts", "RefreshDerived", "RemoveEmptyProbe", "ForgetFile", "Commit"}) {
    SCOPED_TRACE(step);
    FakeStore s;
    s.taken = TwoSeconds();
    // A second later offer at kT conflicts with the promoted one: its stored side changes.
    s.taken.probes[7].seconds[kT].conflicts = {{11, 6, 1.0, 2.0}, {13, 8, 1.0, 3.0}};
    s.count_after = 0;
    s.fail = step;
    const UnimportResult r = UnimportFrom(s, 5, true);
    ASSERT_TRUE(Called(s, step)) << "the case reaches the step";
    EXPECT_FALSE(r.status);
    EXPECT_EQ(r.status.message, std::string(step) + " failed");
    EXPECT_TRUE(Called(s, "RollbackWrite"));
  }
  FakeStore none;
  none.file_found = false;
  EXPECT_EQ(UnimportFrom(none, 5, true).status.message, "No imported file with id 5.");
  EXPECT_FALSE(Called(none, "TakeFileReadings"));
  FakeStore ro;
  ro.read_only = true;
  EXPECT_EQ(UnimportFrom(ro, 5, true).status.message, "read-only");
  EXPECT_TRUE(ro.calls.empty());
}

}  // namespace
}  // namespace tarn
