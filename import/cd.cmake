# The CD drive library's Windows back ends and the CD track import.
list(APPEND import_win_sources cd/cd_library_win.cpp)
list(APPEND import_win_deps qv_core_cd)
