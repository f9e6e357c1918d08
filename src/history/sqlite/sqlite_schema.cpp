// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/sqlite/sqlite_schema.h"

#include "history/sqlite/sqlite_statements.h"

namespace tarn {

namespace {

// Version 1. Readings are keyed by probe and second in a table without row ids, so that a
// reading costs its key and value and nothing else; times there count seconds from 01/01/2000
// to keep them in four bytes. A reading's file is found through reading_run: each run is a
// stretch of readings a file added to a probe with no older reading between them, so the
// latest run that spans a reading's second is the one that brought it. Probe rows carry the running
// summary (count, ends, latest value and least-squares sums over the whole history, x in days from
// `origin`) that the probe list reads without touching readings.
const char kVersion1[] = R"sql(
CREATE TABLE probe(
  id INTEGER PRIMARY KEY,
  tag TEXT NOT NULL,
  serial TEXT NOT NULL,
  data_type INTEGER NOT NULL,
  part_no TEXT NOT NULL DEFAULT '',
  probe_type_str TEXT NOT NULL DEFAULT '',
  probe_type INTEGER NOT NULL DEFAULT 0,
  mloss_unit TEXT NOT NULL DEFAULT '',
  thickness REAL NOT NULL DEFAULT 0,
  read_interval TEXT NOT NULL DEFAULT '',
  probe_life REAL NOT NULL DEFAULT 0,
  header_time INTEGER NOT NULL DEFAULT -9223372036854775808,
  count INTEGER NOT NULL DEFAULT 0,
  first_time INTEGER NOT NULL DEFAULT 0,
  last_time INTEGER NOT NULL DEFAULT 0,
  latest_value REAL NOT NULL DEFAULT 0,
  origin INTEGER NOT NULL DEFAULT 0,
  sx REAL NOT NULL DEFAULT 0,
  sy REAL NOT NULL DEFAULT 0,
  sxy REAL NOT NULL DEFAULT 0,
  sxx REAL NOT NULL DEFAULT 0,
  UNIQUE(tag, serial, data_type)
);
CREATE TABLE source_file(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  size INTEGER NOT NULL,
  sha256 TEXT NOT NULL,
  imported_at INTEGER NOT NULL,
  tags INTEGER NOT NULL DEFAULT 0,
  added INTEGER NOT NULL DEFAULT 0,
  duplicates INTEGER NOT NULL DEFAULT 0,
  conflicts INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE reading(
  probe_id INTEGER NOT NULL REFERENCES probe(id) ON DELETE CASCADE,
  t INTEGER NOT NULL,
  v REAL NOT NULL,
  PRIMARY KEY(probe_id, t)
) WITHOUT ROWID;
CREATE TABLE reading_run(
  probe_id INTEGER NOT NULL REFERENCES probe(id) ON DELETE CASCADE,
  file_id INTEGER NOT NULL REFERENCES source_file(id),
  first_t INTEGER NOT NULL,
  last_t INTEGER NOT NULL,
  n INTEGER NOT NULL
);
CREATE INDEX reading_run_probe ON reading_run(probe_id, first_t);
CREATE TABLE conflict(
  id INTEGER PRIMARY KEY,
  probe_id INTEGER NOT NULL REFERENCES probe(id) ON DELETE CASCADE,
  t INTEGER NOT NULL,
  stored REAL NOT NULL,
  offered REAL NOT NULL,
  file_id INTEGER NOT NULL REFERENCES source_file(id)
);
CREATE INDEX conflict_probe ON conflict(probe_id, t);
CREATE TABLE limits(
  probe_id INTEGER PRIMARY KEY REFERENCES probe(id) ON DELETE CASCADE,
  rate_warn REAL NOT NULL,
  rate_alarm REAL NOT NULL,
  consumed_warn REAL NOT NULL,
  consumed_alarm REAL NOT NULL
);
CREATE TABLE default_limits(
  id INTEGER PRIMARY KEY CHECK(id = 1),
  rate_warn REAL NOT NULL,
  rate_alarm REAL NOT NULL,
  consumed_warn REAL NOT NULL,
  consumed_alarm REAL NOT NULL
);
INSERT INTO default_limits VALUES(1, 5, 10, 0.5, 0.8);
)sql";

// Version 2. The first, last, lowest and highest reading of every probe-hour, so that a plot
// of a long history reads one row per hour instead of every reading. Hours are
// floor(t / 3600) of the readings' own time scale; existing readings are summed up here.
const char kVersion2[] = R"sql(
CREATE TABLE reading_hour(
  probe_id INTEGER NOT NULL REFERENCES probe(id) ON DELETE CASCADE,
  hour INTEGER NOT NULL,
  n INTEGER NOT NULL,
  first_t INTEGER NOT NULL,
  first_v REAL NOT NULL,
  last_t INTEGER NOT NULL,
  last_v REAL NOT NULL,
  min_t INTEGER NOT NULL,
  min_v REAL NOT NULL,
  max_t INTEGER NOT NULL,
  max_v REAL NOT NULL,
  PRIMARY KEY(probe_id, hour)
) WITHOUT ROWID;
INSERT INTO reading_hour
SELECT probe_id, hour, n,
  first_t, (SELECT v FROM reading r WHERE r.probe_id = g.probe_id AND r.t = g.first_t),
  last_t, (SELECT v FROM reading r WHERE r.probe_id = g.probe_id AND r.t = g.last_t),
  (SELECT t FROM reading r WHERE r.probe_id = g.probe_id AND r.t BETWEEN g.first_t AND g.last_t
   ORDER BY v, t LIMIT 1), min_v,
  (SELECT t FROM reading r WHERE r.probe_id = g.probe_id AND r.t BETWEEN g.first_t AND g.last_t
   ORDER BY v DESC, t LIMIT 1), max_v
FROM (SELECT probe_id, (t - ((t % 3600) + 3600) % 3600) / 3600 AS hour, count(*) AS n,
        min(t) AS first_t, max(t) AS last_t, min(v) AS min_v, max(v) AS max_v
      FROM reading GROUP BY 1, 2) g;
)sql";

// Version 3.
// - Readings move to a table keyed by one integer, probe_id * 2^34 + (t + 2^33): SQLite fills
//   the pages of such a table completely as readings are appended, where the two-column key left
//   an eighth of every page empty.
// - Every probe-hour also keeps the least-squares sums of its readings (x in seconds from the
//   hour's start, so that they shift exactly to any origin); only hours of 12 readings or more
//   keep a row (a row costs about six readings), and every probe the sums of the
//   rate windows the probe list offers (x in days from the window's start, the window ending at
//   the probe's last reading), so that listing rates reads no readings.
const char kVersion3[] = R"sql(
CREATE TABLE reading_by_key(k INTEGER PRIMARY KEY, v REAL NOT NULL);
INSERT INTO reading_by_key
  SELECT probe_id * 17179869184 + t + 8589934592, v FROM reading ORDER BY probe_id, t;
DROP TABLE reading;
ALTER TABLE reading_by_key RENAME TO reading;
ALTER TABLE reading_hour ADD COLUMN sx REAL NOT NULL DEFAULT 0;
ALTER TABLE reading_hour ADD COLUMN sy REAL NOT NULL DEFAULT 0;
ALTER TABLE reading_hour ADD COLUMN sxy REAL NOT NULL DEFAULT 0;
ALTER TABLE reading_hour ADD COLUMN sxx REAL NOT NULL DEFAULT 0;
DELETE FROM reading_hour WHERE n < 12;
UPDATE reading_hour SET (sx, sy, sxy, sxx) = (
  SELECT total(x), total(v), total(x * v), total(x * x)
  FROM (SELECT r.k - s.start AS x, r.v AS v
        FROM (SELECT reading_hour.probe_id * 17179869184 + 8589934592 + reading_hour.hour * 3600
                AS start) s
        JOIN reading r ON r.k BETWEEN s.start AND s.start + 3599));
CREATE TABLE probe_window(
  probe_id INTEGER NOT NULL REFERENCES probe(id) ON DELETE CASCADE,
  days INTEGER NOT NULL,
  n INTEGER NOT NULL,
  sx REAL NOT NULL,
  sy REAL NOT NULL,
  sxy REAL NOT NULL,
  sxx REAL NOT NULL,
  PRIMARY KEY(probe_id, days)
) WITHOUT ROWID;
INSERT INTO probe_window
SELECT id, days, count(*), total(x), total(v), total(x * v), total(x * x)
FROM (SELECT w.id AS id, w.days AS days, (r.k - w.start) / 86400.0 AS x, r.v AS v
      FROM (SELECT p.id AS id, d.column1 AS days,
              p.id * 17179869184 + 8589934592 + p.last_time - 63082281600 - d.column1 * 86400
                AS start,
              p.id * 17179869184 + 8589934592 + p.last_time - 63082281600 AS stop
            FROM probe p, (VALUES (7), (30), (90), (365)) d WHERE p.count > 0) w
      JOIN reading r ON r.k BETWEEN w.start AND w.stop)
GROUP BY id, days;
)sql";

