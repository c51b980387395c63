# The decoding import branch (M4A, AAC, FLAC, Ogg Vorbis, Opus, WMA, video sound) over FFmpeg's
# DLLs from scripts/deps.sh. Included by import/CMakeLists.txt; paths are relative to import/.

# The fuzz build runs the same path natively over Debian's FFmpeg libraries (scripts/setup.sh).
if(QV_MODE STREQUAL "fuzz")
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(QV_SYSTEM_FFMPEG REQUIRED IMPORTED_TARGET
                    libavformat libavcodec libavutil libswresample)
  qv_fuzz_target(fuzz_decoded_song SOURCES ../tests/fuzz/decoded_song_fuzz.cpp
                 DEPS qv_core_import PkgConfig::QV_SYSTEM_FFMPEG)
endif()
if(NOT QV_MODE STREQUAL "win")
  return()
endif()

set(ffmpeg_prefix "${QV_DEPS_PREFIX}")
if(NOT EXISTS "${ffmpeg_prefix}/include/libavformat/avformat.h")
  message(FATAL_ERROR "FFmpeg is not under QV_DEPS_PREFIX='${ffmpeg_prefix}'. Run "
                      "scripts/build.sh (it runs scripts/deps.sh and passes the folder).")
endif()
file(GLOB ffmpeg_dlls "${ffmpeg_prefix}/bin/avformat-*.dll" "${ffmpeg_prefix}/bin/avcodec-*.dll"
                      "${ffmpeg_prefix}/bin/avutil-*.dll" "${ffmpeg_prefix}/bin/swresample-*.dll")
list(LENGTH ffmpeg_dlls ffmpeg_dll_count)
if(NOT ffmpeg_dll_count EQUAL 4)
  message(FATAL_ERROR "FFmpeg's four DLLs are not all in ${ffmpeg_prefix}/bin")
endif()
# Headers only: the program loads the DLLs from its own folder at the first song it decodes.
add_library(qv_ffmpeg INTERFACE)
target_include_directories(qv_ffmpeg SYSTEM INTERFACE "${ffmpeg_prefix}/include")

# The DLLs sit beside the shipped program and beside the test programs of this folder.
set(ffmpeg_copies "")
foreach(dll ${ffmpeg_dlls})
  get_filename_component(name ${dll} NAME)
  foreach(dir ${QV_DIST_DIR} ${CMAKE_CURRENT_BINARY_DIR})
    add_custom_command(OUTPUT ${dir}/${name}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dll} ${dir}/${name}
      DEPENDS ${dll} VERBATIM)
    list(APPEND ffmpeg_copies ${dir}/${name})
  endforeach()
endforeach()
add_custom_target(qv_ffmpeg_dlls DEPENDS ${ffmpeg_copies})
add_dependencies(qv_dist qv_ffmpeg_dlls)
set(QV_FFMPEG_LICENSES "${ffmpeg_prefix}/share/licenses/ffmpeg" CACHE INTERNAL "")

qv_win_library(qv_decoded SOURCES import_decoded_song.cpp ffmpeg_library.cpp song_file_sniff.cpp
                          DEPS qv_core_import qv_mp3 qv_session qv_ffmpeg comctl32)
add_dependencies(qv_decoded qv_ffmpeg_dlls)
list(APPEND import_win_deps qv_decoded)

# Songs of every family and the refused kinds, made by the system's ffmpeg at build time.
find_program(QV_FFMPEG_TOOL ffmpeg)
if(QV_FFMPEG_TOOL)
  set(decoded_data_dir ${PROJECT_BINARY_DIR}/test-data/decoded)
  add_custom_command(OUTPUT ${decoded_data_dir}/stamp
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/decoded_make_test_data.sh ${decoded_data_dir}
    DEPENDS ${PROJECT_SOURCE_DIR}/tests/e2e/decoded_make_test_data.sh
    COMMENT "Making the decoded-song test files")
  add_custom_target(decoded_test_data DEPENDS ${decoded_data_dir}/stamp)
  qv_win_test(win_decoded_song_import SOURCES ../tests/win/decoded_song_import_test.cpp
              DEPS qv_decoded)
  add_dependencies(win_decoded_song_import decoded_test_data)
  qv_e2e_test(e2e_decoded_songs SOURCES ../tests/e2e/decoded_songs_e2e_test.cpp
              DEPS qv_core_encode qv_core_clip qv_core_view)
  add_dependencies(e2e_decoded_songs decoded_test_data)
else()
  message(WARNING "ffmpeg missing: the decoded-song tests are not built")
endif()

qv_bench(bench_decoded_import SOURCES ../tests/bench/decoded_import_bench.cpp
         DEPS qv_decoded psapi MODES win)
if(TARGET bench_decoded_import)
  add_dependencies(bench_decoded_import qv_ffmpeg_dlls)
endif()
