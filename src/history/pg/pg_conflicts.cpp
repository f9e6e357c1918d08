// SPDX-License-Identifier: GPL-3.0-or-later
// The shared history's primitives for the review of conflicts and the undoing of an import
// (store_conflicts.cpp): a reading's value set, a file's readings removed, and every figure
// derived from the readings brought up to date, each under the import lock.
#include <algorithm>
#include <map>
#include <set>

#include "history/pg/pg_day_statements.h"
#include "history/pg/pg_statements.h"
#include "history/pg/pg_store.h"
#include "history/pg/pg_values.h"

namespace tarn {

namespace sql = pg_sql;

namespace {

constexpr const char* kReview = R"sql(
SELECT c.id, c.file_id, f.name, c.t, c.stored, c.offered, r.v, r.file_id, rf.name
FROM tarn.conflict c JOIN tarn.source_file f ON f.id = c.file_id
LEFT JOIN tarn.reading r ON r.probe_id = c.probe_id AND r.t = c.t - $2
LEFT JOIN tarn.source_file rf ON rf.id = r.file_id
WHERE c.probe_id = $1 ORDER BY c.t, c.id)sql";
constexpr const char* kOneConflict =
    "SELECT c.probe_id, c.t, c.offered, (SELECT stored FROM tarn.conflict o WHERE"
    " o.probe_id = c.probe_id AND o.t = c.t ORDER BY o.id LIMIT 1) FROM tarn.conflict c"
    " WHERE c.id = $1";
constexpr const char* kSetReading =
    "UPDATE tarn.reading SET v = $3 WHERE probe_id = $1 AND t = $2::bigint - $4::bigint";
// The probe's summary again from its readings, x in days from its origin.
constexpr const char* kRefreshSummary = R"sql(
WITH s AS (
  SELECT count(*) AS n, min(r.t) AS tmin, max(r.t) AS tmax, coalesce(sum(x), 0) AS sx,
         coalesce(sum(r.v), 0) AS sy, coalesce(sum(x * r.v), 0) AS sxy,
         coalesce(sum(x * x), 0) AS sxx
  FROM tarn.reading r JOIN tarn.probe p ON p.id = r.probe_id,
       LATERAL (SELECT (r.t + $2 - p.origin)::float8 / 86400 AS x) a
  WHERE r.probe_id = $1)
UPDATE tarn.probe p SET count = s.n, first_time = coalesce(s.tmin + $2, 0),
  last_time = coalesce(s.tmax + $2, 0),
  latest_value = coalesce((SELECT v FROM tarn.reading WHERE probe_id = $1 AND t = s.tmax), 0),
  sx = s.sx, sy = s.sy, sxy = s.sxy, sxx = s.sxx
FROM s WHERE p.id = $1 RETURNING p.count)sql";
constexpr const char* kDropWindows = "DELETE FROM tarn.probe_window WHERE probe_id = $1";
constexpr const char* kFileName = "SELECT name FROM tarn.source_file WHERE id = $1";
// The file's readings go; what comes back is only the hours they were in, by probe, so that a
// file of any size costs the client little.
constexpr const char* kRemoveFileReadings = R"sql(
WITH gone AS (DELETE FROM tarn.reading WHERE file_id = $1 RETURNING probe_id, t)
SELECT probe_id, floor(t::float8 / 3600)::bigint, count(*) FROM gone GROUP BY 1, 2)sql";
constexpr const char* kFileConflicts =
    "SELECT DISTINCT probe_id FROM tarn.conflict WHERE file_id = $1";
// A probe's conflicts with the value now stored at their second (none: the reading went).
constexpr const char* kProbeConflictRows =
    "SELECT c.id, c.file_id, c.t, c.stored, c.offered, r.v FROM tarn.conflict c"
    " LEFT JOIN tarn.reading r ON r.probe_id = c.probe_id AND r.t = c.t - $2"
    " WHERE c.probe_id = $1 ORDER BY c.t, c.id";
constexpr const char* kDropConflicts = "DELETE FROM tarn.conflict WHERE id = ANY($1::bigint[])";
constexpr const char* kRebaseConflict = "UPDATE tarn.conflict SET stored = $2 WHERE id = $1";
constexpr const char* kInsertReading =
    "INSERT INTO tarn.reading(t, v, probe_id, file_id) VALUES($1::bigint - $5::bigint, $2, $3, $4)";
