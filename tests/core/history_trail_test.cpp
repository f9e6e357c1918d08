// SPDX-License-Identifier: GPL-3.0-or-later
// The trail of changes on both back ends: each kind of change recorded once, with who, what
// and the values before and after; a refused or rehearsed change leaves no line; and nothing
// may alter a line afterwards.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "core/history_fixture.h"
#include "core/instrument_text.h"
#include "history/history_store.h"
#include "history/import_source.h"

namespace tarn::testing {
namespace {

TEST_P(HistoryTest, EveryChangeIsInTheTrailOnceWithItsValuesBeforeAndAfter) {
  const int64_t t0 = At(2024, 6, 1, 0, 0, 30);
  ASSERT_TRUE(ImportText("NEMBRA LOGGER\n" +
                             NembraTag("X", "S", false, t0, 20, 60, [](int i) { return 1.0 + i; }),
                         "a.nid")
                  .status.ok);
  const ImportResult b = ImportText(
      "NEMBRA LOGGER\n" + NembraTag("X", "S", false, t0, 5, 60, [](int i) { return 9.0 + i; }) +
          NembraTag("Y", "S", false, t0, 5, 60, [](int i) { return 2.0 + i; }),
      "b.nid");
  ASSERT_TRUE(b.status.ok) << b.status.message;
  ASSERT_EQ(b.conflicts, 5);
  EXPECT_TRUE(store_->ListChanges().empty()) << "an import is in the list of files already";

  int64_t x = 0, b_id = 0;
  for (const ProbeSummary& p : store_->ListProbes(0)) x = p.key.tag == "X" ? p.id : x;
  for (const HistorySourceFile& f : store_->SourceFiles()) b_id = f.id;
  const std::string x_name = "probe " + std::to_string(x) + " (X S)";
  const HistoryTime before = HistoryNow();
  ASSERT_TRUE(store_->SetLimits(x, {7, 8, 0.3, 0.4}));
  ASSERT_TRUE(store_->ClearLimits(x));
  ASSERT_TRUE(store_->SetLimits(0, {4, 9, 0.5, 0.8}));
  const std::vector<ReadingConflicts> review = store_->ReviewConflicts(x);
  ASSERT_FALSE(review.empty());
  ASSERT_TRUE(store_->ChooseConflict(review[0].offers[0].conflict_id, true));
  ASSERT_TRUE(store_->Unimport(b_id, false).status);  // a rehearsal: no line
  ASSERT_TRUE(store_->Unimport(b_id, true).status);
  EXPECT_FALSE(store_->RemoveProbe(x + 1000));  // refused: no line
  std::string placed;
  ASSERT_TRUE(store_->AssignProbe(x, "North/V-101", std::nullopt, &placed));
  ASSERT_TRUE(store_->AssignProbe(x, "north/v-101", std::nullopt, &placed));  // no change: no line
  ASSERT_TRUE(store_->AssignProbe(x, "North/V-101", t0, &placed));
  ASSERT_TRUE(store_->RenamePoint("North", "South"));
  const int64_t point = store_->ListPoints(0).front().id;
  ASSERT_TRUE(store_->SetPointLimits(point, HistoryLimits{7, 8, 0.3, 0.4}));
  ASSERT_TRUE(store_->RemoveProbe(x));

  store_ = Reopen();
  const std::vector<HistoryChange> trail = store_->ListChanges();
  ASSERT_TRUE(store_->LastError());
  struct Line {
    std::string what, before, after;
  };
  const std::string defaults =
      "rate warning 5.00, alarm 10.00 mpy; consumed warning 50.0 %, "
      "alarm 80.0 %";
  const std::string own =
      "rate warning 7.00, alarm 8.00 mpy; consumed warning 30.0 %, "
      "alarm 40.0 %";
  const Line expected[] = {
      {"limits of " + x_name, "the defaults (" + defaults + ")", own},
      {"limits of " + x_name, own, "the defaults (" + defaults + ")"},
      {"default limits", defaults,
       "rate warning 4.00, alarm 9.00 mpy; consumed warning 50.0 %, alarm 80.0 %"},
      {"reading of " + x_name + " at 01/06/2024 00:00:30", "1.0000",
       "9.0000 (offered value taken, conflict " + std::to_string(review[0].offers[0].conflict_id) +
           ")"},
      {"import of " + dir_.file("b.nid") + " (file " + std::to_string(b_id) + ")", "imported",
       "undone: 5 readings removed, 5 conflicts dropped, 0 offered values took removed readings' "
       "places, 1 probes left empty removed"},
      {"point of " + x_name, "Unassigned/X", "North/V-101"},
      {"point of " + x_name, "North/V-101", "North/V-101 from 01/06/2024 00:00:30"},
      {"point North", "North", "South"},
      {"limits of point South/V-101",
       "the defaults (rate warning 4.00, alarm 9.00 mpy; consumed warning 50.0 %, alarm 80.0 %)",
       own},
      {x_name, "20 readings", "removed"},
  };
  ASSERT_EQ(trail.size(), std::size(expected));
  for (std::size_t i = 0; i < trail.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(trail[i].what, expected[i].what);
    EXPECT_EQ(trail[i].before, expected[i].before);
    EXPECT_EQ(trail[i].after, expected[i].after);
    EXPECT_FALSE(trail[i].user.empty());
    EXPECT_GE(trail[i].time, before);
    EXPECT_LE(trail[i].time, HistoryNow());
    if (i > 0) EXPECT_GT(trail[i].id, trail[i - 1].id);
  }
}

TEST_P(HistoryTest, NothingAltersALineOfTheTrail) {
  ASSERT_TRUE(store_->SetLimits(0, {4, 9, 0.5, 0.8}));
  ASSERT_EQ(store_->ListChanges().size(), 1u);
  const bool file = GetParam().name == "SQLite";
  const std::string table = file ? "change_trail" : "tarn.change_trail";
  std::vector<std::string> changes = {"UPDATE " + table + " SET after = 'x'",
                                      "DELETE FROM " + table};
  if (!file) changes.push_back("TRUNCATE " + table);
  // Not even the history's owner, working on the database itself.
  for (const std::string& sql : changes) {
    std::string why;
    if (file) {
      sqlite3* db = nullptr;
      ASSERT_EQ(sqlite3_open(location_.c_str(), &db), SQLITE_OK);
      char* message = nullptr;
      if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) why = message;
      sqlite3_free(message);
      sqlite3_close(db);
    } else {
      why = PgAdmin(sql, location_);
    }
    EXPECT_NE(why.find("the trail of changes cannot be changed"), std::string::npos)
        << sql << ": " << why;
  }
  EXPECT_EQ(store_->ListChanges().size(), 1u);
}

TARN_HISTORY_BACKENDS(HistoryTest);

}  // namespace
}  // namespace tarn::testing
