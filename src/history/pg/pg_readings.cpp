// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/pg/pg_store.h"

#include <algorithm>
#include <climits>
#include <string>

#include "history/column_decimator.h"
#include "history/pg/pg_statements.h"

namespace tarn {

namespace sql = pg_sql;

std::vector<HistoryReading> PgHistory::ReadRange(int64_t probe_id, HistoryTime from,
                                                 HistoryTime to) {
  std::vector<HistoryReading> out;
  if (last_error_ = Ready(); !last_error_) return out;
  last_error_ = ReadingsBetween(probe_id, std::max(from, INT64_MIN + kReadingEpoch),
                                std::min(to, INT64_MAX - 1), &out);
  return out;
}

std::vector<HistoryReading> PgHistory::ReadDecimated(int64_t probe_id, HistoryTime from,
                                                     HistoryTime to, int32_t columns) {
  std::vector<HistoryReading> out;
  if (columns <= 0 || to < from) return out;
  if (last_error_ = Ready(); !last_error_) return out;
  // One cursor over the range, fetched a page at a time: a bounded share of a long history is
  // held at a time, rows cost what a batch costs, and the range is planned once. Pages of LIMIT
  // queries were each planned alone: without fresh statistics (just after a large import) each
  // sorted the whole rest of the range, and twenty years of hourly readings took a third of a
  // second.
  constexpr int kPage = 16384;
  const int64_t lo = std::max(from, INT64_MIN + kReadingEpoch) - kReadingEpoch;
  const int64_t hi = std::min(to, INT64_MAX - 1) - kReadingEpoch;
  ColumnDecimator columns_of(from, to, columns, &out);
  // Numbers only, so the text is safe to build; a cursor lives in a transaction.
  const bool own = PQtransactionStatus(db_.get()) == PQTRANS_IDLE;
  const std::string declare =
      "DECLARE tarn_decimated NO SCROLL CURSOR FOR SELECT t + " + std::to_string(kReadingEpoch) +
      ", v FROM tarn.reading WHERE probe_id = " + std::to_string(probe_id) + " AND t BETWEEN " +
      std::to_string(lo) + " AND " + std::to_string(hi) + " ORDER BY t";
  PgResult q = own ? db_.Exec("BEGIN READ ONLY") : PgResult();
  if (!own || q.ok()) q = db_.Exec(declare);
  while (q.ok()) {
    q = db_.ExecBinary("FETCH " + std::to_string(kPage) + " FROM tarn_decimated");
    if (!q.ok()) break;
    for (int i = 0; i < q.rows(); ++i) columns_of.Offer({q.BinaryInt(i, 0), q.BinaryReal(i, 1)});
    if (q.rows() < kPage) break;
  }
  if (q.ok()) q = db_.Exec(own ? "COMMIT" : "CLOSE tarn_decimated");
  if (!q.ok()) {
    last_error_ = Failure(q);
    if (own && !db_.Bad()) PQclear(PQexec(db_.get(), "ROLLBACK"));
    out.clear();
    return out;
  }
  columns_of.Flush();
  return out;
}

}  // namespace tarn
