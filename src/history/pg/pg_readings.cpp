// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/pg/pg_store.h"

#include <algorithm>
#include <climits>

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
  // Pages of readings in index order, each starting after the last one read: a bounded share
  // of a long history is held at a time, and rows cost what a batch costs (a row at a time,
  // twenty years of hourly readings took a third of a second).
  constexpr int64_t kPage = 16384;
  int64_t lo = std::max(from, INT64_MIN + kReadingEpoch) - kReadingEpoch;
  const int64_t hi = std::min(to, INT64_MAX - 1) - kReadingEpoch;
  ColumnDecimator columns_of(from, to, columns, &out);
  while (lo <= hi) {
    PgResult q = db_.Exec(sql::kReadingsInRangePage, {probe_id, lo, hi, kReadingEpoch, kPage});
    if (!q.ok()) {
      last_error_ = Failure(q);
      out.clear();
      return out;
    }
    for (int i = 0; i < q.rows(); ++i) columns_of.Offer({q.Int(i, 0), q.Real(i, 1)});
    if (q.rows() < kPage) break;
    lo = q.Int(q.rows() - 1, 0) - kReadingEpoch + 1;
  }
  columns_of.Flush();
  return out;
}

}  // namespace tarn
