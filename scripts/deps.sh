#!/usr/bin/env bash
# Builds the third-party libraries that the Windows build links (LAME, opencore-amr, id3lib,
# libebur128, libogg and libvorbis, and FFmpeg's libraries as DLLs with a few of musl's math
# functions) from Debian source packages with the i686 mingw-w64 posix compilers.
#
# Usage: scripts/deps.sh
#   Builds whatever is not cached yet and prints exactly one line on standard output:
#     QV_DEPS_PREFIX=<dir>
#   <dir> holds include/, lib/, bin/ and share/ of all the libraries; pass it to the Windows
#   configure as -DQV_DEPS_PREFIX=<dir>. Progress and build logs go to standard error.
#
# Environment:
#   QV_DEPS_CACHE  cache folder (default ${XDG_CACHE_HOME:-$HOME/.cache}/quavella-deps)
#   QV_DEPS_JOBS   parallel make jobs (default 2)
#
# Cache layout: each library is installed once into <cache>/<name>-<key>, where <key> is a
# hash of the source package's version, the compiler versions and the text of its recipe
# below, so changing any of them builds it again beside the old one. <cache>/prefix-<key>
# is the combined view (symlinks) over all of them. Builds run in a temporary folder and are
# moved into place when complete; a lock file serialises concurrent runs.
set -euo pipefail

Host=i686-w64-mingw32
CC=${Host}-gcc-posix
CXX=${Host}-g++-posix
Jobs=${QV_DEPS_JOBS:-2}
CacheRoot=${QV_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quavella-deps}
Libraries=(lame opencore-amr id3lib3.8.3 libebur128 musl ffmpeg libogg libvorbis)
# A library built against another one's install folder: its key includes that one's key.
declare -A Needs=([libvorbis]=libogg [ffmpeg]=musl)

say() { echo "deps: $*" >&2; }
die() { echo "deps: error: $*" >&2; exit 1; }

# ---------------------------------------------------------------------------------------
# Recipes. Each runs inside the unpacked source folder with PREFIX set to the (temporary)
# install folder. Their text is part of the cache key.

recipe_lame() {
  # Debian's patches touch configure.in, so the build system is regenerated.
  autoreconf -fi
  ./configure --host=$Host CC="$CC" LDFLAGS=-static --prefix="$PREFIX" \
    --disable-shared --enable-static --enable-nasm --disable-gtktest \
    --with-fileio=lame
  make -j"$Jobs"
  make install
  test -f "$PREFIX/lib/libmp3lame.a" && test -f "$PREFIX/bin/lame.exe"
}

recipe_opencore_amr() {
  ./configure --host=$Host CC="$CC" CXX="$CXX" --prefix="$PREFIX" \
    --disable-shared --enable-static
  make -j"$Jobs"
  make install
  # Apache 2.0 asks for the NOTICE file to travel with the binaries.
  install -D -m 644 opencore/NOTICE "$PREFIX/share/opencore-amr/NOTICE"
  test -f "$PREFIX/lib/libopencore-amrnb.a" && test -f "$PREFIX/include/opencore-amrnb/interf_enc.h"
}

recipe_id3lib3_8_3() {
  libtoolize -fc
  aclocal
  autoconf
  automake --add-missing --copy
  # The headers' link option selects static linking (no dllimport); without mkstemp the
  # library writes tag updates through its portable path (mingw's mkstemp makes updates
  # fail and leave temporary files behind). zlib comes from libz-mingw-w64-dev.
  ./configure --host=$Host CC="$CC" CXX="$CXX" --prefix="$PREFIX" \
    --disable-shared --enable-static \
    CPPFLAGS="-DID3LIB_LINKOPTION=1" ac_cv_func_mkstemp=no
  make -j"$Jobs" -C src
  make -C src install
  make -C include install
  test -f "$PREFIX/lib/libid3.a" && test -f "$PREFIX/include/id3/tag.h"
}

