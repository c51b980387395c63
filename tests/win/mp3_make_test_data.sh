#!/usr/bin/env bash
# Makes the MP3 files the MP3 import tests decode, and the reference PCM of each as the
# native mpg123 decodes it (all frames, no gapless trimming, raw 16-bit little-endian).
# Usage: mp3_make_test_data.sh <output folder>
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Sources: noise and tones, so that a shift by a few samples ruins the correlation.
sox -n -r 44100 -c 2 -b 16 "$tmp/stereo.wav" synth 8 pinknoise sine 330 vol 0.4
sox -n -r 44100 -c 1 -b 16 "$tmp/mono.wav" synth 6 pinknoise vol 0.4
sox -n -r 48000 -c 1 -b 16 "$tmp/mono48.wav" synth 6 pinknoise sine 1000 remix 1,2 vol 0.4

lame --silent -q 9 -b 128 "$tmp/stereo.wav" s44.mp3                # MPEG-1, info frame
lame --silent -q 9 -t -b 128 "$tmp/stereo.wav" s44t.mp3            # no info frame
lame --silent -q 9 -m m -b 64 "$tmp/mono48.wav" m48.mp3            # 48 kHz mono
lame --silent -q 9 --resample 22.05 -b 64 "$tmp/stereo.wav" s22.mp3  # MPEG-2
lame --silent -q 9 -m m --resample 8 -b 16 "$tmp/mono.wav" m8.mp3    # MPEG-2.5
lame --silent -q 9 -V 4 "$tmp/stereo.wav" vbr.mp3
lame --silent -q 9 -b 128 --id3v2-only --ta "Test Artist" --tt "Test Title" \
  "$tmp/stereo.wav" tagged.mp3
# A file whose length is not a multiple of the decoder's 20-byte pieces, ending in a frame.
for rate in 96 128 160 112; do
  lame --silent -q 9 -t -b $rate "$tmp/mono.wav" odd.mp3
  if [ $(( $(stat -c %s odd.mp3) % 20 )) -ne 0 ]; then break; fi
done

# About five minutes of stereo (more than 50,000,000 bytes of PCM): copies of one stream
# one after another are a valid stream.
lame --silent -q 9 -t -b 128 "$tmp/stereo.wav" "$tmp/part.mp3"
: > long.mp3
for i in $(seq 38); do cat "$tmp/part.mp3" >> long.mp3; done

for f in s44 s44t m48 s22 m8 vbr tagged odd; do
  mpg123 -q --no-gapless -e s16 -s "$f.mp3" > "$f.raw"
done

# Two files joined: 44.1 kHz stereo frames, then 22.05 kHz mono ones (and the other way round).
lame --silent -q 9 -t -b 128 "$tmp/stereo.wav" "$tmp/first.mp3"
lame --silent -q 9 -t -m m --resample 22.05 -b 32 "$tmp/mono.wav" "$tmp/second.mp3"
cat "$tmp/first.mp3" "$tmp/second.mp3" > joined.mp3
cat "$tmp/second.mp3" "$tmp/first.mp3" > joined-reverse.mp3
mpg123 -q --no-gapless -e s16 -s "$tmp/first.mp3" > joined.raw
mpg123 -q --no-gapless -e s16 -s "$tmp/second.mp3" > joined-reverse.raw

# Not MP3: random bytes, and a WAV file under an MP3 name.
python3 -c "import random; random.seed(7); open('garbage.mp3','wb').write(bytes(random.getrandbits(8) for _ in range(300000)))"
cp "$tmp/stereo.wav" wave.mp3
touch stamp
