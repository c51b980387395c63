#!/usr/bin/env bash
# quavella-service beside nginx on this machine, with wrk as the load for both: uploads of a
# 30 KB ringtone per second with p50 and p99 latency at 1, 16 and 64 connections (ours: the
# request Quavella.exe sends, each one committed to disk before the reply; nginx: the same
# bytes by WebDAV PUT, written without waiting for the disk), the floor of one connection (a
# timed write and flush of the same bytes plus nginx's time for one request), downloads of
# that ringtone per second (ours from the store, nginx a static file), each with its ratio;
# downloads by 64 connections while 64 slow ones hold part of a request line each (and with
# 64 slots at most, the Help page), the memory 192 unfinished 1 MB uploads take, and our peak
# resident memory; the load average before and after; beside each of our rates, the processor
# time (user and system) the service spent per request. Figures only: nothing passes or fails.
# Run by scripts/bench.sh, or alone (QV_SERVICE_BENCH_BIN: another build of the service).
set -uo pipefail
echo "load before the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
top=$(cd "$(dirname "$0")/../.." && pwd)
work=${QV_BENCH_WORK:-$(mktemp -d /tmp/qv-service-bench.XXXXXX)}/service
seconds=${QV_SERVICE_BENCH_SECONDS:-5}
rm -rf "$work"
mkdir -p "$work"
for tool in wrk nginx python3; do
  command -v "$tool" >/dev/null || { echo "service bench: $tool missing (scripts/setup.sh)"; exit 0; }
done

# An optimised build without sanitizers, as it would be deployed (scripts/build.sh --service).
release=$top/build/service
bin=${QV_SERVICE_BENCH_BIN:-$release/service/quavella-service}
[ -x "$bin" ] || { echo "service bench: not built (scripts/build.sh --service)"; exit 1; }

# The upload: the recorded request with a 30 KB ringtone in it.
source "$top/tests/bench/lib/service_load.sh"
qv_upload_body "$work"
body_type=$(cat "$work/content-type")

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# nginx: two workers (one per processor), WebDAV PUT into one folder, static files from another.
nginx_port=$(free_port)
mkdir -p "$work/nginx/dav" "$work/nginx/static" "$work/nginx/temp" "$work/nginx/logs"
cp "$work/ringtone.wav" "$work/nginx/static/ringtone.wav"
user_line=""
[ "$(id -u)" = 0 ] && user_line="user root;"
cat >"$work/nginx/nginx.conf" <<CONF
$user_line
worker_processes 2;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 1024; }
http {
  access_log $work/nginx/logs/access.log;
  client_body_temp_path $work/nginx/temp;
  client_max_body_size 1m;
  server {
    listen 127.0.0.1:$nginx_port;
    location /dav/ { root $work/nginx; dav_methods PUT; create_full_put_path on; }
    location /static/ { root $work/nginx; }
  }
}
CONF
nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -g 'daemon off;' 2>>"$work/nginx/logs/error.log" &
nginx_pid=$!

export QV_SERVICE_BIN=$bin QV_SERVICE_LOG=$work/service.log
source "$top/scripts/lib/service.sh"
trap 'qv_service_stop; kill -QUIT $nginx_pid 2>/dev/null; wait $nginx_pid 2>/dev/null' EXIT
qv_service_start "$work/data" --uploads-per-hour 100000000 --connections-per-address 1024 ||
  exit 1
for tries in $(seq 50); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $nginx_port))" 2>/dev/null && break
  sleep 0.1
done

# The service's processor time so far (user and system), in microseconds.
cpu_us() {
  awk -v hz="$(getconf CLK_TCK)" '{ printf "%.0f\n", ($14 + $15) * 1000000 / hz }' \
    "/proc/$QV_SERVICE_PID/stat"
}
# "  cpu N us/request" of the run whose wrk output is $2, from cpu_us taken before it ($1).
cpu_per_request() {
  awk -v spent=$(($(cpu_us) - $1)) '/requests in/ { n = $1 }
    END { if (n > 0) printf "  cpu %.1f us/request", spent / n }' "$2"
}

download() {  # url, connections
  wrk -t2 -c"$2" -d"${seconds}s" --latency "$1" >"$work/wrk.out" 2>&1
  awk '/Requests\/sec/ { rate = $2 } /Non-2xx/ { bad = " (" $5 " error answers)" }
       END { printf "%10.0f/s%s", rate, bad }' "$work/wrk.out"
}

