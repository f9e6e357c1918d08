// SPDX-License-Identifier: GPL-3.0-or-later
// The embedded history's primitives for the review of conflicts and the undoing of an import
// (store_conflicts.cpp): a reading's value set, a file's readings removed, and every figure
// derived from the readings brought up to date.
#include <algorithm>
#include <map>

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

Status SqliteHistory::ConflictProbes(int64_t file_id, ImportResult* result) {
  Statement q;
  if (!q.Prepare(db_, kConflictProbes)) return Error(path_);
  q.Bind(1, file_id);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    result->conflict_probes.push_back({q.Text(0), q.Text(1), static_cast<int32_t>(q.Int(2))});
  }
  return rc == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::RefreshDerived(int64_t probe_id, const std::set<int64_t>& hours,
                                     int64_t* count) {
  ForgetWindowSums(probe_id);
  ImportProbe s;
  if (!ReadSummaryRow(probe_id, &s)) return Error(path_);
  Statement q;
  if (!q.Prepare(db_, kProbeTotals)) return Error(path_);
  q.Bind(1, ReadingKey(probe_id, kReadingEpoch - kTimeBias))
      .Bind(2, ReadingKey(probe_id, kReadingEpoch + kTimeBias - 1))
      .Bind(3, ReadingKey(probe_id, s.origin));
  if (q.Step() != SQLITE_ROW) return Error(path_);
  s.count = q.Int(0);
  *count = s.count;
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
  if (Status st = WriteSummary(s); !st) return st;

  Statement drop;
  if (!drop.Prepare(db_, kDropHour)) return Error(path_);
  for (const int64_t hour : hours) {
    drop.Start().Bind(1, probe_id).Bind(2, hour);
    if (drop.Step() != SQLITE_DONE) return Error(path_);
    HourFigures all;
    if (Status st = ReadHour(probe_id, hour, &all); !st) return st;
    if (all.n >= kHourRowMin) {
      if (Status st = MergeHour(probe_id, all); !st) return st;
    }
  }
  if (s.count > 0) return StoreWindows(probe_id, s.last);
  Statement windows;
  if (!windows.Prepare(db_, kDropWindows)) return Error(path_);
  windows.Bind(1, probe_id);
  return windows.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::MayWrite() const {
  return read_only_ ? WriteRefusal() : Status{};
}

Status SqliteHistory::BeginWrite() {
  return Exec("BEGIN IMMEDIATE");
}

Status SqliteHistory::Commit() {
  return Exec("COMMIT");
}

void SqliteHistory::RollbackWrite() {
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  // What was remembered of the rolled-back changes is read again.
  ForgetWindowSums(0);
}

Status SqliteHistory::ConflictRows(int64_t probe_id, std::vector<ConflictRow>* rows) {
  Statement q;
  if (!q.Prepare(db_, kConflictsOfProbe)) return Error(path_);
  q.Bind(1, probe_id);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    rows->push_back({q.Int(0), q.Int(1), q.Text(2), q.Int(3), q.Real(4), q.Real(5), {}, 0, {}});
  }
  if (rc != SQLITE_DONE) return Error(path_);
  q.Finalize();
  // The reading now stored at each second, and the file it came from.
  for (std::size_t i = 0; i < rows->size(); ++i) {
    ConflictRow& row = (*rows)[i];
    if (i > 0 && (*rows)[i - 1].time == row.time) continue;
    const std::vector<HistoryReading> now = ReadRange(probe_id, row.time, row.time);
    if (!now.empty()) row.reading = now.front().value;
    if (const auto f = ReadingFile(probe_id, row.time)) {
      row.reading_file_id = f->id;
      row.reading_file = f->name;
    }
    if (!last_error_) return last_error_;
  }
  return {};
}

Status SqliteHistory::FindConflict(int64_t conflict_id, bool* found, ConflictAt* c) {
  Statement one, at;
  if (!one.Prepare(db_, kOneConflict) || !at.Prepare(db_, kConflictsAt)) return Error(path_);
  one.Bind(1, conflict_id);
  *found = one.Step() == SQLITE_ROW;
  if (!*found) return {};
  c->probe_id = one.Int(0);
  c->time = one.Int(1);
  c->offered = one.Real(2);
  at.Bind(1, c->probe_id).Bind(2, c->time);
  if (at.Step() != SQLITE_ROW) return Error(path_);
  c->first_stored = at.Real(2);  // the oldest conflict's stored side
  return {};
}

