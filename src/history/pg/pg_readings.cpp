// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/pg/pg_store.h"

#include <algorithm>
#include <climits>
#include <string>

#include "history/column_decimator.h"
#include "history/pg/pg_day_statements.h"
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
  const int64_t lo = std::max(from, INT64_MIN + kReadingEpoch) - kReadingEpoch;
  const int64_t hi = std::min(to, INT64_MAX - 1) - kReadingEpoch;
  // The kept days and the readings between them are read from one snapshot.
  const bool own = PQtransactionStatus(db_.get()) == PQTRANS_IDLE;
  Status st = own ? Run("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY") : Status{};
  // Where a column spans two days or more, most days lie wholly inside one.
  const double width = (static_cast<double>(to) - static_cast<double>(from) + 1.0) / columns;
  const bool by_days = width >= 2.0 * pg_sql::kSecondsPerDay;
  ColumnDecimator in_order(from, to, columns, &out);
  ColumnExtremes any_order(from, to, by_days ? columns : 0);
  if (st && by_days) {
    st = DecimateByDays(probe_id, lo, hi, &any_order);
  } else if (st) {
    // Numbers only, so the text is safe to build.
    st = FetchReadings("SELECT t + " + std::to_string(kReadingEpoch) +
                           ", v FROM tarn.reading WHERE probe_id = " + std::to_string(probe_id) +
                           " AND t BETWEEN " + std::to_string(lo) + " AND " + std::to_string(hi) +
                           " ORDER BY t",
                       [&](const HistoryReading& r) { in_order.Offer(r); });
  }
  if (st && own) st = Run("COMMIT");
  if (!st) {
    last_error_ = st;
    if (own) Rollback();
    out.clear();
    return out;
  }
  if (by_days) {
    any_order.Flush(&out);
  } else {
    in_order.Flush();
  }
  return out;
}

Status PgHistory::FetchReadings(const std::string& query,
                                const std::function<void(const HistoryReading&)>& each) {
  // One cursor, fetched a page at a time: a bounded share of a long history is held at a time,
  // rows cost what a batch costs, and the range is planned once. Pages of LIMIT queries were
  // each planned alone: without fresh statistics (just after a large import) each sorted the
  // whole rest of the range.
  constexpr int kPage = 16384;
  PgResult q = db_.Exec("DECLARE tarn_decimated NO SCROLL CURSOR FOR " + query);
  while (q.ok()) {
    q = db_.ExecBinary("FETCH " + std::to_string(kPage) + " FROM tarn_decimated");
    if (!q.ok()) break;
    for (int i = 0; i < q.rows(); ++i) each({q.BinaryInt(i, 0), q.BinaryReal(i, 1)});
    if (q.rows() < kPage) break;
  }
  if (q.ok()) q = db_.Exec("CLOSE tarn_decimated");
  return q.ok() ? Status{} : Failure(q);
}

}  // namespace tarn
