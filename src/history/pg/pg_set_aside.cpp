// SPDX-License-Identifier: GPL-3.0-or-later
// The PostgreSQL history's readings set aside and the falls imports flagged. Reasons and user
// names are UTF-8 already, as the server keeps them.
#include <algorithm>
#include <climits>

#include "history/pg/pg_set_aside_statements.h"
#include "history/pg/pg_store.h"
#include "history/pg/pg_values.h"

namespace tarn {

namespace sql = pg_sql;

Status PgHistory::ReadSetAside(int64_t probe_id, std::vector<SetAsideStretch>* out) {
  PgResult q = db_.Exec(sql::kReadSetAside, {probe_id});
  if (!q.ok()) return Failure(q);
  for (int i = 0; i < q.rows(); ++i) {
    out->push_back({q.Int(i, 0), q.Int(i, 1), q.Int(i, 2), q.Int(i, 3), q.Text(i, 4), q.Int(i, 5),
                    q.Text(i, 6)});
  }
  return {};
}

Status PgHistory::AddSetAside(const SetAsideStretch& s) {
  return Run(sql::kAddSetAside, {s.probe_id, s.from, s.to, s.reason, s.set_at, s.user});
}

Status PgHistory::DropSetAside(int64_t stretch_id) {
  return Run(sql::kDropSetAside, {stretch_id});
}

Status PgHistory::SumReadings(int64_t probe_id, HistoryTime from, HistoryTime to,
                              HistoryTime origin, RegressionSums* sums) {
  // Clamped as ReadRange clamps, so that the times shifted to the readings' scale fit.
  const HistoryTime lo = std::max(from, INT64_MIN + kReadingEpoch) - kReadingEpoch;
  const HistoryTime hi = std::min(to, INT64_MAX - 1) - kReadingEpoch;
  PgResult q = db_.Exec(sql::kSumReadings, {probe_id, lo, hi, origin - kReadingEpoch});
  if (!q.ok() || q.rows() != 1) return Failure(q);
  *sums = {q.Int(0, 0), q.Real(0, 1), q.Real(0, 2), q.Real(0, 3), q.Real(0, 4)};
  return {};
}

Status PgHistory::AddFlags(const std::vector<StepDownFlag>& flags) {
  std::vector<int64_t> probes, times;
  std::vector<double> drops;
  for (const StepDownFlag& f : flags) {
    probes.push_back(f.probe_id);
    times.push_back(f.time);
    drops.push_back(f.drop);
  }
  return Run(sql::kAddFlags, {NumberArray(probes), NumberArray(times), NumberArray(drops)});
}

Status PgHistory::ReadFlags(std::vector<StepDownFlag>* out) {
  PgResult q = db_.Exec(sql::kReadFlags, {kReadingEpoch});
  if (!q.ok()) return Failure(q);
  for (int i = 0; i < q.rows(); ++i) out->push_back({q.Int(i, 0), q.Int(i, 1), q.Real(i, 2)});
  return {};
}

}  // namespace tarn
