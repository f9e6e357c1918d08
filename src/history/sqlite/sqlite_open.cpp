// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/sqlite/sqlite_history.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "history/sqlite/sqlite_schema.h"
#include "history/sqlite/sqlite_store.h"

namespace tarn {

namespace {

using sqlite_store::kBusyTimeoutMs;
using sqlite_store::SqliteHistory;
using sqlite_store::Statement;

// Write permission on the path as its mode bits give it, not the user's power to override
// them: a history someone made read-only stays so, even for root.
bool MayWrite(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return ::access(path.c_str(), W_OK) == 0;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The history can be written when its file and its folder (where the log files go) can.
bool WritableFile(const std::string& path, bool* exists) {
  struct stat st {};
  *exists = ::stat(path.c_str(), &st) == 0;
  if (path == ":memory:") return true;
  if (!MayWrite(FolderOf(path))) return false;
  return !*exists || MayWrite(path);
}

// A file URI that opens the history as never changing: SQLite then takes no locks and makes no
// log files, which a reader without write permission would leave behind, owned by it, in the
// writer's way.
std::string ImmutableUri(const std::string& path) {
  std::string uri = "file:";
  for (const char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      static const char kHex[] = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[static_cast<unsigned char>(c) >> 4];
      uri += kHex[c & 15];
    } else {
      uri += c;
    }
  }
  return uri + "?immutable=1";
}

std::string Describe(sqlite3* db, const std::string& path, int rc) {
  switch (rc) {
    case SQLITE_NOTADB:
      return "The file " + path + " is not a Tarn history (it is not an SQLite database).";
    case SQLITE_CORRUPT:
      return "The history " + path + " is damaged: " + sqlite3_errmsg(db) + ".";
    default:
      return "Cannot open the history " + path + ": " + sqlite3_errmsg(db) + ".";
  }
}

}  // namespace

std::unique_ptr<HistoryStore> OpenSqliteHistory(const std::string& path, std::string* error) {
  bool exists = false;
  const bool writable = WritableFile(path, &exists);
  sqlite3* raw = nullptr;
  // A connection serves one thread (each importer opens its own), so SQLite need not lock it.
  if (!writable && !exists) {
    *error = "Cannot create the history " + path + ": its folder is read-only.";
    return nullptr;
  }
  int flags = (writable ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY) |
              SQLITE_OPEN_NOMUTEX;
  std::string name = path;
  // Without a writer's log beside it the file holds everything; with one, a writer is at work
  // and SQLite reads its log through the writer's shared memory file without writing.
  struct stat log {};
  if (!writable && ::stat((path + "-wal").c_str(), &log) != 0) {
    name = ImmutableUri(path);
    flags |= SQLITE_OPEN_URI;
  }
  int rc = sqlite3_open_v2(name.c_str(), &raw, flags, nullptr);
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, &sqlite3_close);
  if (rc != SQLITE_OK) {
    *error = Describe(db.get(), path, rc);
    return nullptr;
  }
  sqlite3_extended_result_codes(db.get(), 0);
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);

  // Read who wrote the file before anything could write to it.
  auto identity = [&](int* app_id, int* version, int* tables) {
    Statement q;
    if (!q.Prepare(db.get(), sqlite_sql::kReadIdentity)) return sqlite3_errcode(db.get());
    const int step = q.Step();
    if (step != SQLITE_ROW) return step;
    *app_id = static_cast<int>(q.Int(0));
    *version = static_cast<int>(q.Int(1));
    *tables = static_cast<int>(q.Int(2));
    return SQLITE_OK;
  };
  int app_id = 0, version = 0, tables = 0;
  rc = identity(&app_id, &version, &tables);
  if (rc != SQLITE_OK) {
    *error = Describe(db.get(), path, rc);
    return nullptr;
  }
  const bool fresh = version == 0 && tables == 0;
  if (!fresh && app_id != sqlite_sql::kApplicationId) {
    *error = "The file " + path + " is an SQLite database of another program, not a Tarn history.";
    return nullptr;
  }
  if (version > kSqliteSchemaVersion) {
    *error = "The history " + path + " was written by a newer version of Tarn (schema " +
             std::to_string(version) + "; this version knows up to " +
             std::to_string(kSqliteSchemaVersion) + ").";
    return nullptr;
  }
  if (sqlite3_exec(db.get(), "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr) != SQLITE_OK) {
    *error = Describe(db.get(), path, sqlite3_errcode(db.get()));
    return nullptr;
  }
  if (!writable) {
    if (version < kSqliteSchemaVersion) {
      *error = "The history " + path +
               " is read-only and in an older layout that this version must upgrade first.";
      return nullptr;
    }
  } else {
    // A new file gets larger pages (fewer page headers per reading) before WAL fixes the size.
    if (fresh) sqlite3_exec(db.get(), "PRAGMA page_size = 16384", nullptr, nullptr, nullptr);
    // A large page cache keeps a big import from spilling pages into the log before it ends.
    if (sqlite3_exec(db.get(),
                     "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;"
                     " PRAGMA cache_size = -65536",
                     nullptr, nullptr, nullptr) != SQLITE_OK) {
      *error = Describe(db.get(), path, sqlite3_errcode(db.get()));
      return nullptr;
    }
    if (version < kSqliteSchemaVersion) {
      // Another process may be upgrading the same file: decide again under the write lock.
      std::string why;
      bool ok = sqlite3_exec(db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
      if (ok) ok = identity(&app_id, &version, &tables) == SQLITE_OK;
      // Version 3 moved the readings into a new table.
      const bool rewrites = ok && !fresh && version > 0 && version < 3;
      if (ok && version < kSqliteSchemaVersion) {
        const Status upgraded = UpgradeSqliteSchema(db.get(), version);
        ok = upgraded.ok;
        why = upgraded.message;
      }
      if (ok) ok = sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
      if (!ok) {
        if (why.empty()) why = sqlite3_errmsg(db.get());
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        *error = "Cannot prepare the history " + path + ": " + why + ".";
        return nullptr;
      }
      // The upgrade copied the readings into their new table: give the old one's pages back to
      // the file system. Without room for that the file stays valid, only larger.
      if (rewrites) sqlite3_exec(db.get(), "VACUUM", nullptr, nullptr, nullptr);
    }
  }
  auto store = std::make_unique<SqliteHistory>(db.release(), path, !writable);
  if (const Status prepared = store->PrepareAll(); !prepared) {
    *error = "Cannot open the history " + path + ": " + prepared.message + ".";
    return nullptr;
  }
  if (writable) {
    if (const Status placed = store->PlaceUnplacedProbes(); !placed) {
      *error = "Cannot prepare the history " + path + ": " + placed.message + ".";
      return nullptr;
    }
  }
  return store;
}

}  // namespace tarn
