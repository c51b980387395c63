#!/usr/bin/env bash
# Runs working_folder_test.exe with two small drives mapped in the test prefix: a tmpfs of
# 2 MB, nearly filled, and a read-only one, plus a song for each import branch. Needs root (to
# mount); elsewhere the test is skipped (exit 77).
# Usage: working_folder_test.sh <working_folder_test.exe>
set -u
exe=$1
run=$(mktemp -d /tmp/qv-folder.XXXXXX)
full=$run/full readonly=$run/readonly songs=$run/songs
mkdir -p "$full" "$readonly" "$songs"
letters=()
cleanup() {
  for l in "${letters[@]}"; do rm -f "$WINEPREFIX/dosdevices/$l:"; done
  mountpoint -q "$full" && umount "$full"
  mountpoint -q "$readonly" && umount "$readonly"
  rm -rf "$run"
}
trap cleanup EXIT
if ! mount -t tmpfs -o size=2m tmpfs "$full" 2>/dev/null ||
   ! mount -t tmpfs -o ro,size=64k tmpfs "$readonly" 2>/dev/null; then
  echo "skipped: no small drive can be mounted here (mounting needs root)"
  exit 77
fi
# Two free drive letters of the prefix.
for l in m n o p q r s t u v w x y; do
  [ -e "$WINEPREFIX/dosdevices/$l:" ] || letters+=("$l")
  [ "${#letters[@]}" = 2 ] && break
done
ln -s "$full" "$WINEPREFIX/dosdevices/${letters[0]}:"
ln -s "$readonly" "$WINEPREFIX/dosdevices/${letters[1]}:"

sox -n -r 44100 -c 2 -b 16 "$songs/song16.wav" synth 10 sine 440 vol 0.5
sox "$songs/song16.wav" -b 24 "$songs/song24.wav"
sox "$songs/song16.wav" "$songs/song.flac"
lame --quiet -b 128 "$songs/song16.wav" "$songs/song.mp3"
mkdir -p "$full/import" "$full/clip"
sox -n -r 44100 -c 2 -b 16 "$full/clip/d.wav" synth 1 sine 440 vol 0.5
# The drive filled but for 40 KB: less than any working file needs.
avail=$(df --output=avail -B1 "$full" | tail -n 1)
head -c $((avail - 40 * 1024)) /dev/zero >"$full/filler"

QV_FULL_DRIVE="${letters[0]^^}:" QV_READONLY_DRIVE="${letters[1]^^}:" \
  QV_SONGS="Z:${songs//\//\\}" timeout -k 5 120 wine "$exe" --gtest_brief=1 </dev/null
