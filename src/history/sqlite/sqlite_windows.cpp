// SPDX-License-Identifier: GPL-3.0-or-later
// Least-squares sums over a rate window, from the hour sums and the readings of the hour the
// window starts in and of hours without a row, and the stored sums of the windows the probe list
// offers.
#include "history/sqlite/sqlite_store.h"

namespace tarn::sqlite_store {

Status SqliteHistory::WindowSums(int64_t probe_id, HistoryTime last, int32_t days,
                                 RegressionSums* out) {
  *out = {};
  const HistoryTime from = last - int64_t{days} * kSecondsPerDay;
  int rc = SQLITE_DONE;
  // Readings from `a` to `b` one by one: the hour the window starts in and hours without a row.
  auto add_readings = [&](HistoryTime a, HistoryTime b) {
    readings_in_range_.Start().Bind(1, ReadingKey(probe_id, a)).Bind(2, ReadingKey(probe_id, b));
    while ((rc = readings_in_range_.Step()) == SQLITE_ROW) {
      out->Add(Days(KeyTime(readings_in_range_.Int(0)), from), readings_in_range_.Real(1));
    }
  };
  int64_t hour = FloorDiv(from - kReadingEpoch, kHour);
  if (from - kReadingEpoch != hour * kHour) ++hour;
  HistoryTime next = from;  // the readings before it are summed
  // An hour's sums have x in seconds from its start; shifted to days from the window's start:
  // x' = x / 86400 + d gives Σx' = Σx/86400 + nd, Σx'² = Σx²/86400² + 2dΣx/86400 + nd²,
  // Σx'y = Σxy/86400 + dΣy.
  constexpr double kDay = static_cast<double>(kSecondsPerDay);
  Statement& h = window_hours_;
  h.Start().Bind(1, probe_id).Bind(2, hour);
  int hrc;
  while ((hrc = h.Step()) == SQLITE_ROW) {
    const HistoryTime start = kReadingEpoch + h.Int(0) * kHour;
    if (start > next) {
      add_readings(next, start - 1);
      if (rc != SQLITE_DONE) break;
    }
    next = start + kHour;
    const double d = Days(start, from);
    const int64_t n = h.Int(1);
    const double sx = h.Real(2) / kDay, sy = h.Real(3), sxy = h.Real(4) / kDay;
    const double sxx = h.Real(5) / (kDay * kDay);
    out->n += n;
    out->sx += sx + static_cast<double>(n) * d;
    out->sy += sy;
    out->sxy += sxy + d * sy;
    out->sxx += sxx + 2.0 * d * sx + static_cast<double>(n) * d * d;
  }
  h.Reset();
  if (hrc == SQLITE_DONE && rc == SQLITE_DONE && next <= last) add_readings(next, last);
  if (hrc != SQLITE_DONE && hrc != SQLITE_ROW) return Error(path_);
  if (rc != SQLITE_DONE) return Error(path_);
  return {};
}

Status SqliteHistory::StoreWindows(int64_t probe_id, HistoryTime last) {
  for (const int32_t days : kStoredWindows) {
    RegressionSums s;
    if (Status st = WindowSums(probe_id, last, days, &s); !st) return st;
    write_window_.Start()
        .Bind(1, probe_id)
        .Bind(2, int64_t{days})
        .Bind(3, s.n)
        .Bind(4, s.sx)
        .Bind(5, s.sy)
        .Bind(6, s.sxy)
        .Bind(7, s.sxx);
    if (write_window_.Step() != SQLITE_DONE) return Error(path_);
  }
  return {};
}

}  // namespace tarn::sqlite_store
