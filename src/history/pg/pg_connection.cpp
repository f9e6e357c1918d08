// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/pg/pg_connection.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarn {

namespace {

// COPY data goes to the server in pieces of about this size.
constexpr std::size_t kCopyChunk = 1 << 20;

// The binary COPY header: signature, flags, extension length.
constexpr char kCopyHeader[] = "PGCOPY\n\377\r\n\0\0\0\0\0\0\0\0\0";
constexpr std::size_t kCopyHeaderSize = 19;

std::string OneLine(const char* text) {
  std::string s = text ? text : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  std::string out;
  for (char c : s) {
    if (c == '\n' || c == '\t') c = ' ';
    if (c != ' ' || out.empty() || out.back() != ' ') out += c;
  }
  return out;
}

void Put16(std::string* out, uint16_t v) {
  v = htons(v);
  out->append(reinterpret_cast<const char*>(&v), 2);
}
void Put32(std::string* out, uint32_t v) {
  v = htonl(v);
  out->append(reinterpret_cast<const char*>(&v), 4);
}
void Put64(std::string* out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v >> 32));
  Put32(out, static_cast<uint32_t>(v));
}

}  // namespace

bool PgResult::ok() const {
  if (!r_) return false;
  const ExecStatusType s = PQresultStatus(r_.get());
  return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK || s == PGRES_COPY_IN ||
         s == PGRES_SINGLE_TUPLE;
}

std::string PgResult::Text(int row, int col) const {
  return std::string(PQgetvalue(r_.get(), row, col),
                     static_cast<std::size_t>(PQgetlength(r_.get(), row, col)));
}

int64_t PgResult::Int(int row, int col) const {
  return std::strtoll(PQgetvalue(r_.get(), row, col), nullptr, 10);
}

double PgResult::Real(int row, int col) const {
  return std::strtod(PQgetvalue(r_.get(), row, col), nullptr);
}

int64_t PgResult::BinaryInt(int row, int col) const {
  const auto* p = reinterpret_cast<const unsigned char*>(PQgetvalue(r_.get(), row, col));
  if (PQgetlength(r_.get(), row, col) != 8) return 0;
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | p[i];  // network byte order
  return static_cast<int64_t>(v);
}

double PgResult::BinaryReal(int row, int col) const {
  const uint64_t bits = static_cast<uint64_t>(BinaryInt(row, col));
  double v = 0;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

std::string PgResult::SqlState() const {
  const char* s = r_ ? PQresultErrorField(r_.get(), PG_DIAG_SQLSTATE) : nullptr;
  return s ? s : "";
}

std::string PgResult::Message() const {
  if (!r_) return "no result from the server";
  const char* primary = PQresultErrorField(r_.get(), PG_DIAG_MESSAGE_PRIMARY);
  return OneLine(primary ? primary : PQresultErrorMessage(r_.get()));
}

int64_t PgResult::Affected() const {
  return r_ ? std::strtoll(PQcmdTuples(r_.get()), nullptr, 10) : 0;
}

PgParam::PgParam(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  text = buf;
}

PgConnection::PgConnection(const std::string& conninfo) {
  // The location's own settings win over these defaults; the text encoding is always ours.
  const char* keys[] = {"connect_timeout", "fallback_application_name", "dbname", "client_encoding",
                        nullptr};
  const char* values[] = {"10", "tarn", conninfo.c_str(), "UTF8", nullptr};
  conn_ = PQconnectdbParams(keys, values, 1);
}

bool PgConnection::Reset() {
  if (conn_ == nullptr) return false;
  PQreset(conn_);
  return !Bad();
}

std::string PgConnection::Error() const {
  return conn_ ? OneLine(PQerrorMessage(conn_)) : "out of memory";
}

PgResult PgConnection::Exec(const std::string& sql, std::initializer_list<PgParam> params) {
  return Exec(sql, std::vector<PgParam>(params));
}

PgResult PgConnection::Exec(const std::string& sql, const std::vector<PgParam>& params) {
  std::vector<const char*> values;
  values.reserve(params.size());
  for (const PgParam& p : params) values.push_back(p.text.c_str());
  return PgResult(PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                               values.data(), nullptr, nullptr, 0));
}

