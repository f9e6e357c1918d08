// SPDX-License-Identifier: GPL-3.0-or-later
// A thin owner of a libpq connection and its results: statements with bound text parameters,
// binary COPY into a table, and the SQLSTATE of a failure.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "common/status.h"

namespace tarn {

// One result; failed when the statement did not complete.
class PgResult {
 public:
  PgResult() = default;
  explicit PgResult(PGresult* r) : r_(r, &PQclear) {}

  bool ok() const;
  int rows() const { return r_ ? PQntuples(r_.get()) : 0; }
  bool IsNull(int row, int col) const { return PQgetisnull(r_.get(), row, col) != 0; }
  std::string Text(int row, int col) const;
  int64_t Int(int row, int col) const;
  double Real(int row, int col) const;
  // The same of a result asked for in binary (ExecBinary): int8 and float8 columns.
  int64_t BinaryInt(int row, int col) const;
  double BinaryReal(int row, int col) const;
  // Five-character SQLSTATE of a failure ("" when none was given).
  std::string SqlState() const;
  std::string Message() const;
  // Rows an INSERT, UPDATE or DELETE touched.
  int64_t Affected() const;

 private:
  std::unique_ptr<PGresult, void (*)(PGresult*)> r_{nullptr, &PQclear};
};

// A bound parameter, sent as text (numbers exactly: doubles with 17 digits).
struct PgParam {
  PgParam(const std::string& s) : text(s) {}
  PgParam(const char* s) : text(s) {}
  PgParam(int64_t v) : text(std::to_string(v)) {}
  PgParam(int32_t v) : text(std::to_string(v)) {}
  PgParam(double v);
  std::string text;
};

class PgConnection {
 public:
  // Connects with the libpq connection string or URI; check Bad() and Error() afterwards.
  explicit PgConnection(const std::string& conninfo);
  ~PgConnection() { PQfinish(conn_); }
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  bool Bad() const { return conn_ == nullptr || PQstatus(conn_) == CONNECTION_BAD; }
  // Connects again after the server closed the connection; false when it cannot.
  bool Reset();
  // libpq's last message, on one line.
  std::string Error() const;
  std::string User() const { return conn_ ? PQuser(conn_) : ""; }
  PGconn* get() const { return conn_; }

  PgResult Exec(const std::string& sql, std::initializer_list<PgParam> params = {});
  PgResult Exec(const std::string& sql, const std::vector<PgParam>& params);
  // A statement without parameters whose rows come back in binary: no number is printed by the
  // server and read back here, which is most of the cost of a long run of readings.
  PgResult ExecBinary(const std::string& sql);

  // Binary COPY of (int32 probe, int64 t, float64 v[, int32 file]) rows: BeginCopy,
  // CopyRow..., EndCopy. A negative file leaves the fourth column out.
  Status BeginCopy(const std::string& copy_sql);
  void CopyRow(int32_t probe_id, int64_t t, double v, int32_t file_id);
  // The same for (int32 probe, int64 hour, int64 n, float64 sx, sy, sxy, sxx) rows.
  void CopyHourRow(int32_t probe_id, int64_t hour, int64_t n, double sx, double sy, double sxy,
                   double sxx);
  // Sends what is buffered and ends the COPY; on failure, the server's reason.
  // A day's extremes: (int32 n, probe, day, four int32 times, four float64 values).
  void CopyDayRow(int32_t n, int32_t probe_id, int32_t day, const int32_t (&times)[4],
                  const double (&values)[4]);
  Status EndCopy();

 private:
  bool Flush();

  PGconn* conn_ = nullptr;
  std::string copy_buffer_;
  bool copy_failed_ = false;
};

}  // namespace tarn
