#!/bin/sh
# Native ffmpeg decodes what ringq writes: no erasure or other complaint from the decoder,
# and the decoded length within one frame of the input. Signals: speech (espeak-ng when
# present), a sweep, noise, silence, a clipped square wave and a clip shorter than a frame.
#   ringq_ffmpeg_check.sh RINGQ_CLI WORK_DIR      (exit 77 = tools missing, skipped)
set -eu
cli=$1
work=$2
for tool in ffmpeg sox; do
  command -v $tool >/dev/null 2>&1 || { echo "skipped: $tool missing"; exit 77; }
done
rm -rf "$work"
mkdir -p "$work"
fmt="-r 8000 -c 1 -b 16 -e signed-integer"
if command -v espeak-ng >/dev/null 2>&1; then
  espeak-ng -w "$work/speech_raw.wav" "Please call me back when you have a moment."
  sox "$work/speech_raw.wav" $fmt "$work/speech.wav" gain -n -1 rate -v
fi
sox -n $fmt "$work/sweep.wav" synth 3 sine 100-3900 gain -n -3
sox -n $fmt "$work/noise.wav" synth 2 whitenoise gain -n -6
sox -n $fmt "$work/silence.wav" trim 0 1
sox -n $fmt "$work/square.wav" synth 2 square 440 gain -n 0
sox -n $fmt "$work/tiny.wav" synth 100s sine 1000

failed=0
for in in "$work"/*.wav; do
  case "$in" in *_raw.wav) continue ;; esac
  name=$(basename "$in" .wav)
  out="$work/$name.qcp"
  if ! "$cli" "$in" "$out"; then
    echo "FAIL $name: encoder failed"; failed=1; continue
  fi
  # The demuxer hands packets over without their rate octet, so the decoder always notes
  # that it guesses the rate from the size: that note (and ffmpeg's own duration estimate)
  # is expected; anything else, an erasure above all, is a failure.
  ffmpeg -nostdin -v warning -i "$out" -f s16le -ac 1 -ar 8000 "$work/$name.raw" \
      2>"$work/$name.log" || { echo "FAIL $name: ffmpeg failed"; cat "$work/$name.log"; failed=1; continue; }
  complaints=$(grep -v -e 'Bitrate byte missing' -e 'Last message repeated' \
                       -e 'Estimating duration from bitrate' "$work/$name.log" || true)
  if [ -n "$complaints" ]; then
    echo "FAIL $name: decoder complained:"; echo "$complaints" | head -5; failed=1
  fi
  in_samples=$(soxi -s "$in")
  out_samples=$(( $(wc -c <"$work/$name.raw") / 2 ))
  diff=$(( out_samples - in_samples ))
  if [ $diff -lt 0 ] || [ $diff -ge 160 ]; then
    echo "FAIL $name: decoded $out_samples samples for $in_samples"; failed=1
  else
    echo "ok   $name: $in_samples samples in, $out_samples out"
  fi
done
exit $failed
