// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/pg/pg_store.h"

#include <algorithm>
#include <climits>

#include "history/pg/pg_statements.h"

namespace tarn {

namespace sql = pg_sql;

std::vector<HistoryReading> PgHistory::ReadRange(int64_t probe_id, HistoryTime from,
                                                 HistoryTime to) {
  return Rows<HistoryReading>(sql::kReadingsInRange,
                              {probe_id, std::max(from, INT64_MIN + kReadingEpoch) - kReadingEpoch,
                               std::min(to, INT64_MAX - 1) - kReadingEpoch, kReadingEpoch},
                              [](const PgResult& q, int i) {
                                return HistoryReading{q.Int(i, 0), q.Real(i, 1)};
                              });
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
  const double span = static_cast<double>(to - from) + 1.0;
  int64_t column = -1;
  HistoryReading first{}, low{}, high{}, last{};
  auto flush = [&] {
    if (column < 0) return;
    HistoryReading four[4] = {first, low, high, last};
    std::sort(std::begin(four), std::end(four),
              [](const HistoryReading& a, const HistoryReading& b) { return a.time < b.time; });
    for (const HistoryReading& r : four) {
      if (out.empty() || out.back().time != r.time) out.push_back(r);
    }
  };
  while (PGresult* raw = PQgetResult(db_.get())) {
    PgResult row(raw);
    if (PQresultStatus(raw) == PGRES_TUPLES_OK) continue;  // the end of the rows
    if (PQresultStatus(raw) != PGRES_SINGLE_TUPLE) {
      last_error_ = Failure(row);
      continue;
    }
    const HistoryReading r{row.Int(0, 0), row.Real(0, 1)};
    const auto c = static_cast<int64_t>(static_cast<double>(r.time - from) * columns / span);
    if (c != column) {
      flush();
      column = c;
      first = low = high = last = r;
      continue;
    }
    if (r.value < low.value) low = r;
    if (r.value > high.value) high = r;
    last = r;
  }
  flush();
  if (!last_error_) out.clear();
  return out;
}

}  // namespace tarn
