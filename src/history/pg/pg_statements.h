// SPDX-License-Identifier: GPL-3.0-or-later
// Every SQL text of the PostgreSQL history in one place; values always go in as bound
// parameters. Tables live in the schema "tarn"; reading times count seconds from 01/01/2000.
#pragma once

namespace tarn::pg_sql {

// Key of the advisory lock that serialises schema changes and imports between Tarn processes.
inline constexpr const char* kLockHistory = "SELECT pg_advisory_xact_lock(1415670382)";

// Read from the catalog tables, not through to_regclass: a session's catalog cache may still
// hold "no such table" from before another Tarn created them and released the lock.
inline constexpr const char* kReadIdentity =
    "SELECT EXISTS(SELECT 1 FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n"
    " ON n.oid = c.relnamespace WHERE n.nspname = 'tarn' AND c.relname = 'schema_info'),"
    " EXISTS(SELECT 1 FROM pg_catalog.pg_namespace WHERE nspname = 'tarn')";
inline constexpr const char* kSchemaMissing =
    "SELECT NOT EXISTS(SELECT 1 FROM pg_catalog.pg_namespace WHERE nspname = 'tarn')";
inline constexpr const char* kReadVersion = "SELECT application, version FROM tarn.schema_info";
inline constexpr const char* kWriteVersion =
    "INSERT INTO tarn.schema_info(id, application, version) VALUES(1, 'Tarn', $1)"
    " ON CONFLICT(id) DO UPDATE SET version = $1";
inline constexpr const char* kCanWrite =
    "SELECT NOT current_setting('transaction_read_only')::boolean"
    " AND has_table_privilege('tarn.reading', 'INSERT')"
    " AND has_table_privilege('tarn.probe', 'INSERT, UPDATE')"
    " AND has_table_privilege('tarn.source_file', 'INSERT, UPDATE')"
    " AND has_table_privilege('tarn.conflict', 'INSERT')"
    " AND has_table_privilege('tarn.reading_hour', 'INSERT, UPDATE')"
    " AND has_table_privilege('tarn.probe_window', 'INSERT, UPDATE')"
    " AND has_database_privilege(current_database(), 'TEMPORARY')";

inline constexpr const char* kCopyReadings =
    "COPY tarn.reading(probe_id, t, v, file_id) FROM STDIN BINARY";

inline constexpr const char* kFindProbe =
    "SELECT id, count, first_time, last_time, latest_value, origin, sx, sy, sxy, sxx,"
    " header_time FROM tarn.probe WHERE tag = $1 AND serial = $2 AND data_type = $3";
inline constexpr const char* kWriteSummary =
    "UPDATE tarn.probe SET count = $2, first_time = $3, last_time = $4, latest_value = $5,"
    " origin = $6, sx = $7, sy = $8, sxy = $9, sxx = $10 WHERE id = $1";
inline constexpr const char* kInsertProbe =
    "INSERT INTO tarn.probe(tag, serial, data_type) VALUES($1, $2, $3) RETURNING id";
inline constexpr const char* kWriteHeader =
    "UPDATE tarn.probe SET part_no = $2, probe_type_str = $3, probe_type = $4, mloss_unit = $5,"
    " thickness = $6, read_interval = $7, probe_life = $8, header_time = $9 WHERE id = $1";
inline constexpr const char* kInsertFile =
    "INSERT INTO tarn.source_file(name, size, sha256, imported_at) VALUES($1, $2, $3, $4)"
    " RETURNING id";
inline constexpr const char* kFinishFile =
    "UPDATE tarn.source_file SET tags = $2, added = $3, duplicates = $4, conflicts = $5,"
    " size = $6, sha256 = $7 WHERE id = $1";
// Conflicts found inside one file, as arrays of probe, time, kept and offered values.
inline constexpr const char* kInsertFileConflicts =
    "INSERT INTO tarn.conflict(probe_id, t, stored, offered, file_id)"
    " SELECT $1, unnest($2::bigint[]), unnest($3::float8[]), unnest($4::float8[]), $5";

// Hour sums of readings added straight, gathered during the import and merged in once.
inline constexpr const char* kCreateHours =
    "CREATE TEMP TABLE IF NOT EXISTS tarn_hours(probe_id integer, hour bigint, n bigint,"
    " sx float8, sy float8, sxy float8, sxx float8) ON COMMIT DELETE ROWS";
inline constexpr const char* kCopyHours =
    "COPY pg_temp.tarn_hours(probe_id, hour, n, sx, sy, sxy, sxx) FROM STDIN BINARY";
inline constexpr const char* kMergeHours = R"sql(
INSERT INTO tarn.reading_hour AS h(probe_id, hour, n, sx, sy, sxy, sxx)
SELECT probe_id, hour, sum(n), sum(sx), sum(sy), sum(sxy), sum(sxx) FROM pg_temp.tarn_hours
GROUP BY probe_id, hour
ON CONFLICT (probe_id, hour) DO UPDATE SET n = h.n + excluded.n, sx = h.sx + excluded.sx,
  sy = h.sy + excluded.sy, sxy = h.sxy + excluded.sxy, sxx = h.sxx + excluded.sxx)sql";

