#!/usr/bin/env bash
# Runs one Windows program under the test session's Wine prefix, with a time limit.
# ctest uses this as the cross-compiling emulator.
set -u
limit=${QV_WINE_TIMEOUT:-600}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
exec timeout -k 10 "$limit" wine "$@"
