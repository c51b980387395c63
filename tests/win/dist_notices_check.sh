#!/bin/sh
# The licence notices in the distribution folder: the written offer names the source package and
# version of each LGPL library, FFmpeg's copyright text claims no GPL for the LGPL-only DLLs, and
# the notices of winpthreads and opencore-amr are there.
# Usage: dist_notices_check.sh <dist folder>
notices=$1/licenses
status=0
fail() { echo "dist notices: $*" >&2; status=1; }
for package in lame id3lib3.8.3 ffmpeg; do
  grep -Eq "source package $package, version [0-9][^ ]*$" "$notices/README.txt" ||
    fail "README.txt names no version of $package"
done
grep -q "^Written offer" "$notices/README.txt" || fail "README.txt holds no written offer"
grep -q "binaries are licensed under GPL" "$notices/FFmpeg-copyright.txt" &&
  fail "FFmpeg-copyright.txt says the binaries are GPL"
grep -q "mingw-w64-libraries/winpthreads" "$notices/mingw-w64-copyright.txt" ||
  fail "no winpthreads notice"
grep -q "PacketVideo" "$notices/opencore-amr-NOTICE.txt" || fail "no opencore-amr NOTICE"
exit $status