inline constexpr const char* kReadingsInRange =
    "SELECT t + $4, v FROM tarn.reading WHERE probe_id = $1 AND t BETWEEN $2 AND $3 ORDER BY t";

// Probes with their summary, limits and kept sums of the window $2 (when up to date); $1 = 0
// for all of them.
inline constexpr const char* kListProbes = R"sql(
SELECT p.id, p.tag, p.serial, p.data_type, p.part_no, p.probe_type_str, p.probe_type,
       p.mloss_unit, p.thickness, p.read_interval, p.probe_life, p.count, p.first_time,
       p.last_time, p.latest_value, p.sx, p.sy, p.sxy, p.sxx,
       l.rate_warn, l.rate_alarm, l.consumed_warn, l.consumed_alarm,
       w.n, w.sx, w.sy, w.sxy, w.sxx, p.origin
FROM tarn.probe p
LEFT JOIN tarn.limits l ON l.probe_id = p.id
LEFT JOIN tarn.probe_window w ON w.probe_id = p.id AND w.days = $2 AND w.count = p.count
                              AND w.last_time = p.last_time
WHERE $1 = 0 OR p.id = $1
ORDER BY p.id)sql";
// Least-squares sums over the last `days` days of the probes $1 for each of the windows $2,
// x in seconds from the window's start: the hour sums of its whole hours shifted to that
// origin, plus the readings of the hour it starts in. $3 reading time epoch.
#define TARN_PG_WINDOW_SUMS                                                                 \
  "WITH w AS ("                                                                             \
  " SELECT p.id, d.days, p.count, p.last_time, f, ceil(f::float8 / 3600)::bigint AS h0"     \
  " FROM tarn.probe p, unnest($2::integer[]) AS d(days),"                                   \
  "      LATERAL (SELECT p.last_time - $3 - d.days::bigint * 86400 AS f) a"                 \
  " WHERE p.id = ANY($1::integer[]) AND p.count > 0),"                                      \
  "parts AS ("                                                                              \
  " SELECT w.id, w.days, w.count, w.last_time, h.n, h.sx + h.n * d AS sx, h.sy,"            \
  "        h.sxy + d * h.sy AS sxy, h.sxx + 2 * d * h.sx + h.n * d * d AS sxx"              \
  " FROM w JOIN tarn.reading_hour h ON h.probe_id = w.id AND h.hour >= w.h0,"               \
  "      LATERAL (SELECT (h.hour * 3600 - w.f)::float8 AS d) a"                             \
  " UNION ALL"                                                                              \
  " SELECT w.id, w.days, w.count, w.last_time, 1, x, r.v, x * r.v, x * x"                   \
  " FROM w JOIN tarn.reading r ON r.probe_id = w.id AND r.t >= w.f AND r.t < w.h0 * 3600,"  \
  "      LATERAL (SELECT (r.t - w.f)::float8 AS x) a) "                                     \
  "SELECT id, days, count, last_time, sum(n)::bigint, sum(sx), sum(sy), sum(sxy), sum(sxx)" \
  " FROM parts GROUP BY id, days, count, last_time"
