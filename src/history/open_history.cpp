// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_store.h"

#include <libpq-fe.h>

#include <cstring>

#include "history/pg/pg_history.h"
#include "history/pg/pg_location.h"
#include "history/sqlite/sqlite_history.h"

namespace tarn {

bool IsServerLocation(const std::string& location) {
  return ParsePgLocation(location).server;
}

std::string HistoryDisplayName(const std::string& location) {
  if (!IsServerLocation(location)) {
    const size_t slash = location.find_last_of('/');
    return slash == std::string::npos ? location : location.substr(slash + 1);
  }
  std::string host, dbname, user;
  if (PQconninfoOption* options = PQconninfoParse(location.c_str(), nullptr)) {
    for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
      if (o->val == nullptr) continue;
      if (std::strcmp(o->keyword, "host") == 0) host = o->val;
      if (std::strcmp(o->keyword, "dbname") == 0) dbname = o->val;
      if (std::strcmp(o->keyword, "user") == 0) user = o->val;
    }
    PQconninfoFree(options);
  }
  // libpq's own defaults: the database named as the user, the server on this machine.
  if (dbname.empty()) dbname = user;
  if (host.empty()) host = "localhost";
  return (dbname.empty() ? std::string("database") : dbname) + " on " + host;
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
