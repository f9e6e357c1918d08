// SPDX-License-Identifier: GPL-3.0-or-later
// What undoing a file does to one second that files offered values for, case by case.
#include <gtest/gtest.h>

#include "history/history_review.h"

namespace tarn {
namespace {

TEST(UnimportPlan, EachSecondEndsAsIfTheFileHadNeverCome) {
  constexpr int64_t kF = 5;  // the file undone
  struct Case {
    const char* what;
    std::vector<SecondConflict> conflicts;  // id, file, stored, offered
    bool removed;
    double value;
    std::vector<int64_t> drop;
    std::vector<std::pair<int64_t, double>> rebase;
    bool write, promote;
    double new_value;
    int64_t from_file;
  };
  const Case cases[] = {
      {"its reading goes, nobody else offered", {}, true, 0, {}, {}, false, false, 0, 0},
      {"its reading goes: the first later offer is stored, a second one conflicts with that",
       {{1, 7, 1.0, 2.0}, {2, 8, 1.0, 3.0}},
       true,
       0,
       {1},
       {{2, 2.0}},
       false,
       true,
       2.0,
       7},
      {"its reading goes: a later offer equal to the promoted value is a duplicate",
       {{1, 7, 1.0, 2.0}, {2, 8, 1.0, 2.0}},
       true,
       0,
       {1, 2},
       {},
       false,
       true,
       2.0,
       7},
      {"its own offer against its own reading goes with it",
       {{1, kF, 1.0, 2.0}},
       true,
       0,
       {1},
       {},
       false,
       false,
       0,
       0},
      {"its offer was not taken: only the conflict goes",
       {{1, kF, 1.0, 2.0}},
       false,
       1.0,
       {1},
       {},
       false,
       false,
       0,
       0},
      {"its offer was taken: the value first stored comes back",
       {{1, kF, 1.0, 2.0}},
       false,
       2.0,
       {1},
       {},
       true,
       false,
       1.0,
       0},
      {"its offer was taken but another file offered the same: that value stays",
       {{1, kF, 1.0, 2.0}, {2, 8, 1.0, 2.0}},
       false,
       2.0,
       {1},
       {},
       false,
       false,
       0,
       0},
      {"a later conflict measured against its taken value is measured against the stored one",
       {{1, kF, 1.0, 2.0}, {2, 8, 2.0, 3.0}, {3, 9, 2.0, 1.0}},
       false,
       2.0,
       {1, 3},
       {{2, 1.0}},
       true,
       false,
       1.0,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const SecondPlan p = PlanUnimportSecond(kF, c.conflicts, c.removed, c.value);
    EXPECT_EQ(p.drop, c.drop);
    EXPECT_EQ(p.rebase, c.rebase);
    EXPECT_EQ(p.write_value, c.write);
    EXPECT_EQ(p.promote, c.promote);
    if (c.write || c.promote) {
      EXPECT_EQ(p.value, c.new_value);
    }
    if (c.promote) {
      EXPECT_EQ(p.file_id, c.from_file);
    }
  }
}

}  // namespace
}  // namespace tarn
