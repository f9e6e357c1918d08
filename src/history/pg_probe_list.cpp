#include "history/pg_store.h"

#include "history/pg_statements.h"
#include "history/pg_values.h"

namespace tarn {

namespace sql = pg_sql;

HistoryLimits PgHistory::DefaultLimits() {
  HistoryLimits l;
  PgResult r = db_.Exec(sql::kReadDefaultLimits);
  if (r.ok() && r.rows() > 0) l = {r.Real(0, 0), r.Real(0, 1), r.Real(0, 2), r.Real(0, 3)};
  return l;
}

HistoryStatus PgHistory::FillWindows(const std::vector<ProbeSummary>& probes, int32_t window_days) {
  std::vector<int64_t> ids, lasts;
  for (const ProbeSummary& p : probes) {
    const auto it = windows_.find({p.id, window_days});
    if (p.count > 0 &&
        (it == windows_.end() || it->second.count != p.count || it->second.last != p.last_time)) {
      ids.push_back(p.id);
      lasts.push_back(p.last_time);
      windows_[{p.id, window_days}] = {p.count, p.last_time, {}};
    }
  }
  if (ids.empty()) return {};
  PgResult q = db_.Exec(sql::kWindowSums,
                        {NumberArray(ids), NumberArray(lasts), window_days, kPgReadingEpoch});
  if (!q.ok()) {
    for (int64_t id : ids) windows_.erase({id, window_days});
    return Failure(q);
  }
  for (int i = 0; i < q.rows(); ++i) {
    windows_[{q.Int(i, 0), window_days}].sums = {q.Int(i, 1), q.Real(i, 2), q.Real(i, 3),
                                                 q.Real(i, 4), q.Real(i, 5)};
  }
  return {};
}

std::vector<ProbeSummary> PgHistory::QueryProbes(int64_t probe_id, int32_t window_days) {
  std::vector<ProbeSummary> list;
  if (last_error_ = Ready(); !last_error_) return list;
  const HistoryLimits defaults = DefaultLimits();
  PgResult q = db_.Exec(sql::kListProbes, {probe_id});
  if (!q.ok()) {
    last_error_ = Failure(q);
    return list;
  }
  list.reserve(static_cast<std::size_t>(q.rows()));
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
    list.push_back(std::move(p));
  }
  if (window_days > 0) {
    if (last_error_ = FillWindows(list, window_days); !last_error_) return {};
  }
  for (int i = 0; i < q.rows(); ++i) {
    ProbeSummary& p = list[static_cast<std::size_t>(i)];
    RegressionSums sums;
    if (window_days <= 0) {
      sums = {p.count, q.Real(i, 15), q.Real(i, 16), q.Real(i, 17), q.Real(i, 18)};
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
