#!/usr/bin/env bash
# A longer fuzzing soak of every fuzz target: QV_FUZZ_SECONDS each (default 600).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
scripts/setup.sh
seconds=${QV_FUZZ_SECONDS:-600}
mkdir -p build
CC=clang CXX=clang++ cmake -S . -B build/fuzz-soak -G Ninja -DQV_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQV_FUZZ_SECONDS="$seconds" >/dev/null
ninja -C build/fuzz-soak
cd build/fuzz-soak && ctest --output-on-failure -j "$(nproc)"
