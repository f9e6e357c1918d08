#include "history/pg_statements.h"
#include "history/pg_store.h"

namespace tarn {

namespace sql = pg_sql;

std::vector<HistorySourceFile> PgHistory::SourceFiles() {
  std::vector<HistorySourceFile> out;
  if (last_error_ = Ready(); !last_error_) return out;
  PgResult q = db_.Exec(sql::kSourceFiles);
  if (!q.ok()) {
    last_error_ = Failure(q);
    return out;
  }
  for (int i = 0; i < q.rows(); ++i) {
    out.push_back({q.Int(i, 0), q.Text(i, 1), q.Int(i, 2), q.Text(i, 3), q.Int(i, 4), q.Int(i, 5)});
  }
  return out;
}

std::vector<HistoryRun> PgHistory::ReadingRuns(int64_t probe_id) {
  std::vector<HistoryRun> out;
  if (last_error_ = Ready(); !last_error_) return out;
  PgResult q = db_.Exec(sql::kReadingRuns, {probe_id, kPgReadingEpoch});
  if (!q.ok()) {
    last_error_ = Failure(q);
    return out;
  }
  for (int i = 0; i < q.rows(); ++i) {
    out.push_back({q.Int(i, 0), q.Int(i, 1), q.Int(i, 2), q.Int(i, 3)});
  }
  return out;
}

std::vector<StoredConflict> PgHistory::ProbeConflicts(int64_t probe_id) {
  std::vector<StoredConflict> out;
  if (last_error_ = Ready(); !last_error_) return out;
  PgResult q = db_.Exec(sql::kProbeConflicts, {probe_id});
  if (!q.ok()) {
    last_error_ = Failure(q);
    return out;
  }
  for (int i = 0; i < q.rows(); ++i) {
    out.push_back({q.Int(i, 0), q.Int(i, 1), q.Real(i, 2), q.Real(i, 3)});
  }
  return out;
}

}  // namespace tarn
