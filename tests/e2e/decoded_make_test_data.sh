#!/usr/bin/env bash
# Makes the songs the decoding import tests open, one of each family, with the system's ffmpeg:
# tones of 4 seconds (440 Hz left, 660 Hz right) in M4A/AAC, FLAC 24-bit 96 kHz, Ogg Vorbis,
# Opus, WMA, an MP4 video with 5.1 AC-3 sound, an M4A named .mp3, a mono voice memo, a FLAC of
# four minutes and some 40 MB, ten minutes of Opus, songs whose stated length is an estimate;
# and the refused kinds: an M4A cut in half, one whose sample table claims 20 million samples,
# a video without sound and an encrypted M4A.
# Usage: decoded_make_test_data.sh <output folder>
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
tone="sine=frequency=440:duration=4:sample_rate=44100"
tone2="sine=frequency=660:duration=4:sample_rate=44100"
stereo=(-f lavfi -i "$tone" -f lavfi -i "$tone2" -filter_complex "[0][1]amerge=inputs=2")

ff "${stereo[@]}" -c:a aac -b:a 128k song.m4a
ff "${stereo[@]}" -ar 96000 -c:a flac -sample_fmt s32 -bits_per_raw_sample 24 song.flac
ff "${stereo[@]}" -c:a libvorbis -q:a 3 song.ogg
ff "${stereo[@]}" -c:a libopus -b:a 96k song.opus
ff "${stereo[@]}" -c:a wmav2 -b:a 128k song.wma
ff -f lavfi -i "testsrc=size=160x120:rate=10:duration=4" \
   -f lavfi -i "sine=frequency=440:duration=4:sample_rate=48000" \
   -filter_complex "[1]pan=5.1|FL=c0|FR=c0|FC=c0|LFE=c0|BL=c0|BR=c0[a]" -map 0:v -map "[a]" \
   -c:v mpeg4 -c:a ac3 -b:a 384k video.mp4
cp song.m4a mislabelled.mp3
# A voice memo: mono AAC at 16 kHz.
ff -f lavfi -i "sine=frequency=440:duration=4:sample_rate=16000" -c:a aac -b:a 32k voice.m4a
# Four minutes of loud noise as 16-bit 44.1 kHz FLAC: far above Browse's 21,000,000-byte gate.
noise="anoisesrc=d=240:c=white:a=0.9:r=44100"
ff -f lavfi -i "$noise:seed=1" -f lavfi -i "$noise:seed=2" -filter_complex "[0][1]amerge=inputs=2" \
   -c:a flac -sample_fmt s16 big.flac

# Ten minutes of Opus: more than the import keeps (about 260 s at 48 kHz stereo).
ff -f lavfi -i "anoisesrc=d=600:c=pink:a=0.3:r=48000" -ac 2 -c:a libopus -b:a 8k long.opus

# Lengths that are only estimates: a VBR ADTS AAC of silence then noise (its length from the
# bit rate of its quiet start is twenty times too long), an Ogg Vorbis chain of 22 kHz mono then
# 48 kHz stereo, and an ADTS chain of 22 kHz mono then 44.1 kHz stereo.
ff -f lavfi -i "anullsrc=r=44100:cl=stereo:d=10" -f lavfi -i "anoisesrc=d=10:c=white:a=0.5:r=44100" \
   -filter_complex "[0][1]concat=n=2:v=0:a=1" -ac 2 -c:a aac -q:a 2 vbr.aac
ff -f lavfi -i "sine=frequency=440:duration=3:sample_rate=22050" -ac 1 -c:a libvorbis part1.ogg
ff -f lavfi -i "sine=frequency=660:duration=3:sample_rate=48000" -ac 2 -c:a libvorbis \
   -serial_offset 7 part2.ogg
cat part1.ogg part2.ogg > chained.ogg
ff -f lavfi -i "sine=frequency=660:duration=3:sample_rate=22050" -ac 1 -c:a aac -b:a 32k -f adts part1.aac
ff -f lavfi -i "sine=frequency=440:duration=3:sample_rate=44100" -ac 2 -c:a aac -b:a 128k -f adts part2.aac
cat part1.aac part2.aac > chained.aac
rm part1.ogg part2.ogg part1.aac part2.aac

# Refused: the first half of an M4A whose index is at its end; a video alone; encrypted AAC.
size=$(stat -c %s song.m4a)
head -c $((size / 2)) song.m4a > cut.m4a
# An M4A of some 65 KB whose "stsz" box claims 20 million samples.
python3 - song.m4a bomb.m4a <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
struct.pack_into(">I", data, data.find(b"stsz") + 12, 20000000)
open(sys.argv[2], "wb").write(data)
PY
ff -f lavfi -i "testsrc=size=160x120:rate=10:duration=2" -c:v mpeg4 silent.mp4
ff "${stereo[@]}" -c:a aac -b:a 128k -encryption_scheme cenc-aes-ctr \
   -encryption_key 00112233445566778899aabbccddeeff \
   -encryption_kid 0123456789abcdef0123456789abcdef protected.m4a
touch stamp
