// SPDX-License-Identifier: GPL-3.0-or-later
// The history's change mark, on every back end: read through a second connection, as a desktop
// watching a history that another program writes.
#include <gtest/gtest.h>

#include "core/history_fixture.h"
#include "core/instrument_text.h"
#include "history/history_store.h"

namespace tarn {
namespace {

using testing::At;
using testing::HistoryTest;
using testing::NembraTag;

constexpr int64_t kHour = 3600;

TEST_P(HistoryTest, ChangeMarkMovesWithEveryChangeTheProbeListShowsAndOnlyThen) {
  std::unique_ptr<HistoryStore> watcher = Reopen();
  ASSERT_NE(watcher, nullptr);
  const int64_t t0 = At(2025, 3, 1);
  auto file = [&](const std::string& tag, int64_t start, int count, double first) {
    return NembraTag(tag, "S1", false, start, count, kHour, [=](int i) { return first + i; });
  };
  int64_t probe = 0;
  int files = 0;
  auto import = [&](const std::string& text) {
    const ImportResult r = ImportText(text, "f" + std::to_string(files++) + ".nid");
    return r.status.ok ? Status{} : r.status;
  };
  const struct {
    const char* what;
    std::function<Status()> change;
  } steps[] = {
      {"first readings", [&] { return import(file("X", t0, 4, 1)); }},
      {"a reading appended", [&] { return import(file("X", t0 + 4 * kHour, 1, 5)); }},
      {"a conflict kept apart", [&] { return import(file("X", t0, 1, 9)); }},
      {"a second probe", [&] { return import(file("Y", t0, 2, 1)); }},
      {"own limits",
       [&] {
         probe = store_->ListProbes(0).front().id;
         return store_->SetLimits(probe, {1, 2, 0.3, 0.4});
       }},
      {"one level changed",
       [&] {
         return store_->SetLimits(probe, {1, 2, 0.3, 0.5});
       }},
      {"two levels swapped",
       [&] {
         return store_->SetLimits(probe, {1, 2, 0.5, 0.5});
       }},
      {"the defaults",
       [&] {
         return store_->SetLimits(0, {4, 8, 0.5, 0.8});
       }},
      {"own limits dropped", [&] { return store_->ClearLimits(probe); }},
      {"a probe moved to another point",
       [&] {
         std::string placed;
         return store_->AssignProbe(probe, "Site/Unit/X", std::nullopt, &placed);
       }},
      {"the probe counting from a date",
       [&] {
         std::string placed;
         return store_->AssignProbe(probe, "Site/Unit/X", t0 + 3600, &placed);
       }},
      {"a point renamed", [&] { return store_->RenamePoint("Site/Unit/X", "Site/Unit/Y"); }},
      {"its own limits",
       [&] {
         return store_->SetPointLimits(store_->ListPoints(0).back().id,
                                       HistoryLimits{1, 2, 0.3, 0.4});
       }},
      {"its name's case changed",
       [&] { return store_->RenamePoint("Site/Unit/Y", "site/unit/y"); }},
      {"a probe removed", [&] { return store_->RemoveProbe(probe); }},
  };
  std::string mark = watcher->ChangeMark();
  ASSERT_FALSE(mark.empty()) << watcher->LastError().message;
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    const Status st = step.change();
    ASSERT_TRUE(st.ok) << st.message;
    const std::string next = watcher->ChangeMark();
    ASSERT_TRUE(watcher->LastError().ok) << watcher->LastError().message;
    EXPECT_NE(next, mark);
    // Reading it again without a change gives the same mark: no refresh for nothing.
    EXPECT_EQ(watcher->ChangeMark(), next);
    EXPECT_EQ(store_->ChangeMark(), next);  // the writer's own connection agrees
    mark = next;
  }
  // Reading the history changes nothing.
  watcher->ListProbes(30);
  store_->ReadRange(store_->ListProbes(0).front().id, INT64_MIN, INT64_MAX);
  EXPECT_EQ(watcher->ChangeMark(), mark);
}

TARN_HISTORY_BACKENDS(HistoryTest);

}  // namespace
}  // namespace tarn
