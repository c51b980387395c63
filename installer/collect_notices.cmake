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
below, is published with it.

Libraries built into Quavella or shipped beside it:
- LAME (lame.exe): GNU Library General Public License 2 or later (LGPL-2.txt); LAME-copyright.txt
- opencore-amr (in wav2amr.exe): Apache License 2.0 (Apache-2.0.txt); opencore-amr-copyright.txt
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
