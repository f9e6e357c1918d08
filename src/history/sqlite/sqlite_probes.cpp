// SPDX-License-Identifier: GPL-3.0-or-later
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "history/sqlite/sqlite_store.h"

namespace tarn::sqlite_store {

HistoryLimits SqliteHistory::DefaultLimits() {
  HistoryLimits l;
  read_default_limits_.Start();
  if (read_default_limits_.Step() == SQLITE_ROW) {
    l = {read_default_limits_.Real(0), read_default_limits_.Real(1), read_default_limits_.Real(2),
         read_default_limits_.Real(3)};
  }
  read_default_limits_.Reset();
  return l;
}

Status SqliteHistory::ReadProbeRows(int64_t probe_id, int32_t window_days,
                                    std::vector<ProbeRow>* rows) {
  Statement& q = probe_id != 0 ? one_probe_ : list_probes_;
  q.Start();
  if (probe_id != 0) q.Bind(1, probe_id);
  q.Bind(2, int64_t{window_days});
  const bool stored = std::find(std::begin(kStoredWindows), std::end(kStoredWindows),
                                window_days) != std::end(kStoredWindows);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    ProbeRow row;
    ProbeSummary& p = row.probe;
    p.id = q.Int(0);
    p.key = {q.Text(1), q.Text(2), static_cast<int32_t>(q.Int(3))};
    p.header.part_no = q.Text(4);
    p.header.probe_type_str = q.Text(5);
    p.header.probe_type = static_cast<int32_t>(q.Int(6));
    p.header.mloss_unit = q.Text(7);
    p.header.thickness = q.Real(8);
    p.header.read_interval = q.Text(9);
    p.header.probe_life = q.Real(10);
    p.count = q.Int(11);
    p.first_time = q.Int(12);
    p.last_time = q.Int(13);
    p.latest_value = q.Real(14);
    row.origin = q.Int(15);
    row.whole = {p.count, q.Real(16), q.Real(17), q.Real(18), q.Real(19)};
    if (stored && !q.IsNull(24)) {
      row.window = RegressionSums{q.Int(24), q.Real(25), q.Real(26), q.Real(27), q.Real(28)};
    }
    p.own_limits = !q.IsNull(20);
    if (p.own_limits) p.limits = {q.Real(20), q.Real(21), q.Real(22), q.Real(23)};
    rows->push_back(std::move(row));
  }
  q.Reset();
  return rc == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::SumWindows(const std::vector<const ProbeSummary*>& probes, int32_t days,
                                 std::map<int64_t, RegressionSums>* sums) {
  for (const ProbeSummary* p : probes) {
    if (Status st = WindowSums(p->id, p->last_time, days, &(*sums)[p->id]); !st) return st;
  }
  return {};
}

Status SqliteHistory::ReadOwnLimits(int64_t probe_id, std::optional<HistoryLimits>* own) {
  read_limits_.Start().Bind(1, probe_id);
  if (read_limits_.Step() == SQLITE_ROW) {
    *own = HistoryLimits{read_limits_.Real(0), read_limits_.Real(1), read_limits_.Real(2),
                         read_limits_.Real(3)};
  }
  read_limits_.Reset();
  return {};
}

Status SqliteHistory::AppendChange(const HistoryChange& c) {
  Statement q;
  if (!q.Prepare(db_, sql::kAppendChange)) return Error(path_);
  q.Bind(1, c.time).Bind(2, c.user).Bind(3, c.what).Bind(4, c.before).Bind(5, c.after);
  return q.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::ReadChanges(std::vector<HistoryChange>* out) {
  Statement q;
  if (!q.Prepare(db_, sql::kReadChanges)) return Error(path_);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    out->push_back({q.Int(0), q.Int(1), q.Text(2), q.Text(3), q.Text(4), q.Text(5)});
  }
  return rc == SQLITE_DONE ? Status{} : Error(path_);
}

std::string SqliteHistory::ChangeUser() {
  // The account the program runs under, not what the environment claims.
  if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_name != nullptr) {
    return pw->pw_name;
  }
  return "uid " + std::to_string(::geteuid());
}

Status SqliteHistory::WriteLimits(int64_t probe_id, const HistoryLimits& l) {
  Statement q;
  if (!q.Prepare(db_, probe_id != 0 ? sql::kWriteLimits : sql::kWriteDefaultLimits)) {
    return Error(path_);
  }
  q.Bind(1, probe_id)
      .Bind(2, l.rate_warn)
      .Bind(3, l.rate_alarm)
      .Bind(4, l.consumed_warn)
      .Bind(5, l.consumed_alarm);
  return q.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

Status SqliteHistory::DeleteLimits(int64_t probe_id) {
  Statement q;
  if (!q.Prepare(db_, sql::kClearLimits)) return Error(path_);
  q.Bind(1, probe_id);
  return q.Step() == SQLITE_DONE ? Status{} : Error(path_);
}

std::vector<HistorySourceFile> SqliteHistory::ProbeFiles(int64_t probe_id) {
  last_error_ = {};
  std::vector<HistorySourceFile> out;
  Statement q;
  if (!q.Prepare(db_, sql::kProbeFiles)) {
    last_error_ = Error(path_);
    return out;
  }
  q.Bind(1, probe_id);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    out.push_back({q.Int(0), q.Text(1), q.Int(2), q.Text(3), q.Int(4), q.Int(5)});
  }
  if (rc != SQLITE_DONE) last_error_ = Error(path_);
  return out;
}

std::optional<HistorySourceFile> SqliteHistory::ReadingFile(int64_t probe_id, HistoryTime time) {
  last_error_ = {};
  Statement q;
  if (!q.Prepare(db_, sql::kReadingFile)) {
    last_error_ = Error(path_);
    return std::nullopt;
  }
  if (!StorableTime(time)) return std::nullopt;
  q.Bind(1, probe_id).Bind(2, time - kReadingEpoch).Bind(3, ReadingKey(probe_id, time));
  const int rc = q.Step();
  if (rc == SQLITE_ROW)
    return HistorySourceFile{q.Int(0), q.Text(1), q.Int(2), q.Text(3), q.Int(4), q.Int(5)};
  if (rc != SQLITE_DONE) last_error_ = Error(path_);
  return std::nullopt;
}

Status SqliteHistory::DropReadings(int64_t probe_id) {
  // Ids past the readings' keys have none.
  if (probe_id <= 0 || probe_id >= (int64_t{1} << (63 - kKeyShift))) return {};
  Statement& readings = remove_readings_.Start();
  readings.Bind(1, probe_id << kKeyShift).Bind(2, ((probe_id + 1) << kKeyShift) - 1);
  const bool done = readings.Step() == SQLITE_DONE;
  readings.Reset();
  return done ? Status{} : Error(path_);
}

}  // namespace tarn::sqlite_store
