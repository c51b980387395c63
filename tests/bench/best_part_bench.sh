#!/usr/bin/env bash
# Benchmark of the best-part detector under Wine (the Windows build of best_part_cli): its time
# on a 4-minute 44.1 kHz stereo song beside the MP3 import of the same song (ImportMp3 with its
# d.wav, bench_mp3_import), the memory it takes beyond the song's samples, and its time on a
# 2-hour song (8 kHz mono, so that the samples fit a 32-bit process). Figures only.
#   best_part_bench.sh [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${QV_BUILD_DIR:-$here/../../build/win}
cli=$(find "$build" -name best_part_cli.exe | head -1)
mp3bench=$(find "$build" -name bench_mp3_import.exe | head -1)
work=${1:-${QV_BENCH_WORK:-$(mktemp -d)}}/best_part
for tool in sox lame wine; do
  command -v $tool >/dev/null 2>&1 || { echo "missing $tool"; exit 77; }
done
[ -n "$cli" ] && [ -f "$cli" ] || { echo "best_part_cli.exe not built"; exit 1; }
mkdir -p "$work"
winpath() { echo "Z:$1" | tr / '\\'; }
wine_run() { "$here/../../scripts/wine-run.sh" "$@" | tr -d '\r'; }

# The same 4-minute song as the import benchmarks: noise and a tone under a tremolo.
song=$work/song.wav
[ -f "$song" ] || sox -n -r 44100 -c 2 -b 16 "$song" synth 240 pinknoise sine 330 tremolo 3 40 vol 0.4
[ -f "$work/song.mp3" ] || lame --silent -q 5 -b 128 "$song" "$work/song.mp3"
long=$work/long.wav
[ -f "$long" ] || sox -n -r 8000 -c 1 -b 16 "$long" synth 7200 pinknoise sine 330 tremolo 3 40 vol 0.4

out=$(wine_run "$cli" "$(winpath "$song")" 30 --time 5)
detect=$(echo "$out" | sed -n 's/^detect_seconds=//p')
peak=$(echo "$out" | sed -n 's/^detect_peak_bytes=//p')
import=""
if [ -n "$mp3bench" ]; then
  import=$(wine_run "$mp3bench" "$(winpath "$work/song.mp3")" "$(winpath "$work")" 3 |
           sed -n 's/^import_seconds=//p')
fi
long_out=$(wine_run "$cli" "$(winpath "$long")" 30 --time 1)
long_detect=$(echo "$long_out" | sed -n 's/^detect_seconds=//p')
long_peak=$(echo "$long_out" | sed -n 's/^detect_peak_bytes=//p')
awk -v d="$detect" -v p="$peak" -v i="${import:-0}" -v ld="$long_detect" -v lp="$long_peak" 'BEGIN {
  printf "4-minute song, 44100 Hz stereo, 30-second parts (best of 5, under Wine):\n"
  printf "  FindBestParts:                 %.3f s (target: at most 0.5 s)\n", d
  if (i > 0) printf "  ImportMp3 of the same song:    %.3f s (detector / import %.2f)\n", i, d / i
  printf "  detector memory peak:          %.1f MB allocated (target: at most 32 MB)\n", p / 1048576
  printf "2-hour song, 8000 Hz mono:       %.3f s, %.1f MB allocated\n", ld, lp / 1048576
}'
