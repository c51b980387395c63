#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: the native unit tests (sanitizers), the
# Windows unit, glue and end-to-end tests under Wine in a private test session, and a bounded run
# of every fuzz target. Exits non-zero on any failure.
# Usage: scripts/test.sh [ctest arguments for the Windows tree, e.g. -R e2e]
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

scripts/setup.sh || exit 1
scripts/build.sh --fuzz || exit 1

source scripts/lib/session.sh
artefacts=$top/build/test-artefacts
rm -rf "$artefacts"
mkdir -p "$artefacts"
export QV_ARTEFACTS=$artefacts

status=0
echo "== native unit tests"
# ctest starts the service's PostgreSQL server before the tests that need it and stops it after
# them; stopping it here again covers a run that was cut short.
pg_state=$top/build/native/postgres-test
trap 'bash tests/service/postgres_fixture.sh stop "$pg_state"' EXIT
(cd build/native && ctest --output-on-failure -j "$(nproc)") || status=1
bash tests/service/postgres_fixture.sh stop "$pg_state"

echo "== Windows tests under Wine"
run=$(mktemp -d /tmp/quavella-test.XXXXXX)
trap 'qv_session_stop; rm -rf "$run"; bash tests/service/postgres_fixture.sh stop "$pg_state"' EXIT
if qv_session_start "$run"; then
  (cd build/win && ctest --output-on-failure --timeout 900 "$@") || status=1
else
  echo "test: the Wine test session could not be started" >&2
  status=1
fi
qv_session_stop

echo "== fuzz targets (bounded runs)"
(cd build/fuzz && ctest --output-on-failure -j "$(nproc)") || status=1

echo "Screenshots and other artefacts: build/test-artefacts"
if [ "$status" = 0 ]; then echo "test: all passed"; else echo "test: FAILED" >&2; fi
exit $status