// Version 4. The trail of every change a user makes, which nothing may change afterwards.
const char kVersion4[] = R"sql(
CREATE TABLE change_trail(
  id INTEGER PRIMARY KEY,
  t INTEGER NOT NULL,
  user TEXT NOT NULL,
  what TEXT NOT NULL,
  before TEXT NOT NULL,
  after TEXT NOT NULL
);
CREATE TRIGGER change_trail_kept BEFORE UPDATE ON change_trail
BEGIN SELECT RAISE(ABORT, 'the trail of changes cannot be changed'); END;
CREATE TRIGGER change_trail_whole BEFORE DELETE ON change_trail
BEGIN SELECT RAISE(ABORT, 'the trail of changes cannot be changed'); END;
)sql";

// Version 5. Monitoring points: a point is a path of names (kept as written, unique by its
// letter-case-folded key) and each probe is at one point, counting there from `from_time`
// (NULL: its first reading). The store places the probes of an upgraded file once it is open,
// as an import would have placed them.
const char kVersion5[] = R"sql(
CREATE TABLE point(
  id INTEGER PRIMARY KEY,
  path TEXT NOT NULL,
  path_key TEXT NOT NULL UNIQUE,
  edits INTEGER NOT NULL DEFAULT 0,
  rate_warn REAL,
  rate_alarm REAL,
  consumed_warn REAL,
  consumed_alarm REAL
);
CREATE TABLE probe_point(
  probe_id INTEGER PRIMARY KEY REFERENCES probe(id) ON DELETE CASCADE,
  point_id INTEGER NOT NULL REFERENCES point(id),
  from_time INTEGER
);
CREATE INDEX probe_point_point ON probe_point(point_id);
)sql";

