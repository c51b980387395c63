#!/usr/bin/env bash
# quavella-service on PostgreSQL, in one run against one database: uploads of a 30 KB ringtone
# per second and their p99 latency at 64 connections, through one node and through two nodes
# (32 connections each, at the same time), and the same load on the embedded store (SQLite)
# beside them; then what the uploads cost the database: write-ahead log bytes and commits per
# upload, and the bytes the database holds per ringtone. The database is Debian's PostgreSQL
# with its defaults: every commit waits for the disk. Figures only: nothing passes or fails.
# Run by scripts/bench.sh, or alone.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
own_work=
[ -n "${QV_BENCH_WORK:-}" ] || own_work=$(mktemp -d /tmp/qv-service-bench.XXXXXX)
work=${QV_BENCH_WORK:-$own_work}/service-nodes
seconds=${QV_SERVICE_BENCH_SECONDS:-5}
rm -rf "$work"
mkdir -p "$work"
for tool in wrk psql python3; do
  command -v "$tool" >/dev/null || { echo "nodes bench: $tool missing (scripts/setup.sh)"; exit 0; }
done
release=$top/build/service/service/quavella-service
[ -x "$release" ] || { echo "nodes bench: not built (scripts/build.sh --service)"; exit 1; }

source "$top/tests/bench/lib/service_load.sh"
source "$top/scripts/lib/postgres.sh"
qv_upload_body "$work"
pg=$(mktemp -d /tmp/qv-postgres.XXXXXX)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  qv_postgres_remove "$pg"
  [ -z "$own_work" ] || rm -rf "$own_work"
}
trap cleanup EXIT
qv_postgres_start "$pg" || exit 1
psql -X -q "$QV_POSTGRES_URL/postgres" -c "CREATE DATABASE bench" || exit 1
db=$QV_POSTGRES_URL/bench

node() {  # folder, store arguments...: starts a node and sets `address` (not in a subshell,
          # so that its pid stays in `pids` for the cleanup)
  local folder=$work/$1 tries=300
  shift
  mkdir -p "$folder"
  "$release" --listen 127.0.0.1:0 --ready-file "$folder/address" --uploads-per-hour 100000000 \
    --connections-per-address 1024 "$@" </dev/null >"$folder/log" 2>&1 &
  pids+=($!)
  while [ ! -s "$folder/address" ] && [ "$tries" -gt 0 ]; do sleep 0.05; tries=$((tries - 1)); done
  [ -s "$folder/address" ] || { echo "nodes bench: a node did not start: $(tail -n 2 "$folder/log")" >&2; exit 1; }
  address=$(cat "$folder/address")
}

mark() {  # the write-ahead log position, commits and ringtones of the bench database
  psql -X -A -t -F ' ' "$db" -c "SELECT pg_current_wal_lsn(), (SELECT xact_commit FROM
    pg_stat_database WHERE datname = 'bench'), (SELECT count(*) FROM ringtones)"
}
cost() {  # marks before and after: per upload, log bytes and commits
  local before=($1) after=($2)
  local uploads=$((after[2] - before[2]))
  [ "$uploads" -gt 0 ] || { echo "no uploads"; return; }
  psql -X -A -t "$db" -c "SELECT format('database per upload: %s KB of log, %s commits',
    round(pg_wal_lsn_diff('${after[0]}', '${before[0]}') / 1024.0 / $uploads, 1),
    round((${after[1]} - ${before[1]})::numeric / $uploads, 2))"
}
combined() {  # wrk outputs: the rates added, the worse p99
  awk '
    function ms(t) { if (t ~ /us$/) return t / 1000; if (t ~ /ms$/) return t + 0; return t * 1000 }
    /Requests\/sec/ { rate += $2 }
    $1 == "99%" { if (ms($2) > p99) p99 = ms($2) }
    /Non-2xx/ { bad += $5 }
    END { printf "%10.0f/s  p99 %7.2fms (the worse node)%s\n", rate, p99,
          bad ? " (" bad " error answers)" : "" }' "$@"
}

path=/ringtones/upload2.php
echo "uploads of a 30 KB ringtone, 64 connections, $seconds s each (each durable before its reply)"
node sqlite --data "$work/sqlite/data"
sqlite=$address
printf '  SQLite, one node              %s\n' "$(qv_measure "$sqlite" 64 POST $path)"
node a --database "$db"
a=$address
node b --database "$db"
b=$address
before=$(mark)
printf '  PostgreSQL, one node          %s\n' "$(qv_measure "$a" 64 POST $path)"
after=$(mark)
printf '                                %s\n' "$(cost "$before" "$after")"
before=$after
qv_measure "$a" 32 POST $path 1 >/dev/null &
first=$!
qv_measure "$b" 32 POST $path 1 >/dev/null
wait "$first"
printf '  PostgreSQL, two nodes         %s\n' "$(combined "$work/wrk-${a##*:}.out" "$work/wrk-${b##*:}.out")"
after=$(mark)
printf '                                %s\n' "$(cost "$before" "$after")"
psql -X -A -t "$db" -c "SELECT format('database: %s ringtones in %s MB: %s KB each (the row, its bytes and the indexes)',
  count(*), pg_database_size('bench') / 1048576, round(pg_total_relation_size('ringtones') / 1024.0 / greatest(count(*), 1), 1)) FROM ringtones" |
  sed 's/^/  /'
