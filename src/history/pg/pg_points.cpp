// SPDX-License-Identifier: GPL-3.0-or-later
// The PostgreSQL history's monitoring points: rows of points and of the probes placed at them.
#include "history/pg/pg_point_statements.h"
#include "history/pg/pg_store.h"
#include "history/pg/pg_values.h"

namespace tarn {

namespace sql = pg_sql;

Status PgHistory::MemberRows(const char* text, std::vector<PointMemberRow>* rows) {
  PgResult q = db_.Exec(text);
  if (!q.ok()) return Failure(q);
  rows->reserve(rows->size() + static_cast<std::size_t>(q.rows()));
  for (int i = 0; i < q.rows(); ++i) {
    PointMemberRow m;
    m.point_id = q.Int(i, 0);
    m.path = FromServer(q.Text(i, 1));
    if (!q.IsNull(i, 2)) {
      m.own_limits = HistoryLimits{q.Real(i, 2), q.Real(i, 3), q.Real(i, 4), q.Real(i, 5)};
    }
    if (!q.IsNull(i, 6)) {
      m.probe_id = q.Int(i, 6);
      m.key = {FromServer(q.Text(i, 7)), FromServer(q.Text(i, 8)),
               static_cast<int32_t>(q.Int(i, 9))};
      m.first_time = q.Int(i, 10);
      if (!q.IsNull(i, 11)) m.from = q.Int(i, 11);
    }
    rows->push_back(std::move(m));
  }
  return {};
}

Status PgHistory::ReadPointMembers(std::vector<PointMemberRow>* rows) {
  return MemberRows(sql::kReadPointMembers, rows);
}

Status PgHistory::UnplacedProbes(std::vector<PointMemberRow>* probes) {
  if (Status st = Ready(); !st) return st;
  return MemberRows(sql::kUnplacedProbes, probes);
}

Status PgHistory::AddPoint(const std::string& path, const std::string& key, int64_t* point_id) {
  PgResult made = db_.Exec(sql::kAddPoint, {ToServer(path), ToServer(key)});
  if (!made.ok() || made.rows() != 1) return Failure(made);
  *point_id = made.Int(0, 0);
  return {};
}

Status PgHistory::PlaceProbe(int64_t probe_id, int64_t point_id, std::optional<HistoryTime> from) {
  return Run(sql::kPlaceProbe, {probe_id, point_id, from ? std::to_string(*from) : std::string()});
}

Status PgHistory::WritePointPath(int64_t point_id, const std::string& path,
                                 const std::string& key) {
  return Run(sql::kWritePointPath, {point_id, ToServer(path), ToServer(key)});
}

Status PgHistory::DropPoint(int64_t point_id) {
  return Run(sql::kDropPoint, {point_id});
}

Status PgHistory::WritePointLimits(int64_t point_id, const std::optional<HistoryLimits>& l) {
  // Full precision as text; empty texts put NULL (the defaults).
  auto text = [&](double v) { return l ? PgParam(v).text : std::string(); };
  return Run(sql::kWritePointLimits,
             {point_id, text(l ? l->rate_warn : 0), text(l ? l->rate_alarm : 0),
              text(l ? l->consumed_warn : 0), text(l ? l->consumed_alarm : 0)});
}

}  // namespace tarn
