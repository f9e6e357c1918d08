// SPDX-License-Identifier: GPL-3.0-or-later
// Every SQL text of the PostgreSQL history in one place; values always go in as bound
// parameters. Tables live in the schema "tarn"; reading times count seconds from 01/01/2000.
#pragma once

#include <cstdint>

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
    " AND has_table_privilege('tarn.reading_week', 'INSERT, UPDATE')"
    " AND has_table_privilege('tarn.reading_day', 'INSERT, UPDATE, DELETE')"
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

// An hour, or a week, keeps a row of least-squares sums of its readings (x in seconds from its
// start) only from this many readings: below it, a row would cost more room than the readings
// it stands for and save a window little. Hour rows serve the start of a window, week rows
// the rest of it.
inline constexpr int64_t kHourRowMin = 12;

// The statements of one kind of kept sums: the table, its period column and its length.
// - create_temp, copy: the whole sums of the periods an import brought to kHourRowMin readings
//   or more, gathered during the import in a temporary table.
// - merge: those written once at the import's end. A period gathered twice has grown between:
//   the row of more readings is the later one. $1, $2: probes and periods summed again from
//   the readings (their rows win over gathered ones).
// - drop_rows, sum_rows: the periods $2 of the probes $1 summed again from their readings
//   ($3 = kHourRowMin): first their rows go, then those with enough readings come back, each
//   period by its own key range (for a few periods of many probes).
// - sum_probe_rows: the same for many periods $2 of one probe $1, in one pass over its
//   readings from $4 to $5 (times of the table).
struct KeptSums {
  const char* create_temp;
  const char* copy;
  const char* merge;
  const char* drop_rows;
  const char* sum_rows;
  const char* sum_probe_rows;
  const char* remove_probe;
  int64_t seconds;
};
// clang-format off
#define TARN_PG_KEPT_SUMS(table, period, temp, length)                                          \
  KeptSums{                                                                                     \
    "CREATE TEMP TABLE IF NOT EXISTS " temp "(probe_id integer, period bigint, n bigint,"       \
    " sx float8, sy float8, sxy float8, sxx float8) ON COMMIT DELETE ROWS",                     \
                                                                                                \
    "COPY pg_temp." temp "(probe_id, period, n, sx, sy, sxy, sxx) FROM STDIN BINARY",           \
                                                                                                \
    "INSERT INTO tarn." table " AS h(probe_id, " period ", n, sx, sy, sxy, sxx)"                \
    " SELECT DISTINCT ON (probe_id, period) probe_id, period, n, sx, sy, sxy, sxx"              \
    " FROM pg_temp." temp " s"                                                                  \
    " WHERE NOT EXISTS (SELECT 1 FROM unnest($1::integer[], $2::bigint[]) AS k(p, h)"           \
    "                   WHERE k.p = s.probe_id AND k.h = s.period)"                             \
    " ORDER BY probe_id, period, n DESC"                                                        \
    " ON CONFLICT (probe_id, " period ") DO UPDATE SET n = excluded.n, sx = excluded.sx,"       \
    " sy = excluded.sy, sxy = excluded.sxy, sxx = excluded.sxx",                                \
                                                                                                \
    "DELETE FROM tarn." table " h USING unnest($1::integer[], $2::bigint[]) AS k(p, pe)"        \
    " WHERE h.probe_id = k.p AND h." period " = k.pe",                                          \
                                                                                                \
    "INSERT INTO tarn." table "(probe_id, " period ", n, sx, sy, sxy, sxx)"                     \
    " SELECT k.p, k.pe, s.n, s.sx, s.sy, s.sxy, s.sxx"                                          \
    " FROM (SELECT DISTINCT p, pe FROM unnest($1::integer[], $2::bigint[]) AS u(p, pe)) k,"     \
    "  LATERAL (SELECT count(*) AS n, sum(x) AS sx, sum(r.v) AS sy, sum(x * r.v) AS sxy,"       \
    "                  sum(x * x) AS sxx"                                                       \
    "           FROM tarn.reading r,"                                                           \
    "                LATERAL (SELECT (r.t - k.pe * " #length ")::float8 AS x) a"                \
    "           WHERE r.probe_id = k.p AND r.t >= k.pe * " #length                              \
    "                 AND r.t < (k.pe + 1) * " #length ") s"                                    \
    " WHERE s.n >= $3",                                                                         \
                                                                                                \
    "INSERT INTO tarn." table "(probe_id, " period ", n, sx, sy, sxy, sxx)"                     \
    " SELECT $1, pe, count(*), sum(x), sum(r.v), sum(x * r.v), sum(x * x)"                      \
    " FROM tarn.reading r,"                                                                     \
    "      LATERAL (SELECT floor(r.t::float8 / " #length ")::bigint AS pe) a,"                  \
    "      LATERAL (SELECT (r.t - pe * " #length ")::float8 AS x) b"                            \
    " WHERE r.probe_id = $1 AND r.t >= $4 AND r.t < $5 AND pe = ANY($2::bigint[])"              \
    " GROUP BY pe HAVING count(*) >= $3",                                                       \
                                                                                                \
    "DELETE FROM tarn." table " WHERE probe_id = $1",                                           \
                                                                                                \
    length}
// clang-format on
inline constexpr KeptSums kHourSums =
    TARN_PG_KEPT_SUMS("reading_hour", "hour", "tarn_hour_sums", 3600);
inline constexpr KeptSums kWeekSums =
    TARN_PG_KEPT_SUMS("reading_week", "week", "tarn_week_sums", 604800);