constexpr const char* kCountAdded = "UPDATE tarn.source_file SET added = added + 1 WHERE id = $1";
constexpr const char* kProbeKey = "SELECT tag, serial, data_type FROM tarn.probe WHERE id = $1";
constexpr const char* kDeleteFile = "DELETE FROM tarn.source_file WHERE id = $1";
constexpr const char* kConflictProbes =
    "SELECT tag, serial, data_type FROM tarn.probe WHERE id IN"
    " (SELECT probe_id FROM tarn.conflict WHERE file_id = $1) ORDER BY id";

}  // namespace

Status PgHistory::ConflictProbes(int64_t file_id, ImportResult* result) {
  PgResult q = db_.Exec(kConflictProbes, {file_id});
  if (!q.ok()) return Failure(q);
  for (int i = 0; i < q.rows(); ++i) {
    result->conflict_probes.push_back(
        {FromServer(q.Text(i, 0)), FromServer(q.Text(i, 1)), static_cast<int32_t>(q.Int(i, 2))});
  }
  return {};
}

Status PgHistory::RefreshDerived(int64_t probe_id, const std::set<int64_t>& hours, int64_t* count) {
  ForgetWindowSums(probe_id);
  PgResult s = db_.Exec(kRefreshSummary, {probe_id, kReadingEpoch});
  if (!s.ok() || s.rows() != 1) return Failure(s);
  *count = s.Int(0, 0);
  Status st = SumAgain(sql::kHourSums, probe_id, hours);
  if (st) st = SumAgain(sql::kWeekSums, probe_id, hours);
  if (st) st = DaysAgain(probe_id, hours);
  if (!st) return st;
  if (*count == 0) return Run(kDropWindows, {probe_id});
  return Run(sql::kRefreshWindows,
             {"{" + std::to_string(probe_id) + "}", sql::kStoredWindows, kReadingEpoch});
}

Status PgHistory::SumAgain(const sql::KeptSums& kind, int64_t probe_id,
                           const std::set<int64_t>& hours) {
  const int64_t per = kind.seconds / kSecondsPerHour;
  std::set<int64_t> periods;
  for (const int64_t h : hours) periods.insert(h / per - (h % per < 0 ? 1 : 0));
  if (periods.empty()) return {};
  const std::string list = NumberArray(std::vector<int64_t>(periods.begin(), periods.end()));
  const std::string probes = NumberArray(std::vector<int64_t>(periods.size(), probe_id));
  if (Status st = Run(kind.drop_rows, {probes, list}); !st) return st;
  // An undone import may have touched every hour of years of readings: one pass over their
  // span, not a look-up per period.
  return Run(kind.sum_probe_rows,
             {probe_id, list, sql::kHourRowMin, *periods.begin() * kind.seconds,
              (*periods.rbegin() + 1) * kind.seconds});
}

Status PgHistory::MayWrite() const {
  return read_only_ ? ReadOnlyRefusal() : Status{};
}

Status PgHistory::BeginWrite() {
  if (Status st = Ready(); !st) return st;
  Status st = Run("BEGIN");
  if (st) st = Run(sql::kLockHistory);
  if (!st) Rollback();
  return st;
}

Status PgHistory::Commit() {
  return Run("COMMIT");
}

void PgHistory::RollbackWrite() {
  Rollback();
  ForgetWindowSums(0);
}

Status PgHistory::ConflictRows(int64_t probe_id, std::vector<ConflictRow>* rows) {
  if (Status st = Ready(); !st) return st;
  PgResult q = db_.Exec(kReview, {probe_id, kReadingEpoch});
  if (!q.ok()) return Failure(q);
  rows->reserve(static_cast<std::size_t>(q.rows()));
  for (int i = 0; i < q.rows(); ++i) {
    ConflictRow row{
        q.Int(i, 0), q.Int(i, 1), q.Text(i, 2), q.Int(i, 3), q.Real(i, 4), q.Real(i, 5), {}, 0, {}};
    if (!q.IsNull(i, 6)) row.reading = q.Real(i, 6);
    if (!q.IsNull(i, 7)) {
      row.reading_file_id = q.Int(i, 7);
      row.reading_file = q.Text(i, 8);
    }
    rows->push_back(std::move(row));
  }
  return {};
}

