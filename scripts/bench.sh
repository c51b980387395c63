#!/usr/bin/env bash
# Benchmarks: each prints its figures beside the reference tool it is measured against. Nothing
# here passes or fails on time. Every tests/bench/*.sh script is run in a Wine test session.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/setup.sh || exit 1
scripts/build.sh --service || exit 1
source scripts/lib/session.sh
run=$(mktemp -d /tmp/quavella-bench.XXXXXX)
trap 'qv_session_stop; rm -rf "$run"' EXIT
qv_session_start "$run" || exit 1
export QV_BIN_DIR=$top/build/win/dist QV_SOURCE_DIR=$top QV_BUILD_DIR=$top/build/win
export QV_NATIVE_BUILD_DIR=$top/build/native QV_BENCH_WORK=$run/bench
mkdir -p "$QV_BENCH_WORK"
for bench in tests/bench/*.sh; do
  [ -e "$bench" ] || continue
  echo "== $(basename "$bench" .sh)"
  bash "$bench" || echo "($(basename "$bench") did not finish)"
done