# The few functions of musl's C library that FFmpeg's AAC encoder calls all the time (exp, log,
# pow, cbrt...), as a static library linked into FFmpeg's DLLs in place of mingw-w64's. mingw's
# are x87 code that goes through long double (its float ones too, through the double ones):
# they took a quarter of the encoder's time, musl's C versions in SSE2 a fraction of that.
# Three small headers stand in for musl's own (endianness, visibility, the generic FP
# architecture), so that the files build against mingw's headers.
recipe_musl() {
  local shim=$PWD/mingw-shim f
  mkdir -p "$shim" "$PREFIX/lib" "$PREFIX/share/musl" objects
  printf '#define __LITTLE_ENDIAN 1234\n#define __BIG_ENDIAN 4321\n#define __BYTE_ORDER __LITTLE_ENDIAN\n' \
    >"$shim/endian.h"
  printf '#define hidden\n#define weak\n' >"$shim/features.h"
  cp arch/generic/fp_arch.h "$shim/"
  for f in exp exp_data exp2 exp2f exp2f_data expf log log_data log2f log2f_data logf logf_data \
           pow pow_data powf powf_data cbrtf atanf cos __cos __sin __rem_pio2 __rem_pio2_large \
           __math_oflow __math_uflow __math_xflow __math_invalid __math_divzero \
           __math_oflowf __math_uflowf __math_xflowf __math_invalidf __math_divzerof; do
    "$CC" -std=c99 -O2 -msse2 -mfpmath=sse -fno-math-errno -include "$shim/features.h" \
      -I"$shim" -Isrc/internal -c src/math/$f.c -o objects/$f.o || return 1
  done
  $Host-ar rcs "$PREFIX/lib/libmuslmath.a" objects/*.o
  cp COPYRIGHT "$PREFIX/share/musl/"
  test -f "$PREFIX/lib/libmuslmath.a" && test -f "$PREFIX/share/musl/COPYRIGHT"
}

# FFmpeg as the four DLLs the import of M4A, FLAC, Ogg, Opus, WMA and video sound loads:
# LGPL only (neither the GPL nor the non-free options, no outside library but musl's math
# functions above), nothing but the containers, decoders and parsers the import reads, the
# file protocol, the resampler, and the AAC encoder with the MP4 muxer. libgcc and winpthread
# are linked into the DLLs, so they need nothing beside them but Windows. The configure line
# ships with the DLLs. C code does its floating point in SSE2 (as the other libraries): the
# AAC encoder is about three times slower on the x87 unit. The AAC encoder's own files are
# also vectorised and unrolled (configure turns GCC's vectoriser off for everything), about
# a tenth quicker; the decoders' code is built as configure has it.
recipe_ffmpeg() {
  local args=(
    --enable-cross-compile --target-os=mingw32 --arch=x86 --cpu=i686
    --cross-prefix=$Host- --cc="$CC" --cxx="$CXX" --prefix="$PREFIX"
    --enable-shared --disable-static --disable-programs --disable-doc --disable-debug
    --disable-autodetect --enable-w32threads --disable-network
    --disable-everything --disable-avdevice --disable-avfilter --disable-swscale
    --disable-postproc --enable-avformat --enable-avcodec --enable-swresample
    --enable-protocol=file
    --enable-demuxer=mov,matroska,ogg,flac,asf,aac,caf
    --enable-decoder=aac,alac,flac,vorbis,opus,wmav1,wmav2,mp3float,ac3,eac3,amrnb,amrwb
    --enable-decoder='pcm_s8*,pcm_u8,pcm_s16*,pcm_s24*,pcm_s32*,pcm_f32*,pcm_f64*,pcm_alaw,pcm_mulaw'
    --enable-parser=aac,flac,vorbis,opus,mpegaudio,ac3,amr
    --enable-encoder=aac --enable-muxer=mp4,ipod
    --extra-cflags="-msse2 -mfpmath=sse" --extra-ldflags="-static-libgcc -static"
    --extra-libs="-L$NEEDS_musl/lib -lmuslmath"
  )
  local encoder=(aaccoder aacenc aacenc_is aacenc_ltp aacenc_pred aacenc_tns aacpsy psymodel lpc)
  local tuning
  tuning="$(printf 'libavcodec/%s.o ' "${encoder[@]}"): CFLAGS += -ftree-vectorize -funroll-loops"
  # mingw's math.h turns expf and powf into calls of exp and pow in double; the quantizer
  # search calls expf per coefficient, so its file calls musl's float versions instead.
  tuning+=$'\nlibavcodec/aaccoder.o: CPPFLAGS += -D__CRT__NO_INLINE'
  ./configure "${args[@]}"
  echo "$tuning" >>ffbuild/config.mak
  make -j"$Jobs"
  make install
  local doc=$PREFIX/share/licenses/ffmpeg arg dll bad=0
  mkdir -p "$doc"
  cp COPYING.LGPLv2.1 "$doc/"
  { echo "FFmpeg $(cat VERSION 2>/dev/null || cat RELEASE), configured with:"
    printf './configure'
    for arg in "${args[@]}"; do
      if [[ $arg == *[[:space:]*]* ]]; then printf " '%s'" "$arg"; else printf ' %s' "$arg"; fi
    done
    echo
    echo "and these lines appended to ffbuild/config.mak before make:"
    echo "$tuning"
    echo "MUSL is the install folder of musl's math functions (libmuslmath.a), built from"
    echo "musl's source as the project's scripts/deps.sh does."
  } | sed -e "s|$PREFIX|PREFIX|g" -e "s|$NEEDS_musl|MUSL|g" >"$doc/CONFIGURE.txt"
  # Each DLL is there and imports nothing but Windows' DLLs and the other three.
  for dll in avformat avcodec avutil swresample; do
    ls "$PREFIX"/bin/$dll-*.dll >/dev/null || bad=1
    $Host-objdump -p "$PREFIX"/bin/$dll-*.dll |
      grep -qiE 'DLL Name: (libgcc|libwinpthread|libstdc)' && bad=1
  done
  # Neither GPL nor non-free parts are in the build.
  grep -qx '!CONFIG_GPL=yes' ffbuild/config.mak || bad=1
  grep -qx '!CONFIG_NONFREE=yes' ffbuild/config.mak || bad=1
  ((bad == 0)) &&
  test -f "$PREFIX/lib/libavformat.dll.a" && test -f "$PREFIX/include/libavcodec/avcodec.h"
}

recipe_libebur128() {
  # The EBU R128 loudness meter: one C file. mingw has no sys/queue.h: its own copy is used.
  # SSE2 arithmetic (every Windows 7 machine has it) rather than the x87 default: quicker
  # loudness filters.
  cmake -S . -B build -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER="$CC" \
    -DCMAKE_C_FLAGS="-msse2 -mfpmath=sse" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_INSTALL_LIBDIR=lib \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DENABLE_INTERNAL_QUEUE_H=ON
  cmake --build build -j"$Jobs"
  cmake --install build
  test -f "$PREFIX/lib/libebur128.a" && test -f "$PREFIX/include/ebur128.h"
}

# The Ogg container and the Vorbis encoder of the Android ringtone, static, as the program
# links them. libvorbis finds libogg in its install folder (NEEDS_libogg). Their licence texts
# go to share/<name>/ (share/licenses belongs to FFmpeg in the combined view).
recipe_libogg() {
  ./configure --host=$Host CC="$CC" --prefix="$PREFIX" --disable-shared --enable-static
  make -j"$Jobs"
  make install
  mkdir -p "$PREFIX/share/libogg" && cp COPYING "$PREFIX/share/libogg/"
  test -f "$PREFIX/lib/libogg.a" && test -f "$PREFIX/include/ogg/ogg.h"
}

recipe_libvorbis() {
  # SSE2 arithmetic, as for libebur128: the x87 code of a plain i686 build is where the
  # encoder's time goes.
  ./configure --host=$Host CC="$CC" --prefix="$PREFIX" --disable-shared --enable-static \
    --disable-docs --disable-examples --disable-oggtest --with-ogg="$NEEDS_libogg" \
    CFLAGS="-O2 -msse2 -mfpmath=sse"
  make -j"$Jobs" -C lib
  make -C lib install
  make -C include install
  mkdir -p "$PREFIX/share/libvorbis" && cp COPYING "$PREFIX/share/libvorbis/"
  test -f "$PREFIX/lib/libvorbisenc.a" && test -f "$PREFIX/include/vorbis/vorbisenc.h"
}

# KissFFT, the real FFT under the best-part detector (analysis/): float, static, the library
# alone (no tools, no tests). Its licence texts go to share/kissfft/.
Libraries+=(kissfft)
recipe_kissfft() {
  cmake -S . -B build -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER="$CC" -DCMAKE_CXX_COMPILER="$CXX" \
    -DCMAKE_C_FLAGS="-msse2 -mfpmath=sse" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_INSTALL_INCLUDEDIR=include \
    -DKISSFFT_DATATYPE=float -DKISSFFT_STATIC=ON -DKISSFFT_TEST=OFF -DKISSFFT_TOOLS=OFF \
    -DKISSFFT_PKGCONFIG=OFF -DKISSFFT_OPENMP=OFF
  cmake --build build -j"$Jobs"
  cmake --install build
  mkdir -p "$PREFIX/share/kissfft" && cp COPYING LICENSES/BSD-3-Clause "$PREFIX/share/kissfft/"
  test -f "$PREFIX/lib/libkissfft-float.a" && test -f "$PREFIX/include/kissfft/kiss_fftr.h"
}

# ---------------------------------------------------------------------------------------

recipe_of() { echo "recipe_${1//[-.]/_}"; }

HostPackages=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
              mingw-w64-i686-dev dpkg-dev autoconf automake libtool nasm pkg-config make
              libz-mingw-w64-dev cmake)

EnsureTools() {
  local missing=()
  for p in "${HostPackages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  ((${#missing[@]} == 0)) && return 0
  [[ $(id -u) == 0 ]] || die "missing packages (install them as root): ${missing[*]}"
  say "installing ${missing[*]}"
  apt-get install -y --no-install-recommends "${missing[@]}" >&2 ||
    { apt-get update >&2 && apt-get install -y --no-install-recommends "${missing[@]}" >&2; }
}

# Source entries: Debian 12 keeps its sources in deb822 form; older systems in sources.list.
EnsureDebSrc() {
  if grep -rqsE '^[[:space:]]*(Types:.*deb-src|deb-src[[:space:]])' \
       /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return 0
  fi
  [[ $(id -u) == 0 ]] || die "no deb-src entries in the apt sources (add them as root)"
  local f=/etc/apt/sources.list.d/debian.sources
  if [[ -f $f ]]; then
    say "adding deb-src to $f"
    sed -i -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb deb-src/' "$f"
  elif [[ -f /etc/apt/sources.list ]]; then
    say "adding deb-src lines to /etc/apt/sources.list.d/quavella-src.list"
    grep -E '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list | sed -E 's/^[[:space:]]*deb/deb-src/' \
      > /etc/apt/sources.list.d/quavella-src.list
  else
    die "cannot find the apt sources to add deb-src entries to"
  fi
  apt-get update >&2
}

SourceVersion() {
  local v
  v=$(apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n1)
  if [[ -z $v ]]; then
    [[ $(id -u) == 0 ]] && apt-get update >&2
    v=$(apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n1)
  fi
  [[ -n $v ]] || die "no source package '$1' known to apt"
  echo "$v"
}

CompilerId() {
  "$CC" --version | head -n1
  "$CXX" --version | head -n1
  dpkg-query -W -f='${Package} ${Version}\n' gcc-mingw-w64-i686-posix mingw-w64-i686-dev \
    libz-mingw-w64-dev 2>/dev/null || true
}

# Cache key of one library: source version, compilers, and the recipe's text.
KeyOf() {
  local name=$1 version=$2 needs=${3:-}
  { echo "$name $version"; CompilerId; declare -f "$(recipe_of "$name")"
    [[ -z $needs ]] || echo "needs $needs"; } |
    sha256sum | cut -c1-16
}

# Builds one library into $CacheRoot/<name>-<key> unless it is there.
BuildLibrary() {
  local name=$1 key=$2 version=$3
  local dest=$CacheRoot/$name-$key
  [[ -f $dest/.complete ]] && return 0
  say "building $name $version (cache $dest)"
  local work
  work=$(mktemp -d "$CacheRoot/.build-$name.XXXXXX")
  local log=$work/build.log
  (
    cd "$work"
    # apt-get source may exit 100 when an optional signature file is missing although the
    # package arrived; the .dsc decides.
    apt-get source --download-only "$name=$version" >"$log" 2>&1 || true
    local dsc
    dsc=$(ls ./*.dsc 2>/dev/null | head -n1)
    [[ -n $dsc ]] || { cat "$log" >&2; die "apt-get source $name=$version fetched no .dsc"; }
    # A mirror may lack the Debian part of a package whose patches are empty: then the
    # upstream tarball the .dsc names is unpacked as it is.
    if ! dpkg-source -x "$dsc" src >>"$log" 2>&1; then
      local orig
      orig=$(ls ./*.orig.tar.* 2>/dev/null | head -n1)
      [[ -n $orig ]] || { cat "$log" >&2; die "dpkg-source -x $dsc failed"; }
      echo "deps: $name: unpacking $orig without Debian's part" >&2
      rm -rf src && mkdir src && tar -xf "$orig" -C src --strip-components=1
    fi
    cd src
    export PREFIX=$work/install
    set -x
    "$(recipe_of "$name")"
  ) >>"$log" 2>&1 || { tail -n 60 "$log" >&2; rm -rf "$work"; die "building $name failed"; }
  rm -f "$work"/install/lib/*.la
  echo "$name $version" >"$work/install/.complete"
  chmod 755 "$work/install"
  rm -rf "$dest"
  mv "$work/install" "$dest"
  rm -rf "$work"
}

# The combined view: one folder whose include/, lib/ and bin/ link into each library's, and
# share/sources.txt, the Debian source package and version of each library ("name version").
CombinedPrefix() {
  local key=$1 sources=$2; shift 2
  local dest=$CacheRoot/prefix-$key
  [[ -f $dest/.complete ]] && { echo "$dest"; return 0; }
  local work
  work=$(mktemp -d "$CacheRoot/.prefix.XXXXXX")
  mkdir -p "$work/include" "$work/lib" "$work/bin" "$work/share"
  local lib sub entry
  for lib in "$@"; do
    for sub in include lib bin share; do
      [[ -d $lib/$sub ]] || continue
      for entry in "$lib/$sub"/*; do
        [[ -e $entry ]] || continue
        [[ $sub == lib && -d $entry ]] && continue   # pkgconfig folders
        ln -sfn "$entry" "$work/$sub/$(basename "$entry")"
      done
    done
  done
  printf '%s' "$sources" >"$work/share/sources.txt"
  touch "$work/.complete"
  chmod 755 "$work"
  rm -rf "$dest"
  mv "$work" "$dest"
  echo "$dest"
}

main() {
  case ${1:-} in
    -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; return 0 ;;
    "") ;;
    *) die "unknown argument '$1' (see --help)" ;;
  esac
  mkdir -p "$CacheRoot"
  exec 9>"$CacheRoot/.lock"
  flock 9
  # With the lock held no other run is building: whatever a killed run left is garbage.
  rm -rf "$CacheRoot"/.build-* "$CacheRoot"/.prefix.*

  EnsureTools
  EnsureDebSrc
  local name version key keys="" dirs=() need sources=""
  declare -A built=()
  for name in "${Libraries[@]}"; do
    version=$(SourceVersion "$name")
    need=${Needs[$name]:-}
    key=$(KeyOf "$name" "$version" "${need:+${built[$need]}}")
    [[ -z $need ]] || export "NEEDS_${need//[-.]/_}=$CacheRoot/${built[$need]}"
    BuildLibrary "$name" "$key" "$version"
    built[$name]=$name-$key
    keys+="$name-$key "
    sources+="$name $version"$'\n'
    dirs+=("$CacheRoot/$name-$key")
  done
  local prefix
  prefix=$(CombinedPrefix "$(echo "$keys sources" | sha256sum | cut -c1-16)" "$sources" \
    "${dirs[@]}")
  echo "QV_DEPS_PREFIX=$prefix"
}

main "$@"
