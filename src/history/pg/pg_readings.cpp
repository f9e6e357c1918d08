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
  // Rows arrive one at a time in index order, so no more than one column is ever held.
  const PgParam params[] = {probe_id, std::max(from, INT64_MIN + kReadingEpoch) - kReadingEpoch,
                            std::min(to, INT64_MAX - 1) - kReadingEpoch, kReadingEpoch};
  const char* values[] = {params[0].text.c_str(), params[1].text.c_str(), params[2].text.c_str(),
                          params[3].text.c_str()};
  if (!PQsendQueryParams(db_.get(), sql::kReadingsInRange, 4, nullptr, values, nullptr, nullptr,
                         0) ||
      !PQsetSingleRowMode(db_.get())) {
    last_error_ = Failure(PgResult());
    return out;
  }
  ColumnDecimator columns_of(from, to, columns, &out);
  while (PGresult* raw = PQgetResult(db_.get())) {
    PgResult row(raw);
    if (PQresultStatus(raw) == PGRES_TUPLES_OK) continue;  // the end of the rows
    if (PQresultStatus(raw) != PGRES_SINGLE_TUPLE) {
      last_error_ = Failure(row);
      continue;
    }
    columns_of.Offer({row.Int(0, 0), row.Real(0, 1)});
  }
  columns_of.Flush();
  if (!last_error_) out.clear();
  return out;
}

}  // namespace tarn