Status SqliteHistory::SetReadingValue(int64_t probe_id, HistoryTime t, double value,
                                      bool* changed) {
  Statement set;
  if (!set.Prepare(db_, kSetReading)) return Error(path_);
  set.Bind(1, ReadingKey(probe_id, t)).Bind(2, value);
  if (set.Step() != SQLITE_DONE) return Error(path_);
  *changed = sqlite3_changes(db_) > 0;
  return {};
}

Status SqliteHistory::FileName(int64_t file_id, bool* found, std::string* name) {
  Statement q;
  if (!q.Prepare(db_, kFileName)) return Error(path_);
  q.Bind(1, file_id);
  *found = q.Step() == SQLITE_ROW;
  if (*found) *name = q.Text(0);
  return {};
}

Status SqliteHistory::TakeFileReadings(int64_t file_id, FileReadingsTaken* taken) {
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

  Statement del_reading, at;
  if (!del_reading.Prepare(db_, kDeleteReading) || !at.Prepare(db_, kConflictsAt)) {
    return Error(path_);
  }
  for (const auto& [probe_id, times] : seconds) {
    const std::set<HistoryTime>& gone = removed[probe_id];
    UnimportProbe& probe = taken->probes[probe_id];
    for (const HistoryTime t : times) {
      probe.hours.insert(HistoryHour(t));
      UnimportSecond second;
      second.removed = gone.count(t) > 0;
      if (!second.removed) {
        const std::vector<HistoryReading> now = ReadRange(probe_id, t, t);
        if (!last_error_) return last_error_;
        if (now.empty()) continue;  // an offer for a reading removed since
        second.value = now.front().value;
      }
      at.Start().Bind(1, probe_id).Bind(2, t);
      int rc;
      while ((rc = at.Step()) == SQLITE_ROW) {
        second.conflicts.push_back({at.Int(0), at.Int(1), at.Real(2), at.Real(3)});
      }
      if (rc != SQLITE_DONE) return Error(path_);
      if (second.removed) {
        del_reading.Start().Bind(1, ReadingKey(probe_id, t));
        if (del_reading.Step() != SQLITE_DONE) return Error(path_);
        ++taken->readings;
      }
      probe.seconds.emplace(t, std::move(second));
    }
  }
  return {};
}

Status SqliteHistory::DropConflicts(const std::vector<int64_t>& ids) {
  Statement del;
  if (!del.Prepare(db_, kDeleteConflict)) return Error(path_);
  for (const int64_t id : ids) {
    del.Start().Bind(1, id);
    if (del.Step() != SQLITE_DONE) return Error(path_);
  }
  return {};
}

Status SqliteHistory::RebaseConflict(int64_t conflict_id, double stored) {
  Statement rebase;
  if (!rebase.Prepare(db_, kRebaseConflict)) return Error(path_);
  rebase.Bind(1, conflict_id).Bind(2, stored);
  return rebase.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::PromoteOffer(int64_t probe_id, HistoryTime t, double value, int64_t file_id) {
  Statement insert, added;
  if (!insert.Prepare(db_, sql::kInsertReading) || !added.Prepare(db_, kCountAdded)) {
    return Error(path_);
  }
  insert.Bind(1, ReadingKey(probe_id, t)).Bind(2, value);
  added.Bind(1, file_id);
  if (insert.Step() != SQLITE_DONE || added.Step() != SQLITE_DONE) return Error(path_);
  return WriteRun(probe_id, file_id, {t, t, 1});
}

Status SqliteHistory::RemoveEmptyProbe(int64_t probe_id, std::optional<ProbeKey>* found) {
  Statement key;
  if (!key.Prepare(db_, kProbeKey)) return Error(path_);
  key.Bind(1, probe_id);
  if (key.Step() == SQLITE_ROW) {
    *found = ProbeKey{key.Text(0), key.Text(1), static_cast<int32_t>(key.Int(2))};
  }
  Statement& probe = remove_probe_.Start();
  probe.Bind(1, probe_id);
  const bool done = probe.Step() == SQLITE_DONE;
  probe.Reset();
  return done ? Status{} : Error(path_);
}

Status SqliteHistory::ForgetFile(int64_t file_id) {
  // Conflicts the file offered for readings removed since go with it.
  Statement rest, runs, file;
  if (!rest.Prepare(db_, "DELETE FROM conflict WHERE file_id = ?1") ||
      !runs.Prepare(db_, kDeleteRuns) || !file.Prepare(db_, kDeleteFile)) {
    return Error(path_);
  }
  rest.Bind(1, file_id);
  runs.Bind(1, file_id);
  file.Bind(1, file_id);
  if (rest.Step() != SQLITE_DONE || runs.Step() != SQLITE_DONE || file.Step() != SQLITE_DONE) {
    return Error(path_);
  }
  return {};
}

}  // namespace tarn::sqlite_store
