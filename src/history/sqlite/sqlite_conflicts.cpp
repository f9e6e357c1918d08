// SPDX-License-Identifier: GPL-3.0-or-later
// The review of conflicts and the undoing of an import in the embedded history: a reading's
// value taken from an offer or put back, a file's readings removed, and every figure derived
// from the readings brought up to date.
#include <algorithm>
#include <map>

#include "history/history_review.h"
#include "history/sqlite/sqlite_store.h"

namespace tarn::sqlite_store {

namespace {

constexpr const char* kConflictsOfProbe =
    "SELECT c.id, c.file_id, f.name, c.t, c.stored, c.offered FROM conflict c"
    " JOIN source_file f ON f.id = c.file_id WHERE c.probe_id = ?1 ORDER BY c.t, c.id";
constexpr const char* kConflictsAt =
    "SELECT id, file_id, stored, offered FROM conflict WHERE probe_id = ?1 AND t = ?2 ORDER BY id";
constexpr const char* kOneConflict = "SELECT probe_id, t, offered FROM conflict WHERE id = ?1";
constexpr const char* kSetReading = "UPDATE reading SET v = ?2 WHERE k = ?1";
constexpr const char* kProbeTotals =
    "SELECT count(*), min(k), max(k), total((k - ?3) / 86400.0), total(v),"
    " total((k - ?3) / 86400.0 * v), total((k - ?3) / 86400.0 * ((k - ?3) / 86400.0))"
    " FROM reading WHERE k BETWEEN ?1 AND ?2";
constexpr const char* kReadingAt = "SELECT v FROM reading WHERE k = ?1";
constexpr const char* kDropHour = "DELETE FROM reading_hour WHERE probe_id = ?1 AND hour = ?2";
constexpr const char* kDropWindows = "DELETE FROM probe_window WHERE probe_id = ?1";
constexpr const char* kFileName = "SELECT name FROM source_file WHERE id = ?1";
constexpr const char* kFileRuns =
    "SELECT probe_id, first_t, last_t FROM reading_run WHERE file_id = ?1 ORDER BY probe_id, "
    "first_t";
constexpr const char* kLaterRuns =
    "SELECT first_t, last_t FROM reading_run WHERE probe_id = ?1 AND file_id > ?2"
    " AND last_t >= ?3 AND first_t <= ?4 ORDER BY first_t";
constexpr const char* kFileConflicts = "SELECT probe_id, t FROM conflict WHERE file_id = ?1";
constexpr const char* kDeleteReading = "DELETE FROM reading WHERE k = ?1";
constexpr const char* kDeleteRuns = "DELETE FROM reading_run WHERE file_id = ?1";
constexpr const char* kDeleteConflict = "DELETE FROM conflict WHERE id = ?1";
constexpr const char* kRebaseConflict = "UPDATE conflict SET stored = ?2 WHERE id = ?1";
constexpr const char* kCountAdded = "UPDATE source_file SET added = added + 1 WHERE id = ?1";
constexpr const char* kDeleteFile = "DELETE FROM source_file WHERE id = ?1";
constexpr const char* kProbeKey = "SELECT tag, serial, data_type FROM probe WHERE id = ?1";
constexpr const char* kConflictProbes =
    "SELECT tag, serial, data_type FROM probe WHERE id IN"
    " (SELECT probe_id FROM conflict WHERE file_id = ?1) ORDER BY id";

}  // namespace

HistoryStatus SqliteHistory::ConflictProbes(int64_t file_id, ImportResult* result) {
  Statement q;
  if (!q.Prepare(db_, kConflictProbes)) return Error(path_);
  q.Bind(1, file_id);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    result->conflict_probes.push_back({q.Text(0), q.Text(1), static_cast<int32_t>(q.Int(2))});
  }
  return rc == SQLITE_DONE ? HistoryStatus{} : Error(path_);
}

