# Sourced by scripts and tests that need a running quavella-service: starts one on a free
# loopback port with a data folder of its own, and tells its address.
#
#   qv_service_start DATA_DIR [quavella-service options...]
#       starts the service with --listen 127.0.0.1:0 --data DATA_DIR and the options given
#       (e.g. --installer FILE, --public-url URL; without --public-url the addresses it hands
#       out name 127.0.0.1 and its port); waits until it serves, then exports
#       QV_SERVICE_URL   http://127.0.0.1:PORT, where it is reached
#       QV_SERVICE_PID   its process id
#       Its output (one line per request) is appended to QV_SERVICE_LOG, by default
#       DATA_DIR/service.log. Returns non-zero when it does not start.
#   qv_service_stop
#       stops it as systemd would: SIGTERM, then SIGKILL after 15 seconds.
#
# QV_SERVICE_BIN names the program; by default the native build's
# build/native/service/quavella-service.

qv_service_start() {
  local data=$1
  shift
  local top
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  local bin=${QV_SERVICE_BIN:-$top/build/native/service/quavella-service}
  [ -x "$bin" ] || { echo "service: $bin is not built (scripts/build.sh)" >&2; return 1; }
  mkdir -p "$data"
  data=$(cd "$data" && pwd)
  local ready=$data/service.address
  rm -f "$ready"
  "$bin" --listen 127.0.0.1:0 --data "$data" --ready-file "$ready" "$@" \
    </dev/null >>"${QV_SERVICE_LOG:-$data/service.log}" 2>&1 &
  QV_SERVICE_PID=$!
  local tries=200
  while [ ! -s "$ready" ] && [ "$tries" -gt 0 ] && kill -0 "$QV_SERVICE_PID" 2>/dev/null; do
    sleep 0.05
    tries=$((tries - 1))
  done
  if [ ! -s "$ready" ]; then
    echo "service: quavella-service did not start; its log: ${QV_SERVICE_LOG:-$data/service.log}" >&2
    kill -KILL "$QV_SERVICE_PID" 2>/dev/null
    wait "$QV_SERVICE_PID" 2>/dev/null
    unset QV_SERVICE_PID
    return 1
  fi
  QV_SERVICE_URL=$(head -n 1 "$ready")
  export QV_SERVICE_URL QV_SERVICE_PID
}

qv_service_stop() {
  [ -n "${QV_SERVICE_PID:-}" ] || return 0
  kill -TERM "$QV_SERVICE_PID" 2>/dev/null || true
  local tries=150
  while kill -0 "$QV_SERVICE_PID" 2>/dev/null && [ "$tries" -gt 0 ]; do
    sleep 0.1
    tries=$((tries - 1))
  done
  kill -KILL "$QV_SERVICE_PID" 2>/dev/null || true
  wait "$QV_SERVICE_PID" 2>/dev/null || true
  unset QV_SERVICE_PID QV_SERVICE_URL
}
