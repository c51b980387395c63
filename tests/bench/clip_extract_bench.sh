#!/usr/bin/env bash
# Benchmark of the clip extraction: 30 s of 44100 Hz stereo to the 8000 Hz mono clip, through
# the program's extraction (ACM with our resampler driver, then test.wav written), the system's
# own ACM converter, and sox.
# Figures only: nothing passes or fails on them.
#   clip_extract_bench.sh [BENCH_EXE] [WORK_DIR]
# Without arguments the program is looked for under $QV_BUILD_DIR (the Windows build) and the
# work folder is $QV_BENCH_WORK/clip or a temporary one. Runs Wine under the current WINEPREFIX.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-$(find "${QV_BUILD_DIR:-$here/../../build/win}" -name bench_clip_extract.exe | head -1)}
work=${2:-${QV_BENCH_WORK:-$(mktemp -d)}/clip}
for tool in sox wine; do
  command -v $tool >/dev/null 2>&1 || { echo "missing $tool"; exit 77; }
done
[ -n "$bench" ] && [ -f "$bench" ] || { echo "bench_clip_extract.exe not built"; exit 1; }
mkdir -p "$work"
winwork=$(echo "Z:$work" | tr / '\\')
"$here/../../scripts/wine-run.sh" "$bench" --inputs "$winwork"
for song in tone alias loud; do
  # -D: no dither, so sox is measured as a converter like the others.
  sox -q -D "$work/$song.wav" -r 8000 -c 1 -b 16 "$work/sox_$song.wav"
done
"$here/../../scripts/wine-run.sh" "$bench" "$winwork" | tr -d '\r'