HistoryStatus SqliteHistory::RefreshDerived(int64_t probe_id, const std::set<int64_t>& hours) {
  window_cache_.erase(window_cache_.lower_bound({probe_id, INT32_MIN}),
                      window_cache_.upper_bound({probe_id, INT32_MAX}));
  Summary s;
  if (!ReadSummaryRow(probe_id, &s)) return Error(path_);
  Statement q;
  if (!q.Prepare(db_, kProbeTotals)) return Error(path_);
  q.Bind(1, ReadingKey(probe_id, kReadingEpoch - kTimeBias))
      .Bind(2, ReadingKey(probe_id, kReadingEpoch + kTimeBias - 1))
      .Bind(3, ReadingKey(probe_id, s.origin));
  if (q.Step() != SQLITE_ROW) return Error(path_);
  s.count = q.Int(0);
  if (s.count > 0) {
    s.first = KeyTime(q.Int(1));
    s.last = KeyTime(q.Int(2));
    s.sums = {s.count, q.Real(3), q.Real(4), q.Real(5), q.Real(6)};
    Statement latest;
    if (!latest.Prepare(db_, kReadingAt)) return Error(path_);
    latest.Bind(1, q.Int(2));
    if (latest.Step() != SQLITE_ROW) return Error(path_);
    s.latest = latest.Real(0);
  } else {
    s.sums = {};
    s.first = s.last = 0;
    s.latest = 0.0;
  }
  if (HistoryStatus st = WriteSummary(probe_id, s); !st) return st;

  Statement drop;
  if (!drop.Prepare(db_, kDropHour)) return Error(path_);
  for (const int64_t hour : hours) {
    drop.Start().Bind(1, probe_id).Bind(2, hour);
    if (drop.Step() != SQLITE_DONE) return Error(path_);
    HourFigures all;
    if (HistoryStatus st = ReadHour(probe_id, hour, &all); !st) return st;
    if (all.n >= kHourRowMin) {
      if (HistoryStatus st = MergeHour(probe_id, all); !st) return st;
    }
  }
  if (s.count > 0) return StoreWindows(probe_id, s.last);
  Statement windows;
  if (!windows.Prepare(db_, kDropWindows)) return Error(path_);
  windows.Bind(1, probe_id);
  return windows.Step() == SQLITE_DONE ? HistoryStatus{} : Error(path_);
}

std::vector<ReadingConflicts> SqliteHistory::ReviewConflicts(int64_t probe_id) {
  last_error_ = {};
  std::vector<ReadingConflicts> out;
  Statement q;
  if (!q.Prepare(db_, kConflictsOfProbe)) {
    last_error_ = Error(path_);
    return out;
  }
  q.Bind(1, probe_id);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    const HistoryTime t = q.Int(3);
    if (out.empty() || out.back().time != t) {
      ReadingConflicts r;
      r.time = t;
      r.stored = q.Real(4);
      out.push_back(r);
    }
    out.back().offers.push_back({q.Int(0), q.Int(1), q.Text(2), q.Real(5), false});
  }
  if (rc != SQLITE_DONE) {
    last_error_ = Error(path_);
    return {};
  }
  q.Finalize();
  for (ReadingConflicts& r : out) {
    const std::vector<HistoryReading> now = ReadRange(probe_id, r.time, r.time);
    r.value = now.empty() ? r.stored : now.front().value;
    if (const auto f = ReadingFile(probe_id, r.time)) {
      r.file_id = f->id;
      r.file = f->name;
    }
    if (!last_error_) return {};
    for (ConflictOffer& o : r.offers) o.in_use = !now.empty() && o.value == r.value;
  }
  return out;
}

