#!/usr/bin/env bash
# The benchmark programs that need no preparation of their own, side by side with their
# references: start-up against a minimal window, the strip's rendering, and a 100 KB upload by
# the program's poster beside native curl. Run by scripts/bench.sh inside a Wine session.
set -u
win=${QV_BUILD_DIR:?}
native=${QV_NATIVE_BUILD_DIR:?}
run() {  # title, command...
  echo "-- $1"
  shift
  timeout -k 5 600 "$@" </dev/null || echo "(did not finish)"
}
run "start-up: Quavella.exe beside a minimal window program" \
  wine "$win/app/startup_bench.exe" 30
run "RenderWaveform on a 283-second stereo song" wine "$win/view/bench_waveform_render.exe"
run "trace points alone (native)" "$native/view/bench_waveform_trace"
run "100 KB upload: the program's poster under Wine" wine "$win/delivery/upload_post_bench.exe" 20
run "100 KB upload: native curl -F" "$native/delivery/upload_curl_bench" 20