PgResult PgConnection::ExecBinary(const std::string& sql) {
  return PgResult(PQexecParams(conn_, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 1));
}

Status PgConnection::BeginCopy(const std::string& copy_sql) {
  PGresult* raw = PQexec(conn_, copy_sql.c_str());
  PgResult r(raw);
  if (PQresultStatus(raw) != PGRES_COPY_IN) return Status::Fail(r.Message());
  copy_failed_ = false;
  copy_buffer_.assign(kCopyHeader, kCopyHeaderSize);
  return {};
}

void PgConnection::CopyRow(int32_t probe_id, int64_t t, double v, int32_t file_id) {
  Put16(&copy_buffer_, file_id < 0 ? 3 : 4);
  Put32(&copy_buffer_, 4);
  Put32(&copy_buffer_, static_cast<uint32_t>(probe_id));
  Put32(&copy_buffer_, 8);
  Put64(&copy_buffer_, static_cast<uint64_t>(t));
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  Put32(&copy_buffer_, 8);
  Put64(&copy_buffer_, bits);
  if (file_id >= 0) {
    Put32(&copy_buffer_, 4);
    Put32(&copy_buffer_, static_cast<uint32_t>(file_id));
  }
  if (copy_buffer_.size() >= kCopyChunk) Flush();
}

void PgConnection::CopyHourRow(int32_t probe_id, int64_t hour, int64_t n, double sx, double sy,
                               double sxy, double sxx) {
  Put16(&copy_buffer_, 7);
  Put32(&copy_buffer_, 4);
  Put32(&copy_buffer_, static_cast<uint32_t>(probe_id));
  for (int64_t v : {hour, n}) {
    Put32(&copy_buffer_, 8);
    Put64(&copy_buffer_, static_cast<uint64_t>(v));
  }
  for (double v : {sx, sy, sxy, sxx}) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    Put32(&copy_buffer_, 8);
    Put64(&copy_buffer_, bits);
  }
  if (copy_buffer_.size() >= kCopyChunk) Flush();
}

void PgConnection::CopyDayRow(int32_t n, int32_t probe_id, int32_t day, const int32_t (&times)[4],
                              const double (&values)[4]) {
  Put16(&copy_buffer_, 11);
  for (int32_t v : {n, probe_id, day, times[0], times[1], times[2], times[3]}) {
    Put32(&copy_buffer_, 4);
    Put32(&copy_buffer_, static_cast<uint32_t>(v));
  }
  for (double v : values) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    Put32(&copy_buffer_, 8);
    Put64(&copy_buffer_, bits);
  }
  if (copy_buffer_.size() >= kCopyChunk) Flush();
}

bool PgConnection::Flush() {
  if (copy_failed_ || copy_buffer_.empty()) return !copy_failed_;
  if (PQputCopyData(conn_, copy_buffer_.data(), static_cast<int>(copy_buffer_.size())) != 1) {
    copy_failed_ = true;
  }
  copy_buffer_.clear();
  return !copy_failed_;
}

Status PgConnection::EndCopy() {
  Put16(&copy_buffer_, 0xFFFF);  // end of data
  Flush();
  if (PQputCopyEnd(conn_, copy_failed_ ? "client failed" : nullptr) != 1) copy_failed_ = true;
  bool ok = !copy_failed_;
  std::string why;
  // Drain every result of the COPY; the last one says whether it was taken.
  while (PGresult* raw = PQgetResult(conn_)) {
    PgResult r(raw);
    if (!r.ok()) {
      ok = false;
      why = r.Message();
    }
  }
  copy_buffer_.clear();
  if (ok) return {};
  return Status::Fail(why.empty() ? Error() : why);
}

}  // namespace tarn