inline constexpr const char* kWindowSums = TARN_PG_WINDOW_SUMS;
// The usual windows' sums are kept per probe, refreshed for the probes an import touched, so
// that the probe list reads one row per probe.
inline constexpr const char* kStoredWindows = "{7,30,90,365}";
inline constexpr const char* kRefreshWindows =
    "INSERT INTO tarn.probe_window(probe_id, days, count, last_time, n, sx, sy, sxy, "
    "sxx) " TARN_PG_WINDOW_SUMS
    " ON CONFLICT (probe_id, days) DO UPDATE SET count = excluded.count,"
    " last_time = excluded.last_time, n = excluded.n, sx = excluded.sx, sy = excluded.sy,"
    " sxy = excluded.sxy, sxx = excluded.sxx";
#undef TARN_PG_WINDOW_SUMS
inline constexpr const char* kAllProbeIds = "SELECT coalesce(array_agg(id), '{}') FROM tarn.probe";

inline constexpr const char* kReadLimits =
    "SELECT rate_warn, rate_alarm, consumed_warn, consumed_alarm FROM tarn.limits"
    " WHERE probe_id = $1";
inline constexpr const char* kReadDefaultLimits =
    "SELECT rate_warn, rate_alarm, consumed_warn, consumed_alarm FROM tarn.default_limits";
inline constexpr const char* kWriteLimits =
    "INSERT INTO tarn.limits(probe_id, rate_warn, rate_alarm, consumed_warn, consumed_alarm)"
    " VALUES($1, $2, $3, $4, $5) ON CONFLICT(probe_id) DO UPDATE SET rate_warn = $2,"
    " rate_alarm = $3, consumed_warn = $4, consumed_alarm = $5";
inline constexpr const char* kWriteDefaultLimits =
    "UPDATE tarn.default_limits SET rate_warn = $2, rate_alarm = $3, consumed_warn = $4,"
    " consumed_alarm = $5 WHERE $1 = 0";
inline constexpr const char* kClearLimits = "DELETE FROM tarn.limits WHERE probe_id = $1";
inline constexpr const char* kAppendChange =
    "INSERT INTO tarn.change_trail(t, username, what, before, after) VALUES($1, $2, $3, $4, $5)";
inline constexpr const char* kReadChanges =
    "SELECT id, t, username, what, before, after FROM tarn.change_trail ORDER BY id";

inline constexpr const char* kProbeFiles =
    "SELECT f.id, f.name, f.size, f.sha256, f.imported_at, n FROM"
    " (SELECT file_id, count(*) AS n FROM tarn.reading WHERE probe_id = $1 GROUP BY file_id) r"
    " JOIN tarn.source_file f ON f.id = r.file_id ORDER BY f.id";
// Each reading carries the file that brought it.
inline constexpr const char* kReadingFile =
    "SELECT f.id, f.name, f.size, f.sha256, f.imported_at, f.added FROM tarn.reading r"
    " JOIN tarn.source_file f ON f.id = r.file_id WHERE r.probe_id = $1 AND r.t = $2";
// Where readings came from, for copies. A probe's runs are its readings in time order cut
// wherever the file that brought them changes.
inline constexpr const char* kSourceFiles =
    "SELECT id, name, size, sha256, imported_at, added FROM tarn.source_file ORDER BY id";
inline constexpr const char* kReadingRuns = R"sql(
SELECT file_id, min(t) + $2, max(t) + $2, count(*) FROM (
  SELECT t, file_id,
         row_number() OVER (ORDER BY t) - row_number() OVER (PARTITION BY file_id ORDER BY t) AS g
  FROM tarn.reading WHERE probe_id = $1) s
GROUP BY file_id, g ORDER BY file_id, min(t))sql";
inline constexpr const char* kProbeConflicts =
    "SELECT file_id, t, stored, offered FROM tarn.conflict WHERE probe_id = $1 ORDER BY id";

// Readings carry no foreign key (a per-row check would cost more than the load itself), so
// they go explicitly; conflicts and limits follow the probe by cascade.
inline constexpr const char* kRemoveReadings = "DELETE FROM tarn.reading WHERE probe_id = $1";
inline constexpr const char* kRemoveHours = "DELETE FROM tarn.reading_hour WHERE probe_id = $1";
inline constexpr const char* kRemoveProbe = "DELETE FROM tarn.probe WHERE id = $1";

}  // namespace tarn::pg_sql
