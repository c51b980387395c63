#!/usr/bin/env bash
# Benchmark of the decoding import on a 4-minute 44.1 kHz stereo song as M4A, FLAC and Ogg
# Vorbis: ImportDecodedSong (decode, convert, d.wav, bar) against a bare decoding loop over the
# same FFmpeg DLLs that writes the same d.wav, in the same run; beside them the native
# `ffmpeg -i SONG -f wav` and the MP3 branch on the same song as MP3. Then the import's peak
# private bytes on a 2-hour Opus file (cut at the import limit). Figures only.
#   decoded_import_bench.sh [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/timing.sh"
build=${QV_BUILD_DIR:-$here/../../build/win}
bench=$(find "$build" -name bench_decoded_import.exe | head -1)
mp3bench=$(find "$build" -name bench_mp3_import.exe | head -1)
work=${1:-${QV_BENCH_WORK:-$(mktemp -d)}}/decoded
for tool in sox lame ffmpeg wine; do
  command -v $tool >/dev/null 2>&1 || { echo "missing $tool"; exit 77; }
done
[ -n "$bench" ] && [ -f "$bench" ] || { echo "bench_decoded_import.exe not built"; exit 1; }
mkdir -p "$work"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
winpath() { echo "Z:$1" | tr / '\\'; }

wav=$work/song.wav
[ -f "$wav" ] || sox -n -r 44100 -c 2 -b 16 "$wav" synth 240 pinknoise sine 330 tremolo 3 40 vol 0.4
[ -f "$work/song.m4a" ] || ff -i "$wav" -c:a aac -b:a 192k "$work/song.m4a"
[ -f "$work/song.flac" ] || ff -i "$wav" -c:a flac "$work/song.flac"
[ -f "$work/song.ogg" ] || ff -i "$wav" -c:a libvorbis -q:a 5 "$work/song.ogg"
[ -f "$work/song.mp3" ] || lame --silent -q 5 -b 128 "$wav" "$work/song.mp3"
[ -f "$work/long.opus" ] ||
  ff -f lavfi -i "anoisesrc=d=7200:c=pink:a=0.3:r=48000" -ac 2 -c:a libopus -b:a 48k \
     -compression_level 0 "$work/long.opus"

mp3=""
if [ -n "$mp3bench" ]; then
  mp3=$("$here/../../scripts/wine-run.sh" "$mp3bench" "$(winpath "$work/song.mp3")" \
        "$(winpath "$work")" 1 | tr -d '\r' | sed -n 's/^import_seconds=//p')
fi
echo "song: 240 s, 44100 Hz stereo; MP3 branch (ImportMp3, 128 kbit/s MP3): ${mp3:-?} s"
printf '%-5s %9s %9s %7s %14s\n' kind import bare ratio "ffmpeg -f wav"
for kind in m4a flac ogg; do
  song=$work/song.$kind
  out=$("$here/../../scripts/wine-run.sh" "$bench" "$(winpath "$song")" "$(winpath "$work")" 7 |
        tr -d '\r')
  import=$(echo "$out" | sed -n 's/^import_seconds=//p')
  bare=$(echo "$out" | sed -n 's/^bare_seconds=//p')
  native=$(best_seconds 3 ffmpeg -hide_banner -loglevel error -nostdin -y -i "$song" -f wav \
           "$work/native.wav")
  awk -v k="$kind" -v i="$import" -v b="$bare" -v n="$native" 'BEGIN {
    printf "%-5s %8.3fs %8.3fs %7.3f %13.3fs\n", k, i, b, i / b, n }'
done
echo "(ratio = import / bare decode loop over the same DLLs; target: at most 1.10)"

out=$("$here/../../scripts/wine-run.sh" "$bench" --memory "$(winpath "$work/long.opus")" \
      "$(winpath "$work")" | tr -d '\r')
peak=$(echo "$out" | sed -n 's/^peak_private_bytes=//p')
awk -v p="$peak" 'BEGIN {
  printf "2-hour Opus (cut at the import limit): peak private bytes %.1f MB", p / 1048576
  printf " (target: under 64 MB)\n" }'
