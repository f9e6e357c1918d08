// SPDX-License-Identifier: GPL-3.0-or-later
// The PostgreSQL history's kept day extremes (pg_day_statements.h): gathered by an import, taken
// again from the readings after any other change, and read by a graph whose columns span days.
#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "history/pg/pg_day_statements.h"
#include "history/pg/pg_periods.h"
#include "history/pg/pg_store.h"
#include "history/pg/pg_values.h"

namespace tarn {

namespace sql = pg_sql;

namespace {

// Consecutive days of the same probe as one range, for the statements that take days again.
struct DayRanges {
  std::vector<int64_t> probes, from, to;
  void Add(int64_t probe, int64_t day) {
    if (!probes.empty() && probes.back() == probe && to.back() + 1 >= day) {
      to.back() = std::max(to.back(), day);
      return;
    }
    probes.push_back(probe);
    from.push_back(day);
    to.push_back(day);
  }
};

}  // namespace

void PgHistory::GatherDays(const ImportProbe& before, const std::vector<HistoryReading>& fresh,
                           const std::vector<HistoryReading>& stored) {
  WalkPeriods(
      before, fresh, stored, sql::kSecondsPerDay,
      [&](int64_t day, HistoryTime start, const std::vector<const HistoryReading*>& readings) {
        if (static_cast<int64_t>(readings.size()) < sql::kDayRowMin) return;
        const HistoryReading* r0 = readings.front();
        DayExtremes d{static_cast<int32_t>(readings.size()),
                      static_cast<int32_t>(before.id),
                      static_cast<int32_t>(day),
                      start,
                      {*r0, *r0, *r0, *r0}};
        HistoryReading& first = d.four[0];
        HistoryReading& low = d.four[1];
        HistoryReading& high = d.four[2];
        HistoryReading& last = d.four[3];
        // In no particular order: the new readings, then the stored ones.
        for (const HistoryReading* r : readings) {
          if (r->time < first.time) first = *r;
          if (r->time > last.time) last = *r;
          if (r->value < low.value || (r->value == low.value && r->time < low.time)) low = *r;
          if (r->value > high.value || (r->value == high.value && r->time < high.time)) high = *r;
        }
        days_.rows.push_back(d);
      },
      [&](int64_t day) { days_.recount.emplace_back(before.id, day); });
}

Status PgHistory::FlushDays() {
  if (days_.rows.empty()) return {};
  Status copied = db_.BeginCopy(sql::kCopyDays);
  if (copied) {
    for (const DayExtremes& d : days_.rows) {
      int32_t times[4];
      double values[4];
      for (int i = 0; i < 4; ++i) {
        times[i] = static_cast<int32_t>(d.four[i].time - d.start);
        values[i] = d.four[i].value;
      }
      db_.CopyDayRow(d.n, d.probe_id, d.day, times, values);
    }
    copied = db_.EndCopy();
  }
  if (!copied) {
    return db_.Bad()
               ? Failure(PgResult())
               : Status::Fail("The history server " + location_ + " refused: " + copied.message);
  }
  days_.rows.clear();
  return {};
}

Status PgHistory::MergeDays() {
  if (Status st = FlushDays(); !st) return st;
  std::vector<std::pair<int64_t, int64_t>> recount = std::move(days_.recount);
  days_.recount.clear();
  std::sort(recount.begin(), recount.end());
  std::vector<int64_t> probes, days;
  DayRanges ranges;
  for (const auto& [probe, day] : recount) {
    probes.push_back(probe);
    days.push_back(day);
    ranges.Add(probe, day);
  }
  if (Status st = Run(sql::kMergeDays, {NumberArray(probes), NumberArray(days)}); !st) return st;
  if (ranges.probes.empty()) return {};
  return TakeDays(ranges.probes, ranges.from, ranges.to);
}

Status PgHistory::TakeDays(const std::vector<int64_t>& probes, const std::vector<int64_t>& from,
                           const std::vector<int64_t>& to) {
  const std::string p = NumberArray(probes), a = NumberArray(from), b = NumberArray(to);
  if (Status st = Run(sql::kDropDays, {p, a, b}); !st) return st;
  return Run(sql::kTakeDays, {p, a, b, sql::kDayRowMin});
}

Status PgHistory::DaysAgain(int64_t probe_id, const std::set<int64_t>& hours) {
  DayRanges ranges;
  for (const int64_t h : hours) ranges.Add(probe_id, h / 24 - (h % 24 < 0 ? 1 : 0));
  if (ranges.probes.empty()) return {};
  return TakeDays(ranges.probes, ranges.from, ranges.to);
}

Status PgHistory::DecimateByDays(int64_t probe_id, int64_t lo, int64_t hi,
                                 ColumnExtremes* columns) {
  constexpr int64_t kDay = sql::kSecondsPerDay;
  // The days wholly inside the range (times of the table).
  const int64_t first_day = lo / kDay + (lo % kDay > 0 ? 1 : 0);
  const int64_t last_day = (hi - kDay + 1) / kDay - ((hi - kDay + 1) % kDay < 0 ? 1 : 0);
  const std::string id = std::to_string(probe_id), epoch = std::to_string(kReadingEpoch);
  std::string times;
  for (const char* c : {"first", "low", "high", "last"}) {
    times += std::string(times.empty() ? "" : ", ") + "day::bigint * 86400 + " + c + "_t + " +
             epoch + ", " + c + "_v";
  }
  PgResult q = db_.ExecBinary("SELECT " + times +
                              ", day::bigint FROM tarn.reading_day WHERE probe_id = " + id +
                              " AND day BETWEEN " + std::to_string(first_day) + " AND " +
                              std::to_string(last_day) + " ORDER BY day");
  if (!q.ok()) return Failure(q);
  // A day wholly inside one column gives its four figures, all that column needs of it; the
  // stretches between such days give their readings.
  auto column = [&](int64_t t) { return columns->ColumnOf(t + kReadingEpoch); };
  std::vector<int64_t> gap_from, gap_to;
  int64_t next = lo;  // the first time not yet covered
  for (int i = 0; i < q.rows(); ++i) {
    const int64_t start = q.BinaryInt(i, 8) * kDay;
    if (column(start) != column(start + kDay - 1)) continue;
    if (start > next) {
      gap_from.push_back(next);
      gap_to.push_back(start - 1);
    }
    next = start + kDay;
    for (int k = 0; k < 4; ++k) columns->Offer({q.BinaryInt(i, 2 * k), q.BinaryReal(i, 2 * k + 1)});
  }
  if (next <= hi) {
    gap_from.push_back(next);
    gap_to.push_back(hi);
  }
  if (gap_from.empty()) return {};
  // In no particular order, which the columns do not need: no sort of what may be millions of
  // readings. OFFSET 0 keeps each stretch a look-up of its own key range.
  return FetchReadings("SELECT r.t + " + epoch + ", r.v FROM unnest('" + NumberArray(gap_from) +
                           "'::bigint[], '" + NumberArray(gap_to) +
                           "'::bigint[]) AS g(lo, hi), LATERAL (SELECT t, v FROM tarn.reading"
                           " WHERE probe_id = " +
                           id + " AND t BETWEEN g.lo AND g.hi OFFSET 0) r",
                       [&](const HistoryReading& r) { columns->Offer(r); });
}

}  // namespace tarn