ours=$QV_SERVICE_URL
theirs=http://127.0.0.1:$nginx_port
# The floor of one connection: one request's time at nginx plus one write and flush of the
# same bytes to the end of a file on the data's disk (what a durable upload adds).
flush_ms() {
  python3 - "$work/body" "$work/flush.bin" <<'PY'
import os, sys, time
data = open(sys.argv[1], "rb").read()
fd = os.open(sys.argv[2], os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
times = []
start = time.perf_counter()
while len(times) < 1000 and time.perf_counter() - start < 2:
    began = time.perf_counter()
    os.write(fd, data)
    os.fdatasync(fd)
    times.append(time.perf_counter() - began)
os.close(fd)
os.unlink(sys.argv[2])
times.sort()
print("%.3f" % (times[len(times) // 2] * 1000))
PY
}

echo "uploads of a 30 KB ringtone ($seconds s each; ours durable on disk before each reply)"
for c in 1 16 64; do
  before=$(cpu_us)
  ours_line=$(qv_measure "$ours" "$c" POST /ringtones/upload2.php)
  ours_line="$ours_line$(cpu_per_request "$before" "$work/wrk-${ours##*:}.out")"
  theirs_line=$(qv_measure "$theirs" "$c" PUT /dav/)
  printf '  %2d connections  quavella-service %s\n' "$c" "$ours_line"
  printf '                  nginx WebDAV PUT %s\n' "$theirs_line"
  ours_rate=$(awk '{ sub("/s", "", $1); print $1 }' <<<"$ours_line")
  theirs_rate=$(awk '{ sub("/s", "", $1); print $1 }' <<<"$theirs_line")
  if [ "$c" = 1 ]; then
    flush=$(flush_ms)
    awk -v f="$flush" -v n="$theirs_rate" -v q="$ours_rate" 'BEGIN {
      per = n > 0 ? 1000 / n : 0; floor = 1000 / (f + per)
      printf "                  floor: a write+flush of the body %.3f ms + nginx %.3f ms a request = %.0f/s; ours %.2f of it\n", f, per, floor, q / floor }'
  else
    awk -v n="$theirs_rate" -v q="$ours_rate" 'BEGIN { if (n > 0) printf "                  ours / nginx %.2f\n", q / n }'
  fi
done

page=$(python3 "$top/tests/service/send_raw.py" "$ours" <(printf 'POST /ringtones/upload2.php HTTP/1.1\r\nHost: x\r\nContent-Type: %s\r\nContent-Length: %s\r\n\r\n' "$body_type" "$(stat -c %s "$work/body")"; cat "$work/body"))
file=${page#"$ours"}/My_Song___You.wav
echo "downloads of that ringtone"
for c in 16 64; do
  before=$(cpu_us)
  ours_line="$(download "$ours$file" "$c")$(cpu_per_request "$before" "$work/wrk.out")"
  theirs_line=$(download "$theirs/static/ringtone.wav" "$c")
  printf '  %2d connections  quavella-service %s\n' "$c" "$ours_line"
  printf '                  nginx static     %s\n' "$theirs_line"
  awk -v q="${ours_line%%/s*}" -v n="${theirs_line%%/s*}" 'BEGIN { if (n > 0) printf "                  ours / nginx %.2f\n", q / n }'
done

held=$top/tests/bench/lib/held_connections.py
echo "downloads by 64 connections while 64 slow ones send a request line a byte a second"
for target in "$ours$file" "$theirs/static/ringtone.wav"; do
  port=${target#http://127.0.0.1:}
  python3 "$held" slow "${port%%/*}" 64 "$((seconds + 2))" &
  slow_pid=$!
  sleep 1
  before=$(cpu_us)
  rate=$(download "$target" 64)
  [ "$target" = "$ours$file" ] && rate="$rate$(cpu_per_request "$before" "$work/wrk.out")"
  wait "$slow_pid"
  [ "$target" = "$ours$file" ] && printf '  quavella-service %s\n' "$rate" || printf '  nginx static     %s\n' "$rate"
done

peak=$(awk '/VmHWM/ { print $2 }' "/proc/$QV_SERVICE_PID/status")
nginx_peak=0
for pid in $(pgrep -P "$nginx_pid") "$nginx_pid"; do
  kb=$(awk '/VmHWM/ { print $2 }' "/proc/$pid/status" 2>/dev/null)
  nginx_peak=$((nginx_peak + ${kb:-0}))
done
echo "peak resident memory over the runs (64 connections included): quavella-service" \
     "$((peak / 1024)) MB; nginx, master and workers together, $((nginx_peak / 1024)) MB"
port=${ours##*:}
read -r refused grown < <(python3 "$held" bodies "$port" 192 1000000 "$QV_SERVICE_PID")
echo "192 uploads holding 1 MB unfinished bodies: quavella-service grew ${grown} MB" \
     "($refused answered 503 at its body memory budget)"
echo "stored: $(python3 -c "import sqlite3,sys; print(sqlite3.connect('file:$work/data/ringtones.db?mode=ro', uri=True).execute('select count(*) from ringtones').fetchone()[0])") ringtones"

# Every slot taken by the slow ones (64 at most), which reconnect whenever closed.
qv_service_stop
qv_service_start "$work/full" --max-connections 64 --connections-per-address 1024 || exit 1
python3 "$held" slow "${QV_SERVICE_URL##*:}" 64 "$((seconds + 2))" &
slow_pid=$!
sleep 1
printf 'the same with --max-connections 64: the slow ones alone fill every slot\n'
before=$(cpu_us)
rate=$(download "$QV_SERVICE_URL/index.php?page=support" 64)
printf '  quavella-service %s%s\n' "$rate" "$(cpu_per_request "$before" "$work/wrk.out")"
wait "$slow_pid"
echo "load after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
