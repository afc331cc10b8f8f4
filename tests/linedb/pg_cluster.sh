#!/bin/bash
# A throw-away PostgreSQL cluster for the line database tests, on a Unix
# socket in its own folder (no TCP port), with password authentication.
#   pg_cluster.sh start STATE     initdb into a new temporary folder, start the
#                                 server, create the roles; STATE/cluster names
#                                 the folder, STATE/admin and STATE/station the
#                                 connection strings
#   pg_cluster.sh stop STATE      stop the server and remove the folder
#   pg_cluster.sh pause STATE     stop the server only (an outage)
#   pg_cluster.sh resume STATE    start it again
# The server refuses to run as root: as root, the cluster belongs to the
# user nobody and the server runs as that user.
set -eu
cmd=$1
state=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
  echo "pg_cluster.sh: no PostgreSQL server found under /usr/lib/postgresql (install postgresql)" >&2
  exit 1
fi
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}
server() { # pg_ctl start|stop
  local dir=$1 what=$2
  if [ "$what" = start ]; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 -o "-k $dir -c listen_addresses=''" start >/dev/null
  else
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 30 stop >/dev/null 2>&1 || true
  fi
}
case "$cmd" in
start)
  if [ -f "$state/cluster" ]; then bash "$0" stop "$state"; fi
  mkdir -p "$state"
  dir=$(mktemp -d /tmp/norvoisp-pg-XXXXXX)
  chmod 755 "$dir"
  echo "$dir" >"$state/cluster"
  if [ "$(id -u)" -eq 0 ]; then chown nobody "$dir"; fi
  echo "admin-secret" >"$dir/pw"
  chmod 644 "$dir/pw"
  as_owner "$bin/initdb" -D "$dir/data" -U line_admin --pwfile="$dir/pw" --auth-local=scram-sha-256 \
    --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
      cat "$dir/initdb.log" >&2; exit 1; }
  # The tests need no durability; a benchmark (PG_CLUSTER_DURABLE=1) keeps it.
  if [ "${PG_CLUSTER_DURABLE:-0}" != 1 ]; then
    printf 'fsync = off\nsynchronous_commit = off\nfull_page_writes = off\n' >>"$dir/data/postgresql.conf"
  fi
  server "$dir" start
  admin="host=$dir port=5432 user=line_admin password=admin-secret dbname=postgres"
  PGCONNECT_TIMEOUT=10 "$bin/psql" -q -v ON_ERROR_STOP=1 "$admin" <<SQL
CREATE ROLE station LOGIN PASSWORD 'station-secret' CREATEDB;
CREATE ROLE line_reader LOGIN PASSWORD 'reader-secret';
SQL
  echo "$admin" >"$state/admin"
  echo "host=$dir port=5432 user=station password=station-secret" >"$state/station"
  echo "host=$dir port=5432 user=line_reader password=reader-secret" >"$state/reader"
  echo "PostgreSQL cluster running in $dir"
  ;;
stop)
  [ -f "$state/cluster" ] || exit 0
  dir=$(cat "$state/cluster")
  [ -d "$dir/data" ] && server "$dir" stop
  rm -rf "$dir" "$state/cluster"
  echo "PostgreSQL cluster stopped"
  ;;
pause)
  server "$(cat "$state/cluster")" stop
  ;;
resume)
  dir=$(cat "$state/cluster")
  as_owner "$bin/pg_ctl" -D "$dir/data" status >/dev/null 2>&1 || server "$dir" start
  ;;
*)
  echo "usage: pg_cluster.sh start|stop|pause|resume STATE" >&2
  exit 2
  ;;
esac
