#include <cmath>

#include "history/sqlite_store.h"

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

RegressionSums SqliteHistory::WindowSums(int64_t probe_id, int32_t window_days, int64_t count,
                                         HistoryTime last) {
  WindowEntry& e = window_cache_[{probe_id, window_days}];
  if (e.count == count && e.last == last && e.sums.n > 0) return e.sums;
  const HistoryTime from = last - int64_t{window_days} * kSecondsPerDay;
  RegressionSums sums;
  readings_from_.Start().Bind(1, probe_id).Bind(2, from - kReadingEpoch);
  int rc;
  while ((rc = readings_from_.Step()) == SQLITE_ROW) {
    sums.Add(Days(readings_from_.Int(0) + kReadingEpoch, from), readings_from_.Real(1));
  }
  if (rc != SQLITE_DONE) last_error_ = Error(path_);
  e = {count, last, sums};
  return sums;
}

std::vector<ProbeSummary> SqliteHistory::QueryProbes(const std::string& text, int64_t probe_id,
                                                     int32_t window_days) {
  last_error_ = {};
  std::vector<ProbeSummary> list;
  const HistoryLimits defaults = DefaultLimits();
  Statement q;
  if (!q.Prepare(db_, text)) {
    last_error_ = Error(path_);
    return list;
  }
  if (probe_id != 0) q.Bind(1, probe_id);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    ProbeSummary p;
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
    RegressionSums sums;
    if (window_days <= 0) {
      sums = {p.count, q.Real(16), q.Real(17), q.Real(18), q.Real(19)};
    } else if (p.count > 0) {
      sums = WindowSums(p.id, window_days, p.count, p.last_time);
    }
    p.own_limits = !q.IsNull(20);
    p.limits =
        p.own_limits ? HistoryLimits{q.Real(20), q.Real(21), q.Real(22), q.Real(23)} : defaults;
    FillProbeFigures(sums, &p);
    list.push_back(std::move(p));
  }
  if (rc != SQLITE_DONE) last_error_ = Error(path_);
  return list;
}

std::vector<ProbeSummary> SqliteHistory::ListProbes(int32_t window_days) {
  return QueryProbes(std::string(sql::kListProbes) + sql::kListOrder, 0, window_days);
}

std::optional<ProbeSummary> SqliteHistory::GetProbe(int64_t probe_id, int32_t window_days) {
  if (probe_id <= 0) return std::nullopt;
  auto list = QueryProbes(std::string(sql::kListProbes) + sql::kOneProbe, probe_id, window_days);
  if (list.empty()) return std::nullopt;
  return std::move(list.front());
}

HistoryLimits SqliteHistory::GetLimits(int64_t probe_id) {
  last_error_ = {};
  if (probe_id != 0) {
    read_limits_.Start().Bind(1, probe_id);
    if (read_limits_.Step() == SQLITE_ROW) {
      const HistoryLimits l{read_limits_.Real(0), read_limits_.Real(1), read_limits_.Real(2),
                            read_limits_.Real(3)};
      read_limits_.Reset();
      return l;
    }
  }
  return DefaultLimits();
}

HistoryStatus SqliteHistory::SetLimits(int64_t probe_id, const HistoryLimits& l) {
  if (read_only_) return WriteRefusal();
  const double all[] = {l.rate_warn, l.rate_alarm, l.consumed_warn, l.consumed_alarm};
  for (double v : all) {
    if (!std::isfinite(v) || v < 0) return HistoryStatus::Fail("Limits must be numbers >= 0.");
  }
  if (l.rate_warn > l.rate_alarm || l.consumed_warn > l.consumed_alarm) {
    return HistoryStatus::Fail("A warning level must not be above its alarm level.");
  }
  Statement q;
  if (probe_id != 0) {
    if (!GetProbe(probe_id, 0)) {
      return HistoryStatus::Fail("No probe with id " + std::to_string(probe_id) + ".");
    }
    if (!q.Prepare(db_, sql::kWriteLimits)) return Error(path_);
  } else if (!q.Prepare(db_, sql::kWriteDefaultLimits)) {
    return Error(path_);
  }
  q.Bind(1, probe_id)
      .Bind(2, l.rate_warn)
      .Bind(3, l.rate_alarm)
      .Bind(4, l.consumed_warn)
      .Bind(5, l.consumed_alarm);
  if (q.Step() != SQLITE_DONE) return Error(path_);
  return {};
}

HistoryStatus SqliteHistory::ClearLimits(int64_t probe_id) {
  if (read_only_) return WriteRefusal();
  if (probe_id == 0) return SetLimits(0, HistoryLimits{});
  Statement q;
  if (!q.Prepare(db_, sql::kClearLimits)) return Error(path_);
  q.Bind(1, probe_id);
  if (q.Step() != SQLITE_DONE) return Error(path_);
  return {};
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
  q.Bind(1, probe_id).Bind(2, time - kReadingEpoch);
  const int rc = q.Step();
  if (rc == SQLITE_ROW)
    return HistorySourceFile{q.Int(0), q.Text(1), q.Int(2), q.Text(3), q.Int(4), q.Int(5)};
  if (rc != SQLITE_DONE) last_error_ = Error(path_);
  return std::nullopt;
}

HistoryStatus SqliteHistory::RemoveProbe(int64_t probe_id) {
  if (read_only_) return WriteRefusal();
  Statement q;
  if (!q.Prepare(db_, sql::kRemoveProbe)) return Error(path_);
  q.Bind(1, probe_id);
  if (q.Step() != SQLITE_DONE) return Error(path_);
  if (sqlite3_changes(db_) == 0) {
    return HistoryStatus::Fail("No probe with id " + std::to_string(probe_id) + ".");
  }
  return {};
}

}  // namespace tarn::sqlite_store
