#!/usr/bin/env bash
# Benchmark of the ringtones of today's phones on a 30-second clip (16-bit stereo 44,100 Hz, as
# the conversion writes test.wav): our encoders under Wine against the native tools at the same
# settings in the same run, `ffmpeg -c:a aac -b:a 160k -f ipod` (the same encoder) and
# `oggenc -q 5`; and the SNR of each decoded ringtone against the clip, ours beside theirs.
# Each time is the best of nine runs, ours and theirs taking turns; the processor times beside
# the wall times move less when other programs share the machine. Figures only: nothing passes or fails on time.
#   phones_encode_bench.sh [BENCH_EXE] [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/timing.sh"
bench=${1:-$(find "${QV_BUILD_DIR:-$here/../../build/win}" -name bench_phones_encode.exe | head -1)}
work=${2:-${QV_BENCH_WORK:-$(mktemp -d)}/phones}
dist=${QV_BIN_DIR:-$here/../../build/win/dist}
for tool in sox ffmpeg oggenc wine python3; do
  command -v $tool >/dev/null 2>&1 || { echo "missing $tool"; exit 77; }
done
[ -n "$bench" ] && [ -f "$bench" ] || { echo "bench_phones_encode.exe not built"; exit 1; }
mkdir -p "$work"
# The program loads FFmpeg's DLLs from its own folder.
cp -f "$bench" "$dist"/*.dll "$work/"

clip=$work/clip.wav
sox -n -r 44100 -c 2 -b 16 "$clip" synth 30 pinknoise sine 330 sine 554 tremolo 3 40 vol 0.4 \
  2>/dev/null
echo "clip: $(stat -c %s "$clip") bytes, 30 s, 16-bit stereo 44100 Hz"

winclip=$(echo "Z:$clip" | tr / '\\')
winwork=$(echo "Z:$work" | tr / '\\')
ffmpegCommand=(ffmpeg -v error -y -i "$clip" -c:a aac -b:a 160k -f ipod "$work/theirs.m4r")
oggencCommand=(oggenc -Q -q 5 -o "$work/theirs.ogg" "$clip")
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (b < a) ? b : a }'; }
# Three turns of ours then theirs, three runs each, so that a busy spell of the machine weighs
# on both sides alike; each figure is the best of its nine.
m4r=1e9 ogg=1e9 m4rCpu=1e9 oggCpu=1e9 ffmpegBest=1e9 ffmpegCpu=1e9 oggencBest=1e9 oggencCpu=1e9
for ((turn = 0; turn < 3; ++turn)); do
  out=$("$here/../../scripts/wine-run.sh" "$work/bench_phones_encode.exe" "$winclip" "$winwork" 3 |
        tr -d '\r')
  for key in m4r_seconds ogg_seconds m4r_cpu_seconds ogg_cpu_seconds; do
    echo "$out" | grep -q "^$key=" || { echo "$out"; exit 1; }
  done
  m4r=$(smaller "$m4r" "$(echo "$out" | sed -n 's/^m4r_seconds=//p')")
  ogg=$(smaller "$ogg" "$(echo "$out" | sed -n 's/^ogg_seconds=//p')")
  m4rCpu=$(smaller "$m4rCpu" "$(echo "$out" | sed -n 's/^m4r_cpu_seconds=//p')")
  oggCpu=$(smaller "$oggCpu" "$(echo "$out" | sed -n 's/^ogg_cpu_seconds=//p')")
  read -r wall cpu < <(best_wall_and_cpu_seconds 3 "${ffmpegCommand[@]}")
  ffmpegBest=$(smaller "$ffmpegBest" "$wall"); ffmpegCpu=$(smaller "$ffmpegCpu" "$cpu")
  read -r wall cpu < <(best_wall_and_cpu_seconds 3 "${oggencCommand[@]}")
  oggencBest=$(smaller "$oggencBest" "$wall"); oggencCpu=$(smaller "$oggencCpu" "$cpu")
done

# SNR of a ringtone decoded by ffmpeg against the clip, over the samples both have.
snr() {
  ffmpeg -v error -y -i "$1" -f s16le -ac 2 -ar 44100 "$1.pcm"
  python3 - "$clip" "$1.pcm" <<'PY'
import array, math, sys
with open(sys.argv[1], "rb") as f:
    data = f.read()
at = data.find(b"data") + 8
clip = array.array("h", data[at:])
decoded = array.array("h", open(sys.argv[2], "rb").read())
n = min(len(clip), len(decoded))
signal = sum(x * x for x in clip[:n])
noise = sum((x - y) * (x - y) for x, y in zip(clip[:n], decoded[:n]))
print("%.2f" % (10 * math.log10(signal / max(noise, 1))))
PY
}
snrOursM4r=$(snr "$work/ours.m4r"); snrTheirsM4r=$(snr "$work/theirs.m4r")
snrOursOgg=$(snr "$work/ours.ogg"); snrTheirsOgg=$(snr "$work/theirs.ogg")

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v m="$m4r" -v f="$ffmpegBest" -v o="$ogg" -v e="$oggencBest" \
    -v mc="$m4rCpu" -v fc="$ffmpegCpu" -v oc="$oggCpu" -v ec="$oggencCpu" \
    -v sm="$snrOursM4r" -v tm="$snrTheirsM4r" -v so="$snrOursOgg" -v to="$snrTheirsOgg" 'BEGIN {
  printf "m4r, ours under Wine (read, encode, write): %.3f s (processor %.3f s), SNR %.2f dB\n", m, mc, sm
  printf "native ffmpeg -c:a aac -b:a 160k -f ipod:    %.3f s (processor %.3f s), SNR %.2f dB\n", f, fc, tm
  printf "ours / ffmpeg: %.2f (processor %.2f; target: at most 1.3); SNR difference %.2f dB (target: at least -0.2, ours no worse than 0.2 dB below)\n", m / f, mc / fc, sm - tm
  printf "ogg, ours under Wine (read, encode, write): %.3f s (processor %.3f s), SNR %.2f dB\n", o, oc, so
  printf "native oggenc -q 5:                          %.3f s (processor %.3f s), SNR %.2f dB\n", e, ec, to
  printf "ours / oggenc: %.2f (processor %.2f; target: at most 1.3); SNR difference %.2f dB (target: at least -0.2, ours no worse than 0.2 dB below)\n", o / e, oc / ec, so - to
}'
