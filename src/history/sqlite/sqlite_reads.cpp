// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>

#include "history/column_decimator.h"
#include "history/sqlite/sqlite_store.h"

namespace tarn::sqlite_store {

std::vector<HistoryReading> SqliteHistory::ReadRange(int64_t probe_id, HistoryTime from,
                                                     HistoryTime to) {
  last_error_ = {};
  std::vector<HistoryReading> out;
  if (to < from || to < kReadingEpoch - kTimeBias || from >= kReadingEpoch + kTimeBias) return out;
  last_error_ = ReadingsBetween(probe_id, from, to, &out);
  return out;
}

std::vector<HistoryReading> SqliteHistory::ReadDecimated(int64_t probe_id, HistoryTime from,
                                                         HistoryTime to, int32_t columns) {
  std::vector<HistoryReading> out;
  if (last_error_ = Present(); !last_error_) return out;
  if (columns <= 0 || to < from) return out;
  // Readings (or an hour's four figures) arrive in time order.
  ColumnDecimator columns_of(from, to, columns, &out);
  auto column_of = [&](HistoryTime t) { return columns_of.ColumnOf(t); };
  auto offer = [&](const HistoryReading& r) { columns_of.Offer(r); };
  int rc = SQLITE_DONE;
  auto read_raw = [&](HistoryTime a, HistoryTime b) {
    readings_in_range_.Start().Bind(1, ReadingKey(probe_id, a)).Bind(2, ReadingKey(probe_id, b));
    sqlite3_stmt* st = readings_in_range_.get();
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      offer({KeyTime(sqlite3_column_int64(st, 0)), sqlite3_column_double(st, 1)});
    }
  };
  // An hour wholly inside one column gives its four figures; any other hour its readings, as do
  // the stretches between hour rows (hours of few readings have none).
  HistoryTime next = from;  // the readings before it are offered
  const HistoryTime lo = std::max(from, INT64_MIN / 2), hi = std::min(to, INT64_MAX / 2);
  hours_in_range_.Start()
      .Bind(1, probe_id)
      .Bind(2, FloorDiv(lo - kReadingEpoch, kHour))
      .Bind(3, FloorDiv(hi - kReadingEpoch, kHour));
  int hrc;
  Statement& h = hours_in_range_;
  while ((hrc = h.Step()) == SQLITE_ROW) {
    const HistoryTime start = h.Int(0) * kHour + kReadingEpoch;
    const HistoryTime end = start + kHour - 1;
    if (start > next) {
      read_raw(next, start - 1);
      if (rc != SQLITE_DONE) break;
    }
    next = end + 1;
    if (start >= from && end <= to && column_of(start) == column_of(end)) {
      HistoryReading four[4] = {{h.Int(2) + kReadingEpoch, h.Real(3)},
                                {h.Int(6) + kReadingEpoch, h.Real(7)},
                                {h.Int(8) + kReadingEpoch, h.Real(9)},
                                {h.Int(4) + kReadingEpoch, h.Real(5)}};
      ColumnDecimator::SortByTime(four);
      for (int i = 0; i < 4; ++i) {
        if (i == 0 || four[i].time != four[i - 1].time) offer(four[i]);
      }
    } else {
      read_raw(std::max(start, from), std::min(end, to));
      if (rc != SQLITE_DONE) break;
    }
  }
  if (hrc == SQLITE_DONE && rc == SQLITE_DONE && next <= to) read_raw(next, to);
  columns_of.Flush();
  if (hrc != SQLITE_DONE && hrc != SQLITE_ROW) last_error_ = Error(path_);
  if (rc != SQLITE_DONE) last_error_ = Error(path_);
  h.Reset();
  return out;
}

}  // namespace tarn::sqlite_store
