// SPDX-License-Identifier: GPL-3.0-or-later
// The PostgreSQL history's statements of monitoring points and events; values always go in as bound
// parameters.
#pragma once

namespace tarn::pg_sql {

inline constexpr const char* kReadPointMembers =
    "SELECT t.id, t.path, t.rate_warn, t.rate_alarm, t.consumed_warn, t.consumed_alarm,"
    " m.probe_id, p.tag, p.serial, p.data_type, p.first_time, m.from_time"
    " FROM tarn.point t LEFT JOIN tarn.probe_point m ON m.point_id = t.id"
    " LEFT JOIN tarn.probe p ON p.id = m.probe_id ORDER BY t.id, m.probe_id";
inline constexpr const char* kUnplacedProbes =
    "SELECT 0, '', NULL, NULL, NULL, NULL, p.id, p.tag, p.serial, p.data_type, p.first_time,"
    " NULL FROM tarn.probe p"
    " WHERE NOT EXISTS(SELECT 1 FROM tarn.probe_point m WHERE m.probe_id = p.id)"
    " ORDER BY p.first_time, p.id";
inline constexpr const char* kAddPoint =
    "INSERT INTO tarn.point(path, path_key) VALUES($1, $2) RETURNING id";
// $3 empty: from the probe's first reading.
inline constexpr const char* kPlaceProbe =
    "INSERT INTO tarn.probe_point(probe_id, point_id, from_time)"
    " VALUES($1, $2, NULLIF($3, '')::bigint)"
    " ON CONFLICT(probe_id) DO UPDATE SET point_id = $2, from_time = NULLIF($3, '')::bigint";
inline constexpr const char* kWritePointPath =
    "UPDATE tarn.point SET path = $2, path_key = $3,"
    " edits = (SELECT max(edits) + 1 FROM tarn.point) WHERE id = $1";
inline constexpr const char* kDropPoint = "DELETE FROM tarn.point WHERE id = $1";
// $2 to $5 empty: the defaults.
inline constexpr const char* kWritePointLimits =
    "UPDATE tarn.point SET rate_warn = NULLIF($2, '')::float8,"
    " rate_alarm = NULLIF($3, '')::float8, consumed_warn = NULLIF($4, '')::float8,"
    " consumed_alarm = NULLIF($5, '')::float8,"
    " edits = (SELECT max(edits) + 1 FROM tarn.point) WHERE id = $1";

// Events.
inline constexpr const char* kAddEvent =
    "INSERT INTO tarn.event(t, path, kind, note) VALUES($1, $2, $3, $4) RETURNING id";
inline constexpr const char* kWriteEvent =
    "UPDATE tarn.event SET t = $2, path = $3, kind = $4, note = $5,"
    " edits = (SELECT max(edits) + 1 FROM tarn.event) WHERE id = $1";
inline constexpr const char* kDeleteEvent = "DELETE FROM tarn.event WHERE id = $1";
inline constexpr const char* kReadEvents =
    "SELECT id, t, path, kind, note FROM tarn.event ORDER BY t, id";
// The readings of many spans (probe $1[i], $2[i] <= t <= $3[i]) by the span's place, 1 first;
// $4 the reading epoch. Each span is its own index range scan (a join the planner may turn
// into a scan of the whole table), in the index's time order.
inline constexpr const char* kReadingsOfSpans =
    "SELECT s.i, r.t + $4, r.v"
    " FROM unnest($1::integer[], $2::bigint[], $3::bigint[]) WITH ORDINALITY AS s(p, lo, hi, i),"
    " LATERAL (SELECT t, v FROM tarn.reading WHERE probe_id = s.p AND t BETWEEN s.lo AND s.hi"
    " ORDER BY t) r";
// Coupons, with their point's path.
inline constexpr const char* kReadCoupons =
    "SELECT c.id, c.point_id, t.path, c.tag, c.install_time, c.removal_time, c.coupon_type,"
    " c.alloy, c.density, c.shape, c.holes, c.hole_dia, c.length, c.width, c.thickness,"
    " c.weight_init, c.weight_final, c.area, c.exposure, c.metal_loss, c.corr_rate, c.comment,"
    " c.mils::int, c.pit_depth FROM tarn.coupon c JOIN tarn.point t ON t.id = c.point_id"
    " ORDER BY c.id";
// $22 empty: no pit depth.
inline constexpr const char* kAddCoupon =
    "INSERT INTO tarn.coupon(point_id, tag, install_time, removal_time, coupon_type, alloy,"
    " density, shape, holes, hole_dia, length, width, thickness, weight_init, weight_final, area,"
    " exposure, metal_loss, corr_rate, comment, mils, pit_depth)"
    " VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17, $18,"
    " $19, $20, $21::int <> 0, NULLIF($22, '')::float8) RETURNING id";
inline constexpr const char* kWriteCouponPoint =
    "UPDATE tarn.coupon SET point_id = $2 WHERE id = $1";
inline constexpr const char* kWritePitDepth = "UPDATE tarn.coupon SET pit_depth = $2 WHERE id = $1";

}  // namespace tarn::pg_sql
