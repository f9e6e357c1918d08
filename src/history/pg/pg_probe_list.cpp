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

Status PgHistory::SumWindows(const std::vector<const ProbeSummary*>& probes, int32_t days,
                             std::map<int64_t, RegressionSums>* sums) {
  std::vector<int64_t> ids;
  ids.reserve(probes.size());
  for (const ProbeSummary* p : probes) ids.push_back(p->id);
  PgResult q = db_.Exec(sql::kWindowSums,
                        {NumberArray(ids), "{" + std::to_string(days) + "}", kReadingEpoch});
  if (!q.ok()) return Failure(q);
  for (int i = 0; i < q.rows(); ++i) (*sums)[q.Int(i, 0)] = InDays(q, i, 4);
  return {};
}

Status PgHistory::ReadProbeRows(int64_t probe_id, int32_t window_days,
                                std::vector<ProbeRow>* rows) {
  PgResult q = db_.Exec(sql::kListProbes, {probe_id, window_days});
  if (!q.ok()) return Failure(q);
  rows->reserve(static_cast<std::size_t>(q.rows()));
  for (int i = 0; i < q.rows(); ++i) {
    ProbeRow row;
    ProbeSummary& p = row.probe;
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
    row.origin = q.Int(i, 28);
    row.whole = {p.count, q.Real(i, 15), q.Real(i, 16), q.Real(i, 17), q.Real(i, 18)};
    p.own_limits = !q.IsNull(i, 19);
    if (p.own_limits) p.limits = {q.Real(i, 19), q.Real(i, 20), q.Real(i, 21), q.Real(i, 22)};
    if (window_days > 0 && !q.IsNull(i, 23)) row.window = InDays(q, i, 23);
    rows->push_back(std::move(row));
  }
  return {};
}

}  // namespace tarn
