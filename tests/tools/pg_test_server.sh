#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A private PostgreSQL server for the history tests: a throw-away cluster on a Unix socket only.
#   pg_test_server.sh start STATE_DIR   initdb, start, create a fresh database, write STATE_DIR/uri
#   pg_test_server.sh stop STATE_DIR    stop the server and remove its cluster
#   pg_test_server.sh halt STATE_DIR    stop the server, keeping its cluster (a server gone away)
#   pg_test_server.sh resume STATE_DIR  start a halted server again on the same socket
# The server refuses to run as root, so as root the cluster belongs to an unprivileged user
# (`postgres`, which Debian's package creates; another one is created if it is missing).
# Any failure exits non-zero with the server's log: the tests need the server and never skip.
set -euo pipefail
mode="${1:?usage: pg_test_server.sh start|stop STATE_DIR}"
state="${2:?usage: pg_test_server.sh start|stop STATE_DIR}"
# Extra server settings, e.g. "-c fsync=off" for the tests (the benchmark keeps the defaults).
server_opts="${TARN_PG_SERVER_OPTS:-}"

bindir="${TARN_PG_BINDIR:-}"
if [ -z "$bindir" ]; then
  for d in /usr/lib/postgresql/*/bin; do
    [ -x "$d/pg_ctl" ] && bindir="$d"
  done
fi
if [ -z "$bindir" ] || [ ! -x "$bindir/pg_ctl" ]; then
  echo "pg_test_server: no PostgreSQL server programs (install the postgresql package)" >&2
  exit 1
fi

runner=""
as_runner() {
  if [ -n "$runner" ]; then
    runuser -u "$runner" -- "$@"
  else
    "$@"
  fi
}
if [ "$(id -u)" -eq 0 ]; then
  runner=postgres
  if ! id -u "$runner" >/dev/null 2>&1; then
    runner=tarn-pgtest
    id -u "$runner" >/dev/null 2>&1 ||
      useradd --system --no-create-home --shell /usr/sbin/nologin "$runner"
  fi
fi

# Where the cluster lives: a file in STATE_DIR names it, so `stop` finds it even after `start`
# fell back to /tmp (a build folder the server user cannot reach, or a socket path too long).
cluster_file="$state/cluster"

stop_cluster() {
  local dir="$1"
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_runner "$bindir/pg_ctl" stop -D "$dir/data" -m fast -w -t 30 >/dev/null 2>&1 ||
      as_runner "$bindir/pg_ctl" stop -D "$dir/data" -m immediate -w >/dev/null 2>&1 || true
  fi
  # Keep the log beside the state for a look after a failed run.
  [ -f "$dir/server.log" ] && cp "$dir/server.log" "$state/server.log" 2>/dev/null || true
  rm -rf "$dir"
}

case "$mode" in
  stop)
    if [ -f "$cluster_file" ]; then
      stop_cluster "$(cat "$cluster_file")"
      rm -f "$cluster_file" "$state/uri"
    fi
    exit 0
    ;;
  halt | resume)
    dir="$(cat "$cluster_file")"
    if [ "$mode" = halt ]; then
      as_runner "$bindir/pg_ctl" stop -D "$dir/data" -m fast -w -t 30 >/dev/null 2>&1
    else
      # shellcheck disable=SC2086
      as_runner "$bindir/pg_ctl" start -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-c listen_addresses='' -k '$dir' -c max_connections=60 $server_opts" >/dev/null 2>&1
    fi
    exit 0
    ;;
  start) ;;
  *)
    echo "usage: pg_test_server.sh start|stop|halt|resume STATE_DIR" >&2
    exit 2
    ;;
esac

mkdir -p "$state"
state="$(cd "$state" && pwd)"
cluster_file="$state/cluster"
# A server left by an interrupted run goes first.
if [ -f "$cluster_file" ]; then
  stop_cluster "$(cat "$cluster_file")"
fi
rm -f "$cluster_file" "$state/uri" "$state/server.log"

dir="$state/cluster.d"
rm -rf "$dir"
mkdir -p "$dir"
[ -n "$runner" ] && chown "$runner" "$dir"
# The socket's full name must fit in sun_path (107 bytes).
if ! as_runner test -w "$dir" || [ "${#dir}" -gt 80 ]; then
  rm -rf "$dir"
  dir="$(mktemp -d /tmp/tarn-pg.XXXXXX)"
  [ -n "$runner" ] && chown "$runner" "$dir"
fi
echo "$dir" >"$cluster_file"

fail() {
  echo "pg_test_server: $1" >&2
  if [ -f "$dir/server.log" ]; then
    echo "---- server log ----" >&2
    cat "$dir/server.log" >&2
  fi
  if [ -f "$dir/initdb.log" ]; then
    echo "---- initdb log ----" >&2
    cat "$dir/initdb.log" >&2
  fi
  stop_cluster "$dir"
  rm -f "$cluster_file"
  exit 1
}

as_runner "$bindir/initdb" -D "$dir/data" -U postgres --auth=trust -E UTF8 --locale=C \
  --no-sync >"$dir/initdb.log" 2>&1 ||
  { [ -n "$runner" ] && chown "$runner" "$dir"/*.log 2>/dev/null; fail "initdb failed"; }
as_runner touch "$dir/server.log" 2>/dev/null || true
# shellcheck disable=SC2086
as_runner "$bindir/pg_ctl" start -D "$dir/data" -l "$dir/server.log" -w -t 60 \
  -o "-c listen_addresses='' -k '$dir' -c max_connections=60 $server_opts" >/dev/null 2>&1 ||
  fail "the server did not start"

db="tarn_test_$(date +%s)_$$"
as_runner "$bindir/createdb" -h "$dir" -U postgres "$db" >/dev/null 2>&1 ||
  fail "could not create database $db"

echo "postgresql:///$db?host=$dir&user=postgres" >"$state/uri"
echo "$bindir" >"$state/bindir"
echo "pg_test_server: $(cat "$state/uri")"