HistoryStatus SqliteHistory::ChooseConflict(int64_t conflict_id, bool take) {
  if (read_only_) return WriteRefusal();
  Statement one, at, set;
  if (!one.Prepare(db_, kOneConflict) || !at.Prepare(db_, kConflictsAt) ||
      !set.Prepare(db_, kSetReading)) {
    return Error(path_);
  }
  if (HistoryStatus st = Exec("BEGIN IMMEDIATE"); !st) return st;
  HistoryStatus status;
  one.Bind(1, conflict_id);
  int64_t probe_id = 0;
  HistoryTime t = 0;
  double value = 0.0;
  if (one.Step() != SQLITE_ROW) {
    status = HistoryStatus::Fail("No conflict with id " + std::to_string(conflict_id) + ".");
  } else {
    probe_id = one.Int(0);
    t = one.Int(1);
    value = one.Real(2);
    at.Bind(1, probe_id).Bind(2, t);
    if (at.Step() != SQLITE_ROW) status = Error(path_);
    if (status && !take) value = at.Real(2);  // the oldest conflict's stored side
  }
  if (status) {
    set.Bind(1, ReadingKey(probe_id, t)).Bind(2, value);
    if (set.Step() != SQLITE_DONE) {
      status = Error(path_);
    } else if (sqlite3_changes(db_) == 0) {
      status = HistoryStatus::Fail("The reading of that conflict is no longer in the history.");
    }
  }
  one.Finalize();
  at.Finalize();
  set.Finalize();
  if (status) status = RefreshDerived(probe_id, {FloorDiv(t - kReadingEpoch, kHour)});
  if (status) status = Exec("COMMIT");
  if (!status) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return status;
}

