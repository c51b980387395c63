#!/usr/bin/env bash
# The preview with "Make it louder" on, recorded from the sound device (the test session's
# PulseAudio null sink, through its monitor), beside the converted clip: the integrated loudness
# of each by ffmpeg's EBU R128 meter, and their difference (target: within 1 dB). Figures only.
#   preview_loudness_bench.sh [BENCH_EXE] [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${QV_BUILD_DIR:-$here/../../build/win}
bench=${1:-$(find "$build" -name bench_preview_loudness.exe | head -1)}
work=${2:-${QV_BENCH_WORK:-$(mktemp -d)}/preview_loudness}
[ -n "$bench" ] && [ -f "$bench" ] || { echo "bench_preview_loudness.exe not built"; exit 1; }
mkdir -p "$work"
# A quiet chord (about -36 LUFS), 10 s of 44,100 Hz stereo.
sox -n -r 44100 -c 2 -b 16 "$work/song.wav" synth 10 sine 440 sine 660 remix 1,2 1,2 vol 0.02
parec -d null.monitor --rate=44100 --channels=2 --format=s16le --file-format=wav \
  "$work/preview.wav" &
recorder=$!
out=$(QV_BENCH_SONG=$work/song.wav "$here/../../scripts/wine-run.sh" "$bench" --gtest_brief=1 \
  </dev/null | tr -d '\r')
kill "$recorder"; wait "$recorder" 2>/dev/null || true
clip=$(echo "$out" | sed -n 's/^clip=//p')
[ -n "$clip" ] || { echo "$out"; exit 1; }
clip=$(echo "${clip#[Zz]:}" | tr '\\' /)
lufs() {  # integrated loudness of a file
  ffmpeg -hide_banner -nostats -i "$1" -af ebur128 -f null - 2>&1 |
    sed -n 's/^ *I: *\(-*[0-9.]*\) LUFS/\1/p' | tail -n 1
}
song=$(lufs "$work/song.wav") preview=$(lufs "$work/preview.wav") converted=$(lufs "$clip")
awk -v s="$song" -v p="$preview" -v c="$converted" 'BEGIN {
  printf "the song:                                   %6.1f LUFS\n", s
  printf "the preview with louder on, recorded:       %6.1f LUFS\n", p
  printf "the converted clip (test.wav, ffmpeg):      %6.1f LUFS\n", c
  printf "preview minus clip: %+.2f dB  (target: within 1 dB)\n", p - c
}'
