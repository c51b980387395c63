#!/bin/sh
# Benchmark of the QCP encoder beside AMR-NB 12.2 kbit/s (sox) on the same inputs: speech
# (espeak-ng, about 30 s) and synthesised music, both 8000 Hz mono 16-bit. Prints segmental
# SNR of the decoded files against the input, and encoding speed. Figures only: nothing
# passes or fails on them.
#   ringq_bench.sh [BENCH_BINARY] [WORK_DIR]
# Without arguments the native bench_ringq is looked for under $QV_NATIVE_BUILD_DIR (or
# build/native) and the work folder is $QV_BENCH_WORK/ringq or a temporary one.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-${QV_NATIVE_BUILD_DIR:-$here/../../build/native}/encoders/ringq/bench_ringq}
work=${2:-${QV_BENCH_WORK:-$(mktemp -d)}/ringq}
[ -x "$bench" ] || { echo "bench_ringq not built ($bench)"; exit 1; }
mkdir -p "$work"
for tool in espeak-ng sox ffmpeg; do
  command -v $tool >/dev/null 2>&1 || { echo "missing $tool"; exit 77; }
done

text="The quick brown fox jumps over the lazy dog. A ringtone maker cuts a clip out of a song \
and turns it into the format that the phone plays. Speech coders model the vocal tract with a \
short linear predictor and the voice with a long term pitch predictor, then search a codebook \
for the remaining excitation. Good morning, this is a message for the owner of this phone. \
Please call me back when you have a moment, my number is five five five, one two three four. \
She sells sea shells by the sea shore, and the shells she sells are surely sea shells. \
Peter Piper picked a peck of pickled peppers; how many pickled peppers did Peter Piper pick?"
espeak-ng -s 150 -w "$work/speech_raw.wav" "$text"
sox "$work/speech_raw.wav" -r 8000 -c 1 -b 16 -e signed-integer "$work/speech.wav" \
    gain -n -1 rate -v trim 0 30
# Music: eight 2.5 s chords of plucked strings over a sawtooth bass, 20 s in all.
i=0
for chord in "A2 E3 A3 C4 E4" "F2 C3 F3 A3 C4" "C3 G3 C4 E4 G4" "G2 D3 G3 B3 D4"; do
  for rep in 1 2; do
    i=$((i + 1))
    set -- $chord
    sox -n -r 8000 -c 1 -b 16 -e signed-integer "$work/chord_$i.wav" synth 2.5 \
        pluck $1 pluck $2 pluck $3 pluck $4 pluck $5 sawtooth $1 remix - lowpass 2500 \
        gain -n -4 fade 0 2.5 0.05 2>/dev/null
  done
done
sox "$work"/chord_*.wav "$work/music.wav"

for name in speech music; do
  in="$work/$name.wav"
  echo "== $name ($(soxi -D "$in") s)"
  "$bench" encode "$in" "$work/$name.qcp" | sed 's/^/ringq  /'
  ffmpeg -v error -y -i "$work/$name.qcp" -ar 8000 -ac 1 -c:a pcm_s16le "$work/$name.qcp.wav"
  printf 'ringq  QCELP-13K, ffmpeg decoder:            '
  "$bench" snr "$in" "$work/$name.qcp.wav"
  sox "$in" -C 7 -t amr-nb "$work/$name.amr"
  # ffmpeg drops the encoder's silence (SID) frames, which shortens and shifts its output;
  # sox's own decoder keeps every frame. Both are shown.
  ffmpeg -v quiet -y -i "$work/$name.amr" -ar 8000 -ac 1 -c:a pcm_s16le "$work/$name.amr.wav"
  printf 'sox    AMR-NB 12.2 kbit/s, ffmpeg decoder: '
  "$bench" snr "$in" "$work/$name.amr.wav"
  sox "$work/$name.amr" "$work/$name.amr.sox.wav"
  printf 'sox    AMR-NB 12.2 kbit/s, sox decoder:    '
  "$bench" snr "$in" "$work/$name.amr.sox.wav"
  # AMR-NB high-passes its input at 80 Hz; the phase shift of low fundamentals costs it much
  # of its SNR against the input. The same comparison with that filter taken out of the
  # measure: the input and ringq's output both through a like filter, AMR-NB's as it is.
  sox "$in" "$work/$name.hp.wav" highpass 80 highpass 80 2>/dev/null
  sox "$work/$name.qcp.wav" "$work/$name.qcp.hp.wav" highpass 80 highpass 80 2>/dev/null
  printf 'above 80 Hz: ringq '
  "$bench" snr "$work/$name.hp.wav" "$work/$name.qcp.hp.wav" | cut -d' ' -f2-3 | tr -d '\n'
  printf ', AMR-NB (sox decoder) '
  "$bench" snr "$work/$name.hp.wav" "$work/$name.amr.sox.wav" | cut -d' ' -f2-3

  start=$(date +%s.%N)
  sox "$in" -C 7 -t amr-nb "$work/$name.2.amr"
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" -v d="$(soxi -D "$in")" \
    'BEGIN { printf "sox    AMR-NB speed: %.1fx real time (process included)\n", d / (e - s) }'
done
