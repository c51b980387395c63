# Sourced by the run command and the tests: fetches a ringtone's page and the ringtone itself
# as a phone's browser would, and renders the page as Chromium shows it on a phone.
#
#   qv_fetch_as_phone PAGE_URL OUT_DIR
#       saves OUT_DIR/page.html (the page), OUT_DIR/page.png (a screenshot at a phone's size)
#       and the ringtone under the name its download link gives; prints the ringtone's path.
#       Returns non-zero, saying why, when any step fails. The phone is an Android phone at
#       390 x 1100 unless QV_PHONE_AGENT and QV_PHONE_SIZE say otherwise (QV_IPHONE_AGENT and
#       390,844 for an iPhone).
#   qv_page_on_computer PAGE_URL OUT_PNG
#       renders the page as a computer's browser shows it (1000 x 2000), with the QR code the
#       phone scans, into OUT_PNG; the QR code must read (zbarimg) as the page's address.
#       Returns non-zero, saying why, when it does not.

QV_ANDROID_AGENT="Mozilla/5.0 (Linux; Android 13; Pixel 7) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Mobile Safari/537.36"
QV_IPHONE_AGENT="Mozilla/5.0 (iPhone; CPU iPhone OS 18_0 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/18.0 Mobile/15E148 Safari/604.1"
QV_PHONE_AGENT=${QV_PHONE_AGENT:-$QV_ANDROID_AGENT}
QV_PHONE_SIZE=${QV_PHONE_SIZE:-390,1100}

qv_fetch_as_phone() {
  local page=$1 out=$2
  mkdir -p "$out"
  curl -fsS --max-time 30 -A "$QV_PHONE_AGENT" -o "$out/page.html" "$page" ||
    { echo "phone: the page $page could not be fetched" >&2; return 1; }
  # The download link: the page's own path, then the ringtone's name.
  local path=${page#http://*/}
  local link
  link=$(grep -o "href=\"/$path/[^\"/]*\"" "$out/page.html" | head -n 1 | sed 's/^href="//; s/"$//')
  [ -n "$link" ] || { echo "phone: the page has no download link" >&2; return 1; }
  local origin=${page%"/$path"}
  local file=$out/${link##*/}
  curl -fsS --max-time 30 -A "$QV_PHONE_AGENT" -o "$file" "$origin$link" ||
    { echo "phone: the ringtone $origin$link could not be fetched" >&2; return 1; }
  if command -v chromium >/dev/null; then
    timeout 60 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --no-first-run \
      --disable-background-networking --disable-component-update --disable-sync \
      --user-data-dir="$out/chromium-profile" --window-size="$QV_PHONE_SIZE" \
      --user-agent="$QV_PHONE_AGENT" --screenshot="$out/page.png" "$page" \
      >"$out/chromium.log" 2>&1 || { echo "phone: chromium could not render the page" >&2; return 1; }
    rm -rf "$out/chromium-profile"
  fi
  printf '%s\n' "$file"
}

qv_page_on_computer() {
  local page=$1 png=$2 profile
  command -v chromium >/dev/null && command -v zbarimg >/dev/null ||
    { echo "computer: chromium or zbarimg missing (scripts/setup.sh)" >&2; return 1; }
  profile=$(mktemp -d /tmp/qv-computer.XXXXXX)
  timeout 60 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --window-size=1000,2000 --screenshot="$png" "$page" \
    >"$profile/chromium.log" 2>&1 || { echo "computer: chromium could not render the page" >&2
                                        rm -rf "$profile"; return 1; }
  rm -rf "$profile"
  local read
  read=$(zbarimg --raw -q "$png") || { echo "computer: no QR code on the page" >&2; return 1; }
  [ "$read" = "$page" ] || { echo "computer: the QR code reads '$read', not $page" >&2; return 1; }
}
