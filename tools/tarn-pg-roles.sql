-- SPDX-License-Identifier: GPL-3.0-or-later
-- Least privilege for a Tarn history on PostgreSQL. Run once as a database administrator, in the
-- history's database, after the owner has run Tarn there once (so that its tables exist), and
-- again after every upgrade of Tarn:
--
--   CREATE ROLE tarn_owner LOGIN;                  -- creates and upgrades the tables
--   CREATE SCHEMA tarn AUTHORIZATION tarn_owner;
--   (run Tarn, or tarn-export history probes, once as tarn_owner)
--   psql -d corrosion -f tools/tarn-pg-roles.sql
--   CREATE ROLE alice LOGIN IN ROLE tarn_team;
--
-- tarn_team imports, sets limits and removes probes; tarn_viewer lists and graphs. Neither may
-- change the schema version, the tables themselves or anyone's grants: only the owner may.
DO $$
BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'tarn_team') THEN
    CREATE ROLE tarn_team NOLOGIN;
  END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'tarn_viewer') THEN
    CREATE ROLE tarn_viewer NOLOGIN;
  END IF;
END
$$;

-- Nobody but the owner creates objects in the schema.
REVOKE CREATE ON SCHEMA tarn FROM PUBLIC;
GRANT USAGE ON SCHEMA tarn TO tarn_team, tarn_viewer;

-- Reading everything; changing the readings, probes, files, conflicts, sums and limits.
REVOKE ALL ON ALL TABLES IN SCHEMA tarn FROM PUBLIC;
GRANT SELECT ON ALL TABLES IN SCHEMA tarn TO tarn_team, tarn_viewer;
GRANT INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA tarn TO tarn_team;
-- The schema version is the owner's alone: a team member who changed it would lock every
-- client, the owner's too, out of the history.
REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON tarn.schema_info FROM tarn_team;
-- The trail of changes is only ever added to: nobody but the owner may alter or remove a line.
REVOKE UPDATE, DELETE, TRUNCATE ON tarn.change_trail FROM tarn_team;

-- Tables a newer Tarn adds get the same grants; run this script again after the upgrade to
-- keep the schema version to the owner.
ALTER DEFAULT PRIVILEGES FOR ROLE tarn_owner IN SCHEMA tarn
  GRANT SELECT ON TABLES TO tarn_team, tarn_viewer;
ALTER DEFAULT PRIVILEGES FOR ROLE tarn_owner IN SCHEMA tarn
  GRANT INSERT, UPDATE, DELETE ON TABLES TO tarn_team;
