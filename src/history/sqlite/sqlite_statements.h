// SPDX-License-Identifier: GPL-3.0-or-later
// Every SQL text of the SQLite history in one place; values always go in as bound parameters.
#pragma once

namespace tarn::sqlite_sql {

// "Tarn" in ASCII, marking the file as a probe history.
inline constexpr int kApplicationId = 0x5461726E;

inline constexpr const char* kReadIdentity =
    "SELECT (SELECT application_id FROM pragma_application_id),"
    " (SELECT user_version FROM pragma_user_version),"
    " (SELECT count(*) FROM sqlite_schema)";

inline constexpr const char* kFindProbe =
    "SELECT id FROM probe WHERE tag = ?1 AND serial = ?2 AND data_type = ?3";
inline constexpr const char* kInsertProbe =
    "INSERT INTO probe(tag, serial, data_type) VALUES(?1, ?2, ?3)";
inline constexpr const char* kReadSummary =
    "SELECT count, first_time, last_time, latest_value, origin, sx, sy, sxy, sxx, header_time"
    " FROM probe WHERE id = ?1";
inline constexpr const char* kWriteSummary =
    "UPDATE probe SET count = ?2, first_time = ?3, last_time = ?4, latest_value = ?5,"
    " origin = ?6, sx = ?7, sy = ?8, sxy = ?9, sxx = ?10 WHERE id = ?1";
inline constexpr const char* kWriteHeader =
    "UPDATE probe SET part_no = ?2, probe_type_str = ?3, probe_type = ?4, mloss_unit = ?5,"
    " thickness = ?6, read_interval = ?7, probe_life = ?8, header_time = ?9 WHERE id = ?1";

inline constexpr const char* kInsertFile =
    "INSERT INTO source_file(name, size, sha256, imported_at) VALUES(?1, ?2, ?3, ?4)";
inline constexpr const char* kFinishFile =
    "UPDATE source_file SET tags = ?2, added = ?3, duplicates = ?4, conflicts = ?5"
    " WHERE id = ?1";

// Readings by key (probe and time in one integer, see sqlite_store.h).
inline constexpr const char* kReadingsInRange =
    "SELECT k, v FROM reading WHERE k BETWEEN ?1 AND ?2 ORDER BY k";
inline constexpr const char* kInsertReading = "INSERT INTO reading(k, v) VALUES(?1, ?2)";
inline constexpr const char* kInsertRun =
    "INSERT INTO reading_run(probe_id, file_id, first_t, last_t, n) VALUES(?1, ?2, ?3, ?4, ?5)";
inline constexpr const char* kReadingFile =
    "SELECT f.id, f.name, f.size, f.sha256, f.imported_at, f.added FROM reading_run r"
    " JOIN source_file f ON f.id = r.file_id"
    " WHERE r.probe_id = ?1 AND r.first_t <= ?2 AND r.last_t >= ?2"
    " AND EXISTS(SELECT 1 FROM reading WHERE k = ?3)"
    " ORDER BY r.file_id DESC LIMIT 1";
// Merges the hour figures of newly added readings into the stored ones; on the right of SET,
// names mean the row as it was.
inline constexpr const char* kMergeHour =
    "INSERT INTO reading_hour"
    " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)"
    " ON CONFLICT(probe_id, hour) DO UPDATE SET n = n + excluded.n,"
    " sx = sx + excluded.sx, sy = sy + excluded.sy, sxy = sxy + excluded.sxy,"
    " sxx = sxx + excluded.sxx,"
    " first_v = CASE WHEN excluded.first_t < first_t THEN excluded.first_v ELSE first_v END,"
    " first_t = min(first_t, excluded.first_t),"
    " last_v = CASE WHEN excluded.last_t > last_t THEN excluded.last_v ELSE last_v END,"
    " last_t = max(last_t, excluded.last_t),"
    " min_t = CASE WHEN excluded.min_v < min_v OR (excluded.min_v = min_v AND"
    " excluded.min_t < min_t) THEN excluded.min_t ELSE min_t END,"
    " min_v = min(min_v, excluded.min_v),"
    " max_t = CASE WHEN excluded.max_v > max_v OR (excluded.max_v = max_v AND"
    " excluded.max_t < max_t) THEN excluded.max_t ELSE max_t END,"
    " max_v = max(max_v, excluded.max_v)";
inline constexpr const char* kHoursInRange =
    "SELECT hour, n, first_t, first_v, last_t, last_v, min_t, min_v, max_t, max_v"
    " FROM reading_hour WHERE probe_id = ?1 AND hour BETWEEN ?2 AND ?3 ORDER BY hour";
inline constexpr const char* kWindowHours =
    "SELECT hour, n, sx, sy, sxy, sxx FROM reading_hour WHERE probe_id = ?1 AND hour >= ?2";
inline constexpr const char* kWriteWindow =
    "INSERT OR REPLACE INTO probe_window VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)";
inline constexpr const char* kInsertConflict =
    "INSERT INTO conflict(probe_id, t, stored, offered, file_id) VALUES(?1, ?2, ?3, ?4, ?5)";

inline constexpr const char* kListProbes =
    "SELECT p.id, p.tag, p.serial, p.data_type, p.part_no, p.probe_type_str, p.probe_type,"
    " p.mloss_unit, p.thickness, p.read_interval, p.probe_life, p.count, p.first_time,"
    " p.last_time, p.latest_value, p.origin, p.sx, p.sy, p.sxy, p.sxx,"
    " l.rate_warn, l.rate_alarm, l.consumed_warn, l.consumed_alarm,"
    " w.n, w.sx, w.sy, w.sxy, w.sxx"
    " FROM probe p LEFT JOIN limits l ON l.probe_id = p.id"
    " LEFT JOIN probe_window w ON w.probe_id = p.id AND w.days = ?2";
inline constexpr const char* kListOrder = " ORDER BY p.id";
inline constexpr const char* kOneProbe = " WHERE p.id = ?1";

inline constexpr const char* kReadLimits =
    "SELECT rate_warn, rate_alarm, consumed_warn, consumed_alarm FROM limits WHERE probe_id = ?1";
inline constexpr const char* kReadDefaultLimits =
    "SELECT rate_warn, rate_alarm, consumed_warn, consumed_alarm FROM default_limits";
inline constexpr const char* kWriteLimits =
    "INSERT INTO limits(probe_id, rate_warn, rate_alarm, consumed_warn, consumed_alarm)"
    " VALUES(?1, ?2, ?3, ?4, ?5) ON CONFLICT(probe_id) DO UPDATE SET rate_warn = ?2,"
    " rate_alarm = ?3, consumed_warn = ?4, consumed_alarm = ?5";
inline constexpr const char* kWriteDefaultLimits =
    "UPDATE default_limits SET rate_warn = ?2, rate_alarm = ?3, consumed_warn = ?4,"
    " consumed_alarm = ?5 WHERE ?1 = 0";
inline constexpr const char* kClearLimits = "DELETE FROM limits WHERE probe_id = ?1";
inline constexpr const char* kAppendChange =
    "INSERT INTO change_trail(t, user, what, before, after) VALUES(?1, ?2, ?3, ?4, ?5)";
inline constexpr const char* kReadChanges =
    "SELECT id, t, user, what, before, after FROM change_trail ORDER BY id";

inline constexpr const char* kProbeFiles =
    "SELECT f.id, f.name, f.size, f.sha256, f.imported_at, n FROM"
    " (SELECT file_id, sum(n) AS n FROM reading_run WHERE probe_id = ?1 GROUP BY file_id) r"
    " JOIN source_file f ON f.id = r.file_id ORDER BY f.id";
inline constexpr const char* kRemoveReadings = "DELETE FROM reading WHERE k BETWEEN ?1 AND ?2";
inline constexpr const char* kRemoveProbe = "DELETE FROM probe WHERE id = ?1";

// Monitoring points.
inline constexpr const char* kReadPointMembers =
    "SELECT t.id, t.path, t.rate_warn, t.rate_alarm, t.consumed_warn, t.consumed_alarm,"
    " m.probe_id, p.tag, p.serial, p.data_type, p.first_time, m.from_time"
    " FROM point t LEFT JOIN probe_point m ON m.point_id = t.id"
    " LEFT JOIN probe p ON p.id = m.probe_id ORDER BY t.id, m.probe_id";
inline constexpr const char* kUnplacedProbes =
    "SELECT 0, '', NULL, NULL, NULL, NULL, p.id, p.tag, p.serial, p.data_type, p.first_time,"
    " NULL FROM probe p WHERE NOT EXISTS(SELECT 1 FROM probe_point m WHERE m.probe_id = p.id)"
    " ORDER BY p.first_time, p.id";
inline constexpr const char* kAddPoint = "INSERT INTO point(path, path_key) VALUES(?1, ?2)";
inline constexpr const char* kPlaceProbe =
    "INSERT INTO probe_point(probe_id, point_id, from_time) VALUES(?1, ?2, ?3)"
    " ON CONFLICT(probe_id) DO UPDATE SET point_id = ?2, from_time = ?3";
inline constexpr const char* kWritePointPath =
    "UPDATE point SET path = ?2, path_key = ?3,"
    " edits = (SELECT max(edits) + 1 FROM point) WHERE id = ?1";
inline constexpr const char* kDropPoint = "DELETE FROM point WHERE id = ?1";
// Coupons, with their point's path.
inline constexpr const char* kReadCoupons =
    "SELECT c.id, c.point_id, t.path, c.tag, c.install_time, c.removal_time, c.coupon_type,"
    " c.alloy, c.density, c.shape, c.holes, c.hole_dia, c.length, c.width, c.thickness,"
    " c.weight_init, c.weight_final, c.area, c.exposure, c.metal_loss, c.corr_rate, c.comment,"
    " c.mils, c.pit_depth FROM coupon c JOIN point t ON t.id = c.point_id ORDER BY c.id";
inline constexpr const char* kAddCoupon =
    "INSERT INTO coupon(point_id, tag, install_time, removal_time, coupon_type, alloy, density,"
    " shape, holes, hole_dia, length, width, thickness, weight_init, weight_final, area,"
    " exposure, metal_loss, corr_rate, comment, mils, pit_depth)"
    " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18,"
    " ?19, ?20, ?21, ?22)";
inline constexpr const char* kWriteCouponPoint = "UPDATE coupon SET point_id = ?2 WHERE id = ?1";
inline constexpr const char* kWritePitDepth = "UPDATE coupon SET pit_depth = ?2 WHERE id = ?1";
inline constexpr const char* kWritePointLimits =
    "UPDATE point SET rate_warn = ?2, rate_alarm = ?3, consumed_warn = ?4, consumed_alarm = ?5,"
    " edits = (SELECT max(edits) + 1 FROM point) WHERE id = ?1";

// Events.
inline constexpr const char* kAddEvent =
    "INSERT INTO event(t, path, kind, note) VALUES(?1, ?2, ?3, ?4)";
inline constexpr const char* kWriteEvent =
    "UPDATE event SET t = ?2, path = ?3, kind = ?4, note = ?5,"
    " edits = (SELECT max(edits) + 1 FROM event) WHERE id = ?1";
inline constexpr const char* kDeleteEvent = "DELETE FROM event WHERE id = ?1";
inline constexpr const char* kReadEvents =
    "SELECT id, t, path, kind, note FROM event ORDER BY t, id";
// Readings set aside and flagged falls. ?1 0: every probe's.
inline constexpr const char* kReadSetAside =
    "SELECT id, probe_id, from_t, to_t, reason, set_at, user FROM set_aside"
    " WHERE ?1 = 0 OR probe_id = ?1 ORDER BY probe_id, from_t, id";
inline constexpr const char* kAddSetAside =
    "INSERT INTO set_aside(probe_id, from_t, to_t, reason, set_at, user)"
    " VALUES(?1, ?2, ?3, ?4, ?5, ?6)";
inline constexpr const char* kDropSetAside = "DELETE FROM set_aside WHERE id = ?1";
// Keys ?1 to ?2; x in days from the key ?3.
inline constexpr const char* kSumReadings =
    "SELECT count(*), total(x), total(v), total(x * v), total(x * x)"
    " FROM (SELECT (k - ?3) / 86400.0 AS x, v FROM reading WHERE k BETWEEN ?1 AND ?2)";
// A fall found again keeps its one row, with the drop as found last.
inline constexpr const char* kAddFlag =
    "INSERT INTO reading_flag(probe_id, t, drop_value) VALUES(?1, ?2, ?3)"
    " ON CONFLICT(probe_id, t) DO UPDATE SET drop_value = excluded.drop_value";
// Only flags of readings the history holds: an undone import takes its readings' flags with it.
inline constexpr const char* kReadFlags =
    "SELECT probe_id, t, drop_value FROM reading_flag f WHERE EXISTS(SELECT 1 FROM reading"
    " WHERE k = f.probe_id * 17179869184 + f.t - 63082281600 + 8589934592)"
    " ORDER BY probe_id, t";

}  // namespace tarn::sqlite_sql
