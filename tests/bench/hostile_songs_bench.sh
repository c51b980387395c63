#!/usr/bin/env bash
# Peak private bytes of Quavella.exe under Wine while it opens hostile songs through Browse:
# a 65 KB M4A whose sample table claims 20 million samples, a 250 MB WAV named .flac, and, for
# scale, an ordinary 4-minute M4A (whose preview buffer alone is 42.3 MB). The songs are made
# here. Figures only; the aim is no more than 64 MB above the idle program plus the preview.
#   hostile_songs_bench.sh [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${QV_BUILD_DIR:-$here/../../build/win}
bench=$(find "$build" -name hostile_songs_bench.exe | head -1)
work=${1:-${QV_BENCH_WORK:-$(mktemp -d)}}/hostile
for tool in sox ffmpeg python3 wine; do
  command -v $tool >/dev/null 2>&1 || { echo "missing $tool"; exit 77; }
done
[ -n "$bench" ] && [ -f "$bench" ] || { echo "hostile_songs_bench.exe not built"; exit 1; }
mkdir -p "$work"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
winpath() { echo "Z:$1" | tr / '\\'; }

# Four seconds of AAC (some 65 KB), its "stsz" box then told it holds 20 million samples.
if [ ! -f "$work/bomb.m4a" ]; then
  ff -f lavfi -i "sine=frequency=440:duration=4:sample_rate=44100" -ac 2 -c:a aac -b:a 128k \
     "$work/song4s.m4a"
  python3 - "$work/song4s.m4a" "$work/bomb.m4a" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.find(b"stsz")
struct.pack_into(">I", data, at + 12, 20000000)
open(sys.argv[2], "wb").write(data)
PY
fi
[ -f "$work/big.flac" ] ||
  sox -n -r 44100 -c 2 -b 16 -t wav "$work/big.flac" synth 1417 whitenoise vol 0.3
[ -f "$work/song.m4a" ] ||
  ff -f lavfi -i "anoisesrc=d=240:c=pink:a=0.3:r=44100" -ac 2 -c:a aac -b:a 160k "$work/song.m4a"

echo "sizes: bomb.m4a $(stat -c %s "$work/bomb.m4a") bytes, big.flac $(stat -c %s "$work/big.flac")" \
     "bytes, song.m4a $(stat -c %s "$work/song.m4a") bytes"
run() { "$here/../../scripts/wine-run.sh" "$bench" "$@" | tr -d '\r'; }
run "65 KB table bomb (bomb.m4a)" "$(winpath "$work/bomb.m4a")" refused
run "250 MB WAV named .flac" "$(winpath "$work/big.flac")" refused
run "4-minute M4A (preview buffer 42.3 MB)" "$(winpath "$work/song.m4a")" loaded
