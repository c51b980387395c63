#!/usr/bin/env bash
# A song named in Japanese, in a folder named in Spanish and Japanese, through Browse of the
# program in a folder named in Cyrillic and Chinese, converted and uploaded to the real
# quavella-service of the test session; its page, fetched as a phone fetches it, shows the
# song's name, and the download is the converted file.
# Usage: names_e2e_test.sh E2E-PROGRAM   (inside the test session)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
program=$1
fail() { echo "names e2e: $*" >&2; exit 1; }
[ -n "${QV_SERVICE_URL:-}" ] || fail "no service in this session (QV_SERVICE_URL is not set)"
export QV_ARTEFACTS=${QV_ARTEFACTS:-$top/build/test-artefacts}
mkdir -p "$QV_ARTEFACTS"
source "$top/scripts/lib/session.sh"
source "$top/scripts/lib/phone.sh"

settings='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
restore() { qv_reg_add "$settings" ProxyServer REG_SZ "127.0.0.1:${QV_STANDIN_PORT:-9}"; }
trap 'restore; rm -rf "$work"' EXIT
work=$(mktemp -d /tmp/qv-names-e2e.XXXXXX)
qv_reg_add "$settings" ProxyServer REG_SZ "127.0.0.1:${QV_SERVICE_URL##*:}"
rm -f "$QV_ARTEFACTS/names-page.url" "$QV_ARTEFACTS/names-a.amr"
timeout -k 5 300 wine "$program" --gtest_brief=1 --gtest_filter='NamesService.*' </dev/null ||
  fail "the upload through the window failed"
page=$(cat "$QV_ARTEFACTS/names-page.url") || fail "no page address was handed to the browser"

ringtone=$(qv_fetch_as_phone "$page" "$work/phone") || fail "the phone could not fetch it"
cmp -s "$ringtone" "$QV_ARTEFACTS/names-a.amr" || fail "the download differs from the converted a.amr"
cp "$work/phone/page.png" "$QV_ARTEFACTS/names-e2e-page.png"
name='夜に駆ける'
grep -q "$name" "$work/phone/page.html" || fail "the page does not show the song's name $name"
echo "names e2e: $page shows $name, the download is a.amr"
