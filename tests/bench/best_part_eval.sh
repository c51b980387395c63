#!/usr/bin/env bash
# Evaluation of the best-part detector (figures only, not part of the test command): renders
# General MIDI songs of known form with fluidsynth and a Debian soundfont, takes the annotated
# real songs of Debian's Frets on Fire song packages, and prints the hit rate of the first
# proposal and of any of the three beside three baselines (tests/bench/best_part/evaluate.py).
#   best_part_eval.sh [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
work=${1:-${QV_BENCH_WORK:-$(mktemp -d)}}/best_part_eval
packages=(fluidsynth fluid-soundfont-gm fretsonfire-songs-muldjord fretsonfire-songs-sectoid
          ffmpeg lame sox)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  [[ $(id -u) == 0 ]] || { echo "missing packages (install them as root): ${missing[*]}"; exit 77; }
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
    --no-install-recommends "${missing[@]}" >/dev/null
fi
build=${QV_NATIVE_BUILD_DIR:-$top/build/native}
[ -f "$build/build.ninja" ] || { echo "no native build in $build (scripts/build.sh)"; exit 1; }
ninja -C "$build" best_part_cli >/dev/null
python3 "$here/best_part/evaluate.py" "$work" "$build/analysis/best_part_cli" 30
