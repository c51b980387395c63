#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quavella need.
# Quick when everything is there already.
set -euo pipefail

packages=(
  # Build: mingw-w64 (posix threads), CMake, Ninja, GoogleTest, clang for the fuzz targets.
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  cmake ninja-build googletest g++ clang libclang-rt-14-dev
  # The FFT under the best-part detector, for the native build (Windows: scripts/deps.sh).
  libkissfft-dev
  # Dependency builds from Debian source packages.
  dpkg-dev autoconf automake libtool nasm pkg-config libz-mingw-w64-dev
  # Running: Wine, a virtual display, a sound server, screenshots and keys.
  wine wine32:i386 wine64 xvfb xauth pulseaudio imagemagick xdotool fonts-dejavu-core
  # The fuzz target of the decoding branch links Debian's FFmpeg.
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  # Tests: making and checking audio, the service stand-in, packaging.
  ffmpeg sox libsox-fmt-all lame mpg123 espeak-ng python3 nsis zip unzip curl vorbis-tools
  # The service: HTTP server library (Boost.Beast), its stores (SQLite; PostgreSQL's client
  # library, and the server for the tests), QR codes; its tests (headless browser, QR reader)
  # and its benchmark (nginx with WebDAV, wrk).
  libboost-dev libsqlite3-dev libpq-dev postgresql libqrencode-dev chromium zbar-tools nginx wrk
  # Licence notices of the libraries we link, shipped with the program.
  libopencore-amrnb0 libid3-3.8.3v5 libebur128-1
)

need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "$need_i386" = 1 ] || [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  [ "$need_i386" = 1 ] && dpkg --add-architecture i386
  echo "setup: installing ${#missing[@]} packages"
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=900 update -qq
  apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
