#!/usr/bin/env bash
# The shipped encoders' quality beside the reference encoders (sox AMR-NB, ffmpeg MMF), and
# the MMF encoder's ADPCM search at several widths. Run by scripts/bench.sh in a Wine session.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${QV_BUILD_DIR:-$top/build/win}
bin=${QV_BIN_DIR:-$build/dist}
tool=$build/encoders/ringm/encoders_win_tool.exe
if [ ! -f "$bin/wav2amr.exe" ] || [ ! -f "$bin/ringm.dll" ] || [ ! -f "$tool" ]; then
  echo "encoders_snr: wav2amr.exe, ringm.dll or encoders_win_tool.exe not built; skipped"
  exit 0
fi
python3 "$here/encoders_snr_bench.py" --bin "$bin" --tool "$tool" --wine "$top/scripts/wine-run.sh" "$@"
adpcm=$build/encoders/ringm/bench_encoders_adpcm.exe
if [ -f "$adpcm" ]; then
  echo
  "$top/scripts/wine-run.sh" "$adpcm"
fi
