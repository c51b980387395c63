#!/usr/bin/env bash
# Benchmark of the WAV conversion on a 2-minute 24-bit stereo 48 kHz WAV (as sox writes it:
# WAVE_FORMAT_EXTENSIBLE): the import's WAV branch under Wine against the native
# `sox in.wav -b 16 out.wav`. Prints the times and the ratio. Figures only: nothing passes or
# fails on time.
#   wav_convert_bench.sh [BENCH_EXE] [WORK_DIR]
# Without arguments the benchmark program is looked for under $QV_BUILD_DIR (the Windows build)
# and the work folder is $QV_BENCH_WORK/wav or a temporary one. Runs Wine under the current
# WINEPREFIX.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/timing.sh"
bench=${1:-$(find "${QV_BUILD_DIR:-$here/../../build/win}" -name bench_wav_convert.exe | head -1)}
work=${2:-${QV_BENCH_WORK:-$(mktemp -d)}/wav}
for tool in sox wine; do
  command -v $tool >/dev/null 2>&1 || { echo "missing $tool"; exit 77; }
done
[ -n "$bench" ] && [ -f "$bench" ] || { echo "bench_wav_convert.exe not built"; exit 1; }
mkdir -p "$work"

song=$work/in.wav
if [ ! -f "$song" ]; then
  sox -n -r 48000 -c 2 -b 24 "$song" synth 120 pinknoise sine 330 tremolo 3 40 vol 0.4 2>/dev/null
fi
echo "song: $(stat -c %s "$song") bytes, 120 s, 24-bit stereo 48000 Hz (extensible)"

winpath=$(echo "Z:$song" | tr / '\\')
winwork=$(echo "Z:$work" | tr / '\\')
out=$("$here/../../scripts/wine-run.sh" "$bench" "$winpath" "$winwork" 3 | tr -d '\r')
import=$(echo "$out" | sed -n 's/^import_seconds=//p')
loop=$(echo "$out" | sed -n 's/^loop_seconds=//p')
[ -n "$import" ] || { echo "$out"; exit 1; }

best=$(best_seconds 3 sox "$song" -b 16 "$work/sox.wav" 2>/dev/null)

awk -v i="$import" -v l="$loop" -v s="$best" 'BEGIN {
  printf "ImportWavFile (map + convert + d.wav + bar): %.3f s\n", i
  printf "conversion loop alone (no writing):          %.3f s\n", l
  printf "native sox in.wav -b 16 out.wav:             %.3f s\n", s
  printf "ImportWavFile / sox:  %.2f  (target: at most 2)\n", i / s
}'
