#!/usr/bin/env bash
# The whole road of a ringtone: Quavella.exe under Wine uploads to the real quavella-service
# of the test session; the page address reaches the browser hook; the page, fetched as a phone
# fetches it and rendered in headless Chromium, names the phone model and its QR code reads
# as its own address; the download equals the converted a.amr byte for byte.
# Usage: service_e2e_test.sh E2E-PROGRAM   (inside the test session, which exports
# QV_SERVICE_URL, QV_BROWSER_LOG and the Wine settings)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
program=$1
fail() { echo "service e2e: $*" >&2; exit 1; }
[ -n "${QV_SERVICE_URL:-}" ] || fail "no service in this session (QV_SERVICE_URL is not set)"
command -v chromium >/dev/null && command -v zbarimg >/dev/null ||
  fail "chromium or zbarimg is missing (scripts/setup.sh installs them)"
export QV_ARTEFACTS=${QV_ARTEFACTS:-$top/build/test-artefacts}
mkdir -p "$QV_ARTEFACTS"
source "$top/scripts/lib/session.sh"
source "$top/scripts/lib/phone.sh"

# Route the prefix's uploads to the service for this test, and back to the stand-in after.
settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
restore() { qv_reg_add "$settings" ProxyServer REG_SZ "127.0.0.1:${QV_STANDIN_PORT:-9}"; }
trap 'restore; rm -rf "$work"' EXIT
work=$(mktemp -d /tmp/qv-service-e2e.XXXXXX)
qv_reg_add "$settings" ProxyServer REG_SZ "127.0.0.1:${QV_SERVICE_URL##*:}"
rm -f "$QV_ARTEFACTS/service-page.url" "$QV_ARTEFACTS/service-a.amr"
timeout -k 5 300 wine "$program" --gtest_brief=1 </dev/null || fail "the upload through the window failed"
page=$(cat "$QV_ARTEFACTS/service-page.url") || fail "no page address was handed to the browser"

ringtone=$(qv_fetch_as_phone "$page" "$work/phone") || fail "the phone could not fetch it"
cmp -s "$ringtone" "$QV_ARTEFACTS/service-a.amr" ||
  fail "the download differs from the converted a.amr"
cp "$work/phone/page.png" "$QV_ARTEFACTS/service-e2e-page.png"
grep -q "LG 325" "$work/phone/page.html" || fail "the page does not name the phone model"
dom=$(timeout 60 chromium --headless --no-sandbox --disable-gpu --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/dom-profile" --dump-dom "$page" 2>/dev/null)
grep -q "LG 325" <<<"$dom" || fail "the page as Chromium renders it does not name the phone model"
read=$(zbarimg --raw -q "$work/phone/page.png") || fail "no QR code in the page's screenshot"
[ "$read" = "$page" ] || fail "the QR code reads '$read', not '$page'"
echo "service e2e: $page names the phone, its QR code reads its address, the download is a.amr"
