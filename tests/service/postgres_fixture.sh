#!/usr/bin/env bash
# The PostgreSQL server of the service's tests, started once for all of them: ctest runs
# "start" before the first test that needs it and "stop" after the last, and scripts/test.sh
# runs "stop" again at its end, so the server never outlives a test run. STATE (a folder of
# the build tree) holds the address of the server's folder and its URL, which the tests read.
# "pause" and "resume" stop and start the same server (for a test that restarts it); "freeze"
# and "thaw" stop and continue its processes (SIGSTOP, SIGCONT): a database that hangs.
# Usage: postgres_fixture.sh start|stop|pause|resume|freeze|thaw STATE
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
source "$top/scripts/lib/postgres.sh"
action=$1 state=$2

case "$action" in
  start)
    [ -f "$state/folder" ] && qv_postgres_remove "$(cat "$state/folder")"
    rm -rf "$state"
    mkdir -p "$state"
    folder=$(mktemp -d /tmp/qv-postgres.XXXXXX)
    echo "$folder" >"$state/folder"
    # The tests check what reaches the server, not the disk under it: no waiting for the disk.
    qv_postgres_start "$folder" -c fsync=off -c full_page_writes=off -c max_connections=200 ||
      exit 1
    echo "$QV_POSTGRES_URL" >"$state/url"
    echo "postgres: serving $QV_POSTGRES_URL from $folder"
    ;;
  stop)
    [ -f "$state/folder" ] || exit 0
    qv_postgres_remove "$(cat "$state/folder")"
    rm -rf "$state"
    ;;
  pause) qv_postgres_stop "$(cat "$state/folder")" ;;
  resume) qv_postgres_resume "$(cat "$state/folder")" ;;
  freeze|thaw)
    server=$(head -n 1 "$(cat "$state/folder")/data/postmaster.pid") || exit 1
    signal=STOP
    [ "$action" = thaw ] && signal=CONT
    # The server first, so that it starts no backend the signal would miss.
    kill -s "$signal" "$server" || exit 1
    for pid in $(pgrep -P "$server"); do kill -s "$signal" "$pid" 2>/dev/null; done
    ;;
  *) echo "usage: postgres_fixture.sh start|stop|pause|resume|freeze|thaw STATE" >&2; exit 2 ;;
esac
