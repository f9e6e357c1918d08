#include "history/history_store.h"
#include "history/sqlite_history.h"

namespace tarn {

bool IsServerLocation(const std::string& location) {
  return location.rfind("postgresql://", 0) == 0 || location.rfind("postgres://", 0) == 0;
}

std::unique_ptr<HistoryStore> OpenHistory(const std::string& location, std::string* error) {
  if (location.empty()) {
    *error = "No history location given.";
    return nullptr;
  }
  if (IsServerLocation(location)) {
    *error = "This build of Tarn cannot reach a history server.";
    return nullptr;
  }
  return OpenSqliteHistory(location, error);
}

}  // namespace tarn
