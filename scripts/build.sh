#!/usr/bin/env bash
# Builds Quavella: the native tree (portable code and its tests, with sanitizers), the Windows
# tree (Quavella.exe, the encoders, Windows and end-to-end tests) and, with --fuzz, the fuzz tree.
# With --service it also builds quavella-service alone, optimised and without the sanitizers,
# in build/service (what the run command and the benchmarks start). With --run it builds only
# what the run command starts (the program, its encoders and DLLs, the walk-through and the
# optimised service), quietly: the compiler's output goes to build/run-build.log and is shown
# only when the build fails.
# Usage: scripts/build.sh [--fuzz] [--no-native] [--service] | --run
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

fuzz=0
native=1
service=0
run=0
for arg in "$@"; do
  case "$arg" in
    --fuzz) fuzz=1 ;;
    --no-native) native=0 ;;
    --service) service=1 ;;
    --run) run=1 ;;
    *) echo "build: unknown option $arg" >&2; exit 2 ;;
  esac
done

deps_prefix=""
if [ -x scripts/deps.sh ]; then
  deps_prefix=$(scripts/deps.sh | sed -n 's/^QV_DEPS_PREFIX=//p' | tail -n 1)
fi

jobs=$(nproc)
configure() {  # dir, extra cmake arguments...
  local dir=$1; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || {
      cat "$dir.configure.log" >&2; exit 1; }
  else
    cmake "$dir" "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log" >&2; exit 1; }
  fi
}

mkdir -p build
win_configure() {
  configure build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
    -DQV_DEPS_PREFIX="$deps_prefix"
}
if [ "$run" = 1 ]; then
  log=build/run-build.log
  { win_configure && ninja -C build/win -j "$jobs" qv_dist qv_walkthrough &&
    configure build/service -DCMAKE_BUILD_TYPE=Release -DQV_SANITIZE=OFF &&
    ninja -C build/service -j "$jobs" quavella-service; } >"$log" 2>&1 || {
    cat "$log" >&2; echo "build: failed (the log above is in $log)" >&2; exit 1; }
  exit 0
fi
if [ "$native" = 1 ]; then
  configure build/native -DCMAKE_BUILD_TYPE=Debug
  ninja -C build/native -j "$jobs"
fi
win_configure
ninja -C build/win -j "$jobs"
if [ "$service" = 1 ]; then
  configure build/service -DCMAKE_BUILD_TYPE=Release -DQV_SANITIZE=OFF
  ninja -C build/service -j "$jobs" quavella-service
fi
if [ "$fuzz" = 1 ]; then
  CC=clang CXX=clang++ configure build/fuzz -DQV_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
  ninja -C build/fuzz -j "$jobs" qv_fuzz_all
fi
echo "build: Windows program and encoders in build/win/dist"
