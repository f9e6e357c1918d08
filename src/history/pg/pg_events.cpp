// SPDX-License-Identifier: GPL-3.0-or-later
// The PostgreSQL history's events: rows written, removed and read, and the readings of their
// sides read many spans a query.
#include <algorithm>
#include <climits>

#include "history/event_figures.h"
#include "history/pg/pg_point_statements.h"
#include "history/pg/pg_store.h"
#include "history/pg/pg_values.h"

namespace tarn {

namespace sql = pg_sql;

Status PgHistory::AddEventRow(const HistoryEvent& e, int64_t* id) {
  PgResult made =
      db_.Exec(sql::kAddEvent, {e.time, ToServer(e.path), EventKindWord(e.kind), ToServer(e.note)});
  if (!made.ok() || made.rows() != 1) return Failure(made);
  *id = made.Int(0, 0);
  return {};
}

Status PgHistory::WriteEventRow(const HistoryEvent& e, bool* found) {
  PgResult q = db_.Exec(sql::kWriteEvent,
                        {e.id, e.time, ToServer(e.path), EventKindWord(e.kind), ToServer(e.note)});
  if (!q.ok()) return Failure(q);
  *found = q.Affected() > 0;
  return {};
}

Status PgHistory::DeleteEventRow(int64_t event_id, bool* found) {
  PgResult q = db_.Exec(sql::kDeleteEvent, {event_id});
  if (!q.ok()) return Failure(q);
  *found = q.Affected() > 0;
  return {};
}

Status PgHistory::ReadEventRows(std::vector<HistoryEvent>* out) {
  PgResult q = db_.Exec(sql::kReadEvents);
  if (!q.ok()) return Failure(q);
  for (int i = 0; i < q.rows(); ++i) {
    HistoryEvent e;
    e.id = q.Int(i, 0);
    e.time = q.Int(i, 1);
    e.path = FromServer(q.Text(i, 2));
    ParseEventKind(q.Text(i, 3), &e.kind);
    e.note = FromServer(q.Text(i, 4));
    out->push_back(std::move(e));
  }
  return {};
}

Status PgHistory::ReadingsOfSpans(const std::vector<ReadingSpan>& spans,
                                  std::vector<std::vector<HistoryReading>>* out) {
  out->assign(spans.size(), {});
  // A query a few hundred spans at a time: one round trip for many, a result of bounded size.
  constexpr std::size_t kSpansAQuery = 256;
  for (std::size_t first = 0; first < spans.size(); first += kSpansAQuery) {
    const std::size_t last = std::min(spans.size(), first + kSpansAQuery);
    std::vector<int64_t> probes, from, to;
    for (std::size_t i = first; i < last; ++i) {
      probes.push_back(spans[i].probe_id);
      // Times outside the stored clock's range hold no readings.
      from.push_back(std::max(spans[i].from, INT64_MIN + kReadingEpoch) - kReadingEpoch);
      to.push_back(std::min(spans[i].to, INT64_MAX - 1) - kReadingEpoch);
    }
    PgResult q = db_.Exec(sql::kReadingsOfSpans,
                          {NumberArray(probes), NumberArray(from), NumberArray(to), kReadingEpoch});
    if (!q.ok()) return Failure(q);
    for (int r = 0; r < q.rows(); ++r) {
      const std::size_t i = first + static_cast<std::size_t>(q.Int(r, 0)) - 1;
      (*out)[i].push_back({q.Int(r, 1), q.Real(r, 2)});
    }
  }
  // Each span's rows come in time order from its scan; the statement does not promise it.
  for (std::vector<HistoryReading>& readings : *out) {
    auto earlier = [](const HistoryReading& a, const HistoryReading& b) { return a.time < b.time; };
    if (!std::is_sorted(readings.begin(), readings.end(), earlier)) {
      std::sort(readings.begin(), readings.end(), earlier);
    }
  }
  return {};
}

}  // namespace tarn
