# MP3 import: the frame scanner (portable), the ACM decoder, the wave-file writer, ImportMp3
# and the exported converter. Included by import/CMakeLists.txt; paths are relative to import/.

qv_core_library(qv_core_mp3 SOURCES mp3_scanner.cpp mp3_track_info.cpp mp3_import_progress.cpp
                DEPS qv_core_formats)
qv_unit_test(unit_mp3_scanner SOURCES ../tests/unit/mp3_scanner_test.cpp
                                      ../tests/unit/mp3_import_progress_test.cpp
                              DEPS qv_core_mp3)
qv_fuzz_target(fuzz_mp3_scanner SOURCES ../tests/fuzz/mp3_scanner_fuzz.cpp DEPS qv_core_mp3)

if(NOT QV_MODE STREQUAL "win")
  return()
endif()

# id3lib (ReadTags), from scripts/deps.sh. Without it the program still builds and the
# converter's ReadTags reads no tags.
set(mp3_id3lib "")
if(QV_DEPS_PREFIX AND EXISTS "${QV_DEPS_PREFIX}/include/id3/tag.h"
   AND EXISTS "${QV_DEPS_PREFIX}/lib/libid3.a")
  add_library(qv_id3lib INTERFACE)
  target_include_directories(qv_id3lib SYSTEM INTERFACE "${QV_DEPS_PREFIX}/include")
  target_link_libraries(qv_id3lib INTERFACE "${QV_DEPS_PREFIX}/lib/libid3.a" z)
  target_compile_definitions(qv_id3lib INTERFACE QV_HAVE_ID3LIB=1 ID3LIB_LINKOPTION=1)
  set(mp3_id3lib qv_id3lib)
else()
  message(WARNING "id3lib not found under QV_DEPS_PREFIX='${QV_DEPS_PREFIX}': the MP3 "
                  "converter's ReadTags will read no tags. Run scripts/deps.sh and configure "
                  "with -DQV_DEPS_PREFIX=<the folder it prints>.")
endif()

# The MP3 glue is a library of its own (the import library links it), so that its Windows
# tests do not need the rest of the import worker.
list(REMOVE_ITEM import_win_sources import_mp3.cpp)
qv_win_library(qv_mp3 SOURCES import_mp3.cpp wave_file.cpp acm_mp3_decoder.cpp
                              mp3_converter.cpp mp3_id3_tags.cpp
                      DEPS qv_core_mp3 qv_session msacm32 winmm comctl32 ${mp3_id3lib})
list(APPEND import_win_deps qv_mp3)

qv_win_test(win_wave_file SOURCES ../tests/win/mp3_wave_file_test.cpp DEPS qv_mp3)

# MP3 files and reference decodings made by Debian's lame, sox and mpg123 at build time.
find_program(QV_LAME lame)
find_program(QV_SOX sox)
find_program(QV_MPG123 mpg123)
if(QV_LAME AND QV_SOX AND QV_MPG123)
  set(mp3_data_dir ${PROJECT_BINARY_DIR}/test-data/mp3)
  add_custom_command(OUTPUT ${mp3_data_dir}/stamp
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/win/mp3_make_test_data.sh ${mp3_data_dir}
    DEPENDS ${PROJECT_SOURCE_DIR}/tests/win/mp3_make_test_data.sh
    COMMENT "Making MP3 test files")
  add_custom_target(mp3_test_data DEPENDS ${mp3_data_dir}/stamp)
  qv_win_test(win_mp3_import SOURCES ../tests/win/mp3_import_test.cpp
                             DEPS qv_mp3 ${mp3_id3lib})
  add_dependencies(win_mp3_import mp3_test_data)
else()
  message(WARNING "lame, sox or mpg123 missing: the MP3 import test (win_mp3_import) is not built")
endif()

# The program must export getInstance by name.
add_test(NAME win_mp3_export
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/win/mp3_export_test.sh ${QV_DIST_DIR}/Quavella.exe)
set_tests_properties(win_mp3_export PROPERTIES LABELS "win")

qv_bench(bench_mp3_import SOURCES ../tests/bench/mp3_import_bench.cpp DEPS qv_mp3 MODES win)

# Browse of MP3 files through the real window.
qv_e2e_test(e2e_mp3 SOURCES ../tests/e2e/mp3_e2e_test.cpp)
if(TARGET e2e_mp3 AND TARGET mp3_test_data)
  add_dependencies(e2e_mp3 mp3_test_data)
endif()
