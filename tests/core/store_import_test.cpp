// SPDX-License-Identifier: GPL-3.0-or-later
// Importing over a back end's primitives: what each offered reading becomes, the probe's
// summary and header, and a failure of any step rolling the whole import back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/fake_store_primitives.h"
#include "history/store_primitives.h"

namespace tarn {
namespace {

// Hands one batch of `readings` (seconds after kT) over.
ImportResult ImportOne(FakeStore& s, const std::vector<std::pair<int, double>>& readings,
                       const ImportControl* control = nullptr) {
  return ImportInto(
      s, ImportFileFacts{"/tmp/a.nid", 10, "ab", 0},
      [&](const HistoryStore::BatchSink& sink) {
        ImportBatch b;
        b.key = {"T1", "S1", 0};
        b.precision = 0.001;
        for (const auto& [dt, v] : readings) b.readings.push_back({kT + dt, v});
        return sink(b);
      },
      nullptr, control);
}

TEST(StoreImport, EachReadingIsNewADuplicateOrAConflictAndTheSummaryFollows) {
  FakeStore s;
  s.import_probe = {3, 2, kT, kT + 600, kT, 1.0, {}, kT + 600};
  s.import_probe.sums.Add(0, 0.5);
  s.import_probe.sums.Add(600.0 / kSecondsPerDay, 1.0);
  s.stored_readings = {{kT, 0.5}, {kT + 600, 1.0}};
  // 30 s from a stored reading with its value, 59 s off with another, then two new ones.
  const ImportResult r = ImportOne(s, {{30, 0.5}, {659, 1.7}, {1200, 2.0}, {1800, 2.5}});
  ASSERT_TRUE(r.status) << r.status.message;
  EXPECT_EQ(r.added, 2);
  EXPECT_EQ(r.duplicates, 1);
  EXPECT_EQ(r.conflicts, 1);
  ASSERT_EQ(s.conflicts_added.size(), 1u);
  EXPECT_EQ(s.conflicts_added[0].time, kT + 600);  // the stored reading's second
  EXPECT_EQ(s.conflicts_added[0].offered, 1.7);
  ASSERT_EQ(s.added.size(), 2u);
  EXPECT_EQ(s.added[0].time, kT + 1200);
  ASSERT_EQ(s.summaries.size(), 1u);
  const ImportProbe& p = s.summaries[0];
  EXPECT_EQ(p.count, 4);
  EXPECT_EQ(p.first, kT);
  EXPECT_EQ(p.last, kT + 1800);
  EXPECT_EQ(p.latest, 2.5);
  EXPECT_EQ(p.sums.n, 4);
  EXPECT_DOUBLE_EQ(p.sums.sy, 0.5 + 1.0 + 2.0 + 2.5);
  EXPECT_EQ(s.header_times, std::vector<HistoryTime>{kT + 1800});
  EXPECT_TRUE(Called(s, "Commit"));
  EXPECT_FALSE(Called(s, "AbortImport"));
}

TEST(StoreImport, AnOlderFileLeavesTheHeaderAndANewProbeTakesIt) {
  FakeStore older;
  older.import_probe = {3, 1, kT + 9000, kT + 9000, kT + 9000, 1.0, {}, kT + 9000};
  ASSERT_TRUE(ImportOne(older, {{0, 0.5}}).status);
  EXPECT_TRUE(older.header_times.empty());
  FakeStore fresh;  // no probe yet: made, and it takes the header
  ASSERT_TRUE(ImportOne(fresh, {}).status);
  EXPECT_EQ(fresh.header_times.size(), 1u);
  EXPECT_TRUE(fresh.summaries.empty());  // nothing went in
}

TEST(StoreImport, AnyStepFailingRollsTheWholeImportBack) {
  for (const char* step : {"BeginWrite", "StartImport", "FindOrAddProbe", "WriteHeader",
                           "ReadingsBetween", "AddConflicts", "AddReadings", "WriteSummary",
                           "EndImportReadings", "ConflictProbes", "FinishFile", "Commit"}) {
    FakeStore s;
    s.import_probe = {3, 1, kT + 30, kT + 30, kT + 30, 1.0, {}, kT};
    s.stored_readings = {{kT + 30, 1.0}};
    s.fail = step;
    const ImportResult r = ImportOne(s, {{0, 2.0}, {600, 2.0}});
    EXPECT_FALSE(r.status) << step;
    EXPECT_EQ(s.aborted, std::string(step) + " failed");
    EXPECT_EQ(r.added, 0) << step;
  }
  FakeStore ro;
  ro.read_only = true;
  EXPECT_EQ(ImportOne(ro, {{0, 1.0}}).status.message, "read-only");
  EXPECT_FALSE(Called(ro, "BeginWrite"));

  std::atomic<bool> cancel{true};
  ImportControl control;
  control.cancel = &cancel;
  FakeStore cancelled;
  EXPECT_EQ(ImportOne(cancelled, {{0, 1.0}}, &control).status.message, kImportCancelled);
  EXPECT_FALSE(Called(cancelled, "Commit"));
  EXPECT_TRUE(Called(cancelled, "AbortImport"));
}

}  // namespace
}  // namespace tarn
