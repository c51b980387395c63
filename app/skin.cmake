# The skin: the window's shape, the status picture choice and their tests. Included by
# app/CMakeLists.txt before the program is declared.
qv_core_library(qv_core_skin SOURCES window_shape.cpp status_picture.cpp packed_dib.cpp)
qv_unit_test(unit_window_shape SOURCES ../tests/unit/window_shape_test.cpp
             ../tests/unit/packed_dib_test.cpp DEPS qv_core_skin)
if(TARGET unit_window_shape)
  # The test reads the committed pictures.
  target_compile_definitions(unit_window_shape PRIVATE QV_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()

# The program compiles the portable skin files with its own sources.
list(APPEND app_win_sources window_shape.cpp status_picture.cpp packed_dib.cpp)

# What the resource scripts that include skin.rc depend on, so that a redrawn picture is
# compiled in again (for the OBJECT_DEPENDS of such a script).
file(GLOB skin_resource_files ${PROJECT_SOURCE_DIR}/resources/art/*.bmp
                              ${PROJECT_SOURCE_DIR}/resources/art/*/*.bmp
                              ${PROJECT_SOURCE_DIR}/resources/art/*.ico)
list(APPEND skin_resource_files ${PROJECT_SOURCE_DIR}/resources/skin.rc
                                ${PROJECT_SOURCE_DIR}/resources/resource_ids.h)

# The Windows side of the skin against the real pictures (linked into the test as resources).
qv_win_test(win_skin SOURCES ../tests/win/skin_test.cpp ../tests/win/skin_test.rc skin.cpp
            DEPS qv_core_skin qv_view qv_session comctl32 gdi32 user32)
set_source_files_properties(${PROJECT_SOURCE_DIR}/tests/win/skin_test.rc PROPERTIES
                            OBJECT_DEPENDS "${skin_resource_files}")

# The skin on the screen, through the real program.
qv_e2e_test(e2e_skin SOURCES ../tests/e2e/skin_e2e_test.cpp)

# Start-up time against the smallest window program, and the shape's construction cost.
qv_bench(startup_minimal SOURCES ../tests/bench/startup_minimal.cpp MODES win)
qv_bench(startup_minimal_imports SOURCES ../tests/bench/startup_minimal.cpp
         DEPS comctl32 comdlg32 ole32 shell32 wininet advapi32 msacm32 winmm MODES win)
qv_bench(startup_minimal_controls SOURCES ../tests/bench/startup_minimal.cpp
         DEPS comctl32 MODES win)
qv_bench(startup_bench SOURCES ../tests/bench/startup_bench.cpp skin.cpp
         DEPS qv_core_skin qv_e2e_driver qv_view qv_session MODES win)
if(TARGET startup_minimal)
  set_target_properties(startup_minimal startup_minimal_imports startup_minimal_controls
                        PROPERTIES WIN32_EXECUTABLE TRUE)
  target_compile_definitions(startup_minimal_imports PRIVATE QV_SAME_IMPORTS)
  target_compile_definitions(startup_minimal_controls PRIVATE QV_REQUIRED_CONTROLS)
  add_dependencies(startup_bench startup_minimal startup_minimal_imports startup_minimal_controls
                   qv_dist)
endif()

# The packed-picture reader against arbitrary bytes.
qv_fuzz_target(fuzz_packed_dib SOURCES ../tests/fuzz/packed_dib_fuzz.cpp DEPS qv_core_skin)