#undef TARN_PG_KEPT_SUMS

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
// x in seconds from the window's start f. The window ends at the probe's last reading, so every
// week from the first that starts in it lies whole inside it: its rows of week sums, shifted to
// f, with the readings of the weeks between them that keep no row (fewer than twelve). Before
// that week (the head, up to e): the rows of hour sums from the first whole hour on, with the
// readings between them (the hour the window starts in and hours without a row). Readings are
// read by ranges of the key, one range at a time (OFFSET 0 keeps the planner from joining the
// whole table instead). $3 reading time epoch.
#define TARN_PG_WINDOW_SUMS                                                                       \
  "WITH w AS ("                                                                                   \
  " SELECT p.id, d.days, p.count, p.last_time, f, ceil(f::float8 / 3600)::bigint AS h0,"          \
  "        ceil(f::float8 / 604800)::bigint AS w0, ceil(f::float8 / 604800)::bigint * 604800"     \
  "        AS e"                                                                                  \
  " FROM tarn.probe p, unnest($2::integer[]) AS d(days),"                                         \
  "      LATERAL (SELECT p.last_time - $3 - d.days::bigint * 86400 AS f) a"                       \
  " WHERE p.id = ANY($1::integer[]) AND p.count > 0),"                                            \
  "hrs AS ("                                                                                      \
  " SELECT w.id, w.days, w.f, w.e, h.hour * 3600 AS at, 3600 AS len, h.n, h.sx, h.sy, h.sxy,"     \
  "        h.sxx, lag(h.hour) OVER (PARTITION BY w.id, w.days ORDER BY h.hour) AS prev,"          \
  "        lead(h.hour) OVER (PARTITION BY w.id, w.days ORDER BY h.hour) AS next, h.hour AS k"    \
  " FROM w, LATERAL (SELECT * FROM tarn.reading_hour rh WHERE rh.probe_id = w.id"                 \
  "                  AND rh.hour >= w.h0 AND rh.hour < w.w0 * 168 OFFSET 0) h),"                  \
  "wks AS ("                                                                                      \
  " SELECT w.id, w.days, w.f, w.e, k.week * 604800 AS at, 604800 AS len, k.n, k.sx, k.sy,"        \
  "        k.sxy, k.sxx, lag(k.week) OVER (PARTITION BY w.id, w.days ORDER BY k.week) AS prev,"   \
  "        lead(k.week) OVER (PARTITION BY w.id, w.days ORDER BY k.week) AS next, k.week AS k"    \
  " FROM w, LATERAL (SELECT * FROM tarn.reading_week rw"                                          \
  "                  WHERE rw.probe_id = w.id AND rw.week >= w.w0 OFFSET 0) k),"                  \
  "gaps AS ("                                                                                     \
  " SELECT id, days, f, CASE WHEN prev IS NULL THEN f ELSE (prev + 1) * 3600 END AS a,"           \
  "        at AS b FROM hrs WHERE prev IS NULL OR prev + 1 < k"                                   \
  " UNION ALL SELECT id, days, f, at + len, e FROM hrs WHERE next IS NULL"                        \
  " UNION ALL SELECT id, days, f, f, e FROM w WHERE NOT EXISTS (SELECT 1 FROM"                    \
  "  tarn.reading_hour rh WHERE rh.probe_id = w.id AND rh.hour >= w.h0 AND rh.hour < w.w0 * 168)" \
  " UNION ALL SELECT id, days, f, CASE WHEN prev IS NULL THEN e ELSE (prev + 1) * 604800 END,"    \
  "        at FROM wks WHERE prev IS NULL OR prev + 1 < k"                                        \
  " UNION ALL SELECT id, days, f, at + len, 9223372036854775807 FROM wks WHERE next IS NULL"      \
  " UNION ALL SELECT id, days, f, e, 9223372036854775807 FROM w WHERE NOT EXISTS (SELECT 1"       \
  "  FROM tarn.reading_week rw WHERE rw.probe_id = w.id AND rw.week >= w.w0)),"                   \
  "parts AS ("                                                                                    \
  " SELECT id, days, n, sx + n * d AS sx, sy, sxy + d * sy AS sxy,"                               \
  "        sxx + 2 * d * sx + n * d * d AS sxx"                                                   \
  " FROM (SELECT * FROM hrs UNION ALL SELECT * FROM wks) k,"                                      \
  "      LATERAL (SELECT (k.at - k.f)::float8 AS d) a"                                            \
  " UNION ALL"                                                                                    \
  " SELECT g.id, g.days, 1, x, r.v, x * r.v, x * x"                                               \
  " FROM gaps g, LATERAL (SELECT r.t, r.v FROM tarn.reading r"                                    \
  "                       WHERE r.probe_id = g.id AND r.t >= g.a AND r.t < g.b OFFSET 0) r,"      \
  "      LATERAL (SELECT (r.t - g.f)::float8 AS x) b) "                                           \
  "SELECT w.id, w.days, w.count, w.last_time, s.n, s.sx, s.sy, s.sxy, s.sxx FROM w JOIN"          \
  " (SELECT id, days, sum(n)::bigint AS n, sum(sx) AS sx, sum(sy) AS sy, sum(sxy) AS sxy,"        \
  "         sum(sxx) AS sxx FROM parts GROUP BY id, days) s USING (id, days)"
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
inline constexpr const char* kRemoveProbe = "DELETE FROM tarn.probe WHERE id = $1";

}  // namespace tarn::pg_sql
