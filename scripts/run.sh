#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Quavella under Wine in out/quavella, a folder that
# holds the program and its encoders. With a display the window opens on it; without one the
# script walks one ringtone through the program on a virtual display and saves a screenshot of
# each step in out/walkthrough. Uploads go to quavella-service, started here on a local port with
# its data in out/service (kept between runs), unless the program was built for a real service
# host (QV_SERVICE_HOST=host scripts/run.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

scripts/setup.sh
if [ -n "${QV_SERVICE_HOST:-}" ]; then
  mkdir -p build/win
  cmake -S . -B build/win -DQV_SERVICE_HOST="$QV_SERVICE_HOST" >/dev/null 2>&1 || true
fi
# Only what this command starts is built (the tests are the test command's), quietly.
echo "run: building Quavella (the compiler's output goes to build/run-build.log)"
scripts/build.sh --run

app=$top/out/quavella
mkdir -p "$app"
cp -f build/win/dist/* "$app/"

source scripts/lib/session.sh
run=$top/out/session
rm -rf "$run"
trap 'qv_session_stop' EXIT
host=$(sed -n 's/^QV_SERVICE_HOST:STRING=//p' build/win/CMakeCache.txt)
if [ "$host" != "quavella.example" ]; then export QV_NO_PROXY=1; fi
# The service that the program's uploads, Help and phone list reach, with its data kept here.
export QV_SERVICE_BIN=$top/build/service/service/quavella-service
export QV_SERVICE_DATA=$top/out/service
export QV_UPLOADS_TO=service

# The Wine prefix of the run command is kept between runs (it holds the profile).
export QV_PREFIX=$top/out/prefix
if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  QV_BROWSER_OPEN=1 qv_session_start "$run" --use-display
  echo "run: Quavella is starting in $app (uploads: ${QV_NO_PROXY:+$host}${QV_NO_PROXY:-quavella-service at $QV_SERVICE_URL, data in $QV_SERVICE_DATA})"
  (cd "$app" && wine Quavella.exe </dev/null >/dev/null 2>&1)
else
  qv_session_start "$run"
  walk=$top/out/walkthrough
  rm -rf "$walk"
  mkdir -p "$walk"
  song=$walk/song.wav
  espeak-ng -w "$walk/voice.wav" "Hello, this is a ringtone made with Quavella." >/dev/null 2>&1
  sox -m -v 1 "$walk/voice.wav" -v 0.3 -n -r 22050 -c 1 "$walk/mix.wav" synth 4 sine 440 >/dev/null 2>&1 \
    || cp "$walk/voice.wav" "$walk/mix.wav"
  sox "$walk/mix.wav" -r 44100 -c 2 -b 16 "$song" pad 0.5 0.5 >/dev/null 2>&1
  rm -f "$walk/voice.wav" "$walk/mix.wav"
  echo "run: no display; walking one ringtone through Quavella on a virtual display"
  QV_WALK_FOLDER=$app QV_WALK_SONG=$song QV_ARTEFACTS=$walk \
    timeout -k 5 300 wine build/win/tests/e2e/qv_walkthrough.exe --gtest_brief=1 </dev/null
  for bmp in "$walk"/*.bmp; do convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"; done
  # The last road: the computer's browser shows the page the service answered with, and its
  # QR code; the iPhone scans it, opens the page and fetches its ringtone, which must be AAC
  # in an M4A file.
  page=$(tail -n 1 "$QV_BROWSER_LOG")
  if [ -n "${QV_SERVICE_URL:-}" ] && [ "${page#"$QV_SERVICE_URL"/r/}" != "$page" ]; then
    source scripts/lib/phone.sh
    qv_page_on_computer "$page" "$walk/8-page-on-the-computer.png" || exit 1
    echo "run: the computer shows $page with its QR code, which reads as the page's address"
    ringtone=$(QV_PHONE_AGENT=$QV_IPHONE_AGENT QV_PHONE_SIZE=390,844 qv_fetch_as_phone "$page" "$walk/phone")
    cp "$walk/phone/page.png" "$walk/9-page-on-the-iphone.png" 2>/dev/null || true
    if cmp -s "$ringtone" "$walk/a.m4r"; then
      echo "run: the iPhone fetched $page and its ringtone, the same bytes as the converted a.m4r"
    else
      echo "run: the ringtone the iPhone fetched from $page differs from the converted a.m4r" >&2
      exit 1
    fi
    probe=$(ffprobe -v error -show_entries format_tags=major_brand:stream=codec_name,profile,sample_rate,channels \
      -of default=noprint_wrappers=1 "$ringtone")
    echo "run: ffprobe of ${ringtone##*/}: $(tr '\n' ' ' <<<"$probe")"
    grep -qx "codec_name=aac" <<<"$probe" && grep -qx "profile=LC" <<<"$probe" &&
      grep -q "^TAG:major_brand=M4A" <<<"$probe" ||
      { echo "run: the ringtone is not AAC-LC in an M4A file" >&2; exit 1; }
  fi
  echo "run: screenshots of each step are in $walk"
fi
