// SPDX-License-Identifier: GPL-3.0-or-later
// The review of conflicts and the undoing of an import in the shared history: a reading's value
// taken from an offer or put back, a file's readings removed, and every figure derived from the
// readings brought up to date, each under the import lock.
#include <algorithm>
#include <map>
#include <set>

#include "history/history_review.h"
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
constexpr const char* kDropHours =
    "DELETE FROM tarn.reading_hour WHERE probe_id = $1 AND hour = ANY($2::bigint[])";
constexpr const char* kSumHours = R"sql(
INSERT INTO tarn.reading_hour(probe_id, hour, n, sx, sy, sxy, sxx)
SELECT probe_id, hr, count(*), sum(x), sum(v), sum(x * v), sum(x * x)
FROM tarn.reading, LATERAL (SELECT floor(t::float8 / 3600)::bigint AS hr) a,
     LATERAL (SELECT (t - hr * 3600)::float8 AS x) b
WHERE probe_id = $1 AND hr = ANY($2::bigint[])
GROUP BY probe_id, hr)sql";
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

int64_t HourOf(HistoryTime t) {
  const int64_t rel = t - kPgReadingEpoch;
  return rel / 3600 - (rel % 3600 < 0 ? 1 : 0);
}

}  // namespace

HistoryStatus PgHistory::ConflictProbes(int64_t file_id, ImportResult* result) {
  PgResult q = db_.Exec(kConflictProbes, {file_id});
  if (!q.ok()) return Failure(q);
  for (int i = 0; i < q.rows(); ++i) {
    result->conflict_probes.push_back(
        {FromServer(q.Text(i, 0)), FromServer(q.Text(i, 1)), static_cast<int32_t>(q.Int(i, 2))});
  }
  return {};
}

HistoryStatus PgHistory::RefreshDerived(int64_t probe_id, const std::vector<int64_t>& hours,
                                        int64_t* count) {
  windows_.erase(windows_.lower_bound({probe_id, INT32_MIN}),
                 windows_.upper_bound({probe_id, INT32_MAX}));
  PgResult s = db_.Exec(kRefreshSummary, {probe_id, kPgReadingEpoch});
  if (!s.ok() || s.rows() != 1) return Failure(s);
  *count = s.Int(0, 0);
  const std::string list = NumberArray(hours);
  HistoryStatus st = Run(kDropHours, {probe_id, list});
  if (st) st = Run(kSumHours, {probe_id, list});
  if (!st) return st;
  if (*count == 0) return Run(kDropWindows, {probe_id});
  return Run(sql::kRefreshWindows,
             {"{" + std::to_string(probe_id) + "}", sql::kStoredWindows, kPgReadingEpoch});
}

std::vector<ReadingConflicts> PgHistory::ReviewConflicts(int64_t probe_id) {
  std::vector<ReadingConflicts> out;
  if (last_error_ = Ready(); !last_error_) return out;
  PgResult q = db_.Exec(kReview, {probe_id, kPgReadingEpoch});
  if (!q.ok()) {
    last_error_ = Failure(q);
    return out;
  }
  for (int i = 0; i < q.rows(); ++i) {
    const HistoryTime t = q.Int(i, 3);
    if (out.empty() || out.back().time != t) {
      ReadingConflicts r;
      r.time = t;
      r.stored = q.Real(i, 4);
      r.value = q.IsNull(i, 6) ? r.stored : q.Real(i, 6);
      if (!q.IsNull(i, 7)) {
        r.file_id = q.Int(i, 7);
        r.file = q.Text(i, 8);
      }
      out.push_back(r);
    }
    const double offered = q.Real(i, 5);
    out.back().offers.push_back({q.Int(i, 0), q.Int(i, 1), q.Text(i, 2), offered,
                                 !q.IsNull(i, 6) && offered == out.back().value});
  }
  return out;
}

HistoryStatus PgHistory::ChooseConflict(int64_t conflict_id, bool take) {
  if (read_only_) return ReadOnlyRefusal();
  if (HistoryStatus st = Ready(); !st) return st;
  HistoryStatus st = Run("BEGIN");
  if (st) st = Run(sql::kLockHistory);
  PgResult c;
  if (st) {
    c = db_.Exec(kOneConflict, {conflict_id});
    if (!c.ok()) {
      st = Failure(c);
    } else if (c.rows() == 0) {
      st = HistoryStatus::Fail("No conflict with id " + std::to_string(conflict_id) + ".");
    }
  }
  int64_t count = 0;
  if (st) {
    const int64_t probe_id = c.Int(0, 0);
    const HistoryTime t = c.Int(0, 1);
    PgResult set =
        db_.Exec(kSetReading, {probe_id, t, take ? c.Real(0, 2) : c.Real(0, 3), kPgReadingEpoch});
    if (!set.ok()) {
      st = Failure(set);
    } else if (set.Affected() == 0) {
      st = HistoryStatus::Fail("The reading of that conflict is no longer in the history.");
    } else {
      st = RefreshDerived(probe_id, {HourOf(t)}, &count);
    }
  }
  if (st) st = Run("COMMIT");
  if (!st) Rollback();
  return st;
}

