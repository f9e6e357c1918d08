// SPDX-License-Identifier: GPL-3.0-or-later
// The PostgreSQL history's kept day extremes: each busy day of a probe keeps its first, lowest,
// highest and last reading, so that a graph whose columns span days reads a few rows a day
// instead of every reading. Times in a row are seconds from the start of its day.
#pragma once

#include <cstdint>

namespace tarn::pg_sql {

inline constexpr int64_t kSecondsPerDay = 86400;
// A day keeps a row only from this many readings: a row costs about what four readings do, and
// a graph reads at most four of a day.
inline constexpr int64_t kDayRowMin = 12;

// The extremes of the readings of probe `p` from `lo` to `hi` (times of the table), by day; the
// lowest is the first of the lowest values, the highest the first of the highest, as a graph's
// column keeps them. Times are below 2^53 seconds, so exact in doubles.
#define TARN_PG_EXTREMES                                                                 \
  "count(*) AS n, min(ARRAY[r.t::float8, r.v]) AS f, max(ARRAY[r.t::float8, r.v]) AS l," \
  " min(ARRAY[r.v, r.t::float8]) AS lo, max(ARRAY[r.v, -r.t::float8]) AS hi"
#define TARN_PG_DAY_EXTREMES(p, lo, hi)                                  \
  "SELECT floor(r.t::float8 / 86400)::integer AS day, " TARN_PG_EXTREMES \
  " FROM tarn.reading r WHERE r.probe_id = " p " AND r.t >= " lo " AND r.t <= " hi " GROUP BY 1"
#define TARN_PG_DAY_ROW(p)                                                                        \
  "SELECT " p                                                                                     \
  ", s.day, (s.f[1] - s.day * 86400.0)::integer, (s.lo[2] - s.day * 86400.0)::integer,"           \
  " (-s.hi[2] - s.day * 86400.0)::integer, (s.l[1] - s.day * 86400.0)::integer, s.f[2], s.lo[1]," \
  " s.hi[1], s.l[2]"
#define TARN_PG_DAY_COLUMNS \
  "probe_id, day, first_t, low_t, high_t, last_t, first_v, low_v, high_v, last_v"

// The schema step that keeps them, filled from the readings already stored.
inline constexpr const char* kCreateDayExtremes =
    "CREATE TABLE tarn.reading_day("
    " probe_id integer NOT NULL, day integer NOT NULL,"
    " first_t integer NOT NULL, low_t integer NOT NULL, high_t integer NOT NULL,"
    " last_t integer NOT NULL, first_v double precision NOT NULL, low_v double precision NOT NULL,"
    " high_v double precision NOT NULL, last_v double precision NOT NULL,"
    " PRIMARY KEY (probe_id, day));"
    "INSERT INTO tarn.reading_day(" TARN_PG_DAY_COLUMNS ") " TARN_PG_DAY_ROW(
        "p.id") " FROM tarn.probe p, LATERAL (" TARN_PG_DAY_EXTREMES("p.id", "-9223372036854775807",
                                                                     "9223372036854775807") ") s"
    " WHERE s.n >= 12;";
static_assert(kDayRowMin == 12);

// What an import gathers: whole days of its readings (with their count, to keep the later of a
// day gathered twice), written at its end.
inline constexpr const char* kCreateDayTemp =
    "CREATE TEMP TABLE IF NOT EXISTS tarn_day_extremes(n integer, probe_id integer, day integer,"
    " first_t integer, low_t integer, high_t integer, last_t integer, first_v float8,"
    " low_v float8, high_v float8, last_v float8) ON COMMIT DELETE ROWS";
inline constexpr const char* kCopyDays =
    "COPY pg_temp.tarn_day_extremes(n, " TARN_PG_DAY_COLUMNS ") FROM STDIN BINARY";
// $1, $2: probes and days taken again from the readings (their rows win over gathered ones).
inline constexpr const char* kMergeDays =
    "INSERT INTO tarn.reading_day AS d(" TARN_PG_DAY_COLUMNS
    ")"
    " SELECT DISTINCT ON (probe_id, day) " TARN_PG_DAY_COLUMNS
    " FROM pg_temp.tarn_day_extremes s"
    " WHERE NOT EXISTS (SELECT 1 FROM unnest($1::integer[], $2::bigint[]) AS k(p, d)"
    "                   WHERE k.p = s.probe_id AND k.d = s.day)"
    " ORDER BY probe_id, day, n DESC"
    " ON CONFLICT (probe_id, day) DO UPDATE SET first_t = excluded.first_t,"
    " low_t = excluded.low_t, high_t = excluded.high_t, last_t = excluded.last_t,"
    " first_v = excluded.first_v, low_v = excluded.low_v, high_v = excluded.high_v,"
    " last_v = excluded.last_v";
// The days $2 to $3 of the probes $1, again from their readings: first their rows go, then
// those with kDayRowMin readings come back, each range by its own key range.
inline constexpr const char* kDropDays =
    "DELETE FROM tarn.reading_day d USING unnest($1::integer[], $2::bigint[], $3::bigint[])"
    " AS k(p, lo, hi) WHERE d.probe_id = k.p AND d.day BETWEEN k.lo AND k.hi";
inline constexpr const char* kTakeDays =
    "INSERT INTO tarn.reading_day(" TARN_PG_DAY_COLUMNS ") " TARN_PG_DAY_ROW(
        "k.p") " FROM unnest($1::integer[], $2::bigint[], $3::bigint[]) AS k(p, dlo, dhi),"
               " LATERAL (" TARN_PG_DAY_EXTREMES("k.p", "k.dlo * 86400", "k.dhi * 86400 + 86399") ") s"
    " WHERE s.n >= $4";
inline constexpr const char* kRemoveProbeDays = "DELETE FROM tarn.reading_day WHERE probe_id = $1";

// The same extremes of any readings `r`, for a stretch that lies inside one column of a graph.
inline constexpr const char* kExtremes = TARN_PG_EXTREMES;

#undef TARN_PG_EXTREMES
#undef TARN_PG_DAY_EXTREMES
#undef TARN_PG_DAY_ROW
#undef TARN_PG_DAY_COLUMNS

}  // namespace tarn::pg_sql
