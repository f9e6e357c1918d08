// SPDX-License-Identifier: GPL-3.0-or-later
// The PostgreSQL history's events: rows written, removed and read.
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

}  // namespace tarn
