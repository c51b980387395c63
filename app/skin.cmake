# The skin: the window's shape, the status picture choice and their tests. Included by
# app/CMakeLists.txt before the program is declared.
qv_core_library(qv_core_skin SOURCES window_shape.cpp status_picture.cpp)
qv_unit_test(unit_window_shape SOURCES ../tests/unit/window_shape_test.cpp DEPS qv_core_skin)
if(TARGET unit_window_shape)
  # The test reads the committed pictures.
  target_compile_definitions(unit_window_shape PRIVATE QV_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endif()

# The program compiles the portable skin files with its own sources.
list(APPEND app_win_sources window_shape.cpp status_picture.cpp)

# The Windows side of the skin against the real pictures (linked into the test as resources).
qv_win_test(win_skin SOURCES ../tests/win/skin_test.cpp ../tests/win/skin_test.rc skin.cpp
            DEPS qv_core_skin qv_view qv_session comctl32 gdi32 user32)
