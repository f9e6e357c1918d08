// SPDX-License-Identifier: GPL-3.0-or-later
// The SQLite history's events: rows written, removed and read.
#include "history/event_figures.h"
#include "history/sqlite/sqlite_store.h"

namespace tarn::sqlite_store {

Status SqliteHistory::AddEventRow(const HistoryEvent& e, int64_t* id) {
  Statement q;
  if (!q.Prepare(db_, sql::kAddEvent)) return Error(path_);
  q.Bind(1, e.time).Bind(2, e.path).Bind(3, std::string(EventKindWord(e.kind))).Bind(4, e.note);
  if (q.Step() != SQLITE_DONE) return Error(path_);
  *id = sqlite3_last_insert_rowid(db_);
  return {};
}

Status SqliteHistory::WriteEventRow(const HistoryEvent& e, bool* found) {
  Statement q;
  if (!q.Prepare(db_, sql::kWriteEvent)) return Error(path_);
  q.Bind(1, e.id).Bind(2, e.time).Bind(3, e.path).Bind(4, std::string(EventKindWord(e.kind)));
  q.Bind(5, e.note);
  if (q.Step() != SQLITE_DONE) return Error(path_);
  *found = sqlite3_changes(db_) > 0;
  return {};
}

Status SqliteHistory::DeleteEventRow(int64_t event_id, bool* found) {
  Statement q;
  if (!q.Prepare(db_, sql::kDeleteEvent)) return Error(path_);
  q.Bind(1, event_id);
  if (q.Step() != SQLITE_DONE) return Error(path_);
  *found = sqlite3_changes(db_) > 0;
  return {};
}

Status SqliteHistory::ReadEventRows(std::vector<HistoryEvent>* out) {
  Statement q;
  if (!q.Prepare(db_, sql::kReadEvents)) return Error(path_);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    HistoryEvent e;
    e.id = q.Int(0);
    e.time = q.Int(1);
    e.path = q.Text(2);
    ParseEventKind(q.Text(3), &e.kind);
    e.note = q.Text(4);
    out->push_back(std::move(e));
  }
  return rc == SQLITE_DONE ? Status{} : Error(path_);
}

}  // namespace tarn::sqlite_store
