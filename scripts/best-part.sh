#!/usr/bin/env bash
# Proposes the best part of a song (its chorus) as the ringtone's clip: builds the detector
# natively when needed and prints up to three proposals, one a line, best first:
#   START END SCORE
# in seconds, SCORE being the confidence (0..1). SECONDS is the part's length (default 30, the
# iPhone's). A song that is not a WAV file of 8 or 16-bit PCM (MP3, M4A, FLAC, Ogg, another WAV) is
# first decoded by ffmpeg into a temporary WAV file.
# Usage: scripts/best-part.sh SONG [SECONDS]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
song=${1:-}
seconds=${2:-30}
if [ -z "$song" ] || [ $# -gt 2 ]; then
  echo "usage: scripts/best-part.sh SONG [SECONDS]" >&2
  exit 2
fi
[ -f "$song" ] || { echo "best-part: no such file: $song" >&2; exit 1; }
[[ $seconds =~ ^[0-9]+([.][0-9]+)?$ ]] && awk -v s="$seconds" 'BEGIN { exit !(s > 0 && s <= 3600) }' ||
  { echo "best-part: the length must be a number of seconds from 0 to 3600: $seconds" >&2; exit 2; }

build=${QV_NATIVE_BUILD_DIR:-$top/build/native}
if [ ! -f "$build/build.ninja" ]; then
  "$top/scripts/setup.sh" >&2
  mkdir -p "$build"
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug >"$build.configure.log" 2>&1 ||
    { cat "$build.configure.log" >&2; exit 1; }
fi
ninja -C "$build" best_part_cli >&2 >/dev/null || { ninja -C "$build" best_part_cli >&2; exit 1; }
cli=$build/analysis/best_part_cli

# A WAV file of 8 or 16-bit PCM is read as it is; anything else goes through ffmpeg.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
"$cli" "$song" "$seconds" 2>"$tmp/error" || status=$?
if [ "$status" != 3 ]; then
  cat "$tmp/error" >&2
  exit "$status"
fi
command -v ffmpeg >/dev/null || { echo "best-part: ffmpeg is needed to read $song" >&2; exit 1; }
ffmpeg -hide_banner -loglevel error -nostdin -y -i "$song" -vn -c:a pcm_s16le "$tmp/song.wav" ||
  { echo "best-part: ffmpeg could not decode $song" >&2; exit 1; }
"$cli" "$tmp/song.wav" "$seconds" 2> >(sed "s|$tmp/song.wav|$song|" >&2)
