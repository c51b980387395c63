#!/usr/bin/env bash
# The ringtone's page as a browser shows it: the recorded upload goes to a real service, then
# headless Chromium renders the page it answered with, on a desktop and on a phone. The page
# must name the phone model, its QR code must read (zbarimg) as the page's own address, and
# the screenshots are kept as artefacts.
# Usage: page_in_browser_test.sh QUAVELLA-SERVICE
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
export QV_SERVICE_BIN=$1
command -v chromium >/dev/null && command -v zbarimg >/dev/null || {
  echo "page test: chromium or zbarimg missing (scripts/setup.sh installs them)" >&2; exit 1; }
artefacts=${QV_ARTEFACTS:-$top/build/test-artefacts}
mkdir -p "$artefacts"
work=$(mktemp -d /tmp/qv-page-test.XXXXXX)
source "$top/scripts/lib/service.sh"
trap 'qv_service_stop; rm -rf "$work"' EXIT
qv_service_start "$work/data" || exit 1

fail() { echo "page test: $*" >&2; exit 1; }
page=$(python3 "$here/send_raw.py" "$QV_SERVICE_URL" "$here/fixtures/upload-wav.raw") ||
  fail "the recorded upload was refused: $page"
case "$page" in "$QV_SERVICE_URL"/r/*) ;; *) fail "the reply is not a page address: $page" ;; esac

browse() {  # name, window size, extra arguments...; screenshot of $page into $work/name.png
  local name=$1 size=$2
  shift 2
  timeout 60 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
    --user-data-dir="$work/profile-$name" --window-size="$size" "$@" \
    --screenshot="$work/$name.png" "$page" >"$work/$name.log" 2>&1 ||
    fail "chromium could not render the page ($(tail -n 3 "$work/$name.log"))"
  cp "$work/$name.png" "$artefacts/service-$name.png"
}
browse page-desktop 900,1000
browse page-phone 390,1100 \
  --user-agent="Mozilla/5.0 (Linux; Android 13; Pixel 7) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Mobile Safari/537.36"

dom=$(timeout 60 chromium --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile-dom" \
  --dump-dom "$page" 2>/dev/null)
grep -q "Motorola MPx200" <<<"$dom" || fail "the rendered page does not name the phone model"
grep -q "Cingular" <<<"$dom" || fail "the rendered page does not name the carrier"
for shot in page-desktop page-phone; do
  read=$(zbarimg --raw -q "$work/$shot.png") || fail "no QR code found in the $shot screenshot"
  [ "$read" = "$page" ] || fail "the QR code of $shot reads '$read', not '$page'"
done

# The site's other pages, for the record.
for name in support supported_phones; do
  timeout 60 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
    --user-data-dir="$work/profile-$name" --window-size=900,1200 \
    --screenshot="$artefacts/service-$name.png" "$QV_SERVICE_URL/index.php?page=$name" \
    >/dev/null 2>&1 || fail "chromium could not render the $name page"
done
# Today's phones: the ringtone's page as an iPhone and an Android phone show it (390 x 844),
# with its player and both phones' steps, the visitor's own first; and the phone list down to
# its last rows.
IphoneAgent="Mozilla/5.0 (iPhone; CPU iPhone OS 18_0 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/18.0 Mobile/15E148 Safari/604.1"
AndroidAgent="Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/124.0 Mobile Safari/537.36"
for row in "m4r 184 iphone" "ogg 185 android"; do
  read -r word phone shot <<<"$row"
  python3 "$here/upload_request.py" "$here/fixtures/short.$word" 9 "$phone" "$word" "a.$word" \
    "Phone_Song.wav" "$work/upload-$word.raw"
  page=$(python3 "$here/send_raw.py" "$QV_SERVICE_URL" "$work/upload-$word.raw") ||
    fail "the $word upload was refused: $page"
  agent=$IphoneAgent; first="On an iPhone"; second="On an Android phone"
  if [ "$shot" = android ]; then
    agent=$AndroidAgent; first="On an Android phone"; second="On an iPhone"
  fi
  browse "ringtone-$shot" 390,844 --user-agent="$agent"
  dom=$(timeout 60 chromium --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile-dom-$word" \
    --user-agent="$agent" --dump-dom "$page" 2>/dev/null)
  grep -q "<audio controls" <<<"$dom" || fail "the $word page has no player"
  # The player plays the ringtone to its end under the page's own policy (its media-src).
  # Chromium here plays the AAC of the m4r too (through the system's FFmpeg).
  played=$(timeout 60 python3 "$here/page_player.py" "$page" "$work/profile-play-$word") ||
    fail "the $word page's player could not be run"
  case "$played" in ended*) ;; *) fail "the $word page's player did not play to the end: $played" ;; esac
  grep -q "/Phone_Song.$word\"" <<<"$dom" || fail "the $word download is not named Phone_Song.$word"
  steps=$(grep -o "<h2>On an [A-Za-z ]*</h2>" <<<"$dom" | tr '\n' '|')
  [ "$steps" = "<h2>$first</h2>|<h2>$second</h2>|" ] ||
    fail "the $word page's steps are '$steps', not $first then $second"
done
timeout 60 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
  --user-data-dir="$work/profile-phones-phone" --window-size=390,7400 \
  --screenshot="$artefacts/service-supported-phones-phone.png" \
  "$QV_SERVICE_URL/index.php?page=supported_phones" >/dev/null 2>&1 ||
  fail "chromium could not render the phone list"
echo "page test: the page names the phone, and its QR code reads its address; the iPhone and Android pages play their ringtones to the end and show their steps"
