#include "history/history_store.h"
#include "history/pg_history.h"
#include "history/pg_location.h"
#include "history/sqlite_history.h"

namespace tarn {

bool IsServerLocation(const std::string& location) {
  return ParsePgLocation(location).server;
}

std::unique_ptr<HistoryStore> OpenHistory(const std::string& location, std::string* error) {
  if (location.empty()) {
    *error = "No history location given.";
    return nullptr;
  }
  if (IsServerLocation(location)) return OpenPgHistory(location, error);
  return OpenSqliteHistory(location, error);
}

}  // namespace tarn