HistoryStatus PgHistory::UnimportIn(int64_t file_id, UnimportResult* result) {
  PgResult name = db_.Exec(kFileName, {file_id});
  if (!name.ok()) return Failure(name);
  if (name.rows() == 0) {
    return HistoryStatus::Fail("No imported file with id " + std::to_string(file_id) + ".");
  }
  result->file = name.Text(0, 0);
  PgResult gone = db_.Exec(kRemoveFileReadings, {file_id});
  if (!gone.ok()) return Failure(gone);
  std::map<int64_t, std::set<int64_t>> hours_of;
  for (int i = 0; i < gone.rows(); ++i) {
    hours_of[gone.Int(i, 0)].insert(gone.Int(i, 1));
    result->readings += gone.Int(i, 2);
  }
  PgResult own = db_.Exec(kFileConflicts, {file_id});
  if (!own.ok()) return Failure(own);
  for (int i = 0; i < own.rows(); ++i) hours_of[own.Int(i, 0)];

  for (auto& [probe_id, hours] : hours_of) {
    // The seconds concerned: those whose reading went and those the file offered a value for.
    PgResult rows = db_.Exec(kProbeConflictRows, {probe_id, kPgReadingEpoch});
    if (!rows.ok()) return Failure(rows);
    struct Second {
      std::vector<SecondConflict> conflicts;
      bool removed = false, offered = false;
      double value = 0.0;
    };
    std::map<HistoryTime, Second> at;
    for (int i = 0; i < rows.rows(); ++i) {
      Second& second = at[rows.Int(i, 2)];
      second.conflicts.push_back(
          {rows.Int(i, 0), rows.Int(i, 1), rows.Real(i, 3), rows.Real(i, 4)});
      second.removed = rows.IsNull(i, 5);
      if (!second.removed) second.value = rows.Real(i, 5);
      second.offered = second.offered || rows.Int(i, 1) == file_id;
    }

    std::vector<int64_t> drop;
    for (const auto& [t, second] : at) {
      if (!second.removed && !second.offered) continue;
      const SecondPlan plan =
          PlanUnimportSecond(file_id, second.conflicts, second.removed, second.value);
      hours.insert(HourOf(t));
      drop.insert(drop.end(), plan.drop.begin(), plan.drop.end());
      for (const SecondConflict& c : second.conflicts) result->conflicts += c.file_id == file_id;
      for (const auto& [id, stored] : plan.rebase) {
        if (HistoryStatus st = Run(kRebaseConflict, {id, stored}); !st) return st;
      }
      if (plan.write_value) {
        if (HistoryStatus st = Run(kSetReading, {probe_id, t, plan.value, kPgReadingEpoch}); !st)
          return st;
      }
      if (plan.promote) {
        HistoryStatus st =
            Run(kInsertReading, {t, plan.value, probe_id, plan.file_id, kPgReadingEpoch});
        if (st) st = Run(kCountAdded, {plan.file_id});
        if (!st) return st;
        ++result->promoted;
      }
    }
    if (!drop.empty()) {
      if (HistoryStatus st = Run(kDropConflicts, {NumberArray(drop)}); !st) return st;
    }
    int64_t count = 0;
    if (HistoryStatus st =
            RefreshDerived(probe_id, std::vector<int64_t>(hours.begin(), hours.end()), &count);
        !st) {
      return st;
    }
    if (count == 0) {
      PgResult key = db_.Exec(kProbeKey, {probe_id});
      if (!key.ok()) return Failure(key);
      if (key.rows() > 0) {
        result->emptied.push_back({FromServer(key.Text(0, 0)), FromServer(key.Text(0, 1)),
                                   static_cast<int32_t>(key.Int(0, 2))});
      }
      HistoryStatus st = Run(sql::kRemoveHours, {probe_id});
      if (st) st = Run(sql::kRemoveProbe, {probe_id});
      if (!st) return st;
    }
  }
  // Conflicts the file offered for readings removed since go with it.
  if (HistoryStatus st = Run("DELETE FROM tarn.conflict WHERE file_id = $1", {file_id}); !st)
    return st;
  return Run(kDeleteFile, {file_id});
}

UnimportResult PgHistory::Unimport(int64_t file_id, bool apply) {
  UnimportResult result;
  // Even the count is taken by doing the work and rolling it back.
  if (read_only_) {
    result.status = ReadOnlyRefusal();
    return result;
  }
  if (result.status = Ready(); !result.status) return result;
  result.status = Run("BEGIN");
  if (result.status) result.status = Run(sql::kLockHistory);
  if (result.status) result.status = UnimportIn(file_id, &result);
  if (result.status && apply) result.status = Run("COMMIT");
  if (!result.status || !apply) {
    Rollback();
    windows_.clear();
  }
  return result;
}

}  // namespace tarn
