// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/sqlite/sqlite_trail.h"

#include <functional>

namespace tarn {

namespace {

// Reading times are stored as seconds from 01/01/2000.
constexpr HistoryTime kEpoch = 63082281600;

constexpr const char* kSourceFiles =
    "SELECT id, name, size, sha256, imported_at, added FROM source_file ORDER BY id";
constexpr const char* kReadingRuns =
    "SELECT file_id, first_t, last_t, n FROM reading_run WHERE probe_id = ?1"
    " ORDER BY file_id, first_t";
constexpr const char* kProbeConflicts =
    "SELECT file_id, t, stored, offered FROM conflict WHERE probe_id = ?1 ORDER BY id";

// Runs `text` (with the probe bound as ?1 when given) and hands every row to `row`.
Status Each(sqlite3* db, const std::string& path, const char* text, const int64_t* probe,
            const std::function<void(sqlite3_stmt*)>& row) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, text, -1, &stmt, nullptr);
  if (rc == SQLITE_OK && probe != nullptr) rc = sqlite3_bind_int64(stmt, 1, *probe);
  while (rc == SQLITE_OK || rc == SQLITE_ROW) {
    rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) row(stmt);
  }
  Status st;
  if (rc != SQLITE_DONE) st = Status::Fail(path + ": " + sqlite3_errmsg(db));
  sqlite3_finalize(stmt);
  return st;
}

std::string Text(sqlite3_stmt* s, int col) {
  const auto* p = sqlite3_column_text(s, col);
  return p ? std::string(reinterpret_cast<const char*>(p),
                         static_cast<std::size_t>(sqlite3_column_bytes(s, col)))
           : std::string();
}

}  // namespace

std::vector<HistorySourceFile> SqliteSourceFiles(sqlite3* db, const std::string& path,
                                                 Status* error) {
  std::vector<HistorySourceFile> out;
  *error = Each(db, path, kSourceFiles, nullptr, [&](sqlite3_stmt* s) {
    out.push_back({sqlite3_column_int64(s, 0), Text(s, 1), sqlite3_column_int64(s, 2), Text(s, 3),
                   sqlite3_column_int64(s, 4), sqlite3_column_int64(s, 5)});
  });
  if (!*error) out.clear();
  return out;
}

std::vector<HistoryRun> SqliteReadingRuns(sqlite3* db, const std::string& path, int64_t probe_id,
                                          Status* error) {
  std::vector<HistoryRun> out;
  *error = Each(db, path, kReadingRuns, &probe_id, [&](sqlite3_stmt* s) {
    out.push_back({sqlite3_column_int64(s, 0), sqlite3_column_int64(s, 1) + kEpoch,
                   sqlite3_column_int64(s, 2) + kEpoch, sqlite3_column_int64(s, 3)});
  });
  if (!*error) out.clear();
  return out;
}

std::vector<StoredConflict> SqliteProbeConflicts(sqlite3* db, const std::string& path,
                                                 int64_t probe_id, Status* error) {
  std::vector<StoredConflict> out;
  *error = Each(db, path, kProbeConflicts, &probe_id, [&](sqlite3_stmt* s) {
    // Conflicts keep the history's own clock, not the readings' shorter one.
    out.push_back({sqlite3_column_int64(s, 0), sqlite3_column_int64(s, 1),
                   sqlite3_column_double(s, 2), sqlite3_column_double(s, 3)});
  });
  if (!*error) out.clear();
  return out;
}

}  // namespace tarn
