#!/usr/bin/env bash
# Benchmark of the MP3 import on a 4-minute 128 kbit/s stereo MP3: ImportMp3 (decode and write
# d.wav), a bare ACM decoding loop, and the native mpg123 writing a WAV file. Prints the times
# and both ratios. Figures only: nothing passes or fails on time.
#   mp3_import_bench.sh [BENCH_EXE] [WORK_DIR]
# Without arguments the benchmark program is looked for under $QV_BUILD_DIR (the Windows build)
# and the work folder is $QV_BENCH_WORK/mp3 or a temporary one. Runs Wine under the current
# WINEPREFIX.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/timing.sh"
bench=${1:-$(find "${QV_BUILD_DIR:-$here/../../build/win}" -name bench_mp3_import.exe | head -1)}
work=${2:-${QV_BENCH_WORK:-$(mktemp -d)}/mp3}
for tool in sox lame mpg123 wine; do
  command -v $tool >/dev/null 2>&1 || { echo "missing $tool"; exit 77; }
done
[ -n "$bench" ] && [ -f "$bench" ] || { echo "bench_mp3_import.exe not built"; exit 1; }
mkdir -p "$work"

song=$work/song.mp3
if [ ! -f "$song" ]; then
  sox -n -r 44100 -c 2 -b 16 -t wav - synth 240 pinknoise sine 330 tremolo 3 40 vol 0.4 \
    2>/dev/null | lame --silent -q 5 -b 128 - "$song"
fi
echo "song: $(stat -c %s "$song") bytes, 240 s, 128 kbit/s, 44100 Hz stereo"

winpath=$(echo "Z:$song" | tr / '\\')
winwork=$(echo "Z:$work" | tr / '\\')
out=$("$here/../../scripts/wine-run.sh" "$bench" "$winpath" "$winwork" 3 | tr -d '\r')
import=$(echo "$out" | sed -n 's/^import_seconds=//p')
acm=$(echo "$out" | sed -n 's/^acm_seconds=//p')

best=$(best_seconds 3 mpg123 -q -w "$work/mpg123.wav" "$song")

awk -v i="$import" -v a="$acm" -v m="$best" 'BEGIN {
  printf "ImportMp3 (decode + d.wav + bar): %.3f s\n", i
  printf "bare ACM decode loop:             %.3f s\n", a
  printf "native mpg123 -w:                 %.3f s\n", m
  printf "ImportMp3 / bare ACM:   %.3f  (target: at most 1.10)\n", i / a
  printf "ImportMp3 / mpg123 -w:  %.3f\n", i / m
}'
