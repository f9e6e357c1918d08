// SPDX-License-Identifier: GPL-3.0-or-later
// The SQLite history's readings set aside and the falls imports flagged.
#include "history/sqlite/sqlite_store.h"

namespace tarn::sqlite_store {

Status SqliteHistory::ReadSetAside(int64_t probe_id, std::vector<SetAsideStretch>* out) {
  Statement* kept = Kept(sql::kReadSetAside);
  if (!kept) return Error(path_);
  Statement& q = *kept;
  q.Bind(1, probe_id);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    out->push_back({q.Int(0), q.Int(1), q.Int(2), q.Int(3), q.Text(4), q.Int(5), q.Text(6)});
  }
  return rc == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::AddSetAside(const SetAsideStretch& s) {
  Statement q;
  if (!q.Prepare(db_, sql::kAddSetAside)) return Error(path_);
  q.Bind(1, s.probe_id).Bind(2, s.from).Bind(3, s.to).Bind(4, s.reason).Bind(5, s.set_at);
  q.Bind(6, s.user);
  return q.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::DropSetAside(int64_t stretch_id) {
  Statement q;
  if (!q.Prepare(db_, sql::kDropSetAside)) return Error(path_);
  q.Bind(1, stretch_id);
  return q.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::SumReadings(int64_t probe_id, HistoryTime from, HistoryTime to,
                                  HistoryTime origin, RegressionSums* sums) {
  Statement q;
  if (!q.Prepare(db_, sql::kSumReadings)) return Error(path_);
  q.Bind(1, ReadingKey(probe_id, from))
      .Bind(2, ReadingKey(probe_id, to))
      .Bind(3, ReadingKey(probe_id, origin));
  if (q.Step() != SQLITE_ROW) return Error(path_);
  *sums = {q.Int(0), q.Real(1), q.Real(2), q.Real(3), q.Real(4)};
  return {};
}

Status SqliteHistory::AddFlags(const std::vector<StepDownFlag>& flags) {
  Statement q;
  if (!q.Prepare(db_, sql::kAddFlag)) return Error(path_);
  for (const StepDownFlag& f : flags) {
    q.Start().Bind(1, f.probe_id).Bind(2, f.time).Bind(3, f.drop);
    if (q.Step() != SQLITE_DONE) return Error(path_);
  }
  return {};
}

Status SqliteHistory::ReadFlags(std::vector<StepDownFlag>* out) {
  Statement q;
  if (!q.Prepare(db_, sql::kReadFlags)) return Error(path_);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) out->push_back({q.Int(0), q.Int(1), q.Real(2)});
  return rc == SQLITE_DONE ? Status{} : Error(path_);
}

}  // namespace tarn::sqlite_store
