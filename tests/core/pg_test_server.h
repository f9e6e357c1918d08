// SPDX-License-Identifier: GPL-3.0-or-later
// The private PostgreSQL server of the test run (started by the tarn_pg CTest fixture): its
// address, and a fresh database on it for each test that asks.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <random>
#include <string>

#include "core/test_util.h"

namespace tarn::testing {

// The server's URI: TARN_TEST_PG_URI when set, else the one the fixture wrote.
inline std::string PgServerUri() {
  if (const char* env = std::getenv("TARN_TEST_PG_URI"); env != nullptr && *env != '\0') {
    return env;
  }
#ifdef TARN_PG_STATE_DIR
  std::string uri = ReadAll(std::string(TARN_PG_STATE_DIR) + "/uri");
  while (!uri.empty() && (uri.back() == '\n' || uri.back() == '\r')) uri.pop_back();
  return uri;
#else
  return "";
#endif
}

// The same server and options with another database.
inline std::string PgUriFor(const std::string& server_uri, const std::string& database) {
  const std::size_t q = server_uri.find('?');
  return "postgresql:///" + database + (q == std::string::npos ? "" : server_uri.substr(q));
}

// Runs one statement as the server's superuser (or as the role `uri` names); the server's
// message when it fails, else "" and, in *value when given, the first value returned.
inline std::string PgAdmin(const std::string& sql, const std::string& uri = PgServerUri(),
                           std::string* value = nullptr) {
  PGconn* c = PQconnectdb(uri.c_str());
  std::string error;
  if (PQstatus(c) != CONNECTION_OK) {
    error = PQerrorMessage(c);
  } else {
    PGresult* r = PQexec(c, sql.c_str());
    const ExecStatusType s = PQresultStatus(r);
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) error = PQresultErrorMessage(r);
    if (value && s == PGRES_TUPLES_OK && PQntuples(r) > 0) *value = PQgetvalue(r, 0, 0);
    PQclear(r);
  }
  PQfinish(c);
  return error;
}

// A new empty database for one test; the whole cluster goes when the run ends.
inline std::string FreshPgDatabase() {
  const std::string server = PgServerUri();
  if (server.empty()) {
    ADD_FAILURE() << "no test PostgreSQL server: run the tests through ctest (tarn_pg fixture)";
    return "postgresql:///missing?host=/nonexistent";
  }
  std::random_device rd;
  const std::string name = "h" + std::to_string(rd()) + std::to_string(rd());
  const std::string error = PgAdmin("CREATE DATABASE " + name);
  EXPECT_EQ(error, "") << "creating a test database on " << server;
  return PgUriFor(server, name);
}

}  // namespace tarn::testing
