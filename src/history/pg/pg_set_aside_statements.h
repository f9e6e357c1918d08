// SPDX-License-Identifier: GPL-3.0-or-later
// The PostgreSQL history's statements of readings set aside and flagged falls; values always go
// in as bound parameters.
#pragma once

namespace tarn::pg_sql {

// $1 0: every probe's.
inline constexpr const char* kReadSetAside =
    "SELECT id, probe_id, from_t, to_t, reason, set_at, username FROM tarn.set_aside"
    " WHERE $1::integer = 0 OR probe_id = $1::integer ORDER BY probe_id, from_t, id";
inline constexpr const char* kAddSetAside =
    "INSERT INTO tarn.set_aside(probe_id, from_t, to_t, reason, set_at, username)"
    " VALUES($1, $2, $3, $4, $5, $6)";
inline constexpr const char* kDropSetAside = "DELETE FROM tarn.set_aside WHERE id = $1";
// Times $2 to $3 and the origin $4 on the readings' own scale; x in days from $4.
inline constexpr const char* kSumReadings =
    "SELECT count(*), coalesce(sum(x), 0), coalesce(sum(v), 0), coalesce(sum(x * v), 0),"
    " coalesce(sum(x * x), 0) FROM (SELECT (t - $4::bigint)::float8 / 86400 AS x, v"
    " FROM tarn.reading WHERE probe_id = $1 AND t BETWEEN $2 AND $3) s";
// Arrays of probe ids, times and drops; a fall found again keeps its one row, with the drop as
// found last.
inline constexpr const char* kAddFlags =
    "INSERT INTO tarn.reading_flag(probe_id, t, drop_value)"
    " SELECT * FROM unnest($1::integer[], $2::bigint[], $3::float8[])"
    " ON CONFLICT (probe_id, t) DO UPDATE SET drop_value = excluded.drop_value";
// Only flags of readings the history holds ($1 the readings' epoch): an undone import takes its
// readings' flags with it.
inline constexpr const char* kReadFlags =
    "SELECT probe_id, t, drop_value FROM tarn.reading_flag f WHERE EXISTS(SELECT 1 FROM"
    " tarn.reading r WHERE r.probe_id = f.probe_id AND r.t = f.t - $1::bigint)"
    " ORDER BY probe_id, t";

}  // namespace tarn::pg_sql
