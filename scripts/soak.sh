#!/usr/bin/env bash
# The soak test for as long as asked: random but valid user actions against the real window of
# Quavella.exe under Wine, with the invariants checked after every step, in a private test
# session. Prints the seed (the same seed replays the same actions) and the run's figures;
# screenshots of faults land in build/soak-artefacts.
# Usage: scripts/soak.sh [SECONDS [SEED]]    (default: an hour, a new seed)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

seconds=${1:-3600}
seed=${2:-}
scripts/setup.sh || exit 1
scripts/build.sh --no-native || exit 1

source scripts/lib/session.sh
run=$(mktemp -d /tmp/quavella-soak.XXXXXX)
trap 'qv_session_stop; rm -rf "$run"' EXIT
export QV_ARTEFACTS=$top/build/soak-artefacts
rm -rf "$QV_ARTEFACTS"
mkdir -p "$QV_ARTEFACTS"
qv_session_start "$run" || { echo "soak: the Wine session could not be started" >&2; exit 1; }
export QV_BIN_DIR=$top/build/win/dist QV_SOURCE_DIR=$top QV_BUILD_DIR=$top/build/win
python3 tests/soak/soak.py --driver build/win/tests/soak/soak_driver.exe \
  --dir build/win/soak-run --seconds "$seconds" ${seed:+--seed "$seed"}