HistoryStatus SqliteHistory::UnimportIn(int64_t file_id, UnimportResult* result) {
  Statement name;
  if (!name.Prepare(db_, kFileName)) return Error(path_);
  name.Bind(1, file_id);
  if (name.Step() != SQLITE_ROW) {
    return HistoryStatus::Fail("No imported file with id " + std::to_string(file_id) + ".");
  }
  result->file = name.Text(0);

  // The file's readings: within its runs, every second no later file's run spans.
  std::map<int64_t, std::set<HistoryTime>> removed;
  {
    Statement runs, later;
    if (!runs.Prepare(db_, kFileRuns) || !later.Prepare(db_, kLaterRuns)) return Error(path_);
    runs.Bind(1, file_id);
    int rc;
    while ((rc = runs.Step()) == SQLITE_ROW) {
      const int64_t probe_id = runs.Int(0);
      const HistoryTime first = runs.Int(1) + kReadingEpoch, last = runs.Int(2) + kReadingEpoch;
      std::vector<std::pair<HistoryTime, HistoryTime>> cover;
      later.Start().Bind(1, probe_id).Bind(2, file_id).Bind(3, runs.Int(1)).Bind(4, runs.Int(2));
      int lrc;
      while ((lrc = later.Step()) == SQLITE_ROW) {
        cover.emplace_back(later.Int(0) + kReadingEpoch, later.Int(1) + kReadingEpoch);
      }
      if (lrc != SQLITE_DONE) return Error(path_);
      std::size_t c = 0;
      HistoryTime reach = INT64_MIN;  // the latest end among the runs started so far
      for (const HistoryReading& r : ReadRange(probe_id, first, last)) {
        while (c < cover.size() && cover[c].first <= r.time)
          reach = std::max(reach, cover[c++].second);
        if (r.time > reach) removed[probe_id].insert(r.time);
      }
      if (!last_error_) return last_error_;
    }
    if (rc != SQLITE_DONE) return Error(path_);
  }
  // Every second it offered a value for, too.
  std::map<int64_t, std::set<HistoryTime>> seconds = removed;
  {
    Statement offered;
    if (!offered.Prepare(db_, kFileConflicts)) return Error(path_);
    offered.Bind(1, file_id);
    int rc;
    while ((rc = offered.Step()) == SQLITE_ROW) seconds[offered.Int(0)].insert(offered.Int(1));
    if (rc != SQLITE_DONE) return Error(path_);
  }

  Statement del_reading, del_runs, at, del_conflict, rebase, set, insert, added, del_file;
  if (!del_reading.Prepare(db_, kDeleteReading) || !del_runs.Prepare(db_, kDeleteRuns) ||
      !at.Prepare(db_, kConflictsAt) || !del_conflict.Prepare(db_, kDeleteConflict) ||
      !rebase.Prepare(db_, kRebaseConflict) || !set.Prepare(db_, kSetReading) ||
      !insert.Prepare(db_, sql::kInsertReading) || !added.Prepare(db_, kCountAdded) ||
      !del_file.Prepare(db_, kDeleteFile)) {
    return Error(path_);
  }
  auto step = [&](Statement& s) { return s.Step() == SQLITE_DONE; };
  for (const auto& [probe_id, times] : seconds) {
    const std::set<HistoryTime>& gone = removed[probe_id];
    std::set<int64_t> hours;
    for (const HistoryTime t : times) {
      hours.insert(FloorDiv(t - kReadingEpoch, kHour));
      const bool reading_removed = gone.count(t) > 0;
      double value = 0.0;
      if (!reading_removed) {
        const std::vector<HistoryReading> now = ReadRange(probe_id, t, t);
        if (!last_error_) return last_error_;
        if (now.empty()) continue;  // an offer for a reading removed since
        value = now.front().value;
      }
      std::vector<SecondConflict> conflicts;
      at.Start().Bind(1, probe_id).Bind(2, t);
      int rc;
      while ((rc = at.Step()) == SQLITE_ROW) {
        conflicts.push_back({at.Int(0), at.Int(1), at.Real(2), at.Real(3)});
      }
      if (rc != SQLITE_DONE) return Error(path_);
      if (reading_removed) {
        del_reading.Start().Bind(1, ReadingKey(probe_id, t));
        if (!step(del_reading)) return Error(path_);
        ++result->readings;
      }
      const SecondPlan plan = PlanUnimportSecond(file_id, conflicts, reading_removed, value);
      for (const int64_t id : plan.drop) {
        del_conflict.Start().Bind(1, id);
        if (!step(del_conflict)) return Error(path_);
      }
      for (const SecondConflict& c : conflicts) result->conflicts += c.file_id == file_id;
      for (const auto& [id, stored] : plan.rebase) {
        rebase.Start().Bind(1, id).Bind(2, stored);
        if (!step(rebase)) return Error(path_);
      }
      if (plan.write_value) {
        set.Start().Bind(1, ReadingKey(probe_id, t)).Bind(2, plan.value);
        if (!step(set)) return Error(path_);
      }
      if (plan.promote) {
        insert.Start().Bind(1, ReadingKey(probe_id, t)).Bind(2, plan.value);
        added.Start().Bind(1, plan.file_id);
        if (!step(insert) || !step(added)) return Error(path_);
        if (HistoryStatus st = WriteRun(probe_id, plan.file_id, {t, t, 1}); !st) return st;
        ++result->promoted;
      }
    }
    if (HistoryStatus st = RefreshDerived(probe_id, hours); !st) return st;
    Summary s;
    if (!ReadSummaryRow(probe_id, &s)) return Error(path_);
    if (s.count == 0) {
      Statement key, probe;
      if (!key.Prepare(db_, kProbeKey) || !probe.Prepare(db_, sql::kRemoveProbe)) {
        return Error(path_);
      }
      key.Bind(1, probe_id);
      if (key.Step() == SQLITE_ROW) {
        result->emptied.push_back({key.Text(0), key.Text(1), static_cast<int32_t>(key.Int(2))});
      }
      probe.Bind(1, probe_id);
      if (!step(probe)) return Error(path_);
    }
  }
  // Conflicts the file offered for readings removed since go with it.
  Statement rest;
  if (!rest.Prepare(db_, "DELETE FROM conflict WHERE file_id = ?1")) return Error(path_);
  rest.Bind(1, file_id);
  del_runs.Start().Bind(1, file_id);
  del_file.Start().Bind(1, file_id);
  if (!step(rest) || !step(del_runs) || !step(del_file)) return Error(path_);
  return {};
}

UnimportResult SqliteHistory::Unimport(int64_t file_id, bool apply) {
  UnimportResult result;
  // Even the count is taken by doing the work and rolling it back.
  if (read_only_) {
    result.status = WriteRefusal();
    return result;
  }
  if (result.status = Exec("BEGIN IMMEDIATE"); !result.status) return result;
  result.status = UnimportIn(file_id, &result);
  if (result.status && apply) result.status = Exec("COMMIT");
  if (!result.status || !apply) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    // What was forgotten for the rolled-back changes is read again.
    window_cache_.clear();
  }
  return result;
}

}  // namespace tarn::sqlite_store
