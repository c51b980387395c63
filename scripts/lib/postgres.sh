# Sourced by tests and benchmarks that need a PostgreSQL server of their own: Debian's
# PostgreSQL in a private folder, on a free loopback port, run as an unprivileged user
# (nobody, when started by root: the server refuses to run as root).
#
#   qv_postgres_start DIR [server settings...]
#       makes a new cluster in DIR (a fresh folder that every user may pass through), with
#       the superuser "quavella" trusted on the loopback address, and starts it; settings such
#       as "-c fsync=off" go to the server. Exports QV_POSTGRES_URL
#       (postgresql://quavella@127.0.0.1:PORT, without a database) and writes it to DIR/url.
#   qv_postgres_stop DIR       stops the server (fast shutdown); the cluster stays
#   qv_postgres_resume DIR     starts a stopped cluster again, on the same port
#   qv_postgres_remove DIR     stops it if it runs, and removes DIR
# Each returns non-zero when the server does not do what was asked.

qv_postgres_bin() {
  local dir
  dir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  [ -x "$dir/pg_ctl" ] || { echo "postgres: PostgreSQL is not installed (scripts/setup.sh)" >&2; return 1; }
  echo "$dir"
}

qv_postgres_as() {  # runs a command as the server's user
  if [ "$(id -u)" = 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}

qv_postgres_ctl() {  # DIR, pg_ctl arguments...
  local dir=$1 bin
  shift
  bin=$(qv_postgres_bin) || return 1
  qv_postgres_as "$bin/pg_ctl" -D "$dir/data" -l "$dir/run/server.log" "$@" >>"$dir/run/ctl.log" 2>&1
}

qv_postgres_start() {
  local dir=$1 bin port tries
  shift
  bin=$(qv_postgres_bin) || return 1
  mkdir -p "$dir/data" "$dir/run"
  chmod 755 "$dir"
  [ "$(id -u)" = 0 ] && chown nobody "$dir/data" "$dir/run"
  qv_postgres_as "$bin/initdb" -D "$dir/data" -A trust -U quavella -E UTF8 --no-locale --no-sync \
    >"$dir/run/initdb.log" 2>&1 || { echo "postgres: initdb failed: $(tail -n 3 "$dir/run/initdb.log")" >&2; return 1; }
  printf '%s\n' "$@" >"$dir/settings"
  for tries in 1 2 3; do  # a port found free may be taken before the server binds it
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    echo "$port" >"$dir/port"
    qv_postgres_resume "$dir" && break
    port=
  done
  [ -n "$port" ] || { echo "postgres: the server did not start: $(tail -n 3 "$dir/run/server.log")" >&2; return 1; }
  QV_POSTGRES_URL=postgresql://quavella@127.0.0.1:$port
  echo "$QV_POSTGRES_URL" >"$dir/url"
  export QV_POSTGRES_URL
}

qv_postgres_resume() {
  local dir=$1 settings=()
  mapfile -t settings <"$dir/settings"
  qv_postgres_ctl "$dir" -w -t 60 \
    -o "-p $(cat "$dir/port") -k $dir/run -h 127.0.0.1 ${settings[*]}" start
}

qv_postgres_stop() {
  qv_postgres_ctl "$1" -w -t 60 -m fast stop
}

qv_postgres_remove() {
  local dir=$1
  [ -d "$dir" ] || return 0
  if [ -f "$dir/data/postmaster.pid" ]; then
    qv_postgres_stop "$dir" || qv_postgres_ctl "$dir" -m immediate stop
  fi
  rm -rf "$dir"
}
