# Gathers the licence notices that ship with the program: Quavella's own, and the copyright
# files and licence texts of the libraries linked into it or shipped beside it.
file(COPY ${SOURCE}/LICENSE DESTINATION ${NOTICES})
file(RENAME ${NOTICES}/LICENSE ${NOTICES}/Quavella-LICENSE.txt)
set(libraries "lame:LAME" "libopencore-amrnb0:opencore-amr" "libid3-3.8.3v5:id3lib"
              "libebur128-1:libebur128" "ffmpeg:FFmpeg")
foreach(entry ${libraries})
  string(REPLACE ":" ";" parts ${entry})
  list(GET parts 0 package)
  list(GET parts 1 name)
  set(copyright /usr/share/doc/${package}/copyright)
  if(NOT EXISTS ${copyright})
    message(FATAL_ERROR "missing ${copyright}: run scripts/setup.sh")
  endif()
  configure_file(${copyright} ${NOTICES}/${name}-copyright.txt COPYONLY)
endforeach()
# Debian's copyright file of FFmpeg speaks of Debian's own builds, which include GPL parts; our
# DLLs are built from the LGPL files alone, so its general comment is replaced by what holds for
# them (the per-file records stay as they are).
file(READ ${NOTICES}/FFmpeg-copyright.txt ffmpeg_copyright)
string(FIND "${ffmpeg_copyright}" "\nComment:\n" comment_start)
string(SUBSTRING "${ffmpeg_copyright}" ${comment_start} -1 rest)
string(FIND "${rest}" "\n\n" comment_length)
math(EXPR rest_start "${comment_start} + ${comment_length}")
string(SUBSTRING "${ffmpeg_copyright}" 0 ${comment_start} head)
string(SUBSTRING "${ffmpeg_copyright}" ${rest_start} -1 rest)
set(ffmpeg_copyright "${head}
Comment:
 Most files in FFmpeg are licensed under the GNU Lesser General Public License
 version 2.1 or later (LGPL v2.1+). The FFmpeg DLLs shipped with Quavella (avformat,
 avcodec, avutil, swresample) are built from those files only, with the configure line
 in FFmpeg-configure.txt, so they are licensed under the LGPL v2.1 or later
 (FFmpeg-COPYING.LGPLv2.1.txt). The records below describe every file of the source
 package, including files that are not part of these DLLs.${rest}")
if(ffmpeg_copyright MATCHES "resulting binaries are licensed under GPL")
  message(FATAL_ERROR "FFmpeg-copyright.txt: the GPL comment was not replaced")
endif()
file(WRITE ${NOTICES}/FFmpeg-copyright.txt "${ffmpeg_copyright}")
# winpthreads (the threads of every program and DLL built with the posix compilers) and the
# rest of mingw-w64's runtime: their copyright file (winpthreads: "mingw-w64-libraries/winpthreads").
configure_file(/usr/share/doc/mingw-w64-common/copyright ${NOTICES}/mingw-w64-copyright.txt
               COPYONLY)
# opencore-amr's NOTICE, which the Apache License asks to reproduce.
configure_file(${DEPS_SHARE}/opencore-amr/NOTICE ${NOTICES}/opencore-amr-NOTICE.txt COPYONLY)
# The Debian source package and version of each library built for the program.
file(STRINGS ${DEPS_SHARE}/sources.txt sources)
foreach(line ${sources})
  string(REPLACE " " ";" parts "${line}")
  list(GET parts 0 package)
  list(GET parts 1 version)
  set(version_${package} ${version})
endforeach()
foreach(package lame id3lib3.8.3 ffmpeg)
  if(NOT version_${package})
    message(FATAL_ERROR "no version of ${package} in ${DEPS_SHARE}/sources.txt: run scripts/deps.sh")
  endif()
endforeach()
configure_file(/usr/share/common-licenses/LGPL-2 ${NOTICES}/LGPL-2.txt COPYONLY)
configure_file(/usr/share/common-licenses/LGPL-2.1 ${NOTICES}/LGPL-2.1.txt COPYONLY)
# FFmpeg's DLLs: the licence text of the source that was built and its exact configure line.
configure_file(${FFMPEG_LICENSES}/COPYING.LGPLv2.1 ${NOTICES}/FFmpeg-COPYING.LGPLv2.1.txt COPYONLY)
configure_file(${FFMPEG_LICENSES}/CONFIGURE.txt ${NOTICES}/FFmpeg-configure.txt COPYONLY)
# musl's math functions (in FFmpeg's DLLs): the copyright file of the source that was built.
configure_file(${DEPS_SHARE}/musl/COPYRIGHT ${NOTICES}/musl-COPYRIGHT.txt COPYONLY)
# libogg and libvorbis (in Quavella.exe): the licence texts of the sources that were built.
configure_file(${DEPS_SHARE}/libogg/COPYING ${NOTICES}/libogg-COPYING.txt COPYONLY)
configure_file(${DEPS_SHARE}/libvorbis/COPYING ${NOTICES}/libvorbis-COPYING.txt COPYONLY)
configure_file(/usr/share/common-licenses/Apache-2.0 ${NOTICES}/Apache-2.0.txt COPYONLY)
file(WRITE ${NOTICES}/README.txt
"Quavella is free software under the MIT licence (Quavella-LICENSE.txt). Its complete source,
from which this program can be rebuilt and relinked with modified versions of the libraries
below, is published with it; its scripts/deps.sh builds each library below from the Debian
source package named here.

Written offer for the sources of the LGPL libraries (LAME, id3lib, FFmpeg). This program was
built from these source packages of Debian 12, exactly as published in Debian's archive
(\"apt-get source NAME=VERSION\" fetches them):
- LAME: source package lame, version ${version_lame}
- id3lib: source package id3lib3.8.3, version ${version_id3lib3.8.3}
- FFmpeg: source package ffmpeg, version ${version_ffmpeg}
For at least three years after we last distribute this program, the Quavella developers will
give anyone who asks a complete machine-readable copy of the corresponding source code of these
libraries, with the scripts that built them, on a medium customarily used for software
interchange, for a charge no more than the cost of physically performing the distribution.

Libraries built into Quavella or shipped beside it:
- LAME (lame.exe): GNU Library General Public License 2 or later (LGPL-2.txt); LAME-copyright.txt
- opencore-amr (in wav2amr.exe): Apache License 2.0 (Apache-2.0.txt); opencore-amr-copyright.txt;
  its NOTICE file: opencore-amr-NOTICE.txt
- id3lib (in Quavella.exe): GNU Library General Public License 2 or later (LGPL-2.txt);
  id3lib-copyright.txt
- libebur128 (in Quavella.exe): MIT (Expat) licence, its queue.h the BSD 3-clause licence;
  libebur128-copyright.txt
- libogg and libvorbis (in Quavella.exe, the Ogg Vorbis ringtones): BSD-style licences
  (libogg-COPYING.txt, libvorbis-COPYING.txt)
- FFmpeg (avformat, avcodec, avutil and swresample DLLs, built from source without any GPL
  part): GNU Lesser General Public License 2.1 or later (FFmpeg-COPYING.LGPLv2.1.txt);
  FFmpeg-copyright.txt; the configure line they were built with is in FFmpeg-configure.txt.
  Replace the DLLs with your own build of the same major versions to use a modified FFmpeg.
  Its AAC encoder and MP4 muxer make the iPhone ringtones.
- winpthreads (the thread library inside every program and DLL) and mingw-w64's runtime: MIT
  (Expat) and BSD-style licences; mingw-w64-copyright.txt (winpthreads: the records of
  "mingw-w64-libraries/winpthreads")
- musl's math functions (exp, log, pow, cbrt and a few more, inside FFmpeg's DLLs in place of
  the compiler's own): MIT licence; musl-COPYRIGHT.txt
")

# KissFFT (the FFT of the best-part detector): the licence texts of the source that was built.
configure_file(${DEPS_SHARE}/kissfft/COPYING ${NOTICES}/kissfft-COPYING.txt COPYONLY)
configure_file(${DEPS_SHARE}/kissfft/BSD-3-Clause ${NOTICES}/kissfft-BSD-3-Clause.txt COPYONLY)
file(APPEND ${NOTICES}/README.txt
"- KissFFT (the FFT of the best-part detector, which proposes a song's chorus as the clip):
  BSD 3-clause licence; kissfft-COPYING.txt, kissfft-BSD-3-Clause.txt
")
