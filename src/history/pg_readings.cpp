#include "history/pg_store.h"

#include <algorithm>
#include <climits>

#include "history/pg_statements.h"

namespace tarn {

namespace sql = pg_sql;

std::vector<HistoryReading> PgHistory::ReadRange(int64_t probe_id, HistoryTime from,
                                                 HistoryTime to) {
  std::vector<HistoryReading> out;
  if (last_error_ = Ready(); !last_error_) return out;
  PgResult q = db_.Exec(sql::kReadingsInRange,
                        {probe_id, std::max(from, INT64_MIN + kPgReadingEpoch) - kPgReadingEpoch,
                         std::min(to, INT64_MAX - 1) - kPgReadingEpoch, kPgReadingEpoch});
  if (!q.ok()) {
    last_error_ = Failure(q);
    return out;
  }
  out.reserve(static_cast<std::size_t>(q.rows()));
  for (int i = 0; i < q.rows(); ++i) out.push_back({q.Int(i, 0), q.Real(i, 1)});
  return out;
}

std::vector<HistoryReading> PgHistory::ReadDecimated(int64_t probe_id, HistoryTime from,
                                                     HistoryTime to, int32_t columns) {
  std::vector<HistoryReading> out;
  if (columns <= 0 || to < from) return out;
  if (last_error_ = Ready(); !last_error_) return out;
  // Rows arrive one at a time in index order, so no more than one column is ever held.
  const PgParam params[] = {probe_id, std::max(from, INT64_MIN + kPgReadingEpoch) - kPgReadingEpoch,
                            std::min(to, INT64_MAX - 1) - kPgReadingEpoch, kPgReadingEpoch};
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

std::vector<HistorySourceFile> PgHistory::ProbeFiles(int64_t probe_id) {
  std::vector<HistorySourceFile> out;
  if (last_error_ = Ready(); !last_error_) return out;
  PgResult q = db_.Exec(sql::kProbeFiles, {probe_id});
  if (!q.ok()) {
    last_error_ = Failure(q);
    return out;
  }
  for (int i = 0; i < q.rows(); ++i) {
    out.push_back({q.Int(i, 0), q.Text(i, 1), q.Int(i, 2), q.Text(i, 3), q.Int(i, 4), q.Int(i, 5)});
  }
  return out;
}

std::optional<HistorySourceFile> PgHistory::ReadingFile(int64_t probe_id, HistoryTime time) {
  if (last_error_ = Ready(); !last_error_) return std::nullopt;
  PgResult q = db_.Exec(sql::kReadingFile, {probe_id, time - kPgReadingEpoch});
  if (!q.ok()) {
    last_error_ = Failure(q);
    return std::nullopt;
  }
  if (q.rows() == 0) return std::nullopt;
  return HistorySourceFile{q.Int(0, 0),  q.Text(0, 1), q.Int(0, 2),
                           q.Text(0, 3), q.Int(0, 4),  q.Int(0, 5)};
}

}  // namespace tarn
