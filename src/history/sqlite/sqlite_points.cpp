// SPDX-License-Identifier: GPL-3.0-or-later
// The SQLite history's monitoring points: rows of points and of the probes placed at them.
#include "history/sqlite/sqlite_store.h"

namespace tarn::sqlite_store {

Status SqliteHistory::MemberRows(const char* text, std::vector<PointMemberRow>* rows) {
  Statement* kept = Kept(text);
  if (!kept) return Error(path_);
  Statement& q = *kept;
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    PointMemberRow m;
    m.point_id = q.Int(0);
    m.path = q.Text(1);
    if (!q.IsNull(2)) m.own_limits = HistoryLimits{q.Real(2), q.Real(3), q.Real(4), q.Real(5)};
    if (!q.IsNull(6)) {
      m.probe_id = q.Int(6);
      m.key = {q.Text(7), q.Text(8), static_cast<int32_t>(q.Int(9))};
      m.first_time = q.Int(10);
      if (!q.IsNull(11)) m.from = q.Int(11);
    }
    rows->push_back(std::move(m));
  }
  return rc == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::ReadPointMembers(std::vector<PointMemberRow>* rows) {
  return MemberRows(sql::kReadPointMembers, rows);
}

Status SqliteHistory::UnplacedProbes(std::vector<PointMemberRow>* probes) {
  return MemberRows(sql::kUnplacedProbes, probes);
}

Status SqliteHistory::AddPoint(const std::string& path, const std::string& key, int64_t* point_id) {
  Statement* kept = Kept(sql::kAddPoint);
  if (!kept) return Error(path_);
  Statement& q = *kept;
  q.Bind(1, path).Bind(2, key);
  if (q.Step() != SQLITE_DONE) return Error(path_);
  *point_id = sqlite3_last_insert_rowid(db_);
  return {};
}

Status SqliteHistory::PlaceProbe(int64_t probe_id, int64_t point_id,
                                 std::optional<HistoryTime> from) {
  Statement* kept = Kept(sql::kPlaceProbe);
  if (!kept) return Error(path_);
  Statement& q = *kept;
  q.Bind(1, probe_id).Bind(2, point_id);
  if (from) q.Bind(3, *from);
  return q.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::WritePointPath(int64_t point_id, const std::string& path,
                                     const std::string& key) {
  Statement q;
  if (!q.Prepare(db_, sql::kWritePointPath)) return Error(path_);
  q.Bind(1, point_id).Bind(2, path).Bind(3, key);
  return q.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::DropPoint(int64_t point_id) {
  Statement q;
  if (!q.Prepare(db_, sql::kDropPoint)) return Error(path_);
  q.Bind(1, point_id);
  return q.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::WritePointLimits(int64_t point_id,
                                       const std::optional<HistoryLimits>& limits) {
  Statement q;
  if (!q.Prepare(db_, sql::kWritePointLimits)) return Error(path_);
  q.Bind(1, point_id);
  if (limits) {
    q.Bind(2, limits->rate_warn)
        .Bind(3, limits->rate_alarm)
        .Bind(4, limits->consumed_warn)
        .Bind(5, limits->consumed_alarm);
  }
  return q.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

}  // namespace tarn::sqlite_store
