# Helpers that every folder uses to declare its targets. Three build trees share them:
#   native  (host g++, sanitizers): portable libraries and their unit tests
#   win     (mingw i686): everything, the program, glue, Windows and end-to-end tests
#   fuzz    (clang, libFuzzer): portable libraries and the fuzz targets
# QV_MODE is one of native, win, fuzz.

# Portable library: no <windows.h>; built in every mode.
function(qv_core_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_DEPS})
  set_property(GLOBAL APPEND PROPERTY QV_CORE_LIBS ${name})
endfunction()

# Windows glue library: built only for Windows.
function(qv_win_library name)
  if(NOT QV_MODE STREQUAL "win")
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_DEPS})
endfunction()

# Unit test of portable code (GoogleTest): native, and cross-built and run under Wine.
function(qv_unit_test name)
  if(QV_MODE STREQUAL "fuzz")
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES LABELS "unit;${QV_MODE}")
endfunction()

# Test of Windows glue, run under Wine.
function(qv_win_test name)
  if(NOT QV_MODE STREQUAL "win")
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES LABELS "win;${A_LABELS}"
    ENVIRONMENT "QV_BIN_DIR=${QV_DIST_DIR};QV_SOURCE_DIR=${PROJECT_SOURCE_DIR};QV_BUILD_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# End-to-end test: drives the real Quavella.exe (in the distribution folder) from outside.
function(qv_e2e_test name)
  if(NOT QV_MODE STREQUAL "win")
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE qv_e2e_driver ${A_DEPS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  add_dependencies(${name} qv_dist)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES LABELS "e2e" RUN_SERIAL TRUE
    ENVIRONMENT "QV_BIN_DIR=${QV_DIST_DIR};QV_SOURCE_DIR=${PROJECT_SOURCE_DIR};QV_BUILD_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# libFuzzer target over a parser of outside bytes: built only in fuzz mode.
function(qv_fuzz_target name)
  if(NOT QV_MODE STREQUAL "fuzz")
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set_property(GLOBAL APPEND PROPERTY QV_FUZZ_TARGETS ${name})
  # A bounded run of its own as a test; seeds from tests/fuzz/corpus/<name> when present.
  set(corpus ${PROJECT_BINARY_DIR}/corpus/${name})
  file(MAKE_DIRECTORY ${corpus})
  set(seeds ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name})
  if(NOT EXISTS ${seeds})
    set(seeds "")
  endif()
  add_test(NAME ${name} COMMAND ${name} -max_total_time=${QV_FUZZ_SECONDS} -timeout=10
                                 -rss_limit_mb=2048 -print_final_stats=0 ${corpus} ${seeds})
  set_tests_properties(${name} PROPERTIES LABELS fuzz)
endfunction()

# Benchmark program (prints figures; never part of pass/fail).
function(qv_bench name)
  if(QV_MODE STREQUAL "fuzz")
    return()
  endif()
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;MODES" ${ARGN})
  if(A_MODES AND NOT QV_MODE IN_LIST A_MODES)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()

# Put an executable or DLL into the distribution folder (beside Quavella.exe).
function(qv_ship target)
  if(NOT QV_MODE STREQUAL "win")
    return()
  endif()
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QV_DIST_DIR}
                                             PREFIX "")
  add_dependencies(qv_dist ${target})
endfunction()
