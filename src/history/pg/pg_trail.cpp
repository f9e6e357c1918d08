// SPDX-License-Identifier: GPL-3.0-or-later
#include <optional>
#include <utility>

#include "history/pg/pg_statements.h"
#include "history/pg/pg_store.h"

namespace tarn {

namespace sql = pg_sql;

namespace {

// The columns of kSourceFiles and kProbeFiles.
HistorySourceFile SourceFileRow(const PgResult& q, int i) {
  return {q.Int(i, 0), q.Text(i, 1), q.Int(i, 2), q.Text(i, 3), q.Int(i, 4), q.Int(i, 5)};
}

}  // namespace

std::vector<HistorySourceFile> PgHistory::SourceFiles() {
  return Rows<HistorySourceFile>(sql::kSourceFiles, {}, SourceFileRow);
}

std::vector<HistorySourceFile> PgHistory::ProbeFiles(int64_t probe_id) {
  return Rows<HistorySourceFile>(sql::kProbeFiles, {probe_id}, SourceFileRow);
}

std::optional<HistorySourceFile> PgHistory::ReadingFile(int64_t probe_id, HistoryTime time) {
  std::vector<HistorySourceFile> files =
      Rows<HistorySourceFile>(sql::kReadingFile, {probe_id, time - kReadingEpoch}, SourceFileRow);
  if (files.empty()) return std::nullopt;
  return std::move(files.front());
}

std::vector<HistoryRun> PgHistory::ReadingRuns(int64_t probe_id) {
  return Rows<HistoryRun>(sql::kReadingRuns, {probe_id, kReadingEpoch},
                          [](const PgResult& q, int i) {
                            return HistoryRun{q.Int(i, 0), q.Int(i, 1), q.Int(i, 2), q.Int(i, 3)};
                          });
}

std::vector<StoredConflict> PgHistory::ProbeConflicts(int64_t probe_id) {
  return Rows<StoredConflict>(sql::kProbeConflicts, {probe_id}, [](const PgResult& q, int i) {
    return StoredConflict{q.Int(i, 0), q.Int(i, 1), q.Real(i, 2), q.Real(i, 3)};
  });
}

}  // namespace tarn
