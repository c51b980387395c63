#!/usr/bin/env bash
# The program exports getInstance by its plain name.
# Usage: mp3_export_test.sh <path of Quavella.exe>
set -u
exe=$1
if [ ! -f "$exe" ]; then
  echo "not built: $exe"
  exit 1
fi
if i686-w64-mingw32-objdump -p "$exe" | grep -Eq '^[[:space:]]*\[ *[0-9]+\] getInstance$|[[:space:]]getInstance$'; then
  echo "getInstance is exported"
  exit 0
fi
echo "getInstance is missing from the export table of $exe"
i686-w64-mingw32-objdump -p "$exe" | sed -n '/Export Address Table/,/^$/p;/Name Pointer Table/,/^$/p'
exit 1
