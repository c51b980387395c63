# Sourced by the service's benchmarks: the upload they send (the request Quavella.exe sent, with
# a 30 KB ringtone in it) and wrk's figures for a run of it.
#
#   qv_upload_body WORK     writes WORK/body (the form), WORK/ringtone.wav, WORK/content-type
#                           and WORK/load.lua (one request per call: POST to a fixed path, or
#                           PUT to a path of its own per request)
#   qv_measure URL CONNECTIONS METHOD PATH [THREADS]
#                           wrk for $seconds: prints "RATE/s  p50 X  p99 Y" and any errors;
#                           the whole output stays in WORK/wrk-PORT.out
# Both read $work and $seconds.

qv_upload_body() {
  python3 - "$top/tests/service/fixtures/upload-wav.raw" "$1" <<'PY'
import re, struct, sys
raw = open(sys.argv[1], "rb").read()
head, _, body = raw.partition(b"\r\n\r\n")
boundary = re.search(rb"boundary=(\S+)", head).group(1)
start = body.index(b"RIFF")
end = body.index(b"\r\n--" + boundary, start)
samples = (30 * 1024 - 44) // 2
data = b"".join(struct.pack("<h", (i * 37) % 20000 - 10000) for i in range(samples))
wav = (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " +
       struct.pack("<IHHIIHH", 16, 1, 1, 8000, 16000, 2, 16) + b"data" +
       struct.pack("<I", len(data)) + data)
body = body[:start] + wav + body[end:]
body = re.sub(rb'(name="file_size"\r\n\r\n)\d+', rb"\g<1>%d" % len(wav), body, count=1)
open(sys.argv[2] + "/body", "wb").write(body)
open(sys.argv[2] + "/ringtone.wav", "wb").write(wav)
open(sys.argv[2] + "/content-type", "w").write(
    "multipart/form-data; boundary=" + boundary.decode())
# Where the last 8 bytes of the ringtone's samples lie: each upload writes its own number
# there, so that every request is a new ringtone (the service takes the same one sent again
# as a retry of the one it has).
open(sys.argv[2] + "/vary-at", "w").write(str(start + len(wav) - 8))
PY
  cat >"$1/load.lua" <<'LUA'
-- One request per call: POST to a fixed path, or PUT to a path of its own per request.
local body = io.open(os.getenv("QV_BODY"), "rb"):read("*a")
local method = os.getenv("QV_METHOD")
local base = os.getenv("QV_PATH")
local vary_at = tonumber(os.getenv("QV_VARY_AT"))
local thread_id = 0
local counter = 0
function setup(thread)
  thread_id = thread_id + 1
  thread:set("id", thread_id)
end
function request()
  counter = counter + 1
  local path = base
  local sent = body
  if method == "PUT" then path = base .. id .. "-" .. counter .. ".bin" end
  if method == "POST" then
    sent = body:sub(1, vary_at) .. string.format("%08x", id * 16777216 + counter) .. body:sub(vary_at + 9)
  end
  return wrk.format(method, path, {["Content-Type"] = os.getenv("QV_TYPE")}, sent)
end
LUA
}

qv_measure() {  # url, connections, method, path[, threads]
  local url=$1 connections=$2 threads=${5:-2}
  [ "$connections" = 1 ] && threads=1
  local out=$work/wrk-${url##*:}.out
  QV_BODY=$work/body QV_TYPE=$(cat "$work/content-type") QV_METHOD=$3 QV_PATH=$4 \
    QV_VARY_AT=$(cat "$work/vary-at") \
    wrk -t"$threads" -c"$connections" -d"${seconds}s" --latency -s "$work/load.lua" "$url" \
    >"$out" 2>&1
  awk '
    /Requests\/sec/ { rate = $2 }
    $1 == "50%" { p50 = $2 }
    $1 == "99%" { p99 = $2 }
    /Non-2xx/ { bad = " (" $5 " error answers)" }
    /Socket errors/ { bad = bad " (" $0 ")" }
    END { printf "%10.0f/s  p50 %8s  p99 %8s%s\n", rate, p50, p99, bad }' "$out"
}
