// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/pg/pg_history.h"

#include <cmath>

#include "history/pg/pg_location.h"
#include "history/pg/pg_schema.h"
#include "history/pg/pg_statements.h"
#include "history/pg/pg_store.h"
#include "history/pg/pg_values.h"

namespace tarn {

namespace sql = pg_sql;

Status PgHistory::ReadOwnLimits(int64_t probe_id, std::optional<HistoryLimits>* own) {
  PgResult r = db_.Exec(sql::kReadLimits, {probe_id});
  if (!r.ok()) return Failure(r);
  if (r.rows() > 0) *own = HistoryLimits{r.Real(0, 0), r.Real(0, 1), r.Real(0, 2), r.Real(0, 3)};
  return {};
}

Status PgHistory::AppendChange(const HistoryChange& c) {
  return Run(sql::kAppendChange,
             {c.time, ToServer(c.user), ToServer(c.what), ToServer(c.before), ToServer(c.after)});
}

Status PgHistory::ReadChanges(std::vector<HistoryChange>* out) {
  PgResult q = db_.Exec(sql::kReadChanges);
  if (!q.ok()) return Failure(q);
  for (int i = 0; i < q.rows(); ++i) {
    out->push_back(
        {q.Int(i, 0), q.Int(i, 1), q.Text(i, 2), q.Text(i, 3), q.Text(i, 4), q.Text(i, 5)});
  }
  return {};
}

std::string PgHistory::ChangeUser() {
  return FromServer(db_.User());
}

Status PgHistory::WriteLimits(int64_t probe_id, const HistoryLimits& l) {
  if (Status st = Ready(); !st) return st;
  return Run(probe_id != 0 ? sql::kWriteLimits : sql::kWriteDefaultLimits,
             {probe_id, l.rate_warn, l.rate_alarm, l.consumed_warn, l.consumed_alarm});
}

Status PgHistory::DeleteLimits(int64_t probe_id) {
  if (Status st = Ready(); !st) return st;
  return Run(sql::kClearLimits, {probe_id});
}

Status PgHistory::DropReadings(int64_t probe_id) {
  return Run(sql::kRemoveReadings, {probe_id});
}

std::unique_ptr<HistoryStore> OpenPgHistory(const std::string& location, std::string* error) {
  // A password in the location would end up in the settings file: libpq's password file,
  // service file or certificates hold it instead. No message repeats it.
  const PgLocation parsed = ParsePgLocation(location);
  if (parsed.has_password) {
    *error = "The history location " + parsed.shown +
             " must not hold a password: put it in ~/.pgpass (or the file PGPASSFILE names) or "
             "a service file instead.";
    return nullptr;
  }
  const std::string& uri = parsed.conninfo;
  char* parse_error = nullptr;
  PQconninfoOption* options = PQconninfoParse(uri.c_str(), &parse_error);
  if (options == nullptr) {
    *error = "The history location " + parsed.shown + " is not a valid connection string" +
             (parse_error ? std::string(": ") + parse_error : std::string("."));
    while (!error->empty() && error->back() == '\n') error->pop_back();
    *error = WithoutPassword(location, *error);
    PQfreemem(parse_error);
    return nullptr;
  }
  PQconninfoFree(options);

  auto store = std::make_unique<PgHistory>(uri);
  PgConnection& db = store->db();
  if (db.Bad()) {
    *error = "Cannot reach the history server " + uri + ": " + db.Error();
    return nullptr;
  }
  auto version_of = [&](int* version, std::string* why) {
    PgResult id = db.Exec(sql::kReadIdentity);
    if (!id.ok()) {
      *why = id.Message();
      return false;
    }
    *version = 0;
    if (id.Text(0, 0) != "t") return true;
    PgResult v = db.Exec(sql::kReadVersion);
    if (!v.ok()) {
      *why = v.Message();
      return false;
    }
    if (v.rows() != 1 || v.Text(0, 0) != "Tarn") {
      *why = "its schema \"tarn\" belongs to another program";
      return false;
    }
    *version = static_cast<int>(v.Int(0, 1));
    return true;
  };
  int version = 0;
  std::string why;
  if (!version_of(&version, &why)) {
    *error = "Cannot open the history " + uri + ": " + why + ".";
    return nullptr;
  }
  if (version > kPgSchemaVersion) {
    *error = "The history " + uri + " was written by a newer version of Tarn (schema " +
             std::to_string(version) + "; this version knows up to " +
             std::to_string(kPgSchemaVersion) + ").";
    return nullptr;
  }
  if (version < kPgSchemaVersion) {
    // Another Tarn may be creating the same tables: decide again under the lock.
    PgResult r = db.Exec("BEGIN");
    bool ok = r.ok();
    if (ok) ok = (r = db.Exec(sql::kLockHistory)).ok();
    if (ok) ok = version_of(&version, &why);
    if (ok && version > kPgSchemaVersion) {
      why = "it was written by a newer version of Tarn meanwhile";
      ok = false;
    }
    if (ok && version < kPgSchemaVersion) {
      const Status upgraded = UpgradePgSchema(db, version);
      ok = upgraded.ok;
      why = upgraded.message;
    }
    if (ok) ok = (r = db.Exec("COMMIT")).ok();
    if (!ok) {
      if (why.empty()) why = r.ok() ? db.Error() : r.Message();
      PQclear(PQexec(db.get(), "ROLLBACK"));
      *error = "Cannot prepare the history " + uri + " (role " + db.User() +
               " must be allowed to create its tables once): " + why + ".";
      return nullptr;
    }
  }
  store->SessionSettings();
  PgResult can_write = db.Exec(sql::kCanWrite);
  if (!can_write.ok()) {
    *error = "Cannot open the history " + uri + ": " + can_write.Message() + ".";
    return nullptr;
  }
  store->SetReadOnly(can_write.Text(0, 0) != "t");
  if (const Status placed = store->PlaceUnplacedProbes(); !placed) {
    *error = "Cannot prepare the history " + uri + ": " + placed.message + ".";
    return nullptr;
  }
  return store;
}

}  // namespace tarn
