#!/usr/bin/env bash
# Benchmark of the clip's edits: converting a 30-second clip of a stereo 44100 Hz d.wav to MP3
# as the program runs it (the cut into memory, test.wav written, then the shipped lame.exe), plain
# and with both 3-second fades and "louder" applied to the clip in memory before test.wav is
# written, in the same run. Prints both times and what the edits add (target: at most 10%).
# Figures only: nothing passes or fails on time.
#   clip_edits_bench.sh [BENCH_EXE] [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${QV_BUILD_DIR:-$here/../../build/win}
bench=${1:-$(find "$build" -name bench_clip_edits.exe | head -1)}
work=${2:-${QV_BENCH_WORK:-$(mktemp -d)}/clip_edits}
dist=${QV_BIN_DIR:-$build/dist}
[ -n "$bench" ] && [ -f "$bench" ] || { echo "bench_clip_edits.exe not built"; exit 1; }
[ -f "$dist/lame.exe" ] || { echo "lame.exe not built"; exit 1; }
mkdir -p "$work"
winpath() { echo "Z:$1" | tr / '\\'; }
out=$("$here/../../scripts/wine-run.sh" "$bench" "$(winpath "$dist")" "$(winpath "$work")" 5 | tr -d '\r')
plain=$(echo "$out" | sed -n 's/^plain_seconds=//p')
edited=$(echo "$out" | sed -n 's/^edited_seconds=//p')
edits=$(echo "$out" | sed -n 's/^edits_seconds=//p')
[ -n "$plain" ] && [ -n "$edited" ] || { echo "$out"; exit 1; }
awk -v p="$plain" -v e="$edited" -v f="$edits" 'BEGIN {
  printf "30 s clip to MP3 (cut + lame.exe -b 48), plain:         %.3f s\n", p
  printf "the same with fades and louder applied first:         %.3f s\n", e
  printf "fades + louder alone (in memory, meter included):     %.3f s\n", f
  printf "added by the edits: %.1f%%  (target: at most 10%%)\n", (e - p) / p * 100
}'