// Version 6. Events on the plant: at a point, or on a unit or site path (every point under
// it); times on the history's own clock, as the trail's. Every edit counts up `edits`, which
// the change mark reads.
const char kVersionEvents[] = R"sql(
CREATE TABLE event(
  id INTEGER PRIMARY KEY,
  t INTEGER NOT NULL,
  path TEXT NOT NULL,
  kind TEXT NOT NULL
    CHECK(kind IN ('inhibitor', 'process', 'cleaning', 'probe', 'other')),
  note TEXT NOT NULL DEFAULT '',
  edits INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX event_time ON event(t);
)sql";

// Version 7. Weight-loss coupons, each at the point it was exposed at: its values as the
// Coupon tab computed them (times as seconds like readings' own clock), the unit it was shown in
// and its deepest pit in mm (NULL: none entered). A coupon is the same coupon when its tag,
// installation and removal are.
const char kVersionCoupons[] = R"sql(
CREATE TABLE coupon(
  id INTEGER PRIMARY KEY,
  point_id INTEGER NOT NULL REFERENCES point(id),
  tag TEXT NOT NULL,
  install_time INTEGER NOT NULL,
  removal_time INTEGER NOT NULL,
  coupon_type INTEGER NOT NULL,
  alloy INTEGER NOT NULL,
  density REAL NOT NULL,
  shape INTEGER NOT NULL,
  holes INTEGER NOT NULL,
  hole_dia REAL NOT NULL,
  length REAL NOT NULL,
  width REAL NOT NULL,
  thickness REAL NOT NULL,
  weight_init REAL NOT NULL,
  weight_final REAL NOT NULL,
  area REAL NOT NULL,
  exposure REAL NOT NULL,
  metal_loss REAL NOT NULL,
  corr_rate REAL NOT NULL,
  comment TEXT NOT NULL,
  mils INTEGER NOT NULL,
  pit_depth REAL,
  UNIQUE(tag, install_time, removal_time)
);
CREATE INDEX coupon_point ON coupon(point_id);
)sql";

// Version 8. Readings set aside, as stretches of a probe's seconds (full times, from..to inclusive)
// with why, when and by whom; and the falls imports flagged for review, one per probe and second.
const char kReadingsSetAside[] = R"sql(
CREATE TABLE set_aside(
  id INTEGER PRIMARY KEY,
  probe_id INTEGER NOT NULL REFERENCES probe(id) ON DELETE CASCADE,
  from_t INTEGER NOT NULL,
  to_t INTEGER NOT NULL,
  reason TEXT NOT NULL,
  set_at INTEGER NOT NULL,
  user TEXT NOT NULL
);
CREATE INDEX set_aside_probe ON set_aside(probe_id, from_t);
CREATE TABLE reading_flag(
  probe_id INTEGER NOT NULL REFERENCES probe(id) ON DELETE CASCADE,
  t INTEGER NOT NULL,
  drop_value REAL NOT NULL,
  PRIMARY KEY(probe_id, t)
) WITHOUT ROWID;
)sql";

// Step i takes a file from version i to version i + 1.
const char* const kSteps[kSqliteSchemaVersion] = {kVersion1,       kVersion2,        kVersion3,
                                                  kVersion4,       kVersion5,        kVersionEvents,
                                                  kVersionCoupons, kReadingsSetAside};

Status Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return {};
  Status failed = Status::Fail(message ? message : sqlite3_errmsg(db));
  sqlite3_free(message);
  return failed;
}

}  // namespace

Status UpgradeSqliteSchema(sqlite3* db, int from_version) {
  if (from_version < 0 || from_version > kSqliteSchemaVersion) {
    return Status::Fail("unknown schema version " + std::to_string(from_version));
  }
  for (int v = from_version; v < kSqliteSchemaVersion; ++v) {
    if (Status st = Exec(db, kSteps[v]); !st) return st;
  }
  return Exec(db, "PRAGMA application_id = " + std::to_string(sqlite_sql::kApplicationId) +
                      "; PRAGMA user_version = " + std::to_string(kSqliteSchemaVersion));
}

}  // namespace tarn
