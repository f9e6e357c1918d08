// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/pg/pg_store.h"

#include "history/pg/pg_statements.h"
#include "history/pg/pg_values.h"

namespace tarn {

namespace sql = pg_sql;

HistoryLimits PgHistory::DefaultLimits() {
  HistoryLimits l;
  PgResult r = db_.Exec(sql::kReadDefaultLimits);
  if (r.ok() && r.rows() > 0) l = {r.Real(0, 0), r.Real(0, 1), r.Real(0, 2), r.Real(0, 3)};
  return l;
}

namespace {

// The server sums x in seconds from the window's start; the figures take days.
RegressionSums InDays(const PgResult& q, int row, int col) {
  constexpr double kDay = kSecondsPerDay;
  return {q.Int(row, col), q.Real(row, col + 1) / kDay, q.Real(row, col + 2),
          q.Real(row, col + 3) / kDay, q.Real(row, col + 4) / (kDay * kDay)};
}

}  // namespace

Status PgHistory::FillWindows(const std::vector<ProbeSummary>& probes, int32_t window_days) {
  std::vector<int64_t> ids;
  for (const ProbeSummary& p : probes) {
    const auto it = windows_.find({p.id, window_days});
    if (p.count > 0 &&
        (it == windows_.end() || it->second.count != p.count || it->second.last != p.last_time)) {
      ids.push_back(p.id);
    }
  }
  if (ids.empty()) return {};
  PgResult q = db_.Exec(sql::kWindowSums,
                        {NumberArray(ids), "{" + std::to_string(window_days) + "}", kReadingEpoch});
  if (!q.ok()) return Failure(q);
  for (int i = 0; i < q.rows(); ++i) {
    windows_[{q.Int(i, 0), window_days}] = {q.Int(i, 2), q.Int(i, 3), InDays(q, i, 4)};
  }
  return {};
}

std::vector<ProbeSummary> PgHistory::QueryProbes(int64_t probe_id, int32_t window_days) {
  std::vector<ProbeSummary> list;
  if (last_error_ = Ready(); !last_error_) return list;
  const HistoryLimits defaults = DefaultLimits();
  PgResult q = db_.Exec(sql::kListProbes, {probe_id, window_days});
  if (!q.ok()) {
    last_error_ = Failure(q);
    return list;
  }
  list.reserve(static_cast<std::size_t>(q.rows()));
  std::vector<ProbeSummary> unkept;  // probes whose window sums are not kept up to date
  for (int i = 0; i < q.rows(); ++i) {
    ProbeSummary p;
    p.id = q.Int(i, 0);
    p.key = {FromServer(q.Text(i, 1)), FromServer(q.Text(i, 2)), static_cast<int32_t>(q.Int(i, 3))};
    p.header.part_no = FromServer(q.Text(i, 4));
    p.header.probe_type_str = FromServer(q.Text(i, 5));
    p.header.probe_type = static_cast<int32_t>(q.Int(i, 6));
    p.header.mloss_unit = FromServer(q.Text(i, 7));
    p.header.thickness = q.Real(i, 8);
    p.header.read_interval = FromServer(q.Text(i, 9));
    p.header.probe_life = q.Real(i, 10);
    p.count = q.Int(i, 11);
    p.first_time = q.Int(i, 12);
    p.last_time = q.Int(i, 13);
    p.latest_value = q.Real(i, 14);
    p.own_limits = !q.IsNull(i, 19);
    p.limits = p.own_limits
                   ? HistoryLimits{q.Real(i, 19), q.Real(i, 20), q.Real(i, 21), q.Real(i, 22)}
                   : defaults;
    if (window_days > 0 && q.IsNull(i, 23)) unkept.push_back(p);
    list.push_back(std::move(p));
  }
  if (!unkept.empty()) {
    if (last_error_ = FillWindows(unkept, window_days); !last_error_) return {};
  }
  for (int i = 0; i < q.rows(); ++i) {
    ProbeSummary& p = list[static_cast<std::size_t>(i)];
    RegressionSums sums;
    if (window_days <= 0) {
      sums = {p.count, q.Real(i, 15), q.Real(i, 16), q.Real(i, 17), q.Real(i, 18)};
    } else if (!q.IsNull(i, 23)) {
      sums = InDays(q, i, 23);
    } else if (p.count > 0) {
      sums = windows_[{p.id, window_days}].sums;
    }
    FillProbeFigures(sums, &p);
  }
  return list;
}

std::vector<ProbeSummary> PgHistory::ListProbes(int32_t window_days) {
  return QueryProbes(0, window_days);
}

std::optional<ProbeSummary> PgHistory::GetProbe(int64_t probe_id, int32_t window_days) {
  if (probe_id <= 0) return std::nullopt;
  auto list = QueryProbes(probe_id, window_days);
  if (list.empty()) return std::nullopt;
  return std::move(list.front());
}

}  // namespace tarn