Status PgHistory::FindConflict(int64_t conflict_id, bool* found, ConflictAt* at) {
  PgResult c = db_.Exec(kOneConflict, {conflict_id});
  if (!c.ok()) return Failure(c);
  *found = c.rows() > 0;
  if (*found) *at = {c.Int(0, 0), c.Int(0, 1), c.Real(0, 2), c.Real(0, 3)};
  return {};
}

Status PgHistory::SetReadingValue(int64_t probe_id, HistoryTime t, double value, bool* changed) {
  PgResult set = db_.Exec(kSetReading, {probe_id, t, value, kReadingEpoch});
  if (!set.ok()) return Failure(set);
  *changed = set.Affected() > 0;
  return {};
}

Status PgHistory::FileName(int64_t file_id, bool* found, std::string* name) {
  PgResult q = db_.Exec(kFileName, {file_id});
  if (!q.ok()) return Failure(q);
  *found = q.rows() > 0;
  if (*found) *name = q.Text(0, 0);
  return {};
}

Status PgHistory::TakeFileReadings(int64_t file_id, FileReadingsTaken* taken) {
  PgResult gone = db_.Exec(kRemoveFileReadings, {file_id});
  if (!gone.ok()) return Failure(gone);
  for (int i = 0; i < gone.rows(); ++i) {
    taken->probes[gone.Int(i, 0)].hours.insert(gone.Int(i, 1));
    taken->readings += gone.Int(i, 2);
  }
  PgResult own = db_.Exec(kFileConflicts, {file_id});
  if (!own.ok()) return Failure(own);
  for (int i = 0; i < own.rows(); ++i) taken->probes[own.Int(i, 0)];

  for (auto& [probe_id, probe] : taken->probes) {
    // The seconds concerned: those whose reading went and those the file offered a value for.
    PgResult rows = db_.Exec(kProbeConflictRows, {probe_id, kReadingEpoch});
    if (!rows.ok()) return Failure(rows);
    std::map<HistoryTime, bool> offered;
    for (int i = 0; i < rows.rows(); ++i) {
      const HistoryTime t = rows.Int(i, 2);
      UnimportSecond& second = probe.seconds[t];
      second.conflicts.push_back(
          {rows.Int(i, 0), rows.Int(i, 1), rows.Real(i, 3), rows.Real(i, 4)});
      second.removed = rows.IsNull(i, 5);
      if (!second.removed) second.value = rows.Real(i, 5);
      offered[t] = offered[t] || rows.Int(i, 1) == file_id;
    }
    for (auto it = probe.seconds.begin(); it != probe.seconds.end();) {
      it = it->second.removed || offered[it->first] ? std::next(it) : probe.seconds.erase(it);
    }
  }
  return {};
}

Status PgHistory::DropConflicts(const std::vector<int64_t>& ids) {
  return Run(kDropConflicts, {NumberArray(ids)});
}

Status PgHistory::RebaseConflict(int64_t conflict_id, double stored) {
  return Run(kRebaseConflict, {conflict_id, stored});
}

Status PgHistory::PromoteOffer(int64_t probe_id, HistoryTime t, double value, int64_t file_id) {
  Status st = Run(kInsertReading, {t, value, probe_id, file_id, kReadingEpoch});
  if (st) st = Run(kCountAdded, {file_id});
  return st;
}

Status PgHistory::RemoveEmptyProbe(int64_t probe_id, std::optional<ProbeKey>* found) {
  PgResult key = db_.Exec(kProbeKey, {probe_id});
  if (!key.ok()) return Failure(key);
  if (key.rows() > 0) {
    *found = ProbeKey{FromServer(key.Text(0, 0)), FromServer(key.Text(0, 1)),
                      static_cast<int32_t>(key.Int(0, 2))};
  }
  Status st = Run(sql::kHourSums.remove_probe, {probe_id});
  if (st) st = Run(sql::kWeekSums.remove_probe, {probe_id});
  if (st) st = Run(sql::kRemoveProbeDays, {probe_id});
  if (st) st = Run(sql::kRemoveProbe, {probe_id});
  return st;
}

Status PgHistory::ForgetFile(int64_t file_id) {
  // Conflicts the file offered for readings removed since go with it.
  if (Status st = Run("DELETE FROM tarn.conflict WHERE file_id = $1", {file_id}); !st) return st;
  return Run(kDeleteFile, {file_id});
}

}  // namespace tarn
